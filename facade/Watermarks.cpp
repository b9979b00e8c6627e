// Watermarks.
#include "FoliumFun.h"

// Not built yet: these answer S_OK and leave their out-parameter as passed.
STDMETHODIMP CFoliumFun::WateMark(LONG StartPage, LONG EndPage, BSTR strText, FLOAT nstrok, LONG fontSize, LONG Rotate, VARIANT_BOOL Back, LONG X, LONG Y, VARIANT_BOOL* bResult) { return S_OK; }
STDMETHODIMP CFoliumFun::WaterMarkEx(LONG StartPage, LONG EndPage, BSTR strText, FLOAT nstrok, LONG fontSize, LONG Rotate, VARIANT_BOOL Back, LONG X, LONG Y, BSTR strWMName, BSTR strWMColor, LONG lAlignMode, LONG fScale, VARIANT_BOOL* bResult) { return S_OK; }
STDMETHODIMP CFoliumFun::GrayDocument(BSTR ExParam, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::DelWaterMark(BSTR strName, BSTR strExParam, LONG* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::ImageWaterMarkEx(LONG StartPage, LONG EndPage, BSTR strImage, FLOAT nstrok, LONG Rotate, VARIANT_BOOL Back, LONG X, LONG Y, BSTR strWMName, LONG lAlignMode, BSTR strExParam, VARIANT_BOOL* bResult) { return S_OK; }
