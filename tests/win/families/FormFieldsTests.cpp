// Form fields by name and XML templates, against documents in the reader simulator.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

using F = IFoliumFun;
using FormFields = ConnectedComponent;

// Fields are found by their full name (their own name when that is empty), with case, the
// first in list order; an import answers the integer 1, not the automation true. Both
// template members hand the text to the reader unchanged.
TEST_F(FormFields, FoundByFullNameFirstMatchAndExactCaseAndTemplatesGoToTheHostUnchanged) {
    // Without a document or the reader's field list nothing is found: an empty text, not a null one.
    auto nothing = [&] {
        return Call(&F::ImportFieldValue, L"dup", L"x") + L" | " + Call(&F::ExportFieldValue, L"dup") + L" | " +
               Call(&F::ImportTemplate, L"<x/>");
    };
    EXPECT_EQ(nothing(), L"S_OK 0 | S_OK  | S_FALSE 0");
    ASSERT_TRUE(Open(R"({"type":"PDF","pages":[{"width":595,"height":842}],
     "fields":[{"name":"姓名","fullName":"form.姓名","value":"张三"},{"name":"dup","value":"first"},
               {"name":"dup","value":"second"},{"name":"short","fullName":"","value":"by own name"},
               {"name":"Case","value":"upper"}]})"));
    ASSERT_EQ(quirexsim::NullOperation(sim.get(), L"Document.Fields", -1), S_OK);
    EXPECT_EQ(nothing(), L"S_OK 0 | S_OK  | S_OK 0");
    sim->ClearFailures();
    Steps({L"ExportFieldValue(\"form.姓名\") -> VT_BSTR=\"张三\"", L"ExportFieldValue(\"姓名\") -> VT_BSTR=\"\"",
           L"ExportFieldValue(\"dup\") -> VT_BSTR=\"first\"", L"ExportFieldValue(\"short\") -> VT_BSTR=\"by own name\"",
           L"ExportFieldValue(\"case\") -> VT_BSTR=\"\"", L"ExportFieldValue(\"Case\") -> VT_BSTR=\"upper\"",
           L"ImportFieldValue(\"dup\", \"changed\") -> VT_BOOL=1 | Field.Value=\"changed\"",
           L"ImportFieldValue(\"DUP\", \"x\") -> VT_BOOL=0", L"ImportFieldValue(\"\", \"x\") -> VT_BOOL=0",
           L"reader.Documents.ActiveDocument.Fields.Item(2).Value -> VT_BSTR=\"second\"",
           L"ExportFieldValue(\"dup\") -> VT_BSTR=\"changed\"",
           L"ImportTemplate('<fields><field name=\"form.姓名\">李四</field></fields>') -> VT_I4=1"
           L" | Fields.ImportXml(0, \"<fields><field name=\\\"form.姓名\\\">李四</field></fields>\")",
           L"ImportFieldValueByXML('<field name=\"dup\">x</field>') -> VT_I4=2"
           L" | Fields.ImportXml(0, \"<field name=\\\"dup\\\">x</field>\")",
           L"ExportFieldValue(\"dup\") -> VT_BSTR=\"x\""},
          {L"Field.Value=", L"ImportXml"});
    const Lines typed = quirexsim::TypedJournal(sim.get());
    EXPECT_NE(std::find(typed.begin(), typed.end(), L"Fields.Item(VT_I2=0)"), typed.end()) << "short indexes";
    ASSERT_EQ(quirexsim::FailOperation(sim.get(), L"Fields.ImportXml", E_FAIL, -1), S_OK);
    EXPECT_EQ(Call(&F::ImportTemplate, L"<x/>"), L"S_OK 0") << "the reader refused it";
    EXPECT_EQ(fun->ExportFieldValue(nullptr, nullptr), E_POINTER);
}

}  // namespace
