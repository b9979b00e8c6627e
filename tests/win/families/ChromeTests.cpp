// Chrome visibility members through the DLL loaded by the reader simulator: what a
// script gets back, and the reader's bars, panes, tab bars and switches afterwards.
#include "FamilyTestSupport.h"

#include <utility>

using namespace testsupport;

namespace {

const char kOnePage[] = R"({"pages":[{"text":"chrome"}]})";

// The reader's bars at start, in collection order.
const std::vector<std::wstring> kStartBars = {
    L"MenuBar", L"File",     L"Rotate",       L"Zoom",     L"Standard",        L"Find",
    L"Annots",  L"Measuring", L"OFDSignature", L"批量签章", L"Comments", L"DigitalSignature"};

class Chrome : public ConnectedComponent {
protected:
    // Host reads and writes made by the test itself stay out of the journal.
    struct Quiet {
        IQxSimulator* sim;
        explicit Quiet(IQxSimulator* s) : sim(s) { sim->put_Recording(VARIANT_FALSE); }
        ~Quiet() { sim->put_Recording(VARIANT_TRUE); }
    };

    ComPtr<IQxCommandBars> Bars() {
        ComPtr<IQxCommandBars> bars;
        app->get_CommandBars(bars.put());
        return bars;
    }
    ComPtr<IQxCommandBar> BarAt(LONG i) {
        auto index = ScopedVariant::I4(i);
        ComPtr<IQxCommandBar> bar;
        Bars()->Item(*index.get(), bar.put());
        return bar;
    }
    LONG BarCount() {
        LONG n = 0;
        Bars()->get_Count(&n);
        return n;
    }
    // Every bar as (name, visible), in collection order.
    std::vector<std::pair<std::wstring, bool>> BarStates() {
        Quiet q(sim.get());
        std::vector<std::pair<std::wstring, bool>> out;
        for (LONG i = 0, n = BarCount(); i < n; ++i) {
            auto bar = BarAt(i);
            UniqueBstr name;
            VARIANT_BOOL v = VARIANT_FALSE;
            bar->get_Name(name.put());
            bar->get_Visible(&v);
            out.emplace_back(name.c_str(), v == VARIANT_TRUE);
        }
        return out;
    }
    // The names of the hidden bars, in collection order.
    std::vector<std::wstring> HiddenBars() {
        std::vector<std::wstring> out;
        for (auto& [name, visible] : BarStates())
            if (!visible) out.push_back(name);
        return out;
    }
    void SetBarVisible(LONG i, bool visible) {
        Quiet q(sim.get());
        BarAt(i)->put_Visible(visible ? VARIANT_TRUE : VARIANT_FALSE);
    }
    LONG AddBar(const wchar_t* name, bool visible = true) {
        Quiet q(sim.get());
        auto n = ScopedVariant::Bstr(name);
        ScopedVariant missing;
        missing = folium::ScopedVariant::Missing();
        ComPtr<IQxCommandBar> bar;
        Bars()->Add(*n.get(), *missing.get(), bar.put());
        bar->put_Visible(visible ? VARIANT_TRUE : VARIANT_FALSE);
        return BarCount() - 1;
    }
    void HideAllBars() {
        for (LONG i = 0, n = BarCount(); i < n; ++i) SetBarVisible(i, false);
    }

