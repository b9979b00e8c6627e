// The simulated reader's object model: fixtures, text search, bookmarks, fields,
// command bars, the journal, events, add-ins and sibling stand-ins.
#include <olectl.h>

#include <algorithm>
#include <functional>

#include "SimTestSupport.h"

using namespace simtest;

namespace {

const char kFixture[] = u8R"({
 "type": "PDF", "security": 0, "permissions": {"0": true, "1": false},
 "pages": [
  {"width": 600, "height": 800, "rotation": 0,
   "text": [{"x": 100, "y": 700, "size": 10, "text": "Hello World hello"},
            {"x": 100, "y": 650, "size": 20, "text": "合同编号"}],
   "annotations": [{"kind": 0, "type": "Text", "author": "张三", "rect": [10, 20, 30, 40], "contents": "note",
                    "values": {"TextID": "20260101"}, "popup": {"title": "Comment", "open": false}}]},
  {"width": 595, "height": 842, "rotation": 90, "text": "line one\nHello again"}
 ],
 "bookmarks": [{"title": "第一章", "page": 1, "children": [{"title": "1.1 Intro", "page": 2}]},
               {"title": "Appendix", "page": 2}],
 "fields": [{"name": "name", "fullName": "form.name", "kind": 1, "value": "李四", "widget": {"page": 0, "rect": [50, 50, 150, 70]}},
            {"name": "sig1", "fullName": "sig1", "kind": 6, "signed": true, "signer": "CA", "widget": {"page": 1, "rect": [0, 0, 100, 50]}},
            {"name": "sig2", "fullName": "sig2", "kind": 6, "signed": false, "widget": {"page": 1, "rect": [0, 60, 100, 110], "values": {"VD_PreSeal": "seal.png"}}}],
 "attachments": [{"name": "a.txt", "description": "附件", "data": "SGVsbG8="}]
})";

const std::wstring kDone = L"VT_EMPTY=empty";
const std::wstring kNothing = L"VT_DISPATCH=nothing";
const std::wstring kObject = L"VT_DISPATCH=object";
std::wstring I4(LONG n) { return L"VT_I4=" + std::to_wstring(n); }
std::wstring Bool(bool b) { return b ? L"VT_BOOL=-1" : L"VT_BOOL=0"; }
// A text as the typed journal writes it (quotes, backslashes and line feeds escaped).
std::wstring Text(const std::wstring& s) {
    std::wstring out = L"VT_BSTR=\"";
    for (wchar_t c : s)
        out += c == L'\\' ? L"\\\\" : c == L'"' ? L"\\\"" : c == L'\n' ? L"\\n" : std::wstring(1, c);
    return out + L"\"";
}
// A path written as a script argument.
std::wstring Arg(const std::wstring& s) { return L"\"" + s + L"\""; }

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim = CreateSimulator();
        ASSERT_TRUE(sim) << "QUIREX_SIM_DLL must name QuirexSim.dll";
        ASSERT_EQ(S_OK, sim->Reset());
        ASSERT_EQ(S_OK, sim->get_Application(app.put()));
        dir = TempDir();
        path = dir + L"\\doc.pdf";
        WriteUtf8(path, kFixture);
    }
    ComPtr<IQxDocument> Open(const std::wstring& p) {
        ScopedVariant doc;
        EXPECT_EQ(S_OK, Walk(app.get(), L"Documents.Open(" + Arg(p) + L", missing, missing, missing)", doc));
        ComPtr<IQxDocument> out;
        if (auto d = folium::ReadDispatch(doc.get())) d->QueryInterface(IID_IQxDocument, out.put_void());
        return out;
    }
    std::wstring Get(IDispatch* root, const std::wstring& walk) { return simtest::Get(sim.get(), root, walk); }
    void Expect(IDispatch* root, std::initializer_list<std::pair<std::wstring, std::wstring>> walks) {
        ExpectWalks(sim.get(), root, walks);
    }
    template <class I>
    ComPtr<I> Object(IDispatch* root, const std::wstring& walk, REFIID iid) {
        ScopedVariant v;
        ComPtr<I> out;
        if (SUCCEEDED(Walk(root, walk, v)))
            if (auto d = folium::ReadDispatch(v.get())) d->QueryInterface(iid, out.put_void());
        return out;
    }
    ComPtr<IQxSimulator> sim;
    ComPtr<IQxApplication> app;
    std::wstring dir, path;
};

// A simulator with the fixture open as the active document.
class DocTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        doc = Open(path);
        ASSERT_TRUE(doc);
    }
    ComPtr<IQxDocument> doc;
};

// ---- fixtures ------------------------------------------------------------------------

TEST_F(DocTest, OpenReadsPagesTextAnnotationsFieldsAttachmentsAndFileFacts) {
    const std::wstring out = dir + L"\\out.txt";
    Expect(doc.get(), {
        {L"Pages.Count", I4(2)},
        {L"Pages.Item(1).Width", L"VT_R8=595"},
        {L"Pages.Item(1).Height", L"VT_R8=842"},
        {L"Pages.Item(1).Rotation", I4(90)},
        {L"Pages.Item(1).Text", Text(L"line one\nHello again")},
        {L"Pages.Item(0).Annotations.Item(0).Author", Text(L"张三")},
        {L"Pages.Item(0).Annotations.Item(0).GetValue(\"TextID\")", Text(L"20260101")},
        {L"Pages.Item(0).Annotations.Item(0).DisplaySize", Text(L"20.000000*20.000000")},
        {L"Pages.Item(0).Annotations.Item(0).Left", L"VT_R8=10"},
        {L"Pages.Item(0).Annotations.Item(0).Top", L"VT_R8=40"},
        {L"Permission(0)", Bool(true)},
        {L"Permission(1)", Bool(false)},
        {L"Permission(2)", Bool(true)},  // kinds absent from the fixture are allowed
        {L"Attachments.Item(0).SaveToFile(" + Arg(out) + L")", Bool(true)},
        {L"FileInfo.Folder", Text(dir + L"\\")},
        {L"FileInfo.Name", Text(L"doc.pdf")},
        {L"FileInfo.Size", I4(static_cast<LONG>(sizeof(kFixture) - 1))},
    });
    EXPECT_EQ("Hello", ReadBytes(out));
}

