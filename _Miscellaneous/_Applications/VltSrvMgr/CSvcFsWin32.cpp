#include "CSvcFsWin32.h"

#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

#include "CServedFolders.h"
#include "CSvcFsWin32Inst.h"
#include "ClientPaths.h"
#include "ServiceErrors.h"
#include "XmlRoutines.h"

namespace {

std::string Trimmed(const std::string& text)
{
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

void LogSkipped(const std::string& folder, const char* why)
{
    std::fprintf(stderr, "VltSrvMgr: the served folder \"%s\" %s; it is not served\n", folder.c_str(), why);
}

// Why the folder cannot be served, or null when it can.
const char* Unservable(const std::string& folder)
{
    if (folder.empty() || folder.front() != '/')
        return "is not an absolute path";
    std::error_code ec;
    return std::filesystem::is_directory(folder, ec) ? nullptr : "does not exist";
}

} // namespace

CSvcFsWin32::CSvcFsWin32(std::vector<std::string> roots)
    : m_roots(roots.empty() ? vlt::CServedFolders::Get() : std::move(roots))
{
}

std::optional<std::vector<std::string>> CSvcFsWin32::ConfiguredFolders(xmlDocPtr config)
{
    std::vector<xmlNodePtr> nodes;
    if (config)
        XPathFindNodes(config, "/VltServiceCfg/FileServerWindows/Folder", nodes);
    if (nodes.empty())
        return std::nullopt;
    std::vector<std::string> folders;
    for (xmlNodePtr node : nodes) {
        std::string text;
        XmlNodeGetText(node, text);
        const std::string folder = Trimmed(text);
        if (const char* why = Unservable(folder))
            LogSkipped(folder, why);
        else if (vlt::DriveRootText(folders.size()).empty())
            LogSkipped(folder, "would come after drive Z:");
        else
            folders.push_back(folder);
    }
    return folders;
}

CVltServiceMgr::ConfigReader CSvcFsWin32::ConfigReader()
{
    return [](xmlDocPtr config) { vlt::CServedFolders::Set(ConfiguredFolders(config)); };
}

void CSvcFsWin32::Release()
{
    delete this;
}

int32_t CSvcFsWin32::CreateInstance(IVltServiceInstance** instance)
{
    if (!instance)
        return kSvcInvalidArgument;
    *instance = new (std::nothrow) CSvcFsWin32Inst(m_roots);
    return *instance ? kSvcOk : kSvcOutOfMemory;
}

CVltServiceMgr::BuiltInFactory CSvcFsWin32::Factory(std::vector<std::string> roots)
{
    return [roots] { return new CSvcFsWin32(roots); };
}
