#include "FileNames.h"

#include <filesystem>

#include "TextConv.h"

std::wstring FileNameOf(const std::wstring& path)
{
    return vlt::Utf8ToWide(std::filesystem::path(vlt::WideToUtf8(path)).filename().string());
}
