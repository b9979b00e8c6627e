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

std::string Encode(std::string_view s, const Base64Table& t = Base64Table::Standard()) {
    return EncodeBase64(s.data(), s.size(), t);
}

Bytes RandomBytes(std::mt19937& random, std::size_t n) {
    Bytes bytes(n);
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(random));
    return bytes;
}

// The standard alphabet shuffled, with "." as pad: a private table.
std::string PermutedTable() {
    std::string digits(kStandardBase64Table, 64);
    std::shuffle(digits.begin(), digits.end(), std::mt19937(7));
    return digits + ".";
}

// ---------------------------------------------------------------------------
// Tables

TEST(Base64Table, StandardTableIsTheRfc4648AlphabetWithEqualsPad) {
    const Base64Table& t = Base64Table::Standard();
    EXPECT_EQ(t.Character(0), 'A');
    EXPECT_EQ(t.Character(26), 'a');
    EXPECT_EQ(t.Character(52), '0');
    EXPECT_EQ(t.Character(62), '+');
    EXPECT_EQ(t.Character(63), '/');
    EXPECT_EQ(t.Character(kBase64PadIndex), '=');
    EXPECT_TRUE(t.IsAscii());
}

TEST(Base64Table, RejectsNullAndShortTables) {
    EXPECT_FALSE(Base64Table::Make(nullptr, 65).has_value());
    EXPECT_FALSE(Base64Table::Make(std::string_view()).has_value());
    EXPECT_FALSE(Base64Table::Make(std::string_view(kStandardBase64Table, 64)).has_value());
    EXPECT_FALSE(Base64Table::Make("ABC").has_value());
    EXPECT_TRUE(Base64Table::Make(std::string_view(kStandardBase64Table, 65)).has_value());
}

TEST(Base64Table, RejectsANulInsideTheFirst65Characters) {
    std::string text(kStandardBase64Table);
    text[64] = '\0';
    EXPECT_FALSE(Base64Table::Make(text).has_value());
    text = kStandardBase64Table;
    text[10] = '\0';
    EXPECT_FALSE(Base64Table::Make(text).has_value());
    // A NUL after the table proper does no harm.
    text = std::string(kStandardBase64Table) + std::string(1, '\0');
    EXPECT_TRUE(Base64Table::Make(text).has_value());
}

TEST(Base64Table, IgnoresCharactersAfterThe65th) {
    auto t = Base64Table::Make(std::string(kStandardBase64Table) + "!?");
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(Encode("a", *t), "YQ==");
    // "!" is only in the ignored tail, so it decodes as a pad position.
    EXPECT_EQ(DecodeBase64("YW!j", *t), DecodeBase64("YW=j"));
}

TEST(Base64Table, ReportsWhetherAllCharactersAreAscii) {
    std::string text = kStandardBase64Table;
    text[64] = '\xA1';
    auto t = Base64Table::Make(text);
    ASSERT_TRUE(t.has_value());
    EXPECT_FALSE(t->IsAscii());
}

// ---------------------------------------------------------------------------
// Encoding

TEST(Base64Encode, Rfc4648Vectors) {
    EXPECT_EQ(Encode(""), "");
    EXPECT_EQ(Encode("f"), "Zg==");
    EXPECT_EQ(Encode("fo"), "Zm8=");
    EXPECT_EQ(Encode("foo"), "Zm9v");
    EXPECT_EQ(Encode("foob"), "Zm9vYg==");
    EXPECT_EQ(Encode("fooba"), "Zm9vYmE=");
    EXPECT_EQ(Encode("foobar"), "Zm9vYmFy");
}

TEST(Base64Encode, OneTwoAndThreeByteGroups) {
    EXPECT_EQ(Encode("abc"), "YWJj");
    EXPECT_EQ(Encode("ab"), "YWI=");
    EXPECT_EQ(Encode("a"), "YQ==");
}

TEST(Base64Encode, NullInputGivesEmptyText) {
    EXPECT_EQ(EncodeBase64(nullptr, 10, Base64Table::Standard()), "");
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(EncodeBase64(nullptr, 3, Base64Table::Standard(), buffer), 0u);
    EXPECT_STREQ(buffer, "xxxxxxx");
}

