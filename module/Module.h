// The module object: lock count, class table, process-wide helpers.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <vector>

class CFoliumAddinModule {
public:
    using TermFunc = void (*)(void* data);
    // Creates an object of the class and queries riid; pOuter given means aggregated.
    using CreatorFunc = HRESULT (*)(IUnknown* pOuter, REFIID riid, void** ppv);

    struct ClassEntry {
        const CLSID* clsid;
        CreatorFunc create;
        UINT registryScript;        // REGISTRY resource of the class
        IUnknown* classObject;      // created on first request
    };

    CFoliumAddinModule();
    ~CFoliumAddinModule();
    CFoliumAddinModule(const CFoliumAddinModule&) = delete;
    CFoliumAddinModule& operator=(const CFoliumAddinModule&) = delete;

    LONG Lock() { return InterlockedIncrement(&m_nLockCnt); }
    LONG Unlock() { return InterlockedDecrement(&m_nLockCnt); }
    LONG GetLockCount() const { return m_nLockCnt; }

    HINSTANCE Instance() const { return m_hInst; }
    void SetInstance(HINSTANCE h) { m_hInst = h; }
    const GUID& LibId() const { return m_libid; }

    // The process-wide Global Interface Table, created on first request.
    HRESULT GetGITPtr(IGlobalInterfaceTable** ppGIT);

    HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
    HRESULT RegisterServer(bool withTypeLib);
    HRESULT UnregisterServer(bool withTypeLib);

    // Per-user registration writes HKCR keys under HKCU\Software\Classes and the
    // type library through the ForUser calls. Stays set for the process once chosen.
    void SetPerUserRegistration(bool perUser) { m_perUser = perUser; }
    bool PerUserRegistration() const { return m_perUser; }

    // Runs a REGISTRY resource of this module in register or unregister mode.
    HRESULT UpdateRegistryFromResource(UINT id, bool doRegister);

    void AddTermFunc(TermFunc f, void* data);
    // Runs the termination functions once, releases the GIT.
    void Term();

    CRITICAL_SECTION& Lockable() { return m_cs; }

private:
    HRESULT RegisterTypeLib();
    HRESULT UnregisterTypeLib();

    volatile LONG m_nLockCnt = 0;
    HINSTANCE m_hInst = nullptr;
    GUID m_libid;
    IGlobalInterfaceTable* m_pGIT = nullptr;
    bool m_perUser = false;
    bool m_terminated = false;
    std::vector<ClassEntry> m_classes;
    std::vector<std::pair<TermFunc, void*>> m_termFuncs;
    CRITICAL_SECTION m_cs;
};

extern CFoliumAddinModule g_module;

// The module's class table (one class).
std::vector<CFoliumAddinModule::ClassEntry> FoliumClassTable();

// Guards a section with the module's critical section.
class ModuleLockScope {
public:
    ModuleLockScope() { EnterCriticalSection(&g_module.Lockable()); }
    ~ModuleLockScope() { LeaveCriticalSection(&g_module.Lockable()); }
    ModuleLockScope(const ModuleLockScope&) = delete;
    ModuleLockScope& operator=(const ModuleLockScope&) = delete;
};
