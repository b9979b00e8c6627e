// User menus, tool buttons and command enabling.
#include "FoliumFun.h"

// Not built yet (marked "pending" in idl/members.tsv).
STDMETHODIMP CFoliumFun::EnableTools(BSTR sTools, LONG bEnable, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::AppendMenu(BSTR strIndex, BSTR strCaption) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::AppendTools(BSTR strIndex, BSTR Caption, LONG lIcon) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::EnableUserMenus(BSTR strIndex, VARIANT_BOOL blEnabled) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::EnableUserTools(BSTR strIndex, VARIANT_BOOL blEnabled) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::setCompositeVisible(BSTR strCompName, VARIANT_BOOL bVisible) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::AppendHideKeywords(BSTR Keywords, LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::EnabledHideKeywords(LONG Ch, VARIANT_BOOL bValue, LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::AppendToolsEx(BSTR strIndex, BSTR Caption, BSTR strIcon) { return FOLIUM_NOT_BUILT_YET; }
