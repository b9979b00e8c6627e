// Path-taking members with Chinese folder and file names, as users in code page 936
// have them everywhere: opening, saving, base64 of the file, and the settings file in
// the configuration folder the signature core reports. Needs the zh_CN.UTF-8 locale
// (./folium generates it); without it Wine cannot make such files at all.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

const char kDoc[] = R"({"pages":[{"text":"合同 contract"}]})";

class ChinesePaths : public ConnectedComponent {
protected:
    PrivateTemp privateTemp;  // holds the folders below, removed with them
    std::wstring root, docs, config;

    void SetUp() override {
        ConnectedComponent::SetUp();
        root = privateTemp.Path() + L"中文路径测试";
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
    std::wstring Fixture() {
        std::wstring path = docs + L"\\合同.pdf";
        EXPECT_TRUE(WriteAll(path, kDoc));
        return path;
    }
};

TEST_F(ChinesePaths, DocumentsAreOpenedSavedAndEncodedByTheirChinesePaths) {
    std::wstring path = Fixture();
    EXPECT_EQ(Bool(true), Script(L"openFile", {VStr(path.c_str()), VBool(false)}));
    EXPECT_TRUE(Journaled(L"Documents.Open(" + Quoted(path))) << "the name reaches the reader unchanged";
    EXPECT_EQ(Str(path), Script(L"LocalFileName"));
    EXPECT_EQ(Str(path), Script(L"WebGetFilePath"));
    EXPECT_EQ(I4(1), Script(L"WebOpenLocalFile", {VStr(path.c_str())}));
    std::wstring target = docs + L"\\另存 合同.pdf";
    EXPECT_EQ(I4(1), Script(L"WebSaveLocalFile", {VStr(target.c_str())}));
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
    EXPECT_EQ(I4(1), Script(L"SetPublicParam", {VStr(L"Enabled"), VStr(L"1"), VStr(L"")}));
    std::string text = ReadAll(file);
    EXPECT_NE(text.find("<Enabled>1</Enabled>"), std::string::npos) << text;
}

}  // namespace
