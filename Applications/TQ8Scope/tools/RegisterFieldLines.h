#pragma once
// The scheme every register decoder shares: a register's bit fields as a
// constant table, each turned into one line under the register's header
// (name padded to a width, " : ", the field in "0x%08X", the description,
// and a marker where the field deserves attention).
#include <cstdint>
#include <string>

#include "CRegisterLines.h"
#include "TQ8_64.h"

using RegValueTextFn = const wchar_t* (*)(int32_t);

enum class FieldRule : uint8_t {
    Plain,
    MarkWhenSet,        // plain, " **" when non-zero
    Unused,             // unused line, " **" when non-zero
    UnusedUnlessOnes,   // unused line, " **" unless every bit is 1
    CalMark,            // plain, "****" when set
    MirrorMark,         // plain, " ****" when it differs from bit `arg`
    RedWhenSet,         // status: red when non-zero, else green
    GreenWhenSet,       // status: green when non-zero, else red
    RedWhenBit0,        // status: red when bit 0 is set, else green
};

// What replaces the one "%d", "%u" or "%s" of a description.
enum class FieldValue : uint8_t {
    None,
    Getter,       // the caller's value number `arg`
    GetterText,   // text of the caller's value number `arg`
    Pow2,         // 2 to the power of the field
    Plus2,        // the field plus 2
    FieldText,    // text of the field
};

struct RegField {
    const wchar_t* name;
    uint8_t lo;
    uint8_t hi;
    const wchar_t* desc; // null: no description
    FieldRule rule = FieldRule::Plain;
    FieldValue value = FieldValue::None;
    uint8_t arg = 0;
    RegValueTextFn text = nullptr;
};

struct FieldContext {
    int nameWidth = 20;
    const uint32_t* values = nullptr; // the getters' results, for FieldValue::Getter*
    wchar_t number = 0;               // replaces '#' in names and descriptions when set
    const wchar_t* statusSuffix = nullptr; // appended to status lines
};

inline constexpr wchar_t kUnusedName[] = L"---";
inline constexpr wchar_t kUnusedText[] = L"[UNUSED]";

// The library's words of a register set, or null after adding "Failed to
// get" under the group.
const uint32_t* FetchRegisterSet(CRegisterLines& lines, int group, TQ8_HANDLE device, int32_t set);
uint32_t FieldBits(uint32_t reg, unsigned lo, unsigned hi);
// printf-style formatting into a wide string (short texts only).
std::wstring FormatWide(const wchar_t* format, ...);
// The field's line text without adding it.
std::wstring FieldLineText(const RegField& field, uint32_t reg, const FieldContext& ctx);
// Adds the field's line under parent; returns its index.
int AddFieldLine(CRegisterLines& lines, int parent, const RegField& field, uint32_t reg, const FieldContext& ctx);

template <size_t N>
void AddFieldLines(CRegisterLines& lines, int parent, const RegField (&fields)[N], uint32_t reg,
                   const FieldContext& ctx)
{
    for (const RegField& field : fields)
        AddFieldLine(lines, parent, field, reg, ctx);
}
