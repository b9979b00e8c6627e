// Saving a document read from a real PDF: SaveAs and SaveCopyAs to a ".pdf" name write a
// real PDF through the export tool, which opens again with the changes; fixtures and other
// names are saved as fixtures; a failed export answers -1 with the tool's reason.
#include "SimTestSupport.h"

using namespace simtest;

namespace {

class SimPdfSave : public RealPdf {
protected:
    void SetUp() override {
        RealPdf::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        original = dir + L"\\original.pdf";  // a copy the tests may change or delete
        ASSERT_TRUE(CopyFileW(sample.c_str(), original.c_str(), FALSE));
    }
    std::wstring original;
};

// SaveCopyAs with every kind of change is what `./folium run` does (tests/pdf/run-test.sh).
TEST_F(SimPdfSave, SaveAsWritesAPdfThatOpensAgainWithTheChanges) {
    auto doc = Open(original);
    ASSERT_TRUE(doc);
    const std::wstring out = dir + L"\\saved.pdf";
    Expect(doc.get(), {{L"Fields.Item(\"Seller\").Value=\"Wei Wang\"", L""},
                       {L"Pages.Delete(\"2-2\")", L"VT_I4=0"},
                       {L"SaveAs(\"" + out + L"\")", L"VT_I4=0"}});
    EXPECT_EQ(L"", LastSaveError());
    EXPECT_EQ("%PDF", ReadBytes(out).substr(0, 4));
    ASSERT_EQ(S_OK, sim->Reset());  // else Open answers the document still open under that name
    auto again = Open(out);
    ASSERT_TRUE(again);
    Expect(again.get(), {{L"Pages.Count", L"VT_I4=2"}, {L"Fields.Item(\"Seller\").Value", L"VT_BSTR=\"Wei Wang\""}});
}

TEST_F(SimPdfSave, AFixtureOrANameOtherThanPdfIsSavedAsAFixture) {
    std::wstring fixture = dir + L"\\plain.pdf";
    WriteUtf8(fixture, "{\"pages\": [{\"text\": \"plain\"}]}");
    struct Case {
        std::wstring open, save;
    } cases[] = {{fixture, dir + L"\\plain-copy.pdf"}, {original, dir + L"\\state.json"}};
    for (auto& c : cases) {
        ASSERT_EQ(S_OK, sim->Reset());
        auto doc = Open(c.open);
        ASSERT_TRUE(doc);
        EXPECT_EQ(L"VT_I4=0", Get(doc.get(), L"SaveCopyAs(\"" + c.save + L"\", 0)"));
        EXPECT_EQ('{', ReadBytes(c.save).substr(0, 1)[0]) << c.save;
    }
}

TEST_F(SimPdfSave, AFailedExportAnswersMinusOneWithTheReasonAndWritesNothing) {
    struct Case {
        const wchar_t* name;
        void (*spoil)(const std::wstring& original);
        std::wstring target;
        const wchar_t* reason;
    } cases[] = {
        {L"the original is gone", [](const std::wstring& o) { DeleteFileW(o.c_str()); }, L"\\out.pdf",
         L"cannot be read"},
        {L"the original changed",
         [](const std::wstring& o) { WriteUtf8(o, ReadBytes(o) + "\n% appended\n"); }, L"\\out.pdf",
         L"has changed since it was imported"},
        {L"no such folder", [](const std::wstring&) {}, L"\\missing\\out.pdf", L""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(S_OK, sim->Reset());
        ASSERT_TRUE(CopyFileW(Env(L"FOLIUM_SAMPLE_PDF").c_str(), original.c_str(), FALSE));
        auto doc = Open(original);
        ASSERT_TRUE(doc);
        c.spoil(original);
        std::wstring out = dir + c.target;
        EXPECT_EQ(L"VT_I4=-1", Get(doc.get(), L"SaveAs(\"" + out + L"\")"));
        EXPECT_NE(std::wstring::npos, LastSaveError().find(c.reason)) << LastSaveError();
        EXPECT_FALSE(LastSaveError().empty());
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(out.c_str()));
    }
}

}  // namespace
