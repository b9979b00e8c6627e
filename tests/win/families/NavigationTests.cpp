// Navigation, view state, bookmarks and text search through the DLL loaded by the
// reader simulator: what a script gets back (type and value), and the view, finder and
// selection state of the reader afterwards.
#include "FamilyTestSupport.h"

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
const std::wstring kPage = L"reader." + kView + L"CurrentPage -> VT_I4=";  // a row reading the page shown

class Navigation : public ConnectedComponent {};

// ---- page moves, view properties, tools and scrolling -----------------------------------

TEST_F(Navigation, MovesViewPropertiesToolsAndScrollingAsTheReaderReceivesThem) {
    // Without a document: the moves answer page 1; the tools are activated by place.
    Steps({L"GotoFirstPage -> VT_I4=1", L"GotoPreviousPage -> VT_I4=1", L"GotoNextPage -> VT_I4=1",
           L"GotoLastPage -> VT_I4=1", L"CursorState=1", L"reader.Tools.Current.Name -> VT_BSTR=\"ToolHand\"",
           L"SetSelectState(1) -> VT_BOOL=-1", L"reader.Tools.Current.Name -> VT_BSTR=\"ToolText\"",
           L"SetSelectState(2) -> VT_BOOL=-1", L"reader.Tools.Current.Name -> VT_BSTR=\"ToolSnapShot\"",
           L"SetSelectState(0) -> VT_BOOL=-1", L"reader.Tools.Current.Name -> VT_BSTR=\"ToolHand\"",
           L"SetSelectState(3) -> VT_BOOL=0", L"reader.Tools.Current.Name -> VT_BSTR=\"ToolHand\"",
           L"GotoNextScreen -> VT_BOOL=0", L"WebSetScrollBarPos(1, 1) -> VT_BOOL=0"},
          {L"CurrentPage=", L"Scroll"});
    Open(kDocument);
    // No move goes past an end; the reader's layout codes differ from the script's modes.
    Steps({L"GotoPreviousPage -> VT_I4=1", L"GotoLastPage -> VT_I4=4 | PageView.CurrentPage=4",
           L"GotoNextPage -> VT_I4=4", L"GotoPreviousPage -> VT_I4=3 | PageView.CurrentPage=3",
           L"GotoNextPage -> VT_I4=4 | PageView.CurrentPage=4", L"GotoFirstPage -> VT_I4=1 | PageView.CurrentPage=1",
           L"CurPage=3 | PageView.CurrentPage=3", L"CurPage -> VT_I4=3", L"PageCount -> VT_I4=4",
           L"DisplayMode=1 | PageView.LayoutMode=0", L"DisplayMode -> VT_I4=1",
           L"DisplayMode=2 | PageView.LayoutMode=2", L"DisplayMode -> VT_I4=2",
           L"DisplayMode=3 | PageView.LayoutMode=1", L"DisplayMode -> VT_I4=3",
           L"DisplayMode=4 | PageView.LayoutMode=3", L"DisplayMode -> VT_I4=4",
           L"reader.Documents.ActiveDocument.Window.View.LayoutMode=7", L"DisplayMode -> VT_I4=7",
           L"DisplayMode=9 | PageView.LayoutMode=9",
           // Zoom: out of range is 100, -1 and -2 are zoom types; read back truncated, not rounded.
           L"Zoom=-5 | PageView.Zoom=100", L"Zoom=-1 | PageView.ZoomType=1",
           L"Zoom -> VT_I4=-1", L"Zoom=-2 | PageView.ZoomType=2", L"Zoom -> VT_I4=-2",
           L"Zoom=75 | PageView.Zoom=75", L"Zoom -> VT_I4=75",
           L"reader.Documents.ActiveDocument.Window.View.Zoom=149.9", L"Zoom -> VT_I4=149",
           // Rotation turns by the difference.
           L"reader.Documents.ActiveDocument.Window.View.RotateBy(270)", L"Rotate -> VT_I4=270",
           L"Rotate=90 | PageView.RotateBy(-180)", L"Rotate -> VT_I4=90",
           L"FullSize", L"reader.FullSize -> VT_BOOL=-1", L"SmallSize",
           L"reader.FullSize -> VT_BOOL=0",
           // Tools by name.
           L"CursorState -> VT_I4=0", L"reader.Tools.Item(\"ToolText\").Activate",
           L"CursorState -> VT_I4=1", L"reader.Tools.Item(\"ToolSnapShot\").Activate",
           L"CursorState -> VT_I4=2", L"reader.Tools.Item(\"ToolZoom\").Activate",
           L"CursorState -> VT_I4=-1", L"CursorState=2 | Tools.Item(\"ToolSnapShot\") | Tool.Activate()",
           L"reader.Tools.Current.Name -> VT_BSTR=\"ToolSnapShot\"", L"CursorState=3",
           L"reader.Tools.Current.Name -> VT_BSTR=\"ToolSnapShot\""},
          {L"CurrentPage=", L"LayoutMode=", L"Zoom=", L"ZoomType=", L"RotateBy", L"Tools.Item", L"Tool.Activate"});
    Steps({L"FindFirst"}, {L""});
    // Screen moves go by the view window's client height, without bound.
    Open(kDocument);
    const std::wstring handle = Host(kView + L"WindowHandle");  // "VT_I8=..."
    RECT rc{};
    const HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::stoll(handle.substr(6))));
    ASSERT_TRUE(GetClientRect(window, &rc)) << handle;
    ASSERT_GT(rc.bottom - rc.top, 0);
    const std::wstring height = std::to_wstring(rc.bottom - rc.top);
    // WebSetScrollBarPos moves by an offset.
    Steps({L"GotoNextScreen -> VT_BOOL=-1 | PageView.ScrollPosition=(0, " + height + L")",
           L"GotoPreviousScreen -> VT_BOOL=-1 | PageView.ScrollPosition=(0, 0)",
           L"GotoPreviousScreen -> VT_BOOL=-1 | PageView.ScrollPosition=(0, -" + height + L")"},
          {L"ScrollPosition="});
    Open(kDocument);
    Steps({L"WebSetScrollBarPos(10, -20) -> VT_BOOL=-1 | Application.NewPoint() | PageView.ScrollPosition=(10, -20)",
           L"WebSetScrollBarPos(10, -20) -> VT_BOOL=-1 | Application.NewPoint() | PageView.ScrollPosition=(20, -40)"},
          {L"ScrollPosition=", L"NewPoint"});
}

