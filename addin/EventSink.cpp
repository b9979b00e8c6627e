// The sink advised on the host application's events, and the event handlers.
#include "../facade/FoliumFun.h"

STDMETHODIMP CFoliumFun::EventSinkPart::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, DIID__IQxApplicationEvents) || IsEqualIID(riid, IID_IUnknown) ||
        IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, m_iid)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP CFoliumFun::EventSinkPart::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    // Events the component does not handle are accepted silently.
    return S_OK;
}

HRESULT CFoliumFun::OnCommandClicked(ULONG, ULONG) { return S_OK; }
HRESULT CFoliumFun::OnViewEvent2(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }
HRESULT CFoliumFun::OnViewLeftClick(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }
HRESULT CFoliumFun::OnViewEvent4(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }
HRESULT CFoliumFun::OnViewRightClick(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }
HRESULT CFoliumFun::OnViewEvent6(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }
HRESULT CFoliumFun::OnViewEvent8(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }
HRESULT CFoliumFun::OnViewMouseMove(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }
HRESULT CFoliumFun::OnViewEvent19(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }
HRESULT CFoliumFun::OnViewEvent23(IDispatch*, ULONGLONG, ULONGLONG, VARIANT_BOOL*) { return S_OK; }
HRESULT CFoliumFun::OnAnnotationMessage(BSTR, IDispatch*, UINT, UINT) { return S_OK; }
HRESULT CFoliumFun::OnViewEvent42(IDispatch*, ULONGLONG, ULONGLONG) { return S_OK; }
HRESULT CFoliumFun::OnViewEvent43(IDispatch*, ULONGLONG, ULONGLONG) { return S_OK; }
HRESULT CFoliumFun::OnViewEvent44(IDispatch*, ULONGLONG, ULONGLONG) { return S_OK; }
HRESULT CFoliumFun::OnUnusedEventA() { return S_OK; }
HRESULT CFoliumFun::OnUnusedEventB() { return S_OK; }
HRESULT CFoliumFun::OnDocumentOpened(IDispatch*) { return S_OK; }
HRESULT CFoliumFun::OnDocumentActivated(IDispatch*) { return S_OK; }
HRESULT CFoliumFun::OnDocumentClosed(IDispatch*) { return S_OK; }
HRESULT CFoliumFun::OnEvent12(LONG) { return S_OK; }
HRESULT CFoliumFun::OnEvent14(IDispatch*) { return S_OK; }
HRESULT CFoliumFun::OnEvent13(IDispatch*) { return S_OK; }
HRESULT CFoliumFun::OnEvent16(IDispatch*) { return S_OK; }
HRESULT CFoliumFun::OnCommentWindowRefresh(BSTR) { return S_OK; }
