// Navigation, view state, bookmarks and text search through the DLL loaded by the
// reader simulator: what a script gets back (type and value), and the view, finder and
// selection state of the reader afterwards.
#include "FamilyTestSupport.h"

#include <climits>

using namespace testsupport;

namespace {

// Four pages. Text boxes in the simulated reader: a narrow character advances by
// half the run's size, a wide one by the size; glyphs stand between y and y + size.
//   page 1: "alpha" at x 100..125 and 155..180 (y 700..710), "Alpha" at x 50..80 (y 600..612)
//   page 2: "far" at x 1234567.5 (y 10..20)
//   page 4: "ALPHA" at x 200.5..220.5 (y 300.25..308.25)
const char kDocument[] = R"({
  "permissions": {"0": false, "1": true, "2": false},
  "pages": [
    {"width": 595.5, "height": 842.25, "rotation": 90,
     "text": [{"x": 100, "y": 700, "size": 10, "text": "alpha beta alpha"},
              {"x": 50, "y": 600, "size": 12, "text": "Alpha"}]},
    {"text": [{"x": 1234567.5, "y": 10, "size": 10, "text": "far"}]},
    {},
    {"text": [{"x": 200.5, "y": 300.25, "size": 8, "text": "ALPHA"}]}
  ],
  "bookmarks": [
    {"title": "第一章", "page": 1, "children": [
      {"title": "第一节 甲", "page": 2},
      {"title": "第二节 乙", "page": 2, "children": [{"title": "要点 乙", "page": 3}]}]},
    {"title": "第二章 乙", "page": 4, "children": [{"title": "附件 \"A\"", "page": 4}]},
    {"title": "Appendix B", "page": 3}
  ],
  "selectedBookmark": "第一章"
})";

// Signing-date lines laid out one per line from (72, 770) down, size 12.
//   page 1 line 1: "  二〇二四年 三 月 五 日  " -> trimmed box x 84..216, y 754..766
//   page 2 line 1: "二〇二四年十二月三十一日" (12 characters) -> x 72..216
const char kDates[] = R"({"pages": [
  {"text": "合同编号 Contract No.\n  二〇二四年 三 月 五 日  \n二〇二四年三月五日签\n二〇二四年三月日\n一〇二四年三月五日\n二〇二四年零十二月三十一日"},
  {"text": "甲方（盖章）\n二〇二四年十二月三十一日"}
]})";

const std::wstring kView = L"Documents.ActiveDocument.Window.View.";

class Navigation : public ConnectedComponent {
protected:
    std::wstring Host(const std::wstring& path) { return HostWalk(sim.get(), app.get(), path); }
    std::wstring HostPage() { return Host(kView + L"CurrentPage"); }
    std::wstring SelectedBookmark() { return Host(L"Documents.ActiveDocument.Bookmarks.SelectedName"); }
    std::wstring CurrentTool() { return Host(L"Tools.Current.Name"); }
    void Put(const wchar_t* name, LONG value) { EXPECT_EQ(S_OK, ScriptPut(name, VLong(value))) << name; }
};

// ---- page moves and view properties ---------------------------------------------------

TEST_F(Navigation, EachMoveReportsThePageShownAfterwardsAndNoneGoesPastAnEnd) {
    for (auto move : {L"GotoFirstPage", L"GotoPreviousPage", L"GotoNextPage", L"GotoLastPage"})
        EXPECT_EQ(I4(1), Script(move)) << "without a document";
    Open(kDocument);
    EXPECT_EQ(I4(1), Script(L"GotoPreviousPage"));
    EXPECT_TRUE(JournalWith(L"PageView.CurrentPage=").empty()) << "already on the first page";
    EXPECT_EQ(I4(4), Script(L"GotoLastPage"));
    EXPECT_EQ(I4(4), HostPage());
    sim->ClearJournal();
    EXPECT_EQ(I4(4), Script(L"GotoNextPage"));
    EXPECT_TRUE(JournalWith(L"PageView.CurrentPage=").empty()) << "already on the last page";
    EXPECT_EQ(I4(3), Script(L"GotoPreviousPage"));
    EXPECT_EQ(I4(4), Script(L"GotoNextPage"));
    EXPECT_EQ(I4(1), Script(L"GotoFirstPage"));
    EXPECT_EQ(I4(1), HostPage());
    Put(L"CurPage", 3);
    EXPECT_EQ(I4(3), HostPage());
    EXPECT_EQ(I4(3), Script(L"CurPage"));
    EXPECT_EQ(I4(4), Script(L"PageCount"));
}

