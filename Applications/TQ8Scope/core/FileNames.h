#pragma once
// The file-name part of a path, as the programs show it in titles, captions
// and source names.
#include <string>

std::wstring FileNameOf(const std::wstring& path);
