#include "CookieText.h"

#include <gtest/gtest.h>

namespace folium {
namespace {

// A JSON object becomes "name=value;" pairs in ascending byte order of the names.
TEST(CookieText, ObjectsBecomeOrderedPairs) {
    const std::pair<std::string_view, const char*> cases[] = {
        {R"({"b": 2, "a": 1})", "a=1;b=2;"},
        // Byte order: upper case before lower case, UTF-8 names last.
        {R"({"b":"1","a":"2","B":"3","_":"4","A10":"5","A9":"6","é":"7","中":"8"})",
         "A10=5;A9=6;B=3;_=4;a=2;b=1;é=7;中=8;"},
        // Strings unquoted and unescaped, anything else as its JSON text, null as nothing.
        {R"({"a": "x y", "b": "say \"hi\"", "c": "\u4e2d\u6587", "d": ""})", "a=x y;b=say \"hi\";c=中文;d=;"},
        {R"({"n": -42, "u": 18446744073709551615, "f": 1.5, "g": 0.1, "h": 2.0})",
         "f=1.5;g=0.1;h=2.0;n=-42;u=18446744073709551615;"},
        {R"({"t": true, "f": false, "z": null})", "f=false;t=true;z=;"},
        {R"({"o": {"y": 1, "x": [1, "two"]}, "e": []})", R"(e=[];o={"x":[1,"two"],"y":1};)"},
        {R"({"a": "first", "a": "second"})", "a=second;"},  // the later duplicate wins
        {"{}", ""},
        {" \r\n{ }\n", ""},
        {std::string_view("{\"a\": 1}\0 garbage", 17), "a=1;"},  // a NUL ends the text
        {"// cookies\n{\"a\": 1, /* later */ \"b\": \"x\" // end\n}", "a=1;b=x;"},
    };
    for (const auto& [json, cookie] : cases) {
        const auto text = MakeCookieText(json);
        ASSERT_TRUE(text.has_value()) << json;
        EXPECT_EQ(*text, cookie) << json;
    }
}

// Anything but a well-formed JSON object stores nothing.
TEST(CookieText, AnythingButAnObjectStoresNothing) {
    for (std::string_view text : {std::string_view(""), std::string_view("a=1;b=2;"), std::string_view("{a: 1}"),
                                  std::string_view(R"({"a": 1,})"), std::string_view(R"({"a": 1)"),
                                  std::string_view(R"({"a": 1} trailing)"), std::string_view("{\"a\": 1} /* unclosed"),
                                  std::string_view("{\"a\": \0 1}", 10), std::string_view("[1, 2]"),
                                  std::string_view(R"([{"a": 1}])"), std::string_view(R"("a=1;")"),
                                  std::string_view("42"), std::string_view("null"), std::string_view("true"),
                                  std::string_view("{\"a\": \"\xFF\"}"), std::string_view("{\"\xC3\": 1}"),
                                  std::string_view("{\"a\": \"\xED\xA0\x80\"}")})  // the last: a lone surrogate
        EXPECT_FALSE(MakeCookieText(text).has_value()) << text;
}

}  // namespace
}  // namespace folium
