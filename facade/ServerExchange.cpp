// Server exchange in DBSTEP packets and the stored exchange properties.
#include "FoliumFun.h"

// Not built yet: these answer S_OK and leave their out-parameter as passed.
STDMETHODIMP CFoliumFun::SetPublicParam(BSTR Name, BSTR Value, BSTR HeaderValue, LONG* lResult) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ExtParam1(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ExtParam1(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_Status(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_WebUrl(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_WebUrl(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::put_RecordId(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_FileName(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_FileName(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::put_UserName(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ExtParam(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::WebOpen(VARIANT_BOOL* bResult) { return S_OK; }
STDMETHODIMP CFoliumFun::WebSave(VARIANT_BOOL* bResult) { return S_OK; }
STDMETHODIMP CFoliumFun::put_FileType(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::WebSaveAccessory(LONG* Result) { return S_OK; }
STDMETHODIMP CFoliumFun::WebGetMsgByName(BSTR sFieldName, BSTR* strRet) { return S_OK; }
STDMETHODIMP CFoliumFun::WebSetMsgByName(BSTR sFieldName, BSTR sFieldValue, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::WebClearMessage(LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::WebSendMessage(LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::WebOpenBase64(LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::WebSaveBase64(LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::SaveSignData(LONG* res) { return S_OK; }
STDMETHODIMP CFoliumFun::LoadSignData(LONG* res) { return S_OK; }
STDMETHODIMP CFoliumFun::get_MaxFileSize(LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_MaxFileSize(LONG value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ThirdTime(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ThirdTime(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_UserID(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_UserID(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::WebSaveEx(VARIANT_BOOL* bResult) { return S_OK; }

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::put_Status(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_RecordId(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_UserName(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ExtParam(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_FileType(BSTR* pVal) { return S_OK; }
