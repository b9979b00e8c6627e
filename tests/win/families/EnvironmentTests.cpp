// Environment members built so far: the component's version and the AlterUser switch
// it shares with the signature engine.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

class Environment : public ConnectedComponent {};

TEST_F(Environment, VersionIsTheFileVersion) {
    ScopedVariant v;
    ASSERT_EQ(CallByName(disp.get(), L"Version", DISPATCH_PROPERTYGET, {}, v.Receive()), S_OK);
    ASSERT_EQ(v->vt, VT_BSTR);
    EXPECT_STREQ(v->bstrVal, L"1.0.0.1");
}

TEST_F(Environment, AlterUserIsKeptAndForwardedToTheSignatureEngine) {
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
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

}  // namespace
