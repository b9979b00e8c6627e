// Calls by name, checked against the recording sibling stand-ins of the reader simulator.
// (Argument order and the property-put name are checked by every family's sibling calls.)
#include "TestSupport.h"
#include "Quirex.h"
#include "bridge/Bridge.h"
#include "sim/QuirexSimClient.h"

using namespace testsupport;

namespace {

class Bridge : public ::testing::Test {
protected:
    ComApartment com;
    ComPtr<IQxSimulator> sim;
    ComPtr<IQxStandIn> inkpad;
    ComPtr<IDispatch> target;

    void SetUp() override {
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(L"Quirex.Simulator.1", &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IQxSimulator, sim.put_void()), S_OK);
        sim->Reset();
        ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Inkpad").get(), inkpad.put()), S_OK);
        ASSERT_EQ(inkpad->get_Object(target.put()), S_OK);
        inkpad->ClearCalls();
    }
    void TearDown() override {
        if (sim) sim->RemoveAddIn(UniqueBstr(L"Veridane.Inkpad").get());
    }
    std::vector<std::wstring> Calls() { return quirexsim::Calls(inkpad.get()); }
};

TEST_F(Bridge, UnknownNameFailsAtLookupAndAWrongCountIsTheCalleesAnswer) {
    auto result = ScopedVariant::I4(77);
    EXPECT_EQ(folium::InvokeByName(DISPATCH_METHOD, result.get(), target.get(), L"NoSuchMember"), DISP_E_UNKNOWNNAME);
    EXPECT_TRUE(IsI4(*result.get(), 77)) << "the result is left alone";
    EXPECT_TRUE(Calls().empty()) << "nothing was invoked";
    auto a = ScopedVariant::I4(1);
    EXPECT_EQ(folium::InvokeByName(DISPATCH_METHOD, nullptr, target.get(), L"SetOption", a.get()), DISP_E_BADPARAMCOUNT);
    EXPECT_TRUE(IsI4(*a.get(), 1)) << "the caller still owns its arguments after the call";
}

// A document whose "DocumentType" answers exactly the VARIANT given, as another host may.
class TypedDocument : public IDispatch {
public:
    explicit TypedDocument(const VARIANT& answer) { VariantCopy(&answer_, const_cast<VARIANT*>(&answer)); }
    ~TypedDocument() { VariantClear(&answer_); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch) return *out = nullptr, E_NOINTERFACE;
        AddRef();
        return *out = this, S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the test's stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        if (_wcsicmp(names[0], L"DocumentType")) return DISP_E_UNKNOWNNAME;
        return *ids = 1, S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override {
        if (flags != DISPATCH_PROPERTYGET) return DISP_E_MEMBERNOTFOUND;
        return result ? VariantCopy(result, &answer_) : S_OK;
    }
    ULONG refs_ = 1;

private:
    VARIANT answer_{};
};

// An OFD document's kind is 1, whatever the type it is given in.
TEST_F(Bridge, DocumentKindIsReadByTypeAndAnUnreadableKindIsNotOfd) {
    // An object without "DocumentType" is not an OFD document.
    target->AddRef();
    EXPECT_FALSE(folium::IsOfdDocument(target.get()));
    EXPECT_FALSE(folium::IsOfdDocument(nullptr));
    const std::pair<ScopedVariant, bool> rows[] = {
        {ScopedVariant::I4(1), true},        {ScopedVariant::Bstr(L"1"), true},   {ScopedVariant::R8(1.0), true},
        {ScopedVariant::I2(1), true},        {ScopedVariant::I4(0), false},       {ScopedVariant::Bstr(L"0"), false},
        {ScopedVariant::Bstr(L"OFD"), false}, {ScopedVariant(), false}};
    for (const auto& [answer, ofd] : rows) {
        TypedDocument doc(*answer.get());
        doc.AddRef();  // the reference IsOfdDocument takes over
        EXPECT_EQ(folium::IsOfdDocument(&doc), ofd) << quirexsim::Describe(sim.get(), *answer.get());
        EXPECT_EQ(doc.refs_, 1u) << "the reference taken over is released";
    }
}

}  // namespace
