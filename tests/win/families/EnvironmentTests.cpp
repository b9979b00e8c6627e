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
    std::vector<std::wstring> Calls(IQxStandIn* standIn) {
        std::vector<std::wstring> out;
        LONG n = 0;
        standIn->get_CallCount(&n);
        for (LONG i = 0; i < n; ++i) {
            UniqueBstr line;
            standIn->CallItem(i, line.put());
            out.push_back(line.c_str());
        }
        return out;
    }
    ComPtr<IQxMainFrame> Frame() {
        ComPtr<IQxMainFrame> frame;
        app->get_MainFrame(frame.put());
        return frame;
    }
    std::vector<std::wstring> DeviceCalls() {
        std::vector<std::wstring> out;
        for (auto& l : JournalLines())
            if (l.rfind(L"KeyDevice.", 0) == 0) out.push_back(l);
        return out;
    }
};

TEST_F(Environment, VersionIsTheFileVersion) {
    ScopedVariant v;
    ASSERT_EQ(CallByName(disp.get(), L"Version", DISPATCH_PROPERTYGET, {}, v.Receive()), S_OK);
    ASSERT_EQ(v->vt, VT_BSTR);
    EXPECT_STREQ(v->bstrVal, L"1.0.0.1");

    ASSERT_EQ(CallByName(disp.get(), L"VersionEx", DISPATCH_PROPERTYGET, {}, v.Receive()), S_OK);
    ASSERT_EQ(v->vt, VT_BSTR);
    EXPECT_STREQ(v->bstrVal, L"1") << "without the utility add-in";
    ComPtr<IQxStandIn> toolkit;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Toolkit").get(), toolkit.put()), S_OK);
    toolkit->SetResult(UniqueBstr(L"GetVersionEx").get(), *ScopedVariant::Bstr(L"3.2.1").get());
    ASSERT_EQ(CallByName(disp.get(), L"VersionEx", DISPATCH_PROPERTYGET, {}, v.Receive()), S_OK);
    EXPECT_STREQ(v->bstrVal, L"3.2.1");
}

TEST_F(Environment, LanguageTableBothWays) {
    const std::pair<LONG, const wchar_t*> reads[] = {{2052, L"CH"}, {1028, L"TW"}, {3076, L"TW"},
                                                     {1033, L"EN"}, {1041, L"CH"}, {0, L"CH"}};
    for (auto& [id, text] : reads) {
        Frame()->put_LanguageId(id);
        ScopedVariant v;
        ASSERT_EQ(CallByName(disp.get(), L"Language", DISPATCH_PROPERTYGET, {}, v.Receive()), S_OK);
        ASSERT_EQ(v->vt, VT_BSTR);
        EXPECT_STREQ(v->bstrVal, text) << id;
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
        LONG n = 99;
        ASSERT_EQ(fun->GetKeyCount(&n), S_OK);
        EXPECT_EQ(n, expected);
        EXPECT_EQ(DeviceCalls(), (std::vector<std::wstring>{L"KeyDevice.WebCreateKeyObject()",
                                                            L"KeyDevice.WebGetKeyCount()",
                                                            L"KeyDevice.WebDeleteKeyObject()"}));
    }

    // A failing call skips the rest.
    sim->ClearJournal();
    VARIANT failure;
    VariantInit(&failure);
    failure.vt = VT_ERROR;
    failure.scode = E_FAIL;
    sim->SetAnswer(UniqueBstr(L"WebCreateKeyObject").get(), failure);
    LONG n = 99;
    ASSERT_EQ(fun->GetKeyCount(&n), S_OK);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(DeviceCalls(), std::vector<std::wstring>{L"KeyDevice.WebCreateKeyObject()"});
}

