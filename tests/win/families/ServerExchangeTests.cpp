// Server exchange through the message-server add-in: what each member puts into the
// message, in which order, and how it decides success. The add-in is the simulator's
// recording stand-in, answering what each test configures.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

const char kPage[] = R"({"pages":[{"width":10,"height":10}]})";

// A message field as the message server records it.
std::wstring Msg(const wchar_t* name, const wchar_t* value) {
    return L"SetMsgByName:M:2|VT_BSTR=" + Quoted(name) + L"|VT_BSTR=" + Quoted(value);
}
// The fields every file exchange sends first, for the properties SetProps stores.
Lines FileFields(const wchar_t* option) {
    return {Msg(L"DBSTEP", L"DBSTEP"), Msg(L"OPTION", option),    Msg(L"FILETYPE", L".PDF"),
            Msg(L"USERNAME", L"王五"),  Msg(L"RECORDID", L"R-1"), Msg(L"FILENAME", L"合同.pdf")};
}

class ServerExchange : public ConnectedComponent {
protected:
    ComPtr<IQxStandIn> relay;

    void SetUp() override {
        ConnectedComponent::SetUp();
        ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Relay").get(), relay.put()), S_OK);
    }
    void Answer(const wchar_t* member, const ScopedVariant& v) { relay->SetResult(UniqueBstr(member).get(), *v.get()); }
    ComPtr<IQxStandIn> Engine() {
        ComPtr<IQxStandIn> engine;
        EXPECT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
        return engine;
    }
    Lines Relayed() { return quirexsim::Calls(relay.get()); }
    void SetProps() {
        ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"R-1").get()), S_OK);
        ASSERT_EQ(fun->put_UserName(UniqueBstr(L"王五").get()), S_OK);
        ASSERT_EQ(fun->put_FileName(UniqueBstr(L"合同.pdf").get()), S_OK);
        ASSERT_EQ(fun->put_ExtParam(UniqueBstr(L"ext").get()), S_OK);
    }
};

TEST_F(ServerExchange, StoredPropertiesReadBackAsTheyShould) {
    SetProps();
    ASSERT_EQ(fun->put_WebUrl(UniqueBstr(L"http://127.0.0.1:1/x").get()), S_OK);
    ASSERT_EQ(fun->put_UserID(UniqueBstr(L"uid").get()), S_OK);
    ASSERT_EQ(fun->put_ThirdTime(UniqueBstr(L"2026").get()), S_OK);
    ASSERT_EQ(fun->put_MaxFileSize(100), S_OK);
    EXPECT_EQ(Str(L""), Script(L"WebUrl")) << "the address is never read back";
    EXPECT_EQ(Str(L"合同.pdf"), Script(L"FileName"));
    EXPECT_EQ(Str(L"uid"), Script(L"UserID"));
    EXPECT_EQ(Str(L"2026"), Script(L"ThirdTime"));
    EXPECT_EQ(I4(100), Script(L"MaxFileSize"));
    EXPECT_EQ((Lines{Call(&IFoliumFun::get_RecordId), Call(&IFoliumFun::get_UserName), Call(&IFoliumFun::get_ExtParam),
                     Call(&IFoliumFun::get_FileType)}),
              Lines(4, L"S_OK left"))
        << "these getters do nothing";
    // FileName and UserName reach the reader too.
    EXPECT_TRUE(Journaled(L"Application.FileName"));
    EXPECT_TRUE(Journaled(L"MainFrame.UserName"));
}

TEST_F(ServerExchange, SendMessageSendsSixFieldsInOrderWithoutExtParam) {
    SetProps();
    Answer(L"PostDBPacket", ScopedVariant::I4(5));
    EXPECT_EQ(Call(&IFoliumFun::WebSendMessage), L"S_OK 5") << "the post's 32-bit value";
    Lines sent = FileFields(L"SENDMESSAGE");
    sent.push_back(L"PostDBPacket:M:1|VT_I2=0");  // no preamble; the post takes a 16-bit 0
    EXPECT_EQ(Relayed(), sent);
    // The file type is sent when set.
    relay->ClearCalls();
    ASSERT_EQ(fun->put_FileType(UniqueBstr(L".OFD").get()), S_OK);
    ASSERT_EQ(Call(&IFoliumFun::WebSendMessage), L"S_OK 5");
    EXPECT_EQ(Relayed().at(2), Msg(L"FILETYPE", L".OFD"));
}