TEST_F(Navigation, DisplayModeZoomRotateAndWindowSize) {
    Open(kDocument);
    const LONG hostCode[] = {0, 0, 2, 1, 3};
    for (LONG mode = 1; mode <= 4; ++mode) {
        sim->ClearJournal();
        Put(L"DisplayMode", mode);
        EXPECT_EQ(Lines{L"PageView.LayoutMode=" + std::to_wstring(hostCode[mode])}, JournalWith(L"LayoutMode="));
        EXPECT_EQ(I4(mode), Script(L"DisplayMode"));
    }
    Host(kView + L"LayoutMode=7");
    EXPECT_EQ(I4(7), Script(L"DisplayMode"));
    Put(L"DisplayMode", 9);
    EXPECT_TRUE(Journaled(L"PageView.LayoutMode=9"));
    // Zoom, rotation and the window size.
    Put(L"Zoom", -5);
    EXPECT_TRUE(Journaled(L"PageView.Zoom=100")) << "out of range";
    Put(L"Zoom", -1);
    EXPECT_TRUE(Journaled(L"PageView.ZoomType=1"));
    EXPECT_EQ(I4(-1), Script(L"Zoom"));
    Put(L"Zoom", -2);
    EXPECT_EQ(I4(-2), Script(L"Zoom"));
    Put(L"Zoom", 75);
    EXPECT_EQ(I4(75), Script(L"Zoom"));
    Host(kView + L"Zoom=149.9");
    Host(kView + L"RotateBy(270)");
    EXPECT_EQ(I4(149), Script(L"Zoom")) << "truncated, not rounded";
    EXPECT_EQ(I4(270), Script(L"Rotate"));
    sim->ClearJournal();
    Put(L"Rotate", 90);
    EXPECT_EQ(Lines{L"PageView.RotateBy(-180)"}, JournalWith(L"RotateBy")) << "turns by the difference";
    EXPECT_EQ(I4(90), Script(L"Rotate"));

    ASSERT_EQ(S_OK, fun->FullSize());
    EXPECT_EQ(Host(L"FullSize"), Bool(true));
    ASSERT_EQ(S_OK, fun->SmallSize());
    EXPECT_EQ(Host(L"FullSize"), Bool(false));
    sim->ClearJournal();
    EXPECT_EQ(S_OK, fun->FindFirst());
    EXPECT_TRUE(JournalLines().empty());
}

// ---- scrolling ------------------------------------------------------------------------

TEST_F(Navigation, ScreenMovesGoByTheViewWindowsClientHeightWithoutBound) {
    EXPECT_EQ(Bool(false), Script(L"GotoNextScreen")) << "without a document";
    EXPECT_EQ(Bool(false), Script(L"WebSetScrollBarPos", {VLong(1), VLong(1)}));
    Open(kDocument);
    const std::wstring handle = Host(kView + L"WindowHandle");  // "VT_I8=..."
    RECT rc{};
    const HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::stoll(handle.substr(6))));
    ASSERT_TRUE(GetClientRect(window, &rc)) << handle;
    ASSERT_GT(rc.bottom - rc.top, 0);
    const std::wstring height = std::to_wstring(rc.bottom - rc.top);
    EXPECT_EQ(Bool(true), Script(L"GotoNextScreen"));
    EXPECT_EQ(Bool(true), Script(L"GotoPreviousScreen"));
    EXPECT_EQ(Bool(true), Script(L"GotoPreviousScreen"));
    EXPECT_EQ((Lines{L"PageView.ScrollPosition=(0, " + height + L")", L"PageView.ScrollPosition=(0, 0)",
                     L"PageView.ScrollPosition=(0, -" + height + L")"}),
              JournalWith(L"ScrollPosition="));
    // WebSetScrollBarPos moves by an offset.
    Open(kDocument);
    EXPECT_EQ(Bool(true), Script(L"WebSetScrollBarPos", {VLong(10), VLong(-20)}));
    EXPECT_EQ(Bool(true), Script(L"WebSetScrollBarPos", {VLong(10), VLong(-20)}));
    EXPECT_EQ((Lines{L"PageView.ScrollPosition=(10, -20)", L"PageView.ScrollPosition=(20, -40)"}),
              JournalWith(L"ScrollPosition="));
    EXPECT_EQ(2u, JournalWith(L"Application.NewPoint()").size());
}

