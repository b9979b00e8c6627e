// Watermarks through the DLL loaded by the reader simulator: the attributes and the
// per-page adds the reader receives.
#include "FamilyTestSupport.h"

#include <climits>
#include <functional>

using namespace testsupport;

namespace {

// Two pages of different sizes.
const char kTwoSizes[] = R"({"pages":[{"width":600,"height":800},{"width":1000,"height":500}]})";

using Watermarks = ConnectedComponent;
using F = IFoliumFun;

TEST_F(Watermarks, CentreFontSizeAndColourFollowThePagesAndTheScript) {
    Open(kTwoSizes);
    ASSERT_EQ(Call(&IFoliumFun::WateMark, 1, 2, L"0123456789", 50, 0, 45, VARIANT_TRUE, -1, -1), L"S_OK -1");
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
            {"WateMark", [&] { return Call(&F::WateMark, c.start, c.end, L"t", 50, 10, 45, VARIANT_TRUE, 1, 1); }},
            {"WaterMarkEx",
             [&] { return Call(&F::WaterMarkEx, c.start, c.end, L"t", 30, 10, 0, 0, 1, 2, L"", L"", 2, 3); }},
            {"ImageWaterMarkEx",
             [&] { return Call(&F::ImageWaterMarkEx, c.start, c.end, L"iVBORw0K", 80, 90, 0, 5, 6, L"", 1, L""); }},
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
    // A text without ":" is base64: the decoded bytes reach the reader; an address or an
    // existing file goes as text; a missing file is told; an empty text decodes to nothing.
    auto image = [](const std::wstring& text, const std::wstring& set) {
        const std::wstring call = L"ImageWaterMarkEx(2, 2, \"" + text + L"\", 80, 90, BOOL:0, 5, 6, \"logo\", 1, \"\")";
        if (set.empty()) return call + L" -> VT_BOOL=0";
        return call + L" -> VT_BOOL=-1 | Watermarks.SetImage(" + set + L") | Watermarks.SetOpacity(0.8) | " +
               L"Watermarks.SetRotation(90) | Watermarks.SetUnderlay(0) | Watermarks.AddImage(1, 1, 5, 6, \"logo\")";
    };
    const std::wstring address = L"https://example.test/logo.png", existing = WriteFixture("png", L".png");
    Steps({image(L"iVBORw0KGgo=", L"bytes[8]"), image(address, Quoted(address)), image(existing, Quoted(existing)),
           image(L"C:\\no\\such\\logo.png", L""), image(L"", L"")},
          {L"Watermarks."});
    EXPECT_EQ(CapturedOf(), Lines{L"MessageBoxW(null, \"文件不存在！\", \"Folium2018\", 16)"});
}

TEST_F(Watermarks, DeleteAndGrey) {
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::DelWaterMark, nullptr, nullptr), L"S_FALSE 1") << "no document";
    EXPECT_EQ(Early(fun.get(), &IFoliumFun::GrayDocument, nullptr), L"S_FALSE 7") << "left as it was";
    Open(R"({"pages":[{"watermarks":[{"name":"a"}]},{"watermarks":[{"name":"a"},{"name":"b"}]},{}]})");
    // DelWaterMark answers the last page's status: it had none. Greying ends with the reader's command.
    const Lines shown = {L"Watermarks.", L"Grayscale", L"Refresh", L"RunCommand"};
    Steps({L"DelWaterMark(\"a\", \"\") -> VT_I4=1 | Watermarks.DeleteByName(0, \"a\")"
           L" | Watermarks.DeleteByName(1, \"a\") | Watermarks.DeleteByName(2, \"a\") | PageView.Refresh()",
           L"GrayDocument(\"\") -> VT_I4=0 | Page.Grayscale() | Page.Grayscale() | Page.Grayscale()"
           L" | PageView.Refresh() | Application.RunCommand(5)"},
          shown);
    Open(R"({"type":"OFD","pages":[{"watermarks":[{"name":"a"}]}]})");
    Steps({L"DelWaterMark(\"a\", \"\") -> VT_I4=1"}, shown);
}

}  // namespace
