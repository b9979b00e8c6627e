// Barcode image stamps.
#include "FoliumFun.h"

// Not built yet: these answer S_OK and leave their out-parameter as passed.
STDMETHODIMP CFoliumFun::CreateBarCodeImage(BSTR BarCode, LONG StartPage, LONG EndPage, LONG mode, BSTR Pos, LONG nType, LONG* lRet) { return S_OK; }