// ---- document facts --------------------------------------------------------------------

TEST_F(Navigation, DocumentFacts) {
    EXPECT_EQ(I4(0), Script(L"isOpen"));
    EXPECT_EQ(Str(L""), Script(L"ContentText"));
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::GetPageSize, 1, 0), L"S_OK 7") << "without a document the result stays";
    Open(kDocument);
    EXPECT_EQ(I4(1), Script(L"isOpen"));
    // The pages joined without a separator.
    EXPECT_EQ(Str(L"alpha beta alpha\nAlphafarALPHA"), Script(L"ContentText"));
    const struct {
        LONG page, index;
        const wchar_t* size;
    } sizes[] = {{1, 0, L"595.5"}, {1, 1, L"842.25"}, {1, 2, L"90"},       {1, 3, L"-1"},
                 {0, 0, L"-1"},    {5, 0, L"-1"},     {INT_MIN, 0, L"-1"}, {4, 0, L"595"}};  // no width: the default
    for (auto& c : sizes)
        EXPECT_EQ(Early(fun.get(), &IFoliumFun::GetPageSize, c.page, c.index), L"S_OK " + std::wstring(c.size));
    sim->ClearJournal();
    EXPECT_EQ(Bool(false), Script(L"PrintStatus"));
    EXPECT_EQ(Bool(true), Script(L"EditStatus"));
    EXPECT_EQ(Bool(false), Script(L"CopyStatus"));
    EXPECT_EQ((Lines{L"Document.Permission(0)", L"Document.Permission(1)", L"Document.Permission(2)"}),
              JournalWith(L"Permission"));
}

TEST_F(Navigation, DocumentModifiedIsTheSaveCommandsEnabledState) {
    CaptureImports();
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_DocumentModified), L"S_FALSE 0");
    EXPECT_EQ(CapturedOf(), Lines{L"MessageBoxW(null, \"请先打开文档！\", \"提示\", 16)"}) << "asks for a document";
    Open(kDocument);
    EXPECT_EQ(I4(-1), Script(L"DocumentModified")) << "the save command is enabled";
    EXPECT_EQ((Lines{L"CommandBars.Item(0)", L"CommandBars.Item(1)", L"Controls.Item(0)", L"Controls.Item(1)"}),
              JournalWith(L"s.Item("))
        << "the first \"File\" bar, then its controls up to the save command";
    Host(L"CommandBars.Item(\"File\").FindControl(1, 32002).Enabled=BOOL:0");
    EXPECT_EQ(I4(0), Script(L"DocumentModified"));
}

// ---- tools ---------------------------------------------------------------------------

TEST_F(Navigation, CursorStateReadsAndActivatesTheToolByName) {
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_CursorState), L"S_OK 7") << "without a document";
    EXPECT_EQ(S_OK, fun->put_CursorState(1));
    EXPECT_EQ(Str(L"ToolHand"), CurrentTool());
    Open(kDocument);
    EXPECT_EQ(I4(0), Script(L"CursorState"));
    for (auto [tool, state] : {std::pair<const wchar_t*, LONG>{L"ToolText", 1}, {L"ToolSnapShot", 2}, {L"ToolZoom", -1}}) {
        Host(L"Tools.Item(\"" + std::wstring(tool) + L"\").Activate");
        EXPECT_EQ(I4(state), Script(L"CursorState")) << tool;
    }
    sim->ClearJournal();
    Put(L"CursorState", 2);
    EXPECT_EQ(Str(L"ToolSnapShot"), CurrentTool());
    EXPECT_EQ(Lines{L"Tools.Item(\"ToolSnapShot\")"}, JournalWith(L"Tools.Item"));
    sim->ClearJournal();
    Put(L"CursorState", 3);
    EXPECT_TRUE(JournalWith(L"Tool.Activate").empty());
    EXPECT_EQ(Str(L"ToolSnapShot"), CurrentTool());
}

