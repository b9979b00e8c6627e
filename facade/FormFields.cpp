// Form fields and templates: fill and read fields by name, import field values as XML.
#include "FoliumFun.h"

#include "../bridge/Fields.h"

namespace {

// The active document's field list, or null when no document is open.
folium::ComPtr<IQxFields> ActiveFields(CFoliumFun& self) {
    folium::ComPtr<IQxFields> fields;
    if (self.RefreshActiveDocument() == 0) self.ActiveDocument()->get_Fields(fields.put());
    return fields;
}

}  // namespace

STDMETHODIMP CFoliumFun::ImportFieldValue(BSTR FieldName, BSTR FieldValue, VARIANT_BOOL* bResult) {
    if (!bResult) return E_POINTER;
    *bResult = 0;
    return folium::Guarded([&] {
        auto fields = ActiveFields(*this);
        if (!fields) return;
        if (auto field = folium::FindFieldByName(fields.get(), FieldName)) {
            field->put_Value(FieldValue);  // a null string is the empty text
            *bResult = 1;  // the integer 1, not the automation true
        }
    });
}

STDMETHODIMP CFoliumFun::ExportFieldValue(BSTR FieldName, BSTR* strRet) {
    if (!strRet) return E_POINTER;
    *strRet = nullptr;
    return folium::Guarded([&] {
        folium::UniqueBstr value(L"");
        if (auto fields = ActiveFields(*this))
            if (auto field = folium::FindFieldByName(fields.get(), FieldName)) field->get_Value(value.put());
        *strRet = value.CopyOut();
    });
}

STDMETHODIMP CFoliumFun::ImportTemplate(BSTR XML, LONG* Result) {
    if (!Result) return E_POINTER;
    *Result = 0;
    return folium::Guarded([&] {
        if (RefreshActiveDocument() != 0) return S_FALSE;
        folium::ComPtr<IQxFields> fields;
        m_spActiveDocument->get_Fields(fields.put());
        if (!fields) return S_OK;
        auto xml = folium::ScopedVariant::Bstr(XML);
        fields->ImportXml(0, *xml.get(), Result);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::ImportFieldValueByXML(BSTR sXML, LONG* lResult) { return ImportTemplate(sXML, lResult); }
