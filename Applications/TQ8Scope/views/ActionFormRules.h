#pragma once
// The decisions and texts of the action pane, apart from its widgets.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace actionform {

using Clock = std::chrono::steady_clock;

// Caption of the start/stop button of a board that drives itself.
std::wstring StartButtonCaption(bool busy, bool recording, bool continuous);

// The controller link: plain text for a controller, else a link with the
// controller's name or "None".
std::wstring ControllerLinkText(bool isController, const std::wstring* controllerName);
// The sync-device link; syncId 0 means the board has none.
std::wstring SyncLinkText(int32_t syncId, const std::wstring& deviceName, int32_t outputIndex, bool hubInstalled);

// Acquisitions since the last tick; 0 when the count went down (it starts
// again with each new acquisition run).
uint32_t AcquisitionsSince(uint32_t count, uint32_t lastCount);
std::wstring RateText(uint32_t perSecond);

// The activity deadline has passed.
bool DeadlineReached(const std::optional<Clock::time_point>& deadline, Clock::time_point now);

// The label font size in tenths of a point: the largest of 107, 97 ... 37
// whose text fits the label with 8 pixels to spare; 0 when none does.
// textWidth gives the text's width in pixels at a size; it returns a
// negative width when the font cannot be made, which stops the search.
int FitLabelFontTenths(int labelWidth, const std::function<int(int tenths)>& textWidth);

} // namespace actionform