TEST_F(DocTest, SavedAndReopenedDocumentIsTheSameDocument) {
    auto stamp = Object<IQxAnnotation>(doc.get(), L"Pages.Item(1).Annotations.Add(12)", IID_IQxAnnotation);
    ASSERT_TRUE(stamp);
    const std::wstring copy1 = dir + L"\\copy1.pdf", copy2 = dir + L"\\copy2.pdf";
    Expect(stamp.get(), {{L"SetRect(1, 2, 101, 52)", kDone},
                         {L"Author=\"王五\"", kDone},
                         {L"SetValue(\"AnnotInfo\", '{\"author\":\"王五\"}')", kDone}});
    Expect(doc.get(), {{L"Fields.Item(\"form.name\").Value=\"新值\"", kDone},
                       {L"Watermarks.SetText(\"机密\")", kDone},
                       {L"Watermarks.AddTextEx(0, 1, 10, 20, 1.5, \"mark\")", I4(0)},
                       {L"SaveAs(" + Arg(copy1) + L")", I4(0)}});
    Expect(app.get(), {{L"Documents.Close(missing)", kDone}});

    auto again = Open(copy1);
    ASSERT_TRUE(again);
    Expect(again.get(), {
        {L"Pages.Item(1).Annotations.Count", I4(3)},  // the stamp and the two signature widgets
        {L"Pages.Item(1).Annotations.Item(0).Author", Text(L"王五")},
        {L"Pages.Item(1).Annotations.Item(0).GetValue(\"AnnotInfo\")", Text(L"{\"author\":\"王五\"}")},
        {L"Pages.Item(1).Annotations.Item(0).Kind", I4(12)},
        {L"Fields.Item(0).Value", Text(L"新值")},
        {L"SaveAs(" + Arg(copy2) + L")", I4(0)},
    });
    EXPECT_EQ(ReadBytes(copy1), ReadBytes(copy2)) << "saving a reopened document changes nothing";
}

TEST_F(SimTest, MissingOrMalformedFileOpensNothing) {
    const std::wstring bad = dir + L"\\bad.pdf";
    WriteUtf8(bad, "%PDF-1.7 not a fixture");
    Expect(app.get(), {{L"Documents.Open(" + Arg(dir + L"\\absent.pdf") + L", missing, missing, missing)", kNothing},
                       {L"Documents.Open(" + Arg(bad) + L", missing, missing, missing)", kNothing},
                       {L"Documents.ActiveDocument", kNothing}});
}

// ---- text search -------------------------------------------------------------------------

// Every hit of one search, as "x1,y1,x2,y2" boxes in page coordinates, until FindNext answers S_FALSE.
std::wstring FindAll(IQxTextFinder* finder, LONG page) {
    std::wstring hits;
    for (int i = 0; i < 10; ++i) {
        VARIANT_BOOL found = -1;
        const HRESULT hr = finder->FindNext(page, &found);
        if (hr == S_FALSE && found == VARIANT_FALSE) return hits;
        if (hr != S_OK || found != VARIANT_TRUE) return hits + L" bad answer";
        ComPtr<IQxTextHit> hit;
        finder->get_Hit(hit.put());
        double box[4] = {};
        hit->get_X1(&box[0]);
        hit->get_Y1(&box[1]);
        hit->get_X2(&box[2]);
        hit->get_Y2(&box[3]);
        if (!hits.empty()) hits += L" ";
        for (int k = 0; k < 4; ++k) hits += (k ? L"," : L"") + std::to_wstring(static_cast<int>(box[k]));
    }
    return hits + L" endless";
}

TEST_F(DocTest, FinderReportsEveryHitInPageCoordinatesThenNotFound) {
    ComPtr<IQxTextFinder> finder;
    ASSERT_EQ(S_OK, doc->get_TextFinder(finder.put()));
    const struct {
        const wchar_t* text;
        VARIANT_BOOL matchCase;
        LONG direction, page;
        const wchar_t* hits;
    } cases[] = {
        {nullptr, VARIANT_FALSE, 1, 1, L""},  // no text set
        {L"World", VARIANT_FALSE, 1, 1, L"130,710,155,700"},
        {L"编号", VARIANT_FALSE, 1, 1, L"140,670,180,650"},
        // Plain-text pages lay their lines out from the top margin at 12 points.
        {L"again", VARIANT_FALSE, 1, 2, L"108,766,138,754"},
        {L"hello", VARIANT_FALSE, 1, 1, L"100,710,125,700 160,710,185,700"},
        {L"hello", VARIANT_TRUE, 1, 1, L"160,710,185,700"},  // only the lower-case occurrence
        {L"hello", VARIANT_FALSE, 0, 1, L"160,710,185,700 100,710,125,700"},  // backwards from the end
        {L"Hello", VARIANT_FALSE, 1, 0, L""},  // pages outside the document
        {L"Hello", VARIANT_FALSE, 1, 3, L""},
    };
    for (const auto& c : cases) {
        finder->put_MatchCase(c.matchCase);
        finder->put_Direction(c.direction);
        if (c.text) finder->put_Text(UniqueBstr(c.text).get());
        EXPECT_EQ(c.hits, FindAll(finder.get(), c.page)) << (c.text ? c.text : L"(none)");
    }
    finder->put_Direction(1);
    finder->put_Text(UniqueBstr(L"again").get());
    VARIANT_BOOL found = 0;
    finder->FindNext(2, &found);
    Expect(finder.get(), {{L"Hit.Width", L"VT_R8=30"}, {L"Hit.Height", L"VT_R8=-12"}});
}

// ---- bookmarks, fields, pages ------------------------------------------------------------------

