#include "CVltLinksMgr.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <new>
#include <ostream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include <libxml/parser.h>

#include "CAutoXmlDoc.h"
#include "DesktopLink.h"
#include "NumberParse.h"
#include "SpecialFolders.h"
#include "TextConv.h"
#include "XmlRoutines.h"

namespace {

constexpr const char* kVersion = "1.1";
constexpr size_t kMaxContextBytes = 4 * 1024 * 1024;
constexpr uint32_t kE_FAIL = 0x80004005;

// A failure inside the context reader; printed tells whether its message
// is out already, reason says why when the code alone would not.
struct ContextError {
    uint32_t hr = kE_FAIL;
    bool printed = false;
    std::string reason;
};

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n\v\f");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n\v\f") - first + 1);
}

// The context files are written with '\' between folders.
std::string WithSlashes(std::string path)
{
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

bool HoldsControlCharacter(const std::string& name)
{
    return std::any_of(name.begin(), name.end(), [](char c) { return std::iscntrl(static_cast<unsigned char>(c)); });
}

// The name on one line: control characters as C escapes.
std::string Shown(const std::string& name)
{
    std::string out;
    for (char c : name) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (std::iscntrl(static_cast<unsigned char>(c))) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

bool EndsWithIgnoringCase(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && Lower(text.substr(text.size() - end.size())) == end;
}

bool IsOptionWord(const std::string& lower)
{
    static const char* const names[] = {"install", "uninstall", "verbose", "src", "ctx", "v", "?", "h"};
    for (const char* name : names)
        if (lower == name)
            return true;
    return lower.rfind("allusers", 0) == 0;
}

// The option's name without its '-', or '/' when the word after it is one
// of the tool's options (so that an absolute path stays a path).
bool OptionName(const std::string& arg, std::string& name)
{
    if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '/'))
        return false;
    name = arg.substr(1);
    return arg[0] == '-' || IsOptionWord(Lower(name));
}

// A scheme of two or more characters and a colon, as "http:" or "mailto:".
bool IsUrl(const std::string& text)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(text[0])))
        return false;
    for (size_t i = 1; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return false;
    }
    return true;
}

// ".desktop" appended unless there; a ".lnk" or ".url" ending replaced.
std::string DesktopFileName(const std::string& name)
{
    if (EndsWithIgnoringCase(name, ".desktop"))
        return name;
    if (EndsWithIgnoringCase(name, ".lnk") || EndsWithIgnoringCase(name, ".url"))
        return name.substr(0, name.size() - 4) + ".desktop";
    return name + ".desktop";
}

// Relative, with no ".." part: it cannot lead out of its folder.
bool StaysInside(const std::string& name)
{
    if (!name.empty() && name.front() == '/')
        return false;
    size_t start = 0;
    for (;;) {
        const size_t end = name.find('/', start);
        if (name.substr(start, end == std::string::npos ? std::string::npos : end - start) == "..")
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

// Why a link name cannot be used, or empty: it must stay inside its folder,
// name a file with a title of its own ("." and ".." are none) and hold no
// character that a file name cannot carry on one line.
std::string LinkNameProblem(const std::string& name)
{
    if (HoldsControlCharacter(name))
        return "vltlinks: Link name holds a character that cannot stand in a file name: " + Shown(name) + "\n";
    const std::string trimmed = Trim(name);
    const std::string title = CMyPath(DesktopFileName(trimmed)).Title();
    if (!StaysInside(trimmed) || title.empty() || title == "." || title == "..")
        return "vltlinks: Link name must name a file inside its folder: " + name + "\n";
    return {};
}

xmlNodePtr FirstChild(xmlNodePtr parent, const char* name)
{
    for (xmlNodePtr child = parent->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE && xmlStrcmp(child->name, BAD_CAST name) == 0)
            return child;
    return nullptr;
}

// An Exec line must hold valid UTF-8 without control characters; other
// targets are linked by URL, which can carry any byte.
bool CanBeExecLine(const std::string& path)
{
    for (unsigned char c : path)
        if (c < 0x20 || c == 0x7F)
            return false;
    return vlt::WideToUtf8(vlt::Utf8ToWide(path)) == path;
}

bool IsExecutableFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0111) != 0;
}

// No network, no DTD loading, no entity substitution; a missing, special,
// oversized or malformed file gives none, and the reader's or the parser's
// reason.
xmlDocPtr ParseContextFile(const std::string& path, std::string& reason)
{
    return XmlReadFile(path, nullptr, XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING,
                       &reason, kMaxContextBytes);
}

