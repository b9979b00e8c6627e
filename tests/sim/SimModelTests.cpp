// What the tests of the component cannot see of the simulated reader: fixtures saved and
// opened again, event arguments, the stand-ins' call records and
// rejections, failure injection and the test-only controls.
#include <olectl.h>

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
// A text as the typed journal writes it (quotes and backslashes escaped).
std::wstring Text(const std::wstring& s) {
    std::wstring out = L"VT_BSTR=\"";
    for (wchar_t c : s) out += c == L'\\' ? L"\\\\" : c == L'"' ? L"\\\"" : std::wstring(1, c);
    return out + L"\"";
}

class SimTest : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        path = dir + L"\\doc.pdf";
        ASSERT_TRUE(testsupport::WriteAll(path, kFixture));
    }
    std::wstring path;
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

TEST_F(DocTest, SavedAndReopenedDocumentIsTheSameDocument) {
    const std::wstring copy1 = dir + L"\\copy1.pdf", copy2 = dir + L"\\copy2.pdf";
    ScopedVariant stamp;
    ASSERT_EQ(S_OK, Walk(doc.get(), L"Pages.Item(1).Annotations.Add(12)", stamp));
    Expect(folium::ReadDispatch(stamp.get()).get(), {{L"SetRect(1, 2, 101, 52)", kDone},
                                                     {L"Author=\"王五\"", kDone},
                                                     {L"SetValue(\"AnnotInfo\", '{\"author\":\"王五\"}')", kDone}});
    Expect(doc.get(), {{L"Fields.ImportXml(0, '<fields><field name=\"form.name\">新&amp;值</field></fields>')", I4(1)},
                       {L"Watermarks.SetText(\"机密\")", kDone},
                       {L"Watermarks.AddTextEx(0, 1, 10, 20, 1.5, \"mark\")", I4(0)},
                       {L"SaveAs(\"" + copy1 + L"\")", I4(0)}});
    Expect(app.get(), {{L"Documents.Close(missing)", kDone}});

    auto again = Open(copy1);
    ASSERT_TRUE(again);
    const std::wstring saved = L"Pages.Item(1).Annotations.Item(0).";
    Expect(again.get(), {
        {L"Pages.Item(1).Annotations.Count", I4(3)},  // the stamp and the two signature widgets
        {saved + L"Author", Text(L"王五")},
        {saved + L"GetValue(\"AnnotInfo\")", Text(L"{\"author\":\"王五\"}")},
        {saved + L"Kind", I4(12)},
        {L"Fields.Item(0).Value", Text(L"新&值")},
        {L"SaveAs(\"" + copy2 + L"\")", I4(0)},
    });
    EXPECT_EQ(testsupport::ReadAll(copy1), testsupport::ReadAll(copy2)) << "saving a reopened document changes nothing";
}

// ---- events ----------------------------------------------------------------------------------------

// Advised on the application while it lives: writes each event as "id(types in parameter
// order)" and answers "handled".
class RecordingSink : public IDispatch {
public:
    explicit RecordingSink(IQxApplication* app) {
        ComPtr<IConnectionPointContainer> cpc;
        if (SUCCEEDED(app->QueryInterface(IID_IConnectionPointContainer, cpc.put_void())))
            cpc->FindConnectionPoint(DIID__IQxApplicationEvents, cp.put());
        if (cp) cp->Advise(this, &cookie);
    }
    ~RecordingSink() {
        if (cp && cookie) cp->Unadvise(cookie);
    }
    std::vector<std::wstring> events;
    ComPtr<IConnectionPoint> cp;
    DWORD cookie = 0;

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
        std::wstring e = std::to_wstring(id) + L"(";
        for (UINT i = dp->cArgs; i-- > 0;) {
            const VARIANT& a = dp->rgvarg[i];
            e += std::to_wstring(a.vt) + (a.vt == VT_DISPATCH && !a.pdispVal ? L"null" : L"") + (i ? L"," : L"");
            if (a.vt == (VT_BOOL | VT_BYREF)) *a.pboolVal = VARIANT_TRUE;
        }
        events.push_back(e + L")");
        return S_OK;
    }
};

