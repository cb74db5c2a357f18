#pragma once
// One connection's file service. Every client path is confined to the
// served folders: a path that leaves them (by "..", by a symbolic link, or
// by naming no served drive) is treated as not existing, and changes to it
// are refused with an error reply.
#include <cstdint>
#include <string>
#include <vector>

#include "IVltServiceInstance.h"

class CSvcFsWin32Inst final : public IVltServiceInstance {
public:
    explicit CSvcFsWin32Inst(std::vector<std::string> roots);
    void Release() override;
    int32_t HandleRequest(int socket, xmlDocPtr request, int32_t flags) override;

    // Sends the error reply with the code's text; 1.
    static int32_t SendErrorReply(int socket, int32_t code);

    int32_t OnFsEnumFiles(int socket, xmlDocPtr request);
    int32_t OnFsEnumDrives(int socket, xmlDocPtr request, bool noDetails);
    int32_t OnFsGetSpecialFolder(int socket, xmlDocPtr request);
    int32_t OnFsDirCheck(int socket, xmlDocPtr request);
    int32_t OnFsFileCheck(int socket, xmlDocPtr request);
    int32_t OnFsFileDelete(int socket, xmlDocPtr request);
    int32_t OnFsFileRename(int socket, xmlDocPtr request);
    int32_t OnFsDirCreate(int socket, xmlDocPtr request);

    // A symbolic link or ".desktop" link: its target as a client path, and
    // whether that is an existing directory. False for a target outside the
    // served folders.
    bool ResolveShortcut(const std::string& localPath, std::string& target, bool& isDirectory) const;

private:
    ~CSvcFsWin32Inst() = default;
    // The client path confined to the roots; false (errno EACCES) if it leaves them.
    bool Confine(const std::string& clientPath, bool followLast, std::string& localPath) const;
    // The listing element of one entry; empty when it cannot be read.
    std::string EntryElement(uint32_t index, const std::string& directory, const std::string& name) const;

    std::vector<std::string> m_roots;
};
