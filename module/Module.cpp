#include "Module.h"

#include <oleauto.h>

#include <new>
#include <string>

#include "../support/Com.h"
#include "ClassFactory.h"
#include "Registrar.h"
#include "resource.h"

using folium::ComPtr;
using folium::UniqueBstr;

namespace {

// {D1429C37-4B65-484D-B7C5-B36454D676A2}
constexpr GUID kLibId = {0xD1429C37, 0x4B65, 0x484D, {0xB7, 0xC5, 0xB3, 0x64, 0x54, 0xD6, 0x76, 0xA2}};
constexpr wchar_t kAppId[] = L"{FF80879B-F307-4A30-8EDE-39A8017D507B}";

std::wstring ModulePath(HINSTANCE h) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(h, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// Copies at most 260 characters of the help file path and keeps its folder part.
HRESULT HelpDirectory(ITypeLib* lib, std::wstring& dir, bool& hasDir) {
    hasDir = false;
    UniqueBstr helpFile;
    if (FAILED(lib->GetDocumentation(-1, nullptr, nullptr, nullptr, helpFile.put())) || !helpFile.get())
        return S_OK;
    std::wstring copy(helpFile.c_str(), helpFile.length() < MAX_PATH ? helpFile.length() : MAX_PATH - 1);
    size_t cut = copy.find_last_of(L"\\/:");
    if (cut == std::wstring::npos) return S_OK;
    dir = copy.substr(0, cut + 1);
    hasDir = true;
    return S_OK;
}

using TypeLibForUserFn = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnTypeLibForUserFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

FARPROC OleAutProc(const char* name) {
    HMODULE oleaut = GetModuleHandleW(L"OLEAUT32.DLL");
    return oleaut ? GetProcAddress(oleaut, name) : nullptr;
}

}  // namespace

CFoliumAddinModule g_module;

CFoliumAddinModule::CFoliumAddinModule() : m_libid(kLibId), m_classes(FoliumClassTable()) {
    InitializeCriticalSection(&m_cs);
}

HRESULT CFoliumAddinModule::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (ClassEntry& c : m_classes) {
        if (!IsEqualCLSID(*c.clsid, rclsid)) continue;
        ModuleLockScope lock;
        if (!c.classObject) {
            auto* factory = new (std::nothrow) CFoliumClassFactory(c.create);
            if (!factory) return E_OUTOFMEMORY;
            factory->AddRef();  // the cache's reference
            c.classObject = factory;
        }
        return c.classObject->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

CFoliumAddinModule::~CFoliumAddinModule() {
    Term();
    DeleteCriticalSection(&m_cs);
}

void CFoliumAddinModule::AddTermFunc(TermFunc f, void* data) {
    ModuleLockScope lock;
    m_termFuncs.emplace_back(f, data);
}

void CFoliumAddinModule::Term() {
    if (m_terminated) return;
    m_terminated = true;
    for (auto it = m_termFuncs.rbegin(); it != m_termFuncs.rend(); ++it) it->first(it->second);
    m_termFuncs.clear();
    for (auto& c : m_classes) {
        if (c.classObject) c.classObject->Release();
        c.classObject = nullptr;
    }
    if (m_pGIT) {
        m_pGIT->Release();
        m_pGIT = nullptr;
    }
}

HRESULT CFoliumAddinModule::GetGITPtr(IGlobalInterfaceTable** ppGIT) {
    if (!ppGIT) return E_POINTER;
    *ppGIT = nullptr;
    ModuleLockScope lock;
    if (!m_pGIT) {
        HRESULT hr = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&m_pGIT));
        if (FAILED(hr)) return hr;
    }
    m_pGIT->AddRef();
    *ppGIT = m_pGIT;
    return S_OK;
}

HRESULT CFoliumAddinModule::UpdateRegistryFromResource(UINT id, bool doRegister) {
    CRegistrar reg;
    reg.SetPerUser(m_perUser);
    reg.AddReplacement(L"APPID", kAppId);
    std::wstring path = ModulePath(m_hInst);
    reg.AddReplacement(L"MODULE", path);
    reg.AddReplacement(L"MODULE_RAW", path);
    return reg.RunResource(m_hInst, id, doRegister);
}

HRESULT CFoliumAddinModule::RegisterTypeLib() {
    std::wstring path = ModulePath(m_hInst);
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    std::wstring helpDir;
    bool hasHelpDir = false;
    hr = HelpDirectory(lib.get(), helpDir, hasHelpDir);
    if (FAILED(hr)) return hr;
    OLECHAR* help = hasHelpDir ? helpDir.data() : nullptr;
    if (m_perUser) {
        if (auto fn = reinterpret_cast<TypeLibForUserFn>(OleAutProc("RegisterTypeLibForUser")))
            return fn(lib.get(), path.data(), help);
    }
    return ::RegisterTypeLib(lib.get(), path.data(), help);
}

HRESULT CFoliumAddinModule::UnregisterTypeLib() {
    std::wstring path = ModulePath(m_hInst);
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put());
    if (FAILED(hr)) return hr;
    TLIBATTR* attr = nullptr;
    hr = lib->GetLibAttr(&attr);
    if (FAILED(hr)) return hr;
    TLIBATTR a = *attr;
    lib->ReleaseTLibAttr(attr);
    if (m_perUser) {
        if (auto fn = reinterpret_cast<UnTypeLibForUserFn>(OleAutProc("UnRegisterTypeLibForUser")))
            return fn(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
    }
    return ::UnRegisterTypeLib(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind);
}

HRESULT CFoliumAddinModule::RegisterServer(bool withTypeLib) {
    folium::ThreadLocaleScope locale(LOCALE_SYSTEM_DEFAULT);
    try {
        HRESULT hr = UpdateRegistryFromResource(IDR_FOLIUMADDIN, true);
        if (FAILED(hr)) return hr;
        for (const ClassEntry& c : m_classes) {
            hr = UpdateRegistryFromResource(c.registryScript, true);
            if (FAILED(hr)) return hr;
            // The class has no component categories to register.
        }
        return withTypeLib ? RegisterTypeLib() : S_OK;
    } catch (const folium::HResultError& e) {
        return e.hr;
    }
}

HRESULT CFoliumAddinModule::UnregisterServer(bool withTypeLib) {
    folium::ThreadLocaleScope locale(LOCALE_SYSTEM_DEFAULT);
    try {
        HRESULT hr = S_OK;
        for (const ClassEntry& c : m_classes) {
            hr = UpdateRegistryFromResource(c.registryScript, false);
            if (FAILED(hr)) return hr;
        }
        if (withTypeLib) {
            hr = UnregisterTypeLib();
            if (FAILED(hr)) return hr;
        }
        return UpdateRegistryFromResource(IDR_FOLIUMADDIN, false);
    } catch (const folium::HResultError& e) {
        return e.hr;
    }
}
