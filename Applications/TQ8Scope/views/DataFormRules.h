#pragma once
// The decisions and texts of the "Data" page, apart from its widgets.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dataform {

// "free run", "free_run" or "free-run" in any case, around blanks: a total
// sample count of 0.
bool IsFreeRunText(std::wstring_view text);

// The active-channel selections the list offers, in order. Selection 4
// (three channels) is never offered; the two-channel model takes only four.
std::vector<int32_t> ListedChannelSelections(bool twoChannelModel);

// Data can be routed to SDRAM2 only with selections 0, 3 and 9.
bool AllowsSdram2Route(int32_t selection);
// "Pulse" works in digital I/O modes 0 (low) and 3 (high).
bool AllowsPulse(int32_t mode);
// The two modes a pulse sets from mode, and its status text; false for a
// mode without a pulse.
bool PlanPulse(int32_t mode, int32_t& first, int32_t& second, std::wstring& text);

// "Active memory region updated" with the suffix of each value the board
// realigned; empty when the board took both as typed.
std::wstring RegionUpdatedText(bool startDiffers, bool countDiffers);

// Whether the first count ranges are equal (every read succeeded).
bool AllRangesEqual(const double* ranges, const bool* read, int count);

} // namespace dataform