    ComPtr<IQxWorkspace> Workspace() {
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        ComPtr<IQxDocument> doc;
        docs->get_ActiveDocument(doc.put());
        ComPtr<IQxWorkspace> ws;
        doc->get_Workspace(ws.put());
        return ws;
    }
    ComPtr<IQxPane> Pane(const wchar_t* name) {
        ComPtr<IQxPanes> panes;
        Workspace()->get_Panes(panes.put());
        auto key = ScopedVariant::Bstr(name);
        ComPtr<IQxPane> pane;
        panes->Item(*key.get(), pane.put());
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
    // Tab bars at start: 0 "BookMark", 1 "AnnotsTabBar", 2 "SigTabBar", 3 "Thumbnail".
    ComPtr<IQxTabBars> TabBars() {
        ComPtr<IQxTabBars> tabs;
        Workspace()->get_TabBars(tabs.put());
        return tabs;
    }
    bool TabVisible(LONG i) {
        Quiet q(sim.get());
        VARIANT_BOOL v = VARIANT_FALSE;
        TabBars()->GetVisible(i, &v);
        return v == VARIANT_TRUE;
    }
    void SetTabVisible(LONG i, bool visible) {
        Quiet q(sim.get());
        TabBars()->SetVisible(i, visible ? VARIANT_TRUE : VARIANT_FALSE);
    }
    std::vector<bool> TabStates() {
        std::vector<bool> out;
        for (LONG i = 0; i < 4; ++i) out.push_back(TabVisible(i));
        return out;
    }
    ComPtr<IQxMainFrame> Frame() {
        ComPtr<IQxMainFrame> f;
        app->get_MainFrame(f.put());
        return f;
    }

    // Late-bound, as a page script reads a property.
    ScopedVariant Get(const wchar_t* name) {
        ScopedVariant r;
        EXPECT_EQ(S_OK, CallByName(disp.get(), name, DISPATCH_PROPERTYGET, {}, r.get())) << name;
        return r;
    }
    void Put(const wchar_t* name, VARIANT value) {
        EXPECT_EQ(S_OK, CallByName(disp.get(), name, DISPATCH_PROPERTYPUT, {value}, nullptr)) << name;
    }
    size_t CountJournaled(const std::wstring& fragment) {
        size_t n = 0;
        for (auto& l : JournalLines())
            if (l.find(fragment) != std::wstring::npos) ++n;
        return n;
    }
};

// ---- the command-bar walk: first match, exact names --------------------------------------

using CommandBarFirstMatch = Chrome;

TEST_F(CommandBarFirstMatch, ShowMenusReadsTheMenuBarAsTheReaderReportsIt) {
    SetBarVisible(0, false);
    ScopedVariant hidden = Get(L"ShowMenus");
    EXPECT_EQ(VT_BOOL, hidden->vt);
    EXPECT_EQ(VARIANT_FALSE, hidden->boolVal);
    SetBarVisible(0, true);
    EXPECT_EQ(VARIANT_TRUE, Get(L"ShowMenus")->boolVal);
}

TEST_F(CommandBarFirstMatch, ShowMenusStopsAtTheMenuBar) {
    VARIANT_BOOL v = 7;
    ASSERT_EQ(S_OK, fun->get_ShowMenus(&v));
    EXPECT_EQ((std::vector<std::wstring>{L"Application.CommandBars", L"CommandBars.Count", L"CommandBars.Item(0)",
                                         L"CommandBar.Name", L"CommandBar.Visible"}),
              JournalLines());
}

TEST_F(CommandBarFirstMatch, ShowMenusPutSparesABarNamedInAnotherCase) {
    AddBar(L"menubar");
    ASSERT_EQ(S_OK, fun->put_ShowMenus(VARIANT_FALSE));
    EXPECT_EQ(std::vector<std::wstring>{L"MenuBar"}, HiddenBars());
}

TEST_F(CommandBarFirstMatch, ShowPostilReadsOnlyTheFirstCommentsBar) {
    LONG second = AddBar(L"Comments", false);
    EXPECT_EQ(VARIANT_TRUE, Get(L"ShowPostil")->boolVal);
    SetBarVisible(10, false);
    SetBarVisible(second, true);
    EXPECT_EQ(VARIANT_FALSE, Get(L"ShowPostil")->boolVal);
}

TEST_F(CommandBarFirstMatch, ShowSignsPutChangesOnlyTheFirstDigitalSignatureBar) {
    LONG second = AddBar(L"DigitalSignature");
    Put(L"ShowSigns", VBool(false));
    EXPECT_EQ(std::vector<std::wstring>{L"DigitalSignature"}, HiddenBars());
    EXPECT_TRUE(BarStates()[second].second);
    EXPECT_FALSE(Journaled(L"CommandBars.Item(" + std::to_wstring(second) + L")")) << "the walk stops at the match";
}

TEST_F(CommandBarFirstMatch, ShowSignsGetIsFalseWithoutAskingTheReader) {
    ScopedVariant v = Get(L"ShowSigns");
    EXPECT_EQ(VT_BOOL, v->vt);
    EXPECT_EQ(VARIANT_FALSE, v->boolVal);
    EXPECT_TRUE(JournalLines().empty());
}

TEST_F(CommandBarFirstMatch, ShowCommandBarActsOnTheBarOfEachIndex) {
    for (LONG index = 1; index <= 11; ++index) {
        for (LONG i = 0; i < BarCount(); ++i) SetBarVisible(i, true);
        LONG ret = 0;
        ASSERT_EQ(S_OK, fun->ShowCommandBar(index, VARIANT_FALSE, &ret));
        EXPECT_EQ(-1, ret);
        EXPECT_EQ(std::vector<std::wstring>{kStartBars[index]}, HiddenBars()) << "index " << index;
    }
}

TEST_F(CommandBarFirstMatch, ShowCommandBarNineIsTheBatchSealBarLateBound) {
    ScopedVariant r;
    ASSERT_EQ(S_OK, CallByName(disp.get(), L"ShowCommandBar", DISPATCH_METHOD, {VLong(9), VBool(false)}, r.get()));
    EXPECT_EQ(VT_I4, r->vt);
    EXPECT_EQ(-1, r->lVal);
    EXPECT_EQ(std::vector<std::wstring>{L"批量签章"}, HiddenBars());
}

TEST_F(CommandBarFirstMatch, ShowCommandBarOutsideTheTableLooksForAnUnnamedBar) {
    for (LONG index : {0L, 12L, -1L}) {
        LONG ret = 0;
        ASSERT_EQ(S_OK, fun->ShowCommandBar(index, VARIANT_FALSE, &ret));
        EXPECT_EQ(-1, ret);
    }
    EXPECT_TRUE(HiddenBars().empty());
    LONG unnamed = AddBar(L"");
    LONG ret = 0;
    ASSERT_EQ(S_OK, fun->ShowCommandBar(0, VARIANT_FALSE, &ret));
    EXPECT_EQ(std::vector<std::wstring>{L""}, HiddenBars());
    ASSERT_EQ(S_OK, fun->ShowCommandBar(12, VARIANT_TRUE, &ret));
    EXPECT_TRUE(BarStates()[unnamed].second);
}

// ---- the command-bar walk over every bar ---------------------------------------------------

using CommandBarEveryBar = Chrome;

TEST_F(CommandBarEveryBar, ShowPostilPutChangesEveryCommentsAndAnnotsBarExactly) {
    AddBar(L"Comments");
    AddBar(L"comments");
    Put(L"ShowPostil", VBool(false));
    EXPECT_EQ((std::vector<std::wstring>{L"Annots", L"Comments", L"Comments"}), HiddenBars());
    Put(L"ShowPostil", VBool(true));
    EXPECT_TRUE(HiddenBars().empty());
}

TEST_F(CommandBarEveryBar, ShowToolsPutChangesTheFiveToolBarsExactly) {
    AddBar(L"find");
    Put(L"ShowTools", VBool(false));
    EXPECT_EQ((std::vector<std::wstring>{L"File", L"Rotate", L"Zoom", L"Standard", L"Find"}), HiddenBars());
}

TEST_F(CommandBarEveryBar, ShowToolsGetAndShowTitleLeaveTheResultAlone) {
    VARIANT_BOOL tools = 7, title = 7;
    EXPECT_EQ(S_OK, fun->get_ShowTools(&tools));
    EXPECT_EQ(S_OK, fun->get_ShowTitle(&title));
    EXPECT_EQ(7, tools);
    EXPECT_EQ(7, title);
    EXPECT_EQ(S_OK, fun->put_ShowTitle(VARIANT_FALSE));
    EXPECT_TRUE(JournalLines().empty());
}

TEST_F(CommandBarEveryBar, LockScreenHidesAllButTheMenuBarInAnyCase) {
    AddBar(L"MENUBAR");
    AddBar(L"MyTools");
    LONG ret = 0;
    ASSERT_EQ(S_OK, fun->LockScreen(&ret));
    EXPECT_EQ(1, ret);
    for (auto& [name, visible] : BarStates())
        EXPECT_EQ(name == L"MenuBar" || name == L"MENUBAR", visible) << std::string(name.begin(), name.end());
}

TEST_F(CommandBarEveryBar, UnlockScreenShowsBarsHiddenBeforeTheLock) {
    SetBarVisible(3, false);
    AddBar(L"MyTools", false);
    LONG ret = 0;
    ASSERT_EQ(S_OK, fun->LockScreen(&ret));
    ASSERT_EQ(S_OK, fun->UnlockScreen(&ret));
    EXPECT_EQ(1, ret);
    EXPECT_TRUE(HiddenBars().empty());
    EXPECT_EQ(static_cast<size_t>(BarCount()), CountJournaled(L"CommandBar.Visible=-1"));
}

// ---- the pane walk ------------------------------------------------------------------------

using PaneWalk = Chrome;

TEST_F(PaneWalk, ShowMarksReadsTheBookmarksPaneWhateverItsCase) {
    Open(kOnePage);
    VARIANT_BOOL v = 7;
    ASSERT_EQ(S_OK, fun->get_ShowMarks(&v));
    EXPECT_EQ(VARIANT_FALSE, v) << "the reader's pane is \"BookMarks\"";
    SetPaneVisible(L"BookMarks", true);
    EXPECT_EQ(VARIANT_TRUE, Get(L"ShowMarks")->boolVal);
}

TEST_F(PaneWalk, ShowMarksPutWritesOnlyWhenThePaneChanges) {
    Open(kOnePage);
    Put(L"ShowMarks", VBool(true));
    EXPECT_TRUE(PaneVisible(L"BookMarks"));
    EXPECT_EQ(1u, CountJournaled(L"Pane.Visible=-1"));
    sim->ClearJournal();
    Put(L"ShowMarks", VBool(true));
    EXPECT_TRUE(Journaled(L"Pane.Visible"));
    EXPECT_FALSE(Journaled(L"Pane.Visible=")) << "same value: read, no write";
}

TEST_F(PaneWalk, ShowMarksWithoutDocumentLeavesTheResult) {
    VARIANT_BOOL v = 7;
    EXPECT_EQ(S_OK, fun->get_ShowMarks(&v));
    EXPECT_EQ(7, v);
    EXPECT_EQ(S_OK, fun->put_ShowMarks(VARIANT_TRUE));
}

// ---- the tab-bar walk -------------------------------------------------------------------

using TabBarWalk = Chrome;

TEST_F(TabBarWalk, ShowDigitalSignatureGetIsOneOrZeroNeverMinusOne) {
    Open(kOnePage);
    ScopedVariant shown = Get(L"ShowDigitalSignature");
    EXPECT_EQ(VT_I4, shown->vt);
    EXPECT_EQ(1, shown->lVal);
    SetTabVisible(2, false);
    EXPECT_EQ(0, Get(L"ShowDigitalSignature")->lVal);
}

TEST_F(TabBarWalk, ShowDigitalSignaturePutShowsAndHidesTabBarAndPane) {
    Open(kOnePage);
    SetTabVisible(2, false);
    ASSERT_EQ(S_OK, fun->put_ShowDigitalSignature(2));
    EXPECT_TRUE(TabVisible(2));
    EXPECT_TRUE(PaneVisible(L"SigPane"));
    EXPECT_TRUE(Journaled(L"TabBars.SetVisible(2, -1)")) << "any non-zero value is written as true";
    ASSERT_EQ(S_OK, fun->put_ShowDigitalSignature(0));
    EXPECT_FALSE(TabVisible(2));
    EXPECT_FALSE(PaneVisible(L"SigPane"));
    EXPECT_EQ((std::vector<bool>{true, true, false, true}), TabStates());
}

TEST_F(TabBarWalk, ShowDigitalSignatureWithoutDocumentIsNotDone) {
    LONG v = 7;
    EXPECT_EQ(S_FALSE, fun->get_ShowDigitalSignature(&v));
    EXPECT_EQ(7, v);
    EXPECT_EQ(S_FALSE, fun->put_ShowDigitalSignature(1));
}

TEST_F(TabBarWalk, ShowTabCommandBarActsOnTheTabBarAndPaneOfEachIndex) {
    Open(kOnePage);
    const struct {
        LONG index;
        LONG tab;
        const wchar_t* pane;
    } table[] = {{1, 0, L"BookMarks"}, {2, 1, L"AnnotsMngPane"}, {4, 2, L"SigPane"}};
    for (auto& row : table) {
        SetPaneVisible(row.pane, true);
        LONG ret = 0;
        ASSERT_EQ(S_OK, fun->ShowTabCommandBar(row.index, VARIANT_FALSE, &ret));
        EXPECT_EQ(-1, ret);
        EXPECT_FALSE(TabVisible(row.tab)) << row.index;
        EXPECT_FALSE(PaneVisible(row.pane)) << row.index;
        ASSERT_EQ(S_OK, fun->ShowTabCommandBar(row.index, VARIANT_TRUE, &ret));
        EXPECT_EQ((std::vector<bool>{true, true, true, true}), TabStates()) << row.index;
        EXPECT_TRUE(PaneVisible(row.pane)) << row.index;
    }
}

TEST_F(TabBarWalk, ShowTabCommandBarThreeChangesOnlyTheAttachmentPane) {
    Open(kOnePage);
    ScopedVariant r;
    ASSERT_EQ(S_OK, CallByName(disp.get(), L"ShowTabCommandBar", DISPATCH_METHOD, {VLong(3), VBool(true)}, r.get()));
    EXPECT_EQ(-1, r->lVal);
    EXPECT_TRUE(PaneVisible(L"AttachmentPane"));
    EXPECT_FALSE(PaneVisible(L"BookMarks"));
    EXPECT_FALSE(Journaled(L"TabBars.SetVisible")) << "no tab bar has an empty name";
    EXPECT_EQ((std::vector<bool>{true, true, true, true}), TabStates());
}

TEST_F(TabBarWalk, ShowTabCommandBarOutsideTheTableChangesNothing) {
    Open(kOnePage);
    for (LONG index : {0L, 5L}) {
        LONG ret = 0;
        EXPECT_EQ(S_FALSE, fun->ShowTabCommandBar(index, VARIANT_FALSE, &ret));
        EXPECT_EQ(-1, ret);
    }
    EXPECT_EQ((std::vector<bool>{true, true, true, true}), TabStates());
    EXPECT_FALSE(Journaled(L".Visible="));
    EXPECT_FALSE(Journaled(L"SetVisible"));
}

TEST_F(TabBarWalk, ShowTabCommandBarWithoutDocumentIsNotDone) {
    LONG ret = 0;
    EXPECT_EQ(S_FALSE, fun->ShowTabCommandBar(1, VARIANT_FALSE, &ret));
    EXPECT_EQ(-1, ret);
}

// ---- state bars ---------------------------------------------------------------------------

using StateBars = Chrome;

TEST_F(StateBars, ShowStateIsOneWhenEitherStateBarIsShown) {
    Open(kOnePage);
    auto state = [&] {
        VARIANT_BOOL v = 7;
        EXPECT_EQ(S_OK, fun->get_ShowState(&v));
        return v;
    };
    EXPECT_EQ(1, state()) << "1, not -1";
    {
        Quiet q(sim.get());
        Workspace()->put_StateBar1Visible(VARIANT_FALSE);
    }
    EXPECT_EQ(1, state()) << "the second alone counts";
    {
        Quiet q(sim.get());
        Workspace()->put_StateBar2Visible(VARIANT_FALSE);
    }
    EXPECT_EQ(0, state());
}

TEST_F(StateBars, ShowStatePutWritesBothStateBarsInOrder) {
    Open(kOnePage);
    Put(L"ShowState", VBool(false));
    std::vector<std::wstring> writes;
    for (auto& l : JournalLines())
        if (l.find(L"Visible=") != std::wstring::npos) writes.push_back(l);
    EXPECT_EQ((std::vector<std::wstring>{L"Workspace.StateBar1Visible=0", L"Workspace.StateBar2Visible=0"}), writes);
}

TEST_F(StateBars, ShowStateWithoutDocumentIsFalse) {
    VARIANT_BOOL v = 7;
    EXPECT_EQ(S_OK, fun->get_ShowState(&v));
    EXPECT_EQ(VARIANT_FALSE, v);
}

// ---- main frame, view and application switches ---------------------------------------

using Switches = Chrome;

TEST_F(Switches, MainFrameFlagsPassThroughBothWays) {
    const struct {
        const wchar_t* member;
        HRESULT (STDMETHODCALLTYPE IQxMainFrame::*get)(VARIANT_BOOL*);
    } table[] = {{L"ShowSides", &IQxMainFrame::get_SidePanesVisible},
                 {L"ShowTabBarVisible", &IQxMainFrame::get_TabBarVisible},
                 {L"StartPageVisible", &IQxMainFrame::get_StartPageVisible}};
    for (auto& row : table) {
        for (bool value : {true, false, true}) {
            Put(row.member, VBool(value));
            VARIANT_BOOL host = 7;
            (Frame().get()->*row.get)(&host);
            EXPECT_EQ(value ? VARIANT_TRUE : VARIANT_FALSE, host) << row.member;
            EXPECT_EQ(host, Get(row.member)->boolVal) << row.member;
        }
    }
}

TEST_F(Switches, HideAndEnabledCopyDriveTheApplication) {
    Put(L"Hide", VBool(true));
    Put(L"EnabledCopy", VBool(false));
    VARIANT_BOOL hidden = 0, copy = -1;
    app->get_Hidden(&hidden);
    app->get_CopyEnabled(&copy);
    EXPECT_EQ(VARIANT_TRUE, hidden);
    EXPECT_EQ(VARIANT_FALSE, copy);
    EXPECT_EQ(VARIANT_TRUE, Get(L"Hide")->boolVal);
    EXPECT_EQ(VARIANT_FALSE, Get(L"EnabledCopy")->boolVal);
}

TEST_F(Switches, FullScreenDrivesTheActiveDocumentsView) {
    Open(kOnePage);
    Put(L"FullScreen", VBool(true));
    EXPECT_TRUE(Journaled(L"PageView.FullScreen=-1"));
    EXPECT_EQ(VARIANT_TRUE, Get(L"FullScreen")->boolVal);
    Put(L"FullScreen", VBool(false));
    EXPECT_EQ(VARIANT_FALSE, Get(L"FullScreen")->boolVal);
}

TEST_F(Switches, FullScreenWithoutDocumentReadsFalse) {
    VARIANT_BOOL v = 7;
    EXPECT_EQ(S_OK, fun->get_FullScreen(&v));
    EXPECT_EQ(VARIANT_FALSE, v);
    EXPECT_EQ(S_OK, fun->put_FullScreen(VARIANT_TRUE));
}

// ---- flags kept by the component -----------------------------------------------------

using KeptFlags = Chrome;

TEST_F(KeptFlags, ShowScheduleStartsTrueAndKeepsWhatIsPut) {
    EXPECT_EQ(VARIANT_TRUE, Get(L"ShowSchedule")->boolVal);
    Put(L"ShowSchedule", VBool(false));
    EXPECT_EQ(VARIANT_FALSE, Get(L"ShowSchedule")->boolVal);
    EXPECT_TRUE(JournalLines().empty()) << "the reader is not asked";
}

TEST_F(KeptFlags, EnabledCommentWindowStartsFalseAndKeepsWhatIsPut) {
    EXPECT_EQ(VARIANT_FALSE, Get(L"EnabledCommentWindow")->boolVal);
    Put(L"EnabledCommentWindow", VBool(true));
    EXPECT_EQ(VARIANT_TRUE, Get(L"EnabledCommentWindow")->boolVal);
    EXPECT_TRUE(JournalLines().empty());
}

// ---- no reader connected -----------------------------------------------------------------

// The component made directly by a script, never connected to a reader.
class ChromeWithoutReader : public ::testing::Test {
protected:
    ComApartment com;
    ComPtr<IFoliumFun> fun;
    void SetUp() override {
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FoliumFun, nullptr, CLSCTX_INPROC_SERVER, IID_IFoliumFun, fun.put_void()));
    }
};

