// Real PDF files in the simulator through the native tools: the bundled sample read
// through the object model, files it must refuse, and documents saved as PDF again.
#include "SimTestSupport.h"

using namespace simtest;
using testsupport::ReadAll;
using testsupport::WriteAll;

namespace {

using SimPdfTest = RealPdf;

TEST_F(SimPdfTest, TheSamplePdfOpensWithItsWordsAndSourceMarkers) {
    auto doc = Open(sample);
    ASSERT_TRUE(doc) << Get(sim.get(), L"LastOpenError");
    // Words where the generator drew them, each as the finder's hit: found, then the box from the
    // start of the baseline, the size above it and the exact width. Words of one line join with
    // spaces, lines with line breaks; field values are drawn by the widgets, not page text.
    auto find = [&](const std::wstring& text, const wchar_t* page) {
        Get(doc.get(), L"TextFinder.Text=\"" + text + L"\"");
        std::wstring out = Get(doc.get(), L"TextFinder.FindNext(" + std::wstring(page) + L")");
        if (out != L"VT_BOOL=-1") return out;
        for (const wchar_t* edge : {L"X1", L"Y1", L"X2", L"Y2"})
            out += L" " + Get(doc.get(), L"TextFinder.Hit." + std::wstring(edge));
        return out;
    };
    EXPECT_EQ(L"VT_BOOL=-1 VT_R8=72 VT_R8=778 VT_R8=215.028 VT_R8=760", find(L"Sample Contract", L"1"));
    EXPECT_EQ(L"VT_BOOL=-1 VT_R8=141.03 VT_R8=778 VT_R8=215.028 VT_R8=760", find(L"Contract", L"1"));
    EXPECT_EQ(L"VT_BOOL=-1 VT_R8=262.752 VT_R8=742 VT_R8=297.432 VT_R8=730", find(L"below.", L"1"));
    EXPECT_EQ(L"VT_BOOL=-1 VT_R8=72 VT_R8=714 VT_R8=128 VT_R8=700", find(L"合同编号", L"1"));
    EXPECT_EQ(L"VT_BOOL=-1 VT_R8=130.898 VT_R8=714 VT_R8=186.898 VT_R8=700", find(L"示例文本", L"1"));
    EXPECT_EQ(L"VT_BOOL=-1 VT_R8=72 VT_R8=682 VT_R8=108 VT_R8=670", find(L"签名页", L"2"));
    EXPECT_EQ(L"VT_BOOL=-1 VT_R8=72 VT_R8=512 VT_R8=122.028 VT_R8=500", find(L"Appendix", L"3"))
        << "a turned page keeps its own coordinates";
    EXPECT_EQ(L"VT_BOOL=-1 VT_R8=72 VT_R8=742 VT_R8=297.432 VT_R8=700", find(L"below.\n合同编号", L"1"));
    EXPECT_EQ(L"VT_BOOL=0", find(L"Alice", L"1"));

    // A page inserted from another PDF names that file and its index there; saved as a fixture,
    // the document still names its original and what came from it.
    const std::wstring other = dir + L"\\other.pdf", state = dir + L"\\state.json";
    ASSERT_TRUE(WriteAll(other, ReadAll(sample)));
    Expect(doc.get(), {{L"Pages.Insert(\"" + other + L"\", -1, \"2-2\")", L"VT_I4=1"},
                       {L"SaveCopyAs(\"" + state + L"\", 0)", L"VT_I4=0"}});
    const std::string saved = ReadAll(state);
    for (const char* marker : {"\"source\": \"", "\"source\": 0", "\"width\": ", "\"sep\": \" \"", "sample-contract.pdf",
                               "\"sourceFile\": \"", "other.pdf\""})
        EXPECT_NE(std::string::npos, saved.find(marker)) << marker;
}

// Files the reader refuses: Open answers S_OK and null, and the tool's reason is kept.
TEST_F(SimPdfTest, BadPdfFilesOpenAsNothingWithTheReason) {
    const struct {
        const wchar_t* name;
        std::string bytes;
        const wchar_t* reason;
    } cases[] = {
        {L"garbage.pdf", "%PDF-1.7\nthis is no document\n", L"VT_BSTR=\"damaged PDF file\""},
        {L"encrypted.pdf", ReadAll(Env(L"FOLIUM_ENCRYPTED_PDF")), L"VT_BSTR=\"encrypted: password needed\""},
        // The simulator's own limit (FOLIUM_PDF_MAX_PAGES, default 1,000) refuses it before any text is laid out.
        {L"long.pdf", ReadAll(Env(L"FOLIUM_LONG_PDF")), L"VT_BSTR=\"too many pages: 2000 (at most 1000)\""},
        // A Chinese file name with a space and a quote reaches the tool intact.
        {L"\u5408\u540c 'a'.pdf", ReadAll(sample), L"VT_BSTR=\"\""},
    };
    for (auto& c : cases) {
        ASSERT_FALSE(c.bytes.empty()) << c.name;
        const std::wstring path = dir + L"\\" + c.name;
        ASSERT_TRUE(WriteAll(path, c.bytes));
        EXPECT_EQ(c.reason == std::wstring(L"VT_BSTR=\"\""), bool(Open(path))) << c.name;
        EXPECT_EQ(c.reason, Get(sim.get(), L"LastOpenError")) << c.name;
    }
    // Documents.Open's password opens the encrypted one.
    auto doc = Open(Env(L"FOLIUM_ENCRYPTED_PDF"), L"\"user\"");
    ASSERT_TRUE(doc) << Get(sim.get(), L"LastOpenError");
    Expect(doc.get(), {{L"Security.Kind", L"VT_I4=1"}, {L"Pages.Count", L"VT_I4=3"}});
}

// ---- saving: SaveAs and SaveCopyAs to a ".pdf" name write a real PDF through the export tool
// (what `./folium run` does, tests/pdf/run-test.sh; other names are saved as fixtures: above);
// a failed export answers -1 with the tool's reason.

TEST_F(SimPdfTest, AFailedExportAnswersMinusOneWithTheReasonAndWritesNothing) {
    const std::wstring original = dir + L"\\original.pdf", out = dir + L"\\out.pdf";
    ASSERT_TRUE(CopyFileW(sample.c_str(), original.c_str(), FALSE));
    auto doc = Open(original);
    ASSERT_TRUE(doc);
    EXPECT_EQ(L"VT_I4=-1", Get(doc.get(), L"SaveAs(\"" + dir + L"\\missing\\out.pdf\")"));
    EXPECT_NE(L"VT_BSTR=\"\"", Get(sim.get(), L"LastSaveError")) << "no such folder";
    ASSERT_TRUE(WriteAll(original, ReadAll(original) + "\n% appended\n"));
    EXPECT_EQ(L"VT_I4=-1", Get(doc.get(), L"SaveAs(\"" + out + L"\")"));
    EXPECT_NE(std::wstring::npos, Get(sim.get(), L"LastSaveError").find(L"has changed since it was imported"));
    EXPECT_FALSE(testsupport::Exists(out));
}

}  // namespace