TEST_F(Navigation, SetSelectStateActivatesByPlaceWithoutDocument) {
    for (auto [state, tool] : {std::pair<LONG, const wchar_t*>{1, L"ToolText"}, {2, L"ToolSnapShot"}, {0, L"ToolHand"}}) {
        EXPECT_EQ(Bool(true), Script(L"SetSelectState", {VLong(state)}));
        EXPECT_EQ(Str(tool), CurrentTool());
    }
    EXPECT_EQ(Bool(false), Script(L"SetSelectState", {VLong(3)}));
    EXPECT_EQ(Str(L"ToolHand"), CurrentTool());
}

// ---- the bookmark walk ----------------------------------------------------------------

TEST_F(Navigation, GotoBookMarkFindsAnExactTitleOrWalksForAPercentSearch) {
    Open(kDocument);
    EXPECT_EQ(I4(1), Script(L"GotoBookMark", {VStr(L"第二章 乙")}));
    EXPECT_EQ(I4(4), HostPage());
    EXPECT_FALSE(Journaled(L"Bookmarks.First")) << "an exact title is found without walking";
    // The walk visits children before next siblings; the search is case-sensitive.
    EXPECT_EQ(I4(1), Script(L"GotoBookMark", {VStr(L"乙%")}));
    EXPECT_EQ(Str(L"第二节 乙"), SelectedBookmark());
    EXPECT_EQ(I4(2), HostPage());
    EXPECT_EQ(Str(L"第二节 乙"), Script(L"SelectedBookMarkName"));
    EXPECT_EQ(I4(0), Script(L"GotoBookMark", {VStr(L"appendix%")}));
    EXPECT_EQ(I4(1), Script(L"GotoBookMark", {VStr(L"pendix%")}));
    EXPECT_EQ(Str(L"Appendix B"), SelectedBookmark());
    for (const wchar_t* name : {L"%", L"第二", L"", L"第三章%"})
        EXPECT_EQ(I4(0), Script(L"GotoBookMark", {VStr(name)})) << "not found";
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::GotoBookMark, nullptr), L"S_OK 0");
    EXPECT_EQ(Str(L"Appendix B"), SelectedBookmark());

    // A percent alone finds only a bookmark of that name.
    Open(R"({"pages": [{}, {}], "bookmarks": [{"title": "A%", "page": 1}, {"title": "%", "page": 2}]})");
    EXPECT_EQ(I4(1), Script(L"GotoBookMark", {VStr(L"%")}));
    EXPECT_EQ(I4(2), HostPage());
}

TEST_F(Navigation, GetBookMarksListsTheTreeInDocumentOrderUnescaped) {
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::GetBookMarks), L"S_FALSE ") << "without a document";
    Open(kDocument);
    EXPECT_EQ(Str(L"第一章"), Script(L"SelectedBookMarkName"));
    EXPECT_EQ(Str(L"{ \"BookMarks\": ["
                  L"{ \"Parent\": \"\", \"BookMark\": \"第一章\"},"
                  L"{ \"Parent\": \"第一章\", \"BookMark\": \"第一节 甲\"},"
                  L"{ \"Parent\": \"第一章\", \"BookMark\": \"第二节 乙\"},"
                  L"{ \"Parent\": \"第二节 乙\", \"BookMark\": \"要点 乙\"},"
                  L"{ \"Parent\": \"\", \"BookMark\": \"第二章 乙\"},"
                  L"{ \"Parent\": \"第二章 乙\", \"BookMark\": \"附件 \"A\"\"},"
                  L"{ \"Parent\": \"\", \"BookMark\": \"Appendix B\"}] }"),
              Script(L"GetBookMarks"));
    Open(R"({"pages": [{}]})");
    EXPECT_EQ(Str(L"{ \"BookMarks\": [] }"), Script(L"GetBookMarks"));
}

// ---- the finder loop over pages ------------------------------------------------------

