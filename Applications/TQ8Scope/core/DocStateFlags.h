#pragma once
// The state flags of a board document: one word that the views, the tools
// and the plot's channel arbiter read. Every flag and mask has its name here.
#include <cstdint>

namespace docstate {
constexpr uint32_t kAcquiring = 0x1;             // from a start to its completion message
constexpr uint32_t kRecording = 0x2;             // a recording session is armed
constexpr uint32_t kShownAcquiring = 0x4;        // the acquisition is shown as running
constexpr uint32_t kBoardMemoryData = 0x10;      // board memory holds plottable data
constexpr uint32_t kContinuous = 0x20;           // continuous mode
constexpr uint32_t kLimitPlotData = 0x40;        // plot only the acquired sample count
constexpr uint32_t kFirmwareFromCommandLine = 0x80;
constexpr uint32_t kController = 0x200;
constexpr uint32_t kControlled = 0x400;
constexpr uint32_t kControlledOutstanding = 0x800; // a controller's group is in flight
constexpr uint32_t kNoPlot = 0x1000;             // no plot after an acquisition
constexpr uint32_t kStopOnThreshold = 0x2000;    // stop continuous mode on a threshold change
constexpr uint32_t kAlwaysForceTrigger = 0x4000; // software trigger before acquiring

// A new document's flags.
constexpr uint32_t kInitial = kLimitPlotData;
// What the hand-over of a new document and the workspace file carry (0x4040).
constexpr uint32_t kHandOver = kLimitPlotData | kAlwaysForceTrigger;
// Acquiring (0x821): any of these.
constexpr uint32_t kBusy = kAcquiring | kContinuous | kControlledOutstanding;
// Idle: none of these (0x823).
constexpr uint32_t kNotIdle = kBusy | kRecording;
// The arbiter lets the plot read board memory when, of these (0x13), only
// kBoardMemoryData is set.
constexpr uint32_t kPlotReadMask = kAcquiring | kRecording | kBoardMemoryData;

static_assert(kHandOver == 0x4040 && kBusy == 0x821 && kNotIdle == 0x823 && kPlotReadMask == 0x13);
} // namespace docstate
