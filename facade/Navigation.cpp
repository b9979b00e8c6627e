// Navigation, view state, bookmarks and text search on the active document.
// Nothing is kept between calls. Statuses of host calls are deliberately not
// looked at (a read that fails keeps the member's default), except the finder's
// status that GoToText hands back to the script.
#include "FoliumFun.h"

#include <cwctype>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "../bridge/Bridge.h"
#include "../bridge/Walks.h"
#include "../support/win/PathText.h"

using folium::ComPtr;
using folium::HitBox;
using folium::NameMatch;
using folium::UniqueBstr;
using folium::Walk;

using folium::Guarded;

namespace {


// Runs a member body that builds a text result; the text goes to out on every
// path the body returns from (null when an internal error ends the member). The
// text is built in the BSTR handed out, so it is never copied whole.
template <class F>
HRESULT GuardedText(BSTR* out, F&& body) {
    *out = nullptr;
    return Guarded([&] {
        folium::TextBuilder text;
        HRESULT hr = body(text);
        *out = text.Detach();
        return hr;
    });
}

// Interface DisplayMode values and the view's layout codes; others pass unchanged.
LONG LayoutFromDisplayMode(LONG mode) {
    switch (mode) {
        case 1: return 0;
        case 2: return 2;
        case 3: return 1;
        case 4: return 3;
        default: return mode;
    }
}
LONG DisplayModeFromLayout(LONG layout) {
    switch (layout) {
        case 0: return 1;
        case 2: return 2;
        case 1: return 3;
        case 3: return 4;
        default: return layout;
    }
}

// CursorState values and the reader's tool names.
constexpr const wchar_t* kCursorTools[] = {L"ToolHand", L"ToolText", L"ToolSnapShot"};

// SetSelectState values and the tools' places in the tool collection.
LONG ToolIndexForSelectState(LONG state) {
    switch (state) {
        case 0: return 0;
        case 1: return 2;
        case 2: return 1;
        default: return -1;
    }
}

// The control of the "File" bar whose enabled state tells that there is something to save.
constexpr LONG kSaveCommandId = 32002;

ComPtr<IQxTextFinder> FinderOf(IQxDocument* document) {
    ComPtr<IQxTextFinder> finder;
    if (document) document->get_TextFinder(finder.put());
    return finder;
}

ComPtr<IQxBookmarks> BookmarksOf(IQxDocument* document) {
    ComPtr<IQxBookmarks> bookmarks;
    if (document) document->get_Bookmarks(bookmarks.put());
    return bookmarks;
}

ComPtr<IQxTools> ToolsOf(IQxApplication* app) {
    ComPtr<IQxTools> tools;
    app->get_Tools(tools.put());
    return tools;
}

LONG CurrentPageOf(IQxPageView* view, LONG fallback) {
    LONG page = fallback;
    view->get_CurrentPage(&page);
    return page;
}

// Moves the view's scroll position by (dx, dy) through a fresh host point.
bool ScrollViewBy(IQxApplication* app, IQxPageView* view, double dx, double dy) {
    ComPtr<IQxPoint> current;
    view->get_ScrollPosition(current.put());
    if (!current) return false;
    double x = 0, y = 0;
    current->get_X(&x);
    current->get_Y(&y);
    ComPtr<IQxPoint> moved;
    app->NewPoint(moved.put());
    if (!moved) return false;
    moved->put_X(x + dx);
    moved->put_Y(y + dy);
    view->put_ScrollPosition(moved.get());
    return true;
}

// Height in pixels of the view window's client area; 0 when the window is gone.
LONG ClientHeightOf(IQxPageView* view) {
    LONGLONG handle = 0;
    view->get_WindowHandle(&handle);
    RECT rc{};
    if (!handle || !GetClientRect(reinterpret_cast<HWND>(static_cast<INT_PTR>(handle)), &rc)) return 0;
    return rc.bottom - rc.top;
}

// A date written in Chinese numerals as a whole line, such as a signing date
// "二〇二四年 三月 五日": with its blanks taken out, 9 to 12 characters starting
// with "二", containing "年" and "月", and ending at its first "日".
bool IsChineseDateLine(std::wstring_view trimmed) {
    std::wstring compact;
    compact.reserve(trimmed.size());
    for (wchar_t c : trimmed)
        if (c != L' ') compact.push_back(c);
    if (compact.size() < 9 || compact.size() > 12) return false;
    if (compact.front() != L'二') return false;
    if (compact.find(L'日') != compact.size() - 1) return false;
    return compact.find(L'年') != std::wstring::npos && compact.find(L'月') != std::wstring::npos;
}

std::wstring_view TrimSpace(std::wstring_view line) {
    size_t begin = 0, end = line.size();
    while (begin < end && iswspace(line[begin])) ++begin;
    while (end > begin && iswspace(line[end - 1])) --end;
    return line.substr(begin, end - begin);
}

// Room asked for each search hit's entry before it is written (most are shorter), so
// the whole result is sized from the pages searched so far.
constexpr size_t kEntryChars = 64;

void AppendBoxEntry(folium::TextBuilder& out, LONG page, const HitBox& box) {
    folium::AppendInt(out, page);
    out += L',';
    folium::AppendFixed2(out, box.x1);
    out += L',';
    folium::AppendFixed2(out, box.y1);
    out += L',';
    folium::AppendFixed2(out, box.x2);
    out += L',';
    folium::AppendFixed2(out, box.y2);
}

}  // namespace

