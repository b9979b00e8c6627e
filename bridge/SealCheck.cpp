// The seal walk and the sealed-document check.
#include "SealCheck.h"

namespace folium {

const wchar_t kSealAnnotationType[] = L"Brimwell:AddSeal";

bool IsSealAnnotation(IQxAnnotation* annotation) {
    if (!annotation) return false;
    UniqueBstr type;
    annotation->get_Type(type.put());
    return SameName(type.get(), kSealAnnotationType, NameMatch::Exact);
}

void ForEachSealAnnotation(IQxDocument* document, FunctionRef<Walk(IQxAnnotation* seal)> visit) {
    if (!document) return;
    ComPtr<IQxPages> pages = PagesOf(document);
    bool stopped = false;
    WalkPages(pages.get(), PageCountOf(pages.get(), 0), [&](LONG, IQxPage* page) {
        ComPtr<IQxAnnotations> annotations;
        page->get_Annotations(annotations.put());
        if (!annotations) return Walk::Continue;
        LONG count = 0;
        annotations->get_Count(&count);
        for (LONG i = 0; i < count && !stopped; ++i) {
            ComPtr<IQxAnnotation> annotation;
            annotations->Item(i, annotation.put());
            if (IsSealAnnotation(annotation.get()) && visit(annotation.get()) == Walk::Stop) stopped = true;
        }
        return stopped ? Walk::Stop : Walk::Continue;
    });
}

LONG CountSealAnnotations(IQxDocument* document) {
    LONG count = 0;
    ForEachSealAnnotation(document, [&](IQxAnnotation*) {
        ++count;
        return Walk::Continue;
    });
    return count;
}

LONG SignedFieldCount(IQxDocument* document) {
    if (!document) return 0;
    ComPtr<IQxFields> fields;
    document->get_Fields(fields.put());
    LONG count = 0;
    if (fields) fields->get_SignatureCount(&count);
    return count;
}

bool DocumentHasSeal(IQxDocument* document) {
    if (!document) return false;
    if (SignedFieldCount(document) != 0) return true;
    bool found = false;
    ForEachSealAnnotation(document, [&](IQxAnnotation*) {
        found = true;
        return Walk::Stop;
    });
    return found;
}

}  // namespace folium
