// The reader's add-in interface: connection and disconnection.
#include <cstdio>
#include <string>

#include "../bridge/Bridge.h"
#include "../facade/FoliumFun.h"
#include "../support/win/CodePages.h"
#include "Connection.h"

#include "../module/Module.h"

folium::UniqueBstr g_strPluginDir;
folium::UniqueBstr g_strConfigDir;
VD_GetConfigPathFn g_pfnGetConfigPath = nullptr;
VD_CoCreateInstanceFromClsIDFn g_pfnCoCreateInstanceFromClsID = nullptr;

HRESULT FoliumCreateInstance(REFCLSID clsid, REFIID iid, void** object) {
    if (g_pfnCoCreateInstanceFromClsID) return g_pfnCoCreateInstanceFromClsID(clsid, iid, object);
    return CoCreateInstance(clsid, nullptr, CLSCTX_ALL, iid, object);
}

folium::SettingsFolders ConnectionSettingsFolders() {
    folium::SettingsFolders folders;
    folders.pluginDir = g_strPluginDir.c_str();
    folders.configDir = g_strConfigDir.c_str();
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(g_module.Instance(), path, MAX_PATH);
    folders.moduleDir = path;
    size_t cut = folders.moduleDir.find_last_of(L'\\');
    folders.moduleDir.resize(cut == std::wstring::npos ? 0 : cut);
    return folders;
}

void ShowComErrorMessage(HRESULT hr) {
    std::wstring text;
    wchar_t* sys = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(hr), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             reinterpret_cast<wchar_t*>(&sys), 0, nullptr);
    if (n && sys) {
        text.assign(sys, n);
        if (text.size() >= 2 && text.compare(text.size() - 2, 2, L"\r\n") == 0) text.resize(text.size() - 2);
    } else {
        wchar_t buf[64];
        ULONG code = static_cast<ULONG>(hr);
        if (code >= 0x80040201u && code <= 0x8004FFFFu)
            swprintf(buf, 64, L"IDispatch error #%d", static_cast<int>(code - 0x80040200u));
        else
            swprintf(buf, 64, L"Unknown error 0x%0lX", code);
        text = buf;
    }
    if (sys) LocalFree(sys);
    MessageBoxW(nullptr, text.c_str(), L"Veridane.FoliumFun", MB_ICONHAND);
}

STDMETHODIMP CFoliumFun::ExtensibilityPart::OnConnection(IDispatch* Application, LONG, IDispatch*, VARIANT*) {
    CFoliumFun& self = *m_owner;
    return folium::Guarded([&]() -> HRESULT {
        folium::ComPtr<IQxApplication> app;
        if (Application) Application->QueryInterface(IID_IQxApplication, app.put_void());
        if (app.get() != self.m_spApplication.get()) self.m_spApplication = app;

        folium::UniqueBstr name;
        if (self.m_spApplication) self.m_spApplication->get_Name(name.put());
        folium::DebugTrace((std::wstring(L"Quirex_") + name.c_str()).c_str());

        // A failed host call ends the connection's work with a message; the host still
        // sees success. Other failures (memory) go to the boundary.
        try {
            folium::ComPtr<IQxMainFrame> frame;
            if (!self.m_spApplication) folium::ThrowHResult(E_POINTER);
            folium::ThrowIfFailed(self.m_spApplication->get_MainFrame(frame.put()));
            // The signature core is never loaded here: only a copy the reader loaded counts.
            self.m_hSignatureCore = GetModuleHandleW(L"VDSignatureCore.dll");
            if (self.m_hSignatureCore) {
                g_pfnGetConfigPath =
                    reinterpret_cast<VD_GetConfigPathFn>(GetProcAddress(self.m_hSignatureCore, "VD_GetConfigPath"));
                g_pfnCoCreateInstanceFromClsID = reinterpret_cast<VD_CoCreateInstanceFromClsIDFn>(
                    GetProcAddress(self.m_hSignatureCore, "VD_CoCreateInstanceFromClsID"));
                if (!frame) folium::ThrowHResult(E_POINTER);
                folium::UniqueBstr dir;
                folium::ThrowIfFailed(frame->get_AppDirectory(dir.put()));
                g_strPluginDir = folium::UniqueBstr((std::wstring(dir.c_str()) + L"\\plugins").c_str());
            }
        } catch (const folium::HResultError& e) {
            ShowComErrorMessage(e.hr);
            return S_OK;
        }

        try {
            if (g_pfnGetConfigPath) {
                char buffer[2048] = {};
                long size = sizeof(buffer);
                g_pfnGetConfigPath(buffer, &size);
                buffer[sizeof(buffer) - 1] = '\0';
                g_strConfigDir = folium::UniqueBstr(folium::WideFromCodePage(CP_THREAD_ACP, buffer).c_str());
            }
        } catch (const folium::HResultError& e) {
            ShowComErrorMessage(e.hr);
            return S_OK;
        }
        // Advise once: a connection while advised is a host error, answered without effect.
        if (self.m_sink.m_dwEventCookie != EventSinkPart::kNotAdvised) return E_FAIL;
        if (self.m_spApplication) self.m_sink.Advise(self.m_spApplication.get());
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::ExtensibilityPart::OnDisconnection(LONG, VARIANT*) {
    CFoliumFun& self = *m_owner;
    HRESULT hr = folium::Guarded([&] {
        if (self.m_spApplication) {
            self.m_sink.Unadvise(self.m_spApplication.get());
            self.m_sink.m_dwEventCookie = EventSinkPart::kNotAdvised;
        }
        // The files stay on disk; only the list is forgotten.
        if (!self.m_tempFiles.empty()) {
            self.m_tempFiles.clear();
            self.m_tempFiles.shrink_to_fit();
        }
    });
    return FAILED(hr) ? hr : E_NOTIMPL;
}

STDMETHODIMP CFoliumFun::ExtensibilityPart::OnAddInsUpdate(VARIANT*) { return E_NOTIMPL; }

STDMETHODIMP CFoliumFun::ExtensibilityPart::GetDescription(LPWSTR* Description) {
    static wchar_t kDescription[] = L"Folium 适配接口";
    if (Description) *Description = kDescription;
    return E_NOTIMPL;
}

STDMETHODIMP CFoliumFun::ExtensibilityPart::OnBeginShutdown(VARIANT*) { return E_NOTIMPL; }
