// Chrome visibility: menus, tool bars, panes, tab bars and the reader window.
// Getters report what the host reports at the moment of the call; nothing here is
// remembered except the flags the component keeps for other members. Statuses of
// host calls are deliberately not looked at: a read that fails keeps the member's
// default, a write that fails changes nothing.
#include "FoliumFun.h"

#include <new>

#include "../bridge/Walks.h"

using folium::ComPtr;
using folium::NameMatch;
using folium::Walk;

using folium::Guarded;

namespace {

constexpr const wchar_t* kMenuBar = L"MenuBar";

// ShowCommandBar's index 1 to 11; any other index looks for a bar with an empty name.
const wchar_t* CommandBarNameOf(LONG index) {
    static const wchar_t* const kNames[] = {L"File",     L"Rotate",       L"Zoom",     L"Standard",
                                            L"Find",     L"Annots",       L"Measuring", L"OFDSignature",
                                            L"批量签章", L"Comments",     L"DigitalSignature"};
    return index >= 1 && index <= 11 ? kNames[index - 1] : L"";
}

// ShowTabCommandBar's index 1 to 4: the tab bar and the pane it stands for.
struct TabAndPane {
    const wchar_t* tabBar;
    const wchar_t* pane;
};
TabAndPane TabAndPaneOf(LONG index) {
    switch (index) {
        case 1: return {L"BookMark", L"BookMarks"};
        case 2: return {L"AnnotsTabBar", L"AnnotsMngPane"};
        case 3: return {L"", L"AttachmentPane"};
        case 4: return {L"SigTabBar", L"SigPane"};
        default: return {L"", L""};
    }
}


// Reads Visible of the first bar called name (exact compare); fallback when there is none.
VARIANT_BOOL FirstBarVisible(IQxApplication* app, const wchar_t* name, VARIANT_BOOL fallback) {
    VARIANT_BOOL visible = fallback;
    auto bars = folium::CommandBarsOf(app);
    if (auto bar = folium::FindCommandBar(bars.get(), name, NameMatch::Exact)) bar->get_Visible(&visible);
    return visible;
}

void SetFirstBarVisible(IQxApplication* app, const wchar_t* name, VARIANT_BOOL visible) {
    auto bars = folium::CommandBarsOf(app);
    if (auto bar = folium::FindCommandBar(bars.get(), name, NameMatch::Exact)) bar->put_Visible(visible);
}

void SetEveryBarVisible(IQxApplication* app, std::initializer_list<const wchar_t*> names, VARIANT_BOOL visible) {
    auto bars = folium::CommandBarsOf(app);
    folium::ForEveryCommandBarNamed(bars.get(), names, NameMatch::Exact,
                                    [&](IQxCommandBar* bar) { bar->put_Visible(visible); });
}

ComPtr<IQxMainFrame> MainFrameOf(IQxApplication* app) {
    ComPtr<IQxMainFrame> frame;
    app->get_MainFrame(frame.put());
    return frame;
}

// A switch held by one property of the main frame or of the application. Getters differ
// only in what a script sees without a reader (some leave the result as it was) and
// when the host has nothing to read.
struct SwitchRule {
    bool answersWithoutReader;
    VARIANT_BOOL withoutReader;
    VARIANT_BOOL unread;
};

template <class Host>
using SwitchGet = HRESULT (STDMETHODCALLTYPE Host::*)(VARIANT_BOOL*);
template <class Host>
using SwitchPut = HRESULT (STDMETHODCALLTYPE Host::*)(VARIANT_BOOL);

ComPtr<IQxMainFrame> SwitchHost(IQxApplication* app, const IQxMainFrame*) { return MainFrameOf(app); }
ComPtr<IQxApplication> SwitchHost(IQxApplication* app, const IQxApplication*) { return ComPtr<IQxApplication>(app); }

template <class Host>
HRESULT ReadSwitch(IQxApplication* app, SwitchGet<Host> get, SwitchRule rule, VARIANT_BOOL* pVal) {
    if (!pVal) return E_POINTER;
    if (!app) {
        if (rule.answersWithoutReader) *pVal = rule.withoutReader;
        return S_FALSE;
    }
    return Guarded([&] {
        VARIANT_BOOL value = rule.unread;
        if (auto host = SwitchHost(app, static_cast<const Host*>(nullptr))) (host.get()->*get)(&value);
        *pVal = value;
        return S_OK;
    });
}

template <class Host>
HRESULT WriteSwitch(IQxApplication* app, SwitchPut<Host> put, VARIANT_BOOL value) {
    if (!app) return S_FALSE;
    return Guarded([&] {
        if (auto host = SwitchHost(app, static_cast<const Host*>(nullptr))) (host.get()->*put)(value);
        return S_OK;
    });
}

// Menu and comment bars: a reader without the bar reports it shown.
HRESULT ReadFirstBar(IQxApplication* app, const wchar_t* name, VARIANT_BOOL* pVal) {
    if (!pVal) return E_POINTER;
    if (!app) {
        *pVal = 1;
        return S_FALSE;
    }
    return Guarded([&] {
        *pVal = FirstBarVisible(app, name, 1);
        return S_OK;
    });
}

HRESULT WriteBars(IQxApplication* app, std::initializer_list<const wchar_t*> names, bool everyOne,
                  VARIANT_BOOL visible) {
    if (!app) return S_FALSE;
    return Guarded([&] {
        if (everyOne) SetEveryBarVisible(app, names, visible);
        else SetFirstBarVisible(app, *names.begin(), visible);
        return S_OK;
    });
}

// What ShowDigitalSignature and ShowTabCommandBar need before either walk runs.
struct WorkspaceParts {
    ComPtr<IQxTabBars> tabBars;
    ComPtr<IQxPanes> panes;
};

}  // namespace

