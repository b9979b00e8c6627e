// Octree colour quantizer for the barcode stamps: builds a palette of at most
// the requested number of colours from a device-independent bitmap, and the
// nearest-colour mapping used to reduce an image to that palette.
//
// Portable C++17, no platform types: the component hands it the bitmap's
// bytes through a DibView.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace folium {

// One colour-table entry in the bitmap layout (blue, green, red, reserved);
// the reserved byte is read as alpha.
struct PaletteEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t alpha = 0;
    friend bool operator==(const PaletteEntry& a, const PaletteEntry& b) {
        return a.blue == b.blue && a.green == b.green && a.red == b.red && a.alpha == b.alpha;
    }
};

// A device-independent bitmap as stored: `height` rows of `width` pixels, each
// row padded to a multiple of four bytes (DibStride). Palette pixels of 1, 4
// and 8 bits are indices into `colours`, the most significant bits holding the
// leftmost pixel; 24-bit pixels are blue, green, red.
struct DibView {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    unsigned bitCount = 0;
    const std::uint8_t* bits = nullptr;
    const PaletteEntry* colours = nullptr;
    std::size_t colourCount = 0;
};

// Bytes per stored row: the pixel bits rounded up to a multiple of 32.
constexpr std::size_t DibStride(std::uint32_t width, unsigned bitCount) {
    return (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
}

class CQuantizer {
public:
    // maxColours: palette size wanted; the tree itself is reduced only above
    // max(maxColours, 16) leaves. colourBits: tree depth, at most 8.
    CQuantizer(unsigned maxColours, unsigned colourBits);
    virtual ~CQuantizer();
    CQuantizer(const CQuantizer&) = delete;
    CQuantizer& operator=(const CQuantizer&) = delete;

    // Adds every pixel of the bitmap, row after row as stored. Accepts 1, 4, 8
    // and 24 bits per pixel; any other depth, or a bitmap without pixel bytes
    // while it has rows, gives false. A palette index past the colour table
    // reads as transparent black.
    bool ScanBitmap(const DibView& dib);

    // Writes PaletteSize() entries: one per leaf in depth-first child order,
    // or, when fewer colours were asked for than the tree has leaves, that
    // many averages of neighbouring leaves weighted by their pixel counts.
    void FillPalette(PaletteEntry* palette) const;
    std::vector<PaletteEntry> Palette() const;

    unsigned PaletteSize() const;
    unsigned LeafCount() const { return m_nLeafCount; }

private:
    struct Node;
    struct NodePool;

    void AddColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue, std::uint8_t alpha);
    void ReduceTree();
    Node* CreateNode(unsigned level);
    void CollectLeaves(const Node* node, std::vector<PaletteEntry>& colours,
                       std::vector<std::uint32_t>* counts) const;

    unsigned m_nOutputColours;
    unsigned m_nMaxColours;
    unsigned m_nColourBits;
    unsigned m_nLeafCount = 0;
    std::unique_ptr<NodePool> m_pool;
    Node* m_pRoot = nullptr;
    Node* m_pReducibleNodes[9] = {};
};

// Index of the palette entry nearest to the colour (squared distance over red,
// green and blue; the first of equally near entries). 0 for an empty palette.
unsigned NearestPaletteIndex(const PaletteEntry* palette, std::size_t count, std::uint8_t red,
                             std::uint8_t green, std::uint8_t blue);

}  // namespace folium
