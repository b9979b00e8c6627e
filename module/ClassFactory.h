// The cached class object of a class of the module.
#pragma once

#include "Module.h"

class CFoliumClassFactory : public IClassFactory {
public:
    explicit CFoliumClassFactory(CFoliumAddinModule::CreatorFunc create) : m_create(create) {}
    virtual ~CFoliumClassFactory() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    // The module's cache holds one reference; any further reference locks the module.
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

private:
    CFoliumAddinModule::CreatorFunc m_create;
    volatile LONG m_ref = 0;
};
