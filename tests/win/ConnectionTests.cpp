// The component through IDispatch (type information, every member's name and DISPID, the
// members that do nothing, a sweep of hostile arguments) and as the reader's add-in
// (connection, disconnection and the event sink), driven through the reader simulator.
#include <olectl.h>

#include <cstring>
#include <map>

#include "FamilyTestSupport.h"
#include "MemberTable.h"

using namespace testsupport;

namespace {

const wchar_t kProgId[] = L"Veridane.FoliumFun.1";

// A reader that offers its event connection point and nothing else, so the test holds the
// sink the component subscribes.
class StubReader : public IQxApplication, public IConnectionPointContainer, public IConnectionPoint {
public:
    ComPtr<IDispatch> sink;
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IQxApplication) {
            *ppv = static_cast<IQxApplication*>(this);
        } else if (riid == IID_IConnectionPointContainer) {
            *ppv = static_cast<IConnectionPointContainer*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }  // lives on the test's stack
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** point) override {
        *point = riid == DIID__IQxApplicationEvents ? this : nullptr;
        return *point ? S_OK : CONNECT_E_NOCONNECTION;
    }
    STDMETHODIMP GetConnectionInterface(IID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
    STDMETHODIMP Advise(IUnknown* unk, DWORD* cookie) override {
        *cookie = 77;
        return unk->QueryInterface(DIID__IQxApplicationEvents, sink.put_void());
    }
    STDMETHODIMP Unadvise(DWORD cookie) override {
        if (cookie != 77) return CONNECT_E_NOCONNECTION;
        sink = nullptr;
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP get_Documents(IQxDocuments**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Name(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_CommandBars(IQxCommandBars**) override { return E_NOTIMPL; }
    STDMETHODIMP get_COMAddIns(IQxCOMAddIns**) override { return E_NOTIMPL; }
    STDMETHODIMP get_ImageStore(IQxImageStore**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Cursors(IQxCursors**) override { return E_NOTIMPL; }
    STDMETHODIMP get_MainFrame(IQxMainFrame** frame) override {
        *frame = nullptr;
        return S_OK;
    }
    STDMETHODIMP put_FullSize(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP get_FullSize(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Tools(IQxTools**) override { return E_NOTIMPL; }
    STDMETHODIMP NewPoint(IQxPoint**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Hidden(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Hidden(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP Alert(BSTR, LONG, LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP CreateNetFile(IQxNetFile**) override { return E_NOTIMPL; }
    STDMETHODIMP RunCommand(LONG) override { return E_NOTIMPL; }
    STDMETHODIMP get_SaveAllowed(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP put_SaveAllowed(LONG) override { return E_NOTIMPL; }
    STDMETHODIMP get_PrintRight(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP put_PrintRight(LONG) override { return E_NOTIMPL; }
    STDMETHODIMP NotifyToolClick(LONG, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP NotifyMenuClick(LONG, BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP SaveFinished() override { return E_NOTIMPL; }
    STDMETHODIMP get_FileName(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP put_FileName(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP AppendHideKeywords(BSTR, LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EnabledHideKeywords(LONG, VARIANT_BOOL, LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP get_CopyEnabled(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_CopyEnabled(VARIANT_BOOL) override { return E_NOTIMPL; }
};

// The sink answers its own identities only, and no type information; it is unsubscribed
// with the cookie it was given. (Runs before the signature core is loaded.)
TEST(Sink, AnswersItsOwnIdentitiesOnly) {
    ComApartment com;
    StubReader reader;  // outlives the component, which holds it
    ComPtr<IQxExtensibility> addIn;
    ASSERT_EQ(CoCreateInstance(CLSID_FoliumFun, nullptr, CLSCTX_INPROC_SERVER, IID_IQxExtensibility, addIn.put_void()),
              S_OK);
    ASSERT_EQ(addIn->OnConnection(&reader, 0, nullptr, nullptr), S_OK);
    ASSERT_TRUE(reader.sink) << "the connection subscribed to the events";
    for (const IID& iid : {IID_IUnknown, IID_IDispatch}) {
        ComPtr<IUnknown> same;
        EXPECT_EQ(reader.sink->QueryInterface(iid, same.put_void()), S_OK);
        EXPECT_EQ(same.get(), static_cast<IUnknown*>(reader.sink.get()));
    }
    ComPtr<IUnknown> other;
    EXPECT_EQ(reader.sink->QueryInterface(IID_IQxExtensibility, other.put_void()), E_NOINTERFACE);
    UINT count = 9;
    EXPECT_EQ(reader.sink->GetTypeInfoCount(&count), E_NOTIMPL);
    EXPECT_EQ(addIn->OnDisconnection(0, nullptr), E_NOTIMPL);
    EXPECT_FALSE(reader.sink) << "unsubscribed with the cookie it was given";
}

// The component alone, never connected to a reader.
class DispatchAlone : public ::testing::Test {
protected:
    ComApartment com;
    ComPtr<IFoliumFun> disp = Unconnected();
};

// The type information is the dual interface's table of operations, from the registered
// library (1.0, US English). Every member of the table, in table order: its name (in any
// letter case) resolves to its DISPID, and it has its vtable slot, kind and parameter types.
TEST_F(DispatchAlone, TypeInformationDescribesEveryMemberInTableOrder) {
    UINT count = 0;
    EXPECT_EQ(disp->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ComPtr<ITypeInfo> vt;
    EXPECT_EQ(disp->GetTypeInfo(1, 0, vt.put()), DISP_E_BADINDEX);
    EXPECT_EQ(disp->GetTypeInfo(0, 0, nullptr), E_POINTER);
    ASSERT_EQ(disp->GetTypeInfo(0, 0, vt.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(vt->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IFoliumFun));
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    vt->ReleaseTypeAttr(attr);

    ComPtr<ITypeLib> lib;
    ASSERT_EQ(LoadRegTypeLib(LIBID_FoliumAddinLib, 1, 0, 0x0409, lib.put()), S_OK);
    TLIBATTR* la = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&la), S_OK);
    EXPECT_EQ((std::vector<unsigned>{la->lcid, la->wMajorVerNum, la->wMinorVerNum}),
              (std::vector<unsigned>{1033, 1, 0}));
    lib->ReleaseTLibAttr(la);
    ComPtr<ITypeInfo> ti;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_IFoliumFun, ti.put()), S_OK);
    ASSERT_EQ(ti->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FNONEXTENSIBLE);
    ti->ReleaseTypeAttr(attr);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(CLSID_FoliumFun, coclass.put()), S_OK);
    const std::pair<DISPID, const wchar_t*> helps[] = {{1, L"填充文本域"}, {15, L"方法 GotoFirstPage"}, {2, L"GetPageSize"}};
    for (const auto& [id, help] : helps) {
        UniqueBstr doc;
        ASSERT_EQ(ti->GetDocumentation(id, nullptr, doc.put(), nullptr, nullptr), S_OK);
        EXPECT_STREQ(doc.c_str(), help);
    }

    const auto& members = Members();
    EXPECT_EQ(members.size(), 323u) << "the table has every member";
    for (UINT i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        SCOPED_TRACE(std::string(m.name.begin(), m.name.end()));
        std::wstring upper = m.name;
        CharUpperW(upper.data());
        for (const std::wstring& name : {m.name, upper}) {
            DISPID id = 0;
            LPOLESTR n = const_cast<LPOLESTR>(name.c_str());
            ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id), S_OK);
            EXPECT_EQ(id, m.id);
        }
        FUNCDESC* fd = nullptr;
        ASSERT_EQ(vt->GetFuncDesc(i, &fd), S_OK);
        EXPECT_EQ(fd->memid, m.id);
        INVOKEKIND expected = m.kind == "get" ? INVOKE_PROPERTYGET : m.kind == "put" ? INVOKE_PROPERTYPUT : INVOKE_FUNC;
        EXPECT_EQ(fd->invkind, expected);
        // Slot order: 7 IDispatch slots come first.
        EXPECT_EQ(fd->oVft / static_cast<SHORT>(sizeof(void*)), static_cast<SHORT>(7 + i));
        size_t total = m.paramTypes.size() + (m.resultType.empty() ? 0 : 1);
        ASSERT_EQ(static_cast<size_t>(fd->cParams), total);
        for (size_t p = 0; p < m.paramTypes.size(); ++p)
            EXPECT_EQ(fd->lprgelemdescParam[p].tdesc.vt, VtOf(m.paramTypes[p])) << "parameter " << p;
        if (!m.resultType.empty()) {
            const ELEMDESC& r = fd->lprgelemdescParam[total - 1];
            EXPECT_EQ(r.tdesc.vt, VT_PTR);
            EXPECT_EQ(r.tdesc.lptdesc->vt, VtOf(m.resultType));
            EXPECT_TRUE(r.paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
        }
        vt->ReleaseFuncDesc(fd);
    }
    LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
    DISPID id = 0;
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
}

TEST_F(DispatchAlone, SweepOfHostileArgumentsOverEveryMemberLeavesNothingBehind) {
    SweepEveryMember(disp.get());
    disp = nullptr;
    EXPECT_EQ(ComponentDll().canUnloadNow(), S_OK) << "no object or lock outlives the sweep";
}

// An argument of a parameter type, as a page passes it.
VARIANT Argument(const std::string& type) {
    if (type == "bool") return VBool(true);
    if (type == "string") return VStr(L"1");
    if (type == "double") return ScopedVariant::R8(1).Detach();
    if (type == "float") return ScopedVariant::R4(1).Detach();
    return VLong(1);
}

class Dispatch : public ConnectedComponent {};

// Every member the table marks `empty`, on a reader with a document (a seal, a bookmark), the
// sibling add-ins and the system dialogs captured. Called early-bound through its vtable slot
// (table order, after the 7 of IDispatch) it succeeds and leaves its result slot as it was;
// called as a script calls it, it succeeds and the script sees the zero of the result's type.
// Neither call reaches the reader, an add-in or the system, and a put leaves what its get answers.
TEST_F(Dispatch, EmptyMembersLeaveTheirResultAlone) {
    CaptureImports();
    ASSERT_EQ(sim->AddAllStandIns(), S_OK);
    ASSERT_TRUE(Open(R"({"type":"PDF","pages":[{"text":"page one","annotations":[
        {"kind":12,"type":"Brimwell:AddSeal","rect":[10,10,60,60]}]},{"text":"page two"}],
        "bookmarks":[{"title":"one","page":1}]})"));
    const std::map<std::string, std::wstring> zero = {
        {"", L"VT_EMPTY=empty"}, {"long", L"VT_I4=0"}, {"bool", L"VT_BOOL=0"},
        {"string", L"VT_BSTR=\"\""}, {"variant", L"VT_EMPTY=empty"}};
    const auto& members = Members();
    size_t covered = 0;
    for (size_t i = 0; i < members.size(); ++i) {
        const Member& m = members[i];
        if (m.status != "empty") continue;
        ++covered;
        const std::wstring name = m.name + L" " + std::wstring(m.kind.begin(), m.kind.end());
        const std::wstring before = m.kind == "put" ? Script(m.name.c_str()) : L"";
        sim->ClearJournal();

        std::vector<VARIANT> early;
        std::vector<VARTYPE> types;
        for (const std::string& type : m.paramTypes) {
            early.push_back(Argument(type));
            types.push_back(VtOf(type));
        }
        VARIANT marker{}, slot{};
        marker.vt = VT_I4;
        marker.llVal = 0x12345678;
        slot = marker;
        if (!m.resultType.empty()) {
            VARIANT out{};
            out.vt = VT_BYREF | VT_VARIANT;
            out.byref = m.resultType == "variant" ? static_cast<void*>(&slot) : static_cast<void*>(&slot.llVal);
            early.push_back(out);
            types.push_back(out.vt);
        }
        std::vector<VARIANT*> pointers;
        for (VARIANT& v : early) pointers.push_back(&v);
        VARIANT answer{};
        HRESULT called = DispCallFunc(fun.get(), (7 + i) * sizeof(void*), CC_STDCALL, VT_ERROR,
                                      static_cast<UINT>(early.size()), types.data(), pointers.data(), &answer);
        for (size_t p = 0; p < m.paramTypes.size(); ++p) VariantClear(&early[p]);
        std::wstring got = name + L": " + (called != S_OK ? L"not called" : answer.scode == S_OK ? L"S_OK" : L"failed");
        got += std::memcmp(&slot, &marker, sizeof slot) == 0 ? L" left" : L" written";

        std::vector<VARIANT> late;
        for (const std::string& type : m.paramTypes) late.push_back(Argument(type));
        if (m.kind != "put") got += L", " + Script(m.name.c_str(), late);
        else got += ScriptPut(m.name.c_str(), late[0]) == S_OK ? L", VT_EMPTY=empty" : L", failed";
        got += JournalShown({L""});
        if (m.kind == "put" && Script(m.name.c_str()) != before) got += L", its get changed";
        EXPECT_EQ(name + L": S_OK left, " + zero.at(m.resultType), got);
    }
    EXPECT_GT(covered, 0u) << "the table marks members empty";
}

class Connected : public ConnectedComponent {
protected:
    void SetUp() override {
        ConnectedComponent::SetUp();
        CaptureImports();
    }
    // A simulator call on the connected component: connect or disconnect again, unload.
    LONG Call(HRESULT (STDMETHODCALLTYPE IQxSimulator::*what)(BSTR, LONG*)) {
        LONG r = -1;
        EXPECT_EQ((sim.get()->*what)(UniqueBstr(kProgId).get(), &r), S_OK);
        return r;
    }
    LONG Sinks() {
        LONG n = -1;
        sim->get_SinkCount(&n);
        return n;
    }
    // A button on a bar (by name or index) marked by its user data, found again by its tag.
    void AddButton(const std::wstring& bar, LONG id, ULONG userData, const std::wstring& tag, const wchar_t* caption) {
        const std::wstring controls = L"CommandBars.Item(" + bar + L").Controls", button = L".Item(\"" + tag + L"\").";
        for (const std::wstring& step : {L".Add(1, missing, " + std::to_wstring(id) + L").Tag=\"" + tag + L"\"",
                                         button + L"UserData=" + std::to_wstring(static_cast<LONG>(userData)),
                                         button + L"Caption=\"" + caption + L"\""})
            ASSERT_EQ(Host(controls + step).find(L"failed"), std::wstring::npos) << step;
    }
    // Raises an event with DISPPARAMS as a host builds them: rgvarg as given, the first
    // ones named by `named`. Returns the sink's answer.
    LONG Raise(DISPID id, const std::vector<const VARIANT*>& args, const std::vector<LONG>& named) {
        SAFEARRAY* a = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(args.size()));
        for (LONG i = 0; i < static_cast<LONG>(args.size()); ++i)
            SafeArrayPutElement(a, &i, const_cast<VARIANT*>(args[i]));
        SAFEARRAY* n = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(named.size()));
        for (LONG i = 0; i < static_cast<LONG>(named.size()); ++i)
            SafeArrayPutElement(n, &i, const_cast<LONG*>(&named[i]));
        VARIANT va{}, vn{};
        va.vt = VT_ARRAY | VT_VARIANT;
        va.parray = a;
        vn.vt = VT_ARRAY | VT_I4;
        vn.parray = n;
        LONG status = -1;
        EXPECT_EQ(sim->FireEventRaw(id, va, vn, &status), S_OK);
        SafeArrayDestroy(a);
        SafeArrayDestroy(n);
        return status;
    }
};

TEST_F(Connected, ConnectionAdvisesWithoutTheSignatureCoreAndDisconnectionUnadvises) {
    ASSERT_EQ(GetModuleHandleW(L"VDSignatureCore.dll"), nullptr);
    EXPECT_EQ(Sinks(), 1);
    EXPECT_EQ(Call(&IQxSimulator::DisconnectAddIn), E_NOTIMPL);
    EXPECT_EQ(Sinks(), 0);
    sim->ClearJournal();
    EXPECT_EQ(Call(&IQxSimulator::ConnectAddIn), S_OK);
    EXPECT_EQ(Sinks(), 1) << "a new connection advises again";
    // Without the signature core the host folder is not read.
    EXPECT_EQ(JournalText(), L"Application.Name\nApplication.MainFrame\nConnectionPoint.Advise()\n");

    EXPECT_EQ(Call(&IQxSimulator::UnloadAddIn), E_NOTIMPL);
    EXPECT_EQ(Sinks(), 0);
    EXPECT_TRUE(CapturedOf().empty());
}

// Command clicks as hosts send them: named arguments at the positions they name, positional
// ones from the last parameter backwards, values of other types than declared converted (a
// kind of 1.0 is 1, "0" is 0, a reference is followed) instead of read as the declared type.
// Only a user click (kind 0) on a control the component marked is reported.
TEST_F(Connected, TheSinkPlacesAndConvertsArgumentsAndReportsMarkedClicks) {
    AddButton(L"\"MyTools\"", 42001, 0xF0000002u, L"12abc", L"工具");
    AddButton(L"\"MyTools\"", 42002, 0x70000000u, L"3", L"unmarked");
    AddButton(L"0", 43001, 0xFFFFFFFFu, L"-4", L"菜单");
    LONG zero = 0;
    VARIANT byRef{};
    byRef.vt = VT_BYREF | VT_I4;
    byRef.plVal = &zero;
    const Lines tool = {L"NotifyToolClick(12, \"工具\")"}, none;
    const struct {
        const char* what;
        ScopedVariant first, second;  // rgvarg[0], rgvarg[1]
        std::vector<LONG> named;
        LONG status;
        Lines notified;
    } rows[] = {
        {"positional", ScopedVariant::I4(42001), ScopedVariant::I4(0), {}, S_OK, tool},
        {"kind 1", ScopedVariant::I4(42001), ScopedVariant::I4(1), {}, S_OK, none},
        {"unmarked", ScopedVariant::I4(42002), ScopedVariant::I4(0), {}, S_OK, none},
        {"first bar", ScopedVariant::I4(43001), ScopedVariant::I4(0), {}, S_OK, {L"NotifyMenuClick(-4, \"菜单\")"}},
        {"named", ScopedVariant::I4(0), ScopedVariant::I4(42001), {0, 1}, S_OK, tool},
        {"named, kind 42001", ScopedVariant::I4(42001), ScopedVariant::I4(0), {0, 1}, S_OK, none},
        {"kind named, id positional", ScopedVariant::I4(0), ScopedVariant::I4(42001), {0}, S_OK, tool},
        {"named position 8", ScopedVariant::I4(0), ScopedVariant::I4(42001), {8}, E_FAIL, none},
        {"VT_UI4 id, VT_R8 1.0", ScopedVariant::UI4(42001), ScopedVariant::R8(1.0), {}, S_OK, none},
        {"VT_R8 0.0", ScopedVariant::UI4(42001), ScopedVariant::R8(0.0), {}, S_OK, tool},
        {"VT_BSTR \"0\"", ScopedVariant::UI4(42001), ScopedVariant::Bstr(L"0"), {}, S_OK, tool},
        {"VT_BSTR \"7\"", ScopedVariant::UI4(42001), ScopedVariant::Bstr(L"7"), {}, S_OK, none},
        {"VT_I2 0", ScopedVariant::UI4(42001), ScopedVariant::I2(0), {}, S_OK, tool},
        {"VT_BSTR text", ScopedVariant::UI4(42001), ScopedVariant::Bstr(L"not a number"), {}, S_OK, tool},
        {"VT_BYREF|VT_I4 0", ScopedVariant::UI4(42001), ScopedVariant::Attach(byRef), {}, S_OK, tool},
        {"id as text", ScopedVariant::Bstr(L"42001"), ScopedVariant::I4(0), {}, S_OK, tool},
    };
    for (const auto& row : rows) {
        sim->ClearNotifications();
        EXPECT_EQ(Raise(1, {row.first.get(), row.second.get()}, row.named), row.status) << row.what;
        EXPECT_EQ(quirexsim::Notifications(sim.get()), row.notified) << row.what;
    }
    EXPECT_EQ(Raise(12345, {}, {}), S_OK) << "events the component does not handle are accepted";
}

// Runs last in this process: the signature core stays loaded once loaded. With it, the host
// folder is read from the main frame, so an absent main frame is an error.
TEST_F(Connected, ZSignatureCoreGivesFoldersAndEntryPointsAndNeedsTheMainFrame) {
    std::wstring dll = DllPath();
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"VDSignatureCore.dll";
    HMODULE core = LoadLibraryW(dll.c_str());
    ASSERT_NE(core, nullptr);
    auto calls = reinterpret_cast<LONG(WINAPI*)(int)>(GetProcAddress(core, "VD_CallCount"));
    ASSERT_NE(calls, nullptr);
    LONG before = calls(0);
    ASSERT_EQ(Call(&IQxSimulator::DisconnectAddIn), E_NOTIMPL);
    sim->ClearJournal();
    EXPECT_EQ(Call(&IQxSimulator::ConnectAddIn), S_OK);
    EXPECT_EQ(calls(0), before + 1) << "the configuration folder is asked once";
    EXPECT_EQ(JournalText(),
              L"Application.Name\nApplication.MainFrame\nMainFrame.AppDirectory\nConnectionPoint.Advise()\n");
    EXPECT_EQ(Sinks(), 1);
    // Objects created by class (here the signing-key device) go through the core, which makes them.
    LONG keys = -1, created = calls(1);
    sim->SetAnswer(UniqueBstr(L"WebGetKeyCount").get(), *ScopedVariant::I2(3).get());
    EXPECT_EQ(fun->GetKeyCount(&keys), S_OK);
    EXPECT_EQ(keys, 3);
    EXPECT_EQ(calls(1), created + 1);

    // A failing host call at connection is shown with the component's caption: the system's
    // message without its line end, or a text made from the code. The connection still
    // succeeds, without advising.
    const std::pair<HRESULT, std::wstring> failures[] = {
        {E_POINTER, L""}, {E_OUTOFMEMORY, L""}, {static_cast<HRESULT>(0x8FFF1234), L"Unknown error 0x8FFF1234"}};
    ASSERT_EQ(Call(&IQxSimulator::DisconnectAddIn), E_NOTIMPL);
    for (const auto& [hr, text] : failures) {
        sim->ClearCaptured();
        if (hr == E_POINTER) ASSERT_EQ(quirexsim::NullOperation(sim.get(), L"Application.MainFrame"), S_OK);
        else ASSERT_EQ(quirexsim::FailOperation(sim.get(), L"MainFrame.AppDirectory", hr), S_OK);
        EXPECT_EQ(Call(&IQxSimulator::ConnectAddIn), S_OK);
        EXPECT_EQ(Sinks(), 0);
        const auto captured = CapturedOf();
        ASSERT_EQ(captured.size(), 1u);
        if (!text.empty()) {
            EXPECT_EQ(captured[0], L"MessageBoxW(null, \"" + text + L"\", \"Veridane.FoliumFun\", 16)");
            continue;
        }
        EXPECT_EQ(captured[0].rfind(L"MessageBoxW(null, \"", 0), 0u) << captured[0];
        EXPECT_NE(captured[0].find(L"\", \"Veridane.FoliumFun\", 16)"), std::wstring::npos) << captured[0];
        EXPECT_EQ(captured[0].find(L"error #"), std::wstring::npos) << "the system's message: " << captured[0];
        EXPECT_EQ(captured[0].find(L"\\r\\n\""), std::wstring::npos) << "without its line end: " << captured[0];
    }
}

}  // namespace
