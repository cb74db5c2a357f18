#include "ReferenceSampleText.h"

namespace {
void ReferenceSample(std::string& out, uint8_t code, bool hex, bool isSigned)
{
    static const char digits[] = "0123456789ABCDEF";
    if (hex) {
        out += digits[code >> 4];
        out += digits[code & 0xF];
        return;
    }
    int value = isSigned ? static_cast<int>(static_cast<int8_t>(code)) : static_cast<int>(code);
    if (value < 0) {
        out += '-';
        value = -value;
    }
    char buf[4];
    int n = 0;
    do {
        buf[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n != 0)
        out += buf[--n];
}
} // namespace

std::string ReferenceText(const uint8_t* data, size_t bytes, bool hex, bool toSigned, uint32_t perLine,
                          uint32_t& column)
{
    const uint8_t mask = toSigned ? 0x80 : 0x00;
    std::string out;
    for (size_t i = 0; i < bytes; ++i) {
        if (column != 0)
            out += ' ';
        ReferenceSample(out, static_cast<uint8_t>(data[i] ^ mask), hex, toSigned);
        if (++column == perLine) {
            out += "\r\n";
            column = 0;
        }
    }
    return out;
}

