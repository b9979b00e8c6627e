// Failure rules of the built families, made to happen through the reader simulator:
// host calls that fail or answer nothing, objects and chrome the reader lacks, and
// hosts that connect or raise events in unusual ways. Grouped by family.
#include "FamilyTestSupport.h"
#include <olectl.h>

#include <algorithm>
#include <memory>
#include <set>

#include "MemberTable.h"
#include "sim/QuirexSimClient.h"

using namespace testsupport;

namespace {

const char kTwoPages[] =
    R"({"pages":[{"text":"alpha beta"},{"text":"gamma"}],
        "bookmarks":[{"title":"A","page":1,"children":[{"title":"B","page":2}]}],
        "attachments":[{"name":"a.txt","data":"SGVsbG8="}]})";

const char kStampPage[] =
    R"({"pages":[{"annotations":[{"kind":12,"type":"Stamp","author":"someone else","rect":[0,0,10,10]}]}]})";

class HostFailures : public ConnectedComponent {
protected:
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

    std::vector<std::wstring> Notifications() { return quirexsim::Notifications(sim.get()); }
    // A path in the temporary folder, removed after the test.
    std::wstring Work(const wchar_t* name) {
        std::wstring path = TempFolder() + L"hostfailure-" + name;
        tempFiles.push_back(path);
        tempFiles.push_back(path + L".pdf");
        return path;
    }
    LONG Sinks() {
        LONG n = -1;
        sim->get_SinkCount(&n);
        return n;
    }
    // OnConnection / OnDisconnection again on the component object the reader holds.
    LONG Reconnect() {
        LONG r = -1;
        sim->ConnectAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
        return r;
    }
    LONG DisconnectOnly() {
        LONG r = -1;
        sim->DisconnectAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
        return r;
    }
    // A user tool in "MyTools" marked as the component marks its own (top four bits of UserData).
    void AddMarkedTool(LONG id, const wchar_t* caption, const wchar_t* tag) {
        ComPtr<IQxCommandBars> bars;
        app->get_CommandBars(bars.put());
        auto name = ScopedVariant::Bstr(L"MyTools");
        ComPtr<IQxCommandBar> bar;
        bars->Item(*name.get(), bar.put());
        ASSERT_TRUE(bar);
        ComPtr<IQxControls> controls;
        bar->get_Controls(controls.put());
        auto type = ScopedVariant::I4(1), before = ScopedVariant::Missing(), cid = ScopedVariant::I4(id);
        ComPtr<IQxControl> control;
        ASSERT_EQ(controls->Add(*type.get(), *before.get(), *cid.get(), control.put()), S_OK);
        control->put_UserData(static_cast<LONG>(0xF0000001u));
        control->put_Caption(UniqueBstr(caption).get());
        control->put_Tag(UniqueBstr(tag).get());
        sim->ClearJournal();
    }
    HRESULT Click(LONG id) {
        auto kind = ScopedVariant::I4(0), cid = ScopedVariant::I4(id);
        auto m3 = ScopedVariant::Missing(), m4 = ScopedVariant::Missing();
        ScopedVariant result;
        return sim->FireEvent(1, *kind.get(), *cid.get(), *m3.get(), *m4.get(), result.Receive());
    }
    ComPtr<IQxAnnotation> FirstAnnotation() {
        auto all = AnnotationsOnPages(0);
        return all.empty() ? nullptr : all[0];
    }
};

// ---- connection ------------------------------------------------------------------------------

using ConnectionFailures = HostFailures;

