// Watermarks through the DLL loaded by the reader simulator: the attributes and the
// per-page adds the reader receives.
#include "FamilyTestSupport.h"

#include <climits>
#include <functional>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

// Two pages of different sizes.
const char kTwoSizes[] = R"({"pages":[{"width":600,"height":800},{"width":1000,"height":500}]})";

class Watermarks : public ConnectedComponent {
protected:
    std::wstring Text(LONG start, LONG end, const wchar_t* text, LONG fontSize, LONG x, LONG y) {
        return Early(fun.get(), &IFoliumFun::WateMark, start, end, text, 50, fontSize, 45, VARIANT_TRUE, x, y);
    }
    std::wstring TextEx(LONG start, LONG end, const wchar_t* text, LONG fontSize, const wchar_t* color) {
        return Early(fun.get(), &IFoliumFun::WaterMarkEx, start, end, text, 30, fontSize, 0, VARIANT_FALSE, 10, 20,
                     L"mark", color, 2, 3);
    }
    std::wstring Image(LONG start, LONG end, const wchar_t* image) {
        return Early(fun.get(), &IFoliumFun::ImageWaterMarkEx, start, end, image, 80, 90, VARIANT_FALSE, 5, 6, L"logo",
                     1, nullptr);
    }
};

TEST_F(Watermarks, CentreFontSizeAndColourFollowThePagesAndTheScript) {
    Open(kTwoSizes);
    ASSERT_EQ(Text(1, 2, L"0123456789", 0, -1, -1), L"S_OK -1");
    EXPECT_EQ(JournalShown({L"Watermarks.", L"Refresh()"}),
              L" | Watermarks.SetText(\"0123456789\") | Watermarks.SetOpacity(0.5) | Watermarks.SetRotation(45)"
              L" | Watermarks.SetColor(123) | Watermarks.SetUnderlay(-1) | Watermarks.SetFontSize(60)"
              L" | Watermarks.AddTextAt(0, 300, 400) | Watermarks.SetFontSize(100)"
              L" | Watermarks.AddTextAt(1, 300, 400) | PageView.Refresh()");  // the first page's centre is kept

    // Named watermarks: the spread size is capped at 72, a given size too; "#RRGGBB" has red in
    // the low byte, what cannot be read stays 0.
    auto named = [](LONG size, const wchar_t* colour, LONG value, LONG first, LONG second) {
        return L"WaterMarkEx(1, 2, \"0123456789\", 30, " + std::to_wstring(size) +
               L", 0, BOOL:0, 10, 20, \"mark\", \"" + colour + L"\", 2, 3) -> VT_BOOL=-1 | Watermarks.SetColor(" +
               std::to_wstring(value) + L") | Watermarks.SetFontSize(" + std::to_wstring(first) +
               L") | Watermarks.SetFontSize(" + std::to_wstring(second) + L")";
    };
    Steps({named(0, L"", 123, 60, 72), named(80, L"#FF0000", 255, 72, 72), named(12, L"#0000FF", 16711680, 12, 12),
           named(12, L"#00ff00", 65280, 12, 12), named(12, L"#12", 18, 12, 12), named(12, L"red", 0, 12, 12),
           named(12, L"#GG00FF", 0, 12, 12), named(12, L"#102030", 0x302010, 12, 12)},
          {L"SetColor(", L"SetFontSize("});
    EXPECT_TRUE(Journaled(L"Watermarks.AddTextEx(1, 2, 10, 20, 3, \"mark\")"));
}

