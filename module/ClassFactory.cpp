#include "ClassFactory.h"

#include "../support/Com.h"

STDMETHODIMP CFoliumClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CFoliumClassFactory::AddRef() {
    LONG l = InterlockedIncrement(&m_ref);
    if (l == 2) g_module.Lock();
    return static_cast<ULONG>(l);
}

STDMETHODIMP_(ULONG) CFoliumClassFactory::Release() {
    LONG l = InterlockedDecrement(&m_ref);
    if (l == 0)
        delete this;
    else if (l == 1)
        g_module.Unlock();
    return static_cast<ULONG>(l);
}

STDMETHODIMP CFoliumClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return folium::Guarded([&] { return m_create(pUnkOuter, riid, ppv); });
}

STDMETHODIMP CFoliumClassFactory::LockServer(BOOL fLock) {
    if (fLock)
        g_module.Lock();
    else
        g_module.Unlock();
    return S_OK;
}
