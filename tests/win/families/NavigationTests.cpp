// Navigation, view state, bookmarks and text search through the DLL loaded by the
// reader simulator: what a script gets back, and the view, finder and selection
// state of the reader afterwards.
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

class Navigation : public ConnectedComponent {
protected:
    struct Quiet {
        IQxSimulator* sim;
        explicit Quiet(IQxSimulator* s) : sim(s) { sim->put_Recording(VARIANT_FALSE); }
        ~Quiet() { sim->put_Recording(VARIANT_TRUE); }
    };

    ComPtr<IQxDocument> Active() {
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        ComPtr<IQxDocument> doc;
        docs->get_ActiveDocument(doc.put());
        return doc;
    }
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
    std::wstring CurrentTool() {
        Quiet q(sim.get());
        ComPtr<IQxTools> tools;
        app->get_Tools(tools.put());
        ComPtr<IQxTool> tool;
        tools->get_Current(tool.put());
        UniqueBstr name;
        tool->get_Name(name.put());
        return name.c_str();
    }
    void ActivateTool(const wchar_t* name) {
        Quiet q(sim.get());
        ComPtr<IQxTools> tools;
        app->get_Tools(tools.put());
        auto key = ScopedVariant::Bstr(name);
        ComPtr<IQxTool> tool;
        tools->Item(*key.get(), tool.put());
        tool->Activate();
    }

    ScopedVariant Get(const wchar_t* name) {
        ScopedVariant r;
        EXPECT_EQ(S_OK, CallByName(disp.get(), name, DISPATCH_PROPERTYGET, {}, r.get())) << name;
        return r;
    }
    void Put(const wchar_t* name, LONG value) {
        EXPECT_EQ(S_OK, CallByName(disp.get(), name, DISPATCH_PROPERTYPUT, {VLong(value)}, nullptr)) << name;
    }
    ScopedVariant Call(const wchar_t* name, std::vector<VARIANT> args) {
        ScopedVariant r;
        EXPECT_EQ(S_OK, CallByName(disp.get(), name, DISPATCH_METHOD, args, r.get())) << name;
        for (auto& a : args) VariantClear(&a);
        return r;
    }
    static VARIANT VText(const wchar_t* s) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(s);
        return v;
    }
    static std::wstring Text(const ScopedVariant& v) {
        return v.get()->vt == VT_BSTR && v.get()->bstrVal ? v.get()->bstrVal : L"<not text>";
    }
    // Journal lines that contain fragment, in order.
    std::vector<std::wstring> Lines(const std::wstring& fragment) {
        std::vector<std::wstring> out;
        for (auto& l : JournalLines())
            if (l.find(fragment) != std::wstring::npos) out.push_back(l);
        return out;
    }
};

// ---- page moves and view properties ---------------------------------------------------

using PageMoves = Navigation;

TEST_F(PageMoves, EachMoveReportsThePageShownAfterwards) {
    Open(kDocument);
    EXPECT_EQ(4, Call(L"GotoLastPage", {})->lVal);
    EXPECT_EQ(4, HostPage());
    EXPECT_EQ(3, Call(L"GotoPreviousPage", {})->lVal);
    EXPECT_EQ(4, Call(L"GotoNextPage", {})->lVal);
    EXPECT_EQ(1, Call(L"GotoFirstPage", {})->lVal);
    EXPECT_EQ(1, HostPage());
}

TEST_F(PageMoves, NoMovePastEitherEnd) {
    Open(kDocument);
    LONG page = 0;
    ASSERT_EQ(S_OK, fun->GotoPreviousPage(&page));
    EXPECT_EQ(1, page);
    EXPECT_TRUE(Lines(L"PageView.CurrentPage=").empty()) << "already on the first page";
    fun->GotoLastPage(&page);
    sim->ClearJournal();
    ASSERT_EQ(S_OK, fun->GotoNextPage(&page));
    EXPECT_EQ(4, page);
    EXPECT_TRUE(Lines(L"PageView.CurrentPage=").empty()) << "already on the last page";
}

TEST_F(PageMoves, WithoutDocumentTheMovesAnswerOne) {
    for (auto move : {&IFoliumFun::GotoFirstPage, &IFoliumFun::GotoPreviousPage, &IFoliumFun::GotoNextPage,
                      &IFoliumFun::GotoLastPage}) {
        LONG page = 7;
        EXPECT_EQ(S_OK, (fun.get()->*move)(&page));
        EXPECT_EQ(1, page);
    }
}