TEST_F(Navigation, SearchTextListsEveryHitIgnoringCaseAskingEveryPageUntilNoHit) {
    Open(kDocument);
    EXPECT_EQ(Str(L"1@100.00@710.00,1@155.00@710.00,1@50.00@612.00,4@200.50@308.25,"),
              Script(L"SearchText", {VStr(L"alpha")}));
    EXPECT_TRUE(Journaled(L"TextFinder.MatchCase=0"));
    EXPECT_EQ((Lines{L"TextFinder.FindNext(1)", L"TextFinder.FindNext(1)", L"TextFinder.FindNext(1)",
                     L"TextFinder.FindNext(1)", L"TextFinder.FindNext(2)", L"TextFinder.FindNext(3)",
                     L"TextFinder.FindNext(4)", L"TextFinder.FindNext(4)"}),
              JournalWith(L"FindNext"));
    EXPECT_FALSE(Journaled(L"TextFinder.Reset()")) << "only GetTextPosition resets the finder";
    EXPECT_EQ(Str(L"2@1234567.50@20.00,"), Script(L"SearchText", {VStr(L"FAR")})) << "no thousands separator";
    EXPECT_EQ(Str(L""), Script(L"SearchText", {VStr(L"omega")}));
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::SearchText, nullptr), L"S_OK ");
    EXPECT_TRUE(Journaled(L"TextFinder.Text=\"\"")) << "a null text is searched as an empty one";
}

TEST_F(Navigation, GetTextPositionGivesTheCentreOrTheFirstCornerOfTheFirstHit) {
    Open(kDocument);
    auto position = [&](LONG page, const wchar_t* text, bool matchCase, LONG type) {
        return Script(L"GetTextPosition", {VLong(page), VStr(text), VBool(matchCase), VLong(type)});
    };
    EXPECT_EQ(Str(L"Page:1;X:112.50;Y:705.00"), position(1, L"alpha", false, 0));
    EXPECT_EQ((Lines{L"TextFinder.Reset()", L"TextFinder.MatchCase=0", L"TextFinder.Text=\"alpha\"",
                     L"TextFinder.FindNext(1)", L"TextFinder.Hit"}),
              JournalWith(L"TextFinder.")) << "reset, then stopped at the first hit";
    EXPECT_EQ(Str(L"Page:1;X:100.00;Y:710.00"), position(1, L"alpha", false, 1));
    EXPECT_EQ(Str(L"Page:4;X:210.50;Y:304.25"), position(2, L"alpha", false, 0)) << "pages 2 and 3 have none";
    EXPECT_EQ(Str(L"Page:4;X:200.50;Y:308.25"), position(1, L"ALPHA", true, 7)) << "case kept";
    EXPECT_EQ(Str(L""), position(1, L"omega", false, 0));
    EXPECT_EQ(Str(L"Page:1;X:112.50;Y:705.00"), position(-5, L"alpha", false, 0)) << "pages before the first";
    sim->ClearJournal();
    EXPECT_EQ(Str(L""), position(5, L"alpha", false, 0)) << "past the last page";
    EXPECT_FALSE(Journaled(L"FindNext"));
}

TEST_F(Navigation, GetTextPositionAllSearchesTheFileItOpens) {
    EXPECT_EQ(Str(L""), Script(L"GetTextPositionAll", {VStr(L"alpha"), VStr(L"C:\\no\\such\\file.pdf")}));
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::GetTextPositionAll, nullptr, nullptr), L"S_OK ");
    Open(R"({"pages": [{"text": "only here"}]})");
    std::wstring path = WriteFixture(kDocument);
    EXPECT_EQ(Str(L"1,100.00,710.00,125.00,700.00;1,155.00,710.00,180.00,700.00;1,50.00,612.00,80.00,600.00;"
                  L"4,200.50,308.25,220.50,300.25"),
              Script(L"GetTextPositionAll", {VStr(L"alpha"), VStr(path.c_str())}));
    EXPECT_EQ(JournalWith(L"Documents.Open("),
              Lines{L"Documents.Open(" + Quoted(path) + L", missing, missing, missing)"});
    EXPECT_EQ(Host(L"Documents.Count"), I4(2)) << "the searched document stays open";
}

TEST_F(Navigation, GetFormateStringPosReportsChineseDateLines) {
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::GetFormateStringPos, 0), L"S_FALSE ");
    Open(R"({"type": "OFD", "pages": [{"text": "二〇二四年三月五日"}]})");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::GetFormateStringPos, 0), L"S_FALSE ") << "OFD is skipped";
    EXPECT_FALSE(Journaled(L"FindNext"));
    Open(kDates);
    const std::wstring dates = Str(L"1,84.00,766.00,216.00,754.00;2,72.00,766.00,216.00,754.00");
    EXPECT_EQ(dates, Script(L"GetFormateStringPos", {VLong(0)}));
    EXPECT_EQ((Lines{L"TextFinder.Text=\"二〇二四年 三 月 五 日\"", L"TextFinder.Text=\"二〇二四年十二月三十一日\""}),
              JournalWith(L"TextFinder.Text="))
        << "the trimmed line is searched; a character after the 日, 8 or 13 characters, or no leading 二 "
           "do not qualify";
    EXPECT_EQ(dates, Script(L"GetFormateStringPos", {VLong(5)})) << "the type changes nothing";
}