TEST_F(ServerExchange, SignatureDataIsOkOnlyWhenResultReadsOkInAnyCase) {
    EXPECT_EQ(Call(&IFoliumFun::SaveSignData), L"S_FALSE 1") << "no document";
    EXPECT_EQ(Call(&IFoliumFun::LoadSignData), L"S_FALSE 1");
    EXPECT_TRUE(Relayed().empty());
    ASSERT_TRUE(Open(kPage));
    auto engine = Engine();
    engine->SetResult(UniqueBstr(L"SaveSignDataToLocal").get(), *ScopedVariant::Bstr(L"签名数据").get());
    engine->SetResult(UniqueBstr(L"LoadLocalSignData").get(), *ScopedVariant::I4(42).get());
    ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"R-9").get()), S_OK);
    Answer(L"PostDBPacket", ScopedVariant::I2(1));
    for (auto [reply, expected] :
         {std::pair{L"oK", L"S_OK 0"}, {L"OK", L"S_OK 0"}, {L"FAIL", L"S_OK 1"}, {L"OK ", L"S_OK 1"}}) {
        Answer(L"GetMsgByName", ScopedVariant::Bstr(reply));
        relay->ClearCalls();
        EXPECT_EQ(Call(&IFoliumFun::SaveSignData), expected) << testing::PrintToString(std::wstring(reply));
    }
    EXPECT_EQ(Relayed(), (Lines{Msg(L"DBSTEP", L"DBSTEP"), Msg(L"OPTION", L"SAVESIGNATURE"), Msg(L"RECORDID", L"R-9"),
                                Msg(L"Signature", L"签名数据"), L"PostDBPacket:M:1|VT_I2=0",
                                L"GetMsgByName:M:1|VT_BSTR=\"RESULT\""}));
    // Loading hands the reply's signature to the engine, whose answer is the result.
    relay->ClearCalls();
    engine->ClearCalls();
    Answer(L"GetMsgByName", ScopedVariant::Bstr(L"ok"));  // both RESULT and Signature read "ok"
    EXPECT_EQ(Call(&IFoliumFun::LoadSignData), L"S_OK 42");
    EXPECT_EQ(Relayed(), (Lines{Msg(L"DBSTEP", L"DBSTEP"), Msg(L"OPTION", L"LOADSIGNATURE"), Msg(L"RECORDID", L"R-9"),
                                L"PostDBPacket:M:1|VT_I2=0", L"GetMsgByName:M:1|VT_BSTR=\"RESULT\"",
                                L"GetMsgByName:M:1|VT_BSTR=\"Signature\""}));
    EXPECT_EQ(quirexsim::Calls(engine.get()), Lines{L"LoadLocalSignData:M:1|VT_BSTR=\"ok\""});
    // A failed post never reads the result.
    Answer(L"PostDBPacket", ScopedVariant::I2(0));
    EXPECT_EQ((Lines{Call(&IFoliumFun::SaveSignData), Call(&IFoliumFun::LoadSignData)}), Lines(2, L"S_OK 1"));
}

TEST_F(ServerExchange, DirectMessageAccess) {
    Answer(L"GetMsgByName", ScopedVariant::Bstr(L"值"));
    EXPECT_EQ(Str(L"值"), Script(L"WebGetMsgByName", {VStr(L"FIELD")}));
    EXPECT_EQ(I4(0), Script(L"WebSetMsgByName", {VStr(L"A"), VStr(L"B")}));
    relay->SetHResult(UniqueBstr(L"SetMsgByName").get(), E_FAIL);
    EXPECT_EQ(I4(1), Script(L"WebSetMsgByName", {VStr(L"A"), VStr(L"B")}));
    Answer(L"ClearMessage", ScopedVariant::I4(3));
    EXPECT_EQ(I4(3), Script(L"WebClearMessage"));
    Answer(L"Status", ScopedVariant::Bstr(L"传输完成"));
    EXPECT_EQ(Str(L"传输完成"), Script(L"Status"));
}

