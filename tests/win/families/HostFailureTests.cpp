// Failure rules of the built families, made to happen through the reader simulator:
// host calls that fail or answer nothing, objects and chrome the reader lacks, and
// hosts that connect or raise events in unusual ways. Grouped by family.
#include "FamilyTestSupport.h"
#include <olectl.h>

#include <set>

#include "MemberTable.h"
#include "sim/QuirexSimClient.h"

using namespace testsupport;

namespace {

using F = IFoliumFun;

const char kTwoPages[] =
    R"({"pages":[{"text":"alpha beta"},{"text":"gamma"}],
        "bookmarks":[{"title":"A","page":1,"children":[{"title":"B","page":2}]}],
        "attachments":[{"name":"a.txt","data":"SGVsbG8="}]})";

// Texts joined by " | ", made in the order given: the elements of a braced list are
// evaluated in order, the operands of + are not.
std::wstring Seq(std::initializer_list<std::wstring> parts) {
    std::wstring out;
    for (const std::wstring& part : parts) out += (out.empty() ? L"" : L" | ") + part;
    return out;
}

class HostFailures : public ConnectedComponent {
protected:
    PrivateTemp privateTemp;  // made before SetUp connects the component, removed with what is left in it
    void SetUp() override {
        ConnectedComponent::SetUp();
        CaptureImports();
        sim->ClearCaptured();
    }
    // The operation fails with hr (or answers null) for the next `times` calls; -1: always.
    void Fail(const wchar_t* op, HRESULT hr = E_FAIL, LONG times = -1) {
        ASSERT_EQ(quirexsim::FailOperation(sim.get(), op, hr, times), S_OK);
    }
    void Null(const wchar_t* op, LONG times = -1) { ASSERT_EQ(quirexsim::NullOperation(sim.get(), op, times), S_OK); }
    // An outcome followed by the journal lines that contain one of `shown` (made after the call).
    std::wstring With(const std::wstring& outcome, const Lines& shown) { return outcome + JournalShown(shown); }
    // Only this rule holds from now on, and the journal starts afresh.
    void Only(const wchar_t* op, bool null = false) {
        sim->ClearFailures();
        sim->ClearJournal();
        null ? Null(op) : Fail(op);
    }
    LONG Sinks() {
        LONG n = -1;
        sim->get_SinkCount(&n);
        return n;
    }
    // OnConnection (or OnDisconnection) again on the component object the reader holds.
    LONG Reconnect(HRESULT (STDMETHODCALLTYPE IQxSimulator::*what)(BSTR, LONG*) = &IQxSimulator::ConnectAddIn) {
        LONG r = -1;
        (sim.get()->*what)(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
        return r;
    }
    void DisconnectOnly() { Reconnect(&IQxSimulator::DisconnectAddIn); }
    // A click on the tool, as the notifications it caused ("" for none).
    std::wstring Click(LONG id) {
        sim->ClearNotifications();
        auto kind = ScopedVariant::I4(0), cid = ScopedVariant::I4(id);
        auto m3 = ScopedVariant::Missing(), m4 = ScopedVariant::Missing();
        ScopedVariant result;
        HRESULT hr = sim->FireEvent(1, *kind.get(), *cid.get(), *m3.get(), *m4.get(), result.Receive());
        std::wstring out = hr == S_OK ? L"" : L"failed ";
        for (const std::wstring& n : quirexsim::Notifications(sim.get())) out += n;
        return out;
    }
};

// ---- connection and host events -----------------------------------------------------------------

using ConnectionFailures = HostFailures;

// Each connection as one text: its result, the sinks advised afterwards, whether it
// advised, the message boxes it showed, and what a click on a marked tool then reaches.
// A click itself ends at the first host call that fails.
TEST_F(ConnectionFailures, ConnectionsAndClicksStopAtTheFirstFailureAndAdviseOnceOnly) {
    ASSERT_EQ(Call(&F::AppendTools, L"3", L"工具", 0), L"S_OK");  // the page's tool, marked as the component's
    const LONG tool = std::stol(Host(L"CommandBars.Item(\"MyTools\").Controls.Item(0).Id").substr(6));
    auto connect = [&] {
        sim->ClearJournal();
        sim->ClearCaptured();
        std::wstring out = std::to_wstring(Reconnect());
        out += L" sinks " + std::to_wstring(Sinks());
        if (Journaled(L"ConnectionPoint.Advise")) out += L" advised";
        for (const std::wstring& box : CapturedOf(L"MessageBoxW")) out += L" " + box;
        return out + L" | " + Click(tool);
    };
    const std::wstring heard = L" advised | NotifyToolClick(3, \"工具\")";
    EXPECT_EQ(connect(), std::to_wstring(E_FAIL) + L" sinks 1 | NotifyToolClick(3, \"工具\")") << "while advised";
    DisconnectOnly();
    Fail(L"ConnectionPoint.Advise", CONNECT_E_CANNOTCONNECT, 1);
    EXPECT_EQ(connect(), L"0 sinks 0 advised | ") << "the advise's own result is ignored";
    EXPECT_EQ(connect(), L"0 sinks 1" + heard) << "not refused as a second advise";
    // A failed host call in the first block is shown with the caption and stops the second.
    DisconnectOnly();
    Fail(L"Application.MainFrame", static_cast<HRESULT>(0x80040210), 1);
    EXPECT_EQ(connect(),
              L"0 sinks 0 MessageBoxW(null, \"IDispatch error #16\", \"Veridane.FoliumFun\", 16) | ");
    EXPECT_EQ(connect(), L"0 sinks 1" + heard) << "the sink was never advised, so a later connection advises";
    // An absent main frame is no error without the signature core.
    ASSERT_EQ(GetModuleHandleW(L"VDSignatureCore.dll"), nullptr) << "this process runs without the signature core";
    DisconnectOnly();
    Null(L"Application.MainFrame", 1);
    EXPECT_EQ(connect(), L"0 sinks 1" + heard);
    const struct {
        const wchar_t* op;
        bool null;
    } clicks[] = {{L"Application.CommandBars", false}, {L"Application.CommandBars", true},
                  {L"Control.UserData", false},       {L"Control.UserData", true},
                  {L"Control.Caption", false},        {L"Control.Tag", false}};
    for (const auto& c : clicks) {
        Only(c.op, c.null);
        EXPECT_EQ(Click(tool), L"") << c.op << (c.null ? " null" : " failing");
    }
}

TEST_F(ConnectionFailures, AnAnnotationMessageWithoutAReadableAnnotationVetoesNothing) {
    Open(R"({"pages":[{"annotations":[{"kind":12,"type":"Stamp","author":"someone else","rect":[0,0,10,10]}]}]})");
    auto stamp = ScopedVariant::Dispatch(AnnotationsOnPages(0).at(0).get());
    UniqueBstr message(L"Quirex.Annots:OnLButtonDown");
    // The answer, the handle, and the annotation's properties read.
    auto fire = [&](const ScopedVariant& annotation) {
        sim->ClearJournal();
        LONG handle = -1;
        std::wstring out = std::to_wstring(sim->FireAnnotationMessageWith(message.get(), *annotation.get(), &handle));
        out += L" " + std::to_wstring(handle);
        for (const std::wstring& line : JournalWith(L"Annotation.")) out += L" " + line;
        return out;
    };
    EXPECT_EQ(Seq({fire(ScopedVariant::Bstr(L"not an annotation")), fire(ScopedVariant::I4(5)), fire(ScopedVariant()),
                   fire(ScopedVariant::Dispatch(nullptr))}),
              L"0 0 | 0 0 | 0 0 | 0 0");
    Fail(L"Annotation.Type");
    EXPECT_EQ(fire(stamp), L"0 0 Annotation.Type !failed 0x80004005") << "an unreadable kind ends the handler";
}

// ---- chrome visibility and navigation -----------------------------------------------------------

using ChromeFailures = HostFailures;

// Each row makes one host call fail (or answer null): getters keep their defaults, moves go on
// with them or stop, as a script sees them, with the page moves, turns, selections and tab bar
// and pane changes made. A bar named "MenuBar" in another letter case is not the menu bar.
TEST_F(ChromeFailures, MembersKeepTheirDefaultsOrStopWhenTheHostCallFailsOrTheBarIsNotThere) {
    LONG renamed = 0;
    ASSERT_EQ(sim->RenameChrome(UniqueBstr(L"CommandBar").get(), UniqueBstr(L"MenuBar").get(),
                                UniqueBstr(L"menubar").get(), &renamed),
              S_OK);
    EXPECT_EQ(Call(&F::get_ShowMenus), L"S_OK 1");
    Open(kTwoPages);
    ASSERT_EQ(fun->put_Rotate(90), S_OK);
    auto script = [&](const wchar_t* member) { return [this, member] { return Script(member); }; };
    // The signature tab's getter, its setter and ShowTabCommandBar in one text.
    auto tabs = [&] {
        return Seq({Call(&F::get_ShowDigitalSignature), Call(&F::put_ShowDigitalSignature, 0),
                    Call(&F::ShowTabCommandBar, 1, VARIANT_FALSE)});
    };
    const struct {
        const wchar_t* op;
        bool null;
        std::function<std::wstring()> call;
        std::wstring expected;
    } cases[] = {
        {L"CommandBar.Visible", false, script(L"ShowMenus"), L"VT_BOOL=1"},
        {L"CommandBar.Visible", false, script(L"ShowPostil"), L"VT_BOOL=1"},
        {L"MainFrame.SidePanesVisible", false, script(L"ShowSides"), L"VT_BOOL=-1"},
        {L"MainFrame.TabBarVisible", false, script(L"ShowTabBarVisible"), L"VT_BOOL=1"},
        {L"MainFrame.StartPageVisible", false, script(L"StartPageVisible"), L"VT_BOOL=0"},
        {L"PageView.FullScreen", false, script(L"FullScreen"), L"VT_BOOL=0"},
        {L"Application.Hidden", false, script(L"Hide"), L"VT_BOOL=0"},
        {L"Application.CopyEnabled", false, script(L"EnabledCopy"), L"VT_BOOL=0"},
        {L"Workspace.*", false, script(L"ShowState"), L"VT_BOOL=0"},
        {L"TabBars.GetVisible", false, script(L"ShowDigitalSignature"), L"VT_I4=1"},
        {L"PageView.Zoom", false, script(L"Zoom"), L"VT_I4=1"},
        {L"Controls.Item", false, script(L"DocumentModified"), L"VT_I4=1"},
        {L"CommandBars.Item", true, script(L"DocumentModified"), L"VT_I4=1"},
        {L"Document.Pages", true, script(L"ContentText"), L"VT_BSTR=\"\""},
        // A count of 1 leaves nowhere to go; the current rotation reads as 0 (it is 90).
        {L"Pages.Count", false, [&] { return Call(&F::GotoNextPage); }, L"S_OK 1"},
        {L"Pages.Count", false, [&] { return Call(&F::GotoLastPage); }, L"S_OK 1 | PageView.CurrentPage=1"},
        {L"PageView.Rotation", false, [&] { return Call(&F::put_Rotate, 180); }, L"S_OK | PageView.RotateBy(180)"},
        {L"Page.Rotation", false, [&] { return Call(&F::GetPageSize, 1, 2); }, L"S_OK -1"},
        // The finder's status: no hit, nothing selected.
        {L"TextFinder.FindNext", false,
         [&] { return Call(&F::GoToText, L"beta", 1, VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE); },
         L"S_OK " + std::to_wstring(static_cast<LONG>(E_FAIL))},
        {L"Document.TextFinder", true,
         [&] { return Call(&F::GoToText, L"beta", 1, VARIANT_FALSE, VARIANT_TRUE, VARIANT_FALSE); }, L"S_FALSE 1"},
        {L"Document.TextFinder", true, [&] { return Call(&F::SearchText, L"beta"); }, L"S_OK "},
        // Without tab bars or their collections the tab members are not done.
        {L"Workspace.TabBars", true, tabs, L"S_FALSE 7 | S_FALSE | S_FALSE -1"},
        {L"Workspace.Panes", true, tabs, L"S_OK 1 | S_FALSE | S_FALSE -1"},
        {L"Document.Workspace", true, tabs, L"S_FALSE 7 | S_FALSE | S_FALSE -1"},
    };
    const Lines shown = {L"CurrentPage=", L"RotateBy", L"TextSelection.", L"SetVisible(", L"Pane.Visible="};
    for (const auto& c : cases) {
        Only(c.op, c.null);
        EXPECT_EQ(With(c.call(), shown), c.expected) << c.op << (c.null ? " null" : " failing");
    }
    // Without the tab bars the signature tab reads as shown, and the pane walk still runs.
    sim->ClearFailures();
    LONG removed = 0;
    for (const wchar_t* tab : {L"BookMark", L"AnnotsTabBar", L"SigTabBar", L"Thumbnail"})
        ASSERT_EQ(sim->RemoveChrome(UniqueBstr(L"TabBar").get(), UniqueBstr(tab).get(), &removed), S_OK);
    sim->ClearJournal();
    EXPECT_EQ(With(tabs(), shown), L"S_OK 1 | S_OK | S_OK -1 | Pane.Visible=0 | Pane.Visible=0");
}

// ---- server exchange ----------------------------------------------------------------------------

using ExchangeFailures = HostFailures;

// Saves stop before the server when the reader cannot write the document; an attachment
// that cannot be saved or a download that cannot be opened goes no further. Every server
// step succeeds; only the reader fails.
TEST_F(ExchangeFailures, TransfersStopAtTheReadersFailure) {
    ComPtr<IQxStandIn> relay;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Relay").get(), relay.put()), S_OK);
    const std::wstring temp = privateTemp.Path() + L"exchange.tmp";
    ASSERT_TRUE(WriteAll(temp, ""));
    relay->SetResult(UniqueBstr(L"CreateTempFileName").get(), *ScopedVariant::Bstr(temp.c_str()).get());
    for (const wchar_t* m : {L"MsgFileLoad", L"MsgFileSave", L"PostDBPacket"})
        relay->SetResult(UniqueBstr(m).get(), *ScopedVariant::Bool(true).get());
    Open(kTwoPages);
    // The relay members called since the last look, in order.
    auto relayCalls = [&] {
        std::wstring out;
        for (const std::wstring& call : quirexsim::Calls(relay.get())) out += call.substr(0, call.find(L':')) + L" ";
        relay->ClearCalls();
        return out;
    };
    Fail(L"Document.SaveAs");
    for (auto member : {&F::WebSave, &F::WebSaveEx}) {
        EXPECT_EQ(Seq({Call(member), relayCalls()}), L"S_OK 0 | WebUrl ShowSchedule CreateTempFileName ");
        EXPECT_FALSE(Exists(temp)) << "the temporary file is deleted";
        WriteAll(temp, "");
    }
    Only(L"Attachment.SaveToFile");
    EXPECT_EQ(Seq({Call(&F::WebSaveAccessory), relayCalls()}), L"S_OK 0 | CreateTempFileName ");
    std::wstring download = L"WebUrl ShowSchedule CreateTempFileName ";
    for (int i = 0; i < 7; ++i) download += L"SetMsgByName ";
    download += L"PostDBPacket MsgFileSave ";
    Only(L"Documents.Open", true);
    EXPECT_EQ(Seq({Call(&F::WebOpen), relayCalls()}), L"S_OK 0 | " + download);
}

// ---- every entry point against a failing host ------------------------------------------------

// A document with something of every kind the members walk.
const char kEverything[] =
    R"({"pages":[{"text":"alpha beta","annotations":[{"kind":12,"type":"Stamp","author":"a","rect":[0,0,10,10]}]},
                 {"text":"二〇二六年十二月六日 gamma"}],
        "bookmarks":[{"title":"A","page":1,"children":[{"title":"B","page":2}]}],
        "fields":[{"name":"f","value":"v"}],
        "attachments":[{"name":"a.txt","data":"SGVsbG8="}]})";