TEST_F(PageMoves, CurPageAndPageCountAreTheViewsAndTheDocuments) {
    Open(kDocument);
    Put(L"CurPage", 3);
    EXPECT_EQ(3, HostPage());
    EXPECT_EQ(3, Get(L"CurPage")->lVal);
    EXPECT_EQ(4, Get(L"PageCount")->lVal);
}

using ViewState = Navigation;

TEST_F(ViewState, DisplayModeMapsThroughTheLayoutTable) {
    Open(kDocument);
    const LONG hostCode[] = {0, 0, 2, 1, 3};
    for (LONG mode = 1; mode <= 4; ++mode) {
        sim->ClearJournal();
        Put(L"DisplayMode", mode);
        EXPECT_EQ(std::vector<std::wstring>{L"PageView.LayoutMode=" + std::to_wstring(hostCode[mode])},
                  Lines(L"LayoutMode="));
        EXPECT_EQ(mode, Get(L"DisplayMode")->lVal);
    }
    {
        Quiet q(sim.get());
        View()->put_LayoutMode(7);
    }
    EXPECT_EQ(7, Get(L"DisplayMode")->lVal);
    Put(L"DisplayMode", 9);
    EXPECT_TRUE(Journaled(L"PageView.LayoutMode=9"));
}

TEST_F(ViewState, ZoomPercentFitModesAndOutOfRangeValues) {
    Open(kDocument);
    Put(L"Zoom", -5);
    EXPECT_TRUE(Journaled(L"PageView.Zoom=100"));
    Put(L"Zoom", -1);
    EXPECT_TRUE(Journaled(L"PageView.ZoomType=1"));
    EXPECT_EQ(-1, Get(L"Zoom")->lVal);
    Put(L"Zoom", -2);
    EXPECT_EQ(-2, Get(L"Zoom")->lVal);
    Put(L"Zoom", 75);
    EXPECT_EQ(75, Get(L"Zoom")->lVal);
    {
        Quiet q(sim.get());
        View()->put_Zoom(149.9);
    }
    EXPECT_EQ(149, Get(L"Zoom")->lVal) << "truncated, not rounded";
}

TEST_F(ViewState, RotateTurnsByTheDifference) {
    Open(kDocument);
    {
        Quiet q(sim.get());
        View()->RotateBy(270);
    }
    EXPECT_EQ(270, Get(L"Rotate")->lVal);
    Put(L"Rotate", 90);
    EXPECT_EQ(std::vector<std::wstring>{L"PageView.RotateBy(-180)"}, Lines(L"RotateBy"));
    EXPECT_EQ(90, Get(L"Rotate")->lVal);
}

TEST_F(ViewState, FullSizeSmallSizeAndFindFirst) {
    ASSERT_EQ(S_OK, fun->FullSize());
    VARIANT_BOOL full = 0;
    app->get_FullSize(&full);
    EXPECT_EQ(VARIANT_TRUE, full);
    ASSERT_EQ(S_OK, fun->SmallSize());
    app->get_FullSize(&full);
    EXPECT_EQ(VARIANT_FALSE, full);
    sim->ClearJournal();
    EXPECT_EQ(S_OK, fun->FindFirst());
    EXPECT_TRUE(JournalLines().empty());
}

// ---- scrolling ------------------------------------------------------------------------

using Scrolling = Navigation;

TEST_F(Scrolling, ScreenMovesGoByTheViewWindowsClientHeightWithoutBound) {
    Open(kDocument);
    LONGLONG handle = 0;
    {
        Quiet q(sim.get());
        View()->get_WindowHandle(&handle);
    }
    RECT rc{};
    ASSERT_TRUE(GetClientRect(reinterpret_cast<HWND>(static_cast<INT_PTR>(handle)), &rc));
    const std::wstring height = std::to_wstring(rc.bottom - rc.top);
    ASSERT_GT(rc.bottom - rc.top, 0);

    EXPECT_EQ(VARIANT_TRUE, Call(L"GotoNextScreen", {})->boolVal);
    EXPECT_EQ(std::vector<std::wstring>{L"PageView.ScrollPosition=(0, " + height + L")"},
              Lines(L"ScrollPosition="));
    sim->ClearJournal();
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(S_OK, fun->GotoPreviousScreen(&ok));
    ASSERT_EQ(S_OK, fun->GotoPreviousScreen(&ok));
    EXPECT_EQ(VARIANT_TRUE, ok);
    EXPECT_EQ((std::vector<std::wstring>{L"PageView.ScrollPosition=(0, 0)",
                                         L"PageView.ScrollPosition=(0, -" + height + L")"}),
              Lines(L"ScrollPosition="));
}

