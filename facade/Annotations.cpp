// Comments, text and image annotations.
#include "FoliumFun.h"

// Not built yet (marked "pending" in idl/members.tsv).
STDMETHODIMP CFoliumFun::GetTextPostilInfo(BSTR* strText) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_EnableHandWriter(VARIANT_BOOL* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_EnableHandWriter(VARIANT_BOOL value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::HandWriter(LONG type, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::AddComment(LONG PageNo, LONG X, LONG Y, BSTR strText, LONG* Result) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::InsertImage(LONG PageNo, LONG X, LONG Y, LONG Width, LONG Height, BSTR strImage, LONG* Result) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::InsertText(LONG PageNo, LONG X, LONG Y, BSTR strText, LONG fontSize, LONG* Result) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::InsertImageByPosition(BSTR sName, LONG mode, LONG nStartPage, LONG nEndPage, LONG Width, LONG Height, BSTR sImagePath, LONG isURL, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::GoToTextComment(BSTR TextID, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::GoToAnnot(BSTR strID, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::SetPostilPenColor(LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::SetPostilPenWidth(LONG pWidth, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::CancelPostil(VARIANT_BOOL* Result) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::InsertImageByString(LONG PageNo, LONG X, LONG Y, BSTR CTime, BSTR MTime, BSTR UName, BSTR UId, BSTR strPic, FLOAT Width, FLOAT Height, BSTR PId, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::AddCommentExt(LONG PageNo, FLOAT X, FLOAT Y, BSTR strText, BSTR CTime, BSTR MTime, BSTR UName, BSTR UId, BSTR TId, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::CommentWindow(LONG AllOpen, LONG* Result) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::InsertImageExt(LONG PageNo, FLOAT X, FLOAT Y, FLOAT Width, FLOAT Height, BSTR strImage, VARIANT_BOOL Tback, FLOAT dTran, FLOAT Rotate, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_AllowMoveAnnot(VARIANT_BOOL* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_AllowMoveAnnot(VARIANT_BOOL value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_ImageAnnotDelRight(LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_ImageAnnotDelRight(LONG value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_ImageAnnotMoveRight(LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_ImageAnnotMoveRight(LONG value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_CommentTextMoveRight(LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_CommentTextMoveRight(LONG value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_TextCommentRight(LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_TextCommentRight(LONG value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::InsertImageByPositionExt(BSTR strLocationInfo, LONG mode, LONG nStartPage, LONG nEndPage, FLOAT Width, FLOAT Height, BSTR strImagePath, LONG isURL, FLOAT TranPre, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_PositionBack(VARIANT_BOOL* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_PositionBack(VARIANT_BOOL value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::BuildStampModelTool(BSTR strParam, VARIANT_BOOL blShow, LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::BuildStampModelImage(BSTR strParam, VARIANT_BOOL blShow, BSTR* strVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_AnnotPopupEditRight(LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_AnnotPopupEditRight(LONG value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::CommentVisible(LONG lVisible, LONG* Result) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_AnnotStampType(BSTR* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_AnnotStampType(BSTR value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_AnnotInfo(BSTR* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_AnnotInfo(BSTR value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::AddFreeTextCallout(LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::AddImageAnnotByString(BSTR strTextInfo, BSTR strPictureInfo, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::InsertTextEx(LONG PageNo, LONG X, LONG Y, BSTR strText, LONG fontSize, BSTR FontColor, BSTR FontName, FLOAT fWidth, FLOAT fHeight, LONG* Result) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::ShowHandWriteTab(BSTR strType, LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::InsertMoveText(BSTR strInput, LONG nPage, BSTR Pos, BSTR FName, BSTR FSize, LONG RColor, LONG GColor, LONG BColor, LONG* lResult) { return S_OK; }
STDMETHODIMP CFoliumFun::InsertMoveTextExt(BSTR strInput, LONG nPage, LONG mode, BSTR Pos, LONG PosType, BSTR FName, BSTR FSize, LONG RColor, LONG GColor, LONG BColor, LONG* lResult) { return S_OK; }
