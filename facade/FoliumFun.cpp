// CFoliumFun: construction, destruction, IUnknown with aggregation, IDispatch.
#include "FoliumFun.h"

#include <new>

#include "../module/Module.h"
#include "../module/TypeInfoHolder.h"
#include "../bridge/Bridge.h"

namespace {

constexpr GUID kLibQuirex = {0x043EB31D, 0x49AD, 0x4B84, {0xA1, 0x4B, 0xE4, 0xB8, 0xB6, 0x6C, 0x91, 0xD8}};
constexpr GUID kLibSigilonBarcode = {0xEF4EE45B, 0xEBB4, 0x46C6, {0xAF, 0xDC, 0xA9, 0x45, 0xDE, 0x06, 0x7F, 0x79}};

CTypeInfoHolder& FoliumTypeInfo() {
    static CTypeInfoHolder holder(LIBID_FoliumAddinLib, IID_IFoliumFun, 1, 0, 0x0409);
    return holder;
}

// Guard written into the reference count while the object is destroyed.
constexpr LONG kDestructGuard = static_cast<LONG>(0xC0000001u);

// The aggregated form: the wrapper's IUnknown is the inner unknown handed to the outer object.
class CFoliumFunAggregate : public IUnknown {
public:
    explicit CFoliumFunAggregate(IUnknown* outer) : m_contained(outer) { g_module.Lock(); }
    virtual ~CFoliumFunAggregate() { g_module.Unlock(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return m_contained.InternalQueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++m_ref); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG l = --m_ref;
        if (l == 0) {
            m_ref = kDestructGuard;
            delete this;
        }
        return static_cast<ULONG>(l);
    }

private:
    LONG m_ref = 0;
    CFoliumFun m_contained;
};

}  // namespace

CTypeInfoHolder& ExtensibilityTypeInfo() {
    static CTypeInfoHolder holder(kLibQuirex, IID_IQxExtensibility, 1, 0, 0);
    return holder;
}

CTypeInfoHolder& BarcodeTypeInfo() {
    static CTypeInfoHolder holder(kLibSigilonBarcode, IID_ISigilonBarcordCtrl, 1, 0, 0);
    return holder;
}

CFoliumFun::CFoliumFun(IUnknown* pOuter) : m_pOuter(pOuter) {
    g_module.Lock();
}

CFoliumFun::~CFoliumFun() {
    m_dwRef = kDestructGuard;
    g_module.Unlock();
    m_spActiveDocument = nullptr;
    m_spApplication = nullptr;
    // Strings and the temporary-file list free themselves.
}

HRESULT CFoliumFun::CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pOuter) {
        auto* agg = new (std::nothrow) CFoliumFunAggregate(pOuter);
        if (!agg) return E_OUTOFMEMORY;
        agg->AddRef();
        HRESULT hr = agg->QueryInterface(riid, ppv);
        agg->Release();
        return hr;
    }
    auto* obj = new (std::nothrow) CFoliumFun(nullptr);
    if (!obj) return E_OUTOFMEMORY;
    // Final construct: a reference bump and drop around nothing else.
    obj->InternalAddRef();
    obj->m_dwRef--;
    HRESULT hr = obj->InternalQueryInterface(riid, ppv);
    if (FAILED(hr)) delete obj;
    return hr;
}

HRESULT CFoliumFun::InternalQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    IUnknown* found = nullptr;
    if (IsEqualIID(riid, IID_IFoliumFun) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IUnknown))
        found = static_cast<IFoliumFun*>(this);
    else if (IsEqualIID(riid, IID_IQxExtensibility))
        found = &m_extensibility;
    else if (IsEqualIID(riid, IID_ISigilonBarcordCtrl))
        found = &m_barcode;
    if (!found) return E_NOINTERFACE;
    found->AddRef();
    *ppv = found;
    return S_OK;
}

ULONG CFoliumFun::InternalAddRef() { return static_cast<ULONG>(++m_dwRef); }

ULONG CFoliumFun::InternalRelease() {
    LONG l = --m_dwRef;
    if (l == 0) delete this;
    return static_cast<ULONG>(l);
}

STDMETHODIMP CFoliumFun::QueryInterface(REFIID riid, void** ppv) {
    return m_pOuter ? m_pOuter->QueryInterface(riid, ppv) : InternalQueryInterface(riid, ppv);
}
STDMETHODIMP_(ULONG) CFoliumFun::AddRef() { return m_pOuter ? m_pOuter->AddRef() : InternalAddRef(); }
STDMETHODIMP_(ULONG) CFoliumFun::Release() { return m_pOuter ? m_pOuter->Release() : InternalRelease(); }

STDMETHODIMP CFoliumFun::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}
STDMETHODIMP CFoliumFun::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) {
    return FoliumTypeInfo().GetTypeInfo(iTInfo, lcid, ppTInfo);
}
STDMETHODIMP CFoliumFun::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) {
    return FoliumTypeInfo().GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
}
STDMETHODIMP CFoliumFun::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                                VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
    return FoliumTypeInfo().Invoke(static_cast<IFoliumFun*>(this), dispIdMember, riid, lcid, wFlags, pDispParams,
                                   pVarResult, pExcepInfo, puArgErr);
}

bool CFoliumFun::GetSiblingAddIn(BSTR progId, IDispatch** target) {
    return folium::GetSiblingAddIn(m_spApplication.get(), progId, target);
}

LONG CFoliumFun::RefreshActiveDocument() { return folium::RefreshActiveDocument(m_spApplication.get(), m_spActiveDocument); }