TEST_F(Scrolling, WebSetScrollBarPosMovesByAnOffset) {
    Open(kDocument);
    EXPECT_EQ(VARIANT_TRUE, Call(L"WebSetScrollBarPos", {VLong(10), VLong(-20)})->boolVal);
    EXPECT_EQ(VARIANT_TRUE, Call(L"WebSetScrollBarPos", {VLong(10), VLong(-20)})->boolVal);
    EXPECT_EQ((std::vector<std::wstring>{L"PageView.ScrollPosition=(10, -20)", L"PageView.ScrollPosition=(20, -40)"}),
              Lines(L"ScrollPosition="));
    EXPECT_EQ(2u, Lines(L"Application.NewPoint()").size());
}

TEST_F(Scrolling, WithoutDocumentNothingScrolls) {
    VARIANT_BOOL ok = 7;
    EXPECT_EQ(S_OK, fun->GotoNextScreen(&ok));
    EXPECT_EQ(VARIANT_FALSE, ok);
    ok = 7;
    EXPECT_EQ(S_OK, fun->WebSetScrollBarPos(1, 1, &ok));
    EXPECT_EQ(VARIANT_FALSE, ok);
}

// ---- document facts --------------------------------------------------------------------

using DocumentFacts = Navigation;

TEST_F(DocumentFacts, IsOpenFollowsTheActiveDocument) {
    EXPECT_EQ(0, Get(L"isOpen")->lVal);
    Open(kDocument);
    EXPECT_EQ(1, Get(L"isOpen")->lVal);
}

TEST_F(DocumentFacts, GetPageSizeByIndexAndOutsideThePages) {
    Open(kDocument);
    auto size = [&](LONG page, LONG index) {
        DOUBLE r = 7;
        EXPECT_EQ(S_OK, fun->GetPageSize(page, index, &r));
        return r;
    };
    EXPECT_DOUBLE_EQ(595.5, size(1, 0));
    EXPECT_DOUBLE_EQ(842.25, size(1, 1));
    EXPECT_DOUBLE_EQ(90.0, size(1, 2));
    EXPECT_DOUBLE_EQ(-1.0, size(1, 3));
    EXPECT_DOUBLE_EQ(-1.0, size(0, 0));
    EXPECT_DOUBLE_EQ(-1.0, size(5, 0));
    EXPECT_DOUBLE_EQ(-1.0, size(INT_MIN, 0));
    EXPECT_DOUBLE_EQ(595.0, size(4, 0)) << "a page without a width has the reader's default";
}

TEST_F(DocumentFacts, GetPageSizeWithoutDocumentLeavesTheResult) {
    DOUBLE r = 7;
    EXPECT_EQ(S_OK, fun->GetPageSize(1, 0, &r));
    EXPECT_DOUBLE_EQ(7, r);
}

TEST_F(DocumentFacts, PermissionGettersAskTheirOwnKinds) {
    Open(kDocument);
    EXPECT_EQ(VARIANT_FALSE, Get(L"PrintStatus")->boolVal);
    EXPECT_EQ(VARIANT_TRUE, Get(L"EditStatus")->boolVal);
    EXPECT_EQ(VARIANT_FALSE, Get(L"CopyStatus")->boolVal);
    EXPECT_EQ((std::vector<std::wstring>{L"Document.Permission(0)", L"Document.Permission(1)",
                                         L"Document.Permission(2)"}),
              Lines(L"Permission"));
}

TEST_F(DocumentFacts, DocumentModifiedIsTheSaveCommandsEnabledState) {
    Open(kDocument);
    EXPECT_EQ(-1, Get(L"DocumentModified")->lVal) << "the save command is enabled";
    EXPECT_EQ((std::vector<std::wstring>{L"CommandBars.Item(0)", L"CommandBars.Item(1)", L"Controls.Item(0)",
                                         L"Controls.Item(1)"}),
              Lines(L"s.Item("))
        << "the first \"File\" bar, then its controls up to the save command";
    {
        Quiet q(sim.get());
        auto file = ScopedVariant::Bstr(L"File");
        ComPtr<IQxCommandBars> bars;
        app->get_CommandBars(bars.put());
        ComPtr<IQxCommandBar> bar;
        bars->Item(*file.get(), bar.put());
        ComPtr<IQxControl> save;
        bar->FindControl(*ScopedVariant::I4(1).get(), *ScopedVariant::I4(32002).get(), save.put());
        save->put_Enabled(VARIANT_FALSE);
    }
    LONG modified = 7;
    ASSERT_EQ(S_OK, fun->get_DocumentModified(&modified));
    EXPECT_EQ(0, modified);
}

