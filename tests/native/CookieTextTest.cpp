#include "CookieText.h"

#include <gtest/gtest.h>

namespace folium {
namespace {

std::string Cookie(std::string_view json) {
    const auto text = MakeCookieText(json);
    EXPECT_TRUE(text.has_value()) << json;
    return text.value_or("<none>");
}

// ---------------------------------------------------------------------------
// Objects become ordered pairs

TEST(CookieText, MembersComeOutInAscendingNameOrderEachClosedBySemicolon) {
    EXPECT_EQ(Cookie(R"({"b": 2, "a": 1})"), "a=1;b=2;");
    EXPECT_EQ(Cookie(R"({"sid": "x9", "user": "li", "lang": "zh"})"), "lang=zh;sid=x9;user=li;");
}

TEST(CookieText, NamesAreOrderedByteWiseWithUpperCaseBeforeLowerCaseAndUtf8Last) {
    EXPECT_EQ(Cookie(R"({"b":"1","a":"2","B":"3","_":"4","A10":"5","A9":"6","é":"7","中":"8"})"),
              "A10=5;A9=6;B=3;_=4;a=2;b=1;é=7;中=8;");
}

TEST(CookieText, StringValuesAreWrittenUnquotedAndUnescaped) {
    EXPECT_EQ(Cookie(R"({"a": "x y", "b": "say \"hi\"", "c": "\u4e2d\u6587", "d": ""})"),
              "a=x y;b=say \"hi\";c=中文;d=;");
    EXPECT_EQ(Cookie(R"({"名字": "张三"})"), "名字=张三;");
}

TEST(CookieText, OtherValuesAreWrittenAsTheirJsonText) {
    EXPECT_EQ(Cookie(R"({"n": -42, "u": 18446744073709551615, "f": 1.5, "g": 0.1, "h": 2.0})"),
              "f=1.5;g=0.1;h=2.0;n=-42;u=18446744073709551615;");
    EXPECT_EQ(Cookie(R"({"t": true, "f": false, "z": null})"), "f=false;t=true;z=;");
    EXPECT_EQ(Cookie(R"({"o": {"y": 1, "x": [1, "two"]}, "e": []})"),
              R"(e=[];o={"x":[1,"two"],"y":1};)");
}

TEST(CookieText, LaterDuplicateNameWins) {
    EXPECT_EQ(Cookie(R"({"a": "first", "a": "second"})"), "a=second;");
}

TEST(CookieText, EmptyObjectGivesEmptyText) {
    EXPECT_EQ(Cookie("{}"), "");
    EXPECT_EQ(Cookie(" \r\n{ }\n"), "");
}

TEST(CookieText, NulEndsTheTextAsInACString) {
    EXPECT_EQ(Cookie(std::string_view("{\"a\": 1}\0 garbage", 17)), "a=1;");
    EXPECT_FALSE(MakeCookieText(std::string_view("{\"a\": \0 1}", 10)).has_value());
}

TEST(CookieText, CommentsAreAllowed) {
    EXPECT_EQ(Cookie("// cookies\n{\"a\": 1, /* later */ \"b\": \"x\" // end\n}"), "a=1;b=x;");
}

// ---------------------------------------------------------------------------
// Anything but a JSON object stores nothing

TEST(CookieText, EmptyTextStoresNothing) {
    EXPECT_FALSE(MakeCookieText("").has_value());
}

TEST(CookieText, TextThatIsNotJsonStoresNothing) {
    EXPECT_FALSE(MakeCookieText("a=1;b=2;").has_value());
    EXPECT_FALSE(MakeCookieText("{a: 1}").has_value());
    EXPECT_FALSE(MakeCookieText(R"({"a": 1,})").has_value());
    EXPECT_FALSE(MakeCookieText(R"({"a": 1)").has_value());
    EXPECT_FALSE(MakeCookieText(R"({"a": 1} trailing)").has_value());
    EXPECT_FALSE(MakeCookieText("{\"a\": 1} /* unclosed").has_value());
}

TEST(CookieText, JsonOtherThanAnObjectStoresNothing) {
    EXPECT_FALSE(MakeCookieText("[1, 2]").has_value());
    EXPECT_FALSE(MakeCookieText(R"([{"a": 1}])").has_value());
    EXPECT_FALSE(MakeCookieText(R"("a=1;")").has_value());
    EXPECT_FALSE(MakeCookieText("42").has_value());
    EXPECT_FALSE(MakeCookieText("null").has_value());
    EXPECT_FALSE(MakeCookieText("true").has_value());
}

TEST(CookieText, IllFormedUtf8StoresNothing) {
    EXPECT_FALSE(MakeCookieText("{\"a\": \"\xFF\"}").has_value());
    EXPECT_FALSE(MakeCookieText("{\"\xC3\": 1}").has_value());
    EXPECT_FALSE(MakeCookieText("{\"a\": \"\xED\xA0\x80\"}").has_value());  // a lone surrogate
}

}  // namespace
}  // namespace folium
