// Walks over the host's object model that several member families share: command
// bars and their controls, workspace panes and tab bars, the page view, pages, the
// bookmark tree and the text finder's hits. Each walk takes the host objects it
// needs and holds every object it reaches only for the step that uses it.
// Statuses of host calls are not looked at: an object that cannot be had is null,
// a value that cannot be read keeps the default the caller gave it.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "QuirexModel.h"
#include "../support/Com.h"
#include "../support/win/TextBuilder.h"

namespace folium {

// A non-owning reference to a callable, so that the walks themselves can live in
// one source file while the caller's lambda decides what to do at each step.
template <class Signature>
class FunctionRef;

template <class R, class... Args>
class FunctionRef<R(Args...)> {
public:
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, FunctionRef>>>
    FunctionRef(F&& f)  // NOLINT: implicit by design, like a function pointer
        : object_(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
          call_([](void* o, Args... a) -> R {
              return (*static_cast<std::remove_reference_t<F>*>(o))(std::forward<Args>(a)...);
          }) {}
    R operator()(Args... a) const { return call_(object_, std::forward<Args>(a)...); }

private:
    void* object_;
    R (*call_)(void*, Args...);
};

// What a visitor tells a walk after one step.
enum class Walk { Continue, Stop };

// How host names are compared with the wanted name.
enum class NameMatch { Exact, IgnoreCase };

// Compares a host name (null reads as empty, embedded NULs count) with wanted.
bool SameName(BSTR hostName, const wchar_t* wanted, NameMatch how);

// Null BSTRs are empty strings; a null argument becomes an allocated "" here so
// that the host always receives a real string.
class TextArg {
public:
    explicit TextArg(BSTR b);
    BSTR get() const { return b_ ? b_ : owned_.get(); }
    std::wstring_view view() const { return {get(), SysStringLen(get())}; }

private:
    BSTR b_;
    UniqueBstr owned_;
};

// ---- command bars and controls ------------------------------------------------------

ComPtr<IQxCommandBars> CommandBarsOf(IQxApplication* app);

// Visits the bars in collection order (index 0 to Count - 1 as a VT_I8 variant)
// with each bar's name until the visitor stops. Indexes that yield no bar are skipped.
void WalkCommandBars(IQxCommandBars* bars, FunctionRef<Walk(IQxCommandBar* bar, BSTR name)> visit);

// The first bar called name, or null.
ComPtr<IQxCommandBar> FindCommandBar(IQxCommandBars* bars, const wchar_t* name, NameMatch how);

// Calls act for every bar whose name is one of names; returns how many matched.
int ForEveryCommandBarNamed(IQxCommandBars* bars, std::initializer_list<const wchar_t*> names, NameMatch how,
                            FunctionRef<void(IQxCommandBar* bar)> act);

// Visits the controls of the collection in order (index 0 to Count - 1 as a variant
// of indexType, VT_I4 or VT_I8) until the visitor stops. Indexes that yield no
// control are skipped; submenus are not entered.
void WalkControls(IQxControls* controls, VARTYPE indexType, FunctionRef<Walk(LONG index, IQxControl* control)> visit);

// The first control of the collection (index 0 to Count - 1 as VT_I8) whose
// command identifier is id, or null. Submenus are not entered.
ComPtr<IQxControl> FindControlById(IQxControls* controls, LONG id);

// ---- workspace: panes and tab bars --------------------------------------------------

ComPtr<IQxWorkspace> WorkspaceOf(IQxDocument* document);

// The first pane whose name equals name ignoring case (Panes.Item with a VT_I4
// index from 0), or null.
ComPtr<IQxPane> FindPane(IQxPanes* panes, const wchar_t* name);

// The index of the first tab bar whose name equals name ignoring case, or -1.
LONG FindTabBar(IQxTabBars* tabBars, const wchar_t* name);

// Count of a pane or tab-bar collection; -1 when it cannot be read.
LONG CountOf(IQxPanes* panes);
LONG CountOf(IQxTabBars* tabBars);

// ---- page view and pages -------------------------------------------------------------

// Document.Window, then DocWindow.View.
ComPtr<IQxPageView> PageViewOf(IQxDocument* document);

ComPtr<IQxPages> PagesOf(IQxDocument* document);

// Pages.Count, or fallback when it cannot be read.
LONG PageCountOf(IQxPages* pages, LONG fallback);

// Visits the pages 0 to count - 1 (0-based index) with Pages.Item until the
// visitor stops; indexes that yield no page are skipped.
void WalkPages(IQxPages* pages, LONG count, FunctionRef<Walk(LONG index, IQxPage* page)> visit);

// Visits the page's annotations (Annotations.Item by index from 0 to Count - 1) until
// the visitor stops; indexes that yield no annotation are skipped. Returns Stop when
// the visitor stopped the walk.
Walk WalkAnnotations(IQxPage* page, FunctionRef<Walk(IQxAnnotation* annotation)> visit);

// ---- bookmarks ---------------------------------------------------------------------

// Depth-first in document order from Bookmarks.First: each bookmark is visited
// with its title, then its first child's subtree, then its next sibling's. Kept
// on an explicit stack (next sibling pushed before first child), so deep trees
// do not grow the thread's stack.
void WalkBookmarks(IQxBookmarks* bookmarks, FunctionRef<Walk(IQxBookmark* bookmark, BSTR title)> visit);

// ---- text finder -----------------------------------------------------------------

struct HitBox {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    double width = 0, height = 0;  // as the host reports them (HitPart::BoxAndSize only)
};

// One TextFinder.FindNext on the 1-based page: true when the host reports a hit.
// status receives the call's HRESULT when asked for.
bool FindNextHit(IQxTextFinder* finder, LONG page, HRESULT* status = nullptr);

// Which coordinates of a hit a caller needs: the first corner (X1, Y1), all four, or
// all four with the host's own Width and Height.
enum class HitPart { FirstCorner, Box, BoxAndSize };

// The coordinates of TextFinder.Hit (zeros for what is not asked or cannot be read).
HitBox ReadHit(IQxTextFinder* finder, HitPart part = HitPart::Box);

// Calls FindNext on page until it reports no hit, handing each hit to onHit.
// Returns the number of hits.
long ForEachHitOnPage(IQxTextFinder* finder, LONG page, HitPart part, FunctionRef<void(const HitBox& box)> onHit);

// The finder loop over pages: every hit on pages firstPage to lastPage (1-based),
// page by page, each page asked until it reports no hit. Returns the number of hits.
long ForEachHitInPages(IQxTextFinder* finder, LONG firstPage, LONG lastPage, HitPart part,
                       FunctionRef<void(LONG page, const HitBox& box)> onHit);

// Sets MatchCase and Text before a search.
void PrepareFinder(IQxTextFinder* finder, VARIANT_BOOL matchCase, BSTR text);

// ---- result text ---------------------------------------------------------------------

// Appends value as "%d".
void AppendInt(std::wstring& out, long value);
void AppendInt(TextBuilder& out, long value);
// Appends value as "%.02f".
void AppendFixed2(std::wstring& out, double value);
void AppendFixed2(TextBuilder& out, double value);
// A BSTR copy of text for an out-parameter (raises E_OUTOFMEMORY).
BSTR ToBstr(const std::wstring& text);

}  // namespace folium
