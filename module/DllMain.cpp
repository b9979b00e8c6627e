// The DLL's entry points.
#include <windows.h>
#include <olectl.h>

#include "../facade/FoliumFun.h"
#include "../support/Com.h"
#include "ClassFactory.h"
#include "Module.h"
#include "resource.h"

std::vector<CFoliumAddinModule::ClassEntry> FoliumClassTable() {
    return {{&CLSID_FoliumFun, &CFoliumFun::CreateInstance, IDR_FOLIUMFUN, nullptr}};
}

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module.SetInstance(hInstance);
        DisableThreadLibraryCalls(hInstance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by FreeLibrary: COM is still usable, so release what the module holds.
        g_module.Term();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return g_module.GetLockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return folium::Guarded([&] { return g_module.GetClassObject(rclsid, riid, ppv); });
}

STDAPI DllRegisterServer() {
    return folium::Guarded([] { return g_module.RegisterServer(true); });
}

STDAPI DllUnregisterServer() {
    return folium::Guarded([] { return g_module.UnregisterServer(true); });
}

STDAPI DllInstall(BOOL bInstall, LPCWSTR pszCmdLine) {
    // "user" must be the whole command line: the comparison includes the terminator.
    static const wchar_t kUserSwitch[] = L"user";
    if (pszCmdLine && _wcsnicmp(pszCmdLine, kUserSwitch, sizeof(kUserSwitch) / sizeof(wchar_t)) == 0)
        g_module.SetPerUserRegistration(true);
    HRESULT hr;
    if (bInstall) {
        hr = DllRegisterServer();
        if (FAILED(hr)) DllUnregisterServer();
    } else {
        hr = DllUnregisterServer();
    }
    return hr;
}
