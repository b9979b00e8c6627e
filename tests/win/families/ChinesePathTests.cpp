// Path-taking members with Chinese folder and file names, as users in code page 936
// have them everywhere: opening, saving, base64 of the file, and the settings file in
// the configuration folder the signature core reports. Needs the zh_CN.UTF-8 locale
// (./folium generates it); without it Wine cannot make such files at all.
#include <shlobj.h>

#include <string>

#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

const char kDoc[] = R"({"pages":[{"text":"合同 contract"}]})";

std::string ReadAll(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string data(GetFileSize(h, nullptr), '\0');
    DWORD n = 0;
    ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &n, nullptr);
    CloseHandle(h);
    return data;
}

bool WriteAll(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
    return n == bytes.size();
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Escaped(const std::wstring& s) {
    std::wstring out;
    for (wchar_t c : s) out += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
    return out;
}

class ChinesePaths : public ConnectedComponent {
protected:
    std::wstring root, docs, config;

    void SetUp() override {
        ConnectedComponent::SetUp();
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        root = std::wstring(temp) + L"中文路径测试";
        docs = root + L"\\公文 文件夹";
        config = root + L"\\签章配置";
        CreateDirectoryW(root.c_str(), nullptr);
        CreateDirectoryW(docs.c_str(), nullptr);
        CreateDirectoryW(config.c_str(), nullptr);
        CreateDirectoryW((config + L"\\settings").c_str(), nullptr);
        ASSERT_TRUE(Exists(docs)) << "Wine cannot make Chinese folder names: is the zh_CN.UTF-8 locale generated?";

        // The signature core reports the Chinese configuration folder; connect again to read it.
        SetEnvironmentVariableW(L"VD_CONFIG_DIR", config.c_str());
        std::wstring dll = DllPath();
        dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"VDSignatureCore.dll";
        ASSERT_NE(LoadLibraryW(dll.c_str()), nullptr);
        LONG r = 0;
        sim->DisconnectAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
        sim->ConnectAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
        ASSERT_EQ(r, S_OK);
        sim->ClearJournal();
    }
    void TearDown() override {
        ConnectedComponent::TearDown();
        for (const wchar_t* f : {L"\\合同.pdf", L"\\另存 合同.pdf"}) DeleteFileW((docs + f).c_str());
        DeleteFileW((config + L"\\settings\\BrimwellPublic.dll").c_str());
        RemoveDirectoryW((config + L"\\settings").c_str());
        RemoveDirectoryW(config.c_str());
        RemoveDirectoryW(docs.c_str());
        RemoveDirectoryW(root.c_str());
    }
    std::wstring Fixture() {
        std::wstring path = docs + L"\\合同.pdf";
        EXPECT_TRUE(WriteAll(path, kDoc));
        return path;
    }
};

TEST_F(ChinesePaths, OpenedDocumentsReportTheirChinesePath) {
    std::wstring path = Fixture();
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(fun->openFile(UniqueBstr(path.c_str()).get(), VARIANT_FALSE, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_TRUE(Journaled(L"Documents.Open(\"" + Escaped(path) + L"\"")) << "the name reaches the reader unchanged";
    UniqueBstr name, full;
    ASSERT_EQ(fun->get_LocalFileName(name.put()), S_OK);
    EXPECT_EQ(std::wstring(name.c_str()), path);
    ASSERT_EQ(fun->WebGetFilePath(full.put()), S_OK);
    EXPECT_EQ(std::wstring(full.c_str()), path);
    LONG opened = 0;
    ASSERT_EQ(fun->WebOpenLocalFile(UniqueBstr(path.c_str()).get(), &opened), S_OK);
    EXPECT_EQ(opened, 1);
}

TEST_F(ChinesePaths, SavedAndEncodedFilesUseTheChineseName) {
    std::wstring path = Fixture();
    VARIANT_BOOL ok = 0;
    ASSERT_EQ(fun->openFile(UniqueBstr(path.c_str()).get(), VARIANT_FALSE, &ok), S_OK);
    std::wstring target = docs + L"\\另存 合同.pdf";
    LONG saved = 0;
    ASSERT_EQ(fun->WebSaveLocalFile(UniqueBstr(target.c_str()).get(), &saved), S_OK);
    EXPECT_EQ(saved, 1);
    ASSERT_TRUE(Exists(target));
    UniqueBstr text;
    ASSERT_EQ(fun->GetFileBase64(UniqueBstr(L"").get(), text.put()), S_OK) << "the saved file is the document's file";
    std::string bytes = ReadAll(target);
    ASSERT_FALSE(bytes.empty());
    // The codec is tested elsewhere; here the whole file must have been read by its name.
    EXPECT_EQ(wcslen(text.c_str()), (bytes.size() + 2) / 3 * 4) << text.c_str();
}

TEST_F(ChinesePaths, ThePublicSettingsFileIsFoundInTheChineseConfigurationFolder) {
    std::wstring file = config + L"\\settings\\BrimwellPublic.dll";
    ASSERT_TRUE(WriteAll(file, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Root><A><Enabled>0</Enabled></A></Root>\r\n"));
    LONG r = -1;
    ASSERT_EQ(fun->SetPublicParam(UniqueBstr(L"Enabled").get(), UniqueBstr(L"1").get(), UniqueBstr(L"").get(), &r), S_OK);
    EXPECT_EQ(r, 1);
    std::string text = ReadAll(file);
    EXPECT_NE(text.find("<Enabled>1</Enabled>"), std::string::npos) << text;
}

}  // namespace