TEST_F(DocumentFacts, DocumentModifiedWithoutDocumentAsksForOne) {
    LONG patched = 0;
    ASSERT_EQ(S_OK, sim->CaptureImports(UniqueBstr(L"FoliumAddin.dll").get(), &patched));
    ASSERT_GE(patched, 1) << "MessageBoxW is imported by the component";
    sim->ClearCaptured();
    LONG modified = 7;
    EXPECT_EQ(S_FALSE, fun->get_DocumentModified(&modified));
    EXPECT_EQ(0, modified);
    LONG n = 0;
    sim->get_CapturedCount(&n);
    ASSERT_EQ(1, n);
    UniqueBstr line;
    sim->CapturedItem(0, line.put());
    EXPECT_EQ(std::wstring(L"MessageBoxW(null, \"请先打开文档！\", \"提示\", 16)"), line.c_str());
}

TEST_F(DocumentFacts, ContentTextJoinsThePagesWithoutSeparator) {
    EXPECT_EQ(L"", Text(Get(L"ContentText")));
    Open(kDocument);
    EXPECT_EQ(L"alpha beta alpha\nAlphafarALPHA", Text(Get(L"ContentText")));
}

// ---- tools ---------------------------------------------------------------------------

using Tools = Navigation;

TEST_F(Tools, CursorStateReadsTheCurrentToolByName) {
    Open(kDocument);
    EXPECT_EQ(0, Get(L"CursorState")->lVal);
    ActivateTool(L"ToolText");
    EXPECT_EQ(1, Get(L"CursorState")->lVal);
    ActivateTool(L"ToolSnapShot");
    EXPECT_EQ(2, Get(L"CursorState")->lVal);
    ActivateTool(L"ToolZoom");
    EXPECT_EQ(-1, Get(L"CursorState")->lVal);
}

TEST_F(Tools, CursorStatePutActivatesTheNamedTool) {
    Open(kDocument);
    Put(L"CursorState", 2);
    EXPECT_EQ(L"ToolSnapShot", CurrentTool());
    EXPECT_EQ(std::vector<std::wstring>{L"Tools.Item(\"ToolSnapShot\")"}, Lines(L"Tools.Item"));
    sim->ClearJournal();
    Put(L"CursorState", 3);
    EXPECT_TRUE(Lines(L"Tool.Activate").empty());
    EXPECT_EQ(L"ToolSnapShot", CurrentTool());
}

TEST_F(Tools, CursorStateNeedsADocument) {
    LONG v = 7;
    EXPECT_EQ(S_OK, fun->get_CursorState(&v));
    EXPECT_EQ(7, v);
    EXPECT_EQ(S_OK, fun->put_CursorState(1));
    EXPECT_EQ(L"ToolHand", CurrentTool());
}

TEST_F(Tools, SetSelectStateActivatesByPlaceWithoutDocument) {
    const struct {
        LONG state;
        const wchar_t* tool;
    } table[] = {{1, L"ToolText"}, {2, L"ToolSnapShot"}, {0, L"ToolHand"}};
    for (auto& row : table) {
        EXPECT_EQ(VARIANT_TRUE, Call(L"SetSelectState", {VLong(row.state)})->boolVal);
        EXPECT_EQ(row.tool, CurrentTool());
    }
    VARIANT_BOOL ok = 7;
    ASSERT_EQ(S_OK, fun->SetSelectState(3, &ok));
    EXPECT_EQ(VARIANT_FALSE, ok);
    EXPECT_EQ(L"ToolHand", CurrentTool());
}

// ---- the bookmark walk ----------------------------------------------------------------

using BookmarkWalk = Navigation;

TEST_F(BookmarkWalk, GotoBookMarkFindsAnExactTitleWithoutWalking) {
    Open(kDocument);
    EXPECT_EQ(1, Call(L"GotoBookMark", {VText(L"第二章 乙")})->lVal);
    EXPECT_EQ(4, HostPage());
    EXPECT_FALSE(Journaled(L"Bookmarks.First"));
}

TEST_F(BookmarkWalk, PercentSearchVisitsChildrenBeforeNextSiblings) {
    Open(kDocument);
    LONG ret = 0;
    ASSERT_EQ(S_OK, fun->GotoBookMark(UniqueBstr(L"乙%").get(), &ret));
    EXPECT_EQ(1, ret);
    EXPECT_EQ(L"第二节 乙", SelectedBookmark());
    EXPECT_EQ(2, HostPage());
}