// ---- command bars ------------------------------------------------------------------

STDMETHODIMP CFoliumFun::get_ShowMenus(VARIANT_BOOL* pVal) {
    return ReadFirstBar(m_spApplication.get(), kMenuBar, pVal);
}
STDMETHODIMP CFoliumFun::put_ShowMenus(VARIANT_BOOL value) {
    return WriteBars(m_spApplication.get(), {kMenuBar}, false, value);
}
STDMETHODIMP CFoliumFun::get_ShowPostil(VARIANT_BOOL* pVal) {
    return ReadFirstBar(m_spApplication.get(), L"Comments", pVal);
}
// The comment tools live in two bars, and a reader may carry more than one of each.
STDMETHODIMP CFoliumFun::put_ShowPostil(VARIANT_BOOL value) {
    return WriteBars(m_spApplication.get(), {L"Comments", L"Annots"}, true, value);
}

// Signature tools are never reported as shown.
STDMETHODIMP CFoliumFun::get_ShowSigns(VARIANT_BOOL* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP CFoliumFun::put_ShowSigns(VARIANT_BOOL value) {
    return WriteBars(m_spApplication.get(), {L"DigitalSignature"}, false, value);
}
STDMETHODIMP CFoliumFun::put_ShowTools(VARIANT_BOOL value) {
    return WriteBars(m_spApplication.get(), {L"File", L"Rotate", L"Zoom", L"Standard", L"Find"}, true, value);
}

STDMETHODIMP CFoliumFun::ShowCommandBar(LONG nIndex, VARIANT_BOOL bVisible, LONG* lRet) {
    if (!lRet) return E_POINTER;
    *lRet = -1;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        SetFirstBarVisible(m_spApplication.get(), CommandBarNameOf(nIndex), bVisible);
        return S_OK;
    });
}

// Hides every bar but the menu bar, whatever the letter case of its name.
STDMETHODIMP CFoliumFun::LockScreen(LONG* lRet) {
    if (!lRet) return E_POINTER;
    *lRet = 1;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        auto bars = folium::CommandBarsOf(m_spApplication.get());
        folium::WalkCommandBars(bars.get(), [](IQxCommandBar* bar, BSTR name) {
            if (!folium::SameName(name, kMenuBar, NameMatch::IgnoreCase)) bar->put_Visible(VARIANT_FALSE);
            return Walk::Continue;
        });
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::UnlockScreen(LONG* lRet) {
    if (!lRet) return E_POINTER;
    *lRet = 1;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        auto bars = folium::CommandBarsOf(m_spApplication.get());
        folium::WalkCommandBars(bars.get(), [](IQxCommandBar* bar, BSTR) {
            bar->put_Visible(VARIANT_TRUE);
            return Walk::Continue;
        });
        return S_OK;
    });
}

// ---- workspace panes, tab bars and state bars ----------------------------------------

STDMETHODIMP CFoliumFun::get_ShowMarks(VARIANT_BOOL* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        auto workspace = folium::WorkspaceOf(m_spActiveDocument.get());
        ComPtr<IQxPanes> panes;
        if (workspace) workspace->get_Panes(panes.put());
        if (auto pane = folium::FindPane(panes.get(), L"Bookmarks")) {
            VARIANT_BOOL visible = *pVal;
            pane->get_Visible(&visible);
            *pVal = visible;
        }
        return S_OK;
    });
}