// ---- document facts and the bookmark walk -------------------------------------------------

TEST_F(Navigation, DocumentFactsAndBookmarks) {
    CaptureImports();
    Steps({L"isOpen -> VT_I4=0", L"ContentText -> VT_BSTR=\"\""});
    // Without a document ("7": the result is not written); only DocumentModified asks for one.
    using F = IFoliumFun;
    EXPECT_EQ((Lines{Call(&F::get_CursorState), Call(&F::GetPageSize, 1, 0), Call(&F::get_DocumentModified),
                     Call(&F::GetBookMarks), Call(&F::GetFormateStringPos, 0),
                     Call(&F::GetTextPositionAll, nullptr, nullptr),
                     Call(&F::GoToText, L"beta", 1, VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE)}),
              (Lines{L"S_OK 7", L"S_OK 7", L"S_FALSE 0", L"S_FALSE ", L"S_FALSE ", L"S_OK ", L"S_FALSE 1"}));
    EXPECT_EQ(CapturedOf(), Lines{L"MessageBoxW(null, \"请先打开文档！\", \"提示\", 16)"});
    Open(kDocument);
    // The pages joined without a separator; DocumentModified is the save command's enabled state,
    // found in the first "File" bar. Page sizes: -1 for no such page or index; 595 without a width.
    Steps({L"isOpen -> VT_I4=1", L"ContentText -> VT_BSTR=\"alpha beta alpha\\nAlphafarALPHA\"",
           L"PrintStatus -> VT_BOOL=0 | Document.Permission(0)", L"EditStatus -> VT_BOOL=-1 | Document.Permission(1)",
           L"CopyStatus -> VT_BOOL=0 | Document.Permission(2)",
           L"DocumentModified -> VT_I4=-1 | CommandBars.Item(0) | CommandBars.Item(1) | Controls.Item(0) | "
           L"Controls.Item(1)",
           L"reader.CommandBars.Item(\"File\").FindControl(1, 32002).Enabled=BOOL:0",
           L"DocumentModified -> VT_I4=0 | CommandBars.Item(0) | CommandBars.Item(1) | Controls.Item(0) | "
           L"Controls.Item(1)",
           L"GetPageSize(1, 0) -> VT_R8=595.5", L"GetPageSize(1, 1) -> VT_R8=842.25", L"GetPageSize(1, 2) -> VT_R8=90",
           L"GetPageSize(1, 3) -> VT_R8=-1", L"GetPageSize(0, 0) -> VT_R8=-1", L"GetPageSize(5, 0) -> VT_R8=-1",
           L"GetPageSize(-2147483648, 0) -> VT_R8=-1", L"GetPageSize(4, 0) -> VT_R8=595"},
          {L"Permission", L"CommandBars.Item(", L"Controls.Item("});
    // Bookmarks: by exact title or percent search, and the tree in document order, unescaped.
    const std::wstring selected = L"reader.Documents.ActiveDocument.Bookmarks.SelectedName -> VT_BSTR=";
    // An exact title is found without walking; the walk visits children before next
    // siblings; the search is case-sensitive.
    Steps({L"SelectedBookMarkName -> VT_BSTR=\"第一章\"", L"GotoBookMark(\"第二章 乙\") -> VT_I4=1 | Bookmark.GoTo()",
           kPage + L"4", L"GotoBookMark(\"乙%\") -> VT_I4=1 | Bookmarks.First | Bookmark.GoTo()",
           selected + L"\"第二节 乙\"", kPage + L"2", L"SelectedBookMarkName -> VT_BSTR=\"第二节 乙\"",
           L"GotoBookMark(\"appendix%\") -> VT_I4=0 | Bookmarks.First",
           L"GotoBookMark(\"pendix%\") -> VT_I4=1 | Bookmarks.First | Bookmark.GoTo()", selected + L"\"Appendix B\"",
           L"GotoBookMark(\"%\") -> VT_I4=0", L"GotoBookMark(\"第二\") -> VT_I4=0", L"GotoBookMark(\"\") -> VT_I4=0",
           L"GotoBookMark(\"第三章%\") -> VT_I4=0 | Bookmarks.First"},
          {L"GoTo", L"Bookmarks.First"});
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::GotoBookMark, nullptr), L"S_OK 0");
    EXPECT_EQ(Host(L"Documents.ActiveDocument.Bookmarks.SelectedName"), Str(L"Appendix B"));
    EXPECT_EQ(Str(L"{ \"BookMarks\": ["
                  L"{ \"Parent\": \"\", \"BookMark\": \"第一章\"},"
                  L"{ \"Parent\": \"第一章\", \"BookMark\": \"第一节 甲\"},"
                  L"{ \"Parent\": \"第一章\", \"BookMark\": \"第二节 乙\"},"
                  L"{ \"Parent\": \"第二节 乙\", \"BookMark\": \"要点 乙\"},"
                  L"{ \"Parent\": \"\", \"BookMark\": \"第二章 乙\"},"
                  L"{ \"Parent\": \"第二章 乙\", \"BookMark\": \"附件 \"A\"\"},"
                  L"{ \"Parent\": \"\", \"BookMark\": \"Appendix B\"}] }"),
              Script(L"GetBookMarks"));
    // A percent alone finds only a bookmark of that name.
    Open(R"({"pages": [{}, {}], "bookmarks": [{"title": "A%", "page": 1}, {"title": "%", "page": 2}]})");
    Steps({L"GotoBookMark(\"%\") -> VT_I4=1", kPage + L"2"});
    Open(R"({"pages": [{}]})");
    EXPECT_EQ(Str(L"{ \"BookMarks\": [] }"), Script(L"GetBookMarks"));
}

