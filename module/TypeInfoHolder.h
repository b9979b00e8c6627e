// Process-wide type information of one interface, loaded from its registered type
// library on first use, with a cache of member names for single-name lookups.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <unordered_map>

class CTypeInfoHolder {
public:
    // libLcid: the locale the library is registered under.
    CTypeInfoHolder(const GUID& libid, const IID& iid, WORD major, WORD minor, LCID libLcid)
        : m_libid(libid), m_iid(iid), m_major(major), m_minor(minor), m_libLcid(libLcid) {}
    CTypeInfoHolder(const CTypeInfoHolder&) = delete;
    CTypeInfoHolder& operator=(const CTypeInfoHolder&) = delete;

    // DISP_E_BADINDEX for any index but 0, E_POINTER for a null out-pointer.
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** ppTInfo);
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids);
    HRESULT Invoke(IDispatch* self, DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excep, UINT* argErr);

private:
    HRESULT EnsureLoaded();
    HRESULT Load();
    void BuildNameCache();
    static void Cleanup(void* self);

    const GUID& m_libid;
    const IID& m_iid;
    WORD m_major;
    WORD m_minor;
    LCID m_libLcid;
    ITypeInfo* m_pInfo = nullptr;
    std::unordered_map<std::wstring, DISPID> m_names;  // exact length and case
};
