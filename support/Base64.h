// Base64 codec driven by a caller-supplied table of 65 characters: the digits
// for the values 0..63 followed by the pad character.
//
// The codec is deliberately lenient and never reports errors:
//  - encoding works in groups of three bytes and never inserts line breaks;
//  - decoding works in groups of four characters; a character that is not in
//    the table (line breaks and spaces included), the pad character and any
//    position past the end of the text all count as "pad" (index 64) inside
//    their group, and nothing is ever skipped, so such characters shift the
//    groups that follow;
//  - every decoded group yields its first byte, a second one when its third
//    position is not a pad, and a third one only when neither the third nor
//    the fourth position is a pad.
//
// Portable C++17, no platform types: the component's members convert between
// these buffers and automation strings themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace folium {

// Number of characters a usable table must have; index 64 is the pad.
inline constexpr std::size_t kBase64TableLength = 65;
inline constexpr unsigned kBase64PadIndex = 64;

// RFC 4648 alphabet with "=" as pad.
inline constexpr char kStandardBase64Table[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
static_assert(sizeof(kStandardBase64Table) == kBase64TableLength + 1);

// A validated encoding table together with the lookup data both directions
// need, so that a private table costs one set-up and no per-byte searching.
// About 12 KB; build it once per call, not once per byte.
class Base64Table {
public:
    // Returns nothing when the text cannot serve as a table: a null pointer,
    // fewer than 65 characters, or a NUL among the first 65 (the table text
    // comes from a C string, where a NUL ends it early). Characters after the
    // 65th are ignored. Duplicate characters are allowed: the encoder uses each
    // index as given and the decoder takes the first position that matches.
    static std::optional<Base64Table> Make(const char* text, std::size_t length);
    static std::optional<Base64Table> Make(std::string_view text) {
        return Make(text.data(), text.size());
    }

    // The table of kStandardBase64Table, built once.
    static const Base64Table& Standard();

    // The table character for index 0..64.
    char Character(unsigned index) const { return chars_[index]; }

    // True when every character is 7-bit ASCII, i.e. when widening each one
    // to UTF-16 gives the same text as converting it from any ANSI code page.
    bool IsAscii() const { return ascii_; }

private:
    Base64Table() = default;

    friend struct Base64Codec;

    char chars_[kBase64TableLength];
    bool ascii_ = true;
    // The two characters for each 12-bit value, first character first.
    char pairs_[4096][2];
    // Per group position, each character's 6-bit value already moved to where
    // it lands in the three output bytes (byte 0 in bits 0..7, byte 1 in bits
    // 8..15, byte 2 in bits 16..23). Pads contribute no bits, which is what the
    // byte formulas give for index 64. Positions 2 and 3 also carry a pad flag
    // in bits 24 and 25: those are the only pads that change the byte count.
    std::uint32_t decode_[4][256];
};

// Characters written for `size` input bytes: four per started group of three.
constexpr std::size_t Base64EncodedLength(std::size_t size) {
    return (size + 2) / 3 * 4;
}

// Most bytes that decoding `length` characters can write. Never more than
// `length`, so a buffer as long as the text is always large enough.
constexpr std::size_t Base64DecodedMaxLength(std::size_t length) {
    return length / 4 * 3 + (length % 4 == 3 ? 2 : (length % 4 != 0 ? 1 : 0));
}

// Encodes `size` bytes into `out`, which must hold Base64EncodedLength(size)
// characters (no terminator is written). Returns the number of characters
// written; a null `data` writes nothing and returns 0. With a wide CharT each
// table byte is widened as an unsigned value, which matches the ANSI-to-UTF-16
// conversion only for an IsAscii() table; otherwise encode to char and convert.
template <class CharT>
std::size_t EncodeBase64(const void* data, std::size_t size, const Base64Table& table, CharT* out);

extern template std::size_t EncodeBase64<char>(const void*, std::size_t, const Base64Table&, char*);
extern template std::size_t EncodeBase64<char16_t>(const void*, std::size_t, const Base64Table&,
                                                   char16_t*);
extern template std::size_t EncodeBase64<wchar_t>(const void*, std::size_t, const Base64Table&,
                                                  wchar_t*);

// Encodes into a new string (empty for a null `data`).
std::string EncodeBase64(const void* data, std::size_t size,
                         const Base64Table& table = Base64Table::Standard());

// Decodes `length` characters of `text` into `out`, which must hold at least
// Base64DecodedMaxLength(length) bytes (a buffer of `length` bytes will do).
// Returns the number of bytes written; a null `text` or zero length writes
// nothing. Bytes of `out` past the returned count are left untouched.
std::size_t DecodeBase64(const char* text, std::size_t length, const Base64Table& table,
                         std::uint8_t* out);

// Decodes into a new buffer holding exactly the bytes written.
std::vector<std::uint8_t> DecodeBase64(std::string_view text,
                                       const Base64Table& table = Base64Table::Standard());

}  // namespace folium