TEST_F(ConnectionFailures, AFailedHostCallAtConnectionIsShownWithTheCaptionAndStopsIt) {
    ASSERT_EQ(DisconnectOnly(), E_NOTIMPL);
    ASSERT_EQ(Sinks(), 0);
    Fail(L"Application.MainFrame", static_cast<HRESULT>(0x80040210), 1);
    sim->ClearJournal();
    EXPECT_EQ(Reconnect(), S_OK) << "the connection always succeeds";
    EXPECT_EQ(CapturedOf(L"MessageBoxW"),
              Lines{L"MessageBoxW(null, \"IDispatch error #16\", \"Veridane.FoliumFun\", 16)"});
    EXPECT_EQ(Sinks(), 0) << "the second block does not run after a failure in the first";
    EXPECT_FALSE(Journaled(L"ConnectionPoint.Advise")) << JournalText();

    sim->ClearCaptured();
    EXPECT_EQ(Reconnect(), S_OK);
    EXPECT_EQ(Sinks(), 1) << "the sink was never advised, so a later connection advises";
    EXPECT_TRUE(CapturedOf(L"MessageBoxW").empty());

    // An absent main frame is no error without the signature core.
    ASSERT_EQ(GetModuleHandleW(L"VDSignatureCore.dll"), nullptr) << "this process runs without the signature core";
    DisconnectOnly();
    Null(L"Application.MainFrame", 1);
    EXPECT_EQ(Reconnect(), S_OK);
    EXPECT_TRUE(CapturedOf(L"MessageBoxW").empty());
    EXPECT_EQ(Sinks(), 1);
}

TEST_F(ConnectionFailures, ASecondAdviseIsRefusedAndEventsArriveOnce) {
    AddMarkedTool(60010, L"签章", L"7");
    ASSERT_EQ(Sinks(), 1);
    EXPECT_EQ(Reconnect(), E_FAIL) << "connecting while advised";
    EXPECT_EQ(Sinks(), 1);
    EXPECT_FALSE(Journaled(L"ConnectionPoint.Advise")) << JournalText();
    EXPECT_TRUE(CapturedOf(L"MessageBoxW").empty()) << "no handler of the connection catches it";
    EXPECT_EQ(Click(60010), S_OK);
    EXPECT_EQ(Notifications(), Lines{L"NotifyToolClick(7, \"签章\")"});
}

TEST_F(ConnectionFailures, AFailedAdviseLeavesTheSinkFreeAndTheReconnectedObjectHearsEventsOnce) {
    AddMarkedTool(60011, L"工具", L"3");
    EXPECT_EQ(DisconnectOnly(), E_NOTIMPL);
    EXPECT_EQ(Sinks(), 0);
    Click(60011);
    EXPECT_TRUE(Notifications().empty());
    Fail(L"ConnectionPoint.Advise", CONNECT_E_CANNOTCONNECT, 1);
    EXPECT_EQ(Reconnect(), S_OK);
    EXPECT_EQ(Sinks(), 0);
    EXPECT_TRUE(CapturedOf(L"MessageBoxW").empty()) << "the advise's own result is ignored";
    EXPECT_EQ(Reconnect(), S_OK) << "not refused as a second advise";
    EXPECT_EQ(Sinks(), 1);
    Click(60011);
    EXPECT_EQ(Notifications(), Lines{L"NotifyToolClick(3, \"工具\")"});
}

// ---- host events -----------------------------------------------------------------------------

using EventFailures = HostFailures;

TEST_F(EventFailures, ACommandClickEndsAtTheFirstFailingHostCall) {
    AddMarkedTool(60020, L"签章", L"5");
    struct Case {
        const wchar_t* op;
        bool null;
    } cases[] = {{L"Application.CommandBars", false}, {L"Application.CommandBars", true},
                 {L"Control.UserData", false},       {L"Control.Caption", false},
                 {L"Control.Tag", false}};
    for (const Case& c : cases) {
        sim->ClearFailures();
        sim->ClearNotifications();
        if (c.null) Null(c.op);
        else Fail(c.op);
        EXPECT_EQ(Click(60020), S_OK) << c.op << ": nothing reaches the host";
        EXPECT_TRUE(Notifications().empty()) << c.op << (c.null ? L" null" : L" failing");
    }
    sim->ClearFailures();
    Click(60020);
    EXPECT_EQ(Notifications(), Lines{L"NotifyToolClick(5, \"签章\")"});
}

