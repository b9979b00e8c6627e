// Server exchange through the message-server add-in: what each member puts into the
// message, in which order, and how it decides success. The add-in is the simulator's
// recording stand-in, answering what each test configures.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

class ServerExchange : public ConnectedComponent {
protected:
    ComPtr<IQxStandIn> relay;

    void SetUp() override {
        ConnectedComponent::SetUp();
        ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Relay").get(), relay.put()), S_OK);
    }

    void Answer(const wchar_t* member, VARIANT v) {
        relay->SetResult(UniqueBstr(member).get(), v);
        VariantClear(&v);
    }
    static VARIANT Str(const wchar_t* s) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(s);
        return v;
    }
    static VARIANT I2(SHORT n) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_I2;
        v.iVal = n;
        return v;
    }

    std::vector<std::wstring> Calls() {
        std::vector<std::wstring> out;
        LONG n = 0;
        relay->get_CallCount(&n);
        for (LONG i = 0; i < n; ++i) {
            UniqueBstr line;
            relay->CallItem(i, line.put());
            out.push_back(line.c_str());
        }
        return out;
    }
    // The names of the calls, in order.
    std::vector<std::wstring> Names() {
        std::vector<std::wstring> out;
        for (auto& c : Calls()) out.push_back(c.substr(0, c.find(L':')));
        return out;
    }
    // The (field, value) pairs given to SetMsgByName, in order.
    std::vector<std::pair<std::wstring, std::wstring>> Fields() {
        std::vector<std::pair<std::wstring, std::wstring>> out;
        auto calls = Calls();
        for (LONG i = 0; i < static_cast<LONG>(calls.size()); ++i) {
            if (calls[i].rfind(L"SetMsgByName:", 0) != 0) continue;
            ScopedVariant name, value;
            relay->CallArgument(i, 0, name.Receive());
            relay->CallArgument(i, 1, value.Receive());
            out.emplace_back(name->vt == VT_BSTR ? name->bstrVal : L"?", value->vt == VT_BSTR ? value->bstrVal : L"?");
        }
        return out;
    }
    void SetProps() {
        ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"R-1").get()), S_OK);
        ASSERT_EQ(fun->put_UserName(UniqueBstr(L"王五").get()), S_OK);
        ASSERT_EQ(fun->put_FileName(UniqueBstr(L"合同.pdf").get()), S_OK);
        ASSERT_EQ(fun->put_ExtParam(UniqueBstr(L"ext").get()), S_OK);
    }
    // A document whose file on disk has exactly `bytes` bytes.
    ComPtr<IQxDocument> OpenSized(size_t bytes) {
        std::string json = R"({"type":"PDF","pages":[{"width":595,"height":842}]})";
        json.append(bytes - json.size(), ' ');
        return Open(json);
    }
};

TEST_F(ServerExchange, StoredPropertiesReadBackAsTheyShould) {
    SetProps();
    ASSERT_EQ(fun->put_WebUrl(UniqueBstr(L"http://127.0.0.1:1/x").get()), S_OK);
    ASSERT_EQ(fun->put_UserID(UniqueBstr(L"uid").get()), S_OK);
    ASSERT_EQ(fun->put_ThirdTime(UniqueBstr(L"2026").get()), S_OK);
    ASSERT_EQ(fun->put_MaxFileSize(100), S_OK);
    auto get = [&](const wchar_t* name) {
        ScopedVariant r;
        EXPECT_EQ(CallByName(disp.get(), name, DISPATCH_PROPERTYGET, {}, r.Receive()), S_OK);
        return r->vt == VT_BSTR ? std::wstring(r->bstrVal ? r->bstrVal : L"") : std::wstring(L"<vt ") + std::to_wstring(r->vt) + L">";
    };
    EXPECT_EQ(get(L"WebUrl"), L"") << "the address is never read back";
    EXPECT_EQ(get(L"FileName"), L"合同.pdf");
    EXPECT_EQ(get(L"UserID"), L"uid");
    EXPECT_EQ(get(L"ThirdTime"), L"2026");
    BSTR untouched = reinterpret_cast<BSTR>(0x2);
    EXPECT_EQ(fun->get_RecordId(&untouched), S_OK);
    EXPECT_EQ(fun->get_UserName(&untouched), S_OK);
    EXPECT_EQ(fun->get_ExtParam(&untouched), S_OK);
    EXPECT_EQ(fun->get_FileType(&untouched), S_OK);
    EXPECT_EQ(untouched, reinterpret_cast<BSTR>(0x2)) << "these getters do nothing";
    LONG max = 0;
    EXPECT_EQ(fun->get_MaxFileSize(&max), S_OK);
    EXPECT_EQ(max, 100);
    // FileName and UserName reach the reader too.
    EXPECT_TRUE(Journaled(L"Application.FileName"));
    EXPECT_TRUE(Journaled(L"MainFrame.UserName"));
}

