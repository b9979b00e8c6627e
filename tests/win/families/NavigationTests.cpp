// Navigation, view state, bookmarks and text search through the DLL loaded by the
// reader simulator: what a script gets back (type and value), and the view, finder and
// selection state of the reader afterwards.
#include "FamilyTestSupport.h"

#include <climits>
#include <functional>

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

class Navigation : public ConnectedComponent {
protected:
    ComPtr<IQxPageView> View() {
        ComPtr<IQxDocWindow> window;
        Active()->get_Window(window.put());
        ComPtr<IQxPageView> view;
        window->get_View(view.put());
        return view;
    }
    LONG HostPage() {
        Quiet q(sim.get());
        LONG page = 0;
        View()->get_CurrentPage(&page);
        return page;
    }
    std::wstring SelectedBookmark() {
        Quiet q(sim.get());
        ComPtr<IQxBookmarks> bookmarks;
        Active()->get_Bookmarks(bookmarks.put());
        UniqueBstr name;
        bookmarks->get_SelectedName(name.put());
        return name.c_str();
    }
    ComPtr<IQxTools> Tools() {
        ComPtr<IQxTools> tools;
        app->get_Tools(tools.put());
        return tools;
    }
    std::wstring CurrentTool() {
        Quiet q(sim.get());
        ComPtr<IQxTool> tool;
        Tools()->get_Current(tool.put());
        UniqueBstr name;
        tool->get_Name(name.put());
        return name.c_str();
    }
    void ActivateTool(const wchar_t* name) {
        Quiet q(sim.get());
        ComPtr<IQxTool> tool;
        Tools()->Item(*ScopedVariant::Bstr(name).get(), tool.put());
        tool->Activate();
    }
    void Put(const wchar_t* name, LONG value) { EXPECT_EQ(S_OK, ScriptPut(name, VLong(value))) << name; }
    // An early-bound text result: "(null)" for a null BSTR.
    Outcome Text(const std::function<HRESULT(BSTR*)>& call) {
        UniqueBstr out;
        HRESULT hr = call(out.put());
        return Got(hr, &out);
    }
};

// ---- page moves and view properties ---------------------------------------------------

TEST_F(Navigation, EachMoveReportsThePageShownAfterwardsAndNoneGoesPastAnEnd) {
    for (auto move : {L"GotoFirstPage", L"GotoPreviousPage", L"GotoNextPage", L"GotoLastPage"})
        EXPECT_EQ(I4(1), Script(move)) << "without a document";
    Open(kDocument);
    EXPECT_EQ(I4(1), Script(L"GotoPreviousPage"));
    EXPECT_TRUE(JournalWith(L"PageView.CurrentPage=").empty()) << "already on the first page";
    EXPECT_EQ(I4(4), Script(L"GotoLastPage"));
    EXPECT_EQ(4, HostPage());
    sim->ClearJournal();
    EXPECT_EQ(I4(4), Script(L"GotoNextPage"));
    EXPECT_TRUE(JournalWith(L"PageView.CurrentPage=").empty()) << "already on the last page";
    EXPECT_EQ(I4(3), Script(L"GotoPreviousPage"));
    EXPECT_EQ(I4(4), Script(L"GotoNextPage"));
    EXPECT_EQ(I4(1), Script(L"GotoFirstPage"));
    EXPECT_EQ(1, HostPage());
    Put(L"CurPage", 3);
    EXPECT_EQ(3, HostPage());
    EXPECT_EQ(I4(3), Script(L"CurPage"));
    EXPECT_EQ(I4(4), Script(L"PageCount"));
}

TEST_F(Navigation, DisplayModeMapsThroughTheLayoutTable) {
    Open(kDocument);
    const LONG hostCode[] = {0, 0, 2, 1, 3};
    for (LONG mode = 1; mode <= 4; ++mode) {
        sim->ClearJournal();
        Put(L"DisplayMode", mode);
        EXPECT_EQ(Lines{L"PageView.LayoutMode=" + std::to_wstring(hostCode[mode])}, JournalWith(L"LayoutMode="));
        EXPECT_EQ(I4(mode), Script(L"DisplayMode"));
    }
    {
        Quiet q(sim.get());
        View()->put_LayoutMode(7);
    }
    EXPECT_EQ(I4(7), Script(L"DisplayMode"));
    Put(L"DisplayMode", 9);
    EXPECT_TRUE(Journaled(L"PageView.LayoutMode=9"));
}

