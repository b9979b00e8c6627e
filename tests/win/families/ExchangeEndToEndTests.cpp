// Exchanges all the way to the server and back: component -> message-server add-in (the
// simulator's stand-in, which posts real DBSTEP packets) -> HTTP -> the reference
// document server -> its store, and back.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

std::wstring ServerUrl() {
    std::wstring portFile = Env(L"FOLIUM_SERVER_PORT_FILE");
    HANDLE h = CreateFileW(portFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::wstring();
    char buf[32] = {};
    DWORD n = 0;
    ReadFile(h, buf, sizeof(buf) - 1, &n, nullptr);
    CloseHandle(h);
    return L"http://127.0.0.1:" + std::to_wstring(atoi(buf)) + L"/dbstep";
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
        ScopedVariant missing;
        missing = folium::ScopedVariant::Missing();
        for (LONG i = 0; i < count; ++i) docs->Close(*missing.get());
    }
    // Exchanges without a preamble reach the address an earlier exchange left on the
    // message server, as in a page that loads its document first.
    void LoadSeededDocument() {
        ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"E2E-1").get()), S_OK);
        VARIANT_BOOL opened = 0;
        ASSERT_EQ(fun->WebOpen(&opened), S_OK);
        ASSERT_EQ(opened, VARIANT_TRUE);
    }
    std::wstring Field(const wchar_t* name) {
        UniqueBstr v;
        EXPECT_EQ(fun->ExportFieldValue(UniqueBstr(name).get(), v.put()), S_OK);
        return v.c_str();
    }
};

TEST_F(EndToEnd, OpenFillSaveAndReopenKeepsTheChange) {
    ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"E2E-1").get()), S_OK);
    VARIANT_BOOL opened = 0;
    ASSERT_EQ(fun->WebOpen(&opened), S_OK);
    ASSERT_EQ(opened, VARIANT_TRUE) << "the seeded document came down and opened";
    EXPECT_EQ(Field(L"签约人"), L"张三");
    VARIANT_BOOL filled = 0;
    ASSERT_EQ(fun->ImportFieldValue(UniqueBstr(L"签约人").get(), UniqueBstr(L"李四").get(), &filled), S_OK);
    ASSERT_EQ(filled, 1);
    VARIANT_BOOL saved = 0;
    ASSERT_EQ(fun->WebSave(&saved), S_OK);
    ASSERT_EQ(saved, VARIANT_TRUE);
    UniqueBstr status;
    fun->get_Status(status.put());
    CloseAll();
    ASSERT_EQ(fun->WebOpen(&opened), S_OK);
    ASSERT_EQ(opened, VARIANT_TRUE);
    EXPECT_EQ(Field(L"签约人"), L"李四") << "the saved change came back from the server";
}

TEST_F(EndToEnd, UnknownRecordOpensNothingAndSaysWhy) {
    ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"NO-SUCH-RECORD").get()), S_OK);
    VARIANT_BOOL opened = 5;
    ASSERT_EQ(fun->WebOpen(&opened), S_OK);
    EXPECT_EQ(opened, 0);
    UniqueBstr result;
    ASSERT_EQ(fun->WebGetMsgByName(UniqueBstr(L"RESULT").get(), result.put()), S_OK);
    EXPECT_NE(std::wstring(result.c_str()).find(L"ERROR"), std::wstring::npos) << result.c_str();
}

TEST_F(EndToEnd, SignatureDataRoundTripsThroughTheServer) {
    LoadSeededDocument();
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    engine->SetResult(UniqueBstr(L"SaveSignDataToLocal").get(), *ScopedVariant::Bstr(L"签章数据-123").get());
    engine->SetResult(UniqueBstr(L"LoadLocalSignData").get(), *ScopedVariant::I4(0).get());
    ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"SIG-1").get()), S_OK);
    LONG res = 9;
    ASSERT_EQ(fun->SaveSignData(&res), S_OK);
    EXPECT_EQ(res, 0) << "the server answered OK";
    engine->ClearCalls();
    ASSERT_EQ(fun->LoadSignData(&res), S_OK);
    EXPECT_EQ(res, 0);
    ScopedVariant arg;
    ASSERT_EQ(engine->CallArgument(0, 0, arg.Receive()), S_OK);
    ASSERT_EQ(arg->vt, VT_BSTR);
    EXPECT_STREQ(arg->bstrVal, L"签章数据-123") << "the engine gets back what was stored";
}

TEST_F(EndToEnd, MessagesAreStoredAndAnswered) {
    LoadSeededDocument();
    ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"MSG-1").get()), S_OK);
    LONG r = 0;
    ASSERT_EQ(fun->WebSetMsgByName(UniqueBstr(L"NOTE").get(), UniqueBstr(L"你好").get(), &r), S_OK);
    ASSERT_EQ(r, 0);
    ASSERT_EQ(fun->WebSendMessage(&r), S_OK);
    EXPECT_NE(r, 0) << "the post succeeded";
    UniqueBstr id;
    ASSERT_EQ(fun->WebGetMsgByName(UniqueBstr(L"MESSAGEID").get(), id.put()), S_OK);
    EXPECT_FALSE(id.empty());
}

}  // namespace
