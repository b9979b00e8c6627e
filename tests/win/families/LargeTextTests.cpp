// Whole-document texts of hundreds of thousands of characters, written piece by piece
// into a result that is resized as it grows (estimated from the first pieces, then
// shrunk to its length): whatever the lengths of the pieces, the text a script gets
// is whole and exact.
#include "FamilyTestSupport.h"

using namespace testsupport;

namespace {

class LargeText : public ConnectedComponent {};

// n characters that differ from page to page, so a piece written at the wrong place shows.
std::string PageText(size_t page, size_t n) {
    std::string text = "<" + std::to_string(page) + ">";
    while (text.size() < n) text += static_cast<char>('a' + (page + text.size()) % 26);
    text.resize(n);
    return text;
}

TEST_F(LargeText, ContentTextIsWholeWhateverTheLengthsOfThePieces) {
    const struct {
        const char* name;
        size_t pages, firstChars, laterChars, laterFrom;
    } cases[] = {
        {"short pages first: the estimate falls short", 3000, 6, 400, 200},
        {"long pages first: the estimate overshoots", 3000, 400, 6, 200},
        {"one huge page last", 800, 12, 300000, 799},
        {"empty pages, then text", 3000, 0, 100, 1500},
    };
    for (const auto& c : cases) {
        std::string json = "{\"pages\":[";
        std::wstring expected;
        for (size_t p = 0; p < c.pages; ++p) {
            const std::string text = PageText(p, p < c.laterFrom ? c.firstChars : c.laterChars);
            json += (p ? ",{\"text\":\"" : "{\"text\":\"") + text + "\"}";
            expected.append(text.begin(), text.end());
        }
        Open(json + "]}");
        const std::wstring got = Script(L"ContentText");
        EXPECT_TRUE(got == Str(expected)) << c.name << ": " << got.size() << " characters described, "
                                          << Str(expected).size() << " expected";
    }
}

}  // namespace
