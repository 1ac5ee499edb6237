// The handlers of the workers' events, called as the workers call them.
#include <gtest/gtest.h>

#include "cleanup/state_files.h"
#include "tests/native/ui_harness.h"

namespace tw::testing_ui {
namespace {

class Reports : public UiFixture {
 protected:
  void SetUp() override { Start(); }
  Picture StateImage(int index) const { return form->imagelist_uninstallstate_logo->Get(index); }
};

TEST_F(Reports, CountLabelFollowsCountsBelow100AndMultiplesOf100) {
  form->mpr_int_UninstallMode = 1;
  form->LB_TW_Step_Analyzing_Software_Name->SetText(u"Foo App");
  machine.AddDirectory(u"C:\\Apps\\Foo\\Data");
  form->mpu_pro_cb_InstalledSoftwareFileCount(u"C:\\Apps\\Foo\\Data", 1);
  Label* count = form->LB_TW_Step_Analyzing_Files_Count;
  EXPECT_EQ(u"1", count->GetText());
  for (std::uint32_t n = 2; n <= 1234; ++n) {
    form->mpu_pro_cb_InstalledSoftwareFileCount(u"C:\\Apps\\Foo\\gone" + Text(1, char16_t(u'a' + n % 26)), n);
    if (n == 99) {
      EXPECT_EQ(u"99", count->GetText());
    }
    if (n == 150) {
      EXPECT_EQ(u"100", count->GetText());
    }
  }
  EXPECT_EQ(u"1200", count->GetText());
  // Folders by what is on disk; what does not exist counts as a file.
  EXPECT_EQ(TextList{u"C:\\Apps\\Foo\\Data"}, form->mpr_strlist_LF_Folders);
  EXPECT_EQ(1233u, form->mpr_strlist_LF_Files.size());

  form->mpu_pro_cb_InstalledSoftwareRegCount(u"HKLM|SOFTWARE\\Foo", 6);
  form->mpu_pro_cb_InstalledSoftwareRegCount(u"", 7);
  EXPECT_EQ(u"7", form->LB_TW_Step_Analyzing_Registry_Count->GetText());

  form->mpu_pro_cb_UninstallSoftware_End();
  EXPECT_EQ(u"1234", count->GetText());
  EXPECT_EQ(u"Analysis completed. 1234 files/folders and 7 registry entries found.",
            form->LB_TW_Step2_Report_Tip->GetText());
  EXPECT_EQ(u"Foo App", form->LB_TW_Step2_Software_Name->GetText());
  EXPECT_TRUE(OnStep(form->TS_TW_Step2));
  EXPECT_EQ(form->TS_TW_Step2_FilesList, form->PC_TW_Step2_Report->ActivePage());
  EXPECT_FALSE(form->Bn_TW_Step2_Fileslist->Enabled());
  EXPECT_TRUE(form->Bn_TW_Step2_Registrylist->Enabled());
}

TEST_F(Reports, RowsGoByModeAndRegistryLinesOnceWhateverTheirCase) {
  struct Case {
    int mode;
    ReportList* files;
    ReportList* registry;
  };
  for (const Case& c : {Case{1, form->LV_TW_Step2_FilesFolders, form->LV_TW_Step2_RegistryEntries},
                        Case{2, form->LV_TW_Step3_FilesFolders, form->LV_TW_Step3_RegistryEntries},
                        Case{-1, nullptr, nullptr}}) {
    SCOPED_TRACE(c.mode);
    form->mpr_int_UninstallMode = c.mode;
    form->mpu_pro_cb_UninstallSoftware_Start();
    form->mpu_pro_cb_InstalledSoftwareFilePath(u"C:\\Apps\\Foo\\a.dll");
    form->mpu_pro_cb_InstalledSoftwareRegPath(u"HKLM|SOFTWARE\\Foo");
    form->mpu_pro_cb_InstalledSoftwareRegPath(u"hklm|software\\foo");
    form->mpu_pro_cb_InstalledSoftwareRegPath(u"HKLM|SOFTWARE\\Foo");
    form->mpu_pro_cb_InstalledSoftwareRegPath(u"");
    form->mpu_pro_cb_InstalledSoftwareRegPath(u"HKCU|Software\\Foo|Path");
    EXPECT_EQ((TextList{u"HKLM|SOFTWARE\\Foo", u"HKCU|Software\\Foo|Path"}), form->mpr_strlist_LF_Registry);
    int rows = 0;
    for (ReportList* list : {form->LV_TW_Step2_FilesFolders, form->LV_TW_Step2_RegistryEntries,
                             form->LV_TW_Step3_FilesFolders, form->LV_TW_Step3_RegistryEntries})
      rows += list->Count();
    if (c.mode == -1) {
      EXPECT_EQ(0, rows);
      continue;
    }
    EXPECT_EQ(3, rows);
    EXPECT_EQ(TextList{u"C:\\Apps\\Foo\\a.dll"}, Rows(c.files));
    EXPECT_EQ((TextList{u"HKLM|SOFTWARE\\Foo", u"HKCU|Software\\Foo|Path"}), Rows(c.registry));
    EXPECT_TRUE(c.registry->Checked(0));
  }
}

TEST_F(Reports, AnalysisStartDiscardsEverythingOfTheLastOne) {
  for (const char16_t* name : {kStateFilesFile, kStateFoldersFile, kStateRegistryFile, kStateConfigFile,
                               kStateLogoFile, kStateTypeFile})
    machine.AddFile(StatePath(name), "x");
  form->mpr_strlist_LF_Files = {u"a"};
  form->mpr_strlist_LF_Registry = {u"HKLM|X"};
  form->mpr_strlist_SIConfigItem = {u"n", u"p"};
  form->LV_TW_Step2_FilesFolders->AddRow(u"a");
  form->LV_TW_Step3_RegistryEntries->AddRow(u"HKLM|X");
  form->Image_TW_Step3_UninstallState_Logo->SetPicture(StateImage(2));

  form->mpu_pro_cb_UninstallSoftware_Start();
  EXPECT_TRUE(form->mpr_strlist_LF_Files.empty());
  EXPECT_TRUE(form->mpr_strlist_LF_Registry.empty());
  EXPECT_TRUE(form->mpr_strlist_SIConfigItem.empty());
  EXPECT_EQ(0, form->LV_TW_Step2_FilesFolders->Count());
  EXPECT_EQ(0, form->LV_TW_Step3_RegistryEntries->Count());
  EXPECT_FALSE(IsUninstallPending(programFolder));
  EXPECT_FALSE(StateFileExists(kStateConfigFile));
  EXPECT_FALSE(StateFileExists(kStateLogoFile));
  EXPECT_EQ(StateImage(1), form->Image_TW_Step3_UninstallState_Logo->GetPicture());
}

TEST_F(Reports, ForceRemoveTraceEndsOnTheLeftoversPage) {
  form->mpr_int_UninstallMode = 2;
  form->LB_TW_Step_Analyzing_Software_Name->SetText(u"Foo");
  form->Bn_TW_Step3_RegistrylistClick();
  form->Image_TW_Step_Analyzing_Logo->StartAnimation();
  form->mpu_pro_cb_UninstallSoftware_End();
  EXPECT_FALSE(form->Image_TW_Step_Analyzing_Logo->Animating());
  EXPECT_TRUE(OnStep(form->TS_TW_Step3));
  EXPECT_EQ(u"Foo", form->LB_TW_Step3_Software_Name->GetText());
  EXPECT_EQ(u"Publisher: N/A", form->LB_TW_Step3_Software_Publisher->GetText());
  EXPECT_EQ(StateImage(3), form->Image_TW_Step3_SoftwareLogo->GetPicture());
  EXPECT_EQ(form->TS_TW_Step3_RegstryList, form->PC_TW_Step3_Report->ActivePage());  // the tab stays

  // Without an analysis the end changes no page.
  form->mpr_int_UninstallMode = -1;
  form->PC_TW_Step->SetActivePage(form->TS_TW_Step_Analyzing);
  form->mpu_pro_cb_UninstallSoftware_End();
  EXPECT_TRUE(OnStep(form->TS_TW_Step_Analyzing));
}

TEST_F(Reports, WatchMovesTheMarkerWritesTheStateAfterStep2AndFillsTheLeftoversPage) {
  form->mpr_str_SelUnstallSoftware = u"Foo App";
  form->mpr_str_SelUnstallSoftware_PU = u"Foo Vendor";
  form->mpr_int_UninstallType = 1;
  form->mpr_strlist_LF_Folders = {u"C:\\Apps\\Foo"};
  form->mpr_strlist_LF_Files = {u"C:\\Apps\\Foo\\a.exe", u"C:\\Apps\\Foo\\b.dll"};
  form->mpr_strlist_LF_Registry = {u"HKLM|SOFTWARE\\Foo"};
  for (const Text& file : form->mpr_strlist_LF_Files) machine.AddFile(file, "MZ");
  machine.CreateKey(kLM, u"SOFTWARE\\Foo");
  Picture logo(32, 32, 0xFF336699u);
  logo.At(3, 4) = 0x00000000u;
  form->Image_TW_Step2_SoftwareLogo->SetPicture(logo);
  form->PC_TW_Step->SetActivePage(form->TS_TW_Step_WaitUninstalling);
  PictureBox* marker = form->Image_TW_Step_WaitUninstalling_Run;
  ImageButton* scan = form->Bn_TW_Step_WaitUnintalling_SacnLeftovers;

  form->mpu_pro_cb_SHTU_UninstallSoftware_Start();
  EXPECT_TRUE(marker->Animating());
  EXPECT_TRUE(marker->Visible());
  EXPECT_EQ((Bounds{146, 235, 35, 35}), marker->GetBounds());
  EXPECT_FALSE(scan->Enabled());

  // Steps other than 2 and 3 move nothing and write nothing.
  form->mpu_pro_cb_UninstallStepTip_Start(3);
  form->mpu_pro_cb_UninstallStepTip_Start(7);
  EXPECT_EQ((Bounds{146, 313, 35, 35}), marker->GetBounds());
  form->mpu_pro_cb_UninstallStepTip_Start(2);
  EXPECT_EQ((Bounds{146, 235, 35, 35}), marker->GetBounds());
  form->mpu_pro_cb_UninstallStepTip_End(3);
  form->mpu_pro_cb_UninstallStepTip_End(0);
  EXPECT_FALSE(IsUninstallPending(programFolder));
  EXPECT_FALSE(StateFileExists(kStateConfigFile));

  form->mpu_pro_cb_UninstallStepTip_End(2);
  EXPECT_TRUE(IsUninstallPending(programFolder));
  EXPECT_EQ((TextList{u"Foo App", u"Foo Vendor"}), form->mpr_strlist_SIConfigItem);
  const LoadedState saved = ReadPendingState(programFolder);
  EXPECT_EQ(u"Foo Vendor", saved.publisher);
  EXPECT_EQ(1, saved.uninstallType);
  ASSERT_TRUE(saved.files.has_value());
  EXPECT_EQ(form->mpr_strlist_LF_Files, *saved.files);
  ASSERT_TRUE(saved.logo.has_value());

  form->mpu_pro_cb_SHTU_UninstallSoftware_End();
  EXPECT_FALSE(marker->Animating());
  EXPECT_FALSE(marker->Visible());
  EXPECT_TRUE(scan->Enabled());
  EXPECT_TRUE(OnStep(form->TS_TW_Step_WaitUninstalling));  // until the user clicks Scan Leftovers
  EXPECT_EQ((TextList{u"C:\\Apps\\Foo", u"C:\\Apps\\Foo\\a.exe", u"C:\\Apps\\Foo\\b.dll"}),
            Rows(form->LV_TW_Step3_FilesFolders));
  EXPECT_EQ(TextList{u"HKLM|SOFTWARE\\Foo"}, Rows(form->LV_TW_Step3_RegistryEntries));
  EXPECT_EQ(u"Foo App", form->LB_TW_Step3_Software_Name->GetText());
  EXPECT_EQ(u"Publisher: Foo Vendor", form->LB_TW_Step3_Software_Publisher->GetText());
  EXPECT_EQ(logo, form->Image_TW_Step3_SoftwareLogo->GetPicture());
}

TEST_F(Reports, AStateThatCannotBeWrittenOrReadIsReported) {
  form->mpr_str_SelUnstallSoftware = u"Foo App";
  form->mpr_strlist_LF_Files = {u"C:\\Apps\\Foo\\a.exe"};
  machine.AddFile(u"C:\\Apps\\Foo\\a.exe", "MZ");
  // A folder in the way of the files list.
  machine.AddDirectory(StatePath(kStateFilesFile));
  const std::size_t before = MessageCount();
  form->mpu_pro_cb_UninstallStepTip_End(2);
  ASSERT_EQ(before + 1, MessageCount());
  EXPECT_EQ(16u, LastFlags());
  EXPECT_NE(Text::npos, LastMessage().find(u"SLF_FI.txt"));
  EXPECT_NE(Text::npos, LastMessage().find(u"A restart of Tidewell cannot resume this uninstall."));

  // The leftovers page shows what the window holds, not what the files on
  // disk say (an earlier uninstall's list, or nothing).
  machine.WriteFileBytes(StatePath(kStateFoldersFile), "C:\\Earlier\r\n");
  form->mpu_pro_cb_SHTU_UninstallSoftware_End();
  EXPECT_EQ(TextList{u"C:\\Apps\\Foo\\a.exe"}, Rows(form->LV_TW_Step3_FilesFolders));
  EXPECT_EQ(TextList{u"C:\\Apps\\Foo\\a.exe"}, form->mpr_strlist_LF_Files);
  EXPECT_TRUE(form->mpr_strlist_LF_Folders.empty());
  EXPECT_EQ(u"Foo App", form->LB_TW_Step3_Software_Name->GetText());
  EXPECT_EQ(before + 1, MessageCount());
}

TEST_F(Reports, InventoryEndWithoutAPendingUninstallLeavesThePage) {
  form->PC_TW_Step->SetActivePage(form->TS_TW_Step2);
  machine.AddFile(StatePath(kStateConfigFile), "Old\r\nVendor\r\n");
  form->mpu_pro_cb_InstallerSoftwarelist_End();
  EXPECT_TRUE(OnStep(form->TS_TW_Step2));
  EXPECT_EQ(0, form->LV_TW_Step3_FilesFolders->Count());
}

}  // namespace
}  // namespace tw::testing_ui
