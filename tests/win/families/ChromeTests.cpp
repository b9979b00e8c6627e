// Chrome visibility members through the DLL loaded by the reader simulator: what a
// script gets back (type and value), and the reader's bars, panes, tab bars and
// switches afterwards.
#include "FamilyTestSupport.h"

#include <functional>

using namespace testsupport;

namespace {

const char kOnePage[] = R"({"pages":[{"text":"chrome"}]})";

// The reader's bars at start, in collection order.
const Lines kStartBars = {L"MenuBar",   L"File",         L"Rotate",   L"Zoom",     L"Standard",        L"Find",
                          L"Annots",    L"Measuring",    L"OFDSignature", L"批量签章", L"Comments", L"DigitalSignature"};

class Chrome : public ConnectedComponent {
protected:
    ComPtr<IQxCommandBars> Bars() {
        ComPtr<IQxCommandBars> bars;
        app->get_CommandBars(bars.put());
        return bars;
    }
    ComPtr<IQxCommandBar> BarAt(LONG i) {
        ComPtr<IQxCommandBar> bar;
        Bars()->Item(*ScopedVariant::I4(i).get(), bar.put());
        return bar;
    }
    LONG BarCount() {
        LONG n = 0;
        Bars()->get_Count(&n);
        return n;
    }
    // The bars' visibility in collection order ("1" shown, "0" hidden), or the hidden bars' names.
    std::wstring Shown(Lines* hidden = nullptr) {
        Quiet q(sim.get());
        std::wstring out;
        for (LONG i = 0, n = BarCount(); i < n; ++i) {
            UniqueBstr name;
            VARIANT_BOOL v = VARIANT_FALSE;
            BarAt(i)->get_Name(name.put());
            BarAt(i)->get_Visible(&v);
            out += v == VARIANT_TRUE ? L'1' : L'0';
            if (hidden && v != VARIANT_TRUE) hidden->push_back(name.c_str());
        }
        return out;
    }
    Lines HiddenBars() {
        Lines out;
        Shown(&out);
        return out;
    }
    void SetBarVisible(LONG i, bool visible) {
        Quiet q(sim.get());
        BarAt(i)->put_Visible(visible ? VARIANT_TRUE : VARIANT_FALSE);
    }
    LONG AddBar(const wchar_t* name, bool visible = true) {
        Quiet q(sim.get());
        ComPtr<IQxCommandBar> bar;
        Bars()->Add(*ScopedVariant::Bstr(name).get(), *ScopedVariant::Missing().get(), bar.put());
        bar->put_Visible(visible ? VARIANT_TRUE : VARIANT_FALSE);
        return BarCount() - 1;
    }
    ComPtr<IQxWorkspace> Workspace() {
        ComPtr<IQxWorkspace> ws;
        Active()->get_Workspace(ws.put());
        return ws;
    }
    ComPtr<IQxPane> Pane(const wchar_t* name) {
        ComPtr<IQxPanes> panes;
        Workspace()->get_Panes(panes.put());
        ComPtr<IQxPane> pane;
        panes->Item(*ScopedVariant::Bstr(name).get(), pane.put());
        return pane;
    }
    bool PaneVisible(const wchar_t* name) {
        Quiet q(sim.get());
        VARIANT_BOOL v = VARIANT_FALSE;
        Pane(name)->get_Visible(&v);
        return v == VARIANT_TRUE;
    }
    void SetPaneVisible(const wchar_t* name, bool visible) {
        Quiet q(sim.get());
        Pane(name)->put_Visible(visible ? VARIANT_TRUE : VARIANT_FALSE);
    }
    // Tab bars at start: 0 "BookMark", 1 "AnnotsTabBar", 2 "SigTabBar", 3 "Thumbnail"; as "1111".
    ComPtr<IQxTabBars> TabBars() {
        ComPtr<IQxTabBars> tabs;
        Workspace()->get_TabBars(tabs.put());
        return tabs;
    }
    std::wstring Tabs() {
        Quiet q(sim.get());
        std::wstring out;
        for (LONG i = 0; i < 4; ++i) {
            VARIANT_BOOL v = VARIANT_FALSE;
            TabBars()->GetVisible(i, &v);
            out += v == VARIANT_TRUE ? L'1' : L'0';
        }
        return out;
    }
    void SetTabVisible(LONG i, bool visible) {
        Quiet q(sim.get());
        TabBars()->SetVisible(i, visible ? VARIANT_TRUE : VARIANT_FALSE);
    }
    void Put(const wchar_t* name, bool value) { EXPECT_EQ(S_OK, ScriptPut(name, VBool(value))) << name; }
};

// ---- the command-bar walk: first match, exact names --------------------------------------

TEST_F(Chrome, ShowMenusReadsTheMenuBarAndStopsThere) {
    SetBarVisible(0, false);
    EXPECT_EQ(Bool(false), Script(L"ShowMenus"));
    SetBarVisible(0, true);
    sim->ClearJournal();
    EXPECT_EQ(Bool(true), Script(L"ShowMenus"));
    EXPECT_EQ((Lines{L"Application.CommandBars", L"CommandBars.Count", L"CommandBars.Item(0)", L"CommandBar.Name",
                     L"CommandBar.Visible"}),
              JournalLines());
    // A bar named in another case is spared.
    AddBar(L"menubar");
    Put(L"ShowMenus", false);
    EXPECT_EQ(Lines{L"MenuBar"}, HiddenBars());
}

TEST_F(Chrome, ShowPostilReadsAndShowSignsChangesOnlyTheFirstBarOfTheName) {
    LONG second = AddBar(L"Comments", false);
    EXPECT_EQ(Bool(true), Script(L"ShowPostil"));
    SetBarVisible(10, false);
    SetBarVisible(second, true);
    EXPECT_EQ(Bool(false), Script(L"ShowPostil"));
    SetBarVisible(10, true);
    second = AddBar(L"DigitalSignature");
    sim->ClearJournal();
    Put(L"ShowSigns", false);
    EXPECT_EQ(Lines{L"DigitalSignature"}, HiddenBars());
    EXPECT_FALSE(Journaled(L"CommandBars.Item(" + std::to_wstring(second) + L")")) << "the walk stops at the match";
    sim->ClearJournal();
    EXPECT_EQ(Bool(false), Script(L"ShowSigns"));
    EXPECT_TRUE(JournalLines().empty()) << "false without asking the reader";
}

TEST_F(Chrome, ShowCommandBarActsOnTheBarOfEachIndexOrAnUnnamedOne) {
    for (LONG index = 1; index <= 11; ++index) {
        for (LONG i = 0; i < BarCount(); ++i) SetBarVisible(i, true);
        EXPECT_EQ(I4(-1), Script(L"ShowCommandBar", {VLong(index), VBool(false)}));
        EXPECT_EQ(Lines{kStartBars[index]}, HiddenBars()) << "index " << index;
    }
    for (LONG i = 0; i < BarCount(); ++i) SetBarVisible(i, true);
    // Outside the table it looks for a bar with no name.
    for (LONG index : {0L, 12L, -1L}) EXPECT_EQ(I4(-1), Script(L"ShowCommandBar", {VLong(index), VBool(false)}));
    EXPECT_TRUE(HiddenBars().empty());
    LONG unnamed = AddBar(L"");
    EXPECT_EQ(I4(-1), Script(L"ShowCommandBar", {VLong(0), VBool(false)}));
    EXPECT_EQ(Lines{L""}, HiddenBars());
    EXPECT_EQ(I4(-1), Script(L"ShowCommandBar", {VLong(12), VBool(true)}));
    EXPECT_EQ(L'1', Shown()[unnamed]);
}

// ---- the command-bar walk over every bar ---------------------------------------------------

TEST_F(Chrome, ShowPostilAndShowToolsChangeEveryBarOfTheirNamesExactly) {
    AddBar(L"Comments");
    AddBar(L"comments");
    AddBar(L"find");
    Put(L"ShowPostil", false);
    EXPECT_EQ((Lines{L"Annots", L"Comments", L"Comments"}), HiddenBars());
    Put(L"ShowPostil", true);
    EXPECT_TRUE(HiddenBars().empty());
    Put(L"ShowTools", false);
    EXPECT_EQ((Lines{L"File", L"Rotate", L"Zoom", L"Standard", L"Find"}), HiddenBars());
    // ShowTools read and ShowTitle leave the result alone.
    sim->ClearJournal();
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_ShowTools), L"S_OK 7");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_ShowTitle), L"S_OK 7");
    EXPECT_EQ(S_OK, fun->put_ShowTitle(VARIANT_FALSE));
    EXPECT_TRUE(JournalLines().empty());
}