TEST_F(Navigation, ZoomRotateAndWindowSize) {
    Open(kDocument);
    Put(L"Zoom", -5);
    EXPECT_TRUE(Journaled(L"PageView.Zoom=100")) << "out of range";
    Put(L"Zoom", -1);
    EXPECT_TRUE(Journaled(L"PageView.ZoomType=1"));
    EXPECT_EQ(I4(-1), Script(L"Zoom"));
    Put(L"Zoom", -2);
    EXPECT_EQ(I4(-2), Script(L"Zoom"));
    Put(L"Zoom", 75);
    EXPECT_EQ(I4(75), Script(L"Zoom"));
    {
        Quiet q(sim.get());
        View()->put_Zoom(149.9);
        View()->RotateBy(270);
    }
    EXPECT_EQ(I4(149), Script(L"Zoom")) << "truncated, not rounded";
    EXPECT_EQ(I4(270), Script(L"Rotate"));
    sim->ClearJournal();
    Put(L"Rotate", 90);
    EXPECT_EQ(Lines{L"PageView.RotateBy(-180)"}, JournalWith(L"RotateBy")) << "turns by the difference";
    EXPECT_EQ(I4(90), Script(L"Rotate"));

    VARIANT_BOOL full = 0;
    ASSERT_EQ(S_OK, fun->FullSize());
    EXPECT_EQ(Got(app->get_FullSize(&full), &full), Want(S_OK, VARIANT_TRUE));
    ASSERT_EQ(S_OK, fun->SmallSize());
    EXPECT_EQ(Got(app->get_FullSize(&full), &full), Want(S_OK, VARIANT_FALSE));
    sim->ClearJournal();
    EXPECT_EQ(S_OK, fun->FindFirst());
    EXPECT_TRUE(JournalLines().empty());
}

// ---- scrolling ------------------------------------------------------------------------

TEST_F(Navigation, ScreenMovesGoByTheViewWindowsClientHeightWithoutBound) {
    EXPECT_EQ(Bool(false), Script(L"GotoNextScreen")) << "without a document";
    EXPECT_EQ(Bool(false), Script(L"WebSetScrollBarPos", {VLong(1), VLong(1)}));
    Open(kDocument);
    LONGLONG handle = 0;
    {
        Quiet q(sim.get());
        View()->get_WindowHandle(&handle);
    }
    RECT rc{};
    ASSERT_TRUE(GetClientRect(reinterpret_cast<HWND>(static_cast<INT_PTR>(handle)), &rc));
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
    DOUBLE r = 7;
    EXPECT_EQ(S_OK, fun->GetPageSize(1, 0, &r));
    EXPECT_DOUBLE_EQ(7, r) << "without a document the result stays";
    Open(kDocument);
    EXPECT_EQ(I4(1), Script(L"isOpen"));
    // The pages joined without a separator.
    EXPECT_EQ(Str(L"alpha beta alpha\nAlphafarALPHA"), Script(L"ContentText"));
    const struct {
        LONG page, index;
        double size;
    } sizes[] = {{1, 0, 595.5}, {1, 1, 842.25}, {1, 2, 90},  {1, 3, -1}, {0, 0, -1},
                 {5, 0, -1},    {INT_MIN, 0, -1}, {4, 0, 595}};  // a page without a width: the reader's default
    for (auto& c : sizes) {
        r = 7;
        EXPECT_EQ(S_OK, fun->GetPageSize(c.page, c.index, &r));
        EXPECT_DOUBLE_EQ(c.size, r) << c.page << "/" << c.index;
    }
    sim->ClearJournal();
    EXPECT_EQ(Bool(false), Script(L"PrintStatus"));
    EXPECT_EQ(Bool(true), Script(L"EditStatus"));
    EXPECT_EQ(Bool(false), Script(L"CopyStatus"));
    EXPECT_EQ((Lines{L"Document.Permission(0)", L"Document.Permission(1)", L"Document.Permission(2)"}),
              JournalWith(L"Permission"));
}