// Bitmaps whose headers claim 0x60000000 and 0x40000000 pixels a side: reading their
// pixels asks for more than a vector may hold (length_error) or than memory gives
// (bad_alloc), the component's own standard exceptions.
const wchar_t* const kHugePictures[] = {
    L"Qk06AAAAAAAAADYAAAAoAAAAAAAAYAAAAGABACAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA==",
    L"Qk06AAAAAAAAADYAAAAoAAAAAAAAQAAAAEABACAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA==",
};

class EveryEntryPoint : public HostFailures {
protected:
    // Arguments a member accepts, so that it goes on to the host: page 1, true, and a
    // path in a folder that does not exist (no URL; nothing can be written or read there,
    // so the document does not grow from round to round).
    const std::wstring text = privateTemp.Path() + L"no-such-folder\\sweep.pdf";
    void Plausible(VARIANT& v, const std::string& type) {
        if (type == "string") v = VStr(text.c_str());
        else if (type == "bool") v = VBool(true);
        else if (type == "float" || type == "double") v = ScopedVariant::R8(1.0).Detach();
        else v = VLong(1);
    }
    // Every event the sink may receive, with a view, numbers and the hostile flavour.
    // Any answer will do (arguments of the wrong type are refused).
    void FireEveryEvent(IDispatch* view, IQxAnnotation* annotation, size_t hostile) {
        auto object = ScopedVariant::Dispatch(view), zero = ScopedVariant::I4(0), one = ScopedVariant::I4(1);
        ScopedVariant h[4], result;
        for (size_t i = 0; i < 4; ++i) HostileArgument(hostile, *h[i].Receive(), i);
        for (DISPID id = 0; id <= 60; ++id) {
            sim->FireEvent(id, *object.get(), *zero.get(), *one.get(), *zero.get(), result.Receive());
            sim->FireEvent(id, *zero.get(), *one.get(), *zero.get(), *one.get(), result.Receive());
            sim->FireEvent(id, *h[0].get(), *h[1].get(), *h[2].get(), *h[3].get(), result.Receive());
        }
        LONG handle = 0;
        for (const wchar_t* message : {L"Quirex.Annots:OnLButtonDown", L"Quirex.Annots:OnDelete"})
            sim->FireAnnotationMessage(UniqueBstr(message).get(), annotation, &handle);
    }
    // The objects the component's operations were journaled on ("Object.Operation").
    std::set<std::wstring> ObjectsUsed() {
        std::set<std::wstring> names;
        for (const std::wstring& line : JournalLines()) {
            const std::wstring op = line.substr(0, line.find_first_of(L"(="));
            const size_t dot = op.find(L'.');
            if (dot == std::wstring::npos || op.find(L'!') != std::wstring::npos) continue;
            if (op.compare(0, dot, L"Win32") != 0) names.insert(op.substr(0, dot));
        }
        return names;
    }
};

