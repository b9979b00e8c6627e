// Annotation exchange records.
#include "FoliumFun.h"

// Not built yet: these answer S_OK and leave their out-parameter as passed.
STDMETHODIMP CFoliumFun::GetAnnotTextFile(BSTR* sFileName) { return S_OK; }
STDMETHODIMP CFoliumFun::GetAnnotString(BSTR* sInfo) { return S_OK; }
STDMETHODIMP CFoliumFun::ImportAnnot(LONG nPage, LONG nType, FLOAT leftX, FLOAT leftY, FLOAT fWidth, FLOAT fHeight, BSTR CTime, BSTR MTime, BSTR authorId, BSTR authorName, BSTR annotContent, LONG* lResult) { return S_OK; }
STDMETHODIMP CFoliumFun::SetAnnotString(BSTR strInfo, LONG* pVal) { return S_OK; }