TEST_F(Chrome, LockScreenHidesAllButTheMenuBarInAnyCaseAndUnlockShowsEveryBar) {
    SetBarVisible(3, false);
    AddBar(L"MENUBAR");
    AddBar(L"MyTools", false);
    EXPECT_EQ(I4(1), Script(L"LockScreen"));
    EXPECT_EQ(L"100000000000010", Shown()) << "MenuBar first, MENUBAR and MyTools added last";
    sim->ClearJournal();
    EXPECT_EQ(I4(1), Script(L"UnlockScreen"));
    EXPECT_TRUE(HiddenBars().empty()) << "also those hidden before the lock";
    EXPECT_EQ(static_cast<size_t>(BarCount()), JournalWith(L"CommandBar.Visible=-1").size());
}

// ---- panes, tab bars, state bars ------------------------------------------------------------

TEST_F(Chrome, ShowMarksReadsTheBookmarksPaneAndWritesOnlyWhenItChanges) {
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_ShowMarks), L"S_OK 7") << "without a document";
    EXPECT_EQ(S_OK, fun->put_ShowMarks(VARIANT_TRUE));
    Open(kOnePage);
    EXPECT_EQ(Bool(false), Script(L"ShowMarks")) << "the reader's pane is \"BookMarks\"";
    Put(L"ShowMarks", true);
    EXPECT_TRUE(PaneVisible(L"BookMarks"));
    EXPECT_EQ(1u, JournalWith(L"Pane.Visible=-1").size());
    EXPECT_EQ(Bool(true), Script(L"ShowMarks"));
    sim->ClearJournal();
    Put(L"ShowMarks", true);
    EXPECT_TRUE(Journaled(L"Pane.Visible"));
    EXPECT_FALSE(Journaled(L"Pane.Visible=")) << "same value: read, no write";
}

