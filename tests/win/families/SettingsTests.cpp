// The public settings file written by SetPublicParam: where it goes, the default
// document made when it is missing, and which elements a value reaches.
#include <shlobj.h>

#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

class Settings : public ConnectedComponent {
protected:
    std::wstring systemFile, appDataFile, appDataDir;

    void SetUp() override {
        ConnectedComponent::SetUp();
        wchar_t sys[MAX_PATH], appData[MAX_PATH];
        GetSystemDirectoryW(sys, MAX_PATH);
        SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
        systemFile = std::wstring(sys) + L"\\BrimwellPublic.dll";
        appDataDir = std::wstring(appData) + L"\\Sigilon_ConfigFile";
        appDataFile = appDataDir + L"\\BrimwellPublic.dll";
        Clean();
    }
    void TearDown() override {
        Clean();
        ConnectedComponent::TearDown();
    }
    void Clean() {
        DeleteFileW(systemFile.c_str());
        DeleteFileW(appDataFile.c_str());
        RemoveDirectoryW(appDataDir.c_str());
    }
    LONG Set(const wchar_t* name, const wchar_t* value) {
        LONG r = -1;
        EXPECT_EQ(fun->SetPublicParam(UniqueBstr(name).get(), UniqueBstr(value).get(), UniqueBstr(L"unused").get(), &r),
                  S_OK);
        return r;
    }
};

TEST_F(Settings, MissingFileIsCreatedWithTheDefaultsAtTheLastCandidate) {
    EXPECT_EQ(Set(L"Enabled", L"1"), 1);
    std::string text = ReadAll(systemFile);
    ASSERT_FALSE(text.empty()) << "written in the system folder";
    EXPECT_NE(text.find("<Enabled>1</Enabled>"), std::string::npos) << text;
    for (const char* kept : {"<FontName>Batang</FontName>", "<FontSize>20</FontSize>", "<FontColor>#000000</FontColor>",
                             "<PostitonLefe>0</PostitonLefe>", "<PostitonTop>0</PostitonTop>",
                             "<DateTimeIndex>1</DateTimeIndex>", "<bAutoZoom>0</bAutoZoom>", "<QuirexXML>", "<Brimwell>"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    EXPECT_EQ(GetFileAttributesW(appDataFile.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Settings, UnknownOrMiscasedKeysChangeNothing) {
    EXPECT_EQ(Set(L"enabled", L"1"), 0) << "keys are compared with case";
    EXPECT_EQ(Set(L"NoSuchKey", L"1"), 0);
    std::string text = ReadAll(systemFile);
    EXPECT_NE(text.find("<Enabled>0</Enabled>"), std::string::npos) << text;
    LONG r = -1;
    EXPECT_EQ(fun->SetPublicParam(nullptr, UniqueBstr(L"1").get(), nullptr, &r), S_OK);
    EXPECT_EQ(r, 0) << "an empty name writes nothing";
}

TEST_F(Settings, TheKeyIsSetInEverySectionAndTheFirstMatchOnly) {
    CreateDirectoryW(appDataDir.c_str(), nullptr);
    const char doc[] =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Root><A><Enabled>0</Enabled><Enabled>9</Enabled></A>"
        "<B><Other>x</Other><Enabled>0</Enabled></B><C><Other>y</Other></C></Root>\r\n";
    HANDLE h = CreateFileW(appDataFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, doc, sizeof(doc) - 1, &n, nullptr);
    CloseHandle(h);
    EXPECT_EQ(Set(L"Enabled", L"启用"), 1);
    std::string text = ReadAll(appDataFile);
    EXPECT_EQ(GetFileAttributesW(systemFile.c_str()), INVALID_FILE_ATTRIBUTES) << "the existing file wins";
    size_t first = text.find("<Enabled>");
    ASSERT_NE(first, std::string::npos);
    const std::string expected = "<Enabled>\xE5\x90\xAF\xE7\x94\xA8</Enabled>";
    EXPECT_EQ(text.compare(first, expected.size(), expected), 0) << text;
    EXPECT_NE(text.find("<Enabled>9</Enabled>"), std::string::npos) << "only the first match in a section";
    EXPECT_NE(text.find("<Other>x</Other><Enabled>\xE5\x90\xAF"), std::string::npos) << "every section";
}

TEST_F(Settings, AnUnreadableFileIsReplacedByTheDefaults) {
    CreateDirectoryW(appDataDir.c_str(), nullptr);
    HANDLE h = CreateFileW(appDataFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::string junk(5000, '<');
    DWORD n = 0;
    WriteFile(h, junk.data(), static_cast<DWORD>(junk.size()), &n, nullptr);
    CloseHandle(h);
    EXPECT_EQ(Set(L"FontSize", L"12"), 1);
    std::string text = ReadAll(appDataFile);
    EXPECT_NE(text.find("<FontSize>12</FontSize>"), std::string::npos) << text;
    EXPECT_EQ(text.find("<<<"), std::string::npos) << "nothing of the old text is left";
}

}  // namespace
