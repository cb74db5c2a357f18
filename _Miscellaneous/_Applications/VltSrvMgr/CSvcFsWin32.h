#pragma once
// The built-in file service "FileServerWindows": a sub-service only (no
// listener). It serves the folders it is given, each as one drive; without
// any, the process's served folders, which the host's configuration names:
//   <VltServiceCfg>
//     <FileServerWindows><Folder>/srv/data</Folder>...</FileServerWindows>
// with the home folder of the user when it names none.
#include <optional>
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "CVltServiceMgr.h"
#include "IVltServiceClass.h"

class CSvcFsWin32 final : public IVltServiceClass {
public:
    // roots: the served folders, drive "C:" first; empty serves the
    // process's served folders.
    explicit CSvcFsWin32(std::vector<std::string> roots = {});
    void Release() override;
    const char* GetName() override { return "FileServerWindows"; }
    const char* GetDescription() override { return "Manages Windows file services"; }
    uint16_t GetDefaultPort() override { return kVltNoPort; }
    int32_t CreateInstance(IVltServiceInstance** instance) override;

    static CVltServiceMgr::BuiltInFactory Factory(std::vector<std::string> roots = {});

    // The configuration's folders, in order; nullopt when it names none. A
    // folder that is not an existing folder named by an absolute path, or
    // one past drive "Z:", is left out with a line in the host's log
    // (standard error).
    static std::optional<std::vector<std::string>> ConfiguredFolders(xmlDocPtr config);
    // A reader for CVltServiceMgr::SetConfigReader: the configured folders
    // become the process's served folders (the home folder without any).
    static CVltServiceMgr::ConfigReader ConfigReader();

private:
    ~CSvcFsWin32() = default;
    std::vector<std::string> m_roots;
};
