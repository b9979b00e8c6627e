// The component as the reader's add-in: connection, disconnection and the event sink,
// driven through the reader simulator.
#include "TestSupport.h"
#include <olectl.h>

#include "Quirex.h"

using namespace testsupport;

namespace {

const wchar_t kProgId[] = L"Veridane.FoliumFun.1";

class Connected : public ::testing::Test {
protected:
    ComApartment com;
    ComPtr<IQxSimulator> sim;
    ComPtr<IQxApplication> app;

    void SetUp() override {
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(L"Quirex.Simulator.1", &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IQxSimulator, sim.put_void()), S_OK);
        ASSERT_EQ(sim->Reset(), S_OK);
        ASSERT_EQ(sim->get_Application(app.put()), S_OK);
    }
    void TearDown() override {
        if (sim) {
            LONG r = 0;
            sim->UnloadAddIn(UniqueBstr(kProgId).get(), &r);
        }
    }
    LONG Load() {
        LONG r = -1;
        EXPECT_EQ(sim->LoadAddIn(UniqueBstr(kProgId).get(), &r), S_OK);
        return r;
    }
    LONG Unload() {
        LONG r = -1;
        EXPECT_EQ(sim->UnloadAddIn(UniqueBstr(kProgId).get(), &r), S_OK);
        return r;
    }
    LONG Sinks() {
        LONG n = -1;
        sim->get_SinkCount(&n);
        return n;
    }
    std::wstring Journal() {
        UniqueBstr j;
        sim->get_Journal(j.put());
        return j.c_str();
    }
    std::vector<std::wstring> Notifications() {
        std::vector<std::wstring> out;
        LONG n = 0;
        sim->get_NotificationCount(&n);
        for (LONG i = 0; i < n; ++i) {
            UniqueBstr line;
            sim->NotificationItem(i, line.put());
            out.push_back(line.c_str());
        }
        return out;
    }
    ComPtr<IQxCommandBar> AddBar(const wchar_t* name) {
        ComPtr<IQxCommandBars> bars;
        app->get_CommandBars(bars.put());
        ComPtr<IQxCommandBar> bar;
        auto n = ScopedVariant::Bstr(name);
        ScopedVariant missing;
        missing = folium::ScopedVariant::Missing();
        bars->Item(*n.get(), bar.put());
        if (!bar) bars->Add(*n.get(), *missing.get(), bar.put());
        return bar;
    }
    ComPtr<IQxControl> AddButton(IQxCommandBar* bar, LONG id, LONG userData, const wchar_t* tag,
                                 const wchar_t* caption) {
        ComPtr<IQxControls> controls;
        bar->get_Controls(controls.put());
        auto type = ScopedVariant::I4(1);
        ScopedVariant before;
        auto cid = ScopedVariant::I4(id);
        before = folium::ScopedVariant::Missing();
        ComPtr<IQxControl> c;
        controls->Add(*type.get(), *before.get(), *cid.get(), c.put());
        if (c) {
            c->put_UserData(userData);
            c->put_Tag(UniqueBstr(tag).get());
            c->put_Caption(UniqueBstr(caption).get());
        }
        return c;
    }
    void Fire(LONG dispid, VARIANT a1, VARIANT a2) {
        ScopedVariant result, m3, m4;
        m3 = ScopedVariant::Missing();
        m4 = ScopedVariant::Missing();
        ASSERT_EQ(sim->FireEvent(dispid, a1, a2, *m3.get(), *m4.get(), result.Receive()), S_OK);
    }
};

TEST_F(Connected, ConnectsAndAdvisesWithoutTheSignatureCore) {
    ASSERT_EQ(GetModuleHandleW(L"VDSignatureCore.dll"), nullptr);
    EXPECT_EQ(Load(), S_OK);
    EXPECT_EQ(Sinks(), 1);
    std::wstring j = Journal();
    EXPECT_NE(j.find(L"Application.Name"), std::wstring::npos) << j;
    EXPECT_NE(j.find(L"Application.MainFrame"), std::wstring::npos) << j;
    // Without the signature core the host folder is not read.
    EXPECT_EQ(j.find(L"MainFrame.AppDirectory"), std::wstring::npos) << j;
}

