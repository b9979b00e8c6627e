// The stamp position rule shared by the image and barcode stamps: a page range, a
// position mode and a position text become the points where stamps are placed.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <vector>

#include "QuirexModel.h"

namespace folium {

struct StampPosition {
    LONG page;  // 1-based
    LONG x;     // page units, truncated to whole numbers
    LONG y;
};

// mode 1 or 2: text is "x*y" (read as "%f*%f"), one entry per page from startPage to
// endPage. mode 0 or 4: text is searched with the document's text finder on each of
// those pages; every hit gives the centre of the found text (mode 0: first hit of a
// page only, mode 4: every hit). Any other mode, or text that does not read as two
// numbers in modes 1 and 2, gives no entry. The caller checks the range against the
// page count first; the pages are walked as given.
std::vector<StampPosition> ResolvePositions(IQxDocument* document, BSTR text, LONG mode, LONG startPage,
                                            LONG endPage);

// Truncates toward zero; NaN and values outside the 32-bit range give LONG_MIN, as the
// processor's own conversion does, instead of undefined behaviour.
LONG TruncateToLong(double value);

}  // namespace folium
