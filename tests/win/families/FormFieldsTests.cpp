// Form fields by name and XML templates, against documents in the reader simulator.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

const char kFieldsDoc[] = R"({"type":"PDF","pages":[{"width":595,"height":842}],
 "fields":[
  {"name":"姓名","fullName":"form.姓名","value":"张三"},
  {"name":"dup","value":"first"},
  {"name":"dup","value":"second"},
  {"name":"short","fullName":"","value":"by own name"},
  {"name":"Case","value":"upper"}
 ]})";

class FormFields : public ConnectedComponent {
protected:
    std::wstring Export(const wchar_t* name) {
        ScopedVariant r;
        auto n = ScopedVariant::Bstr(name);
        EXPECT_EQ(CallByName(disp.get(), L"ExportFieldValue", DISPATCH_METHOD, {*n.get()}, r.Receive()), S_OK);
        return r->vt == VT_BSTR && r->bstrVal ? r->bstrVal : L"<not a string>";
    }
    VARIANT_BOOL Import(const wchar_t* name, const wchar_t* value) {
        VARIANT_BOOL r = 99;
        UniqueBstr n(name), v(value);
        EXPECT_EQ(fun->ImportFieldValue(n.get(), v.get(), &r), S_OK);
        return r;
    }
};

TEST_F(FormFields, LookupByFullNameFirstMatchAndExactCase) {
    ASSERT_TRUE(Open(kFieldsDoc));
    EXPECT_EQ(Export(L"form.姓名"), L"张三");
    EXPECT_EQ(Export(L"姓名"), L"") << "a field with a full name is not found by its own name";
    EXPECT_EQ(Export(L"dup"), L"first") << "the first field in list order wins";
    EXPECT_EQ(Export(L"short"), L"by own name") << "an empty full name falls back to the own name";
    EXPECT_EQ(Export(L"case"), L"") << "names are compared with case";
    EXPECT_EQ(Export(L"Case"), L"upper");
}

TEST_F(FormFields, ImportSetsOnlyTheFirstMatchAndAnswersTheIntegerOne) {
    ASSERT_TRUE(Open(kFieldsDoc));
    EXPECT_EQ(Import(L"dup", L"changed"), 1) << "1, not the automation true";
    EXPECT_EQ(Export(L"dup"), L"changed");
    // The second field of that name keeps its value: read it through the host.
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    ComPtr<IQxDocument> doc;
    docs->get_ActiveDocument(doc.put());
    ComPtr<IQxFields> fields;
    doc->get_Fields(fields.put());
    auto index = ScopedVariant::I4(2);
    ComPtr<IQxField> second;
    ASSERT_EQ(fields->Item(*index.get(), second.put()), S_OK);
    UniqueBstr value;
    second->get_Value(value.put());
    EXPECT_STREQ(value.c_str(), L"second");
    EXPECT_EQ(Import(L"DUP", L"x"), 0);
    EXPECT_EQ(Import(L"", L"x"), 0);
}

TEST_F(FormFields, WithoutADocumentResultsAreEmptyAndSuccessful) {
    EXPECT_EQ(Import(L"dup", L"x"), 0);
    EXPECT_EQ(Export(L"dup"), L"") << "an empty string, not a null one";
    LONG r = 5;
    EXPECT_EQ(fun->ImportTemplate(UniqueBstr(L"<x/>").get(), &r), S_FALSE);
    EXPECT_EQ(r, 0);
    Disconnect();
    EXPECT_EQ(Export(L"dup"), L"");
}

TEST_F(FormFields, TemplatesGoToTheHostUnchanged) {
    ASSERT_TRUE(Open(kFieldsDoc));
    const wchar_t* xml = L"<fields><field name=\"form.姓名\">李四</field></fields>";
    LONG r1 = -1, r2 = -1;
    EXPECT_EQ(fun->ImportTemplate(UniqueBstr(xml).get(), &r1), S_OK);
    EXPECT_EQ(fun->ImportFieldValueByXML(UniqueBstr(xml).get(), &r2), S_OK);
    EXPECT_EQ(r1, r2) << "both members are one behaviour";
    auto lines = JournalLines();
    int imports = 0;
    for (auto& l : lines)
        if (l.find(L"Fields.ImportXml(0") != std::wstring::npos) ++imports;
    EXPECT_EQ(imports, 2);
}

TEST_F(FormFields, NullArgumentsAreEmptyStrings) {
    ASSERT_TRUE(Open(kFieldsDoc));
    VARIANT_BOOL r = 99;
    EXPECT_EQ(fun->ImportFieldValue(nullptr, nullptr, &r), S_OK);
    EXPECT_EQ(r, 0);
    BSTR s = nullptr;
    EXPECT_EQ(fun->ExportFieldValue(nullptr, &s), S_OK);
    ASSERT_NE(s, nullptr);
    SysFreeString(s);
    EXPECT_EQ(fun->ExportFieldValue(nullptr, nullptr), E_POINTER);
}

}  // namespace