CMyPath Normalised(const CMyPath& path)
{
    CMyPath out = path.AbsoluteForm();
    out.Canonicalize();
    out.RemoveTrailingSlash();
    return out;
}

} // namespace

CVltLinksMgr::CVltLinksMgr(std::ostream& out) : m_out(out), m_sourceFolder(CMyPath::CurrentFolder())
{
}

void CVltLinksMgr::PrintBanner()
{
    m_out << "vltlinks v" << kVersion << " - Veltrane product shortcut install/uninstall utility\n"
          << "Creates or removes the shortcuts named in an XML context file.\n"
          << "\n";
}

void CVltLinksMgr::PrintUsage()
{
    PrintBanner();
    m_out << "Usage: vltlinks [/Install | /Uninstall] /Src DIR /AllUsers=# /Ctx CTXFILE\n"
          << " Install   : Install shortcuts specified by context file [default]\n"
          << " Uninstall : Remove shortcuts specified by context file\n"
          << " DIR       : Directory where product is installed [.]\n"
          << " #         : If > 0 then install for all users, else current user [0]\n"
          << " CTXFILE   : Context file defining shortcuts [vltlinks.xml]\n"
          << "\n";
}

void CVltLinksMgr::PrintSettings()
{
    PrintBanner();
    m_out << "Source dir: " << m_sourceFolder.Text() << "\n"
          << "Context file: " << m_contextFile << "\n"
          << "Installing ? " << (m_install ? "Yes" : "No") << "\n"
          << "All users ? " << (m_allUsers ? "Yes" : "No") << "\n"
          << "\n";
}

bool CVltLinksMgr::TakeValue(const std::vector<std::string>& args, size_t& i, std::string& value)
{
    if (i + 1 >= args.size())
        return false;
    value = args[++i];
    return true;
}

int32_t CVltLinksMgr::ParseCommandLine(const std::vector<std::string>& args)
{
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name;
        if (!OptionName(args[i], name))
            continue;
        const std::string lower = Lower(name);
        std::string value;
        if (lower == "install") {
            m_install = true;
        } else if (lower == "uninstall") {
            m_install = false;
        } else if (lower == "verbose") {
            m_verbose = true;
        } else if (lower.rfind("allusers", 0) == 0) {
            m_allUsers = false;
            const size_t equals = name.find('=');
            int64_t number = 0;
            if (equals != std::string::npos && vlt::ParseNumberExact(Trim(name.substr(equals + 1)), number))
                m_allUsers = number != 0;
        } else if (lower == "src") {
            if (!TakeValue(args, i, value)) {
                m_out << "vltlinks: Source directory not specified after /Src\n\n";
                PrintUsage();
                return -1;
            }
            CMyPath folder(value);
            folder.RemoveQuotes();
            m_sourceFolder = CMyPath(folder.Text());
        } else if (lower == "ctx") {
            if (!TakeValue(args, i, value)) {
                m_out << "vltlinks: Context filename not specified after /Ctx\n\n";
                PrintUsage();
                return -2;
            }
            m_contextFile = value;
        } else if (lower == "v") {
            PrintBanner();
            return 0;
        } else if (lower == "?" || lower == "h") {
            PrintUsage();
            return 0;
        }
    }
    if (m_verbose)
        PrintSettings();
    return 1;
}

int32_t CVltLinksMgr::LoadContext()
{
    m_baseFolder = CMyPath(CMyPath::CurrentFolder());
    if (!m_sourceFolder.IsEmpty() && m_sourceFolder.IsDirectory()
        && ::access(m_sourceFolder.Text().c_str(), X_OK) == 0)
        m_baseFolder = m_sourceFolder.AbsoluteForm();

    std::string reason;
    CAutoXmlDoc doc(ParseContextFile(CMyPath(m_contextFile).AbsoluteForm(m_baseFolder.Text()).Text(), reason));
    if (doc.IsEmpty()) {
        m_out << "The specified file is not a valid vltlink context file\n"
              << "vltlinks: " << reason << "\n";
        return -1;
    }
    try {
        ReadContext(doc);
    } catch (const ContextError& error) {
        if (!error.printed) {
            char line[96];
            std::snprintf(line, sizeof line, "vltlinks: An error occurred while parsing context file. (HR:0x%08X)\n",
                          static_cast<unsigned>(error.hr));
            m_out << line;
            if (!error.reason.empty())
                m_out << "vltlinks: " << error.reason << "\n";
        }
        return -1;
    } catch (const std::bad_alloc&) {
        m_out << "vltlinks: Failed to allocate memory\n";
        return -1;
    }
    return 0;
}