TEST_F(SimTest, EventsCarryTheReadersArgumentTypes) {
    RecordingSink sink(app.get());
    ASSERT_NE(0u, sink.cookie);
    Open(path);
    Expect(app.get(), {{L"Documents.Close(missing)", kDone}});
    Open(path);
    // Fired as a script fires them; the second answers what the sink said.
    Expect(sim.get(), {{L"FireEvent(1, 0, -268435455, missing, missing)", kDone},
                       {L"FireEvent(3, missing, 0, 1310730, missing)", L"VT_BOOL=-1"}});

    // Opened, activated, closed (no document left), opened and activated again, then the fired ones:
    // VT_UI4 = 19, VT_UI8 = 21, VT_DISPATCH = 9, VT_BOOL|VT_BYREF = 16395.
    EXPECT_EQ((std::vector<std::wstring>{L"9(9)", L"10(9)", L"11(9null)", L"9(9)", L"10(9)", L"1(19,19)",
                                         L"3(9,21,21,16395)"}),
              sink.events);

    // That nothing comes after Unadvise is seen by the component's tests; a cookie is good once.
    ASSERT_EQ(S_OK, sink.cp->Unadvise(sink.cookie));
    EXPECT_EQ(CONNECT_E_NOCONNECTION, sink.cp->Unadvise(sink.cookie));
    sink.cookie = 0;
}

// ---- stand-ins -----------------------------------------------------------------------------------------

class StandInTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        ASSERT_EQ(S_OK, sim->AddAllStandIns());
    }
    ComPtr<IDispatch> Sibling(const wchar_t* progId) {
        ScopedVariant v;
        Walk(app.get(), L"COMAddIns.Item(\"" + std::wstring(progId) + L"\").Object", v);
        return folium::ReadDispatch(v.get());
    }
    ComPtr<IQxStandIn> Control(const wchar_t* progId) {
        ComPtr<IQxStandIn> s;
        sim->StandIn(UniqueBstr(progId).get(), s.put());
        return s;
    }
};

// The call records, their controls and journal lines are read by the component's tests; the
// rejections of calls the component gets wrong are not.
TEST_F(StandInTest, RecordsAndRejectsCallsOfWrongKindsAndCounts) {
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

// Configured results, HRESULTs, property read-back and removal are what the component's
// tests set up; only an unconfigured call's result is not seen there.
TEST_F(StandInTest, WithoutAConfiguredResultTheCallersPresetValueStays) {
    auto ofd = Sibling(L"Quirex.OFDSignature");
    auto preset = ScopedVariant::I4(-7);
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(L"SignatureCount");
    ASSERT_EQ(S_OK, ofd->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id));
    DISPPARAMS none{};
    ASSERT_EQ(S_OK, ofd->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, preset.get(), nullptr, nullptr));
    EXPECT_EQ(I4(-7), quirexsim::Describe(sim.get(), *preset.get()));
}

// ---- failure injection and structure changes ---------------------------------------------------

TEST_F(SimTest, InjectedFailuresHitTheChosenCallsThenStop) {
    Open(path);
    const struct {
        LONG times, skip;
        std::vector<bool> fails;  // per call, in order
    } cases[] = {
        {2, 0, {true, true, false}},
        {1, 1, {false, true, false}},
    };
    for (const auto& c : cases) {
        sim->ClearFailures();
        ASSERT_EQ(S_OK, quirexsim::FailOperation(sim.get(), L"Documents.ActiveDocument", E_ACCESSDENIED, c.times, c.skip));
        for (size_t i = 0; i < c.fails.size(); ++i)
            EXPECT_EQ(c.fails[i] ? L"failed 0x80070005" : kObject, Get(app.get(), L"Documents.ActiveDocument"))
                << "times " << c.times << " skip " << c.skip << " call " << i;
    }
    ASSERT_EQ(S_OK, quirexsim::FailOperation(sim.get(), L"Documents.ActiveDocument", E_ACCESSDENIED, -1));
    ASSERT_EQ(S_OK, sim->Reset());
    EXPECT_EQ(kNothing, Get(app.get(), L"Documents.ActiveDocument")) << "Reset clears the rules";
}

