#include "CMyCommandLineInfo.h"

#include <filesystem>
#include <system_error>

#include <QString>

#include "TextConv.h"

namespace {

bool SameNoCase(const std::wstring& a, const wchar_t* b)
{
    return QString::fromStdWString(a).compare(QString::fromWCharArray(b), Qt::CaseInsensitive) == 0;
}

std::filesystem::path ToPath(const std::wstring& text)
{
    return std::filesystem::path(vlt::WideToUtf8(text));
}

// Anything of that name that exists: a FIFO or a folder too, so that the
// load says why it cannot be read instead of the name being ignored.
bool IsExistingWorkspaceFile(const std::wstring& arg)
{
    std::filesystem::path path = ToPath(arg);
    if (!SameNoCase(vlt::Utf8ToWide(path.extension().string()), L".tq8ws"))
        return false;
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

} // namespace

bool CMyCommandLineInfo::IsSwitch(const std::wstring& arg)
{
    if (arg.size() < 2)
        return false;
    if (arg[0] == L'-')
        return true;
    if (arg[0] != L'/' || arg.find(L'/', 1) != std::wstring::npos)
        return false;
    std::error_code ec;
    return !std::filesystem::exists(ToPath(arg), ec);
}

void CMyCommandLineInfo::Parse(const std::vector<std::wstring>& args)
{
    for (const std::wstring& arg : args) {
        if (IsSwitch(arg))
            ParseParam(arg.substr(1), true);
        else
            ParseParam(arg, false);
    }
}

void CMyCommandLineInfo::ParseParam(const std::wstring& param, bool isSwitch)
{
    if (isSwitch) {
        if (SameNoCase(param, L"virtual"))
            m_bVirtual = true;
        else if (SameNoCase(param, L"unsafe"))
            m_bUnsafe = true;
        else if (SameNoCase(param, L"virtual_sync"))
            m_bVirtualSync = true;
        // Other switches belong to the framework's commands, none of which
        // this program offers.
        return;
    }
    if (IsExistingWorkspaceFile(param)) {
        m_strWorkspaceFile = param;
        return;
    }
    // The framework takes the first plain argument as the file to open.
    if (m_strFileName.empty()) {
        m_strFileName = param;
        m_nShellCommand = FileOpen;
    }
}
