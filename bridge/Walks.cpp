// The shared walks over the host's object model.
#include "Walks.h"

#include <cwchar>
#include <vector>

namespace folium {

bool SameName(BSTR hostName, const wchar_t* wanted, NameMatch how) {
    const wchar_t* a = hostName ? hostName : L"";
    const int aLen = static_cast<int>(hostName ? SysStringLen(hostName) : 0);
    const wchar_t* b = wanted ? wanted : L"";
    const int bLen = static_cast<int>(wcslen(b));
    if (how == NameMatch::Exact) return aLen == bLen && wmemcmp(a, b, static_cast<size_t>(aLen)) == 0;
    return CompareStringOrdinal(a, aLen, b, bLen, TRUE) == CSTR_EQUAL;
}

TextArg::TextArg(BSTR b) : b_(b) {
    if (!b_) owned_ = UniqueBstr(L"");
}

// ---- command bars and controls ------------------------------------------------------

ComPtr<IQxCommandBars> CommandBarsOf(IQxApplication* app) {
    ComPtr<IQxCommandBars> bars;
    if (app) app->get_CommandBars(bars.put());
    return bars;
}

void WalkCommandBars(IQxCommandBars* bars, FunctionRef<Walk(IQxCommandBar* bar, BSTR name)> visit) {
    if (!bars) return;
    LONG count = 0;
    bars->get_Count(&count);
    for (LONG i = 0; i < count; ++i) {
        auto index = ScopedVariant::I8(i);
        ComPtr<IQxCommandBar> bar;
        bars->Item(*index.get(), bar.put());
        if (!bar) continue;
        UniqueBstr name;
        bar->get_Name(name.put());
        if (visit(bar.get(), name.get()) == Walk::Stop) return;
    }
}

ComPtr<IQxCommandBar> FindCommandBar(IQxCommandBars* bars, const wchar_t* name, NameMatch how) {
    ComPtr<IQxCommandBar> found;
    WalkCommandBars(bars, [&](IQxCommandBar* bar, BSTR barName) {
        if (!SameName(barName, name, how)) return Walk::Continue;
        found = ComPtr<IQxCommandBar>(bar);
        return Walk::Stop;
    });
    return found;
}

int ForEveryCommandBarNamed(IQxCommandBars* bars, std::initializer_list<const wchar_t*> names, NameMatch how,
                            FunctionRef<void(IQxCommandBar* bar)> act) {
    int matched = 0;
    WalkCommandBars(bars, [&](IQxCommandBar* bar, BSTR barName) {
        for (const wchar_t* wanted : names) {
            if (!SameName(barName, wanted, how)) continue;
            act(bar);
            ++matched;
            break;
        }
        return Walk::Continue;
    });
    return matched;
}

void WalkControls(IQxControls* controls, VARTYPE indexType, FunctionRef<Walk(LONG index, IQxControl* control)> visit) {
    if (!controls) return;
    LONG count = 0;
    controls->get_Count(&count);
    for (LONG i = 0; i < count; ++i) {
        VARIANT index;
        VariantInit(&index);
        index.vt = indexType;
        if (indexType == VT_I8)
            index.llVal = i;
        else
            index.lVal = i;
        ComPtr<IQxControl> control;
        controls->Item(index, control.put());
        if (!control) continue;
        if (visit(i, control.get()) == Walk::Stop) return;
    }
}

ComPtr<IQxControl> FindControlById(IQxControls* controls, LONG id) {
    if (!controls) return nullptr;
    LONG count = 0;
    controls->get_Count(&count);
    for (LONG i = 0; i < count; ++i) {
        auto index = ScopedVariant::I8(i);
        ComPtr<IQxControl> control;
        controls->Item(*index.get(), control.put());
        if (!control) continue;
        LONG controlId = 0;
        control->get_Id(&controlId);
        if (controlId == id) return control;
    }
    return nullptr;
}

// ---- workspace: panes and tab bars --------------------------------------------------

ComPtr<IQxWorkspace> WorkspaceOf(IQxDocument* document) {
    ComPtr<IQxWorkspace> workspace;
    if (document) document->get_Workspace(workspace.put());
    return workspace;
}

ComPtr<IQxPane> FindPane(IQxPanes* panes, const wchar_t* name) {
    if (!panes) return nullptr;
    LONG count = 0;
    panes->get_Count(&count);
    for (LONG i = 0; i < count; ++i) {
        auto index = ScopedVariant::I4(i);
        ComPtr<IQxPane> pane;
        panes->Item(*index.get(), pane.put());
        if (!pane) continue;
        UniqueBstr paneName;
        pane->get_Name(paneName.put());
        if (SameName(paneName.get(), name, NameMatch::IgnoreCase)) return pane;
    }
    return nullptr;
}

LONG FindTabBar(IQxTabBars* tabBars, const wchar_t* name) {
    if (!tabBars) return -1;
    LONG count = 0;
    tabBars->get_Count(&count);
    for (LONG i = 0; i < count; ++i) {
        UniqueBstr tabName;
        tabBars->get_Name(i, tabName.put());
        if (SameName(tabName.get(), name, NameMatch::IgnoreCase)) return i;
    }
    return -1;
}

LONG CountOf(IQxPanes* panes) {
    LONG count = -1;
    if (panes) panes->get_Count(&count);
    return count;
}

LONG CountOf(IQxTabBars* tabBars) {
    LONG count = -1;
    if (tabBars) tabBars->get_Count(&count);
    return count;
}

// ---- page view and pages -------------------------------------------------------------

ComPtr<IQxPageView> PageViewOf(IQxDocument* document) {
    if (!document) return nullptr;
    ComPtr<IQxDocWindow> window;
    document->get_Window(window.put());
    ComPtr<IQxPageView> view;
    if (window) window->get_View(view.put());
    return view;
}

ComPtr<IQxPages> PagesOf(IQxDocument* document) {
    ComPtr<IQxPages> pages;
    if (document) document->get_Pages(pages.put());
    return pages;
}

LONG PageCountOf(IQxPages* pages, LONG fallback) {
    LONG count = fallback;
    if (pages) pages->get_Count(&count);
    return count;
}

void WalkPages(IQxPages* pages, LONG count, FunctionRef<Walk(LONG index, IQxPage* page)> visit) {
    if (!pages) return;
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IQxPage> page;
        pages->Item(i, page.put());
        if (!page) continue;
        if (visit(i, page.get()) == Walk::Stop) return;
    }
}

