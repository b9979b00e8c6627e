// A deliberately naive version of the codec's group rule (character search in
// the table text, one byte at a time), used to check the table-driven code
// on arbitrary input in the unit tests and the fuzzer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace folium::model {

inline unsigned IndexOf(std::string_view text, std::size_t pos, std::string_view table) {
    if (pos >= text.size()) return 64;
    const std::size_t found = table.substr(0, 65).find(text[pos]);
    return found == std::string_view::npos ? 64u : static_cast<unsigned>(found);
}

inline std::vector<std::uint8_t> Decode(std::string_view text, std::string_view table) {
    std::vector<std::uint8_t> out;
    for (std::size_t g = 0; g < text.size(); g += 4) {
        const unsigned c0 = IndexOf(text, g, table), c1 = IndexOf(text, g + 1, table);
        const unsigned c2 = IndexOf(text, g + 2, table), c3 = IndexOf(text, g + 3, table);
        out.push_back(static_cast<std::uint8_t>((c0 << 2) ^ ((c1 >> 4) & 3)));
        if (c2 != 64) {
            out.push_back(static_cast<std::uint8_t>((c1 << 4) ^ ((c2 >> 2) & 15)));
            if (c3 != 64) out.push_back(static_cast<std::uint8_t>((c2 << 6) ^ (c3 & 63)));
        }
    }
    return out;
}

inline std::string Encode(const std::vector<std::uint8_t>& bytes, std::string_view table) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const unsigned b0 = bytes[i];
        const unsigned b1 = i + 1 < bytes.size() ? bytes[i + 1] : 0;
        const unsigned b2 = i + 2 < bytes.size() ? bytes[i + 2] : 0;
        const std::size_t left = bytes.size() - i;
        out += table[b0 >> 2];
        out += table[((b0 & 3) << 4) + (b1 >> 4)];
        out += left > 1 ? table[((b1 & 15) << 2) + (b2 >> 6)] : table[64];
        out += left > 2 ? table[b2 & 63] : table[64];
    }
    return out;
}

}  // namespace folium::model