// ---- page moves ------------------------------------------------------------------------

// Each move reports the page the view shows afterwards.
STDMETHODIMP CFoliumFun::GotoFirstPage(LONG* plRetPageNum) {
    if (!plRetPageNum) return E_POINTER;
    *plRetPageNum = 1;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) {
            view->put_CurrentPage(1);
            *plRetPageNum = CurrentPageOf(view.get(), *plRetPageNum);
        }
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::GotoPreviousPage(LONG* plRetPageNum) {
    if (!plRetPageNum) return E_POINTER;
    *plRetPageNum = 1;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) {
            LONG current = CurrentPageOf(view.get(), 0);
            if (current > 1) view->put_CurrentPage(current - 1);
            *plRetPageNum = CurrentPageOf(view.get(), *plRetPageNum);
        }
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::GotoNextPage(LONG* plRetPageNum) {
    if (!plRetPageNum) return E_POINTER;
    *plRetPageNum = 1;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) {
            auto pages = folium::PagesOf(m_spActiveDocument.get());
            LONG count = folium::PageCountOf(pages.get(), 1);
            LONG current = CurrentPageOf(view.get(), count);
            if (current < count) view->put_CurrentPage(current + 1);
            *plRetPageNum = CurrentPageOf(view.get(), *plRetPageNum);
        }
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::GotoLastPage(LONG* plRetPageNum) {
    if (!plRetPageNum) return E_POINTER;
    *plRetPageNum = 1;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) {
            auto pages = folium::PagesOf(m_spActiveDocument.get());
            view->put_CurrentPage(folium::PageCountOf(pages.get(), 1));
            *plRetPageNum = CurrentPageOf(view.get(), *plRetPageNum);
        }
        return S_OK;
    });
}

// ---- view properties ------------------------------------------------------------------

STDMETHODIMP CFoliumFun::get_CurPage(LONG* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) *pVal = CurrentPageOf(view.get(), *pVal);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::put_CurPage(LONG value) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) view->put_CurrentPage(value);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::get_PageCount(LONG* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto pages = folium::PagesOf(m_spActiveDocument.get())) *pVal = folium::PageCountOf(pages.get(), *pVal);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::get_DisplayMode(LONG* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) {
            LONG layout = LayoutFromDisplayMode(*pVal);
            view->get_LayoutMode(&layout);
            *pVal = DisplayModeFromLayout(layout);
        }
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::put_DisplayMode(LONG value) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) view->put_LayoutMode(LayoutFromDisplayMode(value));
        return S_OK;
    });
}