TEST_F(ChromeWithoutReader, GettersAnswerTheirDefaultsAndSFalse) {
    const struct {
        const char* name;
        HRESULT (STDMETHODCALLTYPE IFoliumFun::*get)(VARIANT_BOOL*);
        VARIANT_BOOL expected;  // 7: left untouched
    } table[] = {{"ShowMenus", &IFoliumFun::get_ShowMenus, 1},
                 {"ShowPostil", &IFoliumFun::get_ShowPostil, 1},
                 {"ShowState", &IFoliumFun::get_ShowState, 0},
                 {"ShowSides", &IFoliumFun::get_ShowSides, 0},
                 {"StartPageVisible", &IFoliumFun::get_StartPageVisible, 0},
                 {"Hide", &IFoliumFun::get_Hide, 0},
                 {"EnabledCopy", &IFoliumFun::get_EnabledCopy, 0},
                 {"ShowMarks", &IFoliumFun::get_ShowMarks, 7},
                 {"ShowTabBarVisible", &IFoliumFun::get_ShowTabBarVisible, 7},
                 {"FullScreen", &IFoliumFun::get_FullScreen, 7}};
    for (auto& row : table) {
        VARIANT_BOOL v = 7;
        EXPECT_EQ(S_FALSE, (fun.get()->*row.get)(&v)) << row.name;
        EXPECT_EQ(row.expected, v) << row.name;
    }
    LONG sig = 7;
    EXPECT_EQ(S_FALSE, fun->get_ShowDigitalSignature(&sig));
    EXPECT_EQ(7, sig);
}

