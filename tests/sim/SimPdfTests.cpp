// Real PDF files in the simulator through the native tools: the bundled sample read
// through the object model, files it must refuse, and documents saved as PDF again.
#include "SimTestSupport.h"

using namespace simtest;

namespace {

using SimPdfTest = RealPdf;

TEST_F(SimPdfTest, TheSamplePdfOpensWithItsWordsFieldsAndSourceMarkers) {
    auto doc = Open(sample);
    ASSERT_TRUE(doc) << LastOpenError();
    EXPECT_EQ(L"", LastOpenError());
    // What the import wrote is checked in tests/pdf; here only that the model reads it.
    Expect(doc.get(), {{L"Pages.Count", L"VT_I4=3"},
                       {L"Pages.Item(1).Width", L"VT_R8=612"},
                       {L"Fields.Item(\"Signature1\").Widget.PageIndex", L"VT_I4=1"},
                       {L"Bookmarks.First.Next.Title", L"VT_BSTR=\"Signatures\""}});

    // Words where the generator drew them: baseline y, size above it, exact width.
    struct Case {
        const wchar_t* text;
        LONG page;
        double x1, y1, x2, y2;
    } cases[] = {
        {L"Contract", 1, 141.03, 778, 215.03, 760},
        {L"示例", 1, 130.9, 714, 158.9, 700},
        {L"page", 2, 156.66, 682, 178.26, 670},
    };
    ComPtr<IQxTextFinder> finder;
    doc->get_TextFinder(finder.put());
    for (auto& c : cases) {
        finder->put_Text(UniqueBstr(c.text).get());
        VARIANT_BOOL found = VARIANT_FALSE;
        EXPECT_EQ(S_OK, finder->FindNext(c.page, &found));
        ASSERT_EQ(VARIANT_TRUE, found) << c.text;
        ComPtr<IQxTextHit> hit;
        finder->get_Hit(hit.put());
        double box[4] = {};
        hit->get_X1(&box[0]);
        hit->get_Y1(&box[1]);
        hit->get_X2(&box[2]);
        hit->get_Y2(&box[3]);
        double want[4] = {c.x1, c.y1, c.x2, c.y2};
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(want[i], box[i], 1.0) << c.text << " edge " << i;
    }
    // Words of one line join with spaces, so a phrase is found too.
    finder->put_Text(UniqueBstr(L"Sample Contract").get());
    VARIANT_BOOL found = VARIANT_FALSE;
    finder->FindNext(1, &found);
    EXPECT_EQ(VARIANT_TRUE, found);

    // A page inserted from another PDF names that file and its index there.
    std::wstring other = dir + L"\\other.pdf";
    WriteUtf8(other, ReadBytes(sample));
    Expect(doc.get(), {{L"Pages.Insert(\"" + other + L"\", -1, \"2-2\")", L"VT_I4=1"}});

    // Saved as a fixture, the document still names its original and what came from it.
    LONG result = -1;
    std::wstring state = dir + L"\\state.json";
    doc->SaveCopyAs(UniqueBstr(state.c_str()).get(), 0, &result);
    EXPECT_EQ(0, result);
    std::string saved = ReadBytes(state);
    for (const char* marker : {"\"source\": \"", "\"source\": 0", "\"width\": ", "\"sep\": \" \"", "sample-contract.pdf",
                               "\"sourceFile\": \"", "other.pdf\""})
        EXPECT_NE(std::string::npos, saved.find(marker)) << marker;
}

// Files the reader refuses: Open answers S_OK and null, and the tool's reason is kept.
TEST_F(SimPdfTest, BadPdfFilesOpenAsNothingWithTheReason) {
    std::string whole = ReadBytes(sample);
    struct Case {
        const wchar_t* name;
        std::string bytes;
        const wchar_t* reason;
    } cases[] = {
        {L"garbage.pdf", "%PDF-1.7\nthis is no document\n", L"damaged PDF file"},
        {L"encrypted.pdf", ReadBytes(Env(L"FOLIUM_ENCRYPTED_PDF")), L"encrypted: password needed"},
        // The simulator's own limit (FOLIUM_PDF_MAX_PAGES, default 1,000) refuses it before any text is laid out.
        {L"long.pdf", ReadBytes(Env(L"FOLIUM_LONG_PDF")), L"too many pages: 2000 (at most 1000)"},
    };
    for (auto& c : cases) {
        ASSERT_FALSE(c.bytes.empty()) << c.name;
        std::wstring path = dir + L"\\" + c.name;
        WriteUtf8(path, c.bytes);
        EXPECT_FALSE(Open(path)) << c.name;
        EXPECT_EQ(c.reason, LastOpenError()) << c.name;
    }
    EXPECT_TRUE(Open(sample));
    EXPECT_EQ(L"", LastOpenError());
    // A Chinese file name with a space and a quote reaches the tool intact.
    std::wstring copy = dir + L"\\\u5408\u540c 'a'.pdf";
    WriteUtf8(copy, whole);
    EXPECT_TRUE(Open(copy)) << LastOpenError();

    // Documents.Open's password opens the encrypted one.
    auto doc = Open(Env(L"FOLIUM_ENCRYPTED_PDF"), L"\"user\"");
    ASSERT_TRUE(doc) << LastOpenError();
    Expect(doc.get(), {{L"Security.Kind", L"VT_I4=1"}, {L"Pages.Count", L"VT_I4=3"}});
}

// ---- saving: SaveAs and SaveCopyAs to a ".pdf" name write a real PDF through the export tool
// (what `./folium run` does, tests/pdf/run-test.sh; fixtures and other names are saved as
// fixtures: above, and files_demo.js); a failed export answers -1 with the tool's reason.

TEST_F(SimPdfTest, AFailedExportAnswersMinusOneWithTheReasonAndWritesNothing) {
    const std::wstring original = dir + L"\\original.pdf";  // a fresh copy of the sample for each row
    struct Case {
        const wchar_t* name;
        void (*spoil)(const std::wstring& original);
        std::wstring target;
        const wchar_t* reason;
    } cases[] = {
        {L"the original changed",
         [](const std::wstring& o) { WriteUtf8(o, ReadBytes(o) + "\n% appended\n"); }, L"\\out.pdf",
         L"has changed since it was imported"},
        {L"no such folder", [](const std::wstring&) {}, L"\\missing\\out.pdf", L""},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(S_OK, sim->Reset());
        ASSERT_TRUE(CopyFileW(sample.c_str(), original.c_str(), FALSE));
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