// Null objects and the "!null" mark are the host failure tests'.
TEST_F(DocTest, NullAnswersGiveNullStringsAndZero) {
    for (const wchar_t* op : {L"MainFrame.AppDirectory", L"Page.Rotation"})
        ASSERT_EQ(S_OK, quirexsim::NullOperation(sim.get(), op));
    ComPtr<IQxMainFrame> frame;
    ASSERT_EQ(S_OK, app->get_MainFrame(frame.put()));
    BSTR folder = SysAllocString(L"unchanged");
    EXPECT_EQ(S_OK, frame->get_AppDirectory(&folder));
    EXPECT_EQ(nullptr, folder);
    EXPECT_EQ(I4(0), Get(doc.get(), L"Pages.Item(1).Rotation"));
}

TEST_F(DocTest, AFailedOperationDoesNothingAndAWildcardCoversTheObject) {
    RecordingSink sink(app.get());
    const std::wstring target = dir + L"\\saved.pdf";
    ASSERT_EQ(S_OK, quirexsim::FailOperation(sim.get(), L"Document.SaveAs", E_FAIL));
    LONG result = 5;
    EXPECT_EQ(E_FAIL, doc->SaveAs(UniqueBstr(target.c_str()).get(), &result));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(target.c_str()));
    EXPECT_TRUE(sink.events.empty()) << "no DocumentSaved";
    EXPECT_EQ(I4(0), Get(doc.get(), L"SaveAs(\"" + target + L"\")"));

    ASSERT_EQ(S_OK, quirexsim::FailOperation(sim.get(), L"Document.*", DISP_E_EXCEPTION, -1));
    ComPtr<IQxPages> pages;
    EXPECT_EQ(DISP_E_EXCEPTION, doc->get_Pages(pages.put()));
    EXPECT_EQ(kObject, Get(app.get(), L"Documents")) << "other objects are not hit";
    ASSERT_EQ(S_OK, sim->FailOperation(UniqueBstr(L"Document.*").get(), 0, 0, 0));
    EXPECT_EQ(S_OK, doc->get_Pages(pages.put())) << "Times 0 removes the rule";
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
                       {L"Tools.Current.Name", Text(L"Renamed")},  // the current tool keeps being current
                       {L"Tools.Item(\"tooltext\").Activate", kDone},  // tool names ignore case
                       {L"Tools.Current.Name", Text(L"ToolText")}});
    Expect(doc.get(), {{L"Workspace.TabBars.Name(0)", Text(L"Thumbnail")},
                       {L"Workspace.Panes.Item(\"Renamed\")", kObject},
                       {L"Workspace.Panes.Item(\"SigPane\")", kNothing}});
    sim->Reset();
    Expect(app.get(), {{L"CommandBars.Item(\"MenuBar\")", kObject}});
}

TEST_F(SimTest, RawInvokeDescribesResultAndStatus) {
    EXPECT_EQ(L"0x80004005 VT_I2=-1", quirexsim::Describe(sim.get(), E_FAIL, *ScopedVariant::I2(-1).get()));
    UniqueBstr text;
    ASSERT_EQ(S_OK, sim->InvokeRaw(app.get(), UniqueBstr(L"NoSuchMember").get(), *ScopedVariant::Missing().get(), text.put()));
    EXPECT_STREQ(L"0x80020006 VT_EMPTY=empty", text.c_str());
    ASSERT_EQ(S_OK, quirexsim::FailOperation(sim.get(), L"Application.CopyEnabled", E_FAIL));
    ASSERT_EQ(S_OK, sim->InvokeRaw(app.get(), UniqueBstr(L"CopyEnabled").get(), *ScopedVariant::Missing().get(), text.put()));
    EXPECT_EQ(0u, std::wstring(text.c_str()).find(L"0x80020009")) << "late bound, a failure arrives as an exception: "
                                                                  << text.c_str();
}

}  // namespace
