// Annotation exchange records.
#include "FoliumFun.h"

// Not built yet (marked "pending" in idl/members.tsv).
STDMETHODIMP CFoliumFun::GetAnnotTextFile(BSTR* sFileName) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::GetAnnotString(BSTR* sInfo) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::ImportAnnot(LONG nPage, LONG nType, FLOAT leftX, FLOAT leftY, FLOAT fWidth, FLOAT fHeight, BSTR CTime, BSTR MTime, BSTR authorId, BSTR authorName, BSTR annotContent, LONG* lResult) { return FOLIUM_NOT_BUILT_YET; }
STDMETHODIMP CFoliumFun::SetAnnotString(BSTR strInfo, LONG* pVal) { return FOLIUM_NOT_BUILT_YET; }
