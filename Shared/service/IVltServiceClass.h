#pragma once
// A service class that the host offers, built in or handed out by a plug-in
// library through one of its two entry points.
#include <cstdint>

class IVltServiceInstance;

constexpr uint16_t kVltNoPort = 0xFFFF; // never listens; sub-service only

class IVltServiceClass {
public:
    // Destroys the object; the host calls it once, at unload.
    virtual void Release() = 0;
    // Never null. The host trims white space for its name map.
    virtual const char* GetName() = 0;
    virtual const char* GetDescription() = 0;
    // kVltNoPort: the class never listens.
    virtual uint16_t GetDefaultPort() = 0;
    // The host goes by the pointer alone: a filled pointer is success.
    virtual int32_t CreateInstance(IVltServiceInstance** instance) = 0;

protected:
    ~IVltServiceClass() = default; // destroyed only through Release
};

// Plug-in entry points: (index from the configuration, out class) -> 0 on
// success. The host tries CreateVltServiceClassC first.
extern "C" {
typedef int32_t (*PfnCreateVltServiceClass)(int32_t index, IVltServiceClass** serviceClass);
}
constexpr const char* kVltEntryPointC = "CreateVltServiceClassC";
constexpr const char* kVltEntryPoint = "CreateVltServiceClass";
