// The reader's add-in interface: connection and disconnection.
#include "../facade/FoliumFun.h"

STDMETHODIMP CFoliumFun::ExtensibilityPart::OnConnection(IDispatch* Application, LONG, IDispatch*, VARIANT*) {
    if (Application != m_owner->m_spApplication.get()) m_owner->m_spApplication = folium::ComPtr<IDispatch>(Application);
    return S_OK;
}

STDMETHODIMP CFoliumFun::ExtensibilityPart::OnDisconnection(LONG, VARIANT*) {
    m_owner->m_tempFiles.clear();
    return E_NOTIMPL;
}

STDMETHODIMP CFoliumFun::ExtensibilityPart::OnAddInsUpdate(VARIANT*) { return E_NOTIMPL; }

STDMETHODIMP CFoliumFun::ExtensibilityPart::GetDescription(LPWSTR* Description) {
    static wchar_t kDescription[] = L"Folium 适配接口";
    if (Description) *Description = kDescription;
    return E_NOTIMPL;
}

STDMETHODIMP CFoliumFun::ExtensibilityPart::OnBeginShutdown(VARIANT*) { return E_NOTIMPL; }
