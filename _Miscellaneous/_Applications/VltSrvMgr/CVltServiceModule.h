#pragma once
// A service class's interface together with the plug-in library its code
// lives in. Shared by the class and by every connection holding one of its
// instances, so that the code stays loaded until the last of them is gone.
class IVltServiceClass;

class CVltServiceModule {
public:
    // Takes ownership of both; either may be null (a built-in service has no
    // library, a library whose entry point failed has no interface).
    CVltServiceModule(void* library, IVltServiceClass* serviceClass);
    ~CVltServiceModule();
    CVltServiceModule(const CVltServiceModule&) = delete;
    CVltServiceModule& operator=(const CVltServiceModule&) = delete;

    IVltServiceClass* Get() const { return m_class; }

private:
    void* m_library;
    IVltServiceClass* m_class;
};
