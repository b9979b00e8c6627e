// The seal check shared by the members that must not change a sealed document.
#include "SealCheck.h"

#include "Walks.h"

namespace folium {

bool DocumentHasSeal(IQxDocument* document) {
    if (!document) return false;
    ComPtr<IQxFields> fields;
    document->get_Fields(fields.put());
    LONG signatures = 0;
    if (fields) fields->get_SignatureCount(&signatures);
    if (signatures != 0) return true;
    bool sealed = false;
    auto pages = PagesOf(document);
    WalkPages(pages.get(), PageCountOf(pages.get(), 0), [&](LONG, IQxPage* page) {
        ComPtr<IQxAnnotations> annotations;
        page->get_Annotations(annotations.put());
        LONG count = 0;
        if (annotations) annotations->get_Count(&count);
        for (LONG i = 0; i < count && !sealed; ++i) {
            ComPtr<IQxAnnotation> annotation;
            annotations->Item(i, annotation.put());
            if (!annotation) continue;
            UniqueBstr type;
            annotation->get_Type(type.put());
            sealed = SameName(type.get(), L"Brimwell:AddSeal", NameMatch::Exact);
        }
        return sealed ? Walk::Stop : Walk::Continue;
    });
    return sealed;
}

}  // namespace folium