TEST_F(DocTest, BookmarkTreeWalksAndGoesToItsPage) {
    Expect(doc.get(), {
        {L"Bookmarks.First.Title", Text(L"第一章")},
        {L"Bookmarks.First.FirstChild.Title", Text(L"1.1 Intro")},
        {L"Bookmarks.First.FirstChild.Parent.Title", Text(L"第一章")},
        {L"Bookmarks.First.Next.Title", Text(L"Appendix")},
        {L"Bookmarks.First.Next.Next", kNothing},
        {L"Bookmarks.Find(\"1.1\")", kNothing},  // Find wants the exact title
        {L"Bookmarks.Find(\"1.1 Intro\").GoTo", kDone},
        {L"Window.View.CurrentPage", I4(2)},
        {L"Bookmarks.SelectedName", Text(L"1.1 Intro")},
    });
}

TEST_F(DocTest, FieldsReportSignaturesWidgetValuesAndImportXml) {
    Expect(doc.get(), {
        {L"Fields.Count", I4(3)},
        {L"Fields.SignatureCount", I4(1)},
        {L"Fields.Item(1).Signature", kObject},
        {L"Fields.Item(I8:2).Signature", kNothing},  // a 64-bit index works too
        {L"Fields.Item(2).Widget.GetValue(\"VD_PreSeal\")", Text(L"seal.png")},
        {L"Fields.Item(2).Widget.Type", Text(L"Widget")},
        {L"Fields.Item(2).Widget.PageIndex", I4(1)},
        {L"Fields.ImportXml(0, '<fields><field name=\"form.name\">A&amp;B</field></fields>')", I4(1)},
        {L"Fields.Item(0).Value", Text(L"A&B")},
    });
}

TEST_F(DocTest, PagesInsertAndDeleteByRange) {
    Expect(doc.get(), {
        {L"Pages.Insert(" + Arg(path) + L", 1, \"2-2\")", I4(1)},
        {L"Pages.Count", I4(3)},
        {L"Pages.Item(1).Rotation", I4(90)},  // the second source page went after the first page
        {L"Pages.Delete(\"1-3\")", I4(2)},    // a document keeps at least one page
        {L"Pages.Delete(\"2-4\")", I4(1)},
        {L"Pages.Delete(\"1-2\")", I4(0)},
        {L"Pages.Count", I4(1)},
    });
}

// ---- view and editing -------------------------------------------------------------------------

TEST_F(DocTest, PageViewMapsClientPointsOntoTheCurrentPage) {
    auto view = Object<IQxPageView>(doc.get(), L"Window.View", IID_IQxPageView);
    ASSERT_TRUE(view);
    view->put_Zoom(200);
    double x = 100, y = 100;
    LONG page = -5;
    view->PointToPage(&x, &y, &page);
    EXPECT_EQ(0, page);
    EXPECT_DOUBLE_EQ(50, x);
    EXPECT_DOUBLE_EQ(750, y) << "page y grows upwards from the bottom of the 800-unit page";
    view->put_CurrentPage(2);
    x = 2000, y = 10;
    view->PointToPage(&x, &y, &page);
    EXPECT_EQ(-1, page);
    EXPECT_DOUBLE_EQ(2000, x) << "a point outside every page is left alone";
    Expect(view.get(), {{L"CurrentPage=99", kDone},
                        {L"CurrentPage", I4(2)},  // clamped to the last page
                        {L"RotateBy(-90)", kDone},
                        {L"Rotation", I4(270)}});
}

TEST_F(DocTest, AnnotationsAttachmentsAndWatermarksChangeTheDocument) {
    Expect(doc.get(), {{L"Modified", I4(0)},
                       {L"Pages.Item(0).Annotations.Item(0).Delete", kDone},
                       {L"Pages.Item(0).Annotations.Count", I4(1)},  // only the field widget is left
                       {L"Modified", I4(1)}});
    auto stamp = Object<IQxAnnotation>(doc.get(), L"Pages.Item(0).Annotations.Add(12)", IID_IQxAnnotation);
    ASSERT_TRUE(stamp);
    auto png = ScopedVariant::Bytes("PNG", 3);
    LONG result = -1;
    stamp->SetImage(*png.get(), &result);
    EXPECT_EQ(0, result);
    const std::wstring exported = dir + L"\\stamp.png";
    Expect(stamp.get(), {{L"SetImage(" + Arg(dir + L"\\absent.png") + L")", I4(-1)},
                         {L"StampKind", I4(1)},
                         {L"SetRect(10, 10, 40, 30)", kDone},
                         {L"ExportImage(" + Arg(exported) + L")", Text(L"30.000000*20.000000")}});
    EXPECT_EQ("PNG", ReadBytes(exported));
    Expect(doc.get(), {
        {L"Attachments.Add(" + Arg(exported) + L", \"stamp\")", I4(0)},
        {L"Attachments.Add(" + Arg(dir + L"\\absent") + L", \"\")", I4(-1)},
        {L"Attachments.Count", I4(2)},
        {L"Attachments.Item(1).Name", Text(L"stamp.png")},
        {L"Attachments.Remove(0)", I4(0)},
        {L"Attachments.Remove(5)", I4(-1)},
        {L"Watermarks.SetText(\"DRAFT\")", kDone},
        {L"Watermarks.AddTextEx(1, 0, 0, 0, 1, \"draft\")", I4(0)},
        {L"Watermarks.AddTextEx(7, 0, 0, 0, 1, \"draft\")", I4(-1)},
        {L"Watermarks.NoPrintByName(0, \"draft\")", I4(0)},
        {L"Watermarks.DeleteByName(0, \"draft\")", I4(1)},  // page 0 has none
        {L"Watermarks.DeleteByName(1, \"draft\")", I4(0)},
        {L"Watermarks.NoPrintByName(0, \"draft\")", I4(1)},
    });
}

