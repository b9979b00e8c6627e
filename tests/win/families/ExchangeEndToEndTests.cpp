// Exchanges all the way to the server and back: component -> message-server add-in (the
// simulator's stand-in, which posts real DBSTEP packets) -> HTTP -> the reference
// document server -> its store, and back.
#include <algorithm>

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

// The temporary folder does not collect copies of documents: what uploads, downloads
// and base64 opens put there is gone once every document is closed. The test gives
// the process a temporary folder of its own, so that other tests running meanwhile
// do not change the count.
class TemporaryFolder : public EndToEnd {
protected:
    std::wstring folder, savedTmp, savedTemp;

    static std::wstring Var(const wchar_t* name) {
        wchar_t buf[MAX_PATH];
        DWORD n = GetEnvironmentVariableW(name, buf, MAX_PATH);
        return n && n < MAX_PATH ? std::wstring(buf, n) : std::wstring();
    }
    void SetUp() override {
        savedTmp = Var(L"TMP");
        savedTemp = Var(L"TEMP");
        wchar_t dir[MAX_PATH], file[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        GetTempFileNameW(dir, L"tf", 0, file);
        DeleteFileW(file);
        ASSERT_TRUE(CreateDirectoryW(file, nullptr));
        folder = std::wstring(file) + L"\\";
        SetEnvironmentVariableW(L"TMP", file);
        SetEnvironmentVariableW(L"TEMP", file);
        EndToEnd::SetUp();
    }
    void TearDown() override {
        EndToEnd::TearDown();
        SetEnvironmentVariableW(L"TMP", savedTmp.empty() ? nullptr : savedTmp.c_str());
        SetEnvironmentVariableW(L"TEMP", savedTemp.empty() ? nullptr : savedTemp.c_str());
        for (auto& name : Entries()) DeleteFileW((folder + name).c_str());
        RemoveDirectoryW(folder.c_str());
    }
    std::vector<std::wstring> Entries() {
        std::vector<std::wstring> out;
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((folder + L"*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return out;
        do {
            std::wstring name = fd.cFileName;
            if (name != L"." && name != L"..") out.push_back(name);
        } while (FindNextFileW(h, &fd));
        FindClose(h);
        std::sort(out.begin(), out.end());
        return out;
    }
    static std::wstring Listed(const std::vector<std::wstring>& names) {
        std::wstring all;
        for (auto& n : names) all += n + L" ";
        return all;
    }
};

TEST_F(TemporaryFolder, NoCopyOfADocumentOutlivesTheSession) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    ASSERT_EQ(folder, temp) << "the process's own temporary folder is in use";
    const std::wstring attachment = folder + L"attachment.txt";
    {
        HANDLE h = CreateFileW(attachment.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(h, "attached", 8, &n, nullptr);
        CloseHandle(h);
    }
    const std::wstring url = ServerUrl();
    const std::wstring raw = url.substr(0, url.rfind(L'/')) + L"/documents/E2E-1";
    const std::vector<std::wstring> before = Entries();

    for (int round = 0; round < 2; ++round) {
        LoadSeededDocument();  // its download file stays while the document is open
        const std::vector<std::wstring> opened = Entries();
        VARIANT_BOOL ok = 0;
        ASSERT_EQ(fun->WebUpLoadFile(UniqueBstr(url.c_str()).get(), UniqueBstr(L"id=1").get(), &ok), S_OK);
        ASSERT_EQ(fun->WebUpLoadFile(UniqueBstr(raw.c_str()).get(), nullptr, &ok), S_OK);
        EXPECT_EQ(Entries(), opened) << "the upload copies went with the transfers: " << Listed(Entries()).c_str();

        ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"TEMP-B64").get()), S_OK);
        LONG l = 0;
        ASSERT_EQ(fun->WebSaveBase64(&l), S_OK);
        ASSERT_EQ(l, -1);
        ASSERT_EQ(fun->WebOpenBase64(&l), S_OK);
        ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"TEMP-SAVE").get()), S_OK);
        ASSERT_EQ(fun->WebSave(&ok), S_OK);
        ASSERT_EQ(ok, VARIANT_TRUE);
        ASSERT_EQ(fun->WebSaveEx(&ok), S_OK);
        ASSERT_EQ(fun->AddAttachments(UniqueBstr(attachment.c_str()).get(), UniqueBstr(L"a").get(), &ok), S_OK);
        ASSERT_EQ(fun->WebSaveAccessory(&l), S_OK);
        EXPECT_EQ(l, -1);
        ASSERT_EQ(fun->put_RecordId(UniqueBstr(L"TEMP-SAVE").get()), S_OK);
        ASSERT_EQ(fun->WebOpen(&ok), S_OK);
        ASSERT_EQ(ok, VARIANT_TRUE);

        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        LONG count = 0;
        docs->get_Count(&count);
        EXPECT_GE(count, 3) << "the seeded, the base64 and the saved document are open";
        CloseAll();
        EXPECT_EQ(Entries(), before) << "round " << round << " left: " << Listed(Entries()).c_str();
    }
    DeleteFileW(attachment.c_str());
}

}  // namespace
