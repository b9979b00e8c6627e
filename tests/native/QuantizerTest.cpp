#include "Quantizer.h"

#include <gtest/gtest.h>

#include <tuple>

namespace folium {
namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

// A bottom-up 24-bit DIB in memory, rows padded, the padding filled with junk
// that must never be read as pixels.
struct Dib24 {
    std::uint32_t width, height;
    std::vector<std::uint8_t> bits;
    Dib24(std::uint32_t w, std::uint32_t h) : width(w), height(h), bits(DibStride(w, 24) * h, 0xEE) {}
    void Set(std::uint32_t x, std::uint32_t y, Rgb c) {
        std::uint8_t* p = bits.data() + DibStride(width, 24) * y + x * 3;
        p[0] = c.b;
        p[1] = c.g;
        p[2] = c.r;
    }
    DibView View() const { return {width, height, 24, bits.data(), nullptr, 0}; }
};

Dib24 Row(const std::vector<Rgb>& pixels) {
    Dib24 dib(static_cast<std::uint32_t>(pixels.size()), 1);
    for (std::size_t i = 0; i < pixels.size(); ++i) dib.Set(static_cast<std::uint32_t>(i), 0, pixels[i]);
    return dib;
}

std::vector<std::tuple<int, int, int>> Rgbs(const std::vector<PaletteEntry>& palette) {
    std::vector<std::tuple<int, int, int>> out;
    for (const auto& e : palette) out.emplace_back(e.red, e.green, e.blue);
    return out;
}

// ---------------------------------------------------------------------------
// Accepted bitmaps

TEST(Quantizer, AcceptsOnly1To8And24BitsAndAnEmptyImageGivesAnEmptyPalette) {
    const std::uint8_t bytes[16] = {};
    for (unsigned bits : {0u, 2u, 15u, 16u, 32u}) {
        CQuantizer q(16, 8);
        EXPECT_FALSE(q.ScanBitmap({1, 1, bits, bytes, nullptr, 0})) << bits;
    }
    CQuantizer noRows(16, 8);
    EXPECT_TRUE(noRows.ScanBitmap({5, 0, 24, nullptr, nullptr, 0}));
    EXPECT_EQ(noRows.PaletteSize(), 0u);
    EXPECT_TRUE(noRows.Palette().empty());
    CQuantizer noBits(16, 8);
    EXPECT_FALSE(noBits.ScanBitmap({1, 1, 24, nullptr, nullptr, 0}));
}

TEST(Quantizer, PaletteBitmapsReadIndicesMostSignificantFirstAndAlphaFromTheTable) {
    const PaletteEntry table[4] = {{0, 0, 0, 0}, {0, 0, 255, 7}, {0, 255, 0, 9}, {255, 0, 0, 11}};
    // 1 bit: pixels 1,0,1 in the top bits of the first byte; the row pads to 4 bytes.
    const std::uint8_t oneBit[4] = {0xA0, 0xFF, 0xFF, 0xFF};
    CQuantizer q1(16, 8);
    ASSERT_TRUE(q1.ScanBitmap({3, 1, 1, oneBit, table, 4}));
    EXPECT_EQ(Rgbs(q1.Palette()), (std::vector<std::tuple<int, int, int>>{{0, 0, 0}, {255, 0, 0}}));
    EXPECT_EQ(q1.Palette()[1].alpha, 7);

    // 4 bits: pixel 0 is the high nibble; index 9 lies past the table (black, alpha 0).
    const std::uint8_t fourBit[4] = {0x23, 0x9F, 0xFF, 0xFF};
    CQuantizer q4(16, 8);
    ASSERT_TRUE(q4.ScanBitmap({3, 1, 4, fourBit, table, 4}));
    EXPECT_EQ(Rgbs(q4.Palette()),
              (std::vector<std::tuple<int, int, int>>{{0, 0, 0}, {0, 0, 255}, {0, 255, 0}}));
    EXPECT_EQ(q4.Palette()[0].alpha, 0);

    // 8 bits, two rows of 2 pixels each padded to 4 bytes.
    const std::uint8_t eightBit[8] = {2, 2, 0xFF, 0xFF, 3, 2, 0xFF, 0xFF};
    CQuantizer q8(16, 8);
    ASSERT_TRUE(q8.ScanBitmap({2, 2, 8, eightBit, table, 4}));
    const auto p8 = q8.Palette();
    ASSERT_EQ(p8.size(), 2u);
    EXPECT_EQ(p8[0], (PaletteEntry{255, 0, 0, 11}));
    EXPECT_EQ(p8[1], (PaletteEntry{0, 255, 0, 9}));
}

TEST(Quantizer, TwentyFourBitRowsSkipTheirPadding) {
    Dib24 dib(3, 2);  // 9 bytes of pixels, 3 of junk per row
    for (std::uint32_t y = 0; y < 2; ++y)
        for (std::uint32_t x = 0; x < 3; ++x) dib.Set(x, y, {10, 20, 30});
    CQuantizer q(16, 8);
    ASSERT_TRUE(q.ScanBitmap(dib.View()));
    EXPECT_EQ(q.LeafCount(), 1u);
    EXPECT_EQ(Rgbs(q.Palette()), (std::vector<std::tuple<int, int, int>>{{10, 20, 30}}));
}

// ---------------------------------------------------------------------------
// Tree shape and reduction

TEST(Quantizer, ReductionTakesTheDeepestNewestNodeAndAveragesWithHalfRounding) {
    // Sixteen reds 16 apart fill the tree; (0,0,1) then differs from (0,0,0)
    // only in the last bit. Level 7 nodes are reduced newest first: the fifteen
    // single-child ones change nothing, the one holding both blacks merges them.
    std::vector<Rgb> pixels;
    for (int i = 0; i < 16; ++i) pixels.push_back({static_cast<std::uint8_t>(i * 16), 0, 0});
    pixels.push_back({0, 0, 1});
    CQuantizer q(16, 8);
    ASSERT_TRUE(q.ScanBitmap(Row(pixels).View()));
    EXPECT_EQ(q.LeafCount(), 16u);
    const auto palette = Rgbs(q.Palette());
    ASSERT_EQ(palette.size(), 16u);
    EXPECT_EQ(palette[0], std::make_tuple(0, 0, 1));  // blue (0 + 1) / 2 + 0.5 = 1
    for (int i = 1; i < 16; ++i) EXPECT_EQ(palette[i], std::make_tuple(i * 16, 0, 0)) << i;
}

TEST(Quantizer, ShallowTreeMergesColoursThatShareTheirHighBits) {
    // Two colour bits: only the top two bits of each channel tell leaves apart.
    CQuantizer q(16, 2);
    ASSERT_TRUE(q.ScanBitmap(Row({{0, 0, 0}, {63, 63, 63}, {64, 0, 0}, {127, 0, 0}, {255, 255, 255}}).View()));
    EXPECT_EQ(Rgbs(q.Palette()),
              (std::vector<std::tuple<int, int, int>>{{32, 32, 32}, {96, 0, 0}, {255, 255, 255}}));
    // (0 + 63) / 2 + 0.5 = 32; (64 + 127) / 2 + 0.5 = 96.
}

TEST(Quantizer, FewerOutputColoursAverageRunsOfLeavesWeightedByPixelCount) {
    // Leaves in tree order: red 0 (x1), 32 (x1), 64 (x3), 96 (x1), 128, 160, 192, 224.
    std::vector<Rgb> pixels;
    for (int i = 0; i < 8; ++i) pixels.push_back({static_cast<std::uint8_t>(i * 32 + (i == 1)), 0, 0});
    pixels.push_back({64, 0, 0});
    pixels.push_back({64, 0, 0});
    CQuantizer q(4, 8);
    ASSERT_TRUE(q.ScanBitmap(Row(pixels).View()));
    EXPECT_EQ(q.LeafCount(), 8u);
    ASSERT_EQ(q.PaletteSize(), 4u);
    EXPECT_EQ(Rgbs(q.Palette()), (std::vector<std::tuple<int, int, int>>{
                                     {17, 0, 0},    // (0 + 33) / 2 + 0.5
                                     {72, 0, 0},    // (64 * 3 + 96) / 4 + 0.5
                                     {144, 0, 0},   // (128 + 160) / 2 + 0.5
                                     {208, 0, 0}})); // (192 + 224) / 2 + 0.5
    // No more leaves than asked for: the leaves as they are.
    CQuantizer few(4, 8);
    ASSERT_TRUE(few.ScanBitmap(Row({{1, 2, 3}, {200, 100, 50}}).View()));
    EXPECT_EQ(Rgbs(few.Palette()), (std::vector<std::tuple<int, int, int>>{{1, 2, 3}, {200, 100, 50}}));
}

TEST(Quantizer, ColourBitsAboveEightAreTreatedAsEightAndZeroAsOneLeaf) {
    CQuantizer deep(16, 12);
    ASSERT_TRUE(deep.ScanBitmap(Row({{0, 0, 0}, {0, 0, 1}}).View()));
    EXPECT_EQ(deep.LeafCount(), 2u);
    CQuantizer flat(16, 0);
    ASSERT_TRUE(flat.ScanBitmap(Row({{0, 0, 0}, {255, 255, 255}, {255, 0, 0}}).View()));
    EXPECT_EQ(Rgbs(flat.Palette()), (std::vector<std::tuple<int, int, int>>{{170, 85, 85}}));
}

TEST(Quantizer, NearestIndexUsesSquaredDistanceAndPrefersTheFirstOfEquals) {
    const PaletteEntry palette[] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0, 200, 0}, {0, 0, 200, 0}};
    EXPECT_EQ(NearestPaletteIndex(palette, 4, 250, 250, 250), 1u);
    EXPECT_EQ(NearestPaletteIndex(palette, 4, 180, 10, 10), 2u);
    EXPECT_EQ(NearestPaletteIndex(palette, 4, 100, 0, 0), 0u);  // as near black as red 200
    EXPECT_EQ(NearestPaletteIndex(palette, 4, 101, 0, 0), 2u);
    EXPECT_EQ(NearestPaletteIndex(palette, 0, 1, 2, 3), 0u);
}

}  // namespace
}  // namespace folium