TEST_F(BookmarkWalk, PercentSearchIsACaseSensitiveSubstringSearch) {
    Open(kDocument);
    LONG ret = 7;
    fun->GotoBookMark(UniqueBstr(L"appendix%").get(), &ret);
    EXPECT_EQ(0, ret);
    fun->GotoBookMark(UniqueBstr(L"pendix%").get(), &ret);
    EXPECT_EQ(1, ret);
    EXPECT_EQ(L"Appendix B", SelectedBookmark());
}

TEST_F(BookmarkWalk, NamesThatAreNotFoundLeaveZero) {
    Open(kDocument);
    for (const wchar_t* name : {L"%", L"第二", L"", L"第三章%"}) {
        LONG ret = 7;
        ASSERT_EQ(S_OK, fun->GotoBookMark(UniqueBstr(name).get(), &ret));
        EXPECT_EQ(0, ret);
    }
    LONG ret = 7;
    ASSERT_EQ(S_OK, fun->GotoBookMark(nullptr, &ret));
    EXPECT_EQ(0, ret);
    EXPECT_EQ(L"第一章", SelectedBookmark());
}

TEST_F(BookmarkWalk, APercentAloneFindsOnlyABookmarkOfThatName) {
    Open(R"({"pages": [{}, {}], "bookmarks": [{"title": "A%", "page": 1}, {"title": "%", "page": 2}]})");
    LONG ret = 0;
    ASSERT_EQ(S_OK, fun->GotoBookMark(UniqueBstr(L"%").get(), &ret));
    EXPECT_EQ(1, ret);
    EXPECT_EQ(2, HostPage());
}

TEST_F(BookmarkWalk, GetBookMarksListsTheTreeInDocumentOrderUnescaped) {
    Open(kDocument);
    EXPECT_EQ(L"{ \"BookMarks\": ["
              L"{ \"Parent\": \"\", \"BookMark\": \"第一章\"},"
              L"{ \"Parent\": \"第一章\", \"BookMark\": \"第一节 甲\"},"
              L"{ \"Parent\": \"第一章\", \"BookMark\": \"第二节 乙\"},"
              L"{ \"Parent\": \"第二节 乙\", \"BookMark\": \"要点 乙\"},"
              L"{ \"Parent\": \"\", \"BookMark\": \"第二章 乙\"},"
              L"{ \"Parent\": \"第二章 乙\", \"BookMark\": \"附件 \"A\"\"},"
              L"{ \"Parent\": \"\", \"BookMark\": \"Appendix B\"}] }",
              Text(Call(L"GetBookMarks", {})));
}

TEST_F(BookmarkWalk, GetBookMarksOfADocumentWithoutBookmarks) {
    Open(R"({"pages": [{}]})");
    EXPECT_EQ(L"{ \"BookMarks\": [] }", Text(Call(L"GetBookMarks", {})));
}

TEST_F(BookmarkWalk, GetBookMarksWithoutDocumentIsEmpty) {
    BSTR out = nullptr;
    EXPECT_EQ(S_FALSE, fun->GetBookMarks(&out));
    UniqueBstr owned = UniqueBstr::Attach(out);
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(0u, owned.length());
}

TEST_F(BookmarkWalk, SelectedBookMarkNameIsTheReadersSelection) {
    Open(kDocument);
    EXPECT_EQ(L"第一章", Text(Get(L"SelectedBookMarkName")));
    Call(L"GotoBookMark", {VText(L"Appendix B")});
    EXPECT_EQ(L"Appendix B", Text(Get(L"SelectedBookMarkName")));
}

// ---- the finder loop over pages ------------------------------------------------------

using FinderLoop = Navigation;

TEST_F(FinderLoop, SearchTextListsEveryHitIgnoringCaseEachEntryEndingInAComma) {
    Open(kDocument);
    EXPECT_EQ(L"1@100.00@710.00,1@155.00@710.00,1@50.00@612.00,4@200.50@308.25,",
              Text(Call(L"SearchText", {VText(L"alpha")})));
    EXPECT_TRUE(Journaled(L"TextFinder.MatchCase=0"));
    EXPECT_EQ(L"2@1234567.50@20.00,", Text(Call(L"SearchText", {VText(L"FAR")}))) << "no thousands separator";
    EXPECT_EQ(L"", Text(Call(L"SearchText", {VText(L"omega")})));
    BSTR out = nullptr;
    ASSERT_EQ(S_OK, fun->SearchText(nullptr, &out));
    UniqueBstr owned = UniqueBstr::Attach(out);
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(0u, owned.length());
    EXPECT_TRUE(Journaled(L"TextFinder.Text=\"\"")) << "a null text is searched as an empty one";
}