TEST_F(EventFailures, AnAnnotationMessageWithoutAnAnnotationObjectVetoesNothing) {
    Open(kStampPage);
    auto stamp = FirstAnnotation();
    ASSERT_TRUE(stamp);
    UniqueBstr message(L"Quirex.Annots:OnLButtonDown");
    auto text = ScopedVariant::Bstr(L"not an annotation"), number = ScopedVariant::I4(5);
    auto nullObject = ScopedVariant::Dispatch(nullptr);
    ScopedVariant nothing;
    for (const VARIANT* v : {text.get(), number.get(), nothing.get(), nullObject.get()}) {
        sim->ClearJournal();
        LONG handle = -1;
        EXPECT_EQ(sim->FireAnnotationMessageWith(message.get(), *v, &handle), S_OK);
        EXPECT_EQ(handle, 0) << "Annotation of type " << v->vt;
        EXPECT_FALSE(Journaled(L"Annotation.")) << "nothing to read for type " << v->vt << "\n" << JournalText();
    }
    // A real annotation is read for its kind and author; an unreadable kind ends the handler.
    sim->ClearJournal();
    LONG handle = -1;
    ASSERT_EQ(sim->FireAnnotationMessage(message.get(), stamp.get(), &handle), S_OK);
    EXPECT_TRUE(Journaled(L"Annotation.Type")) << JournalText();
    EXPECT_TRUE(Journaled(L"Annotation.Author")) << JournalText();
    sim->ClearJournal();
    Fail(L"Annotation.Type");
    ASSERT_EQ(sim->FireAnnotationMessage(message.get(), stamp.get(), &handle), S_OK);
    EXPECT_EQ(handle, 0);
    EXPECT_FALSE(Journaled(L"Annotation.Author")) << JournalText();
}

TEST_F(EventFailures, AnOpenedDocumentIsTracedWithSizeNameAndPath) {
    std::wstring path = WriteFixture(kTwoPages, L".pdf");
    sim->ClearCaptured();
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(fun->openFile(UniqueBstr(path.c_str()).get(), VARIANT_FALSE, &ok), S_OK);
    std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
    const std::wstring prefix = L"VD_Folium2018_Normal_";
    EXPECT_EQ(quirexsim::Traces(sim.get()), (std::vector<std::wstring>{prefix + L"0", prefix + name, prefix + path}))
        << "kilobytes, name, full path";
}

// ---- chrome visibility -------------------------------------------------------------------------

using ChromeFailures = HostFailures;

TEST_F(ChromeFailures, GettersKeepTheirDefaultsWhenTheHostCallFails) {
    Open(kTwoPages);
    struct Case {
        const wchar_t* member;
        const wchar_t* op;
        bool null;
        const wchar_t* expected;
    } cases[] = {
        {L"ShowMenus", L"CommandBar.Visible", false, L"VT_BOOL=1"},
        {L"ShowPostil", L"CommandBar.Visible", false, L"VT_BOOL=1"},
        {L"ShowSides", L"MainFrame.SidePanesVisible", false, L"VT_BOOL=-1"},
        {L"ShowSides", L"Application.MainFrame", false, L"VT_BOOL=-1"},
        {L"ShowTabBarVisible", L"MainFrame.TabBarVisible", false, L"VT_BOOL=1"},
        {L"StartPageVisible", L"MainFrame.StartPageVisible", false, L"VT_BOOL=0"},
        {L"FullScreen", L"PageView.FullScreen", false, L"VT_BOOL=0"},
        {L"FullScreen", L"DocWindow.View", false, L"VT_BOOL=0"},
        {L"Hide", L"Application.Hidden", false, L"VT_BOOL=0"},
        {L"EnabledCopy", L"Application.CopyEnabled", false, L"VT_BOOL=0"},
        {L"ShowState", L"Workspace.*", false, L"VT_BOOL=0"},
        {L"ShowDigitalSignature", L"TabBars.GetVisible", false, L"VT_I4=1"},
        {L"Zoom", L"PageView.Zoom", false, L"VT_I4=1"},
        {L"Zoom", L"DocWindow.View", true, L"VT_I4=1"},
        {L"isOpen", L"Documents.ActiveDocument", true, L"VT_I4=0"},
        {L"isOpen", L"Application.Documents", true, L"VT_I4=0"},
        {L"DocumentModified", L"Controls.Item", false, L"VT_I4=1"},
        {L"DocumentModified", L"CommandBars.Item", true, L"VT_I4=1"},
        {L"ContentText", L"Document.Pages", true, L"VT_BSTR=\"\""},
    };
    for (const Case& c : cases) {
        sim->ClearFailures();
        if (c.null) Null(c.op);
        else Fail(c.op);
        EXPECT_EQ(Script(c.member), c.expected) << c.member << " with " << c.op << (c.null ? " null" : " failing");
    }
}

