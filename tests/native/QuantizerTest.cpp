#include "Quantizer.h"

#include <gtest/gtest.h>

#include <string>

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

std::vector<Rgb> Reds(int count, int step, int firstBlue) {
    std::vector<Rgb> pixels;
    for (int i = 0; i < count; ++i) pixels.push_back({static_cast<std::uint8_t>(i * step), 0, 0});
    pixels.push_back({0, 0, static_cast<std::uint8_t>(firstBlue)});
    return pixels;
}

// The whole outcome of a scan: accepted or not, the leaf count and every palette entry as r.g.b/alpha.
std::string Scan(unsigned maxColours, unsigned colourBits, const DibView& dib) {
    CQuantizer q(maxColours, colourBits);
    if (!q.ScanBitmap(dib)) return "refused";
    std::string s = std::to_string(q.LeafCount()) + " leaves:";
    const auto palette = q.Palette();
    EXPECT_EQ(palette.size(), q.PaletteSize());
    for (const auto& e : palette)
        s += " " + std::to_string(e.red) + "." + std::to_string(e.green) + "." + std::to_string(e.blue) + "/" +
             std::to_string(e.alpha);
    return s;
}

TEST(Quantizer, EachBitmapGivesItsWholePalette) {
    const std::uint8_t zeros[16] = {};
    const PaletteEntry table[4] = {{0, 0, 0, 0}, {0, 0, 255, 7}, {0, 255, 0, 9}, {255, 0, 0, 11}};  // b, g, r, alpha
    // 1 bit: pixels 1,0,1 in the top bits of the first byte; the row pads to 4 bytes.
    const std::uint8_t oneBit[4] = {0xA0, 0xFF, 0xFF, 0xFF};
    // 4 bits: pixel 0 is the high nibble; index 9 lies past the table (black, alpha 0).
    const std::uint8_t fourBit[4] = {0x23, 0x9F, 0xFF, 0xFF};
    // 8 bits, two rows of 2 pixels each padded to 4 bytes.
    const std::uint8_t eightBit[8] = {2, 2, 0xFF, 0xFF, 3, 2, 0xFF, 0xFF};
    const std::uint8_t blueGreenAndThreeReds[8] = {3, 2, 1, 1, 1, 0xFF, 0xFF, 0xFF};
    Dib24 padded(3, 2);  // 9 bytes of pixels, 3 of junk per row
    for (std::uint32_t y = 0; y < 2; ++y)
        for (std::uint32_t x = 0; x < 3; ++x) padded.Set(x, y, {10, 20, 30});
    // Eight reds 32 apart, the second one off by one, and red 64 twice more (leaves in tree order).
    std::vector<Rgb> weighted;
    for (int i = 0; i < 8; ++i) weighted.push_back({static_cast<std::uint8_t>(i * 32 + (i == 1)), 0, 0});
    weighted.insert(weighted.end(), 2, Rgb{64, 0, 0});
    const struct {
        const char* what;
        unsigned maxColours, colourBits;
        DibView dib;  // or, when that has no size, one row of these pixels
        std::string outcome;
        std::vector<Rgb> row = {};
    } cases[] = {
        {"0 bits", 16, 8, {1, 1, 0, zeros, nullptr, 0}, "refused"},
        {"2 bits", 16, 8, {1, 1, 2, zeros, nullptr, 0}, "refused"},
        {"15 bits", 16, 8, {1, 1, 15, zeros, nullptr, 0}, "refused"},
        {"16 bits", 16, 8, {1, 1, 16, zeros, nullptr, 0}, "refused"},
        {"32 bits", 16, 8, {1, 1, 32, zeros, nullptr, 0}, "refused"},
        {"no pixels", 16, 8, {1, 1, 24, nullptr, nullptr, 0}, "refused"},
        {"no rows", 16, 8, {5, 0, 24, nullptr, nullptr, 0}, "0 leaves:"},
        // Palette bitmaps read indices most significant first and alpha from the table.
        {"1 bit", 16, 8, {3, 1, 1, oneBit, table, 4}, "2 leaves: 0.0.0/0 255.0.0/7"},
        {"4 bits", 16, 8, {3, 1, 4, fourBit, table, 4}, "3 leaves: 0.0.0/0 0.0.255/11 0.255.0/9"},
        {"8 bits", 16, 8, {2, 2, 8, eightBit, table, 4}, "2 leaves: 0.0.255/11 0.255.0/9"},
        {"24 bits skip their row padding", 16, 8, padded.View(), "1 leaves: 10.20.30/0"},
        // Sixteen reds 16 apart fill the tree; (0,0,1) then differs from (0,0,0) only in the last bit.
        // Level 7 nodes are reduced newest first: the fifteen single-child ones change nothing, the one
        // holding both blacks merges them, with half rounding: blue (0 + 1) / 2 + 0.5 = 1.
        {"reduction", 16, 8, {},
         "16 leaves: 0.0.1/0 16.0.0/0 32.0.0/0 48.0.0/0 64.0.0/0 80.0.0/0 96.0.0/0 112.0.0/0 128.0.0/0 144.0.0/0 "
         "160.0.0/0 176.0.0/0 192.0.0/0 208.0.0/0 224.0.0/0 240.0.0/0",
         Reds(16, 16, 1)},
        // Two colour bits: only the top two bits of each channel tell leaves apart.
        {"shallow tree", 16, 2, {}, "3 leaves: 32.32.32/0 96.0.0/0 255.255.255/0",
         {{0, 0, 0}, {63, 63, 63}, {64, 0, 0}, {127, 0, 0}, {255, 255, 255}}},
        // Fewer output colours: runs of leaves averaged by pixel count, (64 * 3 + 96) / 4 + 0.5 = 72.
        {"fewer colours", 4, 8, {}, "8 leaves: 17.0.0/0 72.0.0/0 144.0.0/0 208.0.0/0", weighted},
        {"fewer colours weigh alpha too", 2, 8, {5, 1, 8, blueGreenAndThreeReds, table, 4},
         "3 leaves: 0.0.255/11 191.64.0/8"},
        {"no more leaves than colours", 4, 8, {}, "2 leaves: 1.2.3/0 200.100.50/0", {{1, 2, 3}, {200, 100, 50}}},
        {"colour bits above 8 count as 8", 16, 12, {}, "2 leaves: 0.0.0/0 0.0.1/0", {{0, 0, 0}, {0, 0, 1}}},
        {"0 colour bits: one leaf", 16, 0, {}, "1 leaves: 170.85.85/0", {{0, 0, 0}, {255, 255, 255}, {255, 0, 0}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Scan(c.maxColours, c.colourBits, c.row.empty() ? c.dib : Row(c.row).View()), c.outcome) << c.what;
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
