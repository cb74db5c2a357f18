#include "RegisterFieldLines.h"

#include <cstdarg>
#include <cwchar>

namespace {

std::wstring WithNumber(const wchar_t* text, wchar_t number)
{
    std::wstring out = text;
    if (number != 0)
        for (wchar_t& c : out)
            if (c == L'#')
                c = number;
    return out;
}

std::wstring ValueText(const RegField& field, uint32_t bits, const FieldContext& ctx)
{
    const uint32_t got = ctx.values ? ctx.values[field.arg] : 0;
    switch (field.value) {
    case FieldValue::Getter: return std::to_wstring(got);
    case FieldValue::GetterText: return field.text(static_cast<int32_t>(got));
    case FieldValue::Pow2: return std::to_wstring(uint64_t(1) << bits);
    case FieldValue::Plus2: return std::to_wstring(uint64_t(bits) + 2);
    case FieldValue::FieldText: return field.text(static_cast<int32_t>(bits));
    case FieldValue::None: break;
    }
    return {};
}

// Replaces the description's one conversion; "%d" shows the value signed.
std::wstring Description(const RegField& field, uint32_t bits, const FieldContext& ctx)
{
    std::wstring desc = WithNumber(field.desc, ctx.number);
    const size_t at = desc.find(L'%');
    if (at == std::wstring::npos || at + 1 >= desc.size() || field.value == FieldValue::None)
        return desc;
    std::wstring value = ValueText(field, bits, ctx);
    if (desc[at + 1] == L'd' && field.value == FieldValue::Getter)
        value = std::to_wstring(static_cast<int32_t>(ctx.values ? ctx.values[field.arg] : 0));
    return desc.replace(at, 2, value);
}

bool AllOnes(uint32_t bits, const RegField& field)
{
    return bits == FieldBits(0xFFFFFFFFu, field.lo, field.hi);
}

const wchar_t* Marker(const RegField& field, uint32_t bits, uint32_t reg)
{
    switch (field.rule) {
    case FieldRule::MarkWhenSet:
    case FieldRule::Unused: return bits != 0 ? L" **" : nullptr;
    case FieldRule::UnusedUnlessOnes: return AllOnes(bits, field) ? nullptr : L" **";
    case FieldRule::CalMark: return bits != 0 ? L"****" : nullptr;
    case FieldRule::MirrorMark: return bits != FieldBits(reg, field.arg, field.arg) ? L" ****" : nullptr;
    default: return nullptr;
    }
}

int StatusState(const RegField& field, uint32_t bits)
{
    switch (field.rule) {
    case FieldRule::RedWhenSet: return bits != 0 ? -1 : 1;
    case FieldRule::GreenWhenSet: return bits != 0 ? 1 : -1;
    case FieldRule::RedWhenBit0: return (bits & 1) ? -1 : 1;
    default: return 0;
    }
}

} // namespace

const uint32_t* FetchRegisterSet(CRegisterLines& lines, int group, TQ8_HANDLE device, int32_t set)
{
    const uint32_t* words = nullptr;
    if (GetRegSetTQ8(device, set, &words) != TQ8_OK || !words) {
        lines.AddUnnumberedLine(L"Failed to get", group);
        return nullptr;
    }
    return words;
}

uint32_t FieldBits(uint32_t reg, unsigned lo, unsigned hi)
{
    const unsigned width = hi - lo + 1;
    const uint32_t mask = width >= 32 ? 0xFFFFFFFFu : ((1u << width) - 1);
    return (reg >> lo) & mask;
}

std::wstring FormatWide(const wchar_t* format, ...)
{
    wchar_t buffer[256];
    va_list args;
    va_start(args, format);
    const int n = std::vswprintf(buffer, sizeof buffer / sizeof buffer[0], format, args);
    va_end(args);
    return n < 0 ? std::wstring() : std::wstring(buffer, static_cast<size_t>(n));
}

std::wstring FieldLineText(const RegField& field, uint32_t reg, const FieldContext& ctx)
{
    const uint32_t bits = FieldBits(reg, field.lo, field.hi);
    const std::wstring name = WithNumber(field.name, ctx.number);
    std::wstring text = FormatWide(L"%-*ls : 0x%08X", ctx.nameWidth, name.c_str(), bits);
    if (field.desc) {
        text += L' ';
        text += Description(field, bits, ctx);
    }
    if (StatusState(field, bits) != 0 && ctx.statusSuffix)
        text += ctx.statusSuffix;
    if (const wchar_t* marker = Marker(field, bits, reg))
        text += marker;
    return text;
}

int AddFieldLine(CRegisterLines& lines, int parent, const RegField& field, uint32_t reg, const FieldContext& ctx)
{
    const std::wstring text = FieldLineText(field, reg, ctx);
    const uint32_t bits = FieldBits(reg, field.lo, field.hi);
    if (const int state = StatusState(field, bits))
        return lines.AddStatusLine(text, parent, state);
    const bool unused = field.rule == FieldRule::Unused || field.rule == FieldRule::UnusedUnlessOnes;
    return lines.AddLine(text, parent, unused ? 1 : 0);
}