TEST_F(Navigation, DocumentModifiedIsTheSaveCommandsEnabledState) {
    CaptureImports();
    LONG modified = 7;
    EXPECT_EQ(Got(fun->get_DocumentModified(&modified), &modified), Want(S_FALSE, 0));
    EXPECT_EQ(CapturedOf(), Lines{L"MessageBoxW(null, \"请先打开文档！\", \"提示\", 16)"}) << "asks for a document";
    Open(kDocument);
    EXPECT_EQ(I4(-1), Script(L"DocumentModified")) << "the save command is enabled";
    EXPECT_EQ((Lines{L"CommandBars.Item(0)", L"CommandBars.Item(1)", L"Controls.Item(0)", L"Controls.Item(1)"}),
              JournalWith(L"s.Item("))
        << "the first \"File\" bar, then its controls up to the save command";
    {
        Quiet q(sim.get());
        ComPtr<IQxCommandBars> bars;
        app->get_CommandBars(bars.put());
        ComPtr<IQxCommandBar> bar;
        bars->Item(*ScopedVariant::Bstr(L"File").get(), bar.put());
        ComPtr<IQxControl> save;
        bar->FindControl(*ScopedVariant::I4(1).get(), *ScopedVariant::I4(32002).get(), save.put());
        save->put_Enabled(VARIANT_FALSE);
    }
    EXPECT_EQ(I4(0), Script(L"DocumentModified"));
}

// ---- tools ---------------------------------------------------------------------------

TEST_F(Navigation, CursorStateReadsAndActivatesTheToolByName) {
    LONG v = 7;
    EXPECT_EQ(Got(fun->get_CursorState(&v), &v), Want(S_OK, 7)) << "without a document";
    EXPECT_EQ(S_OK, fun->put_CursorState(1));
    EXPECT_EQ(L"ToolHand", CurrentTool());
    Open(kDocument);
    EXPECT_EQ(I4(0), Script(L"CursorState"));
    for (auto [tool, state] : {std::pair<const wchar_t*, LONG>{L"ToolText", 1}, {L"ToolSnapShot", 2}, {L"ToolZoom", -1}}) {
        ActivateTool(tool);
        EXPECT_EQ(I4(state), Script(L"CursorState")) << tool;
    }
    sim->ClearJournal();
    Put(L"CursorState", 2);
    EXPECT_EQ(L"ToolSnapShot", CurrentTool());
    EXPECT_EQ(Lines{L"Tools.Item(\"ToolSnapShot\")"}, JournalWith(L"Tools.Item"));
    sim->ClearJournal();
    Put(L"CursorState", 3);
    EXPECT_TRUE(JournalWith(L"Tool.Activate").empty());
    EXPECT_EQ(L"ToolSnapShot", CurrentTool());
}

TEST_F(Navigation, SetSelectStateActivatesByPlaceWithoutDocument) {
    for (auto [state, tool] : {std::pair<LONG, const wchar_t*>{1, L"ToolText"}, {2, L"ToolSnapShot"}, {0, L"ToolHand"}}) {
        EXPECT_EQ(Bool(true), Script(L"SetSelectState", {VLong(state)}));
        EXPECT_EQ(tool, CurrentTool());
    }
    EXPECT_EQ(Bool(false), Script(L"SetSelectState", {VLong(3)}));
    EXPECT_EQ(L"ToolHand", CurrentTool());
}

// ---- the bookmark walk ----------------------------------------------------------------

TEST_F(Navigation, GotoBookMarkFindsAnExactTitleOrWalksForAPercentSearch) {
    Open(kDocument);
    EXPECT_EQ(I4(1), Script(L"GotoBookMark", {VStr(L"第二章 乙")}));
    EXPECT_EQ(4, HostPage());
    EXPECT_FALSE(Journaled(L"Bookmarks.First")) << "an exact title is found without walking";
    // The walk visits children before next siblings; the search is case-sensitive.
    EXPECT_EQ(I4(1), Script(L"GotoBookMark", {VStr(L"乙%")}));
    EXPECT_EQ(L"第二节 乙", SelectedBookmark());
    EXPECT_EQ(2, HostPage());
    EXPECT_EQ(Str(L"第二节 乙"), Script(L"SelectedBookMarkName"));
    EXPECT_EQ(I4(0), Script(L"GotoBookMark", {VStr(L"appendix%")}));
    EXPECT_EQ(I4(1), Script(L"GotoBookMark", {VStr(L"pendix%")}));
    EXPECT_EQ(L"Appendix B", SelectedBookmark());
    for (const wchar_t* name : {L"%", L"第二", L"", L"第三章%"})
        EXPECT_EQ(I4(0), Script(L"GotoBookMark", {VStr(name)})) << "not found";
    LONG ret = 7;
    EXPECT_EQ(Got(fun->GotoBookMark(nullptr, &ret), &ret), Want(S_OK, 0));
    EXPECT_EQ(L"Appendix B", SelectedBookmark());

    // A percent alone finds only a bookmark of that name.
    Open(R"({"pages": [{}, {}], "bookmarks": [{"title": "A%", "page": 1}, {"title": "%", "page": 2}]})");
    EXPECT_EQ(I4(1), Script(L"GotoBookMark", {VStr(L"%")}));
    EXPECT_EQ(2, HostPage());
}