TEST_F(ChromeWithoutReader, SettersAndMethodsDoNotReachForAReader) {
    const struct {
        const char* name;
        HRESULT (STDMETHODCALLTYPE IFoliumFun::*put)(VARIANT_BOOL);
    } table[] = {{"ShowMenus", &IFoliumFun::put_ShowMenus},   {"ShowPostil", &IFoliumFun::put_ShowPostil},
                 {"ShowSigns", &IFoliumFun::put_ShowSigns},   {"ShowTools", &IFoliumFun::put_ShowTools},
                 {"ShowMarks", &IFoliumFun::put_ShowMarks},   {"ShowState", &IFoliumFun::put_ShowState},
                 {"ShowSides", &IFoliumFun::put_ShowSides},   {"ShowTabBarVisible", &IFoliumFun::put_ShowTabBarVisible},
                 {"Hide", &IFoliumFun::put_Hide},             {"EnabledCopy", &IFoliumFun::put_EnabledCopy},
                 {"StartPageVisible", &IFoliumFun::put_StartPageVisible}};
    for (auto& row : table) EXPECT_EQ(S_FALSE, (fun.get()->*row.put)(VARIANT_TRUE)) << row.name;
    EXPECT_EQ(S_OK, fun->put_FullScreen(VARIANT_TRUE)) << "nothing to change is not a failure";
    EXPECT_EQ(S_FALSE, fun->put_ShowDigitalSignature(1));

    LONG ret = 0;
    EXPECT_EQ(S_FALSE, fun->ShowCommandBar(1, VARIANT_FALSE, &ret));
    EXPECT_EQ(-1, ret);
    ret = 0;
    EXPECT_EQ(S_FALSE, fun->ShowTabCommandBar(1, VARIANT_FALSE, &ret));
    EXPECT_EQ(-1, ret);
    ret = 0;
    EXPECT_EQ(S_FALSE, fun->LockScreen(&ret));
    EXPECT_EQ(1, ret);
    ret = 0;
    EXPECT_EQ(S_FALSE, fun->UnlockScreen(&ret));
    EXPECT_EQ(1, ret);
}

TEST_F(ChromeWithoutReader, KeptFlagsAndShowSignsWorkAlone) {
    VARIANT_BOOL v = 7;
    EXPECT_EQ(S_OK, fun->get_ShowSigns(&v));
    EXPECT_EQ(VARIANT_FALSE, v);
    EXPECT_EQ(S_OK, fun->put_ShowSchedule(VARIANT_FALSE));
    EXPECT_EQ(S_OK, fun->get_ShowSchedule(&v));
    EXPECT_EQ(VARIANT_FALSE, v);
    EXPECT_EQ(S_OK, fun->put_EnabledCommentWindow(VARIANT_TRUE));
    EXPECT_EQ(S_OK, fun->get_EnabledCommentWindow(&v));
    EXPECT_EQ(VARIANT_TRUE, v);
}

}  // namespace