TEST_F(ChromeFailures, WithoutAMenuBarShowMenusReadsOneAndChangesNothing) {
    LONG removed = 0;
    ASSERT_EQ(sim->RemoveChrome(UniqueBstr(L"CommandBar").get(), UniqueBstr(L"MenuBar").get(), &removed), S_OK);
    ASSERT_EQ(removed, 1);
    VARIANT_BOOL shown = 0;
    EXPECT_EQ(fun->get_ShowMenus(&shown), S_OK);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(fun->put_ShowMenus(VARIANT_FALSE), S_OK);
    EXPECT_FALSE(Journaled(L"CommandBar.Visible=")) << JournalText();
    // A bar renamed away from "MenuBar" in letter case only is not the menu bar either.
    ASSERT_EQ(sim->Reset(), S_OK);
    ASSERT_EQ(sim->RenameChrome(UniqueBstr(L"CommandBar").get(), UniqueBstr(L"MenuBar").get(),
                                UniqueBstr(L"menubar").get(), &removed),
              S_OK);
    EXPECT_EQ(fun->get_ShowMenus(&shown), S_OK);
    EXPECT_EQ(shown, 1);
}

// The signature tab's getter, its setter and ShowTabCommandBar in one text each.
TEST_F(ChromeFailures, WithoutTabBarsOrTheirCollectionsTheTabMembersAreNotDone) {
    Open(kTwoPages);
    auto tabMembers = [&](LONG bar, VARIANT_BOOL show) {
        return Early(fun.get(), &IFoliumFun::get_ShowDigitalSignature) + L" | " +
               Early(fun.get(), &IFoliumFun::put_ShowDigitalSignature, 0) + L" | " +
               Early(fun.get(), &IFoliumFun::ShowTabCommandBar, bar, show);
    };
    const struct {
        const wchar_t* missing;
        const wchar_t* outcome;
    } cases[] = {
        {L"Workspace.TabBars", L"S_FALSE 7 | S_FALSE | S_FALSE -1"},
        {L"Workspace.Panes", L"S_OK 1 | S_FALSE | S_FALSE -1"},
        {L"Document.Workspace", L"S_FALSE 7 | S_FALSE | S_FALSE -1"},
        {L"Documents.ActiveDocument", L"S_FALSE 7 | S_FALSE | S_FALSE -1"},
    };
    for (const auto& c : cases) {
        sim->ClearFailures();
        Null(c.missing);
        sim->ClearJournal();
        EXPECT_EQ(tabMembers(1, VARIANT_FALSE), c.outcome) << c.missing;
        EXPECT_FALSE(Journaled(L"SetVisible(")) << c.missing << "\n" << JournalText();
        EXPECT_FALSE(Journaled(L"Pane.Visible=")) << c.missing << "\n" << JournalText();
    }
    // Without the tab bars the signature tab reads as shown, and the pane walk still runs.
    sim->ClearFailures();
    for (const wchar_t* tab : {L"BookMark", L"AnnotsTabBar", L"SigTabBar", L"Thumbnail"}) {
        LONG n = 0;
        ASSERT_EQ(sim->RemoveChrome(UniqueBstr(L"TabBar").get(), UniqueBstr(tab).get(), &n), S_OK);
        ASSERT_EQ(n, 1) << tab;
    }
    sim->ClearJournal();
    EXPECT_EQ(tabMembers(4, VARIANT_TRUE), L"S_OK 1 | S_OK | S_OK -1");
    EXPECT_FALSE(Journaled(L"TabBars.SetVisible")) << JournalText();
    EXPECT_TRUE(Journaled(L"Pane.Visible=-1")) << JournalText();
}