TEST_F(ServerExchange, SendMessageSendsSixFieldsInOrderWithoutExtParam) {
    SetProps();
    Answer(L"PostDBPacket", ScopedVariant::I4(5).Detach());
    LONG r = 0;
    ASSERT_EQ(fun->WebSendMessage(&r), S_OK);
    EXPECT_EQ(r, 5) << "the post's 32-bit value";
    std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"DBSTEP", L"DBSTEP"}, {L"OPTION", L"SENDMESSAGE"}, {L"FILETYPE", L".PDF"},
        {L"USERNAME", L"王五"}, {L"RECORDID", L"R-1"},       {L"FILENAME", L"合同.pdf"}};
    EXPECT_EQ(Fields(), expected);
    auto names = Names();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.back(), L"PostDBPacket");
    ScopedVariant zero;
    relay->CallArgument(static_cast<LONG>(names.size() - 1), 0, zero.Receive());
    EXPECT_EQ(zero->vt, VT_I2) << "the post takes a 16-bit 0";
    for (auto& n : names) EXPECT_NE(n, L"WebUrl") << "no preamble";
}

TEST_F(ServerExchange, FileTypeIsSentWhenSet) {
    ASSERT_EQ(fun->put_FileType(UniqueBstr(L".OFD").get()), S_OK);
    LONG r = 0;
    ASSERT_EQ(fun->WebSendMessage(&r), S_OK);
    auto f = Fields();
    ASSERT_GE(f.size(), 3u);
    EXPECT_EQ(f[2], std::make_pair(std::wstring(L"FILETYPE"), std::wstring(L".OFD")));
}

TEST_F(ServerExchange, SaveSignDataIsOkOnlyWhenResultReadsOkInAnyCase) {
    ASSERT_TRUE(Open(R"({"pages":[{"width":10,"height":10}]})"));
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    engine->SetResult(UniqueBstr(L"SaveSignDataToLocal").get(), *ScopedVariant::Bstr(L"签名数据").get());
    ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"R-9").get()), S_OK);
    Answer(L"PostDBPacket", I2(1));
    for (auto [reply, expected] : {std::pair{L"oK", 0L}, std::pair{L"OK", 0L}, std::pair{L"FAIL", 1L}, std::pair{L"OK ", 1L}}) {
        Answer(L"GetMsgByName", Str(reply));
        relay->ClearCalls();
        LONG res = 7;
        ASSERT_EQ(fun->SaveSignData(&res), S_OK);
        EXPECT_EQ(res, expected) << std::string(reply, reply + wcslen(reply));
    }
    std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"DBSTEP", L"DBSTEP"}, {L"OPTION", L"SAVESIGNATURE"}, {L"RECORDID", L"R-9"}, {L"Signature", L"签名数据"}};
    EXPECT_EQ(Fields(), expected);
    // A failed post never reads the result.
    Answer(L"PostDBPacket", I2(0));
    Answer(L"GetMsgByName", Str(L"OK"));
    LONG res = 7;
    ASSERT_EQ(fun->SaveSignData(&res), S_OK);
    EXPECT_EQ(res, 1);
}

