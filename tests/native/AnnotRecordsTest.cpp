#include "AnnotRecords.h"

#include <gtest/gtest.h>

#include <tuple>

namespace folium {
namespace {

std::vector<std::string> Members(const AnnotRecord& r) {
    return {r.styleId,   r.styleName,   r.unType,       r.pageNo,         r.authorName, r.authorId,   r.X,
            r.Y,         r.width,       r.height,       r.createTime,     r.curDateTime, r.annotContent,
            r.annotSignature, r.showwidth, r.showheight, r.annotrotate,   r.annotInfo,  r.uniqueName};
}

// ---------------------------------------------------------------------------
// Reading "annots"

TEST(AnnotRecords, ReadsEveryMemberAsTextInOrderWithCommentsAllowed) {
    const auto records = ReadAnnotRecords(R"(// exchange text
        {"annots": [
          {"styleId": "0", "styleName": "Text", "unType": "", "createTime": "D:20260105093000",
           "annotContent": "say \"hi\" /* x */ \\ 中文", "pageNo": "2", "authorName": "张三",
           "height": "18.000000", "width": "20.000000", "X": "100.500000", "Y": "700.000000",
           "annotSignature": "", "authorId": "u1"},
          /* a stamp */
          {"styleId": 12, "pageNo": 1, "X": 1.5, "annotrotate": true, "showwidth": null,
           "showheight": {"x": 1}, "annotInfo": "{\"author\":\"a\"}", "curDateTime": "m",
           "uniqueName": "qxsim-3", "annotSignature": "00ff"}
        ]})");
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 2u);
    // Every member in declaration order; numbers as their JSON text, null and objects as "".
    EXPECT_EQ(Members((*records)[0]),
              (std::vector<std::string>{"0", "Text", "", "2", "张三", "u1", "100.500000", "700.000000", "20.000000",
                                        "18.000000", "D:20260105093000", "", "say \"hi\" /* x */ \\ 中文", "", "", "",
                                        "", "", ""}));
    EXPECT_EQ(Members((*records)[1]), (std::vector<std::string>{"12", "", "", "1", "", "", "1.5", "", "", "", "", "m",
                                                                "", "00ff", "", "", "true", "{\"author\":\"a\"}",
                                                                "qxsim-3"}));
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

TEST(AnnotRecords, NumberTextsConvertLenientlyAndFormatWithSixDecimals) {
    for (const auto& [text, n] : {std::pair{"3", 3}, {" -2x", -2}, {"abc", 0}, {"", 0}}) EXPECT_EQ(RecordInteger(text), n) << text;
    for (const auto& [text, f] : {std::pair{"100.500000", 100.5f}, {"7abc", 7.0f}, {"x", 0.0f}})
        EXPECT_FLOAT_EQ(RecordReal(text), f) << text;
    EXPECT_EQ(FormatRecordReal(100) + FormatRecordReal(-0.25) + FormatRecordInteger(-12), "100.000000-0.250000-12");
    EXPECT_EQ(FormatRecordReal(1e300).size(), 301u + 7u);
}

// Hexadecimal images (lower case, high digit first, read in either case) are checked by fuzz/fuzz_annot_records.cpp.

// ---------------------------------------------------------------------------
// "AnnotInfo" lookup

TEST(AnnotRecords, AnnotInfoLookupIsAPlainTextSearch) {
    using namespace std::string_view_literals;
    auto find = [](std::string_view text, std::string_view key) { return std::string(FindAnnotInfoValue(text, key)); };
    const char* const twoBraces = R"({"author":"li",{"authorId":"42","customType":""})";  // the record reader's form
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {R"({"author":"li","customType":"seal"})", "author", "li"},
        {R"({"author":"li","customType":"seal"})", "customType", "seal"},
        {twoBraces, "authorId", "42"},
        {twoBraces, "author", "li"},
        {R"({"author" : 5, "x":"y"})", "author", "x"},  // not a JSON parse
        {R"({"author":"open)", "author", ""},
        {"author", "author", ""},
        {"", "author", ""},
    };
    for (const auto& [text, key, value] : cases) EXPECT_EQ(find(text, key), value) << text << " " << key;
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
    // What the writer makes, the reader above reads: the exact text is checked here.
    // Ill-formed UTF-8 does not stop the writer.
    EXPECT_EQ(WriteJsonRecords({{{"a", "\xff"}}}), "[{\"a\":\"\xEF\xBF\xBD\"}]\n");
}

}  // namespace
}  // namespace folium