// -1 and -2 are the reader's two fit modes; otherwise the zoom in whole percent.
STDMETHODIMP CFoliumFun::get_Zoom(LONG* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        // Without a view the starting values are the answer.
        double zoom = 1.0;
        LONG type = 0;
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) {
            view->get_Zoom(&zoom);
            view->get_ZoomType(&type);
        }
        if (type == 1) *pVal = -1;
        else if (type == 2) *pVal = -2;
        else *pVal = static_cast<LONG>(zoom);  // toward zero
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::put_Zoom(LONG value) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) {
            if (value >= 0) view->put_Zoom(static_cast<double>(value));
            else if (value == -1) view->put_ZoomType(1);
            else if (value == -2) view->put_ZoomType(2);
            else view->put_Zoom(100.0);
        }
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::get_Rotate(LONG* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) {
            LONG rotation = *pVal;
            view->get_Rotation(&rotation);
            *pVal = rotation;
        }
        return S_OK;
    });
}

// The view only turns by a difference, so the page ends at the requested rotation.
STDMETHODIMP CFoliumFun::put_Rotate(LONG value) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) {
            LONG current = 0;
            view->get_Rotation(&current);
            view->RotateBy(static_cast<LONG>(static_cast<LONGLONG>(value) - current));
        }
        return S_OK;
    });
}

// ---- window size ---------------------------------------------------------------------

STDMETHODIMP CFoliumFun::FullSize() {
    if (!m_spApplication) return S_FALSE;
    m_spApplication->put_FullSize(VARIANT_TRUE);
    return S_OK;
}

STDMETHODIMP CFoliumFun::SmallSize() {
    if (!m_spApplication) return S_FALSE;
    m_spApplication->put_FullSize(VARIANT_FALSE);
    return S_OK;
}

STDMETHODIMP CFoliumFun::FindFirst() { return m_spApplication ? S_OK : S_FALSE; }

// ---- scrolling -----------------------------------------------------------------------

// One screen is the height of the view window's client area; no bound is applied.
STDMETHODIMP CFoliumFun::GotoPreviousScreen(VARIANT_BOOL* pbRet) {
    if (!pbRet) return E_POINTER;
    *pbRet = VARIANT_FALSE;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) {
            LONG height = ClientHeightOf(view.get());
            if (ScrollViewBy(m_spApplication.get(), view.get(), 0, -static_cast<double>(height)))
                *pbRet = VARIANT_TRUE;
        }
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::GotoNextScreen(VARIANT_BOOL* pbRet) {
    if (!pbRet) return E_POINTER;
    *pbRet = VARIANT_FALSE;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) {
            LONG height = ClientHeightOf(view.get());
            if (ScrollViewBy(m_spApplication.get(), view.get(), 0, static_cast<double>(height))) *pbRet = VARIANT_TRUE;
        }
        return S_OK;
    });
}

// xPos and yPos move the view from where it is; they are not a position.
STDMETHODIMP CFoliumFun::WebSetScrollBarPos(LONG xPos, LONG yPos, VARIANT_BOOL* pRet) {
    if (!pRet) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    *pRet = VARIANT_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get()))
            if (ScrollViewBy(m_spApplication.get(), view.get(), xPos, yPos)) *pRet = VARIANT_TRUE;
        return S_OK;
    });
}

// ---- document facts -----------------------------------------------------------------

STDMETHODIMP CFoliumFun::get_isOpen(LONG* pVal) {
    if (!pVal) return E_POINTER;
    return Guarded([&] {
        *pVal = RefreshActiveDocument() == 0 ? 1 : 0;
        return m_spApplication ? S_OK : S_FALSE;
    });
}

// Index 0 the page's width, 1 its height, 2 its rotation; -1 for anything else.
STDMETHODIMP CFoliumFun::GetPageSize(LONG PageNo, LONG Index, DOUBLE* Result) {
    if (!Result) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (!m_spActiveDocument) return S_OK;
        auto pages = folium::PagesOf(m_spActiveDocument.get());
        const LONG count = folium::PageCountOf(pages.get(), 0);
        const LONGLONG index = static_cast<LONGLONG>(PageNo) - 1;
        *Result = -1.0;
        if (index < 0 || index >= count || !pages) return S_OK;
        ComPtr<IQxPage> page;
        pages->Item(static_cast<LONG>(index), page.put());
        if (!page) return S_OK;
        switch (Index) {
            case 0: page->get_Width(Result); break;
            case 1: page->get_Height(Result); break;
            case 2: {
                LONG rotation = -1;
                page->get_Rotation(&rotation);
                *Result = static_cast<double>(rotation);
                break;
            }
            default: break;
        }
        return S_OK;
    });
}

