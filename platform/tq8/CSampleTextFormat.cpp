#include "CSampleTextFormat.h"

#include <bit>
#include <charconv>
#include <cstring>

namespace tq8 {

static_assert(std::endian::native == std::endian::little, "table entries are stored as they lie");

CSampleTextFormat::CSampleTextFormat(bool hex, bool toSigned, uint32_t perLine)
    : m_perLine(perLine == 0 ? 1 : perLine), m_first(MakeTable(hex, toSigned, false, m_perLine == 1)),
      m_middle(MakeTable(hex, toSigned, true, false)), m_last(MakeTable(hex, toSigned, true, true))
{
}

CSampleTextFormat::Table CSampleTextFormat::MakeTable(bool hex, bool toSigned, bool blankBefore, bool lineEnd)
{
    static const char kHexDigits[] = "0123456789ABCDEF";
    Table table{};
    for (unsigned raw = 0; raw < 256; ++raw) {
        const auto code = static_cast<uint8_t>(toSigned ? raw ^ 0x80 : raw);
        char text[8] = {};
        char* end = text;
        if (blankBefore)
            *end++ = ' ';
        if (hex) {
            *end++ = kHexDigits[code >> 4];
            *end++ = kHexDigits[code & 0xF];
        } else {
            const int value = toSigned ? static_cast<int8_t>(code) : code;
            end = std::to_chars(end, text + sizeof text, value).ptr;
        }
        if (lineEnd) {
            *end++ = '\r';
            *end++ = '\n';
        }
        const auto length = static_cast<uint64_t>(end - text);
        uint64_t entry = 0;
        std::memcpy(&entry, text, length);
        table[raw] = entry | length << 56;
    }
    return table;
}

inline char* CSampleTextFormat::Put(char* out, uint64_t entry)
{
    // All eight bytes are stored; the next sample overwrites the surplus.
    std::memcpy(out, &entry, sizeof entry);
    return out + (entry >> 56);
}

size_t CSampleTextFormat::Format(const uint8_t* data, size_t count, char* out, uint32_t& column) const
{
    char* const start = out;
    const uint8_t* const end = data + count;
    if (m_perLine == 1) {
        for (; data != end; ++data)
            out = Put(out, m_first[*data]);
        return static_cast<size_t>(out - start);
    }
    const uint32_t lastColumn = m_perLine - 1;
    // The rest of a line begun by the previous call.
    for (; column != 0 && data != end; ++data) {
        out = Put(out, column == lastColumn ? m_last[*data] : m_middle[*data]);
        column = column == lastColumn ? 0 : column + 1;
    }
    // Whole lines.
    while (static_cast<size_t>(end - data) >= m_perLine) {
        out = Put(out, m_first[*data++]);
        for (uint32_t k = 1; k < lastColumn; ++k)
            out = Put(out, m_middle[*data++]);
        out = Put(out, m_last[*data++]);
    }
    // The start of a line the next call ends.
    for (; data != end; ++data)
        out = Put(out, column++ == 0 ? m_first[*data] : m_middle[*data]);
    return static_cast<size_t>(out - start);
}

} // namespace tq8
