// Chrome visibility members through the DLL loaded by the reader simulator: what a
// script gets back (type and value), and the reader's bars, panes, tab bars and
// switches afterwards.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

// The reader's bars at start, in collection order.
const Lines kStartBars = {L"MenuBar",   L"File",         L"Rotate",   L"Zoom",     L"Standard",        L"Find",
                          L"Annots",    L"Measuring",    L"OFDSignature", L"批量签章", L"Comments", L"DigitalSignature"};

class Chrome : public ConnectedComponent {
protected:
    static std::wstring Bar(LONG i) { return L"CommandBars.Item(" + std::to_wstring(i) + L")."; }
    // Runs a call with every bar shown before it: "call -> answer, N writes: the hidden bars' names".
    std::wstring HidesAfter(const std::wstring& call) {
        const LONG bars = std::stol(Host(L"CommandBars.Count").substr(6));
        for (LONG i = 0; i < bars; ++i) Host(Bar(i) + L"Visible=BOOL:-1");
        sim->ClearJournal();
        std::wstring out = call + L" -> " + simtest::Get(sim.get(), disp.get(), call) + L", ";
        out += std::to_wstring(JournalWith(L"CommandBar.Visible=").size()) + L" writes:";
        for (LONG i = 0; i < bars; ++i)
            if (Host(Bar(i) + L"Visible") != Bool(true)) out += L" " + Host(Bar(i) + L"Name").substr(8);
        return out;
    }
};

// ---- the command-bar walks: the first or every bar of a name, exact names ------------------------

TEST_F(Chrome, BarMembersActOnTheFirstOrEveryBarOfTheirExactNames) {
    // Bars 13 to 19, after the reader's own and the hidden "MyTools".
    for (const wchar_t* name : {L"menubar", L"Comments", L"comments", L"find", L"DigitalSignature", L"", L"MENUBAR"})
        Host(L"CommandBars.Add(\"" + std::wstring(name) + L"\", missing)");
    Lines rows;
    for (LONG index = 1; index <= 11; ++index)
        rows.push_back(L"ShowCommandBar(" + std::to_wstring(index) + L", BOOL:0) -> VT_I4=-1, 1 writes: \"" +
                       kStartBars[index] + L"\"");
    rows.insert(rows.end(),
                {L"ShowMenus=BOOL:0 -> VT_EMPTY=empty, 1 writes: \"MenuBar\"",
                 L"ShowSigns=BOOL:0 -> VT_EMPTY=empty, 1 writes: \"DigitalSignature\"",
                 L"ShowPostil=BOOL:0 -> VT_EMPTY=empty, 3 writes: \"Annots\" \"Comments\" \"Comments\"",
                 L"ShowPostil=BOOL:-1 -> VT_EMPTY=empty, 3 writes:",
                 L"ShowTools=BOOL:0 -> VT_EMPTY=empty, 5 writes: \"File\" \"Rotate\" \"Zoom\" \"Standard\" \"Find\"",
                 // Outside its table ShowCommandBar looks for a bar with no name.
                 L"ShowCommandBar(0, BOOL:0) -> VT_I4=-1, 1 writes: \"\"",
                 L"ShowCommandBar(-1, BOOL:0) -> VT_I4=-1, 1 writes: \"\"",
                 L"ShowCommandBar(12, BOOL:-1) -> VT_I4=-1, 1 writes:",
                 // Every bar but the menu bar in any letter case; unlocking writes every bar.
                 L"LockScreen -> VT_I4=1, 17 writes: \"File\" \"Rotate\" \"Zoom\" \"Standard\" \"Find\" \"Annots\" "
                 L"\"Measuring\" \"OFDSignature\" \"批量签章\" \"Comments\" \"DigitalSignature\" \"MyTools\" "
                 L"\"Comments\" \"comments\" \"find\" \"DigitalSignature\" \"\"",
                 L"UnlockScreen -> VT_I4=1, 20 writes:"});
    for (const std::wstring& row : rows) EXPECT_EQ(row, HidesAfter(row.substr(0, row.find(L" -> "))));
    // Reads stop at the first bar of the name; ShowSigns reads false without asking the reader.
    const std::wstring menuBar = L"reader." + Bar(0) + L"Visible=BOOL:";
    const std::wstring first = L"reader." + Bar(10) + L"Visible=BOOL:", second = L"reader." + Bar(14) + L"Visible=BOOL:";
    Steps({menuBar + L"0", L"ShowMenus -> VT_BOOL=0", menuBar + L"-1", second + L"0", L"ShowPostil -> VT_BOOL=-1",
           first + L"0", second + L"-1", L"ShowPostil -> VT_BOOL=0"});
    Steps({L"ShowMenus -> VT_BOOL=-1 | Application.CommandBars | CommandBars.Count | CommandBars.Item(0) | "
           L"CommandBar.Name | CommandBar.Visible",
           L"ShowSigns -> VT_BOOL=0"},
          {L""});
}

// ---- panes, tab bars, state bars, main frame, view and application switches ------------------
// Tab bars at start: 0 "BookMark", 1 "AnnotsTabBar", 2 "SigTabBar", 3 "Thumbnail". Panes: 0
// "BookMarks", 1 "AnnotsMngPane", 2 "AttachmentPane", 3 "SigPane".