TEST_F(ServerExchange, WithoutTheMessageServerEveryExchangeFailsQuietly) {
    CaptureImports();
    sim->RemoveAddIn(UniqueBstr(L"Veridane.Relay").get());
    ASSERT_TRUE(Open(kPage));
    EXPECT_EQ((Lines{Call(&IFoliumFun::WebOpen), Call(&IFoliumFun::WebSave), Call(&IFoliumFun::WebSaveEx)}),
              Lines(3, L"S_OK 0"));
    EXPECT_EQ((Lines{Call(&IFoliumFun::WebSendMessage), Call(&IFoliumFun::WebClearMessage),
                     Call(&IFoliumFun::WebSaveBase64), Call(&IFoliumFun::WebOpenBase64)}),
              Lines(4, L"S_OK 1"));
    EXPECT_EQ(Call(&IFoliumFun::get_Status), L"S_OK ");
    EXPECT_TRUE(CapturedOf().empty()) << "no message is shown";
}

TEST_F(ServerExchange, UploadLimitIsCheckedInWholeKilobytesOfTheFile) {
    CaptureImports();
    ASSERT_EQ(fun->put_MaxFileSize(100), S_OK);
    // A document whose file on disk has exactly `bytes` bytes.
    auto openSized = [&](size_t bytes) {
        std::string json = R"({"type":"PDF","pages":[{"width":595,"height":842}]})";
        return Open(json.append(bytes - json.size(), ' '));
    };
    ASSERT_TRUE(openSized(102400));
    EXPECT_EQ(Call(&IFoliumFun::WebSave).substr(0, 4), L"S_OK") << "100 kilobytes pass";
    EXPECT_TRUE(CapturedOf().empty());
    Lines calls = Relayed();
    calls.resize(3);
    EXPECT_EQ(calls, (Lines{L"WebUrl:P:1|VT_BSTR=\"\"", L"ShowSchedule:P:1|VT_I2=-1", L"CreateTempFileName:M:0"}));

    ASSERT_TRUE(openSized(103424));
    relay->ClearCalls();
    EXPECT_EQ(Call(&IFoliumFun::WebSave), L"S_FALSE 0") << "101 kilobytes are refused";
    EXPECT_EQ(CapturedOf(), Lines{L"MessageBoxW(null, \"对不起，超过文档上传最大限制大小！\", \"提示\", 16)"});
    EXPECT_TRUE(quirexsim::Calls(relay.get()).empty()) << "nothing reaches the server";
    ASSERT_EQ(fun->put_MaxFileSize(0), S_OK);
    EXPECT_EQ(Call(&IFoliumFun::WebSave).substr(0, 4), L"S_OK") << "0 is no limit";
}

TEST_F(ServerExchange, WebOpenSendsPreambleCookieAndFieldsAndAFailedPostEndsIt) {
    SetProps();
    ASSERT_EQ(fun->put_WebUrl(UniqueBstr(L"http://127.0.0.1:1/x").get()), S_OK);
    ASSERT_EQ(Call(&IFoliumFun::INetSetCookieEx, L"http://127.0.0.1/", L"{\"sid\":\"abc\"}"), L"S_OK -1");
    Answer(L"CreateTempFileName", ScopedVariant::Bstr(L"C:\\users\\Public\\folium-dl.tmp"));
    Answer(L"PostDBPacket", ScopedVariant::I2(0));  // the server answers nothing useful
    EXPECT_EQ(Call(&IFoliumFun::WebOpen), L"S_OK 0");
    Lines sent{L"WebUrl:P:1|VT_BSTR=\"http://127.0.0.1:1/x\"", L"ShowSchedule:P:1|VT_I2=-1",
               L"INetSetCookieEx:M:1|VT_BSTR=\"sid=abc;\"", L"CreateTempFileName:M:0"};
    for (const std::wstring& field : FileFields(L"LOADFILE")) sent.push_back(field);
    sent.push_back(Msg(L"EXTPARAM", L"ext"));
    sent.push_back(L"PostDBPacket:M:1|VT_I2=0");  // no MsgFileSave after a failed post
    EXPECT_EQ(Relayed(), sent);
    relay->ClearCalls();
    ASSERT_EQ(Call(&IFoliumFun::WebOpenBase64).substr(0, 4), L"S_OK");
    for (auto& c : Relayed()) EXPECT_EQ(c.find(L"INetSetCookieEx"), std::wstring::npos) << "no cookie with base64";
}

