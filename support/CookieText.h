// Cookie text handed to the message server: a page script passes its cookies
// as a JSON object, and the server expects "name=value;" pairs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace folium {

// Turns UTF-8 JSON text into "name=value;" pairs, one per member of the
// object, in ascending name order (byte order of the UTF-8 names, which is
// code point order), each pair closed by ";". Comments in the JSON are
// allowed. When a name occurs twice, the later member wins. A NUL character
// ends the text, as it would end a C string.
//
// Values: a string is written as its text, unquoted and unescaped; a number
// as its JSON text (2 -> "2", 1.5 -> "1.5"); true and false as "true" and
// "false"; null as an empty value ("name=;"). A nested object or array is
// written as its compact JSON text, so nothing the page sent is lost.
//
// Returns nothing when the text is empty, is not valid JSON (UTF-8 included)
// or is JSON of another kind than an object: then no cookie is stored. An
// empty object gives an empty text.
std::optional<std::string> MakeCookieText(std::string_view json);

}  // namespace folium