TEST_F(Navigation, GoToTextSelectsTheHitOnlyWhenSelectedIsExactlyTrue) {
    auto go = [&](const wchar_t* text, VARIANT_BOOL matchCase, VARIANT_BOOL selected) {
        return Early(fun.get(), &IFoliumFun::GoToText, UniqueBstr(text).get(), 1, matchCase, VARIANT_TRUE, selected);
    };
    EXPECT_EQ(go(L"beta", VARIANT_FALSE, VARIANT_TRUE), L"S_FALSE 1") << "without a document";
    Open(kDocument);
    EXPECT_EQ(I4(0), Script(L"GoToText", {VStr(L"beta"), VLong(1), VBool(false), VBool(true), VBool(true)}));
    EXPECT_EQ(JournalLines(),
              (Lines{L"Application.Documents", L"Documents.ActiveDocument", L"Document.Window", L"DocWindow.View",
                     L"Document.TextFinder", L"TextFinder.Text=\"beta\"", L"TextFinder.Direction=-1",
                     L"TextFinder.MatchCase=0", L"TextFinder.FindNext(1)", L"TextFinder.Hit", L"TextHit.X1",
                     L"TextHit.Y1", L"TextHit.X2", L"TextHit.Y2", L"Document.TextSelection", L"TextSelection.Clear()",
                     L"TextSelection.SetStart(0, 130, 710)", L"TextSelection.SetEnd(0, 150, 700)",
                     L"PageView.Refresh()"}));
    sim->ClearJournal();
    EXPECT_EQ(go(L"beta", VARIANT_FALSE, 1), L"S_OK 0");
    EXPECT_EQ(go(L"BETA", VARIANT_TRUE, VARIANT_TRUE), L"S_OK 1") << "the finder's S_FALSE when nothing is found";
    EXPECT_EQ(go(nullptr, VARIANT_FALSE, VARIANT_TRUE), L"S_OK 1");
    EXPECT_FALSE(Journaled(L"TextSelection"));
}

// ---- no reader connected: every family of local files, chrome, navigation, menus ---------