TEST_F(SimTest, ToolsPanesAndTabBarsAnswerByNameAndIndex) {
    Expect(app.get(), {{L"Tools.Item(\"tooltext\").Activate", kDone},  // tool names ignore case
                       {L"Tools.Current.Name", Text(L"ToolText")},
                       {L"Tools.Item(2).Name", Text(L"ToolText")}});
    auto doc = Open(path);
    ASSERT_TRUE(doc);
    LONG n = 0, sig = -1;
    ScopedVariant count;
    ASSERT_EQ(S_OK, Walk(doc.get(), L"Workspace.TabBars.Count", count));
    n = folium::ReadI4(count.get()).value_or(0);
    for (LONG i = 0; i < n; ++i)
        if (Get(doc.get(), L"Workspace.TabBars.Name(" + std::to_wstring(i) + L")") == Text(L"SigTabBar")) sig = i;
    ASSERT_GE(sig, 0);
    const std::wstring tabs = L"Workspace.TabBars.";
    Expect(doc.get(), {{tabs + L"SetVisible(" + std::to_wstring(sig) + L", BOOL:0)", kDone},
                       {tabs + L"GetVisible(" + std::to_wstring(sig) + L")", Bool(false)},
                       {tabs + L"GetVisible(" + std::to_wstring(n) + L")", L"failed 0x8002000B"},
                       {L"Workspace.Panes.Item(\"Bookmarks\").Name", Text(L"BookMarks")},
                       {L"Workspace.Panes.Count", I4(5)}});
    for (LONG i = 0; i < 5; ++i)
        EXPECT_EQ(Bool(false), Get(doc.get(), L"Workspace.Panes.Item(" + std::to_wstring(i) + L").Visible"))
            << "every pane starts hidden";
}

// ---- chrome ----------------------------------------------------------------------------------

TEST_F(SimTest, DefaultCommandBarsHoldTheReadersControls) {
    ScopedVariant count;
    ASSERT_EQ(S_OK, Walk(app.get(), L"CommandBars.Count", count));
    std::vector<std::wstring> names;
    for (LONG i = 0; i < folium::ReadI4(count.get()).value_or(0); ++i)
        names.push_back(Get(app.get(), L"CommandBars.Item(I8:" + std::to_wstring(i) + L").Name"));
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(Text(L"MenuBar"), names[0]) << "the menu bar is the first bar";
    for (const wchar_t* want : {L"File", L"Rotate", L"Zoom", L"Standard", L"Find", L"Annots", L"Measuring",
                                L"OFDSignature", L"批量签章", L"Comments", L"DigitalSignature", L"MyTools"})
        EXPECT_NE(names.end(), std::find(names.begin(), names.end(), Text(want))) << want;

    LONG removed = 0;
    sim->RemoveCommandBar(UniqueBstr(L"MyTools").get(), &removed);
    EXPECT_EQ(1, removed);
    Expect(app.get(), {
        {L"CommandBars.Item(\"MyTools\")", kNothing},  // removed, for add-ins that create it on first use
        {L"CommandBars.Item(\"File\").FindControl(1, UI4:32002)", kObject},
        {L"CommandBars.Item(\"Comments\").FindControl(1, 50036).TipText", Text(L"全文批阅")},
        {L"CommandBars.Add(\"MyTools\", missing)", kObject},
        {L"CommandBars.Item(\"MyTools\").Controls.Add(missing, missing, missing).Tag=\"12\"", kDone},
        {L"CommandBars.Item(\"MyTools\").Controls.Item(\"12\").Type", I4(1)},
    });
    auto popup = Object<IQxControl>(app.get(), L"CommandBars.Item(0).Controls.Item(0)", IID_IQxControl);
    ASSERT_TRUE(popup);
    ComPtr<IQxPopup> asPopup;
    EXPECT_EQ(S_OK, popup->QueryInterface(IID_IQxPopup, asPopup.put_void()));
    ComPtr<IQxFieldControl> notField;
    EXPECT_EQ(E_NOINTERFACE, popup->QueryInterface(IID_IQxFieldControl, notField.put_void()));
}

// ---- journal ------------------------------------------------------------------------------------

TEST_F(SimTest, JournalRecordsOperationsWithArgumentsInOrder) {
    Expect(app.get(), {{L"CommandBars.Item(I8:0).Visible=BOOL:0", kDone},
                       {L"Documents.Open(" + Arg(path) + L", \"\", \"\", missing)", kObject},
                       {L"NotifyToolClick(12, \"签章\")", kDone}});
    // Backslashes of the path are escaped in the journal.
    EXPECT_EQ((std::vector<std::wstring>{L"Application.CommandBars", L"CommandBars.Item(0)", L"CommandBar.Visible=0",
                                         L"Application.Documents",
                                         L"Documents.Open(" + Text(path).substr(8) + L", \"\", \"\", missing)",
                                         L"Application.NotifyToolClick(12, \"签章\")"}),
              JournalOf(sim.get()));
    EXPECT_EQ(std::vector<std::wstring>{L"NotifyToolClick(12, \"签章\")"}, quirexsim::Notifications(sim.get()));
    sim->ClearJournal();
    sim->put_Recording(VARIANT_FALSE);
    Get(app.get(), L"Documents.Count");
    EXPECT_TRUE(JournalOf(sim.get()).empty());
}

// ---- events ----------------------------------------------------------------------------------------

// Keeps a sink advised on the application for one scope.
struct Advised {
    ComPtr<IConnectionPoint> cp;
    DWORD cookie = 0;
    Advised(IQxApplication* app, IUnknown* sink) {
        ComPtr<IConnectionPointContainer> cpc;
        if (SUCCEEDED(app->QueryInterface(IID_IConnectionPointContainer, cpc.put_void())))
            cpc->FindConnectionPoint(DIID__IQxApplicationEvents, cp.put());
        if (cp) cp->Advise(sink, &cookie);
    }
    ~Advised() {
        if (cp && cookie) cp->Unadvise(cookie);
    }
};

