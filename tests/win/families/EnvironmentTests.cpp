// Environment members: version, language, rights, alert, the signature engine's settings
// and the signing-key device, through the DLL loaded by the reader simulator.
#include "FamilyTestSupport.h"

#include <cwctype>

using namespace testsupport;

namespace {

class Environment : public ConnectedComponent {};

TEST_F(Environment, VersionAndLanguage) {
    Steps({L"Version -> VT_BSTR=\"1.0.0.1\"", L"VersionEx -> VT_BSTR=\"1\""});  // without the utility add-in
    ComPtr<IQxStandIn> toolkit;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Toolkit").get(), toolkit.put()), S_OK);
    toolkit->SetResult(UniqueBstr(L"GetVersionEx").get(), *ScopedVariant::Bstr(L"3.2.1").get());
    // The reader's language id read as a text; a text written as an id, 0 for any other text.
    const std::wstring id = L"reader.MainFrame.LanguageId=", language = L"Language -> VT_BSTR=";
    Steps({L"VersionEx -> VT_BSTR=\"3.2.1\"", id + L"2052", language + L"\"CH\"", id + L"1028", language + L"\"TW\"",
           id + L"3076", language + L"\"TW\"", id + L"1033", language + L"\"EN\"", id + L"1041", language + L"\"CH\"",
           id + L"0", language + L"\"CH\"", L"Language=\"CH\" | MainFrame.LanguageId=2052",
           L"Language=\"ch\" | MainFrame.LanguageId=2052", L"Language=\"tw\" | MainFrame.LanguageId=3076",
           L"Language=\"TW\" | MainFrame.LanguageId=3076", L"Language=\"EN\" | MainFrame.LanguageId=1033",
           L"Language=\"en\" | MainFrame.LanguageId=1033", L"Language=\"ko\" | MainFrame.LanguageId=0",
           L"Language=\"KO\" | MainFrame.LanguageId=0", L"Language=\"\" | MainFrame.LanguageId=0",
           L"Language=\"CHS\" | MainFrame.LanguageId=0"},
          {L"LanguageId="});
}

TEST_F(Environment, KeyCountSequenceOnTheDevice) {
    const Lines sequence = {L"KeyDevice.WebCreateKeyObject()", L"KeyDevice.WebGetKeyCount()",
                            L"KeyDevice.WebDeleteKeyObject()"};
    ScopedVariant i2 = ScopedVariant::I2(-1);
    const std::pair<VARIANT, LONG> cases[] = {{VLong(0), 0}, {VLong(3), 3}, {VLong(0x18000), -32768}, {*i2.get(), -1}};
    for (const auto& [count, expected] : cases) {
        sim->ClearJournal();
        sim->SetAnswer(UniqueBstr(L"WebGetKeyCount").get(), count);
        EXPECT_EQ(Early(fun.get(), &IFoliumFun::GetKeyCount), L"S_OK " + std::to_wstring(expected));
        EXPECT_EQ(JournalWith(L"KeyDevice."), sequence);
    }
    // A failing call skips the rest.
    sim->ClearJournal();
    VARIANT failure;
    VariantInit(&failure);
    failure.vt = VT_ERROR;
    failure.scode = E_FAIL;
    sim->SetAnswer(UniqueBstr(L"WebCreateKeyObject").get(), failure);
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::GetKeyCount), L"S_OK 0");
    EXPECT_EQ(JournalWith(L"KeyDevice."), Lines{sequence[0]});
}

TEST_F(Environment, RightsAndAlert) {
    Steps({L"SaveRight=0 | Application.SaveAllowed=0", L"SaveRight -> VT_I4=0",
           L"PrintRight=0 | Application.PrintRight=0", L"PrintRight -> VT_I4=0", L"Alter(\"hello\") -> VT_BOOL=-1",
           L"IsCertTimeOut -> VT_BOOL=-1"},
          {L"SaveAllowed=", L"PrintRight="});
    EXPECT_EQ(quirexsim::Notifications(sim.get()), Lines{L"Alert(\"hello\", 0)"});
}

