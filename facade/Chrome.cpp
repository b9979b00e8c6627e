// Chrome visibility: menus, tool bars, panes, tab bars and the reader window.
#include "FoliumFun.h"

// Not built yet: these answer S_OK and leave their out-parameter as passed.
STDMETHODIMP CFoliumFun::get_ShowMenus(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ShowMenus(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ShowPostil(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ShowPostil(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ShowSigns(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ShowSigns(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ShowTools(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ShowMarks(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ShowMarks(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ShowState(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ShowState(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ShowSides(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ShowSides(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_FullScreen(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_FullScreen(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::LockScreen(LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::UnlockScreen(LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ShowDigitalSignature(LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ShowDigitalSignature(LONG value) { return S_OK; }
STDMETHODIMP CFoliumFun::ShowTabCommandBar(LONG nIndex, VARIANT_BOOL bVisible, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ShowTabBarVisible(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ShowTabBarVisible(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_Hide(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_Hide(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ShowSchedule(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ShowSchedule(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_EnabledCopy(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_EnabledCopy(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_StartPageVisible(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_StartPageVisible(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_EnabledCommentWindow(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_EnabledCommentWindow(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::ShowCommandBar(LONG nIndex, VARIANT_BOOL bVisible, LONG* lRet) { return S_OK; }

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::get_ShowTitle(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ShowTitle(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ShowTools(VARIANT_BOOL* pVal) { return S_OK; }