// Writes only when the pane's state would change.
STDMETHODIMP CFoliumFun::put_ShowMarks(VARIANT_BOOL value) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        auto workspace = folium::WorkspaceOf(m_spActiveDocument.get());
        ComPtr<IQxPanes> panes;
        if (workspace) workspace->get_Panes(panes.put());
        if (auto pane = folium::FindPane(panes.get(), L"Bookmarks")) {
            VARIANT_BOOL current = value;
            pane->get_Visible(&current);
            if (current != value) pane->put_Visible(value);
        }
        return S_OK;
    });
}

// 1 when either state bar is shown.
STDMETHODIMP CFoliumFun::get_ShowState(VARIANT_BOOL* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = VARIANT_FALSE;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto workspace = folium::WorkspaceOf(m_spActiveDocument.get())) {
            VARIANT_BOOL first = VARIANT_FALSE, second = VARIANT_FALSE;
            workspace->get_StateBar1Visible(&first);
            workspace->get_StateBar2Visible(&second);
            if (first == VARIANT_TRUE || second == VARIANT_TRUE) *pVal = 1;
        }
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::put_ShowState(VARIANT_BOOL value) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto workspace = folium::WorkspaceOf(m_spActiveDocument.get())) {
            workspace->put_StateBar1Visible(value);
            workspace->put_StateBar2Visible(value);
        }
        return S_OK;
    });
}

// 1 when the signature tab bar is shown or there is none, 0 when it is hidden.
STDMETHODIMP CFoliumFun::get_ShowDigitalSignature(LONG* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        auto workspace = folium::WorkspaceOf(m_spActiveDocument.get());
        if (!workspace) return S_FALSE;
        ComPtr<IQxTabBars> tabBars;
        workspace->get_TabBars(tabBars.put());
        if (!tabBars) return S_FALSE;
        if (folium::CountOf(tabBars.get()) < 0) return S_FALSE;
        VARIANT_BOOL visible = VARIANT_TRUE;
        LONG index = folium::FindTabBar(tabBars.get(), L"SigTabBar");
        if (index >= 0) tabBars->GetVisible(index, &visible);
        *pVal = visible == VARIANT_TRUE ? 1 : 0;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::put_ShowDigitalSignature(LONG value) {
    m_nShowDigitalSignature = value;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        auto workspace = folium::WorkspaceOf(m_spActiveDocument.get());
        if (!workspace) return S_FALSE;
        WorkspaceParts parts;
        workspace->get_TabBars(parts.tabBars.put());
        workspace->get_Panes(parts.panes.put());
        if (!parts.tabBars || !parts.panes) return S_FALSE;
        if (folium::CountOf(parts.tabBars.get()) < 0 || folium::CountOf(parts.panes.get()) < 0) return S_FALSE;
        const VARIANT_BOOL visible = value ? VARIANT_TRUE : VARIANT_FALSE;
        LONG index = folium::FindTabBar(parts.tabBars.get(), L"SigTabBar");
        if (index >= 0) parts.tabBars->SetVisible(index, visible);
        if (auto pane = folium::FindPane(parts.panes.get(), L"SigPane")) pane->put_Visible(visible);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::ShowTabCommandBar(LONG nIndex, VARIANT_BOOL bVisible, LONG* lRet) {
    m_nTabBarIndex = nIndex;
    m_bTabBarVisible = bVisible;
    if (!lRet) return E_POINTER;
    *lRet = -1;
    if (!m_spApplication) return S_FALSE;
    const TabAndPane names = TabAndPaneOf(nIndex);
    if (!*names.tabBar && !*names.pane) return S_FALSE;
    return Guarded([&] {
        RefreshActiveDocument();
        auto workspace = folium::WorkspaceOf(m_spActiveDocument.get());
        if (!workspace) return S_FALSE;
        WorkspaceParts parts;
        workspace->get_TabBars(parts.tabBars.put());
        workspace->get_Panes(parts.panes.put());
        if (!parts.tabBars || !parts.panes) return S_FALSE;
        if (folium::CountOf(parts.tabBars.get()) < 0 || folium::CountOf(parts.panes.get()) < 0) return S_FALSE;
        // The attachment pane has no tab bar: its walk looks for an empty name.
        LONG index = folium::FindTabBar(parts.tabBars.get(), names.tabBar);
        if (index >= 0) parts.tabBars->SetVisible(index, bVisible);
        if (auto pane = folium::FindPane(parts.panes.get(), names.pane)) pane->put_Visible(bVisible);
        return S_OK;
    });
}

// ---- main frame, view and application switches ---------------------------------------

STDMETHODIMP CFoliumFun::get_ShowSides(VARIANT_BOOL* pVal) {
    return ReadSwitch(m_spApplication.get(), &IQxMainFrame::get_SidePanesVisible, {true, VARIANT_FALSE, VARIANT_TRUE},
                      pVal);
}
STDMETHODIMP CFoliumFun::put_ShowSides(VARIANT_BOOL value) {
    return WriteSwitch(m_spApplication.get(), &IQxMainFrame::put_SidePanesVisible, value);
}
STDMETHODIMP CFoliumFun::get_ShowTabBarVisible(VARIANT_BOOL* pVal) {
    return ReadSwitch(m_spApplication.get(), &IQxMainFrame::get_TabBarVisible, {false, 0, 1}, pVal);
}
STDMETHODIMP CFoliumFun::put_ShowTabBarVisible(VARIANT_BOOL value) {
    return WriteSwitch(m_spApplication.get(), &IQxMainFrame::put_TabBarVisible, value);
}
STDMETHODIMP CFoliumFun::get_StartPageVisible(VARIANT_BOOL* pVal) {
    return ReadSwitch(m_spApplication.get(), &IQxMainFrame::get_StartPageVisible,
                      {true, VARIANT_FALSE, VARIANT_FALSE}, pVal);
}
STDMETHODIMP CFoliumFun::put_StartPageVisible(VARIANT_BOOL value) {
    return WriteSwitch(m_spApplication.get(), &IQxMainFrame::put_StartPageVisible, value);
}

STDMETHODIMP CFoliumFun::get_FullScreen(VARIANT_BOOL* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        VARIANT_BOOL full = VARIANT_FALSE;
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) view->get_FullScreen(&full);
        *pVal = full;
        return S_OK;
    });
}