TEST_F(Chrome, ShowDigitalSignatureIsOneOrZeroAndShowsTabBarAndPane) {
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_ShowDigitalSignature), L"S_FALSE 7") << "without a document";
    EXPECT_EQ(S_FALSE, fun->put_ShowDigitalSignature(1));
    Open(kOnePage);
    EXPECT_EQ(I4(1), Script(L"ShowDigitalSignature")) << "never -1";
    SetTabVisible(2, false);
    EXPECT_EQ(I4(0), Script(L"ShowDigitalSignature"));
    ASSERT_EQ(S_OK, fun->put_ShowDigitalSignature(2));
    EXPECT_EQ(L"1111", Tabs());
    EXPECT_TRUE(PaneVisible(L"SigPane"));
    EXPECT_TRUE(Journaled(L"TabBars.SetVisible(2, -1)")) << "any non-zero value is written as true";
    ASSERT_EQ(S_OK, fun->put_ShowDigitalSignature(0));
    EXPECT_EQ(L"1101", Tabs());
    EXPECT_FALSE(PaneVisible(L"SigPane"));
}

TEST_F(Chrome, ShowTabCommandBarActsOnTheTabBarAndPaneOfEachIndex) {
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::ShowTabCommandBar, 1, VARIANT_FALSE), L"S_FALSE -1") << "no document";
    Open(kOnePage);
    for (LONG index : {0L, 5L}) EXPECT_EQ(Early(fun.get(), &IFoliumFun::ShowTabCommandBar, index, 0), L"S_FALSE -1");
    EXPECT_FALSE(Journaled(L"Visible=")) << "outside the table nothing changes";
    EXPECT_FALSE(Journaled(L"SetVisible"));
    const struct {
        LONG index;
        const wchar_t *pane, *hiddenTabs;
    } table[] = {{1, L"BookMarks", L"0111"}, {2, L"AnnotsMngPane", L"1011"}, {4, L"SigPane", L"1101"}};
    for (auto& row : table) {
        SetPaneVisible(row.pane, true);
        EXPECT_EQ(I4(-1), Script(L"ShowTabCommandBar", {VLong(row.index), VBool(false)}));
        EXPECT_EQ(row.hiddenTabs, Tabs());
        EXPECT_FALSE(PaneVisible(row.pane)) << row.index;
        EXPECT_EQ(I4(-1), Script(L"ShowTabCommandBar", {VLong(row.index), VBool(true)}));
        EXPECT_EQ(L"1111", Tabs()) << row.index;
        EXPECT_TRUE(PaneVisible(row.pane)) << row.index;
    }
    // Three changes only the attachment pane: no tab bar has an empty name.
    SetPaneVisible(L"BookMarks", false);
    sim->ClearJournal();
    EXPECT_EQ(I4(-1), Script(L"ShowTabCommandBar", {VLong(3), VBool(true)}));
    EXPECT_TRUE(PaneVisible(L"AttachmentPane"));
    EXPECT_FALSE(PaneVisible(L"BookMarks"));
    EXPECT_FALSE(Journaled(L"TabBars.SetVisible"));
    EXPECT_EQ(L"1111", Tabs());
}