TEST_F(Connected, DisconnectAnswersNotImplementedAndUnadvises) {
    ASSERT_EQ(Load(), S_OK);
    EXPECT_EQ(Unload(), E_NOTIMPL);
    EXPECT_EQ(Sinks(), 0);
}

TEST_F(Connected, ReconnectionAdvisesAgainAndEventsArriveOnce) {
    ASSERT_EQ(Load(), S_OK);
    EXPECT_EQ(Unload(), E_NOTIMPL);
    ASSERT_EQ(Load(), S_OK);
    EXPECT_EQ(Sinks(), 1);
    auto bar = AddBar(L"MyTools");
    ASSERT_TRUE(bar);
    ASSERT_TRUE(AddButton(bar.get(), 41001, static_cast<LONG>(0xF0000001u), L"7", L"盖章"));
    sim->ClearNotifications();
    Fire(1, VLong(0), VLong(41001));
    auto n = Notifications();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_NE(n[0].find(L"NotifyToolClick(7"), std::wstring::npos) << n[0];
}

TEST_F(Connected, CommandClicksReportMarkedControlsOnly) {
    ASSERT_EQ(Load(), S_OK);
    auto tools = AddBar(L"MyTools");
    ASSERT_TRUE(AddButton(tools.get(), 42001, static_cast<LONG>(0xF0000002u), L"12abc", L"工具"));
    ASSERT_TRUE(AddButton(tools.get(), 42002, 0x70000000, L"3", L"unmarked"));
    sim->ClearNotifications();
    Fire(1, VLong(1), VLong(42001));  // a non-zero kind is not a user click
    EXPECT_TRUE(Notifications().empty());
    Fire(1, VLong(0), VLong(42002));  // a control without the mark is the reader's own
    EXPECT_TRUE(Notifications().empty());
    Fire(1, VLong(0), VLong(42001));
    auto n = Notifications();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_NE(n[0].find(L"NotifyToolClick(12"), std::wstring::npos) << "the tag's leading digits: " << n[0];
}

TEST_F(Connected, ControlOfTheFirstBarReportsAMenuClick) {
    ASSERT_EQ(Load(), S_OK);
    ComPtr<IQxCommandBars> bars;
    app->get_CommandBars(bars.put());
    ComPtr<IQxCommandBar> first;
    auto zero = ScopedVariant::I4(0);
    bars->Item(*zero.get(), first.put());
    ASSERT_TRUE(first);
    ASSERT_TRUE(AddButton(first.get(), 43001, static_cast<LONG>(0xFFFFFFFFu), L"-4", L"菜单"));
    sim->ClearNotifications();
    Fire(1, VLong(0), VLong(43001));
    auto n = Notifications();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_NE(n[0].find(L"NotifyMenuClick(-4"), std::wstring::npos) << n[0];
}

TEST_F(Connected, UnknownEventsAreAccepted) {
    ASSERT_EQ(Load(), S_OK);
    ScopedVariant result, m;
    m = folium::ScopedVariant::Missing();
    EXPECT_EQ(sim->FireEvent(99, *m.get(), *m.get(), *m.get(), *m.get(), result.Receive()), S_OK);
}

// Runs last in this process: the signature core stays loaded once loaded.
TEST_F(Connected, ZSignatureCoreGivesFoldersAndEntryPoints) {
    std::wstring dll = DllPath();
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"VDSignatureCore.dll";
    HMODULE core = LoadLibraryW(dll.c_str());
    ASSERT_NE(core, nullptr);
    auto calls = reinterpret_cast<LONG(WINAPI*)(int)>(GetProcAddress(core, "VD_CallCount"));
    ASSERT_NE(calls, nullptr);
    LONG before = calls(0);
    EXPECT_EQ(Load(), S_OK);
    EXPECT_EQ(calls(0), before + 1) << "the configuration folder is asked once";
    std::wstring j = Journal();
    EXPECT_NE(j.find(L"MainFrame.AppDirectory"), std::wstring::npos) << j;
    EXPECT_EQ(Sinks(), 1);
}