TEST_F(FinderLoop, SearchTextAsksEveryPageUntilItReportsNoHit) {
    Open(kDocument);
    Call(L"SearchText", {VText(L"alpha")});
    EXPECT_EQ((std::vector<std::wstring>{L"TextFinder.FindNext(1)", L"TextFinder.FindNext(1)",
                                         L"TextFinder.FindNext(1)", L"TextFinder.FindNext(1)",
                                         L"TextFinder.FindNext(2)", L"TextFinder.FindNext(3)",
                                         L"TextFinder.FindNext(4)", L"TextFinder.FindNext(4)"}),
              Lines(L"FindNext"));
    EXPECT_FALSE(Journaled(L"TextFinder.Reset()")) << "only GetTextPosition resets the finder";
}

TEST_F(FinderLoop, GetTextPositionGivesTheCentreOrTheFirstCornerOfTheFirstHit) {
    Open(kDocument);
    auto position = [&](LONG page, const wchar_t* text, bool matchCase, LONG type) {
        return Text(Call(L"GetTextPosition", {VLong(page), VText(text), VBool(matchCase), VLong(type)}));
    };
    EXPECT_EQ(L"Page:1;X:112.50;Y:705.00", position(1, L"alpha", false, 0));
    EXPECT_EQ(L"Page:1;X:100.00;Y:710.00", position(1, L"alpha", false, 1));
    EXPECT_EQ(L"Page:4;X:210.50;Y:304.25", position(2, L"alpha", false, 0)) << "pages 2 and 3 have none";
    EXPECT_EQ(L"Page:4;X:200.50;Y:308.25", position(1, L"ALPHA", true, 7)) << "case kept";
    EXPECT_EQ(L"", position(1, L"omega", false, 0));
    EXPECT_EQ(L"Page:1;X:112.50;Y:705.00", position(-5, L"alpha", false, 0)) << "pages before the first do not exist";
}

TEST_F(FinderLoop, GetTextPositionResetsTheFinderAndStopsAtTheFirstHit) {
    Open(kDocument);
    Call(L"GetTextPosition", {VLong(1), VText(L"alpha"), VBool(false), VLong(0)});
    EXPECT_EQ((std::vector<std::wstring>{L"TextFinder.Reset()", L"TextFinder.MatchCase=0", L"TextFinder.Text=\"alpha\"",
                                         L"TextFinder.FindNext(1)", L"TextFinder.Hit"}),
              Lines(L"TextFinder."));
}

TEST_F(FinderLoop, GetTextPositionPastTheLastPageIsEmpty) {
    Open(kDocument);
    BSTR out = nullptr;
    ASSERT_EQ(S_OK, fun->GetTextPosition(5, UniqueBstr(L"alpha").get(), VARIANT_FALSE, 0, &out));
    UniqueBstr owned = UniqueBstr::Attach(out);
    EXPECT_EQ(0u, owned.length());
    EXPECT_FALSE(Journaled(L"FindNext"));
}

TEST_F(FinderLoop, GetTextPositionAllSearchesTheFileItOpens) {
    Open(R"({"pages": [{"text": "only here"}]})");
    std::wstring path = WriteFixture(kDocument);
    EXPECT_EQ(L"1,100.00,710.00,125.00,700.00;1,155.00,710.00,180.00,700.00;1,50.00,612.00,80.00,600.00;"
              L"4,200.50,308.25,220.50,300.25",
              Text(Call(L"GetTextPositionAll", {VText(L"alpha"), VText(path.c_str())})));
    auto opens = Lines(L"Documents.Open(");
    ASSERT_EQ(1u, opens.size());
    EXPECT_NE(std::wstring::npos, opens[0].find(L"\", missing, missing, missing)")) << "the path, then three missing";
    LONG count = 0;
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    docs->get_Count(&count);
    EXPECT_EQ(2, count) << "the searched document stays open";
}

TEST_F(FinderLoop, GetTextPositionAllOfAMissingFileIsEmpty) {
    EXPECT_EQ(L"", Text(Call(L"GetTextPositionAll", {VText(L"alpha"), VText(L"C:\\no\\such\\file.pdf")})));
    BSTR out = nullptr;
    ASSERT_EQ(S_OK, fun->GetTextPositionAll(nullptr, nullptr, &out));
    UniqueBstr owned = UniqueBstr::Attach(out);
    EXPECT_EQ(0u, owned.length());
}