Walk WalkAnnotations(IQxPage* page, FunctionRef<Walk(IQxAnnotation* annotation)> visit) {
    if (!page) return Walk::Continue;
    ComPtr<IQxAnnotations> annotations;
    page->get_Annotations(annotations.put());
    if (!annotations) return Walk::Continue;
    LONG count = 0;
    annotations->get_Count(&count);
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IQxAnnotation> annotation;
        annotations->Item(i, annotation.put());
        if (!annotation) continue;
        if (visit(annotation.get()) == Walk::Stop) return Walk::Stop;
    }
    return Walk::Continue;
}

// ---- bookmarks ---------------------------------------------------------------------

void WalkBookmarks(IQxBookmarks* bookmarks, FunctionRef<Walk(IQxBookmark* bookmark, BSTR title)> visit) {
    if (!bookmarks) return;
    std::vector<ComPtr<IQxBookmark>> stack;
    {
        ComPtr<IQxBookmark> first;
        bookmarks->get_First(first.put());
        if (first) stack.push_back(std::move(first));
    }
    while (!stack.empty()) {
        ComPtr<IQxBookmark> bookmark = std::move(stack.back());
        stack.pop_back();
        UniqueBstr title;
        bookmark->get_Title(title.put());
        if (visit(bookmark.get(), title.get()) == Walk::Stop) return;
        ComPtr<IQxBookmark> next, child;
        bookmark->get_Next(next.put());
        if (next) stack.push_back(std::move(next));
        bookmark->get_FirstChild(child.put());
        if (child) stack.push_back(std::move(child));
    }
}

// ---- text finder -----------------------------------------------------------------

bool FindNextHit(IQxTextFinder* finder, LONG page, HRESULT* status) {
    VARIANT_BOOL found = VARIANT_FALSE;
    HRESULT hr = finder ? finder->FindNext(page, &found) : E_POINTER;
    if (status) *status = hr;
    return found != VARIANT_FALSE;
}

HitBox ReadHit(IQxTextFinder* finder, HitPart part) {
    HitBox box;
    ComPtr<IQxTextHit> hit;
    if (finder) finder->get_Hit(hit.put());
    if (!hit) return box;
    hit->get_X1(&box.x1);
    hit->get_Y1(&box.y1);
    if (part == HitPart::FirstCorner) return box;
    hit->get_X2(&box.x2);
    hit->get_Y2(&box.y2);
    if (part == HitPart::BoxAndSize) {
        hit->get_Width(&box.width);
        hit->get_Height(&box.height);
    }
    return box;
}

long ForEachHitOnPage(IQxTextFinder* finder, LONG page, HitPart part, FunctionRef<void(const HitBox& box)> onHit) {
    long hits = 0;
    while (FindNextHit(finder, page)) {
        onHit(ReadHit(finder, part));
        ++hits;
    }
    return hits;
}

long ForEachHitInPages(IQxTextFinder* finder, LONG firstPage, LONG lastPage, HitPart part,
                       FunctionRef<void(LONG page, const HitBox& box)> onHit) {
    long hits = 0;
    for (LONG page = firstPage; page <= lastPage; ++page)
        hits += ForEachHitOnPage(finder, page, part, [&](const HitBox& box) { onHit(page, box); });
    return hits;
}

void PrepareFinder(IQxTextFinder* finder, VARIANT_BOOL matchCase, BSTR text) {
    if (!finder) return;
    finder->put_MatchCase(matchCase);
    finder->put_Text(TextArg(text).get());
}

// ---- result text ---------------------------------------------------------------------

namespace {

template <class Out>
void AppendIntTo(Out& out, long value) {
    wchar_t buf[16];
    int n = swprintf(buf, 16, L"%d", static_cast<int>(value));
    if (n > 0) out.append(buf, static_cast<size_t>(n));
}

template <class Out>
void AppendFixed2To(Out& out, double value) {
    // Wide enough for the largest double written with two decimals.
    wchar_t buf[352];
    int n = swprintf(buf, 352, L"%.02f", value);
    if (n > 0) out.append(buf, static_cast<size_t>(n));
}

}  // namespace

void AppendInt(std::wstring& out, long value) { AppendIntTo(out, value); }
void AppendInt(TextBuilder& out, long value) { AppendIntTo(out, value); }
void AppendFixed2(std::wstring& out, double value) { AppendFixed2To(out, value); }
void AppendFixed2(TextBuilder& out, double value) { AppendFixed2To(out, value); }

BSTR ToBstr(const std::wstring& text) {
    BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!b) ThrowHResult(E_OUTOFMEMORY);
    return b;
}

}  // namespace folium