TEST_F(ServerExchange, LoadSignDataHandsTheServersSignatureToTheEngine) {
    ASSERT_TRUE(Open(R"({"pages":[{"width":10,"height":10}]})"));
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    engine->SetResult(UniqueBstr(L"LoadLocalSignData").get(), *ScopedVariant::I4(42).get());
    Answer(L"PostDBPacket", I2(1));
    Answer(L"GetMsgByName", Str(L"ok"));  // both RESULT and Signature read "ok"
    LONG res = 0;
    ASSERT_EQ(fun->LoadSignData(&res), S_OK);
    EXPECT_EQ(res, 42);
    ScopedVariant arg;
    ASSERT_EQ(engine->CallArgument(0, 0, arg.Receive()), S_OK);
    ASSERT_EQ(arg->vt, VT_BSTR);
    EXPECT_STREQ(arg->bstrVal, L"ok");
}

TEST_F(ServerExchange, SignatureMembersNeedADocument) {
    LONG res = 0;
    EXPECT_EQ(fun->SaveSignData(&res), S_FALSE);
    EXPECT_EQ(res, 1);
    EXPECT_EQ(fun->LoadSignData(&res), S_FALSE);
    EXPECT_EQ(res, 1);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(ServerExchange, DirectMessageAccess) {
    Answer(L"GetMsgByName", Str(L"值"));
    ScopedVariant got;
    auto name = ScopedVariant::Bstr(L"FIELD");
    ASSERT_EQ(CallByName(disp.get(), L"WebGetMsgByName", DISPATCH_METHOD, {*name.get()}, got.Receive()), S_OK);
    ASSERT_EQ(got->vt, VT_BSTR);
    EXPECT_STREQ(got->bstrVal, L"值");
    LONG r = 9;
    ASSERT_EQ(fun->WebSetMsgByName(UniqueBstr(L"A").get(), UniqueBstr(L"B").get(), &r), S_OK);
    EXPECT_EQ(r, 0);
    relay->SetHResult(UniqueBstr(L"SetMsgByName").get(), E_FAIL);
    ASSERT_EQ(fun->WebSetMsgByName(UniqueBstr(L"A").get(), UniqueBstr(L"B").get(), &r), S_OK);
    EXPECT_EQ(r, 1);
    Answer(L"ClearMessage", ScopedVariant::I4(3).Detach());
    ASSERT_EQ(fun->WebClearMessage(&r), S_OK);
    EXPECT_EQ(r, 3);
    Answer(L"Status", Str(L"传输完成"));
    UniqueBstr status;
    ASSERT_EQ(fun->get_Status(status.put()), S_OK);
    EXPECT_STREQ(status.c_str(), L"传输完成");
}

TEST_F(ServerExchange, WithoutTheMessageServerEveryExchangeFailsQuietly) {
    sim->RemoveAddIn(UniqueBstr(L"Veridane.Relay").get());
    ASSERT_TRUE(Open(R"({"pages":[{"width":10,"height":10}]})"));
    VARIANT_BOOL b = 5;
    LONG l = 5;
    EXPECT_EQ(fun->WebOpen(&b), S_OK);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(fun->WebSave(&b), S_OK);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(fun->WebSaveEx(&b), S_OK);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(fun->WebSendMessage(&l), S_OK);
    EXPECT_EQ(l, 1);
    EXPECT_EQ(fun->WebClearMessage(&l), S_OK);
    EXPECT_EQ(l, 1);
    EXPECT_EQ(fun->WebSaveBase64(&l), S_OK);
    EXPECT_EQ(l, 1);
    EXPECT_EQ(fun->WebOpenBase64(&l), S_OK);
    EXPECT_EQ(l, 1);
    UniqueBstr s;
    EXPECT_EQ(fun->get_Status(s.put()), S_OK);
    EXPECT_STREQ(s.c_str(), L"");
    LONG captured = 0;
    sim->get_CapturedCount(&captured);
    EXPECT_EQ(captured, 0) << "no message is shown";
}

TEST_F(ServerExchange, UploadLimitIsCheckedInWholeKilobytesOfTheFile) {
    LONG patched = 0;
    ASSERT_EQ(sim->CaptureImports(UniqueBstr(L"FoliumAddin.dll").get(), &patched), S_OK);
    ASSERT_GT(patched, 0);
    ASSERT_EQ(fun->put_MaxFileSize(100), S_OK);
    ASSERT_TRUE(OpenSized(102400));
    sim->ClearCaptured();
    VARIANT_BOOL b = 5;
    EXPECT_EQ(fun->WebSave(&b), S_OK) << "100 kilobytes pass";
    LONG captured = -1;
    sim->get_CapturedCount(&captured);
    EXPECT_EQ(captured, 0);
    auto names = Names();
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names[0], L"WebUrl");
    EXPECT_EQ(names[1], L"ShowSchedule");
    EXPECT_EQ(names[2], L"CreateTempFileName");

    ASSERT_TRUE(OpenSized(103424));
    relay->ClearCalls();
    EXPECT_EQ(fun->WebSave(&b), S_FALSE) << "101 kilobytes are refused";
    EXPECT_EQ(b, 0);
    sim->get_CapturedCount(&captured);
    ASSERT_EQ(captured, 1);
    UniqueBstr line;
    sim->CapturedItem(0, line.put());
    std::wstring l = line.c_str();
    EXPECT_NE(l.find(L"MessageBoxW("), std::wstring::npos) << l;
    EXPECT_NE(l.find(L"对不起，超过文档上传最大限制大小！"), std::wstring::npos) << l;
    EXPECT_NE(l.find(L"提示"), std::wstring::npos) << l;
    EXPECT_TRUE(Calls().empty()) << "nothing reaches the server";

    ASSERT_EQ(fun->put_MaxFileSize(0), S_OK);
    EXPECT_EQ(fun->WebSave(&b), S_OK) << "0 is no limit";
}