void CVltLinksMgr::ReadContext(xmlDocPtr doc)
{
    const xmlNodePtr root = xmlDocGetRootElement(doc);
    const std::string rootName = root ? reinterpret_cast<const char*>(root->name) : "";
    if (Lower(rootName) != "vlt_links")
        throw ContextError{kE_FAIL, false, "The root element is <" + rootName + ">, not <vlt_links>"};
    if (const xmlNodePtr desktop = FirstChild(root, "Desktop"))
        ReadShortcuts(desktop, m_desktop);
    if (const xmlNodePtr startMenu = FirstChild(root, "StartMenu")) {
        ReadShortcuts(startMenu, m_startMenu);
        if (!XmlGetAttrString(startMenu, "preamble", m_preamble)) {
            m_out << "vltlinks: Element <StartMenu> is missing mandatory 'preamble' attribute\n";
            throw ContextError{kE_FAIL, true, {}};
        }
        m_preamble = WithSlashes(m_preamble);
        if (HoldsControlCharacter(m_preamble)) {
            m_out << "vltlinks: The 'preamble' attribute holds a character that cannot stand in a folder name: "
                  << Shown(m_preamble) << "\n";
            throw ContextError{kE_FAIL, true, {}};
        }
        if (!StaysInside(Trim(m_preamble))) {
            m_out << "vltlinks: The 'preamble' attribute must name a folder below the Programs folder: "
                  << m_preamble << "\n";
            throw ContextError{kE_FAIL, true, {}};
        }
    }
}

void CVltLinksMgr::ReadShortcuts(xmlNodePtr element, std::vector<CShortcutEntry>& list)
{
    for (xmlNodePtr child = element->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || xmlStrcmp(child->name, BAD_CAST "Shortcut") != 0)
            continue;
        CShortcutEntry entry;
        if (!XmlGetAttrString(child, "target", entry.target)) {
            m_out << "vltlinks: Element <Shortcut> is missing a mandatory 'target' attribute.\n";
            throw ContextError{kE_FAIL, true, {}};
        }
        entry.kind = IsUrl(entry.target) ? CShortcutEntry::kInternetShortcut : CShortcutEntry::kFileShortcut;
        if (entry.kind == CShortcutEntry::kFileShortcut)
            entry.target = WithSlashes(entry.target);
        if (XmlGetAttrString(child, "linkname", entry.linkName)) {
            entry.linkName = WithSlashes(entry.linkName);
        } else {
            if (entry.kind == CShortcutEntry::kInternetShortcut) {
                m_out << "vltlinks: Link name must be specified for a URL shortcut\n";
                throw ContextError{kE_FAIL, true, {}};
            }
            entry.linkName = "Shortcut to " + entry.target + ".lnk";
        }
        XmlGetAttrString(child, "comment", entry.comment);
        list.push_back(entry);
    }
}

int32_t CVltLinksMgr::Run()
{
    using namespace vlt;
    m_desktopFolder = CMyPath::SpecialFolder(m_allUsers ? kFolderCommonDesktopDirectory : kFolderDesktopDirectory);
    m_programsFolder = CMyPath::SpecialFolder(m_allUsers ? kFolderCommonPrograms : kFolderPrograms);
    m_startMenuFolder = m_programsFolder;
    if (!m_startMenuFolder.IsEmpty())
        m_startMenuFolder.Append(m_preamble);
    Resolve(m_desktop, m_desktopFolder, m_allUsers ? "all-users desktop" : "desktop folder");
    Resolve(m_startMenu, m_startMenuFolder, "Programs folder");
    return m_install ? Install() : Uninstall();
}

void CVltLinksMgr::Resolve(std::vector<CShortcutEntry>& list, const CMyPath& folder, const char* noFolderReason)
{
    for (CShortcutEntry& entry : list) {
        if (entry.kind == CShortcutEntry::kFileShortcut) {
            CMyPath joined(m_baseFolder);
            joined.Append(entry.target);
            if (m_install && !joined.Exists()) {
                // Not an error: the product may leave out what the context names.
                m_out << "vltlinks: Target does not exist, shortcut skipped: " << joined.Text() << "\n";
                entry.target.clear();
                entry.linkName.clear();
                continue;
            }
            entry.target = joined.Text();
        }
        entry.refusal = LinkNameProblem(entry.linkName);
        if (!entry.refusal.empty()) {
            entry.linkName.clear();
            continue;
        }
        if (folder.IsEmpty()) {
            entry.refusal = std::string("vltlinks: There is no ") + noFolderReason + " on this system; not installed: "
                + entry.linkName + "\n";
            entry.linkName.clear();
            continue;
        }
        CMyPath link(folder);
        link.Append(DesktopFileName(Trim(entry.linkName)));
        entry.linkName = link.Text();
        if (m_install && CMyPath::FileExists(entry.linkName))
            m_out << "vltlinks: Replacing shortcut: " << link.FileName() << "\n";
    }
}