TEST(Base64Encode, LongInputHasNoLineBreaksAndFollowsTheGroupRule) {
    Bytes bytes(3 * 256 * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    const std::string text = EncodeBase64(bytes.data(), bytes.size());
    EXPECT_EQ(text.size(), bytes.size() / 3 * 4);
    EXPECT_EQ(text.find_first_of("\r\n="), std::string::npos);
    EXPECT_EQ(text, model::Encode(bytes, kStandardBase64Table));
}

TEST(Base64Encode, OutputLengthIsFourPerStartedGroup) {
    for (std::size_t n = 0; n < 20; ++n) {
        const std::string text = Encode(std::string(n, 'x'));
        EXPECT_EQ(text.size(), (n + 2) / 3 * 4) << n;
        EXPECT_EQ(Base64EncodedLength(n), text.size()) << n;
        const std::size_t pads = std::count(text.begin(), text.end(), '=');
        EXPECT_EQ(pads, n % 3 == 0 ? 0u : 3 - n % 3) << n;
    }
}

TEST(Base64Encode, PrivateTableSelectsItsOwnDigitsAndPad) {
    // Digits in reverse order, "*" as pad.
    std::string text(kStandardBase64Table, 64);
    std::reverse(text.begin(), text.end());
    auto t = Base64Table::Make(text + "*");
    ASSERT_TRUE(t.has_value());
    // "a" = 011000 01(0000): indices 24 and 16, reversed 39 and 47.
    EXPECT_EQ(Encode("a", *t), "nv**");
}

TEST(Base64Encode, WideOutputWidensEachTableCharacter) {
    std::mt19937 random(11);
    for (std::size_t n : {0, 1, 2, 3, 4, 5, 25, 26, 27, 100, 1000}) {
        const Bytes bytes = RandomBytes(random, n);
        const std::string narrow = EncodeBase64(bytes.data(), bytes.size());
        std::u16string wide(Base64EncodedLength(n), u'?');
        std::wstring wwide(Base64EncodedLength(n), L'?');
        EXPECT_EQ(EncodeBase64(bytes.data(), n, Base64Table::Standard(), wide.data()), narrow.size());
        EXPECT_EQ(EncodeBase64(bytes.data(), n, Base64Table::Standard(), wwide.data()), narrow.size());
        EXPECT_EQ(wide, std::u16string(narrow.begin(), narrow.end())) << n;
        EXPECT_EQ(wwide, std::wstring(narrow.begin(), narrow.end())) << n;
    }
    // Bytes above 0x7F widen as unsigned values, not as negative chars.
    std::string text = kStandardBase64Table;
    text[0] = '\xE9';
    auto t = Base64Table::Make(text);
    ASSERT_TRUE(t.has_value());
    char16_t out[4];
    const std::uint8_t zero[3] = {0, 0, 0};
    ASSERT_EQ(EncodeBase64(zero, 3, *t, out), 4u);
    EXPECT_EQ(out[0], u'\u00E9');
}

// ---------------------------------------------------------------------------
// Decoding

TEST(Base64Decode, Rfc4648Vectors) {
    EXPECT_EQ(DecodeBase64(""), Bytes());
    EXPECT_EQ(DecodeBase64("Zg=="), ToBytes("f"));
    EXPECT_EQ(DecodeBase64("Zm8="), ToBytes("fo"));
    EXPECT_EQ(DecodeBase64("Zm9v"), ToBytes("foo"));
    EXPECT_EQ(DecodeBase64("Zm9vYg=="), ToBytes("foob"));
    EXPECT_EQ(DecodeBase64("Zm9vYmE="), ToBytes("fooba"));
    EXPECT_EQ(DecodeBase64("Zm9vYmFy"), ToBytes("foobar"));
}

TEST(Base64Decode, PadsDecideTheByteCountOfEachGroup) {
    EXPECT_EQ(DecodeBase64("YWJj"), ToBytes("abc"));
    EXPECT_EQ(DecodeBase64("YWI="), ToBytes("ab"));
    EXPECT_EQ(DecodeBase64("YQ=="), ToBytes("a"));
    // A pad in the third position ends the group even when the fourth is a digit.
    EXPECT_EQ(DecodeBase64("YQ=j"), ToBytes("a"));
    // Pads do not end the text: later groups still decode.
    EXPECT_EQ(DecodeBase64("YQ==YWJj"), ToBytes("aabc"));
}

TEST(Base64Decode, NullOrEmptyTextWritesNothing) {
    std::uint8_t out[4] = {1, 2, 3, 4};
    EXPECT_EQ(DecodeBase64(nullptr, 8, Base64Table::Standard(), out), 0u);
    EXPECT_EQ(DecodeBase64("YWJj", 0, Base64Table::Standard(), out), 0u);
    EXPECT_EQ(out[0], 1);
}

TEST(Base64Decode, MissingPositionsOfAShortLastGroupCountAsPads) {
    EXPECT_EQ(DecodeBase64("Y"), Bytes{0x60});
    EXPECT_EQ(DecodeBase64("YW"), ToBytes("a"));
    EXPECT_EQ(DecodeBase64("YWJ"), ToBytes("ab"));
    EXPECT_EQ(DecodeBase64("YWJjY"), (Bytes{'a', 'b', 'c', 0x60}));
}

TEST(Base64Decode, LineFeedInsideAGroupActsAsPadAndShiftsLaterGroups) {
    // "YW\nJ" yields only "a"; the stray "j" then forms a group of its own.
    EXPECT_EQ(DecodeBase64("YW\nJj"), (Bytes{'a', 0x8C}));
    // A line break between groups still takes a position of the next group.
    EXPECT_EQ(DecodeBase64("YWJj\r\nYWJj"), (Bytes{'a', 'b', 'c', 0x00, 0x06, 0x16, 0x26}));
    EXPECT_NE(DecodeBase64("YWJj\r\nYWJj"), ToBytes("abcabc"));
}

TEST(Base64Decode, InvalidCharactersBecomePadPositions) {
    // Invalid second position: contributes no bits, the group still yields bytes.
    EXPECT_EQ(DecodeBase64("Y!Jj"), (Bytes{0x60, 0x02, 0x63}));
    // A group of nothing but invalid characters yields one zero byte.
    EXPECT_EQ(DecodeBase64("!!!!"), Bytes{0x00});
    EXPECT_EQ(DecodeBase64("===="), Bytes{0x00});
    EXPECT_EQ(DecodeBase64(" \t\n"), Bytes{0x00});
    // Bytes above 0x7F are just more invalid characters.
    EXPECT_EQ(DecodeBase64("YW\xFFj"), ToBytes("a"));
    // An embedded NUL in a counted text is an invalid character, not an end.
    EXPECT_EQ(DecodeBase64(std::string_view("YWJ\0YWJj", 8)), (Bytes{'a', 'b', 'a', 'b', 'c'}));
}

TEST(Base64Decode, FirstMatchInTheTableWins) {
    // Index 10 repeats "F" (index 5): "F" decodes as 5 and "K" is invalid.
    std::string text = kStandardBase64Table;
    text[10] = 'F';
    auto dup = Base64Table::Make(text);
    ASSERT_TRUE(dup.has_value());
    EXPECT_EQ(DecodeBase64("FFFF", *dup), (Bytes{0x14, 0x51, 0x45}));
    EXPECT_EQ(DecodeBase64("FFKF", *dup), (Bytes{0x14}));
    // A pad character that is also a digit decodes as that digit.
    text = kStandardBase64Table;
    text[64] = 'A';
    auto padA = Base64Table::Make(text);
    ASSERT_TRUE(padA.has_value());
    EXPECT_EQ(DecodeBase64("YQAA", *padA), (Bytes{'a', 0x00, 0x00}));
    EXPECT_EQ(Encode("a", *padA), "YQAA");
}

TEST(Base64Decode, NeverWritesPastTheCountItReturns) {
    // Long enough for the block loop, with an invalid group in every block.
    std::string text;
    for (int i = 0; i < 64; ++i) text += (i % 5 == 4) ? "Q!!!" : "YWJj";
    const std::size_t max = Base64DecodedMaxLength(text.size());
    Bytes out(max + 16, 0xAA);
    const std::size_t n = DecodeBase64(text.data(), text.size(), Base64Table::Standard(), out.data());
    EXPECT_EQ(Bytes(out.begin(), out.begin() + n), model::Decode(text, kStandardBase64Table));
    EXPECT_TRUE(std::all_of(out.begin() + n, out.end(), [](auto b) { return b == 0xAA; }));
}

TEST(Base64Decode, MaxLengthIsReachedByCleanTextAndNeverExceedsTheTextLength) {
    const std::string digits = "QUJD";
    for (std::size_t n = 0; n < 40; ++n) {
        std::string text;
        while (text.size() < n) text += digits[text.size() % 4];
        EXPECT_LE(Base64DecodedMaxLength(n), n);
        EXPECT_EQ(DecodeBase64(text).size(), Base64DecodedMaxLength(n)) << n;
    }
}

TEST(Base64Decode, MatchesTheGroupRuleOnArbitraryText) {
    // Digits mixed with pads, line breaks, spaces, NULs and high bytes.
    const std::string alphabet = std::string(kStandardBase64Table) + "\n\r \t.-_" +
                                 std::string("\0\x80\xFF", 3);
    const std::string permuted = PermutedTable();
    auto privateTable = Base64Table::Make(permuted);
    ASSERT_TRUE(privateTable.has_value());
    std::mt19937 random(3);
    for (int round = 0; round < 2000; ++round) {
        std::size_t length = random() % (round < 1000 ? 40 : 400);
        std::string text(length, '\0');
        // Mostly valid text, as real input is, with occasional junk.
        const unsigned junkRate = 1 + random() % 50;
        for (auto& ch : text) {
            ch = (random() % junkRate == 0) ? alphabet[random() % alphabet.size()]
                                            : kStandardBase64Table[random() % 64];
        }
        ASSERT_EQ(DecodeBase64(text), model::Decode(text, kStandardBase64Table)) << text;
        ASSERT_EQ(DecodeBase64(text, *privateTable), model::Decode(text, permuted)) << text;
    }
}

// ---------------------------------------------------------------------------
// Round trips

TEST(Base64RoundTrip, EveryLengthUpTo300WithTheStandardTable) {
    std::mt19937 random(1);
    for (std::size_t n = 0; n <= 300; ++n) {
        const Bytes bytes = RandomBytes(random, n);
        const std::string text = EncodeBase64(bytes.data(), bytes.size());
        ASSERT_EQ(text, model::Encode(bytes, kStandardBase64Table)) << n;
        ASSERT_EQ(DecodeBase64(text), bytes) << n;
    }
}

TEST(Base64RoundTrip, EveryLengthUpTo300WithAPrivateTable) {
    const std::string permuted = PermutedTable();
    auto t = Base64Table::Make(permuted);
    ASSERT_TRUE(t.has_value());
    std::mt19937 random(2);
    for (std::size_t n = 0; n <= 300; ++n) {
        const Bytes bytes = RandomBytes(random, n);
        const std::string text = EncodeBase64(bytes.data(), bytes.size(), *t);
        ASSERT_EQ(text, model::Encode(bytes, permuted)) << n;
        ASSERT_EQ(DecodeBase64(text, *t), bytes) << n;
        if (n >= 3) {
            // The private text is not standard base64 of the same bytes.
            ASSERT_NE(DecodeBase64(text), bytes) << n;
        }
    }
}

TEST(Base64RoundTrip, DecodesIntoABufferAsLongAsTheText) {
    // The component hands the decoder a buffer of exactly the text's length.
    std::mt19937 random(5);
    for (std::size_t n = 0; n <= 100; ++n) {
        const Bytes bytes = RandomBytes(random, n);
        const std::string text = EncodeBase64(bytes.data(), bytes.size());
        Bytes out(text.size());
        const std::size_t count = DecodeBase64(text.data(), text.size(), Base64Table::Standard(), out.data());
        ASSERT_EQ(count, n);
        ASSERT_EQ(Bytes(out.begin(), out.begin() + count), bytes);
    }
}

}  // namespace
}  // namespace folium
