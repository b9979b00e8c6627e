#include "Base64.h"
#include "Base64Model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace folium {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

std::string Encode(std::string_view s, const Base64Table& t) {
    return EncodeBase64(s.data(), s.size(), t);
}

// The standard table with one character replaced.
Base64Table TableWith(std::size_t index, char c) {
    std::string text = kStandardBase64Table;
    text[index] = c;
    return Base64Table::Make(text).value();
}

// The standard alphabet shuffled, with "." as pad: a private table.
std::string PermutedTable() {
    std::string digits(kStandardBase64Table, 64);
    std::shuffle(digits.begin(), digits.end(), std::mt19937(7));
    return digits + ".";
}

TEST(Base64Table, StandardTableAndWhatMakeAccepts) {
    const Base64Table& t = Base64Table::Standard();
    EXPECT_EQ(std::string({t.Character(0), t.Character(26), t.Character(52), t.Character(62), t.Character(63),
                           t.Character(kBase64PadIndex)}),
              "Aa0+/=");
    EXPECT_EQ(Encode("abcd", t), "YWJjZA==");
    EXPECT_TRUE(t.IsAscii());
    EXPECT_FALSE(TableWith(64, '\xA1').IsAscii());

    const std::string standard = kStandardBase64Table;
    std::string nulPad = standard, nulDigit = standard;
    nulPad[64] = '\0';
    nulDigit[10] = '\0';
    const struct {
        std::string text;
        bool valid;
    } cases[] = {{"", false}, {"ABC", false}, {standard.substr(0, 64), false}, {nulPad, false}, {nulDigit, false},
                 {standard, true}, {standard + std::string(1, '\0'), true}, {standard + "!?", true}};
    for (const auto& c : cases) EXPECT_EQ(Base64Table::Make(c.text).has_value(), c.valid) << c.text.size();
    EXPECT_FALSE(Base64Table::Make(nullptr, 65).has_value());
    // Characters after the 65th are ignored: "!" decodes as an invalid character.
    auto tail = Base64Table::Make(standard + "!?");
    EXPECT_EQ(DecodeBase64("YW!j", *tail), ToBytes("a"));
}

// Null input gives nothing and leaves the output alone; a wide output widens each table
// character as unsigned.
TEST(Base64Encode, NullInputGivesNothingAndWideOutputWidensAsUnsigned) {
    char16_t out[8];
    const std::uint8_t zero[4] = {0, 0, 0, 0};
    ASSERT_EQ(EncodeBase64(zero, 4, TableWith(0, '\xE9'), out), 8u);
    EXPECT_TRUE(std::u16string(out, 8) == u"\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9==");
    EXPECT_EQ(EncodeBase64(nullptr, 10, Base64Table::Standard()), "");
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(EncodeBase64(nullptr, 3, Base64Table::Standard(), buffer), 0u);
    EXPECT_STREQ(buffer, "xxxxxxx");
    std::uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(DecodeBase64(nullptr, 8, Base64Table::Standard(), bytes), 0u);
    EXPECT_EQ(DecodeBase64("YWJj", 0, Base64Table::Standard(), bytes), 0u);
    EXPECT_EQ(bytes[0], 1);
}

// The group rule (Base64Model.h) on text that is not canonical, with the standard table, a private one, one with a
// high byte whose digit repeats (the first match wins) and one whose pad is a digit (it decodes as that digit):
// every group of four positions yields a byte, a pad or invalid character in the third or fourth position ends the
// group's bytes early, missing positions of a short last group count as pads, line feeds and NULs take positions.
// Decoded into a buffer of the promised maximum with guard bytes after it: the count returned, no write past it.
// The same bytes encode by the plain rule. Clean text of any length reaches the maximum.
TEST(Base64Decode, MatchesTheGroupRuleOnArbitraryTextAndWritesOnlyWhatItCounts) {
    // Digits mixed with pads, line breaks, spaces, NULs and high bytes.
    const std::string alphabet = std::string(kStandardBase64Table) + "\n\r \t.-_" + std::string("\0\x80\xFF", 3);
    std::string repeated = kStandardBase64Table, digitPad = kStandardBase64Table;
    repeated[10] = 'F';  // "F" decodes as 5, "K" is invalid
    repeated[20] = '\xA1';
    digitPad[64] = 'A';
    std::mt19937 random(3);
    for (const std::string& tableText : {std::string(kStandardBase64Table), PermutedTable(), repeated, digitPad}) {
        const Base64Table table = Base64Table::Make(tableText).value();
        for (int round = 0; round < 1000; ++round) {
            std::string text(random() % (round < 500 ? 40 : 400), '\0');
            // Mostly valid text, as real input is, with occasional junk.
            const unsigned junkRate = 1 + random() % 50;
            for (auto& ch : text)
                ch = (random() % junkRate == 0) ? alphabet[random() % alphabet.size()] : tableText[random() % 64];
            Bytes out(Base64DecodedMaxLength(text.size()) + 16, 0xAA);
            const std::size_t n = DecodeBase64(text.data(), text.size(), table, out.data());
            ASSERT_EQ(Bytes(out.begin(), out.begin() + n), model::Decode(text, tableText)) << text;
            ASSERT_TRUE(std::all_of(out.begin() + n, out.end(), [](auto b) { return b == 0xAA; })) << text;
            ASSERT_EQ(DecodeBase64(text, table), model::Decode(text, tableText)) << text;
            ASSERT_EQ(Encode(text, table), model::Encode(ToBytes(text), tableText)) << text;
        }
    }
    for (std::size_t length = 0; length < 40; ++length) {
        std::string clean;
        while (clean.size() < length) clean += "QUJD"[clean.size() % 4];
        EXPECT_LE(Base64DecodedMaxLength(length), length);
        EXPECT_EQ(DecodeBase64(clean).size(), Base64DecodedMaxLength(length)) << length;
    }
}

}  // namespace
}  // namespace folium