// Records each event's DISPID and argument types (in parameter order); answers the
// "handled" flag; lets a test look at the arguments in `onEvent`.
class RecordingSink : public IDispatch {
public:
    struct Event {
        DISPID id;
        std::vector<VARTYPE> types;
        bool nullDispatch = false;
        std::vector<DISPID> named;
    };
    std::vector<Event> events;
    VARIANT_BOOL answerHandled = VARIANT_TRUE;
    std::function<void(DISPID, DISPPARAMS*)> onEvent;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID__IQxApplicationEvents) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* dp, VARIANT*, EXCEPINFO*, UINT*) override {
        if (onEvent) onEvent(id, dp);
        Event e{id, {}, false, {dp->rgdispidNamedArgs, dp->rgdispidNamedArgs + dp->cNamedArgs}};
        for (UINT i = dp->cArgs; i-- > 0;) {
            const VARIANT& a = dp->rgvarg[i];
            e.types.push_back(a.vt);
            if (a.vt == VT_DISPATCH && !a.pdispVal) e.nullDispatch = true;
            if (a.vt == (VT_BOOL | VT_BYREF)) *a.pboolVal = answerHandled;
        }
        events.push_back(e);
        return S_OK;
    }
};

TEST_F(SimTest, AdvisedSinkHearsDocumentEventsAndFiredEvents) {
    RecordingSink sink;
    Advised advised(app.get(), &sink);
    ASSERT_NE(0u, advised.cookie);
    LONG sinks = 0;
    sim->get_SinkCount(&sinks);
    EXPECT_EQ(1, sinks);

    Open(path);
    Expect(app.get(), {{L"Documents.Close(missing)", kDone}});
    ASSERT_EQ(3u, sink.events.size());
    EXPECT_EQ((std::vector<DISPID>{9, 10, 11}),
              (std::vector<DISPID>{sink.events[0].id, sink.events[1].id, sink.events[2].id}));
    EXPECT_TRUE(sink.events[2].nullDispatch) << "no document remains";
    EXPECT_FALSE(sink.events[0].nullDispatch);

    sink.events.clear();
    const auto missing = ScopedVariant::Missing();
    ScopedVariant r1;
    ASSERT_EQ(S_OK, sim->FireEvent(1, *ScopedVariant::I4(0).get(), *ScopedVariant::I4(0xF0000001).get(), *missing.get(),
                                   *missing.get(), r1.Receive()));
    ASSERT_EQ(1u, sink.events.size());
    EXPECT_EQ((std::vector<VARTYPE>{VT_UI4, VT_UI4}), sink.events[0].types);

    Open(path);
    sink.events.clear();
    ScopedVariant handled;
    ASSERT_EQ(S_OK, sim->FireEvent(3, *missing.get(), *ScopedVariant::I4(0).get(), *ScopedVariant::I4(10 | (20 << 16)).get(),
                                   *missing.get(), handled.Receive()));
    ASSERT_EQ(1u, sink.events.size());
    EXPECT_EQ((std::vector<VARTYPE>{VT_DISPATCH, VT_UI8, VT_UI8, VT_BOOL | VT_BYREF}), sink.events[0].types);
    EXPECT_FALSE(sink.events[0].nullDispatch) << "the active view is passed";
    EXPECT_EQ(Bool(true), quirexsim::Describe(sim.get(), *handled.get()));

    const DWORD cookie = advised.cookie;
    ASSERT_EQ(S_OK, advised.cp->Unadvise(cookie));
    advised.cookie = 0;
    EXPECT_EQ(CONNECT_E_NOCONNECTION, advised.cp->Unadvise(cookie));
    sink.events.clear();
    Expect(app.get(), {{L"Documents.Close(missing)", kDone}});
    EXPECT_TRUE(sink.events.empty());
}

TEST_F(DocTest, AnnotationMessageCarriesAnyValueAndReturnsTheVeto) {
    auto note = Object<IQxAnnotation>(doc.get(), L"Pages.Item(0).Annotations.Item(0)", IID_IQxAnnotation);
    ASSERT_TRUE(note);
    // A sink that vetoes through the notification's MsgHandle, as an add-in does.
    RecordingSink sink;
    std::wstring seen;
    sink.onEvent = [&](DISPID id, DISPPARAMS* dp) {
        if (id != 26 || !dp->rgvarg[2].pdispVal) return;
        seen = Get(dp->rgvarg[2].pdispVal, L"Annotation");
        if (seen != kObject) return;
        seen = Get(dp->rgvarg[2].pdispVal, L"Annotation.Author");
        EXPECT_EQ(kDone, Get(dp->rgvarg[2].pdispVal, L"MsgHandle=1"));
    };
    Advised advised(app.get(), &sink);
    ASSERT_NE(0u, advised.cookie);
    LONG handle = 0;
    ASSERT_EQ(S_OK, sim->FireAnnotationMessage(UniqueBstr(L"Quirex.Annots:OnLButtonDown").get(), note.get(), &handle));
    EXPECT_EQ(1, handle);
    EXPECT_EQ(Text(L"张三"), seen);
    ASSERT_EQ(1u, sink.events.size());
    EXPECT_EQ((std::vector<VARTYPE>{VT_BSTR, VT_DISPATCH, VT_UINT, VT_UINT}), sink.events[0].types);

    UniqueBstr message(L"Quirex.Annots:OnDelKeyDown");
    ASSERT_EQ(S_OK, sim->FireAnnotationMessageWith(message.get(), *ScopedVariant::Bstr(L"not an object").get(), &handle));
    EXPECT_EQ(Text(L"not an object"), seen);
    EXPECT_EQ(0, handle) << "no veto";
    ASSERT_EQ(S_OK, sim->FireAnnotationMessageWith(message.get(), *ScopedVariant::Dispatch(nullptr).get(), &handle));
    EXPECT_EQ(kNothing, seen);
}

TEST_F(SimTest, RawEventsCarryNamedAndManyArguments) {
    RecordingSink sink;
    Advised advised(app.get(), &sink);
    SAFEARRAY* values = SafeArrayCreateVector(VT_VARIANT, 0, 9);
    for (LONG i = 0; i < 9; ++i) SafeArrayPutElement(values, &i, ScopedVariant::I4(i).get());
    SAFEARRAY* ids = SafeArrayCreateVector(VT_I4, 0, 1);
    LONG zero = 0, one = 1;
    SafeArrayPutElement(ids, &zero, &one);
    VARIANT a, n;
    a.vt = VT_ARRAY | VT_VARIANT;
    a.parray = values;
    n.vt = VT_ARRAY | VT_I4;
    n.parray = ids;
    LONG status = -1;
    ASSERT_EQ(S_OK, sim->FireEventRaw(1, a, n, &status));
    EXPECT_EQ(S_OK, status);
    ASSERT_EQ(1u, sink.events.size());
    EXPECT_EQ(9u, sink.events[0].types.size());
    EXPECT_EQ(std::vector<DISPID>{1}, sink.events[0].named);
    EXPECT_EQ(E_INVALIDARG, sim->FireEventRaw(1, *ScopedVariant::Missing().get(), n, &status)) << "more names than arguments";
    SafeArrayDestroy(values);
    SafeArrayDestroy(ids);
}