namespace {

HRESULT ReadPermission(CFoliumFun& self, LONG kind, VARIANT_BOOL* pVal) {
    if (!pVal) return E_POINTER;
    if (!self.Application()) return S_FALSE;
    return Guarded([&] {
        self.RefreshActiveDocument();
        if (self.ActiveDocument()) self.ActiveDocument()->Permission(kind, pVal);
        return S_OK;
    });
}

}  // namespace

STDMETHODIMP CFoliumFun::get_PrintStatus(VARIANT_BOOL* pVal) { return ReadPermission(*this, 0, pVal); }
STDMETHODIMP CFoliumFun::get_EditStatus(VARIANT_BOOL* pVal) { return ReadPermission(*this, 1, pVal); }
STDMETHODIMP CFoliumFun::get_CopyStatus(VARIANT_BOOL* pVal) { return ReadPermission(*this, 2, pVal); }

// The reader enables its save command while the document has unsaved changes:
// -1 modified, 0 not, 1 when the command cannot be found.
STDMETHODIMP CFoliumFun::get_DocumentModified(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = 0;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        if (RefreshActiveDocument() != 0) {
            MessageBoxW(GetActiveWindow(), L"请先打开文档！", L"提示", MB_OK | MB_ICONERROR);
            return S_FALSE;
        }
        *pVal = 1;
        auto bars = folium::CommandBarsOf(m_spApplication.get());
        auto fileBar = folium::FindCommandBar(bars.get(), L"File", NameMatch::Exact);
        if (!fileBar) return S_OK;
        ComPtr<IQxControls> controls;
        fileBar->get_Controls(controls.put());
        if (auto control = folium::FindControlById(controls.get(), kSaveCommandId)) {
            VARIANT_BOOL enabled = 1;
            control->get_Enabled(&enabled);
            *pVal = enabled;  // widened with its sign: enabled reads -1
        }
        return S_OK;
    });
}

// Every page's text, joined without a separator.
STDMETHODIMP CFoliumFun::get_ContentText(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return GuardedText(pVal, [&](folium::TextBuilder& text) {
        RefreshActiveDocument();
        auto pages = folium::PagesOf(m_spActiveDocument.get());
        if (!pages) return S_OK;
        const LONG count = folium::PageCountOf(pages.get(), 0);
        // Each page's text is copied while it is fresh and released at once, so the
        // walk keeps one page in hand; the pages read so far size the whole result.
        folium::WalkPages(pages.get(), count, [&](LONG index, IQxPage* page) {
            UniqueBstr pageText;
            page->get_Text(pageText.put());
            text.reserve_item(pageText.length(), static_cast<size_t>(index), static_cast<size_t>(count));
            text.append(pageText.get(), pageText.length());
            return Walk::Continue;
        });
        return S_OK;
    });
}

// ---- tools ---------------------------------------------------------------------------

