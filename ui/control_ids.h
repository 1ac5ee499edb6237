// The child-window IDs of every control of Tidewell's windows. A test driver
// finds a control by its ID (GetDlgCtrlID) among the window's descendants;
// IDs are unique across all four windows.
#pragma once

namespace tw::ui::ids {

// Top-level windows (their own IDs are for the headless toolkit only).
constexpr int kMainWindow = 100;
constexpr int kLoadingWindow = 101;
constexpr int kAboutWindow = 102;
constexpr int kWhyUseWindow = 103;

// Main window: header and page skeleton.
constexpr int Image_TW_BG = 1000;
constexpr int LB_TW_Name = 1001;
constexpr int minimizeButton = 1002;
constexpr int closeButton = 1003;
constexpr int aboutButton = 1004;
constexpr int supportButton = 1005;
constexpr int programsFunctionButton = 1006;
constexpr int forceRemoveFunctionButton = 1007;
constexpr int Panel_TW_BG_Pages = 1008;
constexpr int Image_TW_BottomStrip = 1009;
constexpr int PC_TW_Function = 1010;
constexpr int programsFunctionPage = 1011;
constexpr int forceRemoveFunctionPage = 1012;
constexpr int PC_TW_Step = 1013;
constexpr int programListPage = 1014;
constexpr int analyzingPage = 1015;
constexpr int reportPage = 1016;
constexpr int uninstallWaitPage = 1017;
constexpr int leftoversPage = 1018;

// Step 1: installed programs.
constexpr int FPanel_TW_ListViewBG = 1100;
constexpr int LV_TW_InstalledSoftware = 1101;
constexpr int Panel_TW_SoftwareInfo = 1102;
constexpr int Image_TW_SoftwareLogo = 1103;
constexpr int LB_TW_Step1_Software_Name = 1104;
constexpr int LB_TW_Software_Ver = 1105;
constexpr int LB_TW_Software_Publisher = 1106;
constexpr int LB_TW_Software_InstallLocation = 1107;
constexpr int Panel_TW_Search = 1108;
constexpr int Ed_TW_Step1_Search = 1109;
constexpr int searchButton = 1110;
constexpr int refreshButton = 1111;
constexpr int runAnalysisButton = 1112;
constexpr int Panel_TW_Step1_Side = 1113;

// Analyzing page.
constexpr int Panel_TW_Step_Analyzing = 1200;
constexpr int Image_TW_Step_Analyzing_Logo = 1201;
constexpr int Image_TW_Step_Analyzing_SoftwareLogo = 1202;
constexpr int LB_TW_Step_Analyzing_Software_Name = 1203;
constexpr int LB_TW_Step_Analyzing_Tip = 1204;
constexpr int LB_TW_Step_Analying_Files = 1205;
constexpr int LB_TW_Step_Analyzing_Registry = 1206;
constexpr int LB_TW_Step_Analyzing_Files_Count = 1207;
constexpr int LB_TW_Step_Analyzing_Registry_Count = 1208;

// Step 2: the analysis report.
constexpr int Image_TW_Step2_SoftwareLogo = 1300;
constexpr int Image_TW_Step2_UninstallState_Logo = 1301;
constexpr int LB_TW_Step2_Software_Name = 1302;
constexpr int LB_TW_Step2_Report_Tip = 1303;
constexpr int reportFilesTabButton = 1304;
constexpr int reportRegistryTabButton = 1305;
constexpr int PC_TW_Step2_Report = 1306;
constexpr int reportFilesTab = 1307;
constexpr int reportRegistryTab = 1308;
constexpr int LV_TW_Step2_FilesFolders = 1309;
constexpr int LV_TW_Step2_RegistryEntries = 1310;
constexpr int reportBackButton = 1311;
constexpr int runUninstallerButton = 1312;

// Wait page.
constexpr int LB_TW_Step_WaitUninstalling_Title = 1400;
constexpr int Image_TW_Cafe = 1401;
constexpr int Image_TW_Step_WaitUninstalling_1 = 1402;
constexpr int LB_TW_Step_WaitUninstalling_1 = 1403;
constexpr int Image_TW_Step_WaitUninstalling_2 = 1404;
constexpr int LB_TW_Step_WaitUninstalling_2 = 1405;
constexpr int Image_TW_Step_WaitUninstalling_Run = 1406;
constexpr int scanLeftoversButton = 1407;

// Step 3: leftovers.
constexpr int Image_TW_Step3_SoftwareLogo = 1500;
constexpr int Image_TW_Step3_UninstallState_Logo = 1501;
constexpr int LB_TW_Step3_Software_Name = 1502;
constexpr int LB_TW_Step3_Software_Publisher = 1503;
constexpr int leftoverFilesTabButton = 1504;
constexpr int leftoverRegistryTabButton = 1505;
constexpr int PC_TW_Step3_Report = 1506;
constexpr int leftoverFilesTab = 1507;
constexpr int leftoverRegistryTab = 1508;
constexpr int LV_TW_Step3_FilesFolders = 1509;
constexpr int LV_TW_Step3_RegistryEntries = 1510;
constexpr int leftoversBackButton = 1511;
constexpr int deleteLeftoversButton = 1512;
constexpr int LB_TW_Step3_NothingLeft = 1513;

// Force Remove page.
constexpr int Panel_ForceRemove_BG = 1600;
constexpr int Image_TW_ForceRemove_Logo = 1601;
constexpr int LB_TW_ForceRemove_Title = 1602;
constexpr int LB_TW_ForceRemove_Describe = 1603;
constexpr int ED_TW_ForceRemove_SelSoftwareFilePath = 1604;
constexpr int chooseFolderButton = 1605;
constexpr int forceRemoveScanButton = 1606;

// Loading window.
constexpr int Image_Form_Loading_BG = 2000;
constexpr int Image_ZRU_Loading = 2001;
constexpr int Label_ZRU_LoadingTips = 2002;
constexpr int Label_ZRU_RestartTips = 2003;
constexpr int restartButton = 2004;

// About window.
constexpr int Image_TW_About_BG = 2100;
constexpr int LB_TW_About_Name = 2101;
constexpr int LB_TW_About_Version = 2102;
constexpr int LB_TW_About_Homepage = 2103;
constexpr int LB_TW_About_Email = 2104;
constexpr int LB_TW_About_Legal = 2105;
constexpr int aboutCloseButton = 2106;

// Why-use window.
constexpr int Image_TW_WhyUse_BG = 2200;
constexpr int LB_TW_WhyUse_Title = 2201;
constexpr int LB_TW_WhyUse_Describe = 2202;
constexpr int whyUseCloseButton = 2203;
constexpr int whyUseIKnowButton = 2204;

}  // namespace tw::ui::ids
