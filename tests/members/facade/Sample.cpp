// A facade source for the status check's own tests: one built member, one pending.
STDMETHODIMP CFoliumFun::get_Done(LONG* pVal) {
    *pVal = 1;
    return S_OK;
}
STDMETHODIMP CFoliumFun::Later(BSTR text,
                               LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
