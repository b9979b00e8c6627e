// Barcode image stamps.
#include "FoliumFun.h"

// Not built yet (marked "pending" in idl/members.tsv).
STDMETHODIMP CFoliumFun::CreateBarCodeImage(BSTR BarCode, LONG StartPage, LONG EndPage, LONG mode, BSTR Pos, LONG nType, LONG* lRet) { return FOLIUM_NOT_BUILT_YET; }
