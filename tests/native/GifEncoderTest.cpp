// What the encoder writes is decoded with giflib by fuzz/fuzz_gif_encoder.cpp (seeds: one pixel, sixteen colours,
// 256 colours, table refills): sizes, tables, pixels, transparency and the header fields.
#include "GifEncoder.h"

#include <gtest/gtest.h>

namespace folium {
namespace {

TEST(GifEncoder, RefusesWhatCannotBeWritten) {
    const std::vector<PaletteEntry> palette(300);
    const std::vector<std::uint8_t> idx(4, 1);
    const std::vector<std::uint8_t> outside{0, 1, 2, 1};
    const GifFrame refused[] = {
        {0, 2, palette.data(), 4, idx.data(), -1},     {2, 0, palette.data(), 4, idx.data(), -1},
        {65536, 1, palette.data(), 4, idx.data(), -1}, {2, 2, nullptr, 4, idx.data(), -1},
        {2, 2, palette.data(), 0, idx.data(), -1},     {2, 2, palette.data(), 257, idx.data(), -1},
        {2, 2, palette.data(), 4, nullptr, -1},        {2, 2, palette.data(), 2, outside.data(), -1},  // index 2 of 2
        {2, 2, palette.data(), 4, idx.data(), 4},      {2, 2, palette.data(), 4, idx.data(), -2},  // transparency
    };
    for (const GifFrame& f : refused) EXPECT_TRUE(EncodeGif(f).empty()) << f.width << "x" << f.height;
    EXPECT_FALSE(EncodeGif({2, 2, palette.data(), 3, outside.data(), 2}).empty());
    const std::vector<std::uint8_t> widest(65535, 0);
    EXPECT_FALSE(EncodeGif({65535, 1, palette.data(), 1, widest.data(), -1}).empty());
}

}  // namespace
}  // namespace folium
