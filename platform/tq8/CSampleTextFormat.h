#pragma once
// Text and hexadecimal lines of 8-bit samples: one frame a line, the samples
// of a line apart by one blank, every line ended by CR LF; a sample as its
// decimal value (signed or unsigned) or as two upper-case hexadecimal
// digits. A line may be split between two calls: the column carries over.
// Every one of the 256 sample codes is looked up in tables made once, so a
// sample costs a load and a store.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tq8 {

class CSampleTextFormat {
public:
    // toSigned: the codes (offset binary) become two's complement first,
    // and decimal values are signed.
    CSampleTextFormat(bool hex, bool toSigned, uint32_t perLine);

    // Room Format needs for count samples: it may store a few bytes past
    // the text it returns.
    static constexpr size_t MaxBytes(size_t count) { return count * kMaxSampleBytes + kSlackBytes; }

    // Formats count samples into out (MaxBytes(count) of room); column is
    // the place in the current line, kept by the caller between calls.
    // Returns the bytes of text written.
    size_t Format(const uint8_t* data, size_t count, char* out, uint32_t& column) const;

private:
    // " -128\r\n" is the longest text of one sample.
    static constexpr size_t kMaxSampleBytes = 7;
    static constexpr size_t kSlackBytes = sizeof(uint64_t);
    // An entry: the text in its low bytes, its length in the top byte.
    using Table = std::array<uint64_t, 256>;

    static Table MakeTable(bool hex, bool toSigned, bool blankBefore, bool lineEnd);
    static char* Put(char* out, uint64_t entry);

    const uint32_t m_perLine;
    Table m_first;  // the first sample of a line (the line's only one when perLine is 1)
    Table m_middle; // after a blank, not the last
    Table m_last;   // after a blank, ending the line
};

} // namespace tq8