TEST_F(Navigation, GetBookMarksListsTheTreeInDocumentOrderUnescaped) {
    EXPECT_EQ(Text([&](BSTR* b) { return fun->GetBookMarks(b); }), Want(S_FALSE, L"")) << "without a document";
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
    EXPECT_EQ(Text([&](BSTR* b) { return fun->SearchText(nullptr, b); }), Want(S_OK, L""));
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
    EXPECT_EQ(Text([&](BSTR* b) { return fun->GetTextPositionAll(nullptr, nullptr, b); }), Want(S_OK, L""));
    Open(R"({"pages": [{"text": "only here"}]})");
    std::wstring path = WriteFixture(kDocument);
    EXPECT_EQ(Str(L"1,100.00,710.00,125.00,700.00;1,155.00,710.00,180.00,700.00;1,50.00,612.00,80.00,600.00;"
                  L"4,200.50,308.25,220.50,300.25"),
              Script(L"GetTextPositionAll", {VStr(L"alpha"), VStr(path.c_str())}));
    EXPECT_EQ(JournalWith(L"Documents.Open("),
              Lines{L"Documents.Open(" + Quoted(path) + L", missing, missing, missing)"});
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    LONG count = 0;
    EXPECT_EQ(Got(docs->get_Count(&count), &count), Want(S_OK, 2)) << "the searched document stays open";
}

TEST_F(Navigation, GetFormateStringPosReportsChineseDateLines) {
    EXPECT_EQ(Text([&](BSTR* b) { return fun->GetFormateStringPos(0, b); }), Want(S_FALSE, L""));
    Open(R"({"type": "OFD", "pages": [{"text": "二〇二四年三月五日"}]})");
    EXPECT_EQ(Text([&](BSTR* b) { return fun->GetFormateStringPos(0, b); }), Want(S_FALSE, L"")) << "OFD is skipped";
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
        LONG result = 7;
        return Got(fun->GoToText(text ? UniqueBstr(text).get() : nullptr, 1, matchCase, VARIANT_TRUE, selected, &result),
                   &result);
    };
    EXPECT_EQ(go(L"beta", VARIANT_FALSE, VARIANT_TRUE), Want(S_FALSE, 1)) << "without a document";
    Open(kDocument);
    EXPECT_EQ(I4(0), Script(L"GoToText", {VStr(L"beta"), VLong(1), VBool(false), VBool(true), VBool(true)}));
    Lines seen;
    for (auto& l : JournalLines())
        if (l.rfind(L"Text", 0) == 0 || l.rfind(L"PageView.Refresh", 0) == 0) seen.push_back(l);
    EXPECT_EQ((Lines{L"TextFinder.Text=\"beta\"", L"TextFinder.Direction=-1", L"TextFinder.MatchCase=0",
                     L"TextFinder.FindNext(1)", L"TextFinder.Hit", L"TextHit.X1", L"TextHit.Y1", L"TextHit.X2",
                     L"TextHit.Y2", L"TextSelection.Clear()", L"TextSelection.SetStart(0, 130, 710)",
                     L"TextSelection.SetEnd(0, 150, 700)", L"PageView.Refresh()"}),
              seen);
    sim->ClearJournal();
    EXPECT_EQ(go(L"beta", VARIANT_FALSE, 1), Want(S_OK, 0));
    EXPECT_EQ(go(L"BETA", VARIANT_TRUE, VARIANT_TRUE), Want(S_OK, 1)) << "the finder's S_FALSE when nothing is found";
    EXPECT_EQ(go(nullptr, VARIANT_FALSE, VARIANT_TRUE), Want(S_OK, 1));
    EXPECT_FALSE(Journaled(L"TextSelection"));
}

// ---- no reader connected -----------------------------------------------------------------

