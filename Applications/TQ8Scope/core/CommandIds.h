#pragma once
// Command ids of the scope application's menus, toolbar and posted commands.
namespace cmd {
constexpr unsigned kNewRemoteDevice = 32779;
constexpr unsigned kRecord = 32792;
constexpr unsigned kRecordedDataDetails = 32802;
constexpr unsigned kGoToSample = 32803;
constexpr unsigned kApplyCommandLineFile = 32804;
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
} // namespace cmd