TEST_F(Environment, RightsAndAlert) {
    struct Case {
        const wchar_t* member;
        const wchar_t* hostLine;
    };
    for (const Case& c : {Case{L"SaveRight", L"Application.SaveAllowed=0"}, Case{L"PrintRight", L"Application.PrintRight=0"}}) {
        ScopedVariant v;
        ASSERT_EQ(CallByName(disp.get(), c.member, DISPATCH_PROPERTYPUT, {VLong(0)}, nullptr), S_OK);
        EXPECT_TRUE(Journaled(c.hostLine));
        ASSERT_EQ(CallByName(disp.get(), c.member, DISPATCH_PROPERTYGET, {}, v.Receive()), S_OK);
        EXPECT_EQ(v->vt, VT_I4);
        EXPECT_EQ(v->lVal, 0);
    }
    VARIANT_BOOL shown = VARIANT_FALSE;
    ASSERT_EQ(fun->Alter(UniqueBstr(L"hello").get(), &shown), S_OK);
    EXPECT_EQ(shown, VARIANT_TRUE);
    UniqueBstr note;
    sim->NotificationItem(0, note.put());
    EXPECT_STREQ(note.c_str(), L"Alert(\"hello\", 0)");
    ASSERT_EQ(fun->IsCertTimeOut(&shown), S_OK);
    EXPECT_EQ(shown, VARIANT_TRUE);

    ComPtr<IFoliumFun> alone;  // never connected to a reader
    ASSERT_EQ(CoCreateInstance(CLSID_FoliumFun, nullptr, CLSCTX_INPROC_SERVER, IID_IFoliumFun, alone.put_void()), S_OK);
    IFoliumFun* fun = alone.get();
    shown = VARIANT_FALSE;
    EXPECT_EQ(fun->Alert(UniqueBstr(L"x").get(), &shown), S_OK);
    EXPECT_EQ(shown, VARIANT_TRUE) << "true even without the reader";
    LONG right = 5;
    EXPECT_EQ(fun->get_SaveRight(&right), S_FALSE);
    EXPECT_EQ(right, 5);
}

TEST_F(Environment, SignatureEngineSettingsAndKey) {
    auto engine = Engine();
    ASSERT_EQ(fun->put_TSServerURL(UniqueBstr(L"http://ts").get()), S_OK);
    ASSERT_EQ(fun->put_TSUser(UniqueBstr(L"u").get()), S_OK);
    ASSERT_EQ(fun->put_TSPwd(nullptr), S_OK);
    ASSERT_EQ(fun->put_AppCode(UniqueBstr(L"A1").get()), S_OK);
    UniqueBstr code;
    ASSERT_EQ(fun->get_AppCode(code.put()), S_OK);
    EXPECT_STREQ(code.c_str(), L"A1") << "read back from the engine";
    engine->SetResult(UniqueBstr(L"WebGetKeySN").get(), *ScopedVariant::Bstr(L"SN-42").get());
    UniqueBstr serial;
    ASSERT_EQ(fun->WebGetKeySN(serial.put()), S_OK);
    EXPECT_STREQ(serial.c_str(), L"SN-42");
    engine->SetResult(UniqueBstr(L"VerifyPin").get(), *ScopedVariant::I4(0x10001L).get());
    VARIANT_BOOL ok = 7;
    ASSERT_EQ(fun->VerifyPin(UniqueBstr(L"1234").get(), &ok), S_OK);
    EXPECT_EQ(ok, 1) << "the 16-bit value of the engine's answer";
    EXPECT_EQ(Calls(engine.get()),
              (std::vector<std::wstring>{L"TSServerURL:P:1|VT_BSTR=\"http://ts\"", L"TSUser:P:1|VT_BSTR=\"u\"",
                                         L"TSPwd:P:1|VT_BSTR=\"\"", L"AppCode:P:1|VT_BSTR=\"A1\"", L"AppCode:G:0",
                                         L"WebGetKeySN:M:0", L"VerifyPin:M:1|VT_BSTR=\"1234\""}));

    sim->RemoveAddIn(UniqueBstr(L"Veridane.Folium2015").get());
    ok = 7;
    EXPECT_EQ(fun->VerifyPin(UniqueBstr(L"1234").get(), &ok), S_FALSE);
    EXPECT_EQ(ok, 7) << "not written without the engine";
    ASSERT_EQ(fun->get_AppCode(code.put()), S_FALSE);
    EXPECT_STREQ(code.c_str(), L"");
    ASSERT_EQ(fun->WebGetKeySN(serial.put()), S_FALSE);
    EXPECT_STREQ(serial.c_str(), L"");
    EXPECT_EQ(fun->put_TSUser(UniqueBstr(L"u").get()), S_FALSE);
}

TEST_F(Environment, AlterUserIsKeptAndForwardedToTheSignatureEngine) {
    auto engine = Engine();
    ASSERT_EQ(fun->put_AlterUser(0), S_OK);
    ScopedVariant written;
    engine->PropertyValue(UniqueBstr(L"AlterUser").get(), written.Receive());
    EXPECT_EQ(written->vt, VT_I4);
    EXPECT_EQ(written->lVal, 0);
    engine->SetResult(UniqueBstr(L"AlterUser").get(), *ScopedVariant::I4(5).get());
    LONG read = -1;
    ASSERT_EQ(fun->get_AlterUser(&read), S_OK);
    EXPECT_EQ(read, 5) << "the getter reads the engine's value";
    sim->RemoveAddIn(UniqueBstr(L"Veridane.Folium2015").get());
    read = -1;
    EXPECT_EQ(fun->get_AlterUser(&read), S_FALSE);
    EXPECT_EQ(read, -1);
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
