// Sibling add-in lookup and the active document, on the connected host.
#include "Bridge.h"

#include "../facade/FoliumFun.h"

bool CFoliumFun::GetSiblingAddIn(BSTR progId, IDispatch** target) {
    *target = nullptr;
    if (!m_spApplication) return false;
    folium::ComPtr<IQxCOMAddIns> addIns;
    m_spApplication->get_COMAddIns(addIns.put());  // a host without add-ins simply has none
    if (!addIns) return false;
    auto key = folium::ScopedVariant::Bstr(progId ? progId : L"");
    folium::ComPtr<IQxCOMAddIn> item;
    addIns->Item(*key.get(), item.put());  // an unknown ProgID yields no item
    if (item) item->get_Object(target);
    return *target != nullptr;
}

LONG CFoliumFun::RefreshActiveDocument() {
    m_spActiveDocument = nullptr;
    if (!m_spApplication) return 1;
    folium::ComPtr<IQxDocuments> documents;
    m_spApplication->get_Documents(documents.put());
    if (!documents) return 1;
    documents->get_ActiveDocument(m_spActiveDocument.put());
    return m_spActiveDocument ? 0 : 1;
}
