#pragma once
// Why the context file beside a sample file cannot be used, for one that is
// there: damaged, or not readable (a folder of that name, no permission).
#include <string>

// "The context data file of <subject> is damaged and could not be read:" or
// "... is not readable:", then a blank line and the library's reason. Empty
// when the context file reads or when there is none.
std::wstring ContextFileProblem(const std::wstring& dataPath, const std::wstring& subject);
