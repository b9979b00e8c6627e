// Decodes arbitrary bytes with an arbitrary table and checks the table-driven
// codec against the plain group rule; also round-trips through the encoder.
//
// Input: byte 0 chooses the table. When its low bit is set and enough bytes
// follow, the next 65 bytes (or fewer, to exercise rejection, when bit 1 is
// set) are the table text; otherwise the standard table is used. The rest is
// both the text to decode and the bytes to encode.
#include "Base64.h"
#include "Base64Model.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool DistinctDigitsAndPad(std::string_view table) {
    bool seen[256] = {};
    for (std::size_t i = 0; i < folium::kBase64TableLength; ++i) {
        const auto c = static_cast<unsigned char>(table[i]);
        if (seen[c]) return false;
        seen[c] = true;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t mode = data[0];
    ++data;
    --size;

    std::string tableText = folium::kStandardBase64Table;
    if ((mode & 1) != 0 && size >= folium::kBase64TableLength) {
        const std::size_t take = (mode & 2) != 0 ? mode % folium::kBase64TableLength
                                                 : folium::kBase64TableLength;
        tableText.assign(reinterpret_cast<const char*>(data), take);
        data += take;
        size -= take;
    }
    const auto table = folium::Base64Table::Make(tableText);
    const bool usable = tableText.size() >= folium::kBase64TableLength &&
                        std::memchr(tableText.data(), 0, folium::kBase64TableLength) == nullptr;
    Check(table.has_value() == usable);
    if (!table) return 0;

    // Decode into a heap buffer of exactly the promised size, so any write past
    // it is caught by the address sanitizer.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t max = folium::Base64DecodedMaxLength(size);
    Check(max <= size);
    std::unique_ptr<std::uint8_t[]> out(new std::uint8_t[max]);
    const std::size_t count = folium::DecodeBase64(text.data(), size, *table, out.get());
    const std::vector<std::uint8_t> expected = folium::model::Decode(text, tableText);
    Check(count == expected.size() && count <= max);
    Check(count == 0 || std::memcmp(out.get(), expected.data(), count) == 0);

    // Encoding the same bytes follows the plain rule, narrow and wide alike.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const std::string encoded = folium::EncodeBase64(bytes.data(), bytes.size(), *table);
    Check(encoded == folium::model::Encode(bytes, tableText));
    std::u16string wide(folium::Base64EncodedLength(size), u'\0');
    Check(folium::EncodeBase64(bytes.data(), size, *table, wide.data()) == encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        Check(wide[i] == static_cast<unsigned char>(encoded[i]));
    }

    // With 65 distinct characters the decoder restores what the encoder wrote.
    if (DistinctDigitsAndPad(tableText)) {
        Check(folium::DecodeBase64(encoded, *table) == bytes);
    }
    return 0;
}
