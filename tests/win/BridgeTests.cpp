// The error boundary and the typed VARIANT helpers every member is written with; calls by
// name, checked against the recording sibling stand-ins of the reader simulator (argument
// order and the property-put name are checked by every family's sibling calls).
#include <stdexcept>

#include "TestSupport.h"
#include "Quirex.h"
#include "bridge/Bridge.h"
#include "sim/QuirexSimClient.h"

using namespace testsupport;

namespace {

TEST(Boundary, EveryExceptionBecomesAnHResult) {
    struct Case {
        const char* what;
        void (*raise)();
        HRESULT expected;
    };
    const Case cases[] = {
        {"HResultError", [] { folium::ThrowHResult(E_ACCESSDENIED); }, E_ACCESSDENIED},
        {"ThrowIfFailed", [] { folium::ThrowIfFailed(DISP_E_TYPEMISMATCH); }, DISP_E_TYPEMISMATCH},
        {"bad_alloc", [] { throw std::bad_alloc(); }, E_OUTOFMEMORY},
        {"length_error", [] { std::wstring s; s.resize(s.max_size() + 1); }, E_OUTOFMEMORY},
        {"out_of_range", [] { (void)std::wstring(L"ab").at(5); }, E_INVALIDARG},
        {"invalid_argument", [] { (void)std::stoi("x"); }, E_INVALIDARG},
        {"runtime_error", [] { throw std::runtime_error("x"); }, E_UNEXPECTED},
        {"not an exception class", [] { throw 42; }, E_UNEXPECTED},
    };
    for (const Case& c : cases)
        EXPECT_EQ(folium::Guarded([&]() -> HRESULT { c.raise(); return S_OK; }), c.expected) << c.what;
    EXPECT_EQ(folium::Guarded([] {}), S_OK) << "a body without a result ran to its end";
    EXPECT_EQ(folium::Guarded([] { return S_FALSE; }), S_FALSE);
    EXPECT_EQ(folium::ThrowIfFailed(S_FALSE), S_FALSE) << "success passes through";
}

TEST(TypedVariants, ConstructionSetsTypeAndValueTogether) {
    EXPECT_EQ(ScopedVariant::I2(-2).type(), VT_I2);
    EXPECT_TRUE(IsI4(*ScopedVariant::I4(5).get(), 5));
    EXPECT_EQ(ScopedVariant::I8(-1).type(), VT_I8);
    EXPECT_EQ(ScopedVariant::UI4(0xF0000001u)->ulVal, 0xF0000001u);
    EXPECT_EQ(ScopedVariant::R4(1.5f)->fltVal, 1.5f);
    EXPECT_EQ(ScopedVariant::R8(2.25).type(), VT_R8);
    EXPECT_TRUE(IsBool(*ScopedVariant::Bool(true).get(), true)) << "automation true is -1";
    EXPECT_TRUE(IsBstr(*ScopedVariant::Bstr(nullptr).get(), L"")) << "a null text is an empty string";
    EXPECT_TRUE(IsBstr(*ScopedVariant::Bstr(L"a\0b", 3).get(), std::wstring(L"a\0b", 3)));
    auto missing = ScopedVariant::Missing();
    EXPECT_EQ(missing.type(), VT_ERROR);
    EXPECT_EQ(missing->scode, DISP_E_PARAMNOTFOUND);
    const unsigned char bytes[] = {1, 2, 250};
    auto array = ScopedVariant::Bytes(bytes, sizeof bytes);
    ASSERT_EQ(array.type(), VT_ARRAY | VT_UI1);
    EXPECT_EQ(array->parray->rgsabound[0].cElements, 3u);
    EXPECT_EQ(static_cast<unsigned char*>(array->parray->pvData)[2], 250);
}

TEST(TypedVariants, OutsideValuesAreConvertedNotReinterpreted) {
    EXPECT_EQ(folium::ReadI4(*ScopedVariant::Bstr(L"42").get()), 42);
    EXPECT_EQ(folium::ReadI4(*ScopedVariant::R8(7.0).get()), 7);
    EXPECT_EQ(folium::ReadUI8(*ScopedVariant::I4(9).get()), 9u) << "VT_I4 where VT_UI8 is expected";
    EXPECT_EQ(folium::ReadUI4(*ScopedVariant::I2(3).get()), 3u);
    EXPECT_EQ(folium::ReadI2(*ScopedVariant::UI4(12).get()), 12);
    EXPECT_FALSE(folium::ReadI4(*ScopedVariant::Bstr(L"text").get())) << "not a number";
    EXPECT_FALSE(folium::ReadI2(*ScopedVariant::I4(100000).get())) << "out of range";
    EXPECT_FALSE(folium::ReadI4(nullptr));
    EXPECT_EQ(folium::ReadBool(*ScopedVariant::I4(1).get()), true);
    EXPECT_EQ(folium::ReadBool(*ScopedVariant::I4(0).get()), false);
    auto text = folium::ReadBstr(*ScopedVariant::I4(-5).get());
    ASSERT_TRUE(text);
    EXPECT_STREQ(text->c_str(), L"-5");
    LONG referenced = 17;
    VARIANT byRef;
    VariantInit(&byRef);
    byRef.vt = VT_BYREF | VT_I4;
    byRef.plVal = &referenced;
    EXPECT_EQ(folium::ReadI8(byRef), 17) << "a reference is followed";
    EXPECT_FALSE(folium::ReadDispatch(*ScopedVariant::I4(1).get())) << "a number is no object";
}

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
