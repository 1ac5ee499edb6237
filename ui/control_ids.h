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
constexpr int headerImage = 1000;
constexpr int titleLabel = 1001;
constexpr int minimizeButton = 1002;
constexpr int closeButton = 1003;
constexpr int aboutButton = 1004;
constexpr int supportButton = 1005;
constexpr int programsFunctionButton = 1006;
constexpr int forceRemoveFunctionButton = 1007;
constexpr int pagesPanel = 1008;
constexpr int bottomStripImage = 1009;
constexpr int functionPages = 1010;
constexpr int programsFunctionPage = 1011;
constexpr int forceRemoveFunctionPage = 1012;
constexpr int stepPages = 1013;
constexpr int programListPage = 1014;
constexpr int analyzingPage = 1015;
constexpr int reportPage = 1016;
constexpr int uninstallWaitPage = 1017;
constexpr int leftoversPage = 1018;

// Step 1: installed programs.
constexpr int programListFrame = 1100;
constexpr int programList = 1101;
constexpr int selectedProgramPanel = 1102;
constexpr int selectedProgramIcon = 1103;
constexpr int selectedNameLabel = 1104;
constexpr int selectedVersionLabel = 1105;
constexpr int selectedPublisherLabel = 1106;
constexpr int selectedLocationLabel = 1107;
constexpr int searchPanel = 1108;
constexpr int searchBox = 1109;
constexpr int searchButton = 1110;
constexpr int refreshButton = 1111;
constexpr int runAnalysisButton = 1112;
constexpr int programListSidePanel = 1113;

// Analyzing page.
constexpr int analyzingPanel = 1200;
constexpr int analyzingLogo = 1201;
constexpr int analyzingProgramIcon = 1202;
constexpr int analyzingNameLabel = 1203;
constexpr int analyzingTipLabel = 1204;
constexpr int analyzingFilesLabel = 1205;
constexpr int analyzingRegistryLabel = 1206;
constexpr int analyzingFilesCountLabel = 1207;
constexpr int analyzingRegistryCountLabel = 1208;

// Step 2: the analysis report.
constexpr int reportProgramIcon = 1300;
constexpr int reportStateIcon = 1301;
constexpr int reportNameLabel = 1302;
constexpr int reportTipLabel = 1303;
constexpr int reportFilesTabButton = 1304;
constexpr int reportRegistryTabButton = 1305;
constexpr int reportTabs = 1306;
constexpr int reportFilesTab = 1307;
constexpr int reportRegistryTab = 1308;
constexpr int reportFilesList = 1309;
constexpr int reportRegistryList = 1310;
constexpr int reportBackButton = 1311;
constexpr int runUninstallerButton = 1312;

// Wait page.
constexpr int waitTitleLabel = 1400;
constexpr int cafeImage = 1401;
constexpr int waitStep1Image = 1402;
constexpr int waitStep1Label = 1403;
constexpr int waitStep2Image = 1404;
constexpr int waitStep2Label = 1405;
constexpr int waitRunningImage = 1406;
constexpr int scanLeftoversButton = 1407;

// Step 3: leftovers.
constexpr int leftoversProgramIcon = 1500;
constexpr int leftoversStateIcon = 1501;
constexpr int leftoversNameLabel = 1502;
constexpr int leftoversPublisherLabel = 1503;
constexpr int leftoverFilesTabButton = 1504;
constexpr int leftoverRegistryTabButton = 1505;
constexpr int leftoverTabs = 1506;
constexpr int leftoverFilesTab = 1507;
constexpr int leftoverRegistryTab = 1508;
constexpr int leftoverFilesList = 1509;
constexpr int leftoverRegistryList = 1510;
constexpr int leftoversBackButton = 1511;
constexpr int deleteLeftoversButton = 1512;
constexpr int nothingLeftLabel = 1513;

// Force Remove page.
constexpr int forceRemovePanel = 1600;
constexpr int forceRemoveLogo = 1601;
constexpr int forceRemoveTitleLabel = 1602;
constexpr int forceRemoveDescriptionLabel = 1603;
constexpr int forceRemoveFolderBox = 1604;
constexpr int chooseFolderButton = 1605;
constexpr int forceRemoveScanButton = 1606;

// Loading window.
constexpr int loadingBackgroundImage = 2000;
constexpr int loadingAnimation = 2001;
constexpr int loadingTipLabel = 2002;
constexpr int restartTipLabel = 2003;
constexpr int restartButton = 2004;

// About window.
constexpr int aboutBackgroundImage = 2100;
constexpr int aboutNameLabel = 2101;
constexpr int aboutVersionLabel = 2102;
constexpr int aboutHomepageLink = 2103;
constexpr int aboutEmailLink = 2104;
constexpr int aboutLegalLabel = 2105;
constexpr int aboutCloseButton = 2106;

// Why-use window.
constexpr int whyUseBackgroundImage = 2200;
constexpr int whyUseTitleLabel = 2201;
constexpr int whyUseDescriptionLabel = 2202;
constexpr int whyUseCloseButton = 2203;
constexpr int whyUseIKnowButton = 2204;

}  // namespace tw::ui::ids