// ---- stand-ins -----------------------------------------------------------------------------------------

class StandInTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        ASSERT_EQ(S_OK, sim->AddAllStandIns());
    }
    ComPtr<IDispatch> Sibling(const wchar_t* progId) {
        return Object<IDispatch>(app.get(), L"COMAddIns.Item(" + Arg(progId) + L").Object", IID_IDispatch);
    }
    ComPtr<IQxStandIn> Control(const wchar_t* progId) {
        ComPtr<IQxStandIn> s;
        sim->StandIn(UniqueBstr(progId).get(), s.put());
        return s;
    }
};

TEST_F(StandInTest, RecordsCallsWithTypesInParameterOrder) {
    for (const wchar_t* id : {L"Veridane.Folium2015", L"Veridane.Relay", L"Veridane.Inkpad", L"Veridane.Toolkit",
                              L"Quirex.Annots", L"Quirex.OFDSignature"})
        EXPECT_TRUE(Sibling(id)) << id;
    auto relay = Sibling(L"Veridane.Relay");
    ASSERT_TRUE(relay);
    Expect(relay.get(), {{L"SetMsgByName(\"OPTION\", \"LOADFILE\")", L""},
                         {L"WebUrl=\"http://127.0.0.1/x\"", kDone},
                         {L"Status", L""}});
    auto control = Control(L"Veridane.Relay");
    EXPECT_EQ((std::vector<std::wstring>{L"SetMsgByName:M:2|VT_BSTR=\"OPTION\"|VT_BSTR=\"LOADFILE\"",
                                         L"WebUrl:P:1|VT_BSTR=\"http://127.0.0.1/x\"", L"Status:G:0"}),
              quirexsim::Calls(control.get()));
    ScopedVariant url, second;
    control->PropertyValue(UniqueBstr(L"WebUrl").get(), url.Receive());
    EXPECT_EQ(Text(L"http://127.0.0.1/x"), quirexsim::Describe(sim.get(), *url.get()));
    control->CallArgument(0, 1, second.Receive());
    EXPECT_EQ(Text(L"LOADFILE"), quirexsim::Describe(sim.get(), *second.get()));
    auto journal = JournalOf(sim.get());
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(L"Veridane.Relay!Status:G:0", journal.back()) << "sibling calls are journaled in order";
}

TEST_F(StandInTest, RejectsWrongKindsCountsAndUnknownNames) {
    auto inkpad = Sibling(L"Veridane.Inkpad");
    ASSERT_TRUE(inkpad);
    Expect(inkpad.get(), {{L"SetOption(1)", L"failed 0x8002000E"},  // DISP_E_BADPARAMCOUNT
                          {L"AnnotInfo", L"failed 0x80020003"},     // DISP_E_MEMBERNOTFOUND: write-only
                          {L"NoSuchMember", L"failed 0x80020006"}});
    // A property write must carry the DISPID_PROPERTYPUT named argument.
    DISPID id = 0;
    LPOLESTR n = const_cast<LPOLESTR>(L"AnnotInfo");
    inkpad->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    auto v = ScopedVariant::Bstr(L"x");
    DISPPARAMS dp{v.get(), nullptr, 1, 0};
    EXPECT_EQ(DISP_E_PARAMNOTFOUND, inkpad->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &dp, nullptr, nullptr, nullptr));
    auto calls = quirexsim::Calls(Control(L"Veridane.Inkpad").get());
    ASSERT_EQ(3u, calls.size()) << "rejected calls are recorded too, marked";
    EXPECT_EQ(L"SetOption:M:1|VT_I4=1 !rejected", calls[0]);
}

TEST_F(StandInTest, AnswersConfiguredResultsAndHResults) {
    Control(L"Veridane.Toolkit")->SetResult(UniqueBstr(L"GetVersionEx").get(), *ScopedVariant::Bstr(L"3.2.1.0").get());
    EXPECT_EQ(Text(L"3.2.1.0"), Get(Sibling(L"Veridane.Toolkit").get(), L"GetVersionEx"));

    // Without a configured result the caller's preset value stays.
    auto ofd = Sibling(L"Quirex.OFDSignature");
    auto preset = ScopedVariant::I4(-7);
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"SignatureCount");
    ASSERT_EQ(S_OK, ofd->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    DISPPARAMS none{};
    ASSERT_EQ(S_OK, ofd->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, preset.get(), nullptr, nullptr));
    EXPECT_EQ(I4(-7), quirexsim::Describe(sim.get(), *preset.get()));
    Control(L"Quirex.OFDSignature")->SetHResult(UniqueBstr(L"CreateSignature").get(), E_FAIL);
    EXPECT_EQ(L"failed 0x80004005", Get(ofd.get(), L"CreateSignature"));

    // Read-write properties read back what was written when no result is set.
    Expect(Sibling(L"Veridane.Folium2015").get(), {{L"SignatureMode=2", kDone}, {L"SignatureMode", I4(2)}});

    ASSERT_EQ(S_OK, sim->RemoveAddIn(UniqueBstr(L"Veridane.Relay").get()));
    EXPECT_FALSE(Sibling(L"Veridane.Relay"));
    EXPECT_EQ(I4(5), Get(app.get(), L"COMAddIns.Count"));
    EXPECT_FALSE(Control(L"Veridane.Relay"));
}

// ---- loading add-ins through COM -------------------------------------------------------------------

