// Form fields by name and XML templates, against documents in the reader simulator.
#include <algorithm>

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
    std::wstring Export(const wchar_t* name) { return Script(L"ExportFieldValue", {VStr(name)}); }
    std::wstring Import(const wchar_t* name, const wchar_t* value) {
        return Early(fun.get(), &IFoliumFun::ImportFieldValue, name, value);
    }
};

TEST_F(FormFields, ExportAndImportByFullNameFirstMatchAndExactCase) {
    ASSERT_TRUE(Open(kFieldsDoc));
    EXPECT_EQ(Export(L"form.姓名"), Str(L"张三"));
    auto typed = quirexsim::TypedJournal(sim.get());
    EXPECT_NE(std::find(typed.begin(), typed.end(), L"Fields.Item(VT_I2=0)"), typed.end()) << "short indexes";
    EXPECT_EQ(Export(L"姓名"), Str(L"")) << "a field with a full name is not found by its own name";
    EXPECT_EQ(Export(L"dup"), Str(L"first")) << "the first field in list order wins";
    EXPECT_EQ(Export(L"short"), Str(L"by own name")) << "an empty full name falls back to the own name";
    EXPECT_EQ(Export(L"case"), Str(L"")) << "names are compared with case";
    EXPECT_EQ(Export(L"Case"), Str(L"upper"));
    // Import sets only the first match and answers the integer 1.
    EXPECT_EQ(Import(L"dup", L"changed"), L"S_OK 1") << "1, not the automation true";
    EXPECT_EQ(Export(L"dup"), Str(L"changed"));
    EXPECT_EQ(HostWalk(sim.get(), app.get(), L"Documents.ActiveDocument.Fields.Item(2).Value"), Str(L"second"))
        << "the second field of that name keeps its value";
    EXPECT_EQ(Import(L"DUP", L"x"), L"S_OK 0");
    EXPECT_EQ(Import(L"", L"x"), L"S_OK 0");
    EXPECT_EQ(Import(nullptr, nullptr), L"S_OK 0") << "null arguments are empty strings";
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::ExportFieldValue, nullptr), L"S_OK ");
    EXPECT_EQ(fun->ExportFieldValue(nullptr, nullptr), E_POINTER);
}

TEST_F(FormFields, WithoutADocumentResultsAreEmptyAndSuccessful) {
    EXPECT_EQ(Import(L"dup", L"x"), L"S_OK 0");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::ExportFieldValue, L"dup"), L"S_OK ") << "an empty string, not a null one";
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::ImportTemplate, L"<x/>"), L"S_FALSE 0");
    // Nor when the reader has no field list for the document.
    ASSERT_TRUE(Open(kFieldsDoc));
    ASSERT_EQ(quirexsim::NullOperation(sim.get(), L"Document.Fields", -1), S_OK);
    EXPECT_EQ(Import(L"dup", L"x"), L"S_OK 0");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::ExportFieldValue, L"dup"), L"S_OK ");
    Disconnect();
    EXPECT_EQ(Export(L"dup"), Str(L""));
}

TEST_F(FormFields, TemplatesGoToTheHostUnchanged) {
    ASSERT_TRUE(Open(kFieldsDoc));
    const wchar_t* xml = L"<fields><field name=\"form.姓名\">李四</field></fields>";
    const std::wstring viaTemplate = Script(L"ImportTemplate", {VStr(xml)});
    EXPECT_EQ(viaTemplate, Script(L"ImportFieldValueByXML", {VStr(xml)})) << "both members are one behaviour";
    EXPECT_EQ(viaTemplate.rfind(L"VT_I4=", 0), 0u);
    EXPECT_EQ(JournalWith(L"Fields.ImportXml(0").size(), 2u);
    ASSERT_EQ(quirexsim::FailOperation(sim.get(), L"Fields.ImportXml", E_FAIL, -1), S_OK);
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::ImportTemplate, xml), L"S_OK 0") << "the reader refused it";
}

}  // namespace
