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

// Every transfer against the server, twice, with a change saved and opened again. The
// temporary folder does not collect copies of documents: what uploads, downloads and
// base64 opens put there is gone once every document is closed. The test gives the
// process a temporary folder of its own, so that other tests running meanwhile do not
// change the count.
class TemporaryFolder : public ConnectedComponent {
protected:
    PrivateTemp temp;  // made before SetUp connects the component
    std::wstring Field() { return Early(fun.get(), &IFoliumFun::ExportFieldValue, L"签约人"); }
};

TEST_F(TemporaryFolder, NoCopyOfADocumentOutlivesTheSession) {
    ASSERT_EQ(temp.Path(), TempFolder()) << "the process's own temporary folder is in use";
    ComPtr<IQxStandIn> relay;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Relay").get(), relay.put()), S_OK);
    const std::wstring url = ServerUrl();
    ASSERT_FALSE(url.empty()) << "the document server is running";
    ASSERT_EQ(fun->put_WebUrl(UniqueBstr(url.c_str()).get()), S_OK);
    ASSERT_EQ(fun->put_UserName(UniqueBstr(L"测试员").get()), S_OK);
    const std::wstring attachment = temp.Path() + L"attachment.txt";
    ASSERT_TRUE(WriteAll(attachment, "attached"));
    const std::wstring raw = url.substr(0, url.rfind(L'/')) + L"/documents/E2E-1";
    const Lines before = temp.Files();

    for (int round = 0; round < 2; ++round) {
        // Exchanges without a preamble reach the address this one left on the message server.
        ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"E2E-1").get()), S_OK);
        ASSERT_EQ(Bool(true), Script(L"WebOpen")) << "the seeded document came down";
        EXPECT_EQ(Field(), L"S_OK 张三");  // its download file stays while the document is open
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
        ASSERT_EQ(Early(fun.get(), &IFoliumFun::ImportFieldValue, L"签约人", L"李四"), L"S_OK 1");
        ASSERT_EQ(Bool(true), Script(L"WebSave"));
        ASSERT_EQ(Bool(true), Script(L"WebSaveEx"));
        ASSERT_EQ(fun->AddAttachments(UniqueBstr(attachment.c_str()).get(), UniqueBstr(L"a").get(), &ok), S_OK);
        EXPECT_EQ(I4(-1), Script(L"WebSaveAccessory"));
        ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"TEMP-SAVE").get()), S_OK);
        ASSERT_EQ(Bool(true), Script(L"WebOpen"));
        EXPECT_EQ(Field(), L"S_OK 李四") << "the saved change came back from the server";
        EXPECT_EQ(Host(L"Documents.Count"), L"VT_I4=3") << "the seeded, the base64 and the saved document are open";
        for (int i = 0; i < 3; ++i) Host(L"Documents.Close");
        EXPECT_EQ(temp.Files(), before) << "round " << round;
    }
    DeleteFileW(attachment.c_str());
}

}  // namespace
