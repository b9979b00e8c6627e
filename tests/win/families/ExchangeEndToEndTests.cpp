// Exchanges all the way to the server and back: component -> message-server add-in (the
// simulator's stand-in, which posts real DBSTEP packets) -> HTTP -> the reference
// document server -> its store, and back.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

std::wstring ServerUrl() {
    std::string port = ReadAll(Env(L"FOLIUM_SERVER_PORT_FILE"));
    return port.empty() ? std::wstring() : L"http://127.0.0.1:" + std::to_wstring(atoi(port.c_str())) + L"/dbstep";
}

class EndToEnd : public ConnectedComponent {
protected:
    void SetUp() override {
        ConnectedComponent::SetUp();
        ComPtr<IQxStandIn> relay;
        ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Relay").get(), relay.put()), S_OK);
        std::wstring url = ServerUrl();
        ASSERT_FALSE(url.empty()) << "the document server is running";
        ASSERT_EQ(fun->put_WebUrl(UniqueBstr(url.c_str()).get()), S_OK);
        ASSERT_EQ(fun->put_UserName(UniqueBstr(L"测试员").get()), S_OK);
    }
    void TearDown() override {
        if (sim) sim->RemoveAddIn(UniqueBstr(L"Veridane.Relay").get());
        ConnectedComponent::TearDown();
    }
    void CloseAll() {
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        LONG count = 0;
        docs->get_Count(&count);
        for (LONG i = 0; i < count; ++i) docs->Close(*ScopedVariant::Missing().get());
    }
    // Exchanges without a preamble reach the address an earlier exchange left on the
    // message server, as in a page that loads its document first.
    void LoadSeededDocument() {
        ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"E2E-1").get()), S_OK);
        ASSERT_EQ(Early(fun.get(), &IFoliumFun::WebOpen), L"S_OK -1");
    }
    std::wstring Field(const wchar_t* name) { return Early(fun.get(), &IFoliumFun::ExportFieldValue, name); }
};

// One session against the server: the seeded document, a change saved and opened again,
// signature data stored and handed back to the engine, a message stored and answered.
TEST_F(EndToEnd, DocumentSignatureDataAndMessagesMakeTheRoundTrip) {
    LoadSeededDocument();  // the seeded document came down and opened
    EXPECT_EQ(Field(L"签约人"), L"S_OK 张三");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::ImportFieldValue, L"签约人", L"李四"), L"S_OK 1");
    ASSERT_EQ(Bool(true), Script(L"WebSave"));
    CloseAll();
    ASSERT_EQ(Bool(true), Script(L"WebOpen"));
    EXPECT_EQ(Field(L"签约人"), L"S_OK 李四") << "the saved change came back from the server";

    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    engine->SetResult(UniqueBstr(L"SaveSignDataToLocal").get(), *ScopedVariant::Bstr(L"签章数据-123").get());
    engine->SetResult(UniqueBstr(L"LoadLocalSignData").get(), *ScopedVariant::I4(0).get());
    ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"SIG-1").get()), S_OK);
    EXPECT_EQ(I4(0), Script(L"SaveSignData")) << "the server answered OK";
    engine->ClearCalls();
    EXPECT_EQ(I4(0), Script(L"LoadSignData"));
    EXPECT_EQ(quirexsim::Calls(engine.get()), Lines{L"LoadLocalSignData:M:1|VT_BSTR=\"签章数据-123\""})
        << "the engine gets back what was stored";

    ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"MSG-1").get()), S_OK);
    ASSERT_EQ(I4(0), Script(L"WebSetMsgByName", {VStr(L"NOTE"), VStr(L"你好")}));
    EXPECT_NE(I4(0), Script(L"WebSendMessage")) << "the post succeeded";
    EXPECT_NE(Str(L""), Script(L"WebGetMsgByName", {VStr(L"MESSAGEID")}));
}

TEST_F(EndToEnd, UnknownRecordOpensNothingAndSaysWhy) {
    ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"NO-SUCH-RECORD").get()), S_OK);
    EXPECT_EQ(Bool(false), Script(L"WebOpen"));
    std::wstring result = Script(L"WebGetMsgByName", {VStr(L"RESULT")});
    EXPECT_EQ(result.rfind(L"VT_BSTR=", 0), 0u);
    EXPECT_NE(result.find(L"ERROR"), std::wstring::npos) << result.c_str();
}

// The temporary folder does not collect copies of documents: what uploads, downloads
// and base64 opens put there is gone once every document is closed. The test gives
// the process a temporary folder of its own, so that other tests running meanwhile
// do not change the count.
class TemporaryFolder : public EndToEnd {
protected:
    PrivateTemp temp;  // made before SetUp connects the component
};

TEST_F(TemporaryFolder, NoCopyOfADocumentOutlivesTheSession) {
    ASSERT_EQ(temp.Path(), TempFolder()) << "the process's own temporary folder is in use";
    const std::wstring attachment = temp.Path() + L"attachment.txt";
    ASSERT_TRUE(WriteAll(attachment, "attached"));
    const std::wstring url = ServerUrl();
    const std::wstring raw = url.substr(0, url.rfind(L'/')) + L"/documents/E2E-1";
    const Lines before = temp.Files();

    for (int round = 0; round < 2; ++round) {
        LoadSeededDocument();  // its download file stays while the document is open
        const Lines opened = temp.Files();
        VARIANT_BOOL ok = 0;
        LONG l = 0;
        ASSERT_EQ(fun->WebUpLoadFile(UniqueBstr(url.c_str()).get(), UniqueBstr(L"id=1").get(), &ok), S_OK);
        ASSERT_EQ(fun->WebUpLoadFile(UniqueBstr(raw.c_str()).get(), nullptr, &ok), S_OK);
        EXPECT_EQ(temp.Files(), opened) << "the upload copies went with the transfers";

        ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"TEMP-B64").get()), S_OK);
        ASSERT_EQ(I4(-1), Script(L"WebSaveBase64"));
        ASSERT_EQ(fun->WebOpenBase64(&l), S_OK);
        ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"TEMP-SAVE").get()), S_OK);
        ASSERT_EQ(Bool(true), Script(L"WebSave"));
        ASSERT_EQ(fun->WebSaveEx(&ok), S_OK);
        ASSERT_EQ(fun->AddAttachments(UniqueBstr(attachment.c_str()).get(), UniqueBstr(L"a").get(), &ok), S_OK);
        EXPECT_EQ(I4(-1), Script(L"WebSaveAccessory"));
        ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"TEMP-SAVE").get()), S_OK);
        ASSERT_EQ(Bool(true), Script(L"WebOpen"));

        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        LONG count = 0;
        docs->get_Count(&count);
        EXPECT_GE(count, 3) << "the seeded, the base64 and the saved document are open";
        CloseAll();
        EXPECT_EQ(temp.Files(), before) << "round " << round;
    }
    DeleteFileW(attachment.c_str());
}

}  // namespace
