// Server exchange through the message-server add-in: what each member puts into the
// message, in which order, and how it decides success. The add-in is the simulator's
// recording stand-in, answering what each test configures; the last test goes all the
// way through it (it posts real DBSTEP packets) to the reference document server and back.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

const char kPage[] = R"({"pages":[{"width":10,"height":10}]})";

// A message field as the message server records it.
std::wstring Msg(const wchar_t* name, const wchar_t* value) {
    return L"SetMsgByName:M:2|VT_BSTR=" + Quoted(name) + L"|VT_BSTR=" + Quoted(value);
}
// The fields every file exchange sends first, for the properties the test stores.
Lines FileFields(const wchar_t* option, const wchar_t* fileType) {
    return {Msg(L"DBSTEP", L"DBSTEP"), Msg(L"OPTION", option),    Msg(L"FILETYPE", fileType),
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
    Lines Relayed() { return quirexsim::Calls(relay.get()); }
};

// The stored properties, direct message access and the engine's ExtParam1 as a script
// sees them, with what each call made of the reader, the message server and the engine;
// then every exchange without the message server.
TEST_F(ServerExchange, PropertiesAndMessagesAsAScriptSeesThem) {
    CaptureImports();
    Answer(L"GetMsgByName", ScopedVariant::Bstr(L"值"));
    Answer(L"ClearMessage", ScopedVariant::I4(3));
    Answer(L"Status", ScopedVariant::Bstr(L"传输完成"));
    const std::wstring set = L"WebSetMsgByName(\"A\", \"B\") -> VT_I4=";
    const std::wstring relayed = L" | Veridane.Relay!SetMsgByName:M:2|VT_BSTR=\"A\"|VT_BSTR=\"B\"";
    const std::wstring extParam1 = L" | Veridane.Folium2015!ExtParam1:P:1|VT_BSTR=\"p1\"";
    const Lines shown = {L"FileName", L"UserName", L"!"};
    Steps({L"FileName=\"合同.pdf\" | Application.FileName=\"合同.pdf\"", L"FileName -> VT_BSTR=\"合同.pdf\"",
           L"UserName=\"王五\" | MainFrame.UserName=\"王五\"", L"WebUrl=\"http://127.0.0.1:1/x\"",
           L"WebUrl -> VT_BSTR=\"\"", L"UserID=\"uid\"", L"UserID -> VT_BSTR=\"uid\"", L"ThirdTime=\"2026\"",
           L"ThirdTime -> VT_BSTR=\"2026\"", L"MaxFileSize=100", L"MaxFileSize -> VT_I4=100",
           L"WebGetMsgByName(\"FIELD\") -> VT_BSTR=\"值\" | Veridane.Relay!GetMsgByName:M:1|VT_BSTR=\"FIELD\"",
           set + L"0" + relayed, L"WebClearMessage -> VT_I4=3 | Veridane.Relay!ClearMessage:M:0",
           L"Status -> VT_BSTR=\"传输完成\" | Veridane.Relay!Status:G:0", L"ExtParam1 -> VT_BSTR=\"\"",
           L"ExtParam1=\"p1\""},
          shown);
    relay->SetHResult(UniqueBstr(L"SetMsgByName").get(), E_FAIL);
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    engine->SetHResult(UniqueBstr(L"ExtParam1").get(), E_ACCESSDENIED);
    Steps({set + L"1" + relayed, L"ExtParam1=\"p1\" -> failed 0x80070005" + extParam1}, shown);

    // Without the message server; the upload limit (100 above) is checked in whole
    // kilobytes of the document's file, before the message server is looked for.
    auto openSized = [&](size_t bytes) {
        std::string json = R"({"type":"PDF","pages":[{"width":595,"height":842}]})";
        return Open(json.append(bytes - json.size(), ' '));
    };
    sim->RemoveAddIn(UniqueBstr(L"Veridane.Relay").get());
    ASSERT_TRUE(openSized(102400));
    EXPECT_EQ((Lines{Call(&IFoliumFun::WebOpen), Call(&IFoliumFun::WebSave), Call(&IFoliumFun::WebSaveEx)}),
              Lines(3, L"S_OK 0"));
    EXPECT_EQ((Lines{Call(&IFoliumFun::WebSendMessage), Call(&IFoliumFun::WebClearMessage),
                     Call(&IFoliumFun::WebSaveBase64), Call(&IFoliumFun::WebOpenBase64)}),
              Lines(4, L"S_OK 1"));
    EXPECT_EQ(Call(&IFoliumFun::get_Status), L"S_OK ");
    EXPECT_TRUE(CapturedOf().empty()) << "no message is shown";
    ASSERT_TRUE(openSized(103424));
    EXPECT_EQ(Call(&IFoliumFun::WebSave), L"S_FALSE 0") << "101 kilobytes are refused";
    EXPECT_EQ(CapturedOf(), Lines{L"MessageBoxW(null, \"对不起，超过文档上传最大限制大小！\", \"提示\", 16)"});
    ASSERT_EQ(fun->put_MaxFileSize(0), S_OK);
    EXPECT_EQ(Call(&IFoliumFun::WebSave), L"S_OK 0") << "0 is no limit";
}

TEST_F(ServerExchange, SignatureDataIsOkOnlyWhenResultReadsOkInAnyCase) {
    EXPECT_EQ(Call(&IFoliumFun::SaveSignData), L"S_FALSE 1") << "no document";
    EXPECT_EQ(Call(&IFoliumFun::LoadSignData), L"S_FALSE 1");
    EXPECT_TRUE(Relayed().empty());
    ASSERT_TRUE(Open(kPage));
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
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

// WebSendMessage sends six fields, without a preamble or EXTPARAM, and answers the post's
// 32-bit value; WebOpen sends the preamble with the cookie and seven fields, and a failed
// post ends it.
TEST_F(ServerExchange, MessagesAndDownloadsSendTheirFieldsInOrder) {
    Steps({L"RecordId=\"R-1\"", L"UserName=\"王五\"", L"FileName=\"合同.pdf\"", L"ExtParam=\"ext\""});
    Answer(L"PostDBPacket", ScopedVariant::I4(5));
    EXPECT_EQ(Call(&IFoliumFun::WebSendMessage), L"S_OK 5");
    Lines sent = FileFields(L"SENDMESSAGE", L".PDF");
    sent.push_back(L"PostDBPacket:M:1|VT_I2=0");  // the post takes a 16-bit 0
    EXPECT_EQ(Relayed(), sent);
    relay->ClearCalls();
    Steps({L"FileType=\".OFD\"", L"WebUrl=\"http://127.0.0.1:1/x\"",  // the type is sent when set
           L"INetSetCookieEx(\"http://127.0.0.1/\", '{\"sid\":\"abc\"}') -> VT_BOOL=-1"});
    Answer(L"CreateTempFileName", ScopedVariant::Bstr(L"C:\\users\\Public\\folium-dl.tmp"));
    Answer(L"PostDBPacket", ScopedVariant::I2(0));  // the server answers nothing useful
    EXPECT_EQ(Call(&IFoliumFun::WebOpen), L"S_OK 0");
    sent = {L"WebUrl:P:1|VT_BSTR=\"http://127.0.0.1:1/x\"", L"ShowSchedule:P:1|VT_I2=-1",
            L"INetSetCookieEx:M:1|VT_BSTR=\"sid=abc;\"", L"CreateTempFileName:M:0"};
    for (const std::wstring& field : FileFields(L"LOADFILE", L".OFD")) sent.push_back(field);
    sent.push_back(Msg(L"EXTPARAM", L"ext"));
    sent.push_back(L"PostDBPacket:M:1|VT_I2=0");  // no MsgFileSave after a failed post
    EXPECT_EQ(Relayed(), sent);
    relay->ClearCalls();
    ASSERT_EQ(Call(&IFoliumFun::WebOpenBase64).substr(0, 4), L"S_OK");
    for (auto& c : Relayed()) EXPECT_EQ(c.find(L"INetSetCookieEx"), std::wstring::npos) << "no cookie with base64";
}

// The files WebOpen downloads go when the last document closes, and are forgotten when the
// same object is disconnected and connected again, as the reader does.
TEST_F(ServerExchange, DownloadFilesGoWhenTheLastDocumentClosesForgottenAtDisconnection) {
    Answer(L"PostDBPacket", ScopedVariant::I2(0));  // the download itself fails; the file is still recorded
    auto webOpenTo = [&](const std::wstring& file) {
        Answer(L"CreateTempFileName", ScopedVariant::Bstr(file.c_str()));
        EXPECT_EQ(Call(&IFoliumFun::WebOpen), L"S_OK 0");
    };
    auto openAndClose = [&] {
        ASSERT_TRUE(Open(kPage));
        Host(L"Documents.Close");
    };
    std::wstring first = WriteFixture(""), second = WriteFixture("");
    webOpenTo(first);
    webOpenTo(second);
    ASSERT_TRUE(Open(kPage));
    openAndClose();  // a document closed, another remains
    EXPECT_TRUE(Exists(first) && Exists(second));
    Host(L"Documents.Close");  // no document remains
    EXPECT_FALSE(Exists(first) || Exists(second));
    WriteAll(first, "");
    openAndClose();
    EXPECT_TRUE(Exists(first)) << "the list was emptied: a file of the same name made later stays";
    webOpenTo(first);
    ComPtr<IQxExtensibility> addIn;
    ASSERT_EQ(fun.As(addIn), S_OK);
    EXPECT_EQ(addIn->OnDisconnection(0, nullptr), E_NOTIMPL);
    EXPECT_TRUE(Exists(first)) << "nothing is deleted at disconnection";
    ASSERT_EQ(addIn->OnConnection(app.get(), 0, nullptr, nullptr), S_OK);
    openAndClose();
    EXPECT_TRUE(Exists(first)) << "the list was forgotten";
}

// ---- end to end, against the reference document server -------------------------------------

// Every transfer against the server, twice, with a change saved and opened again. The
// temporary folder does not collect copies of documents: what uploads, downloads and
// base64 opens put there is gone once every document is closed. The test gives the
// process a temporary folder of its own, so that other tests running meanwhile do not
// change the count.
class TemporaryFolder : public ServerExchange {
protected:
    PrivateTemp temp;  // made before SetUp connects the component
};

TEST_F(TemporaryFolder, NoCopyOfADocumentOutlivesTheSession) {
    ASSERT_EQ(temp.Path(), TempFolder()) << "the process's own temporary folder is in use";
    const std::string port = ReadAll(Env(L"FOLIUM_SERVER_PORT_FILE"));
    ASSERT_FALSE(port.empty()) << "the document server is running";
    const std::wstring attachment = temp.Path() + L"attachment.txt";
    ASSERT_TRUE(WriteAll(attachment, "attached"));
    const Lines before = temp.Files();
    Steps({L"WebUrl=\"http://127.0.0.1:" + std::to_wstring(atoi(port.c_str())) + L"/dbstep\""});
    for (int round = 0; round < 2; ++round) {
        // The seeded document comes down (its download file stays while it is open); a change
        // saved goes up and comes back. Exchanges without a preamble reach the address the
        // one before left on the message server.
        Steps({L"RecordId=\"E2E-1\"", L"WebOpen -> VT_BOOL=-1", L"ExportFieldValue(\"签约人\") -> VT_BSTR=\"张三\"",
               L"RecordId=\"TEMP-B64\"", L"WebSaveBase64 -> VT_I4=-1", L"WebOpenBase64 -> VT_I4=1",
               L"RecordId=\"TEMP-SAVE\"", L"ImportFieldValue(\"签约人\", \"李四\") -> VT_BOOL=1", L"WebSave -> VT_BOOL=-1",
               L"WebSaveEx -> VT_BOOL=-1", L"AddAttachments(\"" + attachment + L"\", \"a\") -> VT_BOOL=1",
               L"WebSaveAccessory -> VT_I4=-1", L"WebOpen -> VT_BOOL=-1",
               L"ExportFieldValue(\"签约人\") -> VT_BSTR=\"李四\"", L"reader.Documents.Count -> VT_I4=3"});
        for (int i = 0; i < 3; ++i) Host(L"Documents.Close");
        EXPECT_EQ(temp.Files(), before) << "round " << round;
    }
}

}  // namespace
