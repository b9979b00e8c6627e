// CFoliumFun: the component object. IFoliumFun is its primary (dual) interface; the
// reader's add-in interface, the host event sink and the barcode control interface are
// parts of the same object. The IFoliumFun members below are the interface table, in
// the order of the type library; each family of members lives in its own source file.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>
#include <vector>

#include "FoliumAddin.h"
#include "QuirexAddin.h"
#include "QuirexModel.h"
#include "SigilonBarcode.h"
#include "../module/TypeInfoHolder.h"
#include "../support/Com.h"

// The whole body of a member that is not built yet: `{ return FOLIUM_NOT_BUILT_YET; }`
// (success, out-parameter untouched). idl/members.tsv marks exactly these members
// "pending"; the member table test fails when the two disagree.
#define FOLIUM_NOT_BUILT_YET S_OK

// Type information of the interfaces the object implements besides IFoliumFun, each
// described by its own library.
CTypeInfoHolder& ExtensibilityTypeInfo();
CTypeInfoHolder& BarcodeTypeInfo();

// A further interface of the object: IUnknown goes to the object, IDispatch to the
// type information of the interface's own library.
template <class Interface>
class DispatchPart : public Interface {
public:
    DispatchPart(IUnknown* owner, CTypeInfoHolder& typeInfo) : m_owner(owner), m_typeInfo(typeInfo) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return m_owner->QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return m_owner->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_owner->Release(); }
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override {
        if (!pctinfo) return E_POINTER;
        *pctinfo = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override {
        return m_typeInfo.GetTypeInfo(iTInfo, lcid, ppTInfo);
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override {
        return m_typeInfo.GetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
    }
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
        return m_typeInfo.Invoke(this, dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
    }

private:
    IUnknown* m_owner;
    CTypeInfoHolder& m_typeInfo;
};

class CFoliumFun : public IFoliumFun {
public:
    // pOuter is the controlling unknown when the object is aggregated, else null.
    explicit CFoliumFun(IUnknown* pOuter = nullptr);
    CFoliumFun(const CFoliumFun&) = delete;
    CFoliumFun& operator=(const CFoliumFun&) = delete;

    // Creator used by the class object.
    static HRESULT CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv);

    // The object's own (non-delegating) IUnknown.
    HRESULT InternalQueryInterface(REFIID riid, void** ppv);
    ULONG InternalAddRef();
    ULONG InternalRelease();

    // IUnknown: delegates to the controlling unknown.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch, described by the FoliumAddinLib type library.
    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // IFoliumFun
    STDMETHODIMP ImportFieldValue(BSTR FieldName, BSTR FieldValue, VARIANT_BOOL* bResult) override;
    STDMETHODIMP GetPageSize(LONG PageNo, LONG Index, DOUBLE* Result) override;
    STDMETHODIMP GetErrorString(LONG Code, BSTR* strError) override;
    STDMETHODIMP get_isOpen(LONG* pVal) override;
    STDMETHODIMP put_isOpen(LONG value) override;
    STDMETHODIMP get_ShowMenus(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_ShowMenus(VARIANT_BOOL value) override;
    STDMETHODIMP get_ShowPostil(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_ShowPostil(VARIANT_BOOL value) override;
    STDMETHODIMP get_ShowSigns(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_ShowSigns(VARIANT_BOOL value) override;
    STDMETHODIMP get_ShowTitle(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_ShowTitle(VARIANT_BOOL value) override;
    STDMETHODIMP get_ShowTools(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_ShowTools(VARIANT_BOOL value) override;
    STDMETHODIMP WebClose(LONG* lResult) override;
    STDMETHODIMP WebOpenLocalFile(BSTR sFileName, LONG* lResult) override;
    STDMETHODIMP WebSaveLocalFile(BSTR sFileName, LONG* lResult) override;
    STDMETHODIMP EnableTools(BSTR sTools, LONG bEnable, LONG* lResult) override;
    STDMETHODIMP get_LocalFileName(BSTR* pVal) override;
    STDMETHODIMP put_LocalFileName(BSTR value) override;
    STDMETHODIMP GotoFirstPage(LONG* plRetPageNum) override;
    STDMETHODIMP GotoPreviousPage(LONG* plRetPageNum) override;
    STDMETHODIMP GotoNextPage(LONG* plRetPageNum) override;
    STDMETHODIMP GotoLastPage(LONG* plRetPageNum) override;
    STDMETHODIMP get_ShowMarks(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_ShowMarks(VARIANT_BOOL value) override;
    STDMETHODIMP get_ShowState(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_ShowState(VARIANT_BOOL value) override;
    STDMETHODIMP get_ShowSides(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_ShowSides(VARIANT_BOOL value) override;
    STDMETHODIMP get_DisplayMode(LONG* pVal) override;
    STDMETHODIMP put_DisplayMode(LONG value) override;
    STDMETHODIMP get_Zoom(LONG* pVal) override;
    STDMETHODIMP put_Zoom(LONG value) override;
    STDMETHODIMP get_Rotate(LONG* pVal) override;
    STDMETHODIMP put_Rotate(LONG value) override;
    STDMETHODIMP get_CurPage(LONG* pVal) override;
    STDMETHODIMP put_CurPage(LONG value) override;
    STDMETHODIMP get_PageCount(LONG* pVal) override;
    STDMETHODIMP put_PageCount(LONG value) override;
    STDMETHODIMP get_EditStatus(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_EditStatus(VARIANT_BOOL value) override;
    STDMETHODIMP get_CopyStatus(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_CopyStatus(VARIANT_BOOL value) override;
    STDMETHODIMP get_PrintStatus(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_PrintStatus(VARIANT_BOOL value) override;
    STDMETHODIMP get_ContentText(BSTR* pVal) override;
    STDMETHODIMP put_ContentText(BSTR value) override;
    STDMETHODIMP get_Language(BSTR* pVal) override;
    STDMETHODIMP put_Language(BSTR value) override;
    STDMETHODIMP get_Version(BSTR* pVal) override;
    STDMETHODIMP put_Version(BSTR value) override;
    STDMETHODIMP get_CursorState(LONG* pVal) override;
    STDMETHODIMP put_CursorState(LONG value) override;
    STDMETHODIMP get_FullScreen(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_FullScreen(VARIANT_BOOL value) override;
    STDMETHODIMP get_SelectedBookMarkName(BSTR* pVal) override;
    STDMETHODIMP put_SelectedBookMarkName(BSTR value) override;
    STDMETHODIMP WebOpenUrlFile(BSTR strUrl, VARIANT_BOOL* pRet) override;
    STDMETHODIMP WebDownLoadFile(BSTR strUrl, BSTR strFileName, VARIANT_BOOL* pRet) override;
    STDMETHODIMP WebSaveLocal(VARIANT_BOOL* pRet) override;
    STDMETHODIMP WebOpenLocal(VARIANT_BOOL* pRet) override;
    STDMETHODIMP WebSaveLocalDialog(BSTR* pstrFilePath) override;
    STDMETHODIMP WebOpenLocalDialog(BSTR* pstrFilePath) override;
    STDMETHODIMP GotoBookMark(BSTR strName, LONG* lRet) override;
    STDMETHODIMP FullSize() override;
    STDMETHODIMP SmallSize() override;
    STDMETHODIMP FindFirst() override;
    STDMETHODIMP SearchText(BSTR strText, BSTR* bstrTextPostion) override;
    STDMETHODIMP WebGetIP(BSTR* strLocalIP) override;
    STDMETHODIMP WebGetMac(BSTR* strLocalMac) override;
    STDMETHODIMP WebSetScrollBarPos(LONG xPos, LONG yPos, VARIANT_BOOL* pRet) override;
    STDMETHODIMP WebGetFilePath(BSTR* strFilePath) override;
    STDMETHODIMP SetSelectState(LONG lState, VARIANT_BOOL* blRet) override;
    STDMETHODIMP GetTextPosition(LONG lPageNo, BSTR strText, VARIANT_BOOL blCase, LONG lType, BSTR* bstrTextPostion) override;
    STDMETHODIMP FileSize(LONG* lRet) override;
    STDMETHODIMP AppendMenu(BSTR strIndex, BSTR strCaption) override;
    STDMETHODIMP AppendTools(BSTR strIndex, BSTR Caption, LONG lIcon) override;
    STDMETHODIMP EnableUserMenus(BSTR strIndex, VARIANT_BOOL blEnabled) override;
    STDMETHODIMP EnableUserTools(BSTR strIndex, VARIANT_BOOL blEnabled) override;
    STDMETHODIMP GetTextPostilInfo(BSTR* strText) override;
    STDMETHODIMP GetTextPositionAll(BSTR strText, BSTR strFileName, BSTR* bstrTextPostion) override;
    STDMETHODIMP GetKeyCount(LONG* lRet) override;
    STDMETHODIMP SetPublicParam(BSTR Name, BSTR Value, BSTR HeaderValue, LONG* lResult) override;
    STDMETHODIMP get_ExtParam1(BSTR* pVal) override;
    STDMETHODIMP put_ExtParam1(BSTR value) override;
    STDMETHODIMP get_SaveRight(LONG* pVal) override;
    STDMETHODIMP put_SaveRight(LONG value) override;
    STDMETHODIMP get_PrintRight(LONG* pVal) override;
    STDMETHODIMP put_PrintRight(LONG value) override;
    STDMETHODIMP get_AlterUser(LONG* pVal) override;
    STDMETHODIMP put_AlterUser(LONG value) override;
    STDMETHODIMP get_TSServerURL(BSTR* pVal) override;
    STDMETHODIMP put_TSServerURL(BSTR value) override;
    STDMETHODIMP get_TSUser(BSTR* pVal) override;
    STDMETHODIMP put_TSUser(BSTR value) override;
    STDMETHODIMP get_TSPwd(BSTR* pVal) override;
    STDMETHODIMP put_TSPwd(BSTR value) override;
    STDMETHODIMP get_AppCode(BSTR* pVal) override;
    STDMETHODIMP put_AppCode(BSTR value) override;
    STDMETHODIMP get_Status(BSTR* pVal) override;
    STDMETHODIMP put_Status(BSTR value) override;
    STDMETHODIMP get_WebUrl(BSTR* pVal) override;
    STDMETHODIMP put_WebUrl(BSTR value) override;
    STDMETHODIMP get_RecordId(BSTR* pVal) override;
    STDMETHODIMP put_RecordId(BSTR value) override;
    STDMETHODIMP get_FileName(BSTR* pVal) override;
    STDMETHODIMP put_FileName(BSTR value) override;
    STDMETHODIMP get_UserName(BSTR* pVal) override;
    STDMETHODIMP put_UserName(BSTR value) override;
    STDMETHODIMP get_ExtParam(BSTR* pVal) override;
    STDMETHODIMP put_ExtParam(BSTR value) override;
    STDMETHODIMP WebOpen(VARIANT_BOOL* bResult) override;
    STDMETHODIMP WebSave(VARIANT_BOOL* bResult) override;
    STDMETHODIMP get_FileType(BSTR* pVal) override;
    STDMETHODIMP put_FileType(BSTR value) override;
    STDMETHODIMP get_EnableHandWriter(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_EnableHandWriter(VARIANT_BOOL value) override;
    STDMETHODIMP get_AllowSignName(BSTR* pVal) override;
    STDMETHODIMP put_AllowSignName(BSTR value) override;
    STDMETHODIMP get_SignatureMode(LONG* pVal) override;
    STDMETHODIMP put_SignatureMode(LONG value) override;
    STDMETHODIMP WebPrint(LONG Copies, BSTR PrintName, LONG FromPage, LONG ToPage, VARIANT_BOOL ShowDlg, LONG* lResult) override;
    STDMETHODIMP CreateSignature(LONG SignIndex, BSTR SignPass, LONG PageNo, LONG mode, BSTR Position, BSTR Area, LONG* lResult) override;
    STDMETHODIMP ShowSignDlg(LONG type, LONG* lRet) override;
    STDMETHODIMP ShowCheckDlg(LONG* lRet) override;
    STDMETHODIMP SignatureNames(BSTR* strRet) override;
    STDMETHODIMP SignatureItem(LONG nIndex, BSTR* strRet) override;
    STDMETHODIMP SignatureCount(LONG* lRet) override;
    STDMETHODIMP DeleteSignature(BSTR Password, LONG* lResult) override;
    STDMETHODIMP WateMark(LONG StartPage, LONG EndPage, BSTR strText, FLOAT nstrok, LONG fontSize, LONG Rotate, VARIANT_BOOL Back, LONG X, LONG Y, VARIANT_BOOL* bResult) override;
    STDMETHODIMP SetSignatureParam(BSTR Name, BSTR Value, BSTR HeaderValue, LONG* lRet) override;
    STDMETHODIMP ImportPages(BSTR FileName, LONG Start, LONG Trail, LONG Place, LONG* lRet) override;
    STDMETHODIMP DeletePages(LONG Start, LONG Trail, LONG* lRet) override;
    STDMETHODIMP DeletePagesExt(LONG Start, LONG Trail, LONG* lRet) override;
    STDMETHODIMP ExportFieldValue(BSTR FieldName, BSTR* strRet) override;
    STDMETHODIMP ImportTemplate(BSTR XML, LONG* Result) override;
    STDMETHODIMP WebSaveAccessory(LONG* Result) override;
    STDMETHODIMP GotoViewSignature(LONG Index, LONG* lRet) override;
    STDMETHODIMP WebSaveLocalFileEx(BSTR FileName, BSTR Password, BSTR LocalPath, BSTR Ext1, BSTR Ext2, BSTR Ext3, LONG* lRet) override;
    STDMETHODIMP WebOpenLocalFileEx(BSTR FileName, BSTR Password, BSTR LocalPath, BSTR Ext1, BSTR Ext2, BSTR Ext3, LONG* lRet) override;
    STDMETHODIMP HandWriter(LONG type, LONG* lRet) override;
    STDMETHODIMP LockScreen(LONG* lRet) override;
    STDMETHODIMP UnlockScreen(LONG* lRet) override;
    STDMETHODIMP SeriesSignature(LONG StartPageNo, LONG EndPageNo, LONG Index, BSTR Pass, LONG mode, BSTR Position, BSTR Area, LONG* lResult) override;
    STDMETHODIMP AddComment(LONG PageNo, LONG X, LONG Y, BSTR strText, LONG* Result) override;
    STDMETHODIMP InsertImage(LONG PageNo, LONG X, LONG Y, LONG Width, LONG Height, BSTR strImage, LONG* Result) override;
    STDMETHODIMP InsertText(LONG PageNo, LONG X, LONG Y, BSTR strText, LONG fontSize, LONG* Result) override;
    STDMETHODIMP FastSignature(LONG SignIndex, BSTR SignPass, BSTR Area, LONG* lResult) override;
    STDMETHODIMP ImportFieldValueByXML(BSTR sXML, LONG* lResult) override;
    STDMETHODIMP WebGetKeySN(BSTR* strRet) override;
    STDMETHODIMP InsertImageByPosition(BSTR sName, LONG mode, LONG nStartPage, LONG nEndPage, LONG Width, LONG Height, BSTR sImagePath, LONG isURL, LONG* lRet) override;
    STDMETHODIMP WebPrintEx(LONG Copies, BSTR PrinterName, BSTR PageArea, VARIANT_BOOL ShowDlg, LONG* lRet) override;
    STDMETHODIMP CreateBarcodeSignature(BSTR barcodeString, LONG bShowDlg, BSTR SignPass, LONG lStartPage, LONG lEndPage, LONG mode, BSTR Position, BSTR Area, LONG* lRet) override;
    STDMETHODIMP SaveSignDataToLocal(BSTR* strData) override;
    STDMETHODIMP LoadLocalSignData(BSTR strSignData, LONG* lRet) override;
    STDMETHODIMP CreateSignatureByName(BSTR sealName, LONG StartPageNo, LONG EndPageNo, BSTR Password, LONG mode, BSTR posText, BSTR protectArea, LONG* lRet) override;
    STDMETHODIMP CreateRaycodeSignature(BSTR SignPass, LONG PageNo, LONG mode, BSTR Position, BSTR Area, LONG* lRet) override;
    STDMETHODIMP CreateQRCodeSignature(BSTR QRCodeString, LONG bShowDlg, BSTR SignPass, LONG lStartPage, LONG lEndPage, LONG mode, BSTR Position, BSTR Area, LONG* lRet) override;
    STDMETHODIMP CreateSignatureByImage(BSTR imageFile, BSTR SignPass, VARIANT_BOOL bProtected, LONG nStartPageNo, LONG nEndPageNo, LONG mode, BSTR Position, LONG* lRet) override;
    STDMETHODIMP InsertMoveText(BSTR strInput, LONG nPage, BSTR Pos, BSTR FName, BSTR FSize, LONG RColor, LONG GColor, LONG BColor, LONG* lResult) override;
    STDMETHODIMP InsertMoveTextExt(BSTR strInput, LONG nPage, LONG mode, BSTR Pos, LONG PosType, BSTR FName, BSTR FSize, LONG RColor, LONG GColor, LONG BColor, LONG* lResult) override;
    STDMETHODIMP GoToTextComment(BSTR TextID, LONG* lRet) override;
    STDMETHODIMP GoToAnnot(BSTR strID, LONG* lRet) override;
    STDMETHODIMP FastSignatureByImage(BSTR imageFile, BSTR SignPass, VARIANT_BOOL bProtected, LONG* Result) override;
    STDMETHODIMP GetSpecificSignCount(BSTR Pages, LONG SignType, LONG* Result) override;
    STDMETHODIMP GoToText(BSTR strText, LONG Page, VARIANT_BOOL Case, VARIANT_BOOL UpDown, VARIANT_BOOL Selected, LONG* Result) override;
    STDMETHODIMP IsPagesSigned(BSTR Pages, LONG SignType, LONG* Result) override;
    STDMETHODIMP CreateSignaturePages(LONG SignIndex, BSTR SignPass, BSTR Pages, LONG mode, BSTR Position, BSTR Area, LONG* lResult) override;
    STDMETHODIMP WebPrintControl(BSTR PrinterName, LONG MaxPrintCount, LONG PrintCount, BSTR PintPage, LONG ShowDlg, LONG* lResult) override;
    STDMETHODIMP GetAnnotTextFile(BSTR* sFileName) override;
    STDMETHODIMP SetPostilPenColor(LONG* lRet) override;
    STDMETHODIMP SetPostilPenWidth(LONG pWidth, LONG* lRet) override;
    STDMETHODIMP GetAnnotString(BSTR* sInfo) override;
    STDMETHODIMP CancelPostil(VARIANT_BOOL* Result) override;
    STDMETHODIMP InsertImageByString(LONG PageNo, LONG X, LONG Y, BSTR CTime, BSTR MTime, BSTR UName, BSTR UId, BSTR strPic, FLOAT Width, FLOAT Height, BSTR PId, LONG* lRet) override;
    STDMETHODIMP AddCommentExt(LONG PageNo, FLOAT X, FLOAT Y, BSTR strText, BSTR CTime, BSTR MTime, BSTR UName, BSTR UId, BSTR TId, LONG* lRet) override;
    STDMETHODIMP GetBookMarks(BSTR* strBookMarks) override;
    STDMETHODIMP CommentWindow(LONG AllOpen, LONG* Result) override;
    STDMETHODIMP CreateBarCodeImage(BSTR BarCode, LONG StartPage, LONG EndPage, LONG mode, BSTR Pos, LONG nType, LONG* lRet) override;
    STDMETHODIMP SaveLocalFileNoSignature(BSTR FileName, LONG* lRet) override;
    STDMETHODIMP InsertImageExt(LONG PageNo, FLOAT X, FLOAT Y, FLOAT Width, FLOAT Height, BSTR strImage, VARIANT_BOOL Tback, FLOAT dTran, FLOAT Rotate, LONG* lRet) override;
    STDMETHODIMP CreateStraddleSignature(LONG SignIndex, BSTR SignPass, BSTR Position, LONG isBialteral, LONG EvenOrOdd, BSTR strRate, BSTR Area, LONG* lResult) override;
    STDMETHODIMP get_DocumentModified(LONG* pVal) override;
    STDMETHODIMP put_DocumentModified(LONG value) override;
    STDMETHODIMP get_AllowMoveAnnot(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_AllowMoveAnnot(VARIANT_BOOL value) override;
    STDMETHODIMP get_ImageAnnotDelRight(LONG* pVal) override;
    STDMETHODIMP put_ImageAnnotDelRight(LONG value) override;
    STDMETHODIMP get_ImageAnnotMoveRight(LONG* pVal) override;
    STDMETHODIMP put_ImageAnnotMoveRight(LONG value) override;
    STDMETHODIMP get_CommentTextMoveRight(LONG* pVal) override;
    STDMETHODIMP put_CommentTextMoveRight(LONG value) override;
    STDMETHODIMP WebGetMsgByName(BSTR sFieldName, BSTR* strRet) override;
    STDMETHODIMP WebSetMsgByName(BSTR sFieldName, BSTR sFieldValue, LONG* lRet) override;
    STDMETHODIMP WebClearMessage(LONG* lRet) override;
    STDMETHODIMP WebSendMessage(LONG* lRet) override;
    STDMETHODIMP SaveFileToBase64(LONG nType, BSTR* strResult) override;
    STDMETHODIMP WebOpenBase64(LONG* lRet) override;
    STDMETHODIMP WebSaveBase64(LONG* lRet) override;
    STDMETHODIMP SaveSignData(LONG* res) override;
    STDMETHODIMP LoadSignData(LONG* res) override;
    STDMETHODIMP get_TextCommentRight(LONG* pVal) override;
    STDMETHODIMP put_TextCommentRight(LONG value) override;
    STDMETHODIMP get_VersionEx(BSTR* pVal) override;
    STDMETHODIMP put_VersionEx(BSTR value) override;
    STDMETHODIMP get_HaveSignature(LONG* pVal) override;
    STDMETHODIMP put_HaveSignature(LONG value) override;
    STDMETHODIMP VerifyPin(BSTR CardPin, VARIANT_BOOL* Result) override;
    STDMETHODIMP get_MaxFileSize(LONG* pVal) override;
    STDMETHODIMP put_MaxFileSize(LONG value) override;
    STDMETHODIMP get_ThirdTime(BSTR* pVal) override;
    STDMETHODIMP put_ThirdTime(BSTR value) override;
    STDMETHODIMP FastSeriesSignature(LONG StartPageNo, LONG EndPageNo, LONG Index, BSTR Pass, LONG mode, BSTR Position, BSTR Area, LONG ReferencePoint, LONG* lRet) override;
    STDMETHODIMP InsertImageByPositionExt(BSTR strLocationInfo, LONG mode, LONG nStartPage, LONG nEndPage, FLOAT Width, FLOAT Height, BSTR strImagePath, LONG isURL, FLOAT TranPre, LONG* lResult) override;
    STDMETHODIMP get_UserID(BSTR* pVal) override;
    STDMETHODIMP put_UserID(BSTR value) override;
    STDMETHODIMP get_ShowDigitalSignature(LONG* pVal) override;
    STDMETHODIMP put_ShowDigitalSignature(LONG value) override;
    STDMETHODIMP ShowTabCommandBar(LONG nIndex, VARIANT_BOOL bVisible, LONG* lRet) override;
    STDMETHODIMP get_ShowTabBarVisible(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_ShowTabBarVisible(VARIANT_BOOL value) override;
    STDMETHODIMP get_Hide(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_Hide(VARIANT_BOOL value) override;
    STDMETHODIMP get_ShowSchedule(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_ShowSchedule(VARIANT_BOOL value) override;
    STDMETHODIMP GetFormateStringPos(LONG nType, BSTR* bstrRet) override;
    STDMETHODIMP CreatePrintWMStyle(BSTR strText, FLOAT lalpha, LONG* lRet) override;
    STDMETHODIMP GetFileBase64(BSTR strBaseTable, BSTR* strRet) override;
    STDMETHODIMP SetFieldByName(BSTR Name, BSTR Value, VARIANT_BOOL* bResult) override;
    STDMETHODIMP GetFieldByName(BSTR strName, BSTR* strValue) override;
    STDMETHODIMP ClearFieldByName(VARIANT_BOOL* bRet) override;
    STDMETHODIMP get_PrintConfig(BSTR* pVal) override;
    STDMETHODIMP put_PrintConfig(BSTR value) override;
    STDMETHODIMP get_PositionBack(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_PositionBack(VARIANT_BOOL value) override;
    STDMETHODIMP GotoSignature(LONG nSignatureIndex, LONG isFirst, LONG* lRet) override;
    STDMETHODIMP openFile(BSTR strUrl, VARIANT_BOOL readOnly, VARIANT_BOOL* bRet) override;
    STDMETHODIMP saveFile(BSTR strUrl, VARIANT_BOOL* bRet) override;
    STDMETHODIMP setCompositeVisible(BSTR strCompName, VARIANT_BOOL bVisible) override;
    STDMETHODIMP setReaderMode(LONG iMode) override;
    STDMETHODIMP closeFile(VARIANT_BOOL* bRet) override;
    STDMETHODIMP setViewPreference(BSTR key, BSTR Value) override;
    STDMETHODIMP addTrackInfo(BSTR xmlParam) override;
    STDMETHODIMP printFile() override;
    STDMETHODIMP getLogFilePath(BSTR* pVal) override;
    STDMETHODIMP ShedCryptoDocument(LONG IsSaveAs, LONG* Result) override;
    STDMETHODIMP WaterMarkEx(LONG StartPage, LONG EndPage, BSTR strText, FLOAT nstrok, LONG fontSize, LONG Rotate, VARIANT_BOOL Back, LONG X, LONG Y, BSTR strWMName, BSTR strWMColor, LONG lAlignMode, LONG fScale, VARIANT_BOOL* bResult) override;
    STDMETHODIMP NoPrintWMName(BSTR strWMName, LONG* lRet) override;
    STDMETHODIMP CreateSignatureOFD(LONG SignIndex, BSTR SignPass, LONG PageNo, LONG mode, BSTR Position, BSTR Area, LONG* lResult) override;
    STDMETHODIMP DeleteSignatureOFD(BSTR Password, LONG* lResult) override;
    STDMETHODIMP SignatureCountOFD(LONG* lResult) override;
    STDMETHODIMP InvalidSignatureCountOFD(LONG* lResult) override;
    STDMETHODIMP CreateCrossPageSignatureOFD(LONG SignIndex, BSTR SignPass, LONG mode, BSTR Position, LONG lSignPageMode, LONG lSignType, LONG lSignFirstPagePercent, LONG lSignLoopPageSize, BSTR CrossPagePageRatioDesc, LONG* lResult) override;
    STDMETHODIMP GotoPreviousScreen(VARIANT_BOOL* pbRet) override;
    STDMETHODIMP GotoNextScreen(VARIANT_BOOL* pbRet) override;
    STDMETHODIMP Alter(BSTR strShow, VARIANT_BOOL* pbRet) override;
    STDMETHODIMP GrayDocument(BSTR ExParam, LONG* lRet) override;
    STDMETHODIMP GetDocumentID(BSTR* strRet) override;
    STDMETHODIMP Alert(BSTR strShow, VARIANT_BOOL* pbRet) override;
    STDMETHODIMP BuildStampModelTool(BSTR strParam, VARIANT_BOOL blShow, LONG* pVal) override;
    STDMETHODIMP BuildStampModelImage(BSTR strParam, VARIANT_BOOL blShow, BSTR* strVal) override;
    STDMETHODIMP AddAttachments(BSTR FileName, BSTR FileDescription, VARIANT_BOOL* bResult) override;
    STDMETHODIMP DelAttachments(BSTR AttachmentName, VARIANT_BOOL* bResult) override;
    STDMETHODIMP IsCertTimeOut(VARIANT_BOOL* bResult) override;
    STDMETHODIMP AddSignatureByDlg(LONG nType, LONG* lRet) override;
    STDMETHODIMP AppendHideKeywords(BSTR Keywords, LONG* pVal) override;
    STDMETHODIMP EnabledHideKeywords(LONG Ch, VARIANT_BOOL bValue, LONG* pVal) override;
    STDMETHODIMP get_EnabledCopy(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_EnabledCopy(VARIANT_BOOL value) override;
    STDMETHODIMP get_StartPageVisible(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_StartPageVisible(VARIANT_BOOL value) override;
    STDMETHODIMP get_EnabledCommentWindow(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_EnabledCommentWindow(VARIANT_BOOL value) override;
    STDMETHODIMP get_AnnotPopupEditRight(LONG* pVal) override;
    STDMETHODIMP put_AnnotPopupEditRight(LONG value) override;
    STDMETHODIMP ShowCommandBar(LONG nIndex, VARIANT_BOOL bVisible, LONG* lRet) override;
    STDMETHODIMP AppendToolsEx(BSTR strIndex, BSTR Caption, BSTR strIcon) override;
    STDMETHODIMP WebUpLoadFile(BSTR strUrl, BSTR strFormData, VARIANT_BOOL* pRet) override;
    STDMETHODIMP CommentVisible(LONG lVisible, LONG* Result) override;
    STDMETHODIMP get_AnnotStampType(BSTR* pVal) override;
    STDMETHODIMP put_AnnotStampType(BSTR value) override;
    STDMETHODIMP get_AnnotInfo(BSTR* pVal) override;
    STDMETHODIMP put_AnnotInfo(BSTR value) override;
    STDMETHODIMP WebSaveEx(VARIANT_BOOL* bResult) override;
    STDMETHODIMP ImportAnnot(LONG nPage, LONG nType, FLOAT leftX, FLOAT leftY, FLOAT fWidth, FLOAT fHeight, BSTR CTime, BSTR MTime, BSTR authorId, BSTR authorName, BSTR annotContent, LONG* lResult) override;
    STDMETHODIMP AddFreeTextCallout(LONG* lResult) override;
    STDMETHODIMP AddImageAnnotByString(BSTR strTextInfo, BSTR strPictureInfo, LONG* lResult) override;
    STDMETHODIMP INetSetCookieEx(BSTR bstrUrl, BSTR bstrCookie, VARIANT_BOOL* pVal) override;
    STDMETHODIMP ConvertSignToImage(BSTR FilePath, LONG* lResult) override;
    STDMETHODIMP get_CustomStraddle(LONG* pVal) override;
    STDMETHODIMP put_CustomStraddle(LONG value) override;
    STDMETHODIMP InsertTextEx(LONG PageNo, LONG X, LONG Y, BSTR strText, LONG fontSize, BSTR FontColor, BSTR FontName, FLOAT fWidth, FLOAT fHeight, LONG* Result) override;
    STDMETHODIMP FastSignatureByImageEx(BSTR imageFile, BSTR SignPass, FLOAT Width, FLOAT Height, BSTR signName, VARIANT_BOOL bLoop, BSTR ExtParam, VARIANT_BOOL bProtected, LONG* Result) override;
    STDMETHODIMP AddFieldSignature(BSTR strExParam, LONG* pVal) override;
    STDMETHODIMP PreDigitalSignature(LONG nPre, LONG* pVal) override;
    STDMETHODIMP DelWaterMark(BSTR strName, BSTR strExParam, LONG* pVal) override;
    STDMETHODIMP HasPreSignature(LONG* pVal) override;
    STDMETHODIMP ImageWaterMarkEx(LONG StartPage, LONG EndPage, BSTR strImage, FLOAT nstrok, LONG Rotate, VARIANT_BOOL Back, LONG X, LONG Y, BSTR strWMName, LONG lAlignMode, BSTR strExParam, VARIANT_BOOL* bResult) override;
    STDMETHODIMP get_SignaturePages(VARIANT* pVal) override;
    STDMETHODIMP put_SignaturePages(VARIANT value) override;
    STDMETHODIMP get_SignaturePos(VARIANT* pVal) override;
    STDMETHODIMP put_SignaturePos(VARIANT value) override;
    STDMETHODIMP get_SignaturePosMode(LONG* pVal) override;
    STDMETHODIMP put_SignaturePosMode(LONG value) override;
    STDMETHODIMP ShowHandWriteTab(BSTR strType, LONG* pVal) override;
    STDMETHODIMP get_AutoSign(LONG* pVal) override;
    STDMETHODIMP put_AutoSign(LONG value) override;
    STDMETHODIMP GetFileName(LONG nDocIndex, BSTR* pVal) override;
    STDMETHODIMP VDLoginPhone(BSTR strExParam, LONG* pVal) override;
    STDMETHODIMP VDLogoutPhone(BSTR strExParam, LONG* pVal) override;
    STDMETHODIMP get_AllowSignID(BSTR* pVal) override;
    STDMETHODIMP put_AllowSignID(BSTR value) override;
    STDMETHODIMP VDAddBarcodeAnnot(BSTR strExParam, LONG* pVal) override;
    STDMETHODIMP WebCheckActivePrinterIsVirtualPrinter(BSTR strPrintName, LONG* pVal) override;
    STDMETHODIMP get_SignatureOutputFlags(LONG* pVal) override;
    STDMETHODIMP put_SignatureOutputFlags(LONG value) override;
    STDMETHODIMP SetAnnotString(BSTR strInfo, LONG* pVal) override;
    STDMETHODIMP get_AllowSignTag(LONG* pVal) override;
    STDMETHODIMP put_AllowSignTag(LONG value) override;
    STDMETHODIMP get_AllowUserCode(BSTR* pVal) override;
    STDMETHODIMP put_AllowUserCode(BSTR value) override;

    // Host event handlers, in the order of the class's virtual operations.
    virtual HRESULT STDMETHODCALLTYPE OnCommandClicked(ULONG kind, ULONG controlId);
    virtual HRESULT STDMETHODCALLTYPE OnViewEvent2(IDispatch* view, ULONGLONG wParam, ULONGLONG point, VARIANT_BOOL* handled);
    virtual HRESULT STDMETHODCALLTYPE OnViewLeftClick(IDispatch* view, ULONGLONG wParam, ULONGLONG point, VARIANT_BOOL* handled);
    virtual HRESULT STDMETHODCALLTYPE OnViewEvent4(IDispatch* view, ULONGLONG wParam, ULONGLONG point, VARIANT_BOOL* handled);
    virtual HRESULT STDMETHODCALLTYPE OnViewRightClick(IDispatch* view, ULONGLONG wParam, ULONGLONG point, VARIANT_BOOL* handled);
    virtual HRESULT STDMETHODCALLTYPE OnViewEvent6(IDispatch* view, ULONGLONG wParam, ULONGLONG point, VARIANT_BOOL* handled);
    virtual HRESULT STDMETHODCALLTYPE OnViewEvent8(IDispatch* view, ULONGLONG wParam, ULONGLONG point, VARIANT_BOOL* handled);
    virtual HRESULT STDMETHODCALLTYPE OnViewMouseMove(IDispatch* view, ULONGLONG wParam, ULONGLONG point, VARIANT_BOOL* handled);
    virtual HRESULT STDMETHODCALLTYPE OnViewEvent19(IDispatch* view, ULONGLONG wParam, ULONGLONG lParam, VARIANT_BOOL* handled);
    virtual HRESULT STDMETHODCALLTYPE OnViewEvent23(IDispatch* view, ULONGLONG wParam, ULONGLONG lParam, VARIANT_BOOL* handled);
    virtual HRESULT STDMETHODCALLTYPE OnAnnotationMessage(BSTR message, IDispatch* notification, UINT wParam, UINT lParam);
    virtual HRESULT STDMETHODCALLTYPE OnViewEvent42(IDispatch* view, ULONGLONG wParam, ULONGLONG lParam);
    virtual HRESULT STDMETHODCALLTYPE OnViewEvent43(IDispatch* view, ULONGLONG wParam, ULONGLONG lParam);
    virtual HRESULT STDMETHODCALLTYPE OnViewEvent44(IDispatch* view, ULONGLONG wParam, ULONGLONG lParam);
    virtual HRESULT STDMETHODCALLTYPE OnUnusedEventA();
    virtual HRESULT STDMETHODCALLTYPE OnUnusedEventB();
    virtual HRESULT STDMETHODCALLTYPE OnDocumentOpened(IDispatch* document);
    virtual HRESULT STDMETHODCALLTYPE OnDocumentActivated(IDispatch* document);
    virtual HRESULT STDMETHODCALLTYPE OnDocumentClosed(IDispatch* document);
    virtual HRESULT STDMETHODCALLTYPE OnEvent12(LONG value);
    virtual HRESULT STDMETHODCALLTYPE OnEvent14(IDispatch* object);
    virtual HRESULT STDMETHODCALLTYPE OnEvent13(IDispatch* object);
    virtual HRESULT STDMETHODCALLTYPE OnEvent16(IDispatch* object);
    virtual HRESULT STDMETHODCALLTYPE OnCommentWindowRefresh(BSTR text);

    virtual ~CFoliumFun();

    // The reader's add-in interface.
    class ExtensibilityPart : public DispatchPart<IQxExtensibility> {
    public:
        explicit ExtensibilityPart(CFoliumFun* owner)
            : DispatchPart(static_cast<IFoliumFun*>(owner), ExtensibilityTypeInfo()), m_owner(owner) {}
        STDMETHODIMP OnConnection(IDispatch* Application, LONG ConnectMode, IDispatch* AddInInst, VARIANT* Custom) override;
        STDMETHODIMP OnDisconnection(LONG RemoveMode, VARIANT* Custom) override;
        STDMETHODIMP OnAddInsUpdate(VARIANT* Custom) override;
        STDMETHODIMP GetDescription(LPWSTR* Description) override;
        STDMETHODIMP OnBeginShutdown(VARIANT* Custom) override;

    private:
        CFoliumFun* m_owner;
    };

    // The sink advised on the host application's event interface.
    class EventSinkPart : public IDispatch {
    public:
        explicit EventSinkPart(CFoliumFun* owner) : m_owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
        STDMETHODIMP_(ULONG) AddRef() override { return m_owner->AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return m_owner->Release(); }
        STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
        STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
        STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
        STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                            VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

        // Subscribes to and unsubscribes from the source's application events; the
        // outcome of either is ignored (a source without them sends none).
        void Advise(IUnknown* source);
        void Unadvise(IUnknown* source);

        // Sink bookkeeping: library and interface identifiers, version, advise cookie.
        GUID m_libid = GUID_NULL;
        IID m_iid = GUID_NULL;
        WORD m_wMajorVerNum = 0;
        WORD m_wMinorVerNum = 0;
        static constexpr DWORD kNotAdvised = 0xFEFEFEFE;
        DWORD m_dwEventCookie = kNotAdvised;

    private:
        CFoliumFun* m_owner;
    };

    // The barcode control interface: dispatch only, described by the barcode library.
    class BarcodePart : public DispatchPart<ISigilonBarcordCtrl> {
    public:
        explicit BarcodePart(CFoliumFun* owner)
            : DispatchPart(static_cast<IFoliumFun*>(owner), BarcodeTypeInfo()) {}
    };

private:
    friend class ExtensibilityPart;
    friend class EventSinkPart;

    ExtensibilityPart m_extensibility{this};
    EventSinkPart m_sink{this};
    BarcodePart m_barcode{this};

    IUnknown* m_pOuter;  // controlling unknown when aggregated (not owned)
    LONG m_dwRef = 0;    // single-threaded: the object lives in one apartment

public:
    // The exchange properties scripts set, sent with every request to the document server.
    struct ExchangeFields {
        folium::UniqueBstr recordId, webUrl, fileName, userName, extParam, fileType, userId, thirdTime;
        folium::UniqueBstr cookie;                // the server's session cookie, kept from the last request
        VARIANT_BOOL showSchedule = VARIANT_TRUE; // the transfer shows its progress dialog
        LONG maxFileSize = 0;                     // KB; 0 means no limit
    };
    // The annotation properties new stamps and comments are made with.
    struct StampFields {
        folium::UniqueBstr stampType, info;
        VARIANT_BOOL positionBack = VARIANT_TRUE;  // stamps blend behind the page text
    };

    // What the family helpers read of the object; only members write its fields.
    IQxApplication* Application() const { return m_spApplication.get(); }
    IQxDocument* ActiveDocument() const { return m_spActiveDocument.get(); }
    const ExchangeFields& Exchange() const { return m_exchange; }
    const StampFields& Stamps() const { return m_stamps; }
    // The print watermark style kept for the next seal, handed over once (empty after).
    folium::UniqueBstr TakePendingSignData() { return std::exchange(m_strPendingSignData, folium::UniqueBstr(L"")); }

    // The sibling add-in's automation object by ProgID; false (and null) when the host
    // has no such add-in or it is not loaded.
    bool GetSiblingAddIn(BSTR progId, IDispatch** target);
    // The barcode generator's picture of text as a transparent 16-colour GIF (byte array).
    folium::ScopedVariant BuildBarcodeImage(LONG nType, BYTE flag, BSTR text);
    // Re-reads the host's active document: 0 when one is open, 1 when none.
    LONG RefreshActiveDocument();
    // Places an image stamp (base64 picture) centred on (x, y) of page pageNo (1-based,
    // page units): the placement click of a pending stamp.
    void PlaceImageStamp(LONG pageNo, LONG x, LONG y, BSTR image);

private:
    folium::ComPtr<IQxApplication> m_spApplication;
    folium::ComPtr<IQxDocument> m_spActiveDocument;
    HMODULE m_hSignatureCore = nullptr;  // set at connection
    ExchangeFields m_exchange;
    StampFields m_stamps;
    VARIANT_BOOL m_bAllowMoveAnnot = 1;
    LONG m_nImageAnnotDelRight = 0;
    LONG m_nImageAnnotMoveRight = 0;
    LONG m_nCommentTextMoveRight = 0;
    LONG m_nTextCommentRight = 0;
    LONG m_nDocumentPageCount = 0;
    LONG m_nShowDigitalSignature = 1;
    LONG m_nTabBarIndex = 0;
    VARIANT_BOOL m_bTabBarVisible = VARIANT_TRUE;
    folium::UniqueBstr m_strPendingSignData;
    LONG m_nAlterUser = 1;
    LONG m_bCommentWindowOpen = 0;
    LONG m_bEnabledCommentWindow = 0;
    LONG m_nAnnotPopupEditRight = 0;
    std::vector<folium::UniqueBstr> m_tempFiles;
    LONG m_nPendingStampCursor = 0;
    folium::UniqueBstr m_strPendingStampImage;
};