STDMETHODIMP CFoliumFun::get_CursorState(LONG* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        if (RefreshActiveDocument() != 0) return S_OK;
        *pVal = -1;
        auto tools = ToolsOf(m_spApplication.get());
        ComPtr<IQxTool> current;
        if (tools) tools->get_Current(current.put());
        if (!current) return S_OK;
        UniqueBstr name;
        current->get_Name(name.put());
        for (LONG state = 0; state < 3; ++state)
            if (folium::SameName(name.get(), kCursorTools[state], NameMatch::IgnoreCase)) *pVal = state;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::put_CursorState(LONG value) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        if (RefreshActiveDocument() != 0 || value < 0 || value > 2) return S_OK;
        auto tools = ToolsOf(m_spApplication.get());
        if (!tools) return S_OK;
        auto name = folium::ScopedVariant::Bstr(kCursorTools[value]);
        ComPtr<IQxTool> tool;
        tools->Item(*name.get(), tool.put());
        if (tool) tool->Activate();
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::SetSelectState(LONG lState, VARIANT_BOOL* blRet) {
    if (!blRet) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    *blRet = VARIANT_FALSE;
    const LONG index = ToolIndexForSelectState(lState);
    if (index < 0) return S_OK;
    return Guarded([&] {
        auto tools = ToolsOf(m_spApplication.get());
        if (!tools) return S_OK;
        auto item = folium::ScopedVariant::I4(index);
        ComPtr<IQxTool> tool;
        tools->Item(*item.get(), tool.put());
        if (!tool) return S_OK;
        tool->Activate();
        *blRet = VARIANT_TRUE;
        return S_OK;
    });
}

// ---- bookmarks -----------------------------------------------------------------------

STDMETHODIMP CFoliumFun::get_SelectedBookMarkName(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto bookmarks = BookmarksOf(m_spActiveDocument.get())) {
            UniqueBstr name;
            bookmarks->get_SelectedName(name.put());
            *pVal = name.CopyOut();
        }
        return S_OK;
    });
}

// An exact title first; a name ending in "%" then goes to the first bookmark, in
// document order, whose title contains the rest of the name.
STDMETHODIMP CFoliumFun::GotoBookMark(BSTR strName, LONG* lRet) {
    if (!lRet) return E_POINTER;
    *lRet = 0;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        auto bookmarks = BookmarksOf(m_spActiveDocument.get());
        if (!bookmarks) return S_OK;
        const folium::TextArg name(strName);
        ComPtr<IQxBookmark> exact;
        bookmarks->Find(name.get(), exact.put());
        if (exact) {
            exact->GoTo();
            *lRet = 1;
            return S_OK;
        }
        const std::wstring_view wanted = name.view();
        if (wanted.size() < 2 || wanted.back() != L'%') return S_OK;
        const std::wstring_view prefix = wanted.substr(0, wanted.size() - 1);
        folium::WalkBookmarks(bookmarks.get(), [&](IQxBookmark* bookmark, BSTR title) {
            const std::wstring_view text(title ? title : L"", title ? SysStringLen(title) : 0);
            if (text.find(prefix) == std::wstring_view::npos) return Walk::Continue;
            bookmark->GoTo();
            *lRet = 1;
            return Walk::Stop;
        });
        return S_OK;
    });
}

// The tree as { "BookMarks": [{ "Parent": "...", "BookMark": "..."}, ...] } in
// document order; titles are copied as they are.
STDMETHODIMP CFoliumFun::GetBookMarks(BSTR* strBookMarks) {
    if (!strBookMarks) return E_POINTER;
    return GuardedText(strBookMarks, [&](folium::TextBuilder& text) {
        if (!m_spApplication) return S_FALSE;
        RefreshActiveDocument();
        auto bookmarks = BookmarksOf(m_spActiveDocument.get());
        if (!bookmarks) return S_FALSE;
        text = L"{ \"BookMarks\": [";
        folium::WalkBookmarks(bookmarks.get(), [&](IQxBookmark* bookmark, BSTR title) {
            UniqueBstr parentTitle;
            ComPtr<IQxBookmark> parent;
            bookmark->get_Parent(parent.put());
            if (parent) parent->get_Title(parentTitle.put());
            text += L"{ \"Parent\": \"";
            text.append(parentTitle.c_str(), parentTitle.length());
            text += L"\", \"BookMark\": \"";
            if (title) text.append(title, SysStringLen(title));
            text += L"\"},";
            return Walk::Continue;
        });
        if (text.back() == L',') text.pop_back();
        text += L"] }";
        return S_OK;
    });
}

// ---- text search ---------------------------------------------------------------------

