// Local files, dialogs, URL transfer, pages and attachments.
#include "FoliumFun.h"

// Not built yet: these answer S_OK and leave their out-parameter as passed.
STDMETHODIMP CFoliumFun::WebClose(LONG* lResult) { return S_OK; }
STDMETHODIMP CFoliumFun::WebOpenLocalFile(BSTR sFileName, LONG* lResult) { return S_OK; }
STDMETHODIMP CFoliumFun::WebSaveLocalFile(BSTR sFileName, LONG* lResult) { return S_OK; }
STDMETHODIMP CFoliumFun::get_LocalFileName(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::WebOpenUrlFile(BSTR strUrl, VARIANT_BOOL* pRet) { return S_OK; }
STDMETHODIMP CFoliumFun::WebDownLoadFile(BSTR strUrl, BSTR strFileName, VARIANT_BOOL* pRet) { return S_OK; }
STDMETHODIMP CFoliumFun::WebSaveLocal(VARIANT_BOOL* pRet) { return S_OK; }
STDMETHODIMP CFoliumFun::WebOpenLocal(VARIANT_BOOL* pRet) { return S_OK; }
STDMETHODIMP CFoliumFun::WebSaveLocalDialog(BSTR* pstrFilePath) { return S_OK; }
STDMETHODIMP CFoliumFun::WebOpenLocalDialog(BSTR* pstrFilePath) { return S_OK; }
STDMETHODIMP CFoliumFun::WebGetFilePath(BSTR* strFilePath) { return S_OK; }
STDMETHODIMP CFoliumFun::FileSize(LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::ImportPages(BSTR FileName, LONG Start, LONG Trail, LONG Place, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::DeletePages(LONG Start, LONG Trail, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::DeletePagesExt(LONG Start, LONG Trail, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::WebOpenLocalFileEx(BSTR FileName, BSTR Password, BSTR LocalPath, BSTR Ext1, BSTR Ext2, BSTR Ext3, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::SaveLocalFileNoSignature(BSTR FileName, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::SaveFileToBase64(LONG nType, BSTR* strResult) { return S_OK; }
STDMETHODIMP CFoliumFun::GetFileBase64(BSTR strBaseTable, BSTR* strRet) { return S_OK; }
STDMETHODIMP CFoliumFun::openFile(BSTR strUrl, VARIANT_BOOL readOnly, VARIANT_BOOL* bRet) { return S_OK; }
STDMETHODIMP CFoliumFun::saveFile(BSTR strUrl, VARIANT_BOOL* bRet) { return S_OK; }
STDMETHODIMP CFoliumFun::closeFile(VARIANT_BOOL* bRet) { return S_OK; }
STDMETHODIMP CFoliumFun::getLogFilePath(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::AddAttachments(BSTR FileName, BSTR FileDescription, VARIANT_BOOL* bResult) { return S_OK; }
STDMETHODIMP CFoliumFun::DelAttachments(BSTR AttachmentName, VARIANT_BOOL* bResult) { return S_OK; }
STDMETHODIMP CFoliumFun::WebUpLoadFile(BSTR strUrl, BSTR strFormData, VARIANT_BOOL* pRet) { return S_OK; }
STDMETHODIMP CFoliumFun::INetSetCookieEx(BSTR bstrUrl, BSTR bstrCookie, VARIANT_BOOL* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::GetFileName(LONG nDocIndex, BSTR* pVal) { return S_OK; }

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::put_LocalFileName(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::WebSaveLocalFileEx(BSTR FileName, BSTR Password, BSTR LocalPath, BSTR Ext1, BSTR Ext2, BSTR Ext3, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::setReaderMode(LONG iMode) { return S_OK; }
STDMETHODIMP CFoliumFun::setViewPreference(BSTR key, BSTR Value) { return S_OK; }
STDMETHODIMP CFoliumFun::addTrackInfo(BSTR xmlParam) { return S_OK; }
