// Form fields and templates.
#include "FoliumFun.h"

// Not built yet: these answer S_OK and leave their out-parameter as passed.
STDMETHODIMP CFoliumFun::ImportFieldValue(BSTR FieldName, BSTR FieldValue, VARIANT_BOOL* bResult) { return S_OK; }
STDMETHODIMP CFoliumFun::ExportFieldValue(BSTR FieldName, BSTR* strRet) { return S_OK; }
STDMETHODIMP CFoliumFun::ImportTemplate(BSTR XML, LONG* Result) { return S_OK; }
STDMETHODIMP CFoliumFun::ImportFieldValueByXML(BSTR sXML, LONG* lResult) { return S_OK; }