TEST_F(ServerExchange, ExtParam1ForwardsToTheSignatureEngine) {
    EXPECT_EQ(Call(&IFoliumFun::get_ExtParam1), L"S_OK ") << "no engine: empty";
    auto engine = Engine();
    ASSERT_EQ(fun->put_ExtParam1(UniqueBstr(L"p1").get()), S_OK);
    EXPECT_EQ(quirexsim::Calls(engine.get()), Lines{L"ExtParam1:P:1|VT_BSTR=\"p1\""});
    engine->SetHResult(UniqueBstr(L"ExtParam1").get(), E_ACCESSDENIED);
    EXPECT_EQ(fun->put_ExtParam1(UniqueBstr(L"p2").get()), E_ACCESSDENIED) << "the engine's answer is passed on";
}

// ---- the files WebOpen downloads ---------------------------------------------------------

class DownloadFiles : public ServerExchange {
protected:
    void WebOpenTo(const std::wstring& file) {
        Answer(L"PostDBPacket", ScopedVariant::I2(0));  // the download itself fails; the file is still recorded
        Answer(L"CreateTempFileName", ScopedVariant::Bstr(file.c_str()));
        ASSERT_EQ(Call(&IFoliumFun::WebOpen).substr(0, 4), L"S_OK");
    }
    void FireDocumentClosed(IDispatch* document) {
        ScopedVariant result;
        auto m = ScopedVariant::Missing();
        ASSERT_EQ(sim->FireEvent(11, *ScopedVariant::Dispatch(document).get(), *m.get(), *m.get(), *m.get(),
                                 result.Receive()),
                  S_OK);
    }
};

TEST_F(DownloadFiles, DeletedWhenTheLastDocumentClosesNotBefore) {
    std::wstring first = WriteFixture(""), second = WriteFixture("");
    WebOpenTo(first);
    WebOpenTo(second);
    auto doc = Open(kPage);
    ASSERT_TRUE(doc);
    FireDocumentClosed(doc.get());  // a document closed, others remain
    EXPECT_TRUE(Exists(first) && Exists(second));
    FireDocumentClosed(nullptr);  // no document remains
    EXPECT_FALSE(Exists(first) || Exists(second));
    // The list was emptied: a file of the same name made later stays.
    WriteAll(first, "");
    FireDocumentClosed(nullptr);
    EXPECT_TRUE(Exists(first));
}

TEST_F(DownloadFiles, DisconnectionForgetsTheListButLeavesTheFiles) {
    std::wstring file = WriteFixture("");
    WebOpenTo(file);
    // The same object is disconnected and connected again, as the reader does.
    ComPtr<IQxExtensibility> addIn;
    ASSERT_EQ(fun.As(addIn), S_OK);
    EXPECT_EQ(addIn->OnDisconnection(0, nullptr), E_NOTIMPL);
    EXPECT_TRUE(Exists(file)) << "nothing is deleted at disconnection";
    ASSERT_EQ(addIn->OnConnection(app.get(), 0, nullptr, nullptr), S_OK);
    FireDocumentClosed(nullptr);
    EXPECT_TRUE(Exists(file)) << "the list was forgotten";
}

}  // namespace
