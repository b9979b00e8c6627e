// Sibling add-in lookup and the active document, on the host application given.
#include "Bridge.h"

namespace folium {

bool GetSiblingAddIn(IQxApplication* application, BSTR progId, IDispatch** target) {
    *target = nullptr;
    if (!application) return false;
    ComPtr<IQxCOMAddIns> addIns;
    application->get_COMAddIns(addIns.put());  // a host without add-ins simply has none
    if (!addIns) return false;
    auto key = ScopedVariant::Bstr(progId);
    ComPtr<IQxCOMAddIn> item;
    addIns->Item(*key.get(), item.put());  // an unknown ProgID yields no item
    if (item) item->get_Object(target);
    return *target != nullptr;
}

LONG RefreshActiveDocument(IQxApplication* application, ComPtr<IQxDocument>& document) {
    document = nullptr;
    if (!application) return 1;
    ComPtr<IQxDocuments> documents;
    application->get_Documents(documents.put());
    if (!documents) return 1;
    documents->get_ActiveDocument(document.put());
    return document ? 0 : 1;
}

}  // namespace folium
