#pragma once
// The built-in file service "FileServerWindows": a sub-service only (no
// listener). It serves the folders it is given, each as one drive.
#include <string>
#include <vector>

#include "CVltServiceMgr.h"
#include "IVltServiceClass.h"

class CSvcFsWin32 final : public IVltServiceClass {
public:
    // roots: the served folders, drive "C:" first; empty serves the home
    // directory of the user running the host.
    explicit CSvcFsWin32(std::vector<std::string> roots = {});
    void Release() override;
    const char* GetName() override { return "FileServerWindows"; }
    const char* GetDescription() override { return "Manages Windows file services"; }
    uint16_t GetDefaultPort() override { return kVltNoPort; }
    int32_t CreateInstance(IVltServiceInstance** instance) override;

    static CVltServiceMgr::BuiltInFactory Factory(std::vector<std::string> roots = {});

private:
    ~CSvcFsWin32() = default;
    std::vector<std::string> m_roots;
};