// Each object of the reader's model fails, then answers null, for every operation, while
// every member (with arguments it accepts; with hostile ones too while it fails), every
// event, the disconnection and the connection run: each answers an HRESULT, nothing crashes, and
// the component still answers afterwards. The objects are the ones a clean run uses. Last,
// every flavour of hostile argument against a host that answers, so the host walks run.
TEST_F(EveryEntryPoint, AnswersWhicheverHostObjectFailsOrAnswersNull) {
    const std::vector<std::wstring> closing = {L"WebClose", L"closeFile"};
    // Hostile numbers become relative file names: emptied before each round so that a
    // document saved in one round is not imported and saved again in the next.
    ScratchFolder scratch(privateTemp.Path() + L"sweep-folder");
    sim->AddAllStandIns();
    auto round = [&](size_t hostile, bool hostileMembers, const std::function<void()>& failures) {
        scratch.Empty();
        sim->Reset();
        ComPtr<IQxDocument> doc = Open(kEverything);
        ComPtr<IQxDocWindow> window;
        ComPtr<IQxPageView> view;
        if (doc) doc->get_Window(window.put());
        if (window) window->get_View(view.put());
        ComPtr<IQxAnnotation> stamp = AnnotationsOnPages(0).at(0);
        failures();
        CallEveryMember(disp.get(), [&](VARIANT& v, const std::string& type, size_t) { Plausible(v, type); }, closing);
        if (hostileMembers)
            CallEveryMember(disp.get(), [&](VARIANT& v, const std::string&, size_t i) { HostileArgument(hostile, v, i); },
                            closing);
        EXPECT_GE(Sinks(), 1);
        FireEveryEvent(view.get(), stamp.get(), hostile);
        for (const std::wstring& name : closing) {
            ScopedVariant r;
            CallByName(disp.get(), name.c_str(), DISPATCH_METHOD, {}, r.get());
        }
        DisconnectOnly();
        Reconnect();
        sim->ClearFailures();
        if (Sinks() == 0) EXPECT_EQ(Reconnect(), S_OK);
        UniqueBstr version;
        EXPECT_EQ(fun->get_Version(version.put()), S_OK);
    };
    round(0, true, [] {});
    const std::set<std::wstring> objects = ObjectsUsed();
    EXPECT_GT(objects.size(), 25u) << "the clean run reached the model";
    std::vector<std::wstring> unreached;
    size_t hostile = 1;  // the flavour of hostile arguments, one more each object
    for (const std::wstring& object : objects) {
        for (bool null : {false, true}) {
            const std::wstring rule = object + L".*";
            round(hostile, !null, [&] { null ? Null(rule.c_str()) : Fail(rule.c_str(), E_FAIL); });
            const std::wstring mark = null ? L" !null" : L" !failed";
            bool hit = false;
            for (const std::wstring& line : JournalLines())
                hit = hit || (line.rfind(object + L".", 0) == 0 && line.find(mark) != std::wstring::npos);
            if (!hit) unreached.push_back(rule + mark);
        }
        ++hostile;
    }
    EXPECT_TRUE(unreached.empty()) << "rules no call met: " << ::testing::PrintToString(unreached);
    round(0, false, [&] { SweepEveryMember(disp.get(), closing); });
}