// ---- navigation ---------------------------------------------------------------------------------

using NavigationFailures = HostFailures;

// Each step makes its own host call fail (or answer null) and ends with the rules cleared.
TEST_F(NavigationFailures, MembersGoOnWithDefaultsOrStopWhenHostCallsFail) {
    Open(kTwoPages);
    auto next = [&] {
        sim->ClearFailures();
        sim->ClearJournal();
    };
    Fail(L"Pages.Count");
    LONG page = 0;
    EXPECT_EQ(Got(fun->GotoNextPage(&page), &page), Want(S_OK, 1)) << "a count of 1 leaves nowhere to go";
    EXPECT_EQ(Got(fun->GotoLastPage(&page), &page), Want(S_OK, 1));
    EXPECT_TRUE(Journaled(L"PageView.CurrentPage=1")) << JournalText();

    next();
    ASSERT_EQ(fun->put_Rotate(90), S_OK);
    sim->ClearJournal();
    Fail(L"PageView.Rotation", E_FAIL, 1);
    ASSERT_EQ(fun->put_Rotate(180), S_OK);
    EXPECT_TRUE(Journaled(L"PageView.RotateBy(180)")) << "the current rotation reads as 0\n" << JournalText();

    next();
    Fail(L"Page.Rotation");
    double size = 0;
    EXPECT_EQ(fun->GetPageSize(1, 2, &size), S_OK);
    EXPECT_EQ(size, -1.0) << "the size of a page whose rotation cannot be read";

    next();
    UniqueBstr beta(L"beta");
    Fail(L"TextFinder.FindNext", static_cast<HRESULT>(0x80004005));
    LONG result = 0;
    EXPECT_EQ(fun->GoToText(beta.get(), 1, VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE, &result), S_OK);
    EXPECT_EQ(static_cast<ULONG>(result), 0x80004005u) << "the finder's status";
    EXPECT_FALSE(Journaled(L"TextSelection.")) << "no hit, nothing selected\n" << JournalText();

    next();
    Null(L"Document.TextFinder");
    EXPECT_EQ(fun->GoToText(beta.get(), 1, VARIANT_FALSE, VARIANT_TRUE, VARIANT_FALSE, &result), S_FALSE);
    UniqueBstr text;
    EXPECT_EQ(Got(fun->SearchText(beta.get(), text.put()), &text), Want(S_OK, L""));
    next();
    Null(L"Document.Bookmarks");
    EXPECT_EQ(Got(fun->GetBookMarks(text.put()), &text), Want(S_FALSE, L""));
}

// ---- local files and dialogs ----------------------------------------------------------------------

using FileFailures = HostFailures;

TEST_F(FileFailures, WithoutADocumentsCollectionOpenAndCloseAreNotDone) {
    Null(L"Application.Documents");
    auto open = [&](const std::wstring& name) {
        VARIANT_BOOL ok = VARIANT_TRUE;
        return Got(fun->openFile(UniqueBstr(name.c_str()).get(), VARIANT_FALSE, &ok), &ok);
    };
    EXPECT_EQ(open(WriteFixture(kTwoPages)), Want(S_FALSE, VARIANT_FALSE));
    EXPECT_EQ(open(L"http://127.0.0.1:1/a.pdf"), Want(S_FALSE, VARIANT_FALSE));
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(Got(fun->closeFile(&ok), &ok), Want(S_FALSE, VARIANT_FALSE));
    EXPECT_FALSE(Journaled(L"Documents.")) << JournalText();
}