TEST_F(Navigation, WithoutAReaderMembersAnswerSFalseWithTheirStatedDefaultOrTheResultLeft) {
    ComPtr<IFoliumFun> alone;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FoliumFun, nullptr, CLSCTX_INPROC_SERVER, IID_IFoliumFun, alone.put_void()));
    IFoliumFun* f = alone.get();
    // A stated default: 1 for page moves, false for screen moves, 0 for the rest.
    const struct {
        std::function<HRESULT(LONG*)> call;
        LONG expected;
    } longs[] = {{[&](LONG* v) { return f->GotoFirstPage(v); }, 1},
                 {[&](LONG* v) { return f->GotoPreviousPage(v); }, 1},
                 {[&](LONG* v) { return f->GotoNextPage(v); }, 1},
                 {[&](LONG* v) { return f->GotoLastPage(v); }, 1},
                 {[&](LONG* v) { return f->GotoBookMark(UniqueBstr(L"第一章").get(), v); }, 0},
                 {[&](LONG* v) { return f->get_isOpen(v); }, 0},
                 {[&](LONG* v) { return f->get_DocumentModified(v); }, 0},
                 {[&](LONG* v) { return f->GoToText(nullptr, 1, VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE, v); }, 1},
                 // the rest leave the result
                 {[&](LONG* v) { return f->get_CurPage(v); }, 7},
                 {[&](LONG* v) { return f->get_PageCount(v); }, 7},
                 {[&](LONG* v) { return f->get_DisplayMode(v); }, 7},
                 {[&](LONG* v) { return f->get_Zoom(v); }, 7},
                 {[&](LONG* v) { return f->get_Rotate(v); }, 7},
                 {[&](LONG* v) { return f->get_CursorState(v); }, 7}};
    for (size_t i = 0; i < std::size(longs); ++i) {
        LONG v = 7;
        EXPECT_EQ(Got(longs[i].call(&v), &v), Want(S_FALSE, longs[i].expected)) << "row " << i;
    }
    const struct {
        std::function<HRESULT(VARIANT_BOOL*)> call;
        VARIANT_BOOL expected;
    } bools[] = {{[&](VARIANT_BOOL* v) { return f->GotoPreviousScreen(v); }, VARIANT_FALSE},
                 {[&](VARIANT_BOOL* v) { return f->GotoNextScreen(v); }, VARIANT_FALSE},
                 {[&](VARIANT_BOOL* v) { return f->get_EditStatus(v); }, 7},
                 {[&](VARIANT_BOOL* v) { return f->get_CopyStatus(v); }, 7},
                 {[&](VARIANT_BOOL* v) { return f->get_PrintStatus(v); }, 7},
                 {[&](VARIANT_BOOL* v) { return f->SetSelectState(0, v); }, 7},
                 {[&](VARIANT_BOOL* v) { return f->WebSetScrollBarPos(1, 1, v); }, 7}};
    for (size_t i = 0; i < std::size(bools); ++i) {
        VARIANT_BOOL v = 7;
        EXPECT_EQ(Got(bools[i].call(&v), &v), Want(S_FALSE, bools[i].expected)) << "row " << i;
    }
    EXPECT_EQ(Text([&](BSTR* b) { return f->GetBookMarks(b); }), Want(S_FALSE, L""));
    EXPECT_EQ(Text([&](BSTR* b) { return f->GetFormateStringPos(0, b); }), Want(S_FALSE, L""));
    BSTR sentinel = reinterpret_cast<BSTR>(static_cast<INT_PTR>(0x1234)), out = sentinel;
    EXPECT_EQ(S_FALSE, f->get_ContentText(&out));
    EXPECT_EQ(S_FALSE, f->get_SelectedBookMarkName(&out));
    EXPECT_EQ(S_FALSE, f->SearchText(nullptr, &out));
    EXPECT_EQ(S_FALSE, f->GetTextPosition(1, nullptr, VARIANT_FALSE, 0, &out));
    EXPECT_EQ(S_FALSE, f->GetTextPositionAll(nullptr, nullptr, &out));
    EXPECT_EQ(sentinel, out);
    for (auto put : {&IFoliumFun::put_CurPage, &IFoliumFun::put_DisplayMode, &IFoliumFun::put_Zoom,
                     &IFoliumFun::put_Rotate, &IFoliumFun::put_CursorState})
        EXPECT_EQ(S_FALSE, (f->*put)(1));
    DOUBLE size = 7;
    EXPECT_EQ(S_FALSE, f->GetPageSize(1, 0, &size));
    EXPECT_DOUBLE_EQ(7, size);
    EXPECT_EQ(S_FALSE, f->FullSize());
    EXPECT_EQ(S_FALSE, f->SmallSize());
    EXPECT_EQ(S_FALSE, f->FindFirst());
}

}  // namespace