class ProbeAddIn : public IQxExtensibility, public IClassFactory {
public:
    int connections = 0, disconnections = 0;
    ComPtr<IDispatch> application;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = riid == IID_IClassFactory ? static_cast<void*>(static_cast<IClassFactory*>(this))
               : (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IQxExtensibility)
                   ? static_cast<void*>(static_cast<IQxExtensibility*>(this))
                   : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP OnConnection(IDispatch* app, LONG, IDispatch*, VARIANT*) override {
        ++connections;
        application = ComPtr<IDispatch>(app);
        return S_OK;
    }
    STDMETHODIMP OnDisconnection(LONG, VARIANT*) override {
        ++disconnections;
        return E_NOTIMPL;
    }
    STDMETHODIMP OnAddInsUpdate(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDescription(LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP OnBeginShutdown(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID riid, void** ppv) override { return QueryInterface(riid, ppv); }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

TEST_F(SimTest, LoadAddInCreatesConnectsListsReconnectsAndUnloadsIt) {
    const CLSID probeClsid = {0x6f1d3a10, 0x2b7c, 0x4e55, {0x9a, 0x61, 0x3c, 0x0d, 0x7e, 0x21, 0x44, 0x90}};
    ProbeAddIn addIn;
    DWORD reg = 0;
    ASSERT_EQ(S_OK, CoRegisterClassObject(probeClsid, static_cast<IClassFactory*>(&addIn), CLSCTX_INPROC_SERVER,
                                          REGCLS_MULTIPLEUSE, &reg));
    wchar_t text[64];
    StringFromGUID2(probeClsid, text, 64);
    UniqueBstr id(text);
    LONG hr = -1;
    ASSERT_EQ(S_OK, sim->LoadAddIn(id.get(), &hr));
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(1, addIn.connections);
    ComPtr<IQxApplication> given;
    ASSERT_TRUE(addIn.application);
    EXPECT_EQ(S_OK, addIn.application->QueryInterface(IID_IQxApplication, given.put_void()));
    EXPECT_EQ(app.get(), given.get());
    EXPECT_EQ(kObject, Get(app.get(), L"COMAddIns.Item(" + Arg(text) + L")"));

    ASSERT_EQ(S_OK, sim->DisconnectAddIn(id.get(), &hr));
    EXPECT_EQ(E_NOTIMPL, hr) << "the disconnection's own answer";
    ASSERT_EQ(S_OK, sim->ConnectAddIn(id.get(), &hr));
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(2, addIn.connections) << "the same object connected again";
    ASSERT_EQ(S_OK, sim->ConnectAddIn(UniqueBstr(L"Not.Listed").get(), &hr));
    EXPECT_EQ(E_INVALIDARG, hr);

    ASSERT_EQ(S_OK, sim->UnloadAddIn(id.get(), &hr));
    EXPECT_EQ(E_NOTIMPL, hr);
    EXPECT_EQ(2, addIn.disconnections);
    EXPECT_EQ(0u, Get(app.get(), L"COMAddIns.Item(" + Arg(text) + L")").find(L"failed"));
    CoRevokeClassObject(reg);
    sim->LoadAddIn(UniqueBstr(L"No.Such.AddIn").get(), &hr);
    EXPECT_TRUE(FAILED(hr));
}

// ---- failure injection and structure changes ---------------------------------------------------

TEST_F(SimTest, InjectedFailuresHitTheChosenCallsThenStop) {
    Open(path);
    const struct {
        LONG times, skip;
        std::vector<bool> fails;  // per call, in order
    } cases[] = {
        {1, 0, {true, false, false}},
        {2, 0, {true, true, false}},
        {1, 1, {false, true, false}},
        {-1, 0, {true, true, true, true}},
    };
    for (const auto& c : cases) {
        sim->ClearFailures();
        ASSERT_EQ(S_OK, quirexsim::FailOperation(sim.get(), L"Documents.ActiveDocument", E_ACCESSDENIED, c.times, c.skip));
        for (size_t i = 0; i < c.fails.size(); ++i)
            EXPECT_EQ(c.fails[i] ? L"failed 0x80070005" : kObject, Get(app.get(), L"Documents.ActiveDocument"))
                << "times " << c.times << " skip " << c.skip << " call " << i;
    }
    sim->ClearJournal();
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    ComPtr<IQxDocument> doc;
    EXPECT_EQ(E_ACCESSDENIED, docs->get_ActiveDocument(doc.put())) << "the failure reaches a bound caller as is";
    EXPECT_FALSE(doc);
    EXPECT_EQ((std::vector<std::wstring>{L"Application.Documents", L"Documents.ActiveDocument !failed 0x80070005"}),
              JournalOf(sim.get()));
    ASSERT_EQ(S_OK, sim->Reset());
    EXPECT_EQ(kNothing, Get(app.get(), L"Documents.ActiveDocument")) << "Reset clears the rules";
}

TEST_F(DocTest, NullAnswersGiveNullObjectsStringsAndZero) {
    for (const wchar_t* op : {L"Application.MainFrame", L"MainFrame.AppDirectory", L"Page.Rotation"})
        ASSERT_EQ(S_OK, quirexsim::NullOperation(sim.get(), op));
    ComPtr<IQxMainFrame> frame;
    EXPECT_EQ(S_OK, app->get_MainFrame(frame.put()));
    EXPECT_FALSE(frame);
    ASSERT_EQ(S_OK, app->get_MainFrame(frame.put()));
    BSTR folder = SysAllocString(L"unchanged");
    EXPECT_EQ(S_OK, frame->get_AppDirectory(&folder));
    EXPECT_EQ(nullptr, folder);
    EXPECT_EQ(I4(0), Get(doc.get(), L"Pages.Item(1).Rotation"));
    auto journal = JournalOf(sim.get());
    for (const wchar_t* line : {L"Application.MainFrame !null", L"Page.Rotation !null"})
        EXPECT_NE(journal.end(), std::find(journal.begin(), journal.end(), line)) << line;
}

TEST_F(DocTest, AFailedOperationDoesNothingAndAWildcardCoversTheObject) {
    RecordingSink sink;
    Advised advised(app.get(), &sink);
    const std::wstring target = dir + L"\\saved.pdf";
    ASSERT_EQ(S_OK, quirexsim::FailOperation(sim.get(), L"Document.SaveAs", E_FAIL));
    LONG result = 5;
    EXPECT_EQ(E_FAIL, doc->SaveAs(UniqueBstr(target.c_str()).get(), &result));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(target.c_str()));
    EXPECT_TRUE(sink.events.empty()) << "no DocumentSaved";
    EXPECT_EQ(I4(0), Get(doc.get(), L"SaveAs(" + Arg(target) + L")"));

    ASSERT_EQ(S_OK, quirexsim::FailOperation(sim.get(), L"Document.*", DISP_E_EXCEPTION, -1));
    ComPtr<IQxPages> pages;
    EXPECT_EQ(DISP_E_EXCEPTION, doc->get_Pages(pages.put()));
    LONG modified = 0;
    EXPECT_EQ(DISP_E_EXCEPTION, doc->get_Modified(&modified));
    EXPECT_EQ(kObject, Get(app.get(), L"Documents")) << "other objects are not hit";
    ASSERT_EQ(S_OK, sim->FailOperation(UniqueBstr(L"Document.*").get(), 0, 0, 0));
    EXPECT_EQ(S_OK, doc->get_Pages(pages.put())) << "Times 0 removes the rule";
}

TEST_F(SimTest, TypedJournalShowsTheVariantTypesOfArguments) {
    Get(app.get(), L"CommandBars.Item(I8:0)");
    Get(app.get(), L"CommandBars.Item(\"File\")");
    auto typed = quirexsim::TypedJournal(sim.get());
    EXPECT_EQ((std::vector<std::wstring>{L"Application.CommandBars", L"CommandBars.Item(VT_I8=0)",
                                         L"Application.CommandBars", L"CommandBars.Item(VT_BSTR=\"File\")"}),
              typed);
    EXPECT_EQ(L"CommandBars.Item(0)", JournalOf(sim.get())[1]) << "the plain journal is unchanged";
}

TEST_F(SimTest, ChromeCanLoseRenameAndReorderItemsUntilReset) {
    const struct {
        const wchar_t* kind;
        int op;  // 0 remove, 1 rename, 2 move to 0
        const wchar_t* name;
    } changes[] = {{L"CommandBar", 0, L"MenuBar"}, {L"Pane", 1, L"SigPane"}, {L"TabBar", 2, L"Thumbnail"},
                   {L"Tool", 1, L"ToolHand"}};
    for (const auto& c : changes) {
        LONG n = 0;
        UniqueBstr kind(c.kind), name(c.name);
        if (c.op == 0) EXPECT_EQ(S_OK, sim->RemoveChrome(kind.get(), name.get(), &n));
        if (c.op == 1) EXPECT_EQ(S_OK, sim->RenameChrome(kind.get(), name.get(), UniqueBstr(L"Renamed").get(), &n));
        if (c.op == 2) EXPECT_EQ(S_OK, sim->MoveChrome(kind.get(), name.get(), 0, &n));
        EXPECT_EQ(1, n) << c.kind;
    }
    LONG n = 0;
    EXPECT_EQ(E_INVALIDARG, sim->RemoveChrome(UniqueBstr(L"Window").get(), UniqueBstr(L"x").get(), &n));
    auto doc = Open(path);
    Expect(app.get(), {{L"CommandBars.Item(\"MenuBar\")", kNothing},
                       {L"Tools.Current.Name", Text(L"Renamed")}});  // the current tool keeps being current
    Expect(doc.get(), {{L"Workspace.TabBars.Name(0)", Text(L"Thumbnail")},
                       {L"Workspace.Panes.Item(\"Renamed\")", kObject},
                       {L"Workspace.Panes.Item(\"SigPane\")", kNothing}});
    sim->Reset();
    Expect(app.get(), {{L"CommandBars.Item(\"MenuBar\")", kObject}});
}

TEST_F(SimTest, ADetachedDocumentHasNoFileBehindIt) {
    LONG r = 0;
    EXPECT_EQ(S_OK, sim->DetachFile(&r));
    EXPECT_EQ(-1, r) << "no document open";
    auto doc = Open(path);
    ASSERT_EQ(S_OK, sim->DetachFile(&r));
    EXPECT_EQ(0, r);
    Expect(doc.get(), {{L"FileInfo.Folder", Text(L"")}, {L"FileInfo.Name", Text(L"")}, {L"FileInfo.Size", I4(0)}});
}

TEST_F(SimTest, RawInvokeDescribesResultAndStatus) {
    UniqueBstr text;
    auto i2 = ScopedVariant::I2(-1);
    ASSERT_EQ(S_OK, sim->DescribeVariant(*i2.get(), text.put()));
    EXPECT_STREQ(L"VT_I2=-1", text.c_str());
    EXPECT_EQ(L"0x80004005 VT_I2=-1", quirexsim::Describe(sim.get(), E_FAIL, *i2.get()));
    ASSERT_EQ(S_OK, sim->InvokeRaw(app.get(), UniqueBstr(L"SaveAllowed").get(), *ScopedVariant::Missing().get(), text.put()));
    EXPECT_STREQ(L"0x00000000 VT_I4=1", text.c_str());
    ASSERT_EQ(S_OK, sim->InvokeRaw(app.get(), UniqueBstr(L"NoSuchMember").get(), *ScopedVariant::Missing().get(), text.put()));
    EXPECT_STREQ(L"0x80020006 VT_EMPTY=empty", text.c_str());
    ASSERT_EQ(S_OK, quirexsim::FailOperation(sim.get(), L"Application.CopyEnabled", E_FAIL));
    ASSERT_EQ(S_OK, sim->InvokeRaw(app.get(), UniqueBstr(L"CopyEnabled").get(), *ScopedVariant::Missing().get(), text.put()));
    EXPECT_EQ(0u, std::wstring(text.c_str()).find(L"0x80020009")) << "late bound, a failure arrives as an exception: "
                                                                  << text.c_str();
}

}  // namespace
