// Environment queries: addresses, version, language, keys and rights.
#include "FoliumFun.h"

#include <cstdio>

#include "../module/GetFileVersion.h"
#include "../module/Module.h"
#include "../bridge/Bridge.h"

namespace {

// The signature engine add-in, or null when the reader has none loaded.
folium::ComPtr<IDispatch> SignatureEngine(CFoliumFun& self) {
    folium::ComPtr<IDispatch> engine;
    folium::UniqueBstr id(L"Veridane.Folium2015");
    self.GetSiblingAddIn(id.get(), engine.put());
    return engine;
}

}  // namespace

// Whether the user is asked before work is lost; kept here and by the signature engine.
STDMETHODIMP CFoliumFun::get_AlterUser(LONG* pVal) {
    if (!pVal) return E_POINTER;
    return folium::Guarded([&] {
        auto engine = SignatureEngine(*this);
        if (!engine) return S_FALSE;
        folium::ScopedVariant value;
        HRESULT hr = folium::InvokeByName(DISPATCH_PROPERTYGET, value.get(), engine.get(), L"AlterUser");
        if (FAILED(hr)) return S_FALSE;
        auto n = folium::ReadI4(value.get());
        if (!n) return S_FALSE;
        *pVal = *n;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::put_AlterUser(LONG value) {
    m_nAlterUser = value;
    return folium::Guarded([&] {
        auto engine = SignatureEngine(*this);
        if (!engine) return S_OK;
        auto v = folium::ScopedVariant::I4(value);
        return folium::InvokeByName(DISPATCH_PROPERTYPUT, nullptr, engine.get(), L"AlterUser", v.get());
    });
}

// The component file's own version, read from its version resource.
STDMETHODIMP CFoliumFun::get_Version(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(g_module.Instance(), path, MAX_PATH);
    CGetFileVersion version;
    version.Open(path);
    wchar_t text[64];
    swprintf(text, 64, L"%d.%d.%d.%d", HIWORD(version.FileVersionMS()), LOWORD(version.FileVersionMS()),
             HIWORD(version.FileVersionLS()), LOWORD(version.FileVersionLS()));
    *pVal = SysAllocString(text);
    return *pVal ? S_OK : E_OUTOFMEMORY;
}

// Not built yet (marked "pending" in idl/members.tsv).
STDMETHODIMP CFoliumFun::get_Language(BSTR* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_Language(BSTR value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::WebGetIP(BSTR* strLocalIP) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::WebGetMac(BSTR* strLocalMac) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::GetKeyCount(LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_SaveRight(LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_SaveRight(LONG value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_PrintRight(LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_PrintRight(LONG value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_TSServerURL(BSTR value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_TSUser(BSTR value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_TSPwd(BSTR value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_AppCode(BSTR* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_AppCode(BSTR value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::WebGetKeySN(BSTR* strRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_VersionEx(BSTR* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::VerifyPin(BSTR CardPin, VARIANT_BOOL* Result) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::Alter(BSTR strShow, VARIANT_BOOL* pbRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::Alert(BSTR strShow, VARIANT_BOOL* pbRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::IsCertTimeOut(VARIANT_BOOL* bResult) { return FOLIUM_NOT_BUILT_YET; }

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::GetErrorString(LONG Code, BSTR* strError) { return S_OK; }
STDMETHODIMP CFoliumFun::put_Version(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_TSServerURL(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_TSUser(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_TSPwd(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_VersionEx(BSTR value) { return S_OK; }