TEST_F(Environment, SignatureEngineSettingsKeyAndAlterUser) {
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    ASSERT_EQ(fun->put_TSServerURL(UniqueBstr(L"http://ts").get()), S_OK);
    ASSERT_EQ(fun->put_TSUser(UniqueBstr(L"u").get()), S_OK);
    ASSERT_EQ(fun->put_TSPwd(nullptr), S_OK);
    ASSERT_EQ(fun->put_AppCode(UniqueBstr(L"A1").get()), S_OK);
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_AppCode), L"S_OK A1") << "read back from the engine";
    engine->SetResult(UniqueBstr(L"WebGetKeySN").get(), *ScopedVariant::Bstr(L"SN-42").get());
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::WebGetKeySN), L"S_OK SN-42");
    engine->SetResult(UniqueBstr(L"VerifyPin").get(), *ScopedVariant::I4(0x10001L).get());
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::VerifyPin, L"1234"), L"S_OK 1")
        << "the 16-bit value of the engine's answer";
    ASSERT_EQ(fun->put_AlterUser(0), S_OK);
    engine->SetResult(UniqueBstr(L"AlterUser").get(), *ScopedVariant::I4(5).get());
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_AlterUser), L"S_OK 5") << "the getter reads the engine's value";
    EXPECT_EQ(CallsOf(L"Veridane.Folium2015"),
              (Lines{L"TSServerURL:P:1|VT_BSTR=\"http://ts\"", L"TSUser:P:1|VT_BSTR=\"u\"", L"TSPwd:P:1|VT_BSTR=\"\"",
                     L"AppCode:P:1|VT_BSTR=\"A1\"", L"AppCode:G:0", L"WebGetKeySN:M:0",
                     L"VerifyPin:M:1|VT_BSTR=\"1234\"", L"AlterUser:P:1|VT_I4=0", L"AlterUser:G:0"}));

    sim->RemoveAddIn(UniqueBstr(L"Veridane.Folium2015").get());
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::VerifyPin, L"1234"), L"S_FALSE 7") << "not written";
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_AppCode), L"S_FALSE ");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::WebGetKeySN), L"S_FALSE ");
    EXPECT_EQ(fun->put_TSUser(UniqueBstr(L"u").get()), S_FALSE);
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::get_AlterUser), L"S_FALSE 7");
    EXPECT_EQ(fun->put_AlterUser(1), S_OK) << "kept by the component without the engine";
}

// The machine's own addresses: whatever they are, they have the documented forms; a known
// answer when the test set-up gave the machine one (see the network fixture).
TEST_F(Environment, AddressForms) {
    ScopedVariant ip, mac;
    ASSERT_EQ(CallByName(disp.get(), L"WebGetIP", DISPATCH_METHOD, {}, ip.Receive()), S_OK);
    ASSERT_EQ(CallByName(disp.get(), L"WebGetMac", DISPATCH_METHOD, {}, mac.Receive()), S_OK);
    ASSERT_EQ(ip.type(), VT_BSTR);
    ASSERT_EQ(mac.type(), VT_BSTR);
    std::wstring text = ip->bstrVal ? ip->bstrVal : L"", m = mac->bstrVal ? mac->bstrVal : L"";
    int dots = 0;
    for (wchar_t c : text) dots += c == L'.' ? 1 : iswdigit(c) ? 0 : 100;
    EXPECT_TRUE(text.empty() || dots == 3) << testing::PrintToString(text);
    bool macForm = m.size() == 13 && m[0] == L' ';
    for (size_t i = 1; macForm && i < m.size(); ++i) macForm = iswxdigit(m[i]) && !iswlower(m[i]);
    EXPECT_TRUE(m.empty() || macForm) << testing::PrintToString(m);
    if (!Env(L"FOLIUM_EXPECTED_MAC").empty()) EXPECT_EQ(m, Env(L"FOLIUM_EXPECTED_MAC"));
    if (!Env(L"FOLIUM_EXPECTED_IP").empty()) EXPECT_EQ(text, Env(L"FOLIUM_EXPECTED_IP"));
}

}  // namespace
