// Printing and print permissions.
#include "FoliumFun.h"

// Not built yet (marked "pending" in idl/members.tsv).
STDMETHODIMP CFoliumFun::WebPrint(LONG Copies, BSTR PrintName, LONG FromPage, LONG ToPage, VARIANT_BOOL ShowDlg, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::WebPrintEx(LONG Copies, BSTR PrinterName, BSTR PageArea, VARIANT_BOOL ShowDlg, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::WebPrintControl(BSTR PrinterName, LONG MaxPrintCount, LONG PrintCount, BSTR PintPage, LONG ShowDlg, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::CreatePrintWMStyle(BSTR strText, FLOAT lalpha, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::get_PrintConfig(BSTR* pVal) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::put_PrintConfig(BSTR value) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::printFile() { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::NoPrintWMName(BSTR strWMName, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::WebCheckActivePrinterIsVirtualPrinter(BSTR strPrintName, LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
