#pragma once
// A service manager that only pretends: LoadConfig answers with a chosen
// result and registers the chosen classes, UnloadAll removes them.
#include <functional>
#include <map>
#include <string>

#include "CVltServiceMgr.h"

struct FakeServiceInfo {
    std::string name;
    std::string description;
    uint16_t port;
};

class CFakeServiceMgr : public CVltServiceMgr {
public:
    int32_t LoadConfig(const char* path, bool startListening) override
    {
        loadedPath = path ? path : "";
        listening = startListening;
        ++loads;
        if (onLoad)
            onLoad();
        if (result >= 0 || keepOnFailure)
            current = classes;
        return result;
    }
    bool UnloadAll() override
    {
        ++unloads;
        current.clear();
        return true;
    }
    size_t GetServiceIds(std::vector<int32_t>& ids) override
    {
        for (const auto& [id, info] : current)
            ids.push_back(id);
        return current.size();
    }
    int32_t GetServiceInfo(int32_t id, std::string* name, std::string* description, uint16_t* port) override
    {
        auto it = current.find(id);
        if (it == current.end() || id == unreadableId)
            return -528;
        *name = it->second.name;
        *description = it->second.description;
        *port = it->second.port;
        return 0;
    }
    int32_t GetHostAddress(std::string& address) override
    {
        address = hostAddress;
        return hostAddress.empty() ? -530 : 0;
    }

    int32_t result = 0;
    bool keepOnFailure = false;
    std::map<int32_t, FakeServiceInfo> classes;
    std::map<int32_t, FakeServiceInfo> current;
    int32_t unreadableId = -1;
    std::string hostAddress = "192.0.2.7";
    std::function<void()> onLoad;
    std::string loadedPath;
    bool listening = false;
    int loads = 0;
    int unloads = 0;
};
