// Watermarks through the DLL loaded by the reader simulator: the attributes and the
// per-page adds the reader receives, and the watermarks its document keeps.
#include "FamilyTestSupport.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

// Two pages of different sizes.
const char kTwoSizes[] = R"({"pages":[{"width":600,"height":800},{"width":1000,"height":500}]})";

class Watermarks : public ConnectedComponent {
protected:
    Lines WatermarkCalls() { return JournalWith(L"Watermarks."); }
    bool AnyAdd() { return !JournalWith(L"Watermarks.Add").empty(); }
    // The active document as the reader would save it.
    std::string Saved(IQxDocument* doc) {
        Quiet q(sim.get());
        wchar_t file[MAX_PATH];
        GetTempFileNameW(TempFolder().c_str(), L"wm", 0, file);
        tempFiles.push_back(file);
        LONG r = -1;
        doc->SaveAs(UniqueBstr(file).get(), &r);
        return ReadAll(file);
    }
    HRESULT Text(LONG start, LONG end, const wchar_t* text, LONG fontSize, LONG x, LONG y, VARIANT_BOOL* r) {
        return fun->WateMark(start, end, UniqueBstr(text).get(), 50, fontSize, 45, VARIANT_TRUE, x, y, r);
    }
    HRESULT TextEx(LONG start, LONG end, const wchar_t* text, LONG fontSize, const wchar_t* color, VARIANT_BOOL* r) {
        return fun->WaterMarkEx(start, end, UniqueBstr(text).get(), 30, fontSize, 0, VARIANT_FALSE, 10, 20,
                                UniqueBstr(L"mark").get(), color ? UniqueBstr(color).get() : nullptr, 2, 3, r);
    }
    HRESULT Image(LONG start, LONG end, const wchar_t* image, VARIANT_BOOL* r) {
        return fun->ImageWaterMarkEx(start, end, UniqueBstr(image).get(), 80, 90, VARIANT_FALSE, 5, 6,
                                     UniqueBstr(L"logo").get(), 1, nullptr, r);
    }
};

TEST_F(Watermarks, CentreAndFontSizeFollowThePages) {
    Open(kTwoSizes);
    VARIANT_BOOL r = VARIANT_FALSE;
    EXPECT_EQ(Got(Text(1, 2, L"0123456789", 0, -1, -1, &r), &r), Want(S_OK, VARIANT_TRUE));
    EXPECT_EQ(WatermarkCalls(), (Lines{
                                    L"Watermarks.SetText(\"0123456789\")", L"Watermarks.SetOpacity(0.5)",
                                    L"Watermarks.SetRotation(45)", L"Watermarks.SetColor(123)",
                                    L"Watermarks.SetUnderlay(-1)",
                                    L"Watermarks.SetFontSize(60)", L"Watermarks.AddTextAt(0, 300, 400)",
                                    // the first page's centre is kept
                                    L"Watermarks.SetFontSize(100)", L"Watermarks.AddTextAt(1, 300, 400)"}));
    EXPECT_TRUE(Journaled(L"PageView.Refresh()"));

    // Named watermarks: the spread size is capped at 72, a given size too.
    struct Case {
        LONG fontSize;
        Lines sizes;
    };
    for (const Case& c : {Case{0, {L"60", L"72"}}, Case{80, {L"72", L"72"}}, Case{12, {L"12", L"12"}}}) {
        sim->ClearJournal();
        EXPECT_EQ(Got(TextEx(1, 2, L"0123456789", c.fontSize, nullptr, &r), &r), Want(S_OK, VARIANT_TRUE));
        Lines sizes;
        for (auto& l : WatermarkCalls())
            if (l.rfind(L"Watermarks.SetFontSize(", 0) == 0) sizes.push_back(l.substr(23, l.size() - 24));
        EXPECT_EQ(sizes, c.sizes) << "font size " << c.fontSize;
        EXPECT_TRUE(Journaled(L"Watermarks.AddTextEx(1, 2, 10, 20, 3, \"mark\")"));
    }
}

