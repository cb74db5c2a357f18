#pragma once
// Command ids of the scope application's menus, toolbar and posted commands.
namespace cmd {
constexpr unsigned kNewRemoteDevice = 32779;
constexpr unsigned kRecord = 32792;
constexpr unsigned kRecordedDataDetails = 32802;
constexpr unsigned kGoToSample = 32803;
constexpr unsigned kApplyCommandLineFile = 32804;
constexpr unsigned kTabbedDocument = 32805;
constexpr unsigned kNewHorzTabGroup = 32806;
constexpr unsigned kNewVertTabGroup = 32807;
constexpr unsigned kMoveToNextTabGroup = 32808;
constexpr unsigned kMoveToPrevTabGroup = 32809;
constexpr unsigned kTabMenuCancel = 32810;
constexpr unsigned kSyncManager = 32822;
constexpr unsigned kNewWorkspace = 32824;
constexpr unsigned kOpenWorkspace = 32826;
constexpr unsigned kSaveWorkspace = 32828;
constexpr unsigned kSaveWorkspaceAs = 32830;
constexpr unsigned kProgramOptions = 32834;
constexpr unsigned kUserFirmwareGenerator = 32838;
constexpr unsigned kIndicatorModified = 32776;
constexpr unsigned kFileNew = 57600;
constexpr unsigned kFileClose = 57602;
constexpr unsigned kFileMruFirst = 57616;
constexpr unsigned kAppAbout = 57664;
constexpr unsigned kAppExit = 57665;
constexpr unsigned kHelpFinder = 57667;
constexpr unsigned kViewToolbar = 59392;
constexpr unsigned kViewStatusBar = 59393;

// Commands of a board document (its menu; served by the active document).
constexpr unsigned kOpenSettings = 57601;
constexpr unsigned kSaveSettings = 57603;
constexpr unsigned kSaveSettingsAs = 57604;
constexpr unsigned kSendSettings = 57612;
constexpr unsigned kFileMruLast = 57631;
constexpr unsigned kPlotDataInScope = 32772;
constexpr unsigned kSetPowerupDefaults = 32773;
constexpr unsigned kRewriteHardwareSettings = 32774;
constexpr unsigned kUploadFirmware = 32775;
constexpr unsigned kRefreshFromDriver = 32777;
constexpr unsigned kRefreshFromHardware = 32781;
constexpr unsigned kFrequencyDomain = 32783;
constexpr unsigned kDriverStatistics = 32785;
constexpr unsigned kSaveBoardData = 32789;
constexpr unsigned kCopySettingsFrom = 32791;
constexpr unsigned kCopySettingsToAll = 32813;
constexpr unsigned kCopySettingsToSelected = 32814;
constexpr unsigned kCalibrateAdcs = 32820;
constexpr unsigned kValidateEeprom = 32836;
} // namespace cmd
