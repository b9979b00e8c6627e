// Whether a document carries a seal: the rule that keeps sealed documents unchanged.
#pragma once

#include "QuirexModel.h"

namespace folium {

// True when the document has a signature field that is signed, or any page carries an
// annotation of type "Brimwell:AddSeal". A null document has none.
bool DocumentHasSeal(IQxDocument* document);

}  // namespace folium
