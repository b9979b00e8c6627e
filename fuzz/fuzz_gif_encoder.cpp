// Builds a palette image from arbitrary bytes, encodes it as GIF and decodes
// it with giflib: size, colour table, pixels and transparency must come back.
#include "GifEncoder.h"

#include <cstdint>
#include <cstdlib>

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
    if (gif.empty()) std::abort();
    const auto decoded = folium::testing::DecodeGif(gif);
    if (!decoded) std::abort();
    if (decoded->width != static_cast<int>(width) || decoded->height != static_cast<int>(height)) std::abort();
    if (decoded->indices != indices || decoded->transparentIndex != transparent) std::abort();
    for (std::size_t i = 0; i < colours; ++i)
        if (decoded->rgb[i * 3] != palette[i].red || decoded->rgb[i * 3 + 2] != palette[i].blue) std::abort();
    return 0;
}
