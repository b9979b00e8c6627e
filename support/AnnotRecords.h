// Annotation exchange text: the JSON records that carry a document's comments
// and stamps out to a page script and back in.
//
// Portable C++17, no platform types; every text is UTF-8. The component
// converts from and to automation strings around these calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace folium {

// One record as read back: every member as text ("" when absent).
struct AnnotRecord {
    std::string styleId, styleName, unType, pageNo, authorName, authorId;
    std::string X, Y, width, height;
    std::string createTime, curDateTime, annotContent, annotSignature;
    std::string showwidth, showheight, annotrotate, annotInfo, uniqueName;
};

// Reads the records of the member "annots" of an exchange object, in order.
// Comments are allowed; a NUL ends the text. Returns nothing when the text is
// not JSON, is not an object, or its "annots" is not a non-empty array.
// Members are read as text: strings as they are, numbers as their JSON text,
// true and false as words, anything else as "". Elements that are not
// objects are skipped.
std::optional<std::vector<AnnotRecord>> ReadAnnotRecords(std::string_view json);

// Number conversions of the record texts, lenient like atoi and atof:
// leading spaces, then as much of a number as there is; 0 when there is none.
long RecordInteger(const std::string& text);
float RecordReal(const std::string& text);

// Record values written by the component: "%d" and "%f" (six decimals).
std::string FormatRecordInteger(long value);
std::string FormatRecordReal(double value);

// Bytes as lower-case hexadecimal digits, high digit first, no separators.
std::string EncodeHex(const std::uint8_t* data, std::size_t size);

// Pairs of hexadecimal digits (either case) back into bytes. Nothing for a
// text of odd length or with any other character; an empty text gives no
// bytes.
std::optional<std::vector<std::uint8_t>> DecodeHex(std::string_view text);

// One record to write: (key, value) pairs, values UTF-8.
using RecordFields = std::vector<std::pair<std::string, std::string>>;

// The records as a compact JSON array of string members, keys ascending,
// followed by a line feed; "" for no records. Ill-formed UTF-8 in a value is
// replaced by U+FFFD rather than failing.
std::string WriteJsonRecords(const std::vector<RecordFields>& records);

// Plain-text lookup of a value in an "AnnotInfo" text (not a JSON parse): the
// first occurrence of `key`, after it the first ':', after that the first
// double quote; the value runs to the next double quote. Empty when any step
// finds nothing.
template <class CharT>
std::basic_string_view<CharT> FindAnnotInfoValue(std::basic_string_view<CharT> text,
                                                 std::basic_string_view<CharT> key) {
    using View = std::basic_string_view<CharT>;
    const auto at = text.find(key);
    if (at == View::npos) return {};
    const auto colon = text.find(CharT(':'), at + key.size());
    if (colon == View::npos) return {};
    const auto open = text.find(CharT('"'), colon + 1);
    if (open == View::npos) return {};
    const auto close = text.find(CharT('"'), open + 1);
    if (close == View::npos) return {};
    return text.substr(open + 1, close - open - 1);
}

}  // namespace folium