int32_t CVltLinksMgr::Install()
{
    int32_t failed = 0;
    for (const CShortcutEntry& entry : m_desktop)
        if (!entry.target.empty() && InstallEntry(entry, true) != 0)
            ++failed;
    for (const CShortcutEntry& entry : m_startMenu)
        if (!entry.target.empty() && InstallEntry(entry, false) != 0)
            ++failed;
    return failed;
}

int32_t CVltLinksMgr::InstallEntry(const CShortcutEntry& entry, bool onDesktop)
{
    if (!entry.refusal.empty()) {
        m_out << entry.refusal;
        return -1;
    }
    const CMyPath link(entry.linkName);
    const std::string folder = link.Folder().Text();
    std::error_code made, there;
    std::filesystem::create_directories(folder, made);
    if (!std::filesystem::is_directory(folder, there)) {
        m_out << "vltlinks: Cannot create folder '" << folder << "' for shortcut '" << link.FileName()
              << "': " << (made ? made : there).message() << "\n";
        return -1;
    }

    vlt::DesktopEntry desktop;
    desktop.name = link.Title();
    const bool url = entry.kind == CShortcutEntry::kInternetShortcut;
    if (url) {
        desktop.url = entry.target;
    } else {
        desktop.comment = entry.comment;
        if (IsExecutableFile(entry.target) && CanBeExecLine(entry.target)) {
            desktop.type = vlt::DesktopEntry::Type::Application;
            desktop.program = entry.target;
            desktop.folder = CMyPath(entry.target).Folder().Text();
        } else {
            desktop.url = vlt::FileUrl(entry.target);
        }
    }
    std::string reason;
    if (!vlt::WriteDesktopEntry(entry.linkName, desktop, onDesktop, &reason)) {
        if (url)
            m_out << "vltlinks: Failed to create link to URL: " << entry.target << "\n";
        else
            m_out << "vltlinks: Failed to create link to " << CMyPath(entry.target).FileName() << "\n";
        m_out << "vltlinks: " << reason << "\n";
        return -2;
    }
    if (m_verbose)
        m_out << (url ? "Installed internet shortcut: " : "Installed shortcut: ") << link.FileName() << "\n";
    return 0;
}

int32_t CVltLinksMgr::Uninstall()
{
    UninstallList(m_desktop, m_desktopFolder);
    UninstallList(m_startMenu, m_programsFolder);
    return 0;
}

void CVltLinksMgr::UninstallList(const std::vector<CShortcutEntry>& list, const CMyPath& stop)
{
    for (const CShortcutEntry& entry : list) {
        struct stat info {};
        if (entry.linkName.empty() || ::lstat(entry.linkName.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
            continue;
        const CMyPath link(entry.linkName);
        if (m_verbose)
            m_out << "Removing link: " << link.FileName() << "\n";
        ::unlink(entry.linkName.c_str());
        RemoveEmptiedFolders(link.Folder(), stop, m_verbose, m_out);
    }
}

void CVltLinksMgr::RemoveEmptiedFolders(const CMyPath& start, const CMyPath& stop, bool verbose, std::ostream& out)
{
    const CMyPath last = Normalised(stop);
    CMyPath folder = Normalised(start);
    std::error_code ec;
    while (!last.IsEmpty() && folder.Text() != last.Text() && folder.HasPrefix(last.Text())
           && std::filesystem::is_directory(folder.Text(), ec) && std::filesystem::is_empty(folder.Text(), ec)) {
        if (::rmdir(folder.Text().c_str()) == 0 && verbose)
            out << "Removed empty directory: " << folder.Text() << "\n";
        folder.GoUp();
    }
}

int32_t CVltLinksMgr::RunTool(const std::vector<std::string>& args, std::ostream& out, bool& verbose)
{
    CVltLinksMgr manager(out);
    int32_t result = manager.ParseCommandLine(args);
    verbose = manager.IsVerbose();
    if (result <= 0)
        return result;
    result = manager.LoadContext();
    if (result != 0)
        return result;
    return manager.Run();
}