TEST_F(Watermarks, ColourText) {
    Open(kTwoSizes);
    struct Case {
        const wchar_t* text;
        LONG color;
    };
    const Case cases[] = {
        {L"#FF0000", 255}, {L"#0000FF", 16711680}, {nullptr, 123},  {L"#00ff00", 65280},
        {L"#12", 18},      {L"red", 0},            {L"#GG00FF", 0}, {L"#102030", 0x302010},
    };
    for (const auto& c : cases) {
        sim->ClearJournal();
        VARIANT_BOOL r = VARIANT_FALSE;
        ASSERT_EQ(TextEx(1, 1, L"x", 10, c.text, &r), S_OK);
        EXPECT_TRUE(Journaled(L"Watermarks.SetColor(" + std::to_wstring(c.color) + L")"))
            << testing::PrintToString(std::wstring(c.text ? c.text : L"(null)"));
    }
}

TEST_F(Watermarks, SealedDocumentsAndBadRangesGetNone) {
    const std::string sealedByAnnotation =
        R"({"pages":[{},{"annotations":[{"kind":12,"type":"Brimwell:AddSeal"}]}]})";
    const std::string sealedBySignature =
        R"({"pages":[{},{}],"fields":[{"name":"S","fullName":"S","kind":6,"signed":true,"widget":{"page":0}}]})";
    const std::string notEditable = R"({"permissions":{"1":false},"pages":[{},{}]})";
    struct Case {
        std::string document;
        LONG start, end;
        bool imageOnly;  // only the image member is refused
    };
    const Case cases[] = {
        {sealedByAnnotation, 1, 1, false}, {sealedBySignature, 1, 2, false}, {notEditable, 1, 2, true},
        {kTwoSizes, 0, 1, false},          {kTwoSizes, 1, 3, false},         {kTwoSizes, 2, 1, false},
        {kTwoSizes, -2147483647 - 1, 2147483647, false},
    };
    for (const auto& c : cases) {
        Open(c.document);
        std::vector<std::pair<const char*, std::function<HRESULT(VARIANT_BOOL*)>>> members = {
            {"WateMark", [&](VARIANT_BOOL* r) { return Text(c.start, c.end, L"t", 10, 1, 1, r); }},
            {"WaterMarkEx", [&](VARIANT_BOOL* r) { return TextEx(c.start, c.end, L"t", 10, L"#000000", r); }},
            {"ImageWaterMarkEx", [&](VARIANT_BOOL* r) { return Image(c.start, c.end, L"iVBORw0K", r); }},
        };
        for (auto& [name, call] : members) {
            bool refused = !c.imageOnly || std::string(name) == "ImageWaterMarkEx";
            sim->ClearJournal();
            VARIANT_BOOL r = VARIANT_TRUE;
            EXPECT_EQ(Got(call(&r), &r), refused ? Want(S_FALSE, VARIANT_FALSE) : Want(S_OK, VARIANT_TRUE))
                << name << " " << c.start << "-" << c.end;
            EXPECT_EQ(AnyAdd(), !refused) << name << " " << c.document;
        }
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        docs->Close(*ScopedVariant::Missing().get());
    }
}

