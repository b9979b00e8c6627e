#include "TypeInfoHolder.h"

#include <oleauto.h>

#include "../support/Com.h"
#include "Module.h"

using folium::ComPtr;
using folium::UniqueBstr;

void CTypeInfoHolder::Cleanup(void* self) {
    auto* h = static_cast<CTypeInfoHolder*>(self);
    if (h->m_pInfo) h->m_pInfo->Release();
    h->m_pInfo = nullptr;
    h->m_names.clear();
}

HRESULT CTypeInfoHolder::EnsureLoaded() {
    return folium::Guarded([&] { return Load(); });
}

HRESULT CTypeInfoHolder::Load() {
    ModuleLockScope lock;
    if (m_pInfo) return S_OK;
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadRegTypeLib(m_libid, m_major, m_minor, m_libLcid, lib.put());
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> info;
    hr = lib->GetTypeInfoOfGuid(m_iid, info.put());
    if (FAILED(hr)) return hr;
    // Invoke calls through the table of operations, so keep the dual interface's
    // vtable description rather than its dispatch one.
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> dispInfo;
    if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &ref)) && SUCCEEDED(info->GetRefTypeInfo(ref, dispInfo.put())))
        info = dispInfo;
    m_pInfo = info.Detach();
    BuildNameCache();
    g_module.AddTermFunc(&Cleanup, this);
    return S_OK;
}

void CTypeInfoHolder::BuildNameCache() {
    TYPEATTR* attr = nullptr;
    if (FAILED(m_pInfo->GetTypeAttr(&attr))) return;
    WORD funcs = attr->cFuncs;
    m_pInfo->ReleaseTypeAttr(attr);
    for (UINT i = 0; i < funcs; ++i) {
        FUNCDESC* fd = nullptr;
        if (FAILED(m_pInfo->GetFuncDesc(i, &fd))) continue;
        MEMBERID id = fd->memid;
        m_pInfo->ReleaseFuncDesc(fd);
        UniqueBstr name;
        UINT got = 0;
        if (SUCCEEDED(m_pInfo->GetNames(id, name.put(), 1, &got)) && got == 1)
            m_names.emplace(std::wstring(name.c_str(), name.length()), id);
    }
}

HRESULT CTypeInfoHolder::GetTypeInfo(UINT index, LCID, ITypeInfo** ppTInfo) {
    if (index != 0) return DISP_E_BADINDEX;
    if (!ppTInfo) return E_POINTER;
    *ppTInfo = nullptr;
    HRESULT hr = EnsureLoaded();
    if (FAILED(hr)) return hr;
    m_pInfo->AddRef();
    *ppTInfo = m_pInfo;
    return S_OK;
}

HRESULT CTypeInfoHolder::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = EnsureLoaded();
    if (FAILED(hr)) return hr;
    return folium::Guarded([&] {
        if (count == 1 && names[0]) {
            auto it = m_names.find(names[0]);
            if (it != m_names.end()) {
                ids[0] = it->second;
                return S_OK;
            }
        }
        return m_pInfo->GetIDsOfNames(names, count, ids);
    });
}

HRESULT CTypeInfoHolder::Invoke(IDispatch* self, DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    HRESULT hr = EnsureLoaded();
    if (FAILED(hr)) return hr;
    return m_pInfo->Invoke(self, id, flags, params, result, excep, argErr);
}
