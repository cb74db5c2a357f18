#include "ContextFileProblem.h"

#include "TQ8_64.h"

std::wstring ContextFileProblem(const std::wstring& dataPath, const std::wstring& subject)
{
    wchar_t* reason = nullptr;
    const int32_t rc = GetVrdcFileErrorWTQ8(dataPath.c_str(), &reason);
    const std::wstring why = reason ? reason : L"";
    FreeMemoryTQ8(reason);
    const std::wstring head = L"The context data file of " + subject;
    if (rc == TQ8_ERR_CONTEXT_DAMAGED)
        return head + L" is damaged and could not be read:\n\n" + why;
    if (rc == TQ8_ERR_CONTEXT_UNREADABLE)
        return head + L" is not readable:\n\n" + why;
    return {};
}