// Every hit as "page@x1@y1," (the last entry too), ignoring case.
STDMETHODIMP CFoliumFun::SearchText(BSTR strText, BSTR* bstrTextPostion) {
    if (!bstrTextPostion) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return GuardedText(bstrTextPostion, [&](folium::TextBuilder& result) {
        RefreshActiveDocument();
        auto finder = FinderOf(m_spActiveDocument.get());
        auto pages = folium::PagesOf(m_spActiveDocument.get());
        if (finder && pages) {
            folium::PrepareFinder(finder.get(), VARIANT_FALSE, strText);
            const LONG count = folium::PageCountOf(pages.get(), 0);
            folium::ForEachHitInPages(finder.get(), 1, count, folium::HitPart::FirstCorner,
                                      [&](LONG page, const HitBox& box) {
                                          result.reserve_item(kEntryChars, static_cast<size_t>(page - 1),
                                                              static_cast<size_t>(count));
                                          folium::AppendInt(result, page);
                                          result += L'@';
                                          folium::AppendFixed2(result, box.x1);
                                          result += L'@';
                                          folium::AppendFixed2(result, box.y1);
                                          result += L',';
                                      });
        }
        return S_OK;
    });
}

// The first hit from page lPageNo on, as "Page:p;X:x;Y:y": its centre for lType 0,
// else its first corner.
STDMETHODIMP CFoliumFun::GetTextPosition(LONG lPageNo, BSTR strText, VARIANT_BOOL blCase, LONG lType,
                                         BSTR* bstrTextPostion) {
    if (!bstrTextPostion) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return GuardedText(bstrTextPostion, [&](folium::TextBuilder& result) {
        RefreshActiveDocument();
        auto finder = FinderOf(m_spActiveDocument.get());
        auto pages = folium::PagesOf(m_spActiveDocument.get());
        const LONG count = folium::PageCountOf(pages.get(), 0);
        if (finder && lPageNo <= count) {
            finder->Reset();
            folium::PrepareFinder(finder.get(), blCase, strText);
            // Pages before the first do not exist: a search starts at page 1 at the earliest.
            for (LONG page = lPageNo < 1 ? 1 : lPageNo; page <= count; ++page) {
                if (!folium::FindNextHit(finder.get(), page)) continue;
                const HitBox box = folium::ReadHit(finder.get());
                double x = box.x1, y = box.y1;
                if (lType == 0) {
                    x = box.x1 + (box.x2 - box.x1) * 0.5;
                    y = box.y1 + (box.y2 - box.y1) * 0.5;
                }
                result = L"Page:";
                folium::AppendInt(result, page);
                result += L";X:";
                folium::AppendFixed2(result, x);
                result += L";Y:";
                folium::AppendFixed2(result, y);
                break;
            }
        }
        return S_OK;
    });
}

// Searches the file strFileName, opened for it and left open: "p,x1,y1,x2,y2"
// entries joined by ";".
STDMETHODIMP CFoliumFun::GetTextPositionAll(BSTR strText, BSTR strFileName, BSTR* bstrTextPostion) {
    if (!bstrTextPostion) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return GuardedText(bstrTextPostion, [&](folium::TextBuilder& result) {
        if (!folium::PathTextsUsable({strFileName})) return S_FALSE;
        ComPtr<IQxDocuments> documents;
        m_spApplication->get_Documents(documents.put());
        ComPtr<IQxDocument> document;
        if (documents) {
            auto path = folium::ScopedVariant::Bstr(folium::TextArg(strFileName).get());
            folium::ScopedVariant missing;
            missing = folium::ScopedVariant::Missing();
            documents->Open(*path.get(), *missing.get(), *missing.get(), *missing.get(), document.put());
        }
        auto finder = FinderOf(document.get());
        auto pages = folium::PagesOf(document.get());
        if (finder && pages) {
            folium::PrepareFinder(finder.get(), VARIANT_FALSE, strText);
            const LONG count = folium::PageCountOf(pages.get(), 0);
            folium::ForEachHitInPages(finder.get(), 1, count, folium::HitPart::Box,
                                      [&](LONG page, const HitBox& box) {
                                          result.reserve_item(kEntryChars, static_cast<size_t>(page - 1),
                                                              static_cast<size_t>(count));
                                          if (!result.empty()) result += L';';
                                          AppendBoxEntry(result, page, box);
                                      });
        }
        return S_OK;
    });
}

