// Environment members: version, language, rights, alert, the signature engine's settings
// and the signing-key device, through the DLL loaded by the reader simulator.
#include "FamilyTestSupport.h"

#include <cwctype>

using namespace testsupport;

namespace {

class Environment : public ConnectedComponent {
protected:
    ComPtr<IQxStandIn> Engine() {
        ComPtr<IQxStandIn> engine;
        EXPECT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
        return engine;
    }
    Lines Calls(IQxStandIn* standIn) { return quirexsim::Calls(standIn); }
    ComPtr<IQxMainFrame> Frame() {
        ComPtr<IQxMainFrame> frame;
        app->get_MainFrame(frame.put());
        return frame;
    }
    Lines DeviceCalls() { return JournalWith(L"KeyDevice."); }
};

TEST_F(Environment, VersionIsTheFileVersion) {
    EXPECT_EQ(Str(L"1.0.0.1"), Script(L"Version"));
    EXPECT_EQ(Str(L"1"), Script(L"VersionEx")) << "without the utility add-in";
    ComPtr<IQxStandIn> toolkit;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Toolkit").get(), toolkit.put()), S_OK);
    toolkit->SetResult(UniqueBstr(L"GetVersionEx").get(), *ScopedVariant::Bstr(L"3.2.1").get());
    EXPECT_EQ(Str(L"3.2.1"), Script(L"VersionEx"));
}

TEST_F(Environment, LanguageTableBothWays) {
    const std::pair<LONG, const wchar_t*> reads[] = {{2052, L"CH"}, {1028, L"TW"}, {3076, L"TW"},
                                                     {1033, L"EN"}, {1041, L"CH"}, {0, L"CH"}};
    for (auto& [id, text] : reads) {
        Frame()->put_LanguageId(id);
        EXPECT_EQ(Str(text), Script(L"Language")) << id;
    }
    const std::pair<const wchar_t*, LONG> writes[] = {{L"CH", 2052}, {L"ch", 2052}, {L"tw", 3076}, {L"TW", 3076},
                                                      {L"EN", 1033}, {L"en", 1033}, {L"ko", 0},    {L"KO", 0},
                                                      {L"", 0},      {L"CHS", 0}};
    for (auto& [text, id] : writes) {
        Frame()->put_LanguageId(77);
        ASSERT_EQ(fun->put_Language(UniqueBstr(text).get()), S_OK);
        LONG written = -1;
        Frame()->get_LanguageId(&written);
        EXPECT_EQ(written, id) << testing::PrintToString(std::wstring(text));
    }
}

TEST_F(Environment, KeyCountSequenceOnTheDevice) {
    VARIANT i2;
    VariantInit(&i2);
    i2.vt = VT_I2;
    i2.iVal = -1;
    const std::pair<VARIANT, LONG> cases[] = {{VLong(0), 0}, {VLong(3), 3}, {VLong(0x18000), -32768}, {i2, -1}};
    for (const auto& [count, expected] : cases) {
        sim->ClearJournal();
        sim->SetAnswer(UniqueBstr(L"WebGetKeyCount").get(), count);
        EXPECT_EQ(I4(expected), Script(L"GetKeyCount"));
        EXPECT_EQ(DeviceCalls(), (Lines{L"KeyDevice.WebCreateKeyObject()", L"KeyDevice.WebGetKeyCount()",
                                        L"KeyDevice.WebDeleteKeyObject()"}));
    }

    // A failing call skips the rest.
    sim->ClearJournal();
    VARIANT failure;
    VariantInit(&failure);
    failure.vt = VT_ERROR;
    failure.scode = E_FAIL;
    sim->SetAnswer(UniqueBstr(L"WebCreateKeyObject").get(), failure);
    EXPECT_EQ(I4(0), Script(L"GetKeyCount"));
    EXPECT_EQ(DeviceCalls(), Lines{L"KeyDevice.WebCreateKeyObject()"});
}

TEST_F(Environment, RightsAndAlert) {
    struct Case {
        const wchar_t* member;
        const wchar_t* hostLine;
    };
    for (const Case& c : {Case{L"SaveRight", L"Application.SaveAllowed=0"}, Case{L"PrintRight", L"Application.PrintRight=0"}}) {
        ASSERT_EQ(ScriptPut(c.member, VLong(0)), S_OK);
        EXPECT_TRUE(Journaled(c.hostLine));
        EXPECT_EQ(I4(0), Script(c.member));
    }
    EXPECT_EQ(Bool(true), Script(L"Alter", {VStr(L"hello")}));
    EXPECT_EQ(quirexsim::Notifications(sim.get()), Lines{L"Alert(\"hello\", 0)"});
    EXPECT_EQ(Bool(true), Script(L"IsCertTimeOut"));

    ComPtr<IFoliumFun> alone;  // never connected to a reader
    ASSERT_EQ(CoCreateInstance(CLSID_FoliumFun, nullptr, CLSCTX_INPROC_SERVER, IID_IFoliumFun, alone.put_void()), S_OK);
    IFoliumFun* fun = alone.get();
    VARIANT_BOOL shown = VARIANT_FALSE;
    EXPECT_EQ(Got(fun->Alert(UniqueBstr(L"x").get(), &shown), &shown), Want(S_OK, VARIANT_TRUE))
        << "true even without the reader";
    LONG right = 5;
    EXPECT_EQ(Got(fun->get_SaveRight(&right), &right), Want(S_FALSE, 5));
}

TEST_F(Environment, SignatureEngineSettingsAndKey) {
    auto engine = Engine();
    ASSERT_EQ(fun->put_TSServerURL(UniqueBstr(L"http://ts").get()), S_OK);
    ASSERT_EQ(fun->put_TSUser(UniqueBstr(L"u").get()), S_OK);
    ASSERT_EQ(fun->put_TSPwd(nullptr), S_OK);
    ASSERT_EQ(fun->put_AppCode(UniqueBstr(L"A1").get()), S_OK);
    UniqueBstr code, serial;
    EXPECT_EQ(Got(fun->get_AppCode(code.put()), &code), Want(S_OK, L"A1")) << "read back from the engine";
    engine->SetResult(UniqueBstr(L"WebGetKeySN").get(), *ScopedVariant::Bstr(L"SN-42").get());
    EXPECT_EQ(Got(fun->WebGetKeySN(serial.put()), &serial), Want(S_OK, L"SN-42"));
    engine->SetResult(UniqueBstr(L"VerifyPin").get(), *ScopedVariant::I4(0x10001L).get());
    VARIANT_BOOL ok = 7;
    EXPECT_EQ(Got(fun->VerifyPin(UniqueBstr(L"1234").get(), &ok), &ok), Want(S_OK, 1))
        << "the 16-bit value of the engine's answer";
    EXPECT_EQ(Calls(engine.get()),
              (Lines{L"TSServerURL:P:1|VT_BSTR=\"http://ts\"", L"TSUser:P:1|VT_BSTR=\"u\"",
                                         L"TSPwd:P:1|VT_BSTR=\"\"", L"AppCode:P:1|VT_BSTR=\"A1\"", L"AppCode:G:0",
                                         L"WebGetKeySN:M:0", L"VerifyPin:M:1|VT_BSTR=\"1234\""}));

    sim->RemoveAddIn(UniqueBstr(L"Veridane.Folium2015").get());
    ok = 7;
    EXPECT_EQ(Got(fun->VerifyPin(UniqueBstr(L"1234").get(), &ok), &ok), Want(S_FALSE, 7))
        << "not written without the engine";
    EXPECT_EQ(Got(fun->get_AppCode(code.put()), &code), Want(S_FALSE, L""));
    EXPECT_EQ(Got(fun->WebGetKeySN(serial.put()), &serial), Want(S_FALSE, L""));
    EXPECT_EQ(fun->put_TSUser(UniqueBstr(L"u").get()), S_FALSE);
}

TEST_F(Environment, AlterUserIsKeptAndForwardedToTheSignatureEngine) {
    auto engine = Engine();
    ASSERT_EQ(fun->put_AlterUser(0), S_OK);
    EXPECT_EQ(Calls(engine.get()), Lines{L"AlterUser:P:1|VT_I4=0"});
    engine->SetResult(UniqueBstr(L"AlterUser").get(), *ScopedVariant::I4(5).get());
    LONG read = -1;
    EXPECT_EQ(Got(fun->get_AlterUser(&read), &read), Want(S_OK, 5)) << "the getter reads the engine's value";
    sim->RemoveAddIn(UniqueBstr(L"Veridane.Folium2015").get());
    read = -1;
    EXPECT_EQ(Got(fun->get_AlterUser(&read), &read), Want(S_FALSE, -1));
    EXPECT_EQ(fun->put_AlterUser(1), S_OK) << "kept by the component without the engine";
}

// The machine's own addresses: whatever they are, they have the documented forms.
TEST_F(Environment, AddressForms) {
    ScopedVariant ip, mac;
    ASSERT_EQ(CallByName(disp.get(), L"WebGetIP", DISPATCH_METHOD, {}, ip.Receive()), S_OK);
    ASSERT_EQ(ip->vt, VT_BSTR);
    std::wstring text = ip->bstrVal ? ip->bstrVal : L"";
    int dots = 0;
    for (wchar_t c : text) {
        if (c == L'.') ++dots;
        else EXPECT_TRUE(iswdigit(c)) << testing::PrintToString(text);
    }
    EXPECT_TRUE(text.empty() || dots == 3) << testing::PrintToString(text);

    ASSERT_EQ(CallByName(disp.get(), L"WebGetMac", DISPATCH_METHOD, {}, mac.Receive()), S_OK);
    ASSERT_EQ(mac->vt, VT_BSTR);
    std::wstring m = mac->bstrVal ? mac->bstrVal : L"";
    if (!m.empty()) {
        ASSERT_EQ(m.size(), 13u);
        EXPECT_EQ(m[0], L' ');
        for (size_t i = 1; i < m.size(); ++i) EXPECT_TRUE(iswxdigit(m[i]) && !iswlower(m[i])) << testing::PrintToString(m);
    }
    // A known answer, when the test set-up gave the machine one (see the network fixture).
    std::wstring expected = Env(L"FOLIUM_EXPECTED_MAC");
    if (!expected.empty()) EXPECT_EQ(m, expected);
    std::wstring expectedIp = Env(L"FOLIUM_EXPECTED_IP");
    if (!expectedIp.empty()) EXPECT_EQ(text, expectedIp);
}

}  // namespace
