// Seals and signatures.
#include "FoliumFun.h"

// Not built yet (marked "pending" in idl/members.tsv).
STDMETHODIMP CFoliumFun::put_AllowSignName(BSTR value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_SignatureMode(LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_SignatureMode(LONG value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::CreateSignature(LONG SignIndex, BSTR SignPass, LONG PageNo, LONG mode, BSTR Position, BSTR Area, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::ShowSignDlg(LONG type, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::ShowCheckDlg(LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::SignatureNames(BSTR* strRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::SignatureItem(LONG nIndex, BSTR* strRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::SignatureCount(LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::DeleteSignature(BSTR Password, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::SetSignatureParam(BSTR Name, BSTR Value, BSTR HeaderValue, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::SeriesSignature(LONG StartPageNo, LONG EndPageNo, LONG Index, BSTR Pass, LONG mode, BSTR Position, BSTR Area, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::FastSignature(LONG SignIndex, BSTR SignPass, BSTR Area, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::CreateBarcodeSignature(BSTR barcodeString, LONG bShowDlg, BSTR SignPass, LONG lStartPage, LONG lEndPage, LONG mode, BSTR Position, BSTR Area, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::SaveSignDataToLocal(BSTR* strData) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::LoadLocalSignData(BSTR strSignData, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::CreateSignatureByName(BSTR sealName, LONG StartPageNo, LONG EndPageNo, BSTR Password, LONG mode, BSTR posText, BSTR protectArea, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::CreateRaycodeSignature(BSTR SignPass, LONG PageNo, LONG mode, BSTR Position, BSTR Area, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::CreateQRCodeSignature(BSTR QRCodeString, LONG bShowDlg, BSTR SignPass, LONG lStartPage, LONG lEndPage, LONG mode, BSTR Position, BSTR Area, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::CreateSignatureByImage(BSTR imageFile, BSTR SignPass, VARIANT_BOOL bProtected, LONG nStartPageNo, LONG nEndPageNo, LONG mode, BSTR Position, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::FastSignatureByImage(BSTR imageFile, BSTR SignPass, VARIANT_BOOL bProtected, LONG* Result) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::CreateSignaturePages(LONG SignIndex, BSTR SignPass, BSTR Pages, LONG mode, BSTR Position, BSTR Area, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_HaveSignature(LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::FastSeriesSignature(LONG StartPageNo, LONG EndPageNo, LONG Index, BSTR Pass, LONG mode, BSTR Position, BSTR Area, LONG ReferencePoint, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::SetFieldByName(BSTR Name, BSTR Value, VARIANT_BOOL* bResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::GetFieldByName(BSTR strName, BSTR* strValue) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::ClearFieldByName(VARIANT_BOOL* bRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::GotoSignature(LONG nSignatureIndex, LONG isFirst, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::ShedCryptoDocument(LONG IsSaveAs, LONG* Result) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::CreateSignatureOFD(LONG SignIndex, BSTR SignPass, LONG PageNo, LONG mode, BSTR Position, BSTR Area, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::DeleteSignatureOFD(BSTR Password, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::SignatureCountOFD(LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::InvalidSignatureCountOFD(LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::CreateCrossPageSignatureOFD(LONG SignIndex, BSTR SignPass, LONG mode, BSTR Position, LONG lSignPageMode, LONG lSignType, LONG lSignFirstPagePercent, LONG lSignLoopPageSize, BSTR CrossPagePageRatioDesc, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::GetDocumentID(BSTR* strRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::AddSignatureByDlg(LONG nType, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::ConvertSignToImage(BSTR FilePath, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_CustomStraddle(LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_CustomStraddle(LONG value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::FastSignatureByImageEx(BSTR imageFile, BSTR SignPass, FLOAT Width, FLOAT Height, BSTR signName, VARIANT_BOOL bLoop, BSTR ExtParam, VARIANT_BOOL bProtected, LONG* Result) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::AddFieldSignature(BSTR strExParam, LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::PreDigitalSignature(LONG nPre, LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::HasPreSignature(LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_SignaturePages(VARIANT value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_SignaturePos(VARIANT value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_SignaturePosMode(LONG value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_AutoSign(LONG value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::VDLoginPhone(BSTR strExParam, LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::VDLogoutPhone(BSTR strExParam, LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_AllowSignID(BSTR value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::VDAddBarcodeAnnot(BSTR strExParam, LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_SignatureOutputFlags(LONG value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_AllowSignTag(LONG value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_AllowUserCode(BSTR* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_AllowUserCode(BSTR value) { return FOLIUM_NOT_BUILT_YET; }

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::get_AllowSignName(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::GotoViewSignature(LONG Index, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::GetSpecificSignCount(BSTR Pages, LONG SignType, LONG* Result) { return S_OK; }
STDMETHODIMP CFoliumFun::IsPagesSigned(BSTR Pages, LONG SignType, LONG* Result) { return S_OK; }
STDMETHODIMP CFoliumFun::CreateStraddleSignature(LONG SignIndex, BSTR SignPass, BSTR Position, LONG isBialteral, LONG EvenOrOdd, BSTR strRate, BSTR Area, LONG* lResult) { return S_OK; }
STDMETHODIMP CFoliumFun::put_HaveSignature(LONG value) { return S_OK; }
STDMETHODIMP CFoliumFun::get_SignaturePages(VARIANT* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_SignaturePos(VARIANT* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_SignaturePosMode(LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_AutoSign(LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_AllowSignID(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_SignatureOutputFlags(LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::get_AllowSignTag(LONG* pVal) { return S_OK; }
