#pragma once
// The shortcut tool: reads the shortcuts of a context file and installs them
// as desktop entries on the desktop and under the Programs folder, or removes
// them again.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "CMyPath.h"
#include "CShortcutEntry.h"

class CVltLinksMgr {
public:
    explicit CVltLinksMgr(std::ostream& out);
    CVltLinksMgr(const CVltLinksMgr&) = delete;
    CVltLinksMgr& operator=(const CVltLinksMgr&) = delete;

    // Above 0: go on; 0 or less ends the tool with that result.
    virtual int32_t ParseCommandLine(const std::vector<std::string>& args);
    // 0, or -1 after a message.
    virtual int32_t LoadContext();
    // The count of shortcuts that failed to install, or 0.
    virtual int32_t Run();
    virtual ~CVltLinksMgr() = default;

    bool IsVerbose() const { return m_verbose; }

    // Parse, load and run; verbose tells the caller whether to wait for a key.
    static int32_t RunTool(const std::vector<std::string>& args, std::ostream& out, bool& verbose);

    // Removes the empty folders from start upwards while they lie strictly
    // below stop; stop itself is never removed.
    static void RemoveEmptiedFolders(const CMyPath& start, const CMyPath& stop, bool verbose, std::ostream& out);

protected:
    virtual int32_t Install();
    virtual int32_t Uninstall();

private:
    void PrintBanner();
    void PrintUsage();
    void PrintSettings();
    bool TakeValue(const std::vector<std::string>& args, size_t& i, std::string& value);
    void ReadContext(xmlDocPtr doc);
    void ReadShortcuts(xmlNodePtr element, std::vector<CShortcutEntry>& list);
    void Resolve(std::vector<CShortcutEntry>& list, const CMyPath& folder, const char* noFolderReason);
    int32_t InstallEntry(const CShortcutEntry& entry, bool onDesktop);
    void UninstallList(const std::vector<CShortcutEntry>& list, const CMyPath& stop);

    std::ostream& m_out;
    CMyPath m_sourceFolder;
    std::string m_contextFile = "vltlinks.xml";
    bool m_install = true;
    bool m_allUsers = false;
    bool m_verbose = false;
    std::vector<CShortcutEntry> m_desktop;
    std::vector<CShortcutEntry> m_startMenu;
    std::string m_preamble;
    CMyPath m_startMenuFolder;
    CMyPath m_desktopFolder;
    CMyPath m_programsFolder;
    // The folder relative targets and the context file are taken from: the
    // source folder when it can be entered, else the current folder.
    CMyPath m_baseFolder;
};