TEST_F(Watermarks, SealedDocumentsBadRangesAndNoDocumentGetNone) {
    const std::string sealedByAnnotation = R"({"pages":[{},{"annotations":[{"kind":12,"type":"Brimwell:AddSeal"}]}]})";
    const std::string sealedBySignature =
        R"({"pages":[{},{}],"fields":[{"name":"S","fullName":"S","kind":6,"signed":true,"widget":{"page":0}}]})";
    const struct {
        std::string document;  // "": none open
        LONG start, end;
        bool imageOnly;  // only the image member is refused
    } cases[] = {
        {"", 1, 1, false},
        {sealedByAnnotation, 1, 1, false}, {sealedBySignature, 1, 2, false},
        {R"({"permissions":{"1":false},"pages":[{},{}]})", 1, 2, true},
        {kTwoSizes, 0, 1, false}, {kTwoSizes, 1, 3, false}, {kTwoSizes, 2, 1, false},
        {kTwoSizes, INT_MIN, INT_MAX, false},
    };
    for (const auto& c : cases) {
        if (!c.document.empty()) Open(c.document);
        const std::pair<const char*, std::function<std::wstring()>> members[] = {
            {"WateMark", [&] { return Text(c.start, c.end, L"t", 10, 1, 1); }},
            {"WaterMarkEx", [&] { return TextEx(c.start, c.end, L"t", 10, L"#000000"); }},
            {"ImageWaterMarkEx", [&] { return Image(c.start, c.end, L"iVBORw0K"); }},
        };
        for (auto& [name, call] : members) {
            bool refused = !c.imageOnly || std::string(name) == "ImageWaterMarkEx";
            sim->ClearJournal();
            EXPECT_EQ(call(), refused ? L"S_FALSE 0" : L"S_OK -1")
                << name << " " << c.start << "-" << c.end << " " << c.document;
            EXPECT_EQ(JournalWith(L"Watermarks.Add").empty(), refused) << name << " " << c.document;
        }
    }
}

TEST_F(Watermarks, ImagesByBytesPathOrAddress) {
    Open(kTwoSizes);
    CaptureImports();
    // A text without ":" is base64: the decoded bytes reach the reader.
    ASSERT_EQ(Image(1, 2, L"iVBORw0KGgo="), L"S_OK -1");
    EXPECT_EQ(JournalWith(L"Watermarks.SetImage"), Lines{L"Watermarks.SetImage(bytes[8])"});
    EXPECT_TRUE(Journaled(L"Watermarks.AddImage(1, 1, 5, 6, \"logo\")"));
    // An address or an existing file goes as text.
    std::wstring existing = WriteFixture("png", L".png");
    for (const std::wstring& text : {std::wstring(L"https://example.test/logo.png"), existing}) {
        sim->ClearJournal();
        ASSERT_EQ(Image(2, 2, text.c_str()), L"S_OK -1");
        EXPECT_EQ(JournalWith(L"Watermarks.SetImage"), Lines{L"Watermarks.SetImage(" + Quoted(text) + L")"});
    }
    // A missing file is told; an empty text decodes to nothing.
    sim->ClearJournal();
    EXPECT_EQ(Image(1, 1, L"C:\\no\\such\\logo.png"), L"S_FALSE 0");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::ImageWaterMarkEx, 1, 1, nullptr, 80, 0, 0, 0, 0, nullptr, 0, nullptr),
              L"S_FALSE 0");
    EXPECT_TRUE(JournalWith(L"Watermarks.").empty());
    EXPECT_EQ(CapturedOf(), Lines{L"MessageBoxW(null, \"文件不存在！\", \"Folium2018\", 16)"});
}

TEST_F(Watermarks, DeleteAndGrey) {
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::DelWaterMark, nullptr, nullptr), L"S_FALSE 1") << "no document";
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::GrayDocument, nullptr), L"S_FALSE 7") << "left as it was";
    Open(R"({"pages":[{"watermarks":[{"name":"a"}]},{"watermarks":[{"name":"a"},{"name":"b"}]},{}]})");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::DelWaterMark, L"a", nullptr), L"S_OK 1")
        << "the last page's status: it had none";
    EXPECT_EQ(JournalWith(L"Watermarks."), (Lines{L"Watermarks.DeleteByName(0, \"a\")",
                                                  L"Watermarks.DeleteByName(1, \"a\")",
                                                  L"Watermarks.DeleteByName(2, \"a\")"}));

    sim->ClearJournal();
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::GrayDocument, nullptr), L"S_OK 0");
    EXPECT_EQ(JournalWith(L"Page.Grayscale()").size(), 3u);
    EXPECT_EQ(JournalLines().back(), L"Application.RunCommand(5)");

    Open(R"({"type":"OFD","pages":[{"watermarks":[{"name":"a"}]}]})");
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::DelWaterMark, L"a", nullptr), L"S_FALSE 1") << "OFD";
    EXPECT_TRUE(JournalWith(L"Watermarks.").empty());
}

}  // namespace