// Where dates written in Chinese numerals stand alone on a line, as on a signing
// date line: "p,x1,y1,x2,y2" entries joined by ";". nType is not used.
STDMETHODIMP CFoliumFun::GetFormateStringPos(LONG /*nType*/, BSTR* bstrRet) {
    if (!bstrRet) return E_POINTER;
    return GuardedText(bstrRet, [&](folium::TextBuilder& result) {
        if (!m_spApplication || RefreshActiveDocument() != 0) return S_FALSE;
        ComPtr<IQxDocument> document = m_spActiveDocument;
        if (folium::IsOfdDocument(ComPtr<IQxDocument>(document).Detach())) return S_FALSE;
        auto pages = folium::PagesOf(document.get());
        auto finder = FinderOf(document.get());
        if (!pages || !finder) return S_FALSE;
        const LONG count = folium::PageCountOf(pages.get(), 0);
        folium::WalkPages(pages.get(), count, [&](LONG index, IQxPage* page) {
            UniqueBstr pageText;
            page->get_Text(pageText.put());
            const std::wstring_view text(pageText.c_str(), pageText.length());
            size_t start = 0;
            while (start <= text.size()) {
                size_t end = text.find(L'\n', start);
                if (end == std::wstring_view::npos) end = text.size();
                const std::wstring_view line = TrimSpace(text.substr(start, end - start));
                start = end + 1;
                if (!IsChineseDateLine(line)) continue;
                UniqueBstr search(line.data(), static_cast<UINT>(line.size()));
                folium::PrepareFinder(finder.get(), VARIANT_FALSE, search.get());
                if (!folium::FindNextHit(finder.get(), index + 1)) continue;
                result.reserve_item(kEntryChars, static_cast<size_t>(index), static_cast<size_t>(count));
                if (!result.empty()) result += L';';
                AppendBoxEntry(result, index + 1, folium::ReadHit(finder.get()));
            }
            return Walk::Continue;
        });
        return S_OK;
    });
}

// Result is the finder's status (0 when found); a found text is selected and shown
// when Selected is exactly true.
STDMETHODIMP CFoliumFun::GoToText(BSTR strText, LONG Page, VARIANT_BOOL Case, VARIANT_BOOL UpDown,
                                  VARIANT_BOOL Selected, LONG* Result) {
    if (!Result) return E_POINTER;
    *Result = 1;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        if (RefreshActiveDocument() != 0) return S_FALSE;
        auto view = folium::PageViewOf(m_spActiveDocument.get());
        auto finder = FinderOf(m_spActiveDocument.get());
        if (!view || !finder) return S_FALSE;
        finder->put_Text(folium::TextArg(strText).get());
        finder->put_Direction(UpDown);
        finder->put_MatchCase(Case);
        HRESULT status = S_OK;
        const bool found = folium::FindNextHit(finder.get(), Page, &status);
        *Result = status;
        if (Selected == VARIANT_TRUE && found) {
            const HitBox box = folium::ReadHit(finder.get());
            ComPtr<IQxTextSelection> selection;
            m_spActiveDocument->get_TextSelection(selection.put());
            if (selection) {
                const LONG pageIndex = static_cast<LONG>(static_cast<LONGLONG>(Page) - 1);
                selection->Clear();
                selection->SetStart(pageIndex, box.x1, box.y1);
                selection->SetEnd(pageIndex, box.x2, box.y2);
            }
            view->Refresh();
        }
        return S_OK;
    });
}

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::put_isOpen(LONG /*value*/) { return S_OK; }
STDMETHODIMP CFoliumFun::put_PageCount(LONG /*value*/) { return S_OK; }
STDMETHODIMP CFoliumFun::put_EditStatus(VARIANT_BOOL /*value*/) { return S_OK; }
STDMETHODIMP CFoliumFun::put_CopyStatus(VARIANT_BOOL /*value*/) { return S_OK; }
STDMETHODIMP CFoliumFun::put_PrintStatus(VARIANT_BOOL /*value*/) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ContentText(BSTR /*value*/) { return S_OK; }
STDMETHODIMP CFoliumFun::put_SelectedBookMarkName(BSTR /*value*/) { return S_OK; }
STDMETHODIMP CFoliumFun::put_DocumentModified(LONG /*value*/) { return S_OK; }