// Without a reader there is no view to change, which is not a failure of the setter.
STDMETHODIMP CFoliumFun::put_FullScreen(VARIANT_BOOL value) {
    if (!m_spApplication) return S_OK;
    return Guarded([&] {
        RefreshActiveDocument();
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) view->put_FullScreen(value);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::get_Hide(VARIANT_BOOL* pVal) {
    return ReadSwitch(m_spApplication.get(), &IQxApplication::get_Hidden, {true, VARIANT_FALSE, VARIANT_FALSE}, pVal);
}
STDMETHODIMP CFoliumFun::put_Hide(VARIANT_BOOL value) {
    return WriteSwitch(m_spApplication.get(), &IQxApplication::put_Hidden, value);
}
STDMETHODIMP CFoliumFun::get_EnabledCopy(VARIANT_BOOL* pVal) {
    return ReadSwitch(m_spApplication.get(), &IQxApplication::get_CopyEnabled, {true, VARIANT_FALSE, VARIANT_FALSE},
                      pVal);
}
STDMETHODIMP CFoliumFun::put_EnabledCopy(VARIANT_BOOL value) {
    return WriteSwitch(m_spApplication.get(), &IQxApplication::put_CopyEnabled, value);
}

// ---- flags kept by the component ---------------------------------------------------

// Handed to the message server before each server exchange.
STDMETHODIMP CFoliumFun::get_ShowSchedule(VARIANT_BOOL* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = m_exchange.showSchedule;
    return S_OK;
}

STDMETHODIMP CFoliumFun::put_ShowSchedule(VARIANT_BOOL value) {
    m_exchange.showSchedule = value;
    return S_OK;
}

// Read by the comment window member and the host event that re-applies the window.
STDMETHODIMP CFoliumFun::get_EnabledCommentWindow(VARIANT_BOOL* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = static_cast<VARIANT_BOOL>(m_bEnabledCommentWindow);
    return S_OK;
}

STDMETHODIMP CFoliumFun::put_EnabledCommentWindow(VARIANT_BOOL value) {
    m_bEnabledCommentWindow = value;  // widened with its sign: true stays -1
    return S_OK;
}

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::get_ShowTitle(VARIANT_BOOL* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::put_ShowTitle(VARIANT_BOOL /*value*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_ShowTools(VARIANT_BOOL* /*pVal*/) { return S_OK; }