TEST_F(FinderLoop, GetFormateStringPosReportsChineseDateLines) {
    Open(kDates);
    EXPECT_EQ(L"1,84.00,766.00,216.00,754.00;2,72.00,766.00,216.00,754.00",
              Text(Call(L"GetFormateStringPos", {VLong(0)})));
    EXPECT_EQ((std::vector<std::wstring>{L"TextFinder.Text=\"二〇二四年 三 月 五 日\"",
                                         L"TextFinder.Text=\"二〇二四年十二月三十一日\""}),
              Lines(L"TextFinder.Text="))
        << "the trimmed line is searched; a character after the 日, 8 or 13 characters, or no leading 二 "
           "do not qualify";
    EXPECT_EQ(L"1,84.00,766.00,216.00,754.00;2,72.00,766.00,216.00,754.00",
              Text(Call(L"GetFormateStringPos", {VLong(5)})))
        << "the type changes nothing";
}

TEST_F(FinderLoop, GetFormateStringPosSkipsOfdDocumentsAndNeedsADocument) {
    BSTR out = nullptr;
    EXPECT_EQ(S_FALSE, fun->GetFormateStringPos(0, &out));
    UniqueBstr none = UniqueBstr::Attach(out);
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(0u, none.length());
    Open(R"({"type": "OFD", "pages": [{"text": "二〇二四年三月五日"}]})");
    out = nullptr;
    EXPECT_EQ(S_FALSE, fun->GetFormateStringPos(0, &out));
    UniqueBstr ofd = UniqueBstr::Attach(out);
    EXPECT_EQ(0u, ofd.length());
    EXPECT_FALSE(Journaled(L"FindNext"));
}

TEST_F(FinderLoop, GoToTextSelectsTheHitAndRefreshesTheView) {
    Open(kDocument);
    EXPECT_EQ(0, Call(L"GoToText", {VText(L"beta"), VLong(1), VBool(false), VBool(true), VBool(true)})->lVal);
    EXPECT_EQ((std::vector<std::wstring>{L"TextFinder.Text=\"beta\"", L"TextFinder.Direction=-1",
                                         L"TextFinder.MatchCase=0", L"TextFinder.FindNext(1)", L"TextFinder.Hit",
                                         L"TextHit.X1", L"TextHit.Y1", L"TextHit.X2", L"TextHit.Y2",
                                         L"TextSelection.Clear()", L"TextSelection.SetStart(0, 130, 710)",
                                         L"TextSelection.SetEnd(0, 150, 700)", L"PageView.Refresh()"}),
              [&] {
                  std::vector<std::wstring> out;
                  for (auto& l : JournalLines())
                      if (l.rfind(L"Text", 0) == 0 || l.rfind(L"PageView.Refresh", 0) == 0) out.push_back(l);
                  return out;
              }());
}

TEST_F(FinderLoop, GoToTextSelectsOnlyWhenSelectedIsExactlyTrue) {
    Open(kDocument);
    LONG result = 7;
    ASSERT_EQ(S_OK, fun->GoToText(UniqueBstr(L"beta").get(), 1, VARIANT_FALSE, VARIANT_TRUE, 1, &result));
    EXPECT_EQ(0, result);
    EXPECT_FALSE(Journaled(L"TextSelection"));
}

TEST_F(FinderLoop, GoToTextReturnsTheFindersStatusWhenNothingIsFound) {
    Open(kDocument);
    LONG result = 7;
    ASSERT_EQ(S_OK, fun->GoToText(UniqueBstr(L"BETA").get(), 1, VARIANT_TRUE, VARIANT_TRUE, VARIANT_TRUE, &result));
    EXPECT_EQ(1, result) << "S_FALSE from the finder";
    EXPECT_FALSE(Journaled(L"TextSelection"));
    ASSERT_EQ(S_OK, fun->GoToText(nullptr, 1, VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE, &result));
    EXPECT_EQ(1, result);
}

TEST_F(FinderLoop, GoToTextWithoutDocumentIsNotDone) {
    LONG result = 7;
    EXPECT_EQ(S_FALSE, fun->GoToText(UniqueBstr(L"beta").get(), 1, VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE, &result));
    EXPECT_EQ(1, result);
}

// ---- no reader connected -----------------------------------------------------------------

class NavigationWithoutReader : public ::testing::Test {
protected:
    ComApartment com;
    ComPtr<IFoliumFun> fun;
    void SetUp() override {
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FoliumFun, nullptr, CLSCTX_INPROC_SERVER, IID_IFoliumFun, fun.put_void()));
    }
};

