// Environment members: version, language, rights, alert, the signature engine's settings
// and the signing-key device, through the DLL loaded by the reader simulator.
#include "FamilyTestSupport.h"

#include <regex>

using namespace testsupport;

namespace {

class Environment : public ConnectedComponent {};

TEST_F(Environment, VersionAndLanguage) {
    Steps({L"Version -> VT_BSTR=\"1.0.0.1\"", L"VersionEx -> VT_BSTR=\"1\""});  // without the utility add-in
    ComPtr<IQxStandIn> toolkit;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Toolkit").get(), toolkit.put()), S_OK);
    toolkit->SetResult(UniqueBstr(L"GetVersionEx").get(), *ScopedVariant::Bstr(L"3.2.1").get());
    // The reader's language id read as a text; a text written as an id in any letter case, 0 for
    // any other text.
    const std::wstring id = L"reader.MainFrame.LanguageId=", language = L"Language -> VT_BSTR=";
    Steps({L"VersionEx -> VT_BSTR=\"3.2.1\"", id + L"2052", language + L"\"CH\"", id + L"1028", language + L"\"TW\"",
           id + L"3076", language + L"\"TW\"", id + L"1033", language + L"\"EN\"", id + L"1041", language + L"\"CH\"",
           id + L"0", language + L"\"CH\"", L"Language=\"CH\" | MainFrame.LanguageId=2052",
           L"Language=\"tw\" | MainFrame.LanguageId=3076", L"Language=\"EN\" | MainFrame.LanguageId=1033",
           L"Language=\"ko\" | MainFrame.LanguageId=0", L"Language=\"\" | MainFrame.LanguageId=0",
           L"Language=\"CHS\" | MainFrame.LanguageId=0"},
          {L"LanguageId="});
}

// The device's 16-bit answer, sign-extended; a failing call skips the rest.
TEST_F(Environment, KeyCountSequenceOnTheDevice) {
    const std::wstring sequence =
        L" | KeyDevice.WebCreateKeyObject() | KeyDevice.WebGetKeyCount() | KeyDevice.WebDeleteKeyObject()";
    ScopedVariant i2 = ScopedVariant::I2(-1);
    const std::pair<VARIANT, LONG> cases[] = {{VLong(0), 0}, {VLong(3), 3}, {VLong(0x18000), -32768}, {*i2.get(), -1}};
    for (const auto& [count, expected] : cases) {
        sim->SetAnswer(UniqueBstr(L"WebGetKeyCount").get(), count);
        Steps({L"GetKeyCount -> VT_I4=" + std::to_wstring(expected) + sequence}, {L"KeyDevice."});
    }
    VARIANT failure{};
    failure.vt = VT_ERROR;
    failure.scode = E_FAIL;
    sim->SetAnswer(UniqueBstr(L"WebCreateKeyObject").get(), failure);
    sim->ClearJournal();
    const std::wstring answer = Early(fun.get(), &IFoliumFun::GetKeyCount);
    EXPECT_EQ(answer + JournalShown({L"KeyDevice."}), L"S_OK 0 | KeyDevice.WebCreateKeyObject()");
}

TEST_F(Environment, RightsAndAlert) {
    Steps({L"SaveRight=0 | Application.SaveAllowed=0", L"SaveRight -> VT_I4=0",
           L"PrintRight=0 | Application.PrintRight=0", L"PrintRight -> VT_I4=0", L"Alter(\"hello\") -> VT_BOOL=-1",
           L"IsCertTimeOut -> VT_BOOL=-1"},
          {L"SaveAllowed=", L"PrintRight="});
    EXPECT_EQ(quirexsim::Notifications(sim.get()), Lines{L"Alert(\"hello\", 0)"});
}

// Texts go to the signature engine and are read back from it; VerifyPin answers the 16-bit
// value of the engine's answer, the AlterUser getter the engine's value.
TEST_F(Environment, SignatureEngineSettingsKeyAndAlterUser) {
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    engine->SetResult(UniqueBstr(L"WebGetKeySN").get(), *ScopedVariant::Bstr(L"SN-42").get());
    engine->SetResult(UniqueBstr(L"VerifyPin").get(), *ScopedVariant::I4(0x10001L).get());
    const std::wstring e = L" | Veridane.Folium2015!";
    Steps({L"TSServerURL=\"http://ts\"" + e + L"TSServerURL:P:1|VT_BSTR=\"http://ts\"",
           L"TSUser=\"u\"" + e + L"TSUser:P:1|VT_BSTR=\"u\"", L"TSPwd=\"\"" + e + L"TSPwd:P:1|VT_BSTR=\"\"",
           L"AppCode=\"A1\"" + e + L"AppCode:P:1|VT_BSTR=\"A1\"", L"AppCode -> VT_BSTR=\"A1\"" + e + L"AppCode:G:0",
           L"WebGetKeySN -> VT_BSTR=\"SN-42\"" + e + L"WebGetKeySN:M:0",
           L"VerifyPin(\"1234\") -> VT_BOOL=1" + e + L"VerifyPin:M:1|VT_BSTR=\"1234\"",
           L"AlterUser=0" + e + L"AlterUser:P:1|VT_I4=0"},
          {L"Folium2015!"});
    engine->SetResult(UniqueBstr(L"AlterUser").get(), *ScopedVariant::I4(5).get());
    Steps({L"AlterUser -> VT_I4=5" + e + L"AlterUser:G:0"}, {L"Folium2015!"});
    sim->RemoveAddIn(UniqueBstr(L"Veridane.Folium2015").get());
    using F = IFoliumFun;
    EXPECT_EQ((Lines{Call(&F::VerifyPin, L"1234"), Call(&F::get_AppCode), Call(&F::WebGetKeySN),
                     Call(&F::put_TSUser, L"u"), Call(&F::get_AlterUser), Call(&F::put_AlterUser, 1)}),
              (Lines{L"S_FALSE 7", L"S_FALSE ", L"S_FALSE ", L"S_FALSE", L"S_FALSE 7", L"S_OK"}))
        << "without the engine (AlterUser is kept by the component)";
}

// The machine's own addresses: whatever they are, they have the documented forms; a known
// answer when the test set-up gave the machine one (see the network fixture).
TEST_F(Environment, AddressForms) {
    const std::wstring ip = Script(L"WebGetIP"), mac = Script(L"WebGetMac");
    EXPECT_TRUE(std::regex_match(ip, std::wregex(L"VT_BSTR=\"(\\d+\\.\\d+\\.\\d+\\.\\d+)?\""))) << ip;
    EXPECT_TRUE(std::regex_match(mac, std::wregex(L"VT_BSTR=\"( [0-9A-F]{12})?\""))) << mac;
    if (!Env(L"FOLIUM_EXPECTED_MAC").empty()) EXPECT_EQ(mac, Str(Env(L"FOLIUM_EXPECTED_MAC")));
    if (!Env(L"FOLIUM_EXPECTED_IP").empty()) EXPECT_EQ(ip, Str(Env(L"FOLIUM_EXPECTED_IP")));
}

}  // namespace