// A reader whose main frame cannot be had: the connection reports the error to the user.
// It also offers the application events, keeping the sink that subscribes, so tests
// can call the sink directly.
class StubReader : public IQxApplication, public IConnectionPointContainer, public IConnectionPoint {
public:
    HRESULT mainFrameResult = S_OK;
    LONG refs = 1;
    int commandBarRequests = 0;
    ComPtr<IDispatch> sink;
    ComPtr<IQxMainFrame> frame;  // borrowed from the simulator where a test needs one
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IQxApplication) {
            *ppv = static_cast<IQxApplication*>(this);
        } else if (riid == IID_IConnectionPointContainer) {
            *ppv = static_cast<IConnectionPointContainer*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override {
        *point = nullptr;
        if (riid != DIID__IQxApplicationEvents) return CONNECT_E_NOCONNECTION;
        *point = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP GetConnectionInterface(IID* iid) override {
        *iid = DIID__IQxApplicationEvents;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** c) override {
        *c = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown* unk, DWORD* cookie) override {
        if (FAILED(unk->QueryInterface(DIID__IQxApplicationEvents, sink.put_void()))) return CONNECT_E_CANNOTCONNECT;
        *cookie = 77;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        if (cookie != 77) return CONNECT_E_NOCONNECTION;
        sink = nullptr;
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP get_Documents(IQxDocuments **Value) override { return E_NOTIMPL; }
    STDMETHODIMP get_Name(BSTR *Value) override {
        *Value = SysAllocString(L"Stub reader");
        return S_OK;
    }
    STDMETHODIMP get_CommandBars(IQxCommandBars **Value) override {
        ++commandBarRequests;
        *Value = nullptr;
        return S_OK;
    }
    STDMETHODIMP get_COMAddIns(IQxCOMAddIns **Value) override { return E_NOTIMPL; }
    STDMETHODIMP get_ImageStore(IQxImageStore **Value) override { return E_NOTIMPL; }
    STDMETHODIMP get_Cursors(IQxCursors **Value) override { return E_NOTIMPL; }
    STDMETHODIMP get_MainFrame(IQxMainFrame **Value) override {
        frame.CopyTo(Value);
        return mainFrameResult;
    }
    STDMETHODIMP put_FullSize(VARIANT_BOOL Value) override { return E_NOTIMPL; }
    STDMETHODIMP get_FullSize(VARIANT_BOOL *Value) override { return E_NOTIMPL; }
    STDMETHODIMP get_Tools(IQxTools **Value) override { return E_NOTIMPL; }
    STDMETHODIMP NewPoint(IQxPoint **Point) override { return E_NOTIMPL; }
    STDMETHODIMP get_Hidden(VARIANT_BOOL *Value) override { return E_NOTIMPL; }
    STDMETHODIMP put_Hidden(VARIANT_BOOL Value) override { return E_NOTIMPL; }
    STDMETHODIMP Alert(BSTR Text, LONG Flags, LONG *Result) override { return E_NOTIMPL; }
    STDMETHODIMP CreateNetFile(IQxNetFile **NetFile) override { return E_NOTIMPL; }
    STDMETHODIMP RunCommand(LONG Code) override { return E_NOTIMPL; }
    STDMETHODIMP get_SaveAllowed(LONG *Value) override { return E_NOTIMPL; }
    STDMETHODIMP put_SaveAllowed(LONG Value) override { return E_NOTIMPL; }
    STDMETHODIMP get_PrintRight(LONG *Value) override { return E_NOTIMPL; }
    STDMETHODIMP put_PrintRight(LONG Value) override { return E_NOTIMPL; }
    STDMETHODIMP NotifyToolClick(LONG Index, BSTR Caption) override { return E_NOTIMPL; }
    STDMETHODIMP NotifyMenuClick(LONG Index, BSTR Caption) override { return E_NOTIMPL; }
    STDMETHODIMP SaveFinished() override { return E_NOTIMPL; }
    STDMETHODIMP get_FileName(BSTR *Value) override { return E_NOTIMPL; }
    STDMETHODIMP put_FileName(BSTR Value) override { return E_NOTIMPL; }
    STDMETHODIMP AppendHideKeywords(BSTR Keywords, LONG *Result) override { return E_NOTIMPL; }
    STDMETHODIMP EnabledHideKeywords(LONG Ch, VARIANT_BOOL Value, LONG *Result) override { return E_NOTIMPL; }
    STDMETHODIMP get_CopyEnabled(VARIANT_BOOL *Value) override { return E_NOTIMPL; }
    STDMETHODIMP put_CopyEnabled(VARIANT_BOOL Value) override { return E_NOTIMPL; }
};

class ConnectionErrors : public ::testing::Test {
protected:
    ComApartment com;
    ComPtr<IQxSimulator> sim;
    ComPtr<IQxExtensibility> addIn;
    StubReader reader;

    void SetUp() override {
        ASSERT_EQ(CoCreateInstance(CLSID_FoliumFun, nullptr, CLSCTX_INPROC_SERVER, IID_IQxExtensibility,
                                   addIn.put_void()),
                  S_OK);
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(L"Quirex.Simulator.1", &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IQxSimulator, sim.put_void()), S_OK);
        sim->Reset();
        LONG patched = 0;
        ASSERT_EQ(sim->CaptureImports(UniqueBstr(L"FoliumAddin.dll").get(), &patched), S_OK);
        ASSERT_GT(patched, 0);
        sim->ClearCaptured();
    }
    std::wstring ConnectAndCapture(HRESULT mainFrame) {
        reader.mainFrameResult = mainFrame;
        sim->ClearCaptured();
        EXPECT_EQ(addIn->OnConnection(&reader, 0, nullptr, nullptr), S_OK) << "the connection always succeeds";
        LONG n = 0;
        sim->get_CapturedCount(&n);
        if (n != 1) return L"<" + std::to_wstring(n) + L" captured calls>";
        UniqueBstr line;
        sim->CapturedItem(0, line.put());
        return line.c_str();
    }
};

TEST_F(ConnectionErrors, AFailingHostCallIsShownWithTheComponentsCaption) {
    std::wstring line = ConnectAndCapture(0x80040205);
    EXPECT_EQ(line, L"MessageBoxW(null, \"IDispatch error #5\", \"Veridane.FoliumFun\", 16)");
    line = ConnectAndCapture(static_cast<HRESULT>(0x8FFF1234));
    EXPECT_EQ(line, L"MessageBoxW(null, \"Unknown error 0x8FFF1234\", \"Veridane.FoliumFun\", 16)");
    line = ConnectAndCapture(E_OUTOFMEMORY);
    EXPECT_NE(line.find(L"\"Veridane.FoliumFun\", 16)"), std::wstring::npos) << line;
    EXPECT_EQ(line.find(L"error #"), std::wstring::npos) << "a system message is used when there is one: " << line;
    EXPECT_EQ(line.find(L"\\r\\n\""), std::wstring::npos) << "the trailing line end is removed: " << line;
}

// The sink, called the way hosts call it: named arguments at their positions,
// positional ones from the last parameter backwards. A command click of kind 0 makes the
// handler ask for the command bars; any other kind does nothing.
TEST_F(ConnectionErrors, TheSinkPlacesNamedAndPositionalArguments) {
    ComPtr<IQxApplication> simApp;
    ASSERT_EQ(sim->get_Application(simApp.put()), S_OK);
    ASSERT_EQ(simApp->get_MainFrame(reader.frame.put()), S_OK);
    ASSERT_EQ(addIn->OnConnection(&reader, 0, nullptr, nullptr), S_OK);
    ASSERT_TRUE(reader.sink) << "the connection subscribed to the events";
    auto click = [&](std::vector<VARIANT> args, std::vector<DISPID> named) {
        reader.commandBarRequests = 0;
        DISPPARAMS dp{args.data(), named.empty() ? nullptr : named.data(), static_cast<UINT>(args.size()),
                      static_cast<UINT>(named.size())};
        HRESULT hr = reader.sink->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr);
        return std::make_pair(hr, reader.commandBarRequests);
    };
    // Positional: rgvarg holds (control id, kind), last parameter first.
    EXPECT_EQ(click({VLong(5), VLong(0)}, {}), std::make_pair(S_OK, 1));
    EXPECT_EQ(click({VLong(0), VLong(5)}, {}), std::make_pair(S_OK, 0));
    // Named: each argument at the position it names, whatever the order in rgvarg.
    EXPECT_EQ(click({VLong(0), VLong(5)}, {0, 1}), std::make_pair(S_OK, 1));
    EXPECT_EQ(click({VLong(5), VLong(0)}, {0, 1}), std::make_pair(S_OK, 0));
    // One named (the kind) and one positional (fills the remaining place).
    EXPECT_EQ(click({VLong(0), VLong(9)}, {0}), std::make_pair(S_OK, 1));
    // A named position of 8 or more is refused.
    EXPECT_EQ(click({VLong(0)}, {8}).first, E_FAIL);
    // Events the component does not handle are accepted.
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(reader.sink->Invoke(12345, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    // The sink answers its own identities only, and no type information.
    ComPtr<IUnknown> other;
    EXPECT_EQ(reader.sink->QueryInterface(IID_IQxExtensibility, other.put_void()), E_NOINTERFACE);
    UINT count = 9;
    EXPECT_EQ(reader.sink->GetTypeInfoCount(&count), E_NOTIMPL);
    EXPECT_EQ(addIn->OnDisconnection(0, nullptr), E_NOTIMPL);
    EXPECT_FALSE(reader.sink) << "unsubscribed with the cookie it was given";
}

// Hosts and scripts do not always send the declared types: the sink converts what
// arrives (a kind of 1.0 is 1, "0" is 0, a reference is followed) instead of reading
// the VARIANT's bits as the declared type.
TEST_F(ConnectionErrors, TheSinkReadsArgumentsByTheirType) {
    ComPtr<IQxApplication> simApp;
    ASSERT_EQ(sim->get_Application(simApp.put()), S_OK);
    ASSERT_EQ(simApp->get_MainFrame(reader.frame.put()), S_OK);
    ASSERT_EQ(addIn->OnConnection(&reader, 0, nullptr, nullptr), S_OK);
    ASSERT_TRUE(reader.sink);
    LONG zero = 0;
    struct Case {
        const char* what;
        ScopedVariant kind;
        int commandBarRequests;  // 1 when the kind read as 0
    };
    Case cases[] = {
        {"VT_R8 1.0", ScopedVariant::R8(1.0), 0},
        {"VT_R8 0.0", ScopedVariant::R8(0.0), 1},
        {"VT_BSTR \"0\"", ScopedVariant::Bstr(L"0"), 1},
        {"VT_BSTR \"7\"", ScopedVariant::Bstr(L"7"), 0},
        {"VT_I2 0", ScopedVariant::I2(0), 1},
        {"VT_BSTR text", ScopedVariant::Bstr(L"not a number"), 1},
    };
    auto click = [&](VARIANT kind) {
        reader.commandBarRequests = 0;
        VARIANT args[2] = {*ScopedVariant::UI4(5).get(), kind};
        DISPPARAMS dp{args, nullptr, 2, 0};
        EXPECT_EQ(reader.sink->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr), S_OK);
        return reader.commandBarRequests;
    };
    for (Case& c : cases) EXPECT_EQ(click(*c.kind.get()), c.commandBarRequests) << c.what;
    VARIANT byRef;
    VariantInit(&byRef);
    byRef.vt = VT_BYREF | VT_I4;
    byRef.plVal = &zero;
    EXPECT_EQ(click(byRef), 1) << "VT_BYREF|VT_I4 to 0";
    EXPECT_EQ(addIn->OnDisconnection(0, nullptr), E_NOTIMPL);
}

TEST_F(ConnectionErrors, AnAbsentMainFrameIsAnErrorWhenItsFolderIsNeeded) {
    // With the signature core loaded the host folder must be read from the main frame.
    std::wstring dll = DllPath();
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"VDSignatureCore.dll";
    ASSERT_NE(LoadLibraryW(dll.c_str()), nullptr);
    std::wstring line = ConnectAndCapture(S_OK);
    // The text is the system's message for E_POINTER where it has one.
    EXPECT_EQ(line.rfind(L"MessageBoxW(null, \"", 0), 0u) << line;
    EXPECT_NE(line.find(L"\"Veridane.FoliumFun\", 16)"), std::wstring::npos) << line;
}

}  // namespace