TEST_F(Navigation, WithoutAReaderMembersAnswerSFalseWithTheirStatedDefaultOrTheResultLeft) {
    CaptureImports();
    Open(kDocument);  // the reader has a document, but this object knows no reader
    auto alone = Unconnected();
    using F = IFoliumFun;
    auto e = [&](auto member, auto... args) { return Early(alone.get(), member, args...); };
    const UniqueBstr path(L"C:\\x.pdf"), key(L"1");
    const BSTR p = path.get(), k = key.get();
    // Grouped by what they answer; "7" and "left": the result is not written.
    const std::pair<const wchar_t*, Lines> answers[] = {
        {L"S_FALSE", {e(&F::put_ShowMenus, VARIANT_TRUE), e(&F::put_ShowPostil, VARIANT_TRUE),
                      e(&F::put_ShowState, VARIANT_TRUE), e(&F::put_ShowSides, VARIANT_TRUE),
                      e(&F::put_StartPageVisible, VARIANT_TRUE), e(&F::put_Hide, VARIANT_TRUE),
                      e(&F::put_EnabledCopy, VARIANT_TRUE), e(&F::put_ShowMarks, VARIANT_TRUE),
                      e(&F::put_ShowTabBarVisible, VARIANT_TRUE), e(&F::put_ShowSigns, VARIANT_TRUE),
                      e(&F::put_ShowTools, VARIANT_TRUE), e(&F::put_ShowDigitalSignature, 1), e(&F::put_CurPage, 1),
                      e(&F::put_DisplayMode, 1), e(&F::put_Zoom, 1), e(&F::put_Rotate, 1), e(&F::put_CursorState, 1),
                      e(&F::FullSize), e(&F::SmallSize), e(&F::FindFirst), e(&F::AppendTools, k, k, 0),
                      e(&F::AppendToolsEx, k, k, k), e(&F::AppendMenu, k, k), e(&F::EnableUserTools, k, VARIANT_TRUE),
                      e(&F::EnableUserMenus, k, VARIANT_TRUE), e(&F::setCompositeVisible, k, VARIANT_TRUE)}},
        {L"S_FALSE 1", {e(&F::GotoFirstPage), e(&F::GotoPreviousPage), e(&F::GotoNextPage), e(&F::GotoLastPage),
                        e(&F::GoToText, nullptr, 1, VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE),
                        e(&F::ImportPages, p, 1, 1, 0), e(&F::DeletePagesExt, 1, 2), e(&F::SaveLocalFileNoSignature, p),
                        e(&F::get_ShowMenus), e(&F::get_ShowPostil), e(&F::LockScreen), e(&F::UnlockScreen)}},
        {L"S_FALSE 0", {e(&F::GotoBookMark, k), e(&F::get_isOpen), e(&F::get_DocumentModified),
                        e(&F::GotoPreviousScreen), e(&F::GotoNextScreen), e(&F::WebOpenLocalFile, p),
                        e(&F::WebSaveLocalFile, p), e(&F::WebClose), e(&F::FileSize), e(&F::DeletePages, 1, 2),
                        e(&F::closeFile), e(&F::openFile, p, VARIANT_FALSE), e(&F::saveFile, p), e(&F::WebSaveLocal),
                        e(&F::AddAttachments, p, p), e(&F::WebDownLoadFile, p, p), e(&F::get_ShowState),
                        e(&F::get_ShowSides), e(&F::get_StartPageVisible), e(&F::get_Hide), e(&F::get_EnabledCopy)}},
        {L"S_FALSE -1", {e(&F::ShowCommandBar, 1, VARIANT_FALSE), e(&F::ShowTabCommandBar, 1, VARIANT_FALSE)}},
        {L"S_FALSE 7", {e(&F::get_CurPage), e(&F::get_PageCount), e(&F::get_DisplayMode), e(&F::get_Zoom),
                        e(&F::get_Rotate), e(&F::get_CursorState), e(&F::get_EditStatus), e(&F::get_CopyStatus),
                        e(&F::get_PrintStatus), e(&F::SetSelectState, 0), e(&F::WebSetScrollBarPos, 1, 1),
                        e(&F::GetPageSize, 1, 0), e(&F::WebOpenLocal), e(&F::get_ShowMarks),
                        e(&F::get_ShowTabBarVisible), e(&F::get_FullScreen), e(&F::get_ShowDigitalSignature),
                        e(&F::EnableTools, k, 1), e(&F::AppendHideKeywords, k), e(&F::EnabledHideKeywords, 1, 1),
                        e(&F::get_SaveRight)}},
        {L"S_FALSE ", {e(&F::GetBookMarks), e(&F::GetFormateStringPos, 0), e(&F::GetFileBase64, p),
                       e(&F::get_LocalFileName), e(&F::GetFileName, 0), e(&F::WebGetFilePath)}},
        {L"S_FALSE left", {e(&F::get_ContentText), e(&F::get_SelectedBookMarkName), e(&F::SearchText, nullptr),
                           e(&F::GetTextPosition, 1, nullptr, VARIANT_FALSE, 0),
                           e(&F::GetTextPositionAll, nullptr, nullptr)}},
        // Flags the component keeps, the alert and the cookie text need no reader.
        {L"S_OK", {e(&F::put_FullScreen, VARIANT_TRUE), e(&F::put_ShowSchedule, VARIANT_FALSE),
                   e(&F::put_EnabledCommentWindow, VARIANT_TRUE)}},
        {L"S_OK 0", {e(&F::get_ShowSigns), e(&F::get_ShowSchedule)}},
        {L"S_OK -1", {e(&F::get_EnabledCommentWindow), e(&F::Alert, k), e(&F::INetSetCookieEx, p, key.get())}},
    };
    for (auto& [answer, got] : answers) EXPECT_EQ(got, Lines(got.size(), answer));
    EXPECT_TRUE(JournalLines().empty()) << JournalText();
    EXPECT_TRUE(CapturedOf().empty()) << "no dialog or message";
}

}  // namespace
