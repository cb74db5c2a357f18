#pragma once
// Texts of the library's result codes and of the callers' own codes that
// are shown through the library.
#include <cstdint>
#include <string>

namespace tq8 {

// nullptr for a code without text.
const wchar_t* ErrorText(int32_t code);

// A count as the library's reasons write it: "4,096 samples", "1 byte".
std::wstring SampleCountText(uint64_t count);
std::wstring ByteCountText(uint64_t count);

} // namespace tq8