TEST_F(ServerExchange, CookieIsPassedBeforeWebOpenOnly) {
    VARIANT_BOOL set = 0;
    ASSERT_EQ(fun->INetSetCookieEx(UniqueBstr(L"http://127.0.0.1/").get(), UniqueBstr(L"{\"sid\":\"abc\"}").get(), &set),
              S_OK);
    VARIANT_BOOL b = 0;
    ASSERT_EQ(fun->WebOpen(&b), S_OK);
    auto names = Names();
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(names[2], L"INetSetCookieEx") << "after WebUrl and ShowSchedule";
    ScopedVariant schedule;
    relay->CallArgument(1, 0, schedule.Receive());
    EXPECT_EQ(schedule->vt, VT_I2);
    EXPECT_EQ(schedule->iVal, -1);
    relay->ClearCalls();
    LONG l = 0;
    ASSERT_EQ(fun->WebOpenBase64(&l), S_OK);
    for (auto& n : Names()) EXPECT_NE(n, L"INetSetCookieEx") << "the base64 exchange sends no cookie";
}

TEST_F(ServerExchange, WebOpenRecordsItsDownloadFileAndSendsLoadFile) {
    SetProps();
    Answer(L"CreateTempFileName", Str(L"C:\\users\\Public\\folium-dl.tmp"));
    Answer(L"PostDBPacket", I2(0));  // the server answers nothing useful
    VARIANT_BOOL b = 5;
    ASSERT_EQ(fun->WebOpen(&b), S_OK);
    EXPECT_EQ(b, 0);
    auto f = Fields();
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f[1].second, L"LOADFILE");
    EXPECT_EQ(f[6], std::make_pair(std::wstring(L"EXTPARAM"), std::wstring(L"ext")));
    for (auto& n : Names()) EXPECT_NE(n, L"MsgFileSave") << "a failed post ends the exchange";
}