// A picture whose stated size cannot be held makes the component's own code throw a
// standard exception: the member answers E_OUTOFMEMORY and the component goes on.
TEST_F(EveryEntryPoint, APictureTooLargeToHoldAnswersOutOfMemory) {
    ScratchFolder scratch(privateTemp.Path() + L"sweep-folder");  // where texts taken for relative paths land
    for (const wchar_t* picture : kHugePictures) {
        Open(kTwoPages);
        UniqueBstr text(picture);
        LONG result = -1;
        EXPECT_EQ(fun->AddImageAnnotByString(UniqueBstr(L"a|b").get(), text.get(), &result), E_OUTOFMEMORY);
        EXPECT_EQ(fun->CreateSignatureByImage(text.get(), UniqueBstr(L"").get(), VARIANT_FALSE, 1, 1, 1,
                                              UniqueBstr(L"1*1").get(), &result),
                  E_OUTOFMEMORY);
        // Every text parameter of every member, too.
        CallEveryMember(disp.get(), [&](VARIANT& v, const std::string& type, size_t) {
            if (type != "string") return Plausible(v, type);
            v.vt = VT_BSTR;
            v.bstrVal = SysAllocString(picture);
        });
    }
    UniqueBstr version;
    EXPECT_EQ(fun->get_Version(version.put()), S_OK);
}

}  // namespace
