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
    std::wstring Set(const wchar_t* name, const wchar_t* value) {
        return Early(fun.get(), &IFoliumFun::SetPublicParam, name, value, L"unused");
    }
};

TEST_F(Settings, AMissingFileIsCreatedAtTheLastCandidateAnExistingOneEditedOrReplacedWhenUnreadable) {
    // A key of another letter case, an unknown or empty one: the defaults are written unchanged.
    EXPECT_EQ((Lines{Set(L"enabled", L"1"), Set(L"NoSuchKey", L"1"), Set(nullptr, L"1")}), Lines(3, L"S_OK 0"));
    EXPECT_NE(ReadAll(systemFile).find("<Enabled>0</Enabled>"), std::string::npos);
    EXPECT_EQ(Set(L"Enabled", L"1"), L"S_OK 1");
    std::string text = ReadAll(systemFile);
    for (const char* kept : {"<Enabled>1</Enabled>", "<FontName>Batang</FontName>", "<FontSize>20</FontSize>",
                             "<FontColor>#000000</FontColor>", "<PostitonLefe>0</PostitonLefe>",
                             "<PostitonTop>0</PostitonTop>", "<DateTimeIndex>1</DateTimeIndex>",
                             "<bAutoZoom>0</bAutoZoom>", "<QuirexXML>", "<Brimwell>"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " in " << text;
    EXPECT_FALSE(Exists(appDataFile));
    // An existing file wins; its key is set in every section, the first match only. One that
    // cannot be read is replaced by the defaults.
    Clean();
    CreateDirectoryW(appDataDir.c_str(), nullptr);
    WriteAll(appDataFile,
             "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Root><A><Enabled>0</Enabled><Enabled>9</Enabled></A>"
             "<B><Other>x</Other><Enabled>0</Enabled></B><C><Other>y</Other></C></Root>\r\n");
    EXPECT_EQ(Set(L"Enabled", L"启用"), L"S_OK 1");
    text = ReadAll(appDataFile);
    EXPECT_FALSE(Exists(systemFile));
    EXPECT_NE(text.find("<A><Enabled>\xE5\x90\xAF\xE7\x94\xA8</Enabled><Enabled>9</Enabled></A>"), std::string::npos)
        << text;
    EXPECT_NE(text.find("<Other>x</Other><Enabled>\xE5\x90\xAF\xE7\x94\xA8</Enabled>"), std::string::npos);
    WriteAll(appDataFile, std::string(5000, '<'));
    EXPECT_EQ(Set(L"FontSize", L"12"), L"S_OK 1");
    text = ReadAll(appDataFile);
    EXPECT_NE(text.find("<FontSize>12</FontSize>"), std::string::npos) << text;
    EXPECT_EQ(text.find("<<<"), std::string::npos) << "nothing of the old text is left";
}

}  // namespace
