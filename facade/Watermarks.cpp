// Watermarks.
#include "FoliumFun.h"

// Not built yet (marked "pending" in idl/members.tsv).
STDMETHODIMP CFoliumFun::WateMark(LONG StartPage, LONG EndPage, BSTR strText, FLOAT nstrok, LONG fontSize, LONG Rotate, VARIANT_BOOL Back, LONG X, LONG Y, VARIANT_BOOL* bResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::WaterMarkEx(LONG StartPage, LONG EndPage, BSTR strText, FLOAT nstrok, LONG fontSize, LONG Rotate, VARIANT_BOOL Back, LONG X, LONG Y, BSTR strWMName, BSTR strWMColor, LONG lAlignMode, LONG fScale, VARIANT_BOOL* bResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::GrayDocument(BSTR ExParam, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::DelWaterMark(BSTR strName, BSTR strExParam, LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::ImageWaterMarkEx(LONG StartPage, LONG EndPage, BSTR strImage, FLOAT nstrok, LONG Rotate, VARIANT_BOOL Back, LONG X, LONG Y, BSTR strWMName, LONG lAlignMode, BSTR strExParam, VARIANT_BOOL* bResult) { return FOLIUM_NOT_BUILT_YET; }