TEST_F(Watermarks, ImagesByBytesPathOrAddress) {
    auto doc = Open(kTwoSizes);
    CaptureImports();
    VARIANT_BOOL r = VARIANT_FALSE;
    // A text without ":" is base64: the decoded bytes reach the reader.
    EXPECT_EQ(Got(Image(1, 2, L"iVBORw0KGgo=", &r), &r), Want(S_OK, VARIANT_TRUE));
    EXPECT_TRUE(Journaled(L"Watermarks.SetImage(bytes[8])"));
    EXPECT_TRUE(Journaled(L"Watermarks.AddImage(1, 1, 5, 6, \"logo\")"));
    std::string saved = Saved(doc.get());
    EXPECT_NE(saved.find("\"image\": \"base64:iVBORw0KGgo=\""), std::string::npos) << saved;

    sim->ClearJournal();
    ASSERT_EQ(Image(1, 1, L"https://example.test/logo.png", &r), S_OK);
    EXPECT_TRUE(Journaled(L"Watermarks.SetImage(\"https://example.test/logo.png\")"));

    std::wstring existing = WriteFixture("png", L".png");
    sim->ClearJournal();
    EXPECT_EQ(Got(Image(2, 2, existing.c_str(), &r), &r), Want(S_OK, VARIANT_TRUE));

    // A path cut short by a NUL names another file: refused before anything is asked.
    sim->ClearJournal();
    std::wstring cut = existing + std::wstring(1, L'\0') + L"other.png";
    EXPECT_EQ(fun->ImageWaterMarkEx(1, 1, UniqueBstr(cut.c_str(), static_cast<UINT>(cut.size())).get(), 80, 0, 0, 0, 0,
                                    nullptr, 0, nullptr, &r),
              S_FALSE);
    EXPECT_TRUE(JournalLines().empty());

    sim->ClearJournal();
    sim->ClearCaptured();
    EXPECT_EQ(Got(Image(1, 1, L"C:\\no\\such\\logo.png", &r), &r), Want(S_FALSE, VARIANT_FALSE));
    EXPECT_FALSE(AnyAdd());
    EXPECT_EQ(CapturedOf(), Lines{L"MessageBoxW(null, \"文件不存在！\", \"Folium2018\", 16)"});

    // Empty text decodes to nothing.
    EXPECT_EQ(Got(fun->ImageWaterMarkEx(1, 1, nullptr, 80, 0, 0, 0, 0, nullptr, 0, nullptr, &r), &r),
              Want(S_FALSE, VARIANT_FALSE));
}

TEST_F(Watermarks, DeleteAndGrey) {
    auto doc = Open(R"({"pages":[{"watermarks":[{"name":"a"}]},{"watermarks":[{"name":"a"},{"name":"b"}]},{}]})");
    LONG v = 9;
    EXPECT_EQ(Got(fun->DelWaterMark(UniqueBstr(L"a").get(), nullptr, &v), &v), Want(S_OK, 1))
        << "the last page's status: it had none";
    EXPECT_EQ(WatermarkCalls(), (Lines{L"Watermarks.DeleteByName(0, \"a\")",
                                                           L"Watermarks.DeleteByName(1, \"a\")",
                                                           L"Watermarks.DeleteByName(2, \"a\")"}));
    std::string saved = Saved(doc.get());
    EXPECT_EQ(saved.find("\"name\": \"a\""), std::string::npos);
    EXPECT_NE(saved.find("\"name\": \"b\""), std::string::npos);

    sim->ClearJournal();
    LONG g = 9;
    EXPECT_EQ(Got(fun->GrayDocument(nullptr, &g), &g), Want(S_OK, 0));
    auto lines = JournalLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), L"Page.Grayscale()"), 3);
    EXPECT_EQ(lines.back(), L"Application.RunCommand(5)");

    auto ofd = Open(R"({"type":"OFD","pages":[{"watermarks":[{"name":"a"}]}]})");
    v = 9;
    EXPECT_EQ(Got(fun->DelWaterMark(UniqueBstr(L"a").get(), nullptr, &v), &v), Want(S_FALSE, 1));
    EXPECT_TRUE(WatermarkCalls().empty());
}

TEST_F(Watermarks, NothingWithoutADocument) {
    VARIANT_BOOL r = VARIANT_TRUE;
    LONG v = 9;
    EXPECT_EQ(Text(1, 1, L"t", 0, -1, -1, &r), S_FALSE);
    EXPECT_EQ(r, VARIANT_FALSE);
    EXPECT_EQ(fun->DelWaterMark(nullptr, nullptr, &v), S_FALSE);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(fun->GrayDocument(nullptr, &v), S_FALSE);
    EXPECT_EQ(v, 1) << "left as it was";
    EXPECT_TRUE(WatermarkCalls().empty());
}

}  // namespace
