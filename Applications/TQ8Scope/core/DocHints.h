#pragma once
// The numbers a board document is told things by: the update hints it sends
// to its views, and the notifications the application sends to every
// document. Each has its name here.

// Update hints the document sends to its views.
namespace dochint {
constexpr int kRelationsChanged = 1;
constexpr int kScopeViewReady = 2;
constexpr int kSourceRemoved = 3;
constexpr int kControllerRole = 4;
constexpr int kTriggerMode = 5;
constexpr int kAcquisitionState = 6;
constexpr int kBoardSettings = 7;
constexpr int kPlotCleared = 8;
constexpr int kAcquisitionRegion = 9;
constexpr int kClock = 10;
constexpr int kMasterClock = 11;
constexpr int kSyncDevice = 12;
constexpr int kPlotOptions = 13;
constexpr int kDeviceList = 14;
constexpr int kPlotParameters = 15;
constexpr int kBeforeWorkspaceSave = 16;
constexpr int kAfterWorkspaceLoad = 17;
// Object: non-null when the board's FPGA processing is enabled.
constexpr int kFpgaProcessing = 18;
} // namespace dochint

// Notifications from the application to every document (OnAppNotify).
namespace appnotify {
constexpr int kPlotOptions = 0;
constexpr int kDeviceList = 1;
constexpr int kBeforeWorkspaceSave = 2;
constexpr int kAfterWorkspaceLoad = 3;
} // namespace appnotify
