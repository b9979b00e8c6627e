// Seals on the active document: seal annotations found by their exact type name,
// the walk over every page's annotations that finds them, and the check whether a
// document is sealed at all (signed signature fields or seal annotations).
#pragma once

#include <windows.h>

#include "QuirexModel.h"
#include "Walks.h"

namespace folium {

// Type name of a seal annotation placed by the signature engine; compared exactly.
extern const wchar_t kSealAnnotationType[];

// True when Annotation.Type equals "Brimwell:AddSeal" exactly (case-sensitive).
bool IsSealAnnotation(IQxAnnotation* annotation);

// Visits every seal annotation of the document, page by page (Document.Pages,
// Pages.Count, Pages.Item) and on each page in list order (Page.Annotations,
// Annotations.Count, Annotations.Item), until the visitor stops. Pages or
// annotations that cannot be had are skipped.
void ForEachSealAnnotation(IQxDocument* document, FunctionRef<Walk(IQxAnnotation* seal)> visit);

// Number of seal annotations on all pages of the document.
LONG CountSealAnnotations(IQxDocument* document);

// The host's own count of signed signature fields (Document.Fields,
// Fields.SignatureCount); 0 when it cannot be read.
LONG SignedFieldCount(IQxDocument* document);

// True when the document carries a signature (Fields.SignatureCount is not 0) or,
// failing that, any seal annotation on any page. A null document has no seal.
bool DocumentHasSeal(IQxDocument* document);

}  // namespace folium
