// The procedures the inventory and the completion watch call back (module
// Unit_ZRTW_CBGUI). Each copies its text arguments (a null pointer is an
// empty text) and calls the main window's handler of the same report on the
// GUI thread, where the hand-over runs it. Once the main window has closed
// (Form_TW is null) a report is dropped. Every procedure returns 0.
#pragma once

#include <cstdint>

#include "workers/callbacks.h"

namespace tw::ui {

// The inventory (ZRU_Thread_GetInstalledSoftwareList).
std::uint32_t TW_STDCALL CBGUI_TGS_GetSoftwareList_Start();
std::uint32_t TW_STDCALL CBGUI_TGS_GetSoftwareList(const char16_t* name, const char16_t* publisher,
                                                   const char16_t* version, const char16_t* iconPath,
                                                   std::int32_t iconIndex);
std::uint32_t TW_STDCALL CBGUI_TGS_GetSoftwareList_End();

// The completion watch (ZRU_Thread_ShellExeUninstaller).
std::uint32_t TW_STDCALL CBGUI_SHTU_Start();
std::uint32_t TW_STDCALL CBGUI_SHTU_StepTip_Start(std::int32_t step);
std::uint32_t TW_STDCALL CBGUI_SHTU_StepTip_End(std::int32_t step);
std::uint32_t TW_STDCALL CBGUI_SHTU_End();

}  // namespace tw::ui