TEST_F(Chrome, ShowStateIsOneWhenEitherStateBarIsShownAndWritesBoth) {
    auto state = [&] { return Early(fun.get(), &IFoliumFun::get_ShowState); };
    EXPECT_EQ(state(), L"S_OK 0") << "without a document";
    Open(kOnePage);
    EXPECT_EQ(state(), L"S_OK 1") << "1, not -1";
    {
        Quiet q(sim.get());
        Workspace()->put_StateBar1Visible(VARIANT_FALSE);
    }
    EXPECT_EQ(state(), L"S_OK 1") << "the second alone counts";
    {
        Quiet q(sim.get());
        Workspace()->put_StateBar2Visible(VARIANT_FALSE);
    }
    EXPECT_EQ(state(), L"S_OK 0");
    sim->ClearJournal();
    Put(L"ShowState", false);
    EXPECT_EQ((Lines{L"Workspace.StateBar1Visible=0", L"Workspace.StateBar2Visible=0"}), JournalWith(L"Visible="));
}

// ---- main frame, view and application switches, and flags the component keeps ---------------

TEST_F(Chrome, SwitchesPassThroughToTheReaderBothWays) {
    ComPtr<IQxMainFrame> frame;
    app->get_MainFrame(frame.put());
    const struct {
        const wchar_t* member;
        std::function<HRESULT(VARIANT_BOOL*)> host;
    } table[] = {{L"ShowSides", [&](VARIANT_BOOL* v) { return frame->get_SidePanesVisible(v); }},
                 {L"ShowTabBarVisible", [&](VARIANT_BOOL* v) { return frame->get_TabBarVisible(v); }},
                 {L"StartPageVisible", [&](VARIANT_BOOL* v) { return frame->get_StartPageVisible(v); }},
                 {L"Hide", [&](VARIANT_BOOL* v) { return app->get_Hidden(v); }},
                 {L"EnabledCopy", [&](VARIANT_BOOL* v) { return app->get_CopyEnabled(v); }}};
    for (auto& row : table)
        for (bool value : {true, false, true, false}) {
            Put(row.member, value);
            VARIANT_BOOL host = 7;
            EXPECT_EQ(Got(row.host(&host), &host), Want(S_OK, value ? VARIANT_TRUE : VARIANT_FALSE)) << row.member;
            EXPECT_EQ(Bool(value), Script(row.member)) << row.member;
        }
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_FullScreen), L"S_OK 0") << "without a document";
    EXPECT_EQ(S_OK, fun->put_FullScreen(VARIANT_TRUE));
    Open(kOnePage);
    Put(L"FullScreen", true);
    EXPECT_TRUE(Journaled(L"PageView.FullScreen=-1"));
    EXPECT_EQ(Bool(true), Script(L"FullScreen"));
    Put(L"FullScreen", false);
    EXPECT_EQ(Bool(false), Script(L"FullScreen"));
}

TEST_F(Chrome, ShowScheduleAndEnabledCommentWindowAreKeptByTheComponent) {
    EXPECT_EQ(Bool(true), Script(L"ShowSchedule"));
    EXPECT_EQ(Bool(false), Script(L"EnabledCommentWindow"));
    Put(L"ShowSchedule", false);
    Put(L"EnabledCommentWindow", true);
    EXPECT_EQ(Bool(false), Script(L"ShowSchedule"));
    EXPECT_EQ(Bool(true), Script(L"EnabledCommentWindow"));
    EXPECT_TRUE(JournalLines().empty()) << "the reader is not asked";
}

}  // namespace
