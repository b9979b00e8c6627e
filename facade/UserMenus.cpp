// User menus, tool buttons and command enabling.
#include "FoliumFun.h"

// Not built yet: these answer S_OK and leave their out-parameter as passed.
STDMETHODIMP CFoliumFun::EnableTools(BSTR sTools, LONG bEnable, LONG* lResult) { return S_OK; }
STDMETHODIMP CFoliumFun::AppendMenu(BSTR strIndex, BSTR strCaption) { return S_OK; }
STDMETHODIMP CFoliumFun::AppendTools(BSTR strIndex, BSTR Caption, LONG lIcon) { return S_OK; }
STDMETHODIMP CFoliumFun::EnableUserMenus(BSTR strIndex, VARIANT_BOOL blEnabled) { return S_OK; }
STDMETHODIMP CFoliumFun::EnableUserTools(BSTR strIndex, VARIANT_BOOL blEnabled) { return S_OK; }
STDMETHODIMP CFoliumFun::setCompositeVisible(BSTR strCompName, VARIANT_BOOL bVisible) { return S_OK; }
STDMETHODIMP CFoliumFun::AppendHideKeywords(BSTR Keywords, LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::EnabledHideKeywords(LONG Ch, VARIANT_BOOL bValue, LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::AppendToolsEx(BSTR strIndex, BSTR Caption, BSTR strIcon) { return S_OK; }