// ---- the finder loop over pages ------------------------------------------------------

TEST_F(Navigation, TextSearchesAskTheFinderPageByPageAndReportBoxes) {
    Open(kDocument);
    // SearchText: every hit ignoring case, every page asked until it has no more hits.
    // GetTextPosition resets the finder and stops at the first hit: the centre or the first corner.
    Steps({L"SearchText(\"alpha\") -> VT_BSTR=\"1@100.00@710.00,1@155.00@710.00,1@50.00@612.00,4@200.50@308.25,\" | "
           L"TextFinder.MatchCase=0 | TextFinder.Text=\"alpha\" | TextFinder.FindNext(1) | TextFinder.FindNext(1) | "
           L"TextFinder.FindNext(1) | TextFinder.FindNext(1) | TextFinder.FindNext(2) | TextFinder.FindNext(3) | "
           L"TextFinder.FindNext(4) | TextFinder.FindNext(4)",
           L"GetTextPosition(1, \"alpha\", BOOL:0, 0) -> VT_BSTR=\"Page:1;X:112.50;Y:705.00\" | TextFinder.Reset() | "
           L"TextFinder.MatchCase=0 | TextFinder.Text=\"alpha\" | TextFinder.FindNext(1)",
           L"GetTextPosition(5, \"alpha\", BOOL:0, 0) -> VT_BSTR=\"\""},
          {L"TextFinder.Reset", L"TextFinder.Text", L"MatchCase", L"FindNext"});
    Steps({L"SearchText(\"FAR\") -> VT_BSTR=\"2@1234567.50@20.00,\"", L"SearchText(\"omega\") -> VT_BSTR=\"\"",
           L"GetTextPosition(1, \"alpha\", BOOL:0, 1) -> VT_BSTR=\"Page:1;X:100.00;Y:710.00\"",
           L"GetTextPosition(2, \"alpha\", BOOL:0, 0) -> VT_BSTR=\"Page:4;X:210.50;Y:304.25\"",
           L"GetTextPosition(1, \"ALPHA\", BOOL:-1, 7) -> VT_BSTR=\"Page:4;X:200.50;Y:308.25\"",
           L"GetTextPosition(1, \"omega\", BOOL:0, 0) -> VT_BSTR=\"\"",
           L"GetTextPosition(-5, \"alpha\", BOOL:0, 0) -> VT_BSTR=\"Page:1;X:112.50;Y:705.00\""});
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::SearchText, nullptr), L"S_OK ");
    EXPECT_TRUE(Journaled(L"TextFinder.Text=\"\"")) << "a null text is searched as an empty one";
    // GoToText selects the hit only when Selected is exactly true.
    Steps({L"GoToText(\"beta\", 1, BOOL:0, BOOL:-1, BOOL:-1) -> VT_I4=0 | Application.Documents | "
           L"Documents.ActiveDocument | Document.Window | DocWindow.View | Document.TextFinder | "
           L"TextFinder.Text=\"beta\" | TextFinder.Direction=-1 | TextFinder.MatchCase=0 | TextFinder.FindNext(1) | "
           L"TextFinder.Hit | TextHit.X1 | TextHit.Y1 | TextHit.X2 | TextHit.Y2 | Document.TextSelection | "
           L"TextSelection.Clear() | TextSelection.SetStart(0, 130, 710) | TextSelection.SetEnd(0, 150, 700) | "
           L"PageView.Refresh()"},
          {L""});
    sim->ClearJournal();
    // Selected 1 is not true; 1 is the finder's S_FALSE when nothing is found.
    using F = IFoliumFun;
    EXPECT_EQ((Lines{Call(&F::GoToText, L"beta", 1, VARIANT_FALSE, VARIANT_TRUE, 1),
                     Call(&F::GoToText, L"BETA", 1, VARIANT_TRUE, VARIANT_TRUE, VARIANT_TRUE),
                     Call(&F::GoToText, nullptr, 1, VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE)}),
              (Lines{L"S_OK 0", L"S_OK 1", L"S_OK 1"}));
    EXPECT_FALSE(Journaled(L"TextSelection"));
    // GetFormateStringPos reports Chinese date lines; GetTextPositionAll opens the file it
    // searches, which stays open.
    Open(R"({"type": "OFD", "pages": [{"text": "二〇二四年三月五日"}]})");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::GetFormateStringPos, 0), L"S_FALSE ") << "OFD is skipped";
    EXPECT_FALSE(Journaled(L"FindNext"));
    Open(kDates);
    const std::wstring path = WriteFixture(kDocument);
    // The trimmed line is searched; a character after the 日, 8 or 13 characters, or no
    // leading 二 do not qualify. The type changes nothing.
    const std::wstring dates = L"VT_BSTR=\"1,84.00,766.00,216.00,754.00;2,72.00,766.00,216.00,754.00\" | "
                               L"TextFinder.Text=\"二〇二四年 三 月 五 日\" | TextFinder.Text=\"二〇二四年十二月三十一日\"";
    Steps({L"GetFormateStringPos(0) -> " + dates, L"GetFormateStringPos(5) -> " + dates,
           L"GetTextPositionAll(\"alpha\", \"C:\\no\\such\\file.pdf\") -> VT_BSTR=\"\" | "
           L"Documents.Open(\"C:\\\\no\\\\such\\\\file.pdf\", missing, missing, missing)",
           L"GetTextPositionAll(\"alpha\", \"" + path + L"\") -> VT_BSTR=\"1,100.00,710.00,125.00,700.00;"
           L"1,155.00,710.00,180.00,700.00;1,50.00,612.00,80.00,600.00;4,200.50,308.25,220.50,300.25\" | "
           L"Documents.Open(" + Quoted(path) + L", missing, missing, missing) | TextFinder.Text=\"alpha\"",
           L"reader.Documents.Count -> VT_I4=4"},
          {L"TextFinder.Text=", L"Documents.Open("});
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
    const VARIANT_BOOL on = VARIANT_TRUE;
    // Grouped by what they answer; "7" and "left": the result is not written.
    const std::pair<const wchar_t*, Lines> answers[] = {
        {L"S_FALSE", {e(&F::put_ShowMenus, on), e(&F::put_ShowPostil, on), e(&F::put_ShowState, on),
                      e(&F::put_ShowSides, on), e(&F::put_StartPageVisible, on), e(&F::put_Hide, on),
                      e(&F::put_EnabledCopy, on), e(&F::put_ShowMarks, on), e(&F::put_ShowTabBarVisible, on),
                      e(&F::put_ShowSigns, on), e(&F::put_ShowTools, on), e(&F::put_ShowDigitalSignature, 1),
                      e(&F::put_CurPage, 1), e(&F::put_DisplayMode, 1), e(&F::put_Zoom, 1), e(&F::put_Rotate, 1),
                      e(&F::put_CursorState, 1), e(&F::FullSize), e(&F::SmallSize), e(&F::FindFirst),
                      e(&F::AppendTools, k, k, 0), e(&F::AppendToolsEx, k, k, k), e(&F::AppendMenu, k, k),
                      e(&F::EnableUserTools, k, on), e(&F::EnableUserMenus, k, on), e(&F::setCompositeVisible, k, on)}},
        {L"S_FALSE 1", {e(&F::GotoFirstPage), e(&F::GotoPreviousPage), e(&F::GotoNextPage), e(&F::GotoLastPage),
                        e(&F::GoToText, nullptr, 1, VARIANT_FALSE, on, on), e(&F::ImportPages, p, 1, 1, 0),
                        e(&F::DeletePagesExt, 1, 2), e(&F::SaveLocalFileNoSignature, p), e(&F::get_ShowMenus),
                        e(&F::get_ShowPostil), e(&F::LockScreen), e(&F::UnlockScreen)}},
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
        {L"S_OK", {e(&F::put_FullScreen, on), e(&F::put_ShowSchedule, VARIANT_FALSE),
                   e(&F::put_EnabledCommentWindow, on)}},
        {L"S_OK 0", {e(&F::get_ShowSigns), e(&F::get_ShowSchedule)}},
        {L"S_OK -1", {e(&F::get_EnabledCommentWindow), e(&F::Alert, k), e(&F::INetSetCookieEx, p, key.get())}},
    };
    for (auto& [answer, got] : answers) EXPECT_EQ(got, Lines(got.size(), answer));
    EXPECT_EQ(JournalLines(), Lines{}) << "no host call, dialog or message";
}

}  // namespace
