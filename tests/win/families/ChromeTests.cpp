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
    Steps({L"ShowMenus -> VT_BOOL=0"});
    SetBarVisible(0, true);
    Steps({L"ShowMenus -> VT_BOOL=-1 | Application.CommandBars | CommandBars.Count | CommandBars.Item(0) | "
           L"CommandBar.Name | CommandBar.Visible"},
          {L""});
    AddBar(L"menubar");  // a bar named in another case is spared
    Put(L"ShowMenus", false);
    EXPECT_EQ(Lines{L"MenuBar"}, HiddenBars());
}

TEST_F(Chrome, ShowPostilReadsAndShowSignsChangesOnlyTheFirstBarOfTheName) {
    LONG second = AddBar(L"Comments", false);
    Steps({L"ShowPostil -> VT_BOOL=-1"});
    SetBarVisible(10, false);
    SetBarVisible(second, true);
    AddBar(L"DigitalSignature");
    // The walks stop at the first match; ShowSigns reads false without asking the reader.
    Steps({L"ShowPostil -> VT_BOOL=0", L"ShowSigns=BOOL:0"}, {L"Item(13)"});
    Steps({L"ShowSigns -> VT_BOOL=0"}, {L""});
    EXPECT_EQ((Lines{L"Comments", L"DigitalSignature"}), HiddenBars());
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

TEST_F(Chrome, ShowMarksAndShowDigitalSignatureActOnTheirPaneAndTabBar) {
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_ShowMarks), L"S_OK 7") << "without a document";
    EXPECT_EQ(S_OK, fun->put_ShowMarks(VARIANT_TRUE));
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_ShowDigitalSignature), L"S_FALSE 7") << "without a document";
    EXPECT_EQ(S_FALSE, fun->put_ShowDigitalSignature(1));
    Open(kOnePage);
    // ShowMarks is the reader's pane "BookMarks", written only when it changes. ShowDigitalSignature
    // is 1 or 0, never -1; any non-zero value is written as true.
    Steps({L"ShowMarks -> VT_BOOL=0 | Pane.Visible", L"ShowMarks=BOOL:-1 | Pane.Visible | Pane.Visible=-1",
           L"ShowMarks -> VT_BOOL=-1 | Pane.Visible", L"ShowMarks=BOOL:-1 | Pane.Visible",
           L"ShowDigitalSignature -> VT_I4=1", L"reader." + kWorkspace + L"TabBars.SetVisible(2, BOOL:0)",
           L"ShowDigitalSignature -> VT_I4=0",
           L"ShowDigitalSignature=2 | TabBars.SetVisible(2, -1) | Pane.Visible=-1"},
          {L"Pane.Visible", L"TabBars.SetVisible"});
    EXPECT_TRUE(PaneVisible(L"BookMarks"));
    EXPECT_EQ(L"1111", Tabs());
    EXPECT_TRUE(PaneVisible(L"SigPane"));
    Steps({L"ShowDigitalSignature=0 | TabBars.SetVisible(2, 0) | Pane.Visible=0"},
          {L"Pane.Visible=", L"TabBars.SetVisible"});
    EXPECT_EQ(L"1101", Tabs());
    EXPECT_FALSE(PaneVisible(L"SigPane"));
}

TEST_F(Chrome, ShowTabCommandBarActsOnTheTabBarAndPaneOfEachIndex) {
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::ShowTabCommandBar, 1, VARIANT_FALSE), L"S_FALSE -1") << "no document";
    Open(kOnePage);
    for (LONG index : {0L, 5L}) EXPECT_EQ(Early(fun.get(), &IFoliumFun::ShowTabCommandBar, index, 0), L"S_FALSE -1");
    EXPECT_FALSE(Journaled(L"Visible")) << "outside the table nothing changes";
    const auto shown = [&](const wchar_t* pane) { return L"reader." + Pane(pane) + L"=BOOL:-1"; };
    // Panes are found by name in the reader's list: 0 "BookMarks", 1 "AnnotsMngPane", 2
    // "AttachmentPane", 3 "SigPane". Three changes only the attachment pane: no tab bar has an empty name.
    const std::wstring sigPane = L"Panes.Item(0) | Panes.Item(1) | Panes.Item(2) | Panes.Item(3) | Pane.Visible=";
    Steps({shown(L"BookMarks"),
           L"ShowTabCommandBar(1, BOOL:0) -> VT_I4=-1 | TabBars.SetVisible(0, 0) | Panes.Item(0) | Pane.Visible=0",
           L"ShowTabCommandBar(1, BOOL:-1) -> VT_I4=-1 | TabBars.SetVisible(0, -1) | Panes.Item(0) | Pane.Visible=-1",
           shown(L"AnnotsMngPane"), L"ShowTabCommandBar(2, BOOL:0) -> VT_I4=-1 | TabBars.SetVisible(1, 0) | "
           L"Panes.Item(0) | Panes.Item(1) | Pane.Visible=0",
           L"ShowTabCommandBar(2, BOOL:-1) -> VT_I4=-1 | TabBars.SetVisible(1, -1) | Panes.Item(0) | Panes.Item(1) | "
           L"Pane.Visible=-1",
           shown(L"SigPane"),
           L"ShowTabCommandBar(4, BOOL:0) -> VT_I4=-1 | TabBars.SetVisible(2, 0) | " + sigPane + L"0",
           L"ShowTabCommandBar(4, BOOL:-1) -> VT_I4=-1 | TabBars.SetVisible(2, -1) | " + sigPane + L"-1",
           L"ShowTabCommandBar(3, BOOL:-1) -> VT_I4=-1 | Panes.Item(0) | Panes.Item(1) | Panes.Item(2) | "
           L"Pane.Visible=-1"},
          {L"SetVisible(", L"Panes.Item(", L"Visible="});
    EXPECT_EQ(L"1111", Tabs());
}

TEST_F(Chrome, ShowStateIsOneWhenEitherStateBarIsShownAndWritesBoth) {
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_ShowState), L"S_OK 0") << "without a document";
    Open(kOnePage);
    const std::wstring bar = L"reader." + kWorkspace + L"StateBar";
    Steps({L"ShowState -> VT_BOOL=1", bar + L"1Visible=BOOL:0", L"ShowState -> VT_BOOL=1",
           bar + L"2Visible=BOOL:0", L"ShowState -> VT_BOOL=0",
           L"ShowState=BOOL:0 | Workspace.StateBar1Visible=0 | Workspace.StateBar2Visible=0"},
          {L"Visible="});
}

// ---- main frame, view and application switches, and flags the component keeps ---------------

TEST_F(Chrome, SwitchesPassThroughToTheReaderBothWaysOrAreKeptByTheComponent) {
    // Kept by the component: the reader is not asked.
    Steps({L"ShowSchedule -> VT_BOOL=-1", L"EnabledCommentWindow -> VT_BOOL=0", L"ShowSchedule=BOOL:0",
           L"EnabledCommentWindow=BOOL:-1", L"ShowSchedule -> VT_BOOL=0",
           L"EnabledCommentWindow -> VT_BOOL=-1"},
          {L""});
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
    Steps({L"FullScreen=BOOL:-1 | PageView.FullScreen=-1", L"FullScreen -> VT_BOOL=-1",
           L"FullScreen=BOOL:0 | PageView.FullScreen=0", L"FullScreen -> VT_BOOL=0"},
          {L"FullScreen="});
}

}  // namespace
