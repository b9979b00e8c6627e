#include "AnnotRecords.h"

#include <gtest/gtest.h>

namespace folium {
namespace {

// ---------------------------------------------------------------------------
// Reading "annots"

TEST(AnnotRecords, ReadsEveryMemberAsTextInOrderWithCommentsAllowed) {
    const auto records = ReadAnnotRecords(R"(// exchange text
        {"annots": [
          {"styleId": "0", "styleName": "Text", "unType": "", "createTime": "D:20260105093000",
           "annotContent": "say \"hi\" \\ 中文", "pageNo": "2", "authorName": "张三",
           "height": "18.000000", "width": "20.000000", "X": "100.500000", "Y": "700.000000",
           "annotSignature": "", "authorId": "u1"},
          /* a stamp */
          {"styleId": 12, "pageNo": 1, "X": 1.5, "annotrotate": true, "showwidth": null,
           "showheight": {"x": 1}, "annotInfo": "{\"author\":\"a\"}", "curDateTime": "m",
           "uniqueName": "qxsim-3", "annotSignature": "00ff"}
        ]})");
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 2u);
    const AnnotRecord& c = (*records)[0];
    EXPECT_EQ(c.styleId, "0");
    EXPECT_EQ(c.styleName, "Text");
    EXPECT_EQ(c.createTime, "D:20260105093000");
    EXPECT_EQ(c.annotContent, "say \"hi\" \\ 中文");
    EXPECT_EQ(c.pageNo, "2");
    EXPECT_EQ(c.authorName, "张三");
    EXPECT_EQ(c.authorId, "u1");
    EXPECT_EQ(c.X, "100.500000");
    EXPECT_EQ(c.curDateTime, "");
    const AnnotRecord& s = (*records)[1];
    EXPECT_EQ(s.styleId, "12");  // numbers as their JSON text
    EXPECT_EQ(s.pageNo, "1");
    EXPECT_EQ(s.X, "1.5");
    EXPECT_EQ(s.annotrotate, "true");
    EXPECT_EQ(s.showwidth, "");  // null
    EXPECT_EQ(s.showheight, "");  // object
    EXPECT_EQ(s.annotInfo, "{\"author\":\"a\"}");
    EXPECT_EQ(s.uniqueName, "qxsim-3");
    EXPECT_EQ(s.annotSignature, "00ff");
}

TEST(AnnotRecords, NothingIsReadFromTextsThatAreNotAnExchangeObject) {
    for (const char* text : {"", "not json", "[{\"styleId\":\"0\"}]", "{\"annots\": []}",
                             "{\"annots\": {}}", "{\"annots\": \"x\"}", "{\"other\": [1]}",
                             "{\"annots\": [{}]", "\"annots\"", "{\"annots\": [1]} trailing"}) {
        EXPECT_FALSE(ReadAnnotRecords(text).has_value()) << text;
    }
    // Elements that are not objects are passed over; the rest still counts.
    const auto mixed = ReadAnnotRecords(R"({"annots": [1, "x", null, {"styleId": "0"}]})");
    ASSERT_TRUE(mixed.has_value());
    ASSERT_EQ(mixed->size(), 1u);
    EXPECT_EQ((*mixed)[0].styleId, "0");
    // A NUL ends the text as in a C string.
    EXPECT_TRUE(ReadAnnotRecords(std::string_view("{\"annots\":[{}]}\0junk", 20)).has_value());
}

TEST(AnnotRecords, NumberTextsConvertLeniently) {
    EXPECT_EQ(RecordInteger("3"), 3);
    EXPECT_EQ(RecordInteger(" -2x"), -2);
    EXPECT_EQ(RecordInteger("abc"), 0);
    EXPECT_EQ(RecordInteger(""), 0);
    EXPECT_FLOAT_EQ(RecordReal("100.500000"), 100.5f);
    EXPECT_FLOAT_EQ(RecordReal("7abc"), 7.0f);
    EXPECT_FLOAT_EQ(RecordReal("x"), 0.0f);
    EXPECT_EQ(FormatRecordReal(100), "100.000000");
    EXPECT_EQ(FormatRecordReal(-0.25), "-0.250000");
    EXPECT_EQ(FormatRecordReal(1e300).size(), 301u + 7u);
    EXPECT_EQ(FormatRecordInteger(-12), "-12");
}

// ---------------------------------------------------------------------------
// Hexadecimal images

TEST(AnnotRecords, HexIsLowerCaseHighDigitFirstAndReadsBackInEitherCase) {
    const std::uint8_t bytes[] = {0x00, 0x0F, 0xA5, 0xFF, 0x47};
    EXPECT_EQ(EncodeHex(bytes, 5), "000fa5ff47");
    EXPECT_EQ(EncodeHex(nullptr, 0), "");
    EXPECT_EQ(DecodeHex("000fa5ff47"), (std::vector<std::uint8_t>(bytes, bytes + 5)));
    EXPECT_EQ(DecodeHex("000FA5FF47"), (std::vector<std::uint8_t>(bytes, bytes + 5)));
    EXPECT_EQ(DecodeHex(""), std::vector<std::uint8_t>());
    for (const char* bad : {"0", "abc", "0g", "  ", "0x12", "12 3"}) EXPECT_FALSE(DecodeHex(bad).has_value()) << bad;
}

// ---------------------------------------------------------------------------
// "AnnotInfo" lookup

TEST(AnnotRecords, AnnotInfoLookupIsAPlainTextSearch) {
    using namespace std::string_view_literals;
    auto find = [](std::string_view text, std::string_view key) { return std::string(FindAnnotInfoValue(text, key)); };
    EXPECT_EQ(find(R"({"author":"li","customType":"seal"})", "author"), "li");
    EXPECT_EQ(find(R"({"author":"li","customType":"seal"})", "customType"), "seal");
    // The record reader's form, with its second brace, reads both values.
    EXPECT_EQ(find(R"({"author":"li",{"authorId":"42","customType":""})", "authorId"), "42");
    EXPECT_EQ(find(R"({"author":"li",{"authorId":"42","customType":""})", "author"), "li");
    EXPECT_EQ(find(R"({"author" : 5, "x":"y"})", "author"), "x");  // not a JSON parse
    EXPECT_EQ(find(R"({"author":"open)", "author"), "");
    EXPECT_EQ(find(R"(author)", "author"), "");
    EXPECT_EQ(find("", "author"), "");
    EXPECT_EQ(FindAnnotInfoValue(u"{\"authorId\":\"7\"}"sv, u"authorId"sv), u"7"sv);
}

// ---------------------------------------------------------------------------
// Writing

TEST(AnnotRecords, WrittenRecordsAreCompactSortedEscapedAndEndWithALineFeed) {
    EXPECT_EQ(WriteJsonRecords({}), "");
    const std::string text = WriteJsonRecords({
        {{"styleId", "12"}, {"annotContent", "a \"q\" \\ 中"}, {"X", "1.000000"}, {"authorName", "x\ny"}},
        {{"pageNo", "2"}},
    });
    EXPECT_EQ(text, "[{\"X\":\"1.000000\",\"annotContent\":\"a \\\"q\\\" \\\\ 中\",\"authorName\":\"x\\ny\","
                    "\"styleId\":\"12\"},{\"pageNo\":\"2\"}]\n");
    // Ill-formed UTF-8 does not stop the writer.
    EXPECT_EQ(WriteJsonRecords({{{"a", "\xff"}}}), "[{\"a\":\"\xEF\xBF\xBD\"}]\n");
}

TEST(AnnotRecords, WrittenRecordsReadBackWhenWrappedAsAnnots) {
    const std::string part = WriteJsonRecords({{{"styleId", "12"}, {"pageNo", "3"}, {"annotSignature", "0aff"},
                                                {"annotInfo", "{\"author\":\"z\"}"}, {"annotContent", "/* x */"}}});
    const auto records = ReadAnnotRecords("{\"annots\":" + part + "}");
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 1u);
    EXPECT_EQ((*records)[0].pageNo, "3");
    EXPECT_EQ((*records)[0].annotSignature, "0aff");
    EXPECT_EQ((*records)[0].annotInfo, "{\"author\":\"z\"}");
    EXPECT_EQ((*records)[0].annotContent, "/* x */");
}

}  // namespace
}  // namespace folium
