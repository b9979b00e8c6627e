// The stamp position rule.
#include "Positions.h"

#include <climits>
#include <cmath>
#include <cwchar>

#include "Walks.h"

namespace folium {

LONG TruncateToLong(double value) {
    if (!(value > static_cast<double>(LONG_MIN) - 1.0 && value < static_cast<double>(LONG_MAX) + 1.0))
        return LONG_MIN;
    return static_cast<LONG>(value);
}

namespace {

// The centre of a found text: the host's box has y upwards and a negative height.
StampPosition CentreOf(LONG page, const HitBox& box) {
    return {page, TruncateToLong(box.x1 + box.width / 2), TruncateToLong(box.y2 + std::fabs(box.height / 2))};
}

}  // namespace

std::vector<StampPosition> ResolvePositions(IQxDocument* document, BSTR text, LONG mode, LONG startPage,
                                            LONG endPage) {
    std::vector<StampPosition> out;
    TextArg name(text);
    if (mode == 1 || mode == 2) {
        float x = 0, y = 0;
        // The text is a counted string: scan a terminated copy so embedded NULs end it.
        std::wstring copy(name.view());
        if (swscanf(copy.c_str(), L"%f*%f", &x, &y) != 2) return out;
        for (LONG page = startPage; page <= endPage && page >= startPage; ++page) {
            out.push_back({page, TruncateToLong(x), TruncateToLong(y)});
            if (page == LONG_MAX) break;
        }
        return out;
    }
    if (mode != 0 && mode != 4) return out;
    if (!document) return out;
    ComPtr<IQxTextFinder> finder;
    document->get_TextFinder(finder.put());
    if (!finder) return out;
    finder->put_Text(name.get());
    finder->put_Direction(1);
    for (LONG page = startPage; page <= endPage; ++page) {
        finder->Reset();
        if (mode == 0) {
            if (FindNextHit(finder.get(), page)) out.push_back(CentreOf(page, ReadHit(finder.get(), HitPart::BoxAndSize)));
        } else {
            ForEachHitOnPage(finder.get(), page, HitPart::BoxAndSize,
                             [&](const HitBox& box) { out.push_back(CentreOf(page, box)); });
        }
        if (page == LONG_MAX) break;
    }
    return out;
}

}  // namespace folium
