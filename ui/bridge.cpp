#include "ui/bridge.h"

#include "access/text_rules.h"
#include "ui/main_window.h"

namespace tw::ui {

namespace {

// The worker's buffer is valid only during the call; the handler gets a copy.
Text Copy(const char16_t* text) { return text ? Text(text) : Text(); }

}  // namespace

std::uint32_t TW_STDCALL CBGUI_TGS_GetSoftwareList_Start() {
  if (Form_TW) Form_TW->mpu_pro_cb_InstallerSoftwarelist_Start();
  return 0;
}

std::uint32_t TW_STDCALL CBGUI_TGS_GetSoftwareList(const char16_t* name, const char16_t* publisher,
                                                   const char16_t* version, const char16_t* iconPath,
                                                   std::int32_t iconIndex) {
  if (Form_TW)
    Form_TW->mpu_pro_cb_InstallerSoftwarelist(Copy(name), Copy(publisher), Copy(version), Copy(iconPath), iconIndex);
  return 0;
}

std::uint32_t TW_STDCALL CBGUI_TGS_GetSoftwareList_End() {
  if (Form_TW) Form_TW->mpu_pro_cb_InstallerSoftwarelist_End();
  return 0;
}

std::uint32_t TW_STDCALL CBGUI_SHTU_Start() {
  if (Form_TW) Form_TW->mpu_pro_cb_SHTU_UninstallSoftware_Start();
  return 0;
}

std::uint32_t TW_STDCALL CBGUI_SHTU_StepTip_Start(std::int32_t step) {
  if (Form_TW) Form_TW->mpu_pro_cb_UninstallStepTip_Start(step);
  return 0;
}

std::uint32_t TW_STDCALL CBGUI_SHTU_StepTip_End(std::int32_t step) {
  if (Form_TW) Form_TW->mpu_pro_cb_UninstallStepTip_End(step);
  return 0;
}

std::uint32_t TW_STDCALL CBGUI_SHTU_End() {
  if (Form_TW) Form_TW->mpu_pro_cb_SHTU_UninstallSoftware_End();
  return 0;
}

}  // namespace tw::ui
