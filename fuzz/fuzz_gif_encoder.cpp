// Builds a palette image from arbitrary bytes, encodes it as GIF and decodes
// it with giflib: size, colour table, pixels and transparency must come back,
// and the header fields giflib does not check must be as written.
#include "GifEncoder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "GifDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const std::uint32_t width = 1 + (data[0] | (data[1] & 0x03) << 8);  // 1..1024
    const std::uint32_t height = 1 + data[2] % 64;
    const std::size_t colours = 1 + data[3];
    const int transparent = data[4] < colours ? data[4] : -1;
    data += 5;
    size -= 5;

    std::vector<folium::PaletteEntry> palette(colours);
    for (std::size_t i = 0; i < colours; ++i)
        palette[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 3), static_cast<std::uint8_t>(~i), 0};
    // Pixels repeat the input so that long runs and table refills both occur.
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = size ? static_cast<std::uint8_t>(data[i % size] % colours) : 0;

    const auto gif = folium::EncodeGif({width, height, palette.data(), colours, indices.data(), transparent});
    if (gif.size() < 20 || std::memcmp(gif.data(), "GIF89a", 6) != 0 || gif.back() != 0x3B) std::abort();
    const auto decoded = folium::testing::DecodeGif(gif);
    if (!decoded) std::abort();
    if (decoded->width != static_cast<int>(width) || decoded->height != static_cast<int>(height)) std::abort();
    if (decoded->indices != indices || decoded->transparentIndex != transparent) std::abort();
    // The table is padded to a power of two (at least 2); colour resolution as its bits; a control extension
    // with no disposal and no delay right after it; codes start at the table's width but at least 2 bits.
    unsigned bits = 1;
    while ((1u << bits) < colours) ++bits;
    if (decoded->rgb.size() != 3u << bits || gif[10] != (0x80 | (bits - 1) << 4 | (bits - 1))) std::abort();
    for (std::size_t i = 0; i < colours; ++i)
        if (decoded->rgb[i * 3] != palette[i].red || decoded->rgb[i * 3 + 1] != palette[i].green ||
            decoded->rgb[i * 3 + 2] != palette[i].blue)
            std::abort();
    const std::uint8_t* gce = gif.data() + 13 + (3u << bits);
    const std::uint8_t control[8] = {0x21, 0xF9, 4, 1, 0, 0, static_cast<std::uint8_t>(transparent), 0};
    if (transparent >= 0 && std::memcmp(gce, control, 8) != 0) std::abort();
    if (gce[(transparent >= 0 ? 8 : 0) + 10] != std::max(2u, bits)) std::abort();
    return 0;
}