TEST_F(ServerExchange, ExtParam1ForwardsToTheSignatureEngine) {
    ComPtr<IQxStandIn> engine;
    UniqueBstr v;
    ASSERT_EQ(fun->get_ExtParam1(v.put()), S_OK);
    EXPECT_STREQ(v.c_str(), L"") << "no engine: empty";
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    ASSERT_EQ(fun->put_ExtParam1(UniqueBstr(L"p1").get()), S_OK);
    ScopedVariant stored;
    engine->PropertyValue(UniqueBstr(L"ExtParam1").get(), stored.Receive());
    ASSERT_EQ(stored->vt, VT_BSTR);
    EXPECT_STREQ(stored->bstrVal, L"p1");
    engine->SetHResult(UniqueBstr(L"ExtParam1").get(), E_ACCESSDENIED);
    EXPECT_EQ(fun->put_ExtParam1(UniqueBstr(L"p2").get()), E_ACCESSDENIED) << "the engine's answer is passed on";
}

}  // namespace

namespace {

class DownloadFiles : public ServerExchange {
protected:
    std::wstring MakeTemp() {
        wchar_t dir[MAX_PATH], file[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        GetTempFileNameW(dir, L"dl", 0, file);
        return file;
    }
    void FireDocumentClosed(IDispatch* document) {
        VARIANT doc;
        VariantInit(&doc);
        doc.vt = VT_DISPATCH;
        doc.pdispVal = document;
        ScopedVariant result, m;
        m = folium::ScopedVariant::Missing();
        ASSERT_EQ(sim->FireEvent(11, doc, *m.get(), *m.get(), *m.get(), result.Receive()), S_OK);
    }
    static bool Exists(const std::wstring& p) { return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }
};

TEST_F(DownloadFiles, DeletedWhenTheLastDocumentClosesNotBefore) {
    std::wstring first = MakeTemp(), second = MakeTemp();
    VARIANT_BOOL b = 0;
    Answer(L"PostDBPacket", I2(0));  // the download itself fails; the file is still recorded
    Answer(L"CreateTempFileName", Str(first.c_str()));
    ASSERT_EQ(fun->WebOpen(&b), S_OK);
    Answer(L"CreateTempFileName", Str(second.c_str()));
    ASSERT_EQ(fun->WebOpen(&b), S_OK);
    auto doc = Open(R"({"pages":[{"width":10,"height":10}]})");
    ASSERT_TRUE(doc);
    FireDocumentClosed(doc.get());  // a document closed, others remain
    EXPECT_TRUE(Exists(first));
    EXPECT_TRUE(Exists(second));
    FireDocumentClosed(nullptr);  // no document remains
    EXPECT_FALSE(Exists(first));
    EXPECT_FALSE(Exists(second));
    // The list was emptied: a file of the same name made later stays.
    HANDLE h = CreateFileW(first.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(h);
    FireDocumentClosed(nullptr);
    EXPECT_TRUE(Exists(first));
    DeleteFileW(first.c_str());
}

TEST_F(DownloadFiles, DisconnectionForgetsTheListButLeavesTheFiles) {
    std::wstring file = MakeTemp();
    VARIANT_BOOL b = 0;
    Answer(L"PostDBPacket", I2(0));
    Answer(L"CreateTempFileName", Str(file.c_str()));
    ASSERT_EQ(fun->WebOpen(&b), S_OK);
    // The same object is disconnected and connected again, as the reader does.
    ComPtr<IQxExtensibility> addIn;
    ASSERT_EQ(fun.As(addIn), S_OK);
    EXPECT_EQ(addIn->OnDisconnection(0, nullptr), E_NOTIMPL);
    EXPECT_TRUE(Exists(file)) << "nothing is deleted at disconnection";
    ASSERT_EQ(addIn->OnConnection(app.get(), 0, nullptr, nullptr), S_OK);
    FireDocumentClosed(nullptr);
    EXPECT_TRUE(Exists(file)) << "the list was forgotten";
    DeleteFileW(file.c_str());
}

}  // namespace
