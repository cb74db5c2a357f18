#pragma once
// Texts of the library's result codes and of the callers' own codes that
// are shown through the library.
#include <cstdint>

namespace tq8 {

// nullptr for a code without text.
const wchar_t* ErrorText(int32_t code);

} // namespace tq8