TEST_F(NavigationWithoutReader, MembersWithAStatedDefaultSetItAndAnswerSFalse) {
    for (auto move : {&IFoliumFun::GotoFirstPage, &IFoliumFun::GotoPreviousPage, &IFoliumFun::GotoNextPage,
                      &IFoliumFun::GotoLastPage}) {
        LONG page = 7;
        EXPECT_EQ(S_FALSE, (fun.get()->*move)(&page));
        EXPECT_EQ(1, page);
    }
    for (auto move : {&IFoliumFun::GotoPreviousScreen, &IFoliumFun::GotoNextScreen}) {
        VARIANT_BOOL ok = 7;
        EXPECT_EQ(S_FALSE, (fun.get()->*move)(&ok));
        EXPECT_EQ(VARIANT_FALSE, ok);
    }
    LONG value = 7;
    EXPECT_EQ(S_FALSE, fun->GotoBookMark(UniqueBstr(L"第一章").get(), &value));
    EXPECT_EQ(0, value);
    value = 7;
    EXPECT_EQ(S_FALSE, fun->get_isOpen(&value));
    EXPECT_EQ(0, value);
    value = 7;
    EXPECT_EQ(S_FALSE, fun->get_DocumentModified(&value));
    EXPECT_EQ(0, value);
    value = 7;
    EXPECT_EQ(S_FALSE, fun->GoToText(nullptr, 1, VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE, &value));
    EXPECT_EQ(1, value);
    for (auto text : {&IFoliumFun::GetBookMarks}) {
        BSTR out = nullptr;
        EXPECT_EQ(S_FALSE, (fun.get()->*text)(&out));
        UniqueBstr owned = UniqueBstr::Attach(out);
        ASSERT_NE(nullptr, out);
        EXPECT_EQ(0u, owned.length());
    }
    BSTR out = nullptr;
    EXPECT_EQ(S_FALSE, fun->GetFormateStringPos(0, &out));
    UniqueBstr owned = UniqueBstr::Attach(out);
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(0u, owned.length());
}

TEST_F(NavigationWithoutReader, OtherMembersLeaveTheirResultAndAnswerSFalse) {
    for (auto get : {&IFoliumFun::get_CurPage, &IFoliumFun::get_PageCount, &IFoliumFun::get_DisplayMode,
                     &IFoliumFun::get_Zoom, &IFoliumFun::get_Rotate, &IFoliumFun::get_CursorState}) {
        LONG v = 7;
        EXPECT_EQ(S_FALSE, (fun.get()->*get)(&v));
        EXPECT_EQ(7, v);
    }
    for (auto put : {&IFoliumFun::put_CurPage, &IFoliumFun::put_DisplayMode, &IFoliumFun::put_Zoom,
                     &IFoliumFun::put_Rotate, &IFoliumFun::put_CursorState})
        EXPECT_EQ(S_FALSE, (fun.get()->*put)(1));
    for (auto get : {&IFoliumFun::get_EditStatus, &IFoliumFun::get_CopyStatus, &IFoliumFun::get_PrintStatus}) {
        VARIANT_BOOL v = 7;
        EXPECT_EQ(S_FALSE, (fun.get()->*get)(&v));
        EXPECT_EQ(7, v);
    }
    BSTR sentinel = reinterpret_cast<BSTR>(static_cast<INT_PTR>(0x1234));
    BSTR out = sentinel;
    EXPECT_EQ(S_FALSE, fun->get_ContentText(&out));
    EXPECT_EQ(sentinel, out);
    EXPECT_EQ(S_FALSE, fun->get_SelectedBookMarkName(&out));
    EXPECT_EQ(S_FALSE, fun->SearchText(nullptr, &out));
    EXPECT_EQ(S_FALSE, fun->GetTextPosition(1, nullptr, VARIANT_FALSE, 0, &out));
    EXPECT_EQ(S_FALSE, fun->GetTextPositionAll(nullptr, nullptr, &out));
    EXPECT_EQ(sentinel, out);
    DOUBLE size = 7;
    EXPECT_EQ(S_FALSE, fun->GetPageSize(1, 0, &size));
    EXPECT_DOUBLE_EQ(7, size);
    VARIANT_BOOL ok = 7;
    EXPECT_EQ(S_FALSE, fun->SetSelectState(0, &ok));
    EXPECT_EQ(7, ok);
    EXPECT_EQ(S_FALSE, fun->WebSetScrollBarPos(1, 1, &ok));
    EXPECT_EQ(7, ok);
    EXPECT_EQ(S_FALSE, fun->FullSize());
    EXPECT_EQ(S_FALSE, fun->SmallSize());
    EXPECT_EQ(S_FALSE, fun->FindFirst());
}

}  // namespace
