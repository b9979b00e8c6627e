// Navigation, view state, bookmarks and text search.
#include "FoliumFun.h"

// Not built yet: these answer S_OK and leave their out-parameter as passed.
STDMETHODIMP CFoliumFun::GetPageSize(LONG PageNo, LONG Index, DOUBLE* Result) { return S_OK; }
STDMETHODIMP CFoliumFun::get_isOpen(LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::GotoFirstPage(LONG* plRetPageNum) { return S_OK; }
STDMETHODIMP CFoliumFun::GotoPreviousPage(LONG* plRetPageNum) { return S_OK; }
STDMETHODIMP CFoliumFun::GotoNextPage(LONG* plRetPageNum) { return S_OK; }
STDMETHODIMP CFoliumFun::GotoLastPage(LONG* plRetPageNum) { return S_OK; }
STDMETHODIMP CFoliumFun::get_DisplayMode(LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_DisplayMode(LONG value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_Zoom(LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_Zoom(LONG value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_Rotate(LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_Rotate(LONG value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_CurPage(LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_CurPage(LONG value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_PageCount(LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_EditStatus(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_CopyStatus(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_PrintStatus(VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ContentText(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_CursorState(LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_CursorState(LONG value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_SelectedBookMarkName(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::GotoBookMark(BSTR strName, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::FullSize() { return S_OK; }
STDMETHODIMP CFoliumFun::SmallSize() { return S_OK; }
STDMETHODIMP CFoliumFun::FindFirst() { return S_OK; }
STDMETHODIMP CFoliumFun::SearchText(BSTR strText, BSTR* bstrTextPostion) { return S_OK; }
STDMETHODIMP CFoliumFun::WebSetScrollBarPos(LONG xPos, LONG yPos, VARIANT_BOOL* pRet) { return S_OK; }
STDMETHODIMP CFoliumFun::SetSelectState(LONG lState, VARIANT_BOOL* blRet) { return S_OK; }
STDMETHODIMP CFoliumFun::GetTextPosition(LONG lPageNo, BSTR strText, VARIANT_BOOL blCase, LONG lType, BSTR* bstrTextPostion) { return S_OK; }
STDMETHODIMP CFoliumFun::GetTextPositionAll(BSTR strText, BSTR strFileName, BSTR* bstrTextPostion) { return S_OK; }
STDMETHODIMP CFoliumFun::GoToText(BSTR strText, LONG Page, VARIANT_BOOL Case, VARIANT_BOOL UpDown, VARIANT_BOOL Selected, LONG* Result) { return S_OK; }
STDMETHODIMP CFoliumFun::GetBookMarks(BSTR* strBookMarks) { return S_OK; }
STDMETHODIMP CFoliumFun::get_DocumentModified(LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::GetFormateStringPos(LONG nType, BSTR* bstrRet) { return S_OK; }
STDMETHODIMP CFoliumFun::GotoPreviousScreen(VARIANT_BOOL* pbRet) { return S_OK; }
STDMETHODIMP CFoliumFun::GotoNextScreen(VARIANT_BOOL* pbRet) { return S_OK; }

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::put_isOpen(LONG value) { return S_OK; }
STDMETHODIMP CFoliumFun::put_PageCount(LONG value) { return S_OK; }
STDMETHODIMP CFoliumFun::put_EditStatus(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::put_CopyStatus(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::put_PrintStatus(VARIANT_BOOL value) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ContentText(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::put_SelectedBookMarkName(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::put_DocumentModified(LONG value) { return S_OK; }
