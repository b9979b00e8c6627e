// The settings file in a configuration folder with a Chinese name, as the signature core
// reports it to users in code page 936 (the file members' Chinese paths are in the file
// tests). Needs the zh_CN.UTF-8 locale (./folium generates it); without it Wine cannot
// make such folders at all.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

class ChinesePaths : public ConnectedComponent {
protected:
    PrivateTemp privateTemp;  // holds the folders, removed with them
};

TEST_F(ChinesePaths, ThePublicSettingsFileIsFoundInTheChineseConfigurationFolder) {
    const std::wstring config = privateTemp.Path() + L"中文路径测试\\签章配置";
    for (const std::wstring& folder : {privateTemp.Path() + L"中文路径测试", config, config + L"\\settings"})
        CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(Exists(config)) << "Wine cannot make Chinese folder names: is the zh_CN.UTF-8 locale generated?";
    // The signature core reports the Chinese configuration folder; connect again to read it.
    SetEnvironmentVariableW(L"VD_CONFIG_DIR", config.c_str());
    std::wstring dll = DllPath();
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"VDSignatureCore.dll";
    ASSERT_NE(LoadLibraryW(dll.c_str()), nullptr);
    LONG r = 0;
    sim->DisconnectAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
    sim->ConnectAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
    ASSERT_EQ(r, S_OK);
    std::wstring file = config + L"\\settings\\BrimwellPublic.dll";
    ASSERT_TRUE(WriteAll(file, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Root><A><Enabled>0</Enabled></A></Root>\r\n"));
    EXPECT_EQ(I4(1), Script(L"SetPublicParam", {VStr(L"Enabled"), VStr(L"1"), VStr(L"")}));
    std::string text = ReadAll(file);
    EXPECT_NE(text.find("<Enabled>1</Enabled>"), std::string::npos) << text;
}

}  // namespace