TEST_F(FileFailures, GetFileBase64OfADocumentWithoutAFileOrAnUnreadableModifiedFlagIsNotGiven) {
    Open(kTwoPages);
    UniqueBstr none(L"");
    auto base64 = [&] {
        BSTR text = SysAllocString(L"unchanged");
        HRESULT hr = fun->GetFileBase64(none.get(), &text);
        UniqueBstr held = UniqueBstr::Attach(text);
        return Got(hr, &held);
    };
    // An unreadable modified flag reads as modified; AlterUser 0 shows no message.
    Fail(L"Document.Modified");
    ASSERT_EQ(fun->put_AlterUser(0), S_OK);
    EXPECT_EQ(base64(), Want(S_FALSE, L""));
    EXPECT_TRUE(CapturedOf(L"MessageBoxW").empty());
    sim->ClearFailures();
    LONG r = -1;
    ASSERT_EQ(sim->DetachFile(&r), S_OK);
    ASSERT_EQ(r, 0);
    for (LONG alterUser : {1L, 0L}) {
        sim->ClearCaptured();
        ASSERT_EQ(fun->put_AlterUser(alterUser), S_OK);
        EXPECT_EQ(base64(), Want(S_FALSE, L""));
        EXPECT_EQ(CapturedOf(L"MessageBoxW"), Lines{L"MessageBoxW(null, \"请先保存文档！\", null, 64)"})
            << "shown whatever AlterUser is (" << alterUser << ")";
    }
}

