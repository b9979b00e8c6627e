// Chrome visibility members through the DLL loaded by the reader simulator: what a
// script gets back (type and value), and the reader's bars, panes, tab bars and
// switches afterwards.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

const char kOnePage[] = R"({"pages":[{"text":"chrome"}]})";

// The reader's bars at start, in collection order.
const Lines kStartBars = {L"MenuBar",   L"File",         L"Rotate",   L"Zoom",     L"Standard",        L"Find",
                          L"Annots",    L"Measuring",    L"OFDSignature", L"批量签章", L"Comments", L"DigitalSignature"};

const std::wstring kWorkspace = L"Documents.ActiveDocument.Workspace.";

// A flag as a walk writes it.
std::wstring Flag(bool value) { return value ? L"BOOL:-1" : L"BOOL:0"; }

class Chrome : public ConnectedComponent {
protected:
    std::wstring Host(const std::wstring& path) { return HostWalk(sim.get(), app.get(), path); }
    static std::wstring Bar(LONG i) { return L"CommandBars.Item(" + std::to_wstring(i) + L")."; }
    LONG BarCount() { return std::stol(Host(L"CommandBars.Count").substr(6)); }
    // The bars' visibility in collection order ("1" shown, "0" hidden), or the hidden bars' names.
    std::wstring Shown(Lines* hidden = nullptr) {
        std::wstring out;
        for (LONG i = 0, n = BarCount(); i < n; ++i) {
            const bool shown = Host(Bar(i) + L"Visible") == Bool(true);
            const std::wstring name = Host(Bar(i) + L"Name");  // VT_BSTR="..."
            out += shown ? L'1' : L'0';
            if (hidden && !shown) hidden->push_back(name.substr(9, name.size() - 10));
        }
        return out;
    }
    Lines HiddenBars() {
        Lines out;
        Shown(&out);
        return out;
    }
    void SetBarVisible(LONG i, bool visible) { Host(Bar(i) + L"Visible=" + Flag(visible)); }
    LONG AddBar(const std::wstring& name, bool visible = true) {
        Host(L"CommandBars.Add(\"" + name + L"\", missing).Visible=" + Flag(visible));
        return BarCount() - 1;
    }
    std::wstring Pane(const std::wstring& name) { return kWorkspace + L"Panes.Item(\"" + name + L"\").Visible"; }
    bool PaneVisible(const std::wstring& name) { return Host(Pane(name)) == Bool(true); }
    void SetPaneVisible(const std::wstring& name, bool visible) { Host(Pane(name) + L"=" + Flag(visible)); }
    // Tab bars at start: 0 "BookMark", 1 "AnnotsTabBar", 2 "SigTabBar", 3 "Thumbnail"; as "1111".
    std::wstring Tabs() {
        std::wstring out;
        for (int i = 0; i < 4; ++i)
            out += Host(kWorkspace + L"TabBars.GetVisible(" + std::to_wstring(i) + L")") == Bool(true) ? L'1' : L'0';
        return out;
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
    Host(kWorkspace + L"TabBars.SetVisible(2, BOOL:0)");
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
    Host(kWorkspace + L"StateBar1Visible=BOOL:0");
    EXPECT_EQ(state(), L"S_OK 1") << "the second alone counts";
    Host(kWorkspace + L"StateBar2Visible=BOOL:0");
    EXPECT_EQ(state(), L"S_OK 0");
    sim->ClearJournal();
    Put(L"ShowState", false);
    EXPECT_EQ((Lines{L"Workspace.StateBar1Visible=0", L"Workspace.StateBar2Visible=0"}), JournalWith(L"Visible="));
}

// ---- main frame, view and application switches, and flags the component keeps ---------------

TEST_F(Chrome, SwitchesPassThroughToTheReaderBothWays) {
    const std::pair<const wchar_t*, const wchar_t*> table[] = {{L"ShowSides", L"MainFrame.SidePanesVisible"},
                                                               {L"ShowTabBarVisible", L"MainFrame.TabBarVisible"},
                                                               {L"StartPageVisible", L"MainFrame.StartPageVisible"},
                                                               {L"Hide", L"Hidden"},
                                                               {L"EnabledCopy", L"CopyEnabled"}};
    for (auto [member, host] : table)
        for (bool value : {true, false, true, false}) {
            Put(member, value);
            EXPECT_EQ(Host(host), Bool(value)) << member;
            EXPECT_EQ(Bool(value), Script(member)) << member;
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
