#include "GifEncoder.h"

#include <gtest/gtest.h>

#include <random>

#include "GifDecode.h"

namespace folium {
namespace {

struct Case {
    std::uint32_t width, height;
    std::size_t colours;
    int transparent;
    const char* pattern;  // "random", "flat", "stripes"
};

// Names the case in the test's name (the default would print the pointer's bytes).
std::ostream& operator<<(std::ostream& o, const Case& c) {
    return o << c.width << "x" << c.height << " " << c.colours << " colours " << c.pattern << " transparent "
             << c.transparent;
}

std::vector<PaletteEntry> MakePalette(std::size_t n) {
    std::vector<PaletteEntry> p(n);
    for (std::size_t i = 0; i < n; ++i)
        p[i] = {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(255 - i),
                static_cast<std::uint8_t>(i * 13 + 1), 0};
    return p;
}

std::vector<std::uint8_t> MakeIndices(const Case& c) {
    std::mt19937 rng(c.width * 31 + c.height);
    std::vector<std::uint8_t> idx(static_cast<std::size_t>(c.width) * c.height);
    for (std::size_t i = 0; i < idx.size(); ++i) {
        const std::string p = c.pattern;
        idx[i] = static_cast<std::uint8_t>(p == "flat" ? c.colours - 1
                                           : p == "stripes" ? (i / 5) % c.colours
                                                            : rng() % c.colours);
    }
    return idx;
}

class GifRoundTrip : public ::testing::TestWithParam<Case> {};

// Every image decodes with giflib to the same size, colour table (padded to a
// power of two), pixels and transparency.
TEST_P(GifRoundTrip, GiflibReadsBackWhatWasWritten) {
    const Case c = GetParam();
    const auto palette = MakePalette(c.colours);
    const auto indices = MakeIndices(c);
    const auto gif = EncodeGif({c.width, c.height, palette.data(), palette.size(), indices.data(), c.transparent});
    ASSERT_FALSE(gif.empty());
    EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), "GIF89a");
    EXPECT_EQ(gif.back(), 0x3B);
    const auto decoded = testing::DecodeGif(gif);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->width, static_cast<int>(c.width));
    EXPECT_EQ(decoded->height, static_cast<int>(c.height));
    unsigned bits = 1;
    while ((1u << bits) < c.colours) ++bits;
    const std::size_t tableSize = std::size_t{1} << bits;
    ASSERT_EQ(decoded->rgb.size(), tableSize * 3);
    // Colour resolution as the table's bits; a control extension with no disposal and no delay right after the
    // table; codes start at the table's width but at least 2 bits.
    EXPECT_EQ(gif[10], 0x80 | (bits - 1) << 4 | (bits - 1));
    const auto gce = gif.begin() + 13 + 3 * tableSize;
    if (c.transparent >= 0)
        EXPECT_EQ(std::vector<std::uint8_t>(gce, gce + 8), (std::vector<std::uint8_t>{0x21, 0xF9, 4, 1, 0, 0,
                                                                                      std::uint8_t(c.transparent), 0}));
    EXPECT_EQ(gce[(c.transparent >= 0 ? 8 : 0) + 10], std::max(2u, bits));
    std::vector<std::uint8_t> rgb;
    for (const auto& e : palette) rgb.insert(rgb.end(), {e.red, e.green, e.blue});
    EXPECT_TRUE(std::equal(rgb.begin(), rgb.end(), decoded->rgb.begin()));
    EXPECT_TRUE(decoded->indices == indices);
    EXPECT_EQ(decoded->transparentIndex, c.transparent);
}

INSTANTIATE_TEST_SUITE_P(
    Images, GifRoundTrip,
    ::testing::Values(Case{1, 1, 1, -1, "flat"}, Case{1, 1, 2, 1, "random"}, Case{3, 7, 3, 0, "random"},
                      Case{64, 48, 16, 15, "stripes"}, Case{300, 300, 16, 3, "random"},  // table refills
                      Case{1000, 1, 256, -1, "random"}, Case{200, 150, 256, 255, "random"},
                      Case{4000, 2, 2, -1, "flat"}, Case{65535, 1, 5, 4, "stripes"}));

TEST(GifEncoder, RefusesWhatCannotBeWritten) {
    const auto palette = MakePalette(300);
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
}

}  // namespace
}  // namespace folium
