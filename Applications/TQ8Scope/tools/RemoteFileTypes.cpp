#include "RemoteFileTypes.h"

#include <cwctype>

#include <QMimeDatabase>
#include <QMimeType>

RemoteFileTypes& RemoteFileTypes::Instance()
{
    static RemoteFileTypes types;
    return types;
}

std::wstring RemoteFileTypes::ExtensionOf(const std::wstring& name)
{
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos)
        return {};
    std::wstring ext = name.substr(dot);
    for (wchar_t& c : ext)
        c = static_cast<wchar_t>(std::towlower(c));
    return ext;
}

RemoteFileTypes::Type RemoteFileTypes::Resolve(const std::wstring& name, const std::wstring& extension)
{
    static const QMimeDatabase database;
    // By the name only: the file is not on this computer.
    const QMimeType mime = database.mimeTypeForFile(QString::fromStdWString(name), QMimeDatabase::MatchExtension);
    Type type;
    if (mime.isValid() && !mime.isDefault() && !mime.comment().isEmpty()) {
        type.text = mime.comment().toStdWString();
        type.iconName = mime.iconName().toStdWString();
        return type;
    }
    const std::wstring bare = extension.empty() ? std::wstring() : extension.substr(1);
    type.text = bare.empty() ? L"File" : bare + L" File";
    return type;
}

RemoteFileTypes::Type RemoteFileTypes::Lookup(const std::wstring& name)
{
    const std::wstring ext = ExtensionOf(name);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_cache.find(ext);
        if (it != m_cache.end())
            return it->second;
    }
    Type type = Resolve(name, ext);
    std::lock_guard<std::mutex> guard(m_lock);
    return m_cache.emplace(ext, std::move(type)).first->second;
}

bool RemoteFileTypes::CachedText(const std::wstring& extension, std::wstring& text) const
{
    std::lock_guard<std::mutex> guard(m_lock);
    auto it = m_cache.find(extension);
    if (it == m_cache.end())
        return false;
    text = it->second.text;
    return true;
}