TEST_F(FileFailures, WebUpLoadFileStopsWhenTheTemporaryFileIsMissing) {
    Open(kTwoPages);
    // A temporary folder that does not exist: no temporary file can be made or saved.
    wchar_t saved[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", L"C:\\no-such-folder-i11\\");
    VARIANT_BOOL ok = 123;
    HRESULT hr = fun->WebUpLoadFile(UniqueBstr(L"http://127.0.0.1:1/upload").get(), UniqueBstr(L"x=1").get(), &ok);
    SetEnvironmentVariableW(L"TMP", saved[0] ? saved : nullptr);
    EXPECT_EQ(hr, S_FALSE);
    EXPECT_EQ(ok, 123) << "the result is not written";
    EXPECT_FALSE(Journaled(L"Application.CreateNetFile")) << JournalText();
}

TEST_F(FileFailures, FailedSaveAndTransferCallsLeaveThePresetResults) {
    Open(kTwoPages);
    Fail(L"Application.SaveAllowed");
    Fail(L"Document.SaveCopyAs");
    LONG ret = 0;
    EXPECT_EQ(Got(fun->SaveLocalFileNoSignature(UniqueBstr(Work(L"copy.pdf").c_str()).get(), &ret), &ret),
              Want(S_OK, 1))
        << "an unreadable save right reads as allowed; the copy's result stays at its preset";
    Null(L"Application.CreateNetFile");
    VARIANT_BOOL ok = VARIANT_TRUE;
    UniqueBstr url(L"http://127.0.0.1:1/a"), path(Work(L"d.pdf").c_str());
    EXPECT_EQ(Got(fun->WebDownLoadFile(url.get(), path.get(), &ok), &ok), Want(S_OK, VARIANT_FALSE));
}

TEST_F(FileFailures, TheSaveDialogHasItsTitleAndTheFilterTheUserPicksDecidesTheExtension) {
    Open(kTwoPages);
    struct Case {
        const wchar_t* answer;
        std::wstring saved;
    } cases[] = {
        {L"1|", Work(L"typed") + L".pdf"},
        {L"2|", Work(L"typed")},
    };
    for (const Case& c : cases) {
        sim->ClearCaptured();
        sim->ClearJournal();
        auto answer = ScopedVariant::Bstr((std::wstring(c.answer) + Work(L"typed")).c_str());
        sim->SetAnswer(UniqueBstr(L"GetSaveFileNameW").get(), *answer.get());
        VARIANT_BOOL ok = 0;
        EXPECT_EQ(fun->WebSaveLocal(&ok), S_OK);
        EXPECT_EQ(ok, VARIANT_TRUE);
        auto dialogs = CapturedOf(L"GetSaveFileNameW");
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_NE(dialogs[0].find(L", \"保存文档\", 1)"), std::wstring::npos) << dialogs[0];
        EXPECT_TRUE(Journaled(L"Document.SaveAs(" + Quoted(c.saved) + L")")) << c.answer << "\n" << JournalText();
    }
}

// ---- server exchange ----------------------------------------------------------------------------

class ExchangeFailures : public HostFailures {
protected:
    ComPtr<IQxStandIn> relay;
    std::wstring temp;

    void SetUp() override {
        HostFailures::SetUp();
        ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Relay").get(), relay.put()), S_OK);
        // Every server step succeeds; only the reader fails.
        temp = Work(L"exchange.tmp");
        ASSERT_TRUE(WriteAll(temp, ""));
        Answer(L"CreateTempFileName", ScopedVariant::Bstr(temp.c_str()));
        auto yes = ScopedVariant::Bool(true);
        for (const wchar_t* m : {L"MsgFileLoad", L"MsgFileSave", L"PostDBPacket"}) Answer(m, yes);
    }
    void Answer(const wchar_t* member, const ScopedVariant& v) {
        ASSERT_EQ(relay->SetResult(UniqueBstr(member).get(), *v.get()), S_OK);
    }
    bool RelayCalled(const wchar_t* member) {
        LONG n = 0;
        relay->get_CallCount(&n);
        for (LONG i = 0; i < n; ++i) {
            UniqueBstr line;
            relay->CallItem(i, line.put());
            if (std::wstring(line.c_str()).rfind(std::wstring(member) + L":", 0) == 0) return true;
        }
        return false;
    }
};

TEST_F(ExchangeFailures, SavesStopBeforeTheServerWhenTheReaderCannotWriteTheDocument) {
    Open(kTwoPages);
    struct Case {
        const wchar_t* member;
        HRESULT (IFoliumFun::*call)(VARIANT_BOOL*);
    } cases[] = {{L"WebSave", &IFoliumFun::WebSave}, {L"WebSaveEx", &IFoliumFun::WebSaveEx}};
    Fail(L"Document.SaveAs");
    for (const Case& c : cases) {
        relay->ClearCalls();
        VARIANT_BOOL ok = VARIANT_TRUE;
        EXPECT_EQ((fun.get()->*c.call)(&ok), S_OK) << c.member;
        EXPECT_EQ(ok, VARIANT_FALSE) << c.member;
        EXPECT_TRUE(RelayCalled(L"CreateTempFileName")) << c.member;
        EXPECT_FALSE(RelayCalled(L"MsgFileLoad")) << c.member << ": nothing to send";
        EXPECT_FALSE(RelayCalled(L"PostDBPacket")) << c.member;
        EXPECT_EQ(GetFileAttributesW(temp.c_str()), INVALID_FILE_ATTRIBUTES) << c.member << ": the temporary file is deleted";
        WriteAll(temp, "");
    }
}

TEST_F(ExchangeFailures, AnAttachmentThatCannotBeSavedOrADownloadThatCannotBeOpenedGoesNoFurther) {
    Open(kTwoPages);
    Fail(L"Attachment.SaveToFile");
    LONG result = 5;
    EXPECT_EQ(Got(fun->WebSaveAccessory(&result), &result), Want(S_OK, 0));
    EXPECT_FALSE(RelayCalled(L"MsgFileLoad"));
    for (const wchar_t* missing : {L"Documents.Open", L"Application.Documents"}) {
        sim->ClearFailures();
        Null(missing);
        VARIANT_BOOL ok = VARIANT_TRUE;
        EXPECT_EQ(Got(fun->WebOpen(&ok), &ok), Want(S_OK, VARIANT_FALSE)) << missing;
        EXPECT_TRUE(RelayCalled(L"MsgFileSave")) << missing;
    }
}

// ---- form fields ----------------------------------------------------------------------------------

const char kFields[] =
    R"({"pages":[{}],"fields":[{"name":"Buyer","fullName":"contract.Buyer","kind":1,"value":"甲"}]})";

using FormFieldFailures = HostFailures;

TEST_F(FormFieldFailures, FieldsAreAskedForWithShortIndexesAndTheirFailuresGiveEmptyResults) {
    Open(kFields);
    UniqueBstr name(L"contract.Buyer"), value;
    EXPECT_EQ(Got(fun->ExportFieldValue(name.get(), value.put()), &value), Want(S_OK, L"甲"));
    auto typed = quirexsim::TypedJournal(sim.get());
    EXPECT_NE(std::find(typed.begin(), typed.end(), L"Fields.Item(VT_I2=0)"), typed.end());

    Fail(L"Fields.ImportXml");
    LONG result = 9;
    UniqueBstr xml(L"<field name=\"contract.Buyer\">乙</field>");
    EXPECT_EQ(Got(fun->ImportTemplate(xml.get(), &result), &result), Want(S_OK, 0));
    sim->ClearFailures();
    Null(L"Document.Fields");
    VARIANT_BOOL set = 7;
    EXPECT_EQ(Got(fun->ImportFieldValue(name.get(), UniqueBstr(L"乙").get(), &set), &set), Want(S_OK, 0));
    EXPECT_EQ(Got(fun->ExportFieldValue(name.get(), value.put()), &value), Want(S_OK, L""))
        << "an empty string, not a null one";
}

// ---- every entry point against a failing host ------------------------------------------------

// A document with something of every kind the members walk.
const char kEverything[] =
    R"({"pages":[{"text":"alpha beta","annotations":[{"kind":12,"type":"Stamp","author":"a","rect":[0,0,10,10]}]},
                 {"text":"gamma"}],
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
    std::wstring text;
    // Hostile numbers become relative file names: emptied before each round so that a
    // document saved in one round is not imported and saved again in the next.
    std::unique_ptr<ScratchFolder> scratch;
    void SetUp() override {
        HostFailures::SetUp();
        text = Work(L"no-such-folder\\sweep.pdf");
        scratch = std::make_unique<ScratchFolder>(Work(L"sweep-folder"));
    }
    void TearDown() override {
        scratch.reset();
        HostFailures::TearDown();
    }
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
// the component still answers afterwards. The objects are the ones a clean run uses.
TEST_F(EveryEntryPoint, AnswersWhicheverHostObjectFailsOrAnswersNull) {
    const std::vector<std::wstring> closing = {L"WebClose", L"closeFile"};
    sim->AddAllStandIns();
    auto round = [&](size_t hostile, bool hostileMembers, const std::function<void()>& failures) {
        scratch->Empty();
        sim->Reset();
        ComPtr<IQxDocument> doc = Open(kEverything);
        ComPtr<IQxDocWindow> window;
        ComPtr<IQxPageView> view;
        if (doc) doc->get_Window(window.put());
        if (window) window->get_View(view.put());
        ComPtr<IQxAnnotation> stamp = FirstAnnotation();
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
}

// A picture whose stated size cannot be held makes the component's own code throw a
// standard exception: the member answers E_OUTOFMEMORY and the component goes on.
TEST_F(EveryEntryPoint, APictureTooLargeToHoldAnswersOutOfMemory) {
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
