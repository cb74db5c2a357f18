#pragma once
// The decisions and texts of the setting forms' apply pattern, apart from
// the widgets that use them.
#include <cstdint>
#include <string>

namespace formapply {

// What leaving a numeric edit field does.
enum class EditAction {
    None,        // the field was only visited
    Refuse,      // not a number: the invalid-number box, the board untouched
    ClearStatus, // the board already holds the value
    Apply,       // the setter runs
};
EditAction DecideEditAction(bool editing, bool valid, uint32_t typed, uint32_t current);

// The field's success text, with "; setting realigned or clipped" when the
// board holds another value than the one typed.
std::wstring AppliedText(const wchar_t* success, uint32_t typed, uint32_t readBack);
std::wstring AppliedText(const wchar_t* success, bool realignedOrClipped);

// Slider texts with the setting's words ("trigger level A").
std::wstring SliderTrackingText(const wchar_t* words, uint32_t position);
std::wstring SliderUpdatedText(const wchar_t* words, uint32_t value);
std::wstring SliderFailurePrefix(const wchar_t* words);
// The numeric input's range text "[0, %u]".
std::wstring RangeText(uint32_t maximum);

} // namespace formapply
