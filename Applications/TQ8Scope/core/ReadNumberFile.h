#pragma once
// Reads the numbers of a text file (FIR coefficients): separated by blanks,
// line breaks or a comma directly after a number.
#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint32_t kReadIntegral = 0x1;  // decimal whole numbers, taken as they are
inline constexpr uint32_t kReadNormalise = 0x2; // fractions: divide by the largest when it exceeds 1

// Fractions are scaled by 32768 and limited to -32768..32767. Reads up to
// maxCount values (0: all). On failure a message is shown, false is
// returned and nothing is appended.
bool ReadNumberFile(const std::wstring& path, std::vector<int32_t>& values, size_t maxCount, uint32_t flags);

// The same over text already read; the failure message in error.
bool ParseNumberText(const std::string& text, std::vector<int32_t>& values, size_t maxCount, uint32_t flags,
                     std::wstring& error);
