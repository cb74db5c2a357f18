#pragma once
// Reading and writing numbers in dialog items, counts with a unit selector,
// bit flags bound to check boxes, and small window routines.
//
// Whole numbers typed by the user: everything from the first ':' on is
// dropped (a combo entry "0 : Transfer only" reads as 0), commas are removed,
// blanks trimmed; "0x" means hexadecimal, a leading "0" octal. An empty text
// reads as 0. Unsigned readers refuse a minus sign; every reader refuses a
// value outside its type.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "TQ8_64.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QWidget;

bool ParseDlgDouble(std::wstring_view text, double& out);
bool ParseDlgUInt64(std::wstring_view text, uint64_t& out);
bool ParseDlgInt32(std::wstring_view text, int32_t& out);
bool ParseDlgUInt32(std::wstring_view text, uint32_t& out);

// The same over a widget's text (line edit, combo box or label); false
// without a widget or with an empty text. out is written only on success.
bool GetDlgItemDouble(const QWidget* item, double& out);
bool GetDlgItemUInt64(const QWidget* item, uint64_t& out);
bool GetDlgItemInt32(const QWidget* item, int32_t& out);
bool GetDlgItemUInt32(const QWidget* item, uint32_t& out);
// Text of the value with a printf format for one double ("%0.3f" when null).
bool SetDlgItemDouble(QWidget* item, double value, const char* format = nullptr);
std::wstring GetDlgItemText(const QWidget* item);

// Count with a unit selector (index: ×1, ×1024, ×1024², ×1024³, ×1024⁴).
// Loading picks the largest unit that divides the count exactly.
void SplitCountToUnits(uint64_t count, uint64_t& number, int& unitIndex);
// false when number × unit does not fit in 64 bits.
bool CombineCountWithUnits(uint64_t number, int unitIndex, uint64_t& count);
// save false: shows the count; save true: reads it back (false, after a
// message, when the text or its size is unacceptable; count unchanged). A
// number below least, or beyond what the unit allows, gives the one range
// message: "Please enter an integer between <least> and <most>."
bool DDX_CountWithUnits(bool save, QLineEdit* edit, QComboBox* units, uint64_t& count, uint64_t least = 0);
bool DDX_CountWithUnits32(bool save, QLineEdit* edit, QComboBox* units, uint32_t& count);
// The box is checked when all bits of the mask are set.
void DDX_CheckFlag(bool save, QCheckBox* box, uint32_t mask, uint32_t& flags);

// Selects the first item whose data equals the value; else no selection.
bool SelectComboItemByData(QComboBox* combo, uint64_t data);

// Sample-count presets offered by the count combos.
inline constexpr std::array<uint32_t, 15> kSampleCountPresets = {
    16384u,    32768u,     65536u,     1048576u,   2097152u,   4194304u,    8388608u,   16777216u,
    33554432u, 67108864u, 134217728u, 268435456u, 536870912u, 1073741824u, 2147483648u};
// Only the presets up to `largest` are offered (the most the board holds).
void FillSampleCountCombo(QComboBox* combo, bool noTransferOnly, uint32_t largest = UINT32_MAX);

// Appends " - " and the board name to the window's title.
void AppendBoardNameToTitle(QWidget* window, TQ8_HANDLE device, uint32_t nameFlags);
void ResizeControlBy(QWidget* child, int dx, int dy);
void MoveControlBy(QWidget* child, int dx, int dy);
