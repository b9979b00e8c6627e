// Printing and print permissions.
#include "FoliumFun.h"

// Not built yet: these answer S_OK and leave their out-parameter as passed.
STDMETHODIMP CFoliumFun::WebPrint(LONG Copies, BSTR PrintName, LONG FromPage, LONG ToPage, VARIANT_BOOL ShowDlg, LONG* lResult) { return S_OK; }
STDMETHODIMP CFoliumFun::WebPrintEx(LONG Copies, BSTR PrinterName, BSTR PageArea, VARIANT_BOOL ShowDlg, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::WebPrintControl(BSTR PrinterName, LONG MaxPrintCount, LONG PrintCount, BSTR PintPage, LONG ShowDlg, LONG* lResult) { return S_OK; }
STDMETHODIMP CFoliumFun::CreatePrintWMStyle(BSTR strText, FLOAT lalpha, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::get_PrintConfig(BSTR* pVal) { return S_OK; }
STDMETHODIMP CFoliumFun::put_PrintConfig(BSTR value) { return S_OK; }
STDMETHODIMP CFoliumFun::printFile() { return S_OK; }
STDMETHODIMP CFoliumFun::NoPrintWMName(BSTR strWMName, LONG* lRet) { return S_OK; }
STDMETHODIMP CFoliumFun::WebCheckActivePrinterIsVirtualPrinter(BSTR strPrintName, LONG* pVal) { return S_OK; }