TEST_F(Chrome, PanesTabBarsStateBarsAndSwitchesAsTheReaderReceivesThem) {
    // Kept by the component: the reader is not asked.
    Steps({L"ShowSchedule -> VT_BOOL=-1", L"EnabledCommentWindow -> VT_BOOL=0", L"ShowSchedule=BOOL:0",
           L"EnabledCommentWindow=BOOL:-1", L"ShowSchedule -> VT_BOOL=0",
           L"EnabledCommentWindow -> VT_BOOL=-1"},
          {L""});
    const std::pair<std::wstring, std::wstring> table[] = {{L"ShowSides", L"MainFrame.SidePanesVisible"},
                                                           {L"ShowTabBarVisible", L"MainFrame.TabBarVisible"},
                                                           {L"StartPageVisible", L"MainFrame.StartPageVisible"},
                                                           {L"Hide", L"Application.Hidden"},
                                                           {L"EnabledCopy", L"Application.CopyEnabled"}};
    for (auto& [member, host] : table)
        for (const wchar_t* value : {L"-1", L"0", L"-1", L"0"})
            Steps({member + L"=BOOL:" + value + L" | " + host + L"=" + value,
                   member + L" -> VT_BOOL=" + value + L" | " + host},
                  {host});
    using F = IFoliumFun;
    EXPECT_EQ((Lines{Call(&F::get_ShowMarks), Call(&F::put_ShowMarks, VARIANT_TRUE), Call(&F::get_ShowState),
                     Call(&F::get_FullScreen), Call(&F::put_FullScreen, VARIANT_TRUE)}),
              (Lines{L"S_OK 7", L"S_OK", L"S_OK 0", L"S_OK 0", L"S_OK"}))
        << "without a document";
    Open(R"({"pages":[{"text":"chrome"}]})");
    // ShowMarks is the reader's pane "BookMarks", written only when it changes. ShowDigitalSignature
    // is 1 or 0, never -1; any non-zero value is written as true. Panes are found by name in the
    // reader's list; ShowTabCommandBar 3 changes only the attachment pane: no tab bar has an empty
    // name. Either state bar shown reads as 1.
    const std::wstring sigPane = L"Panes.Item(0) | Panes.Item(1) | Panes.Item(2) | Panes.Item(3) | Pane.Visible=";
    const std::wstring stateBar = L"reader.Documents.ActiveDocument.Workspace.StateBar";
    Steps({L"ShowMarks -> VT_BOOL=0 | Panes.Item(0) | Pane.Visible",
           L"ShowMarks=BOOL:-1 | Panes.Item(0) | Pane.Visible | Pane.Visible=-1",
           L"ShowMarks -> VT_BOOL=-1 | Panes.Item(0) | Pane.Visible",
           L"ShowMarks=BOOL:-1 | Panes.Item(0) | Pane.Visible", L"ShowDigitalSignature -> VT_I4=1",
           L"reader.Documents.ActiveDocument.Workspace.TabBars.SetVisible(2, BOOL:0)",
           L"ShowDigitalSignature -> VT_I4=0",
           L"ShowDigitalSignature=2 | TabBars.SetVisible(2, -1) | " + sigPane + L"-1",
           L"ShowDigitalSignature=0 | TabBars.SetVisible(2, 0) | " + sigPane + L"0",
           L"ShowTabCommandBar(0, BOOL:0) -> VT_I4=-1", L"ShowTabCommandBar(5, BOOL:0) -> VT_I4=-1",
           L"ShowTabCommandBar(1, BOOL:0) -> VT_I4=-1 | TabBars.SetVisible(0, 0) | Panes.Item(0) | Pane.Visible=0",
           L"ShowTabCommandBar(1, BOOL:-1) -> VT_I4=-1 | TabBars.SetVisible(0, -1) | Panes.Item(0) | Pane.Visible=-1",
           L"ShowTabCommandBar(2, BOOL:0) -> VT_I4=-1 | TabBars.SetVisible(1, 0) | Panes.Item(0) | Panes.Item(1) | "
           L"Pane.Visible=0",
           L"ShowTabCommandBar(4, BOOL:0) -> VT_I4=-1 | TabBars.SetVisible(2, 0) | " + sigPane + L"0",
           L"ShowTabCommandBar(3, BOOL:-1) -> VT_I4=-1 | Panes.Item(0) | Panes.Item(1) | Panes.Item(2) | "
           L"Pane.Visible=-1",
           L"ShowState -> VT_BOOL=1", stateBar + L"1Visible=BOOL:0", L"ShowState -> VT_BOOL=1",
           stateBar + L"2Visible=BOOL:0", L"ShowState -> VT_BOOL=0",
           L"ShowState=BOOL:0 | Workspace.StateBar1Visible=0 | Workspace.StateBar2Visible=0",
           L"FullScreen=BOOL:-1 | PageView.FullScreen=-1", L"FullScreen -> VT_BOOL=-1",
           L"FullScreen=BOOL:0 | PageView.FullScreen=0", L"FullScreen -> VT_BOOL=0"},
          {L"Pane.Visible", L"SetVisible(", L"Panes.Item(", L"Visible=", L"FullScreen="});
}

}  // namespace
