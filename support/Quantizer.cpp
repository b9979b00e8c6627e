#include "Quantizer.h"

#include <algorithm>

namespace folium {

struct CQuantizer::Node {
    bool leaf = false;
    std::uint32_t pixelCount = 0;
    std::uint32_t redSum = 0;
    std::uint32_t greenSum = 0;
    std::uint32_t blueSum = 0;
    std::uint32_t alphaSum = 0;
    Node* children[8] = {};
    Node* nextReducible = nullptr;
};

// Nodes come and go with every reduction, millions of times for a large image:
// they are recycled through a free list and all released with the quantizer.
struct CQuantizer::NodePool {
    static constexpr std::size_t kChunk = 256;
    std::vector<std::unique_ptr<Node[]>> chunks;
    std::size_t usedInLastChunk = kChunk;
    Node* freeList = nullptr;

    Node* Take() {
        Node* node;
        if (freeList) {
            node = freeList;
            freeList = node->nextReducible;
        } else {
            if (usedInLastChunk == kChunk) {
                chunks.push_back(std::make_unique<Node[]>(kChunk));
                usedInLastChunk = 0;
            }
            node = &chunks.back()[usedInLastChunk++];
        }
        *node = Node{};
        return node;
    }
    void Give(Node* node) {
        node->nextReducible = freeList;
        freeList = node;
    }
};

CQuantizer::CQuantizer(unsigned maxColours, unsigned colourBits)
    : m_nOutputColours(maxColours),
      m_nMaxColours(std::max(maxColours, 16u)),
      m_nColourBits(std::min(colourBits, 8u)),
      m_pool(std::make_unique<NodePool>()) {}

CQuantizer::~CQuantizer() = default;  // the pool owns every node

CQuantizer::Node* CQuantizer::CreateNode(unsigned level) {
    Node* node = m_pool->Take();
    node->leaf = level == m_nColourBits;
    if (node->leaf) {
        ++m_nLeafCount;
    } else {
        node->nextReducible = m_pReducibleNodes[level];
        m_pReducibleNodes[level] = node;
    }
    return node;
}

void CQuantizer::AddColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                           std::uint8_t alpha) {
    if (!m_pRoot) m_pRoot = CreateNode(0);
    Node* node = m_pRoot;
    unsigned level = 0;
    unsigned mask = 0x80;
    while (!node->leaf) {
        const unsigned index = ((red & mask) ? 4u : 0u) | ((green & mask) ? 2u : 0u) |
                               ((blue & mask) ? 1u : 0u);
        ++level;
        mask >>= 1;
        if (!node->children[index]) node->children[index] = CreateNode(level);
        node = node->children[index];
    }
    ++node->pixelCount;
    node->redSum += red;
    node->greenSum += green;
    node->blueSum += blue;
    node->alphaSum += alpha;
}

void CQuantizer::ReduceTree() {
    // The deepest level that still has a reducible node; level 0 holds the root.
    unsigned level = m_nColourBits ? m_nColourBits - 1 : 0;
    while (level > 0 && !m_pReducibleNodes[level]) --level;
    Node* node = m_pReducibleNodes[level];
    if (!node) return;  // only a tree that is all one leaf, which never needs it
    m_pReducibleNodes[level] = node->nextReducible;
    node->nextReducible = nullptr;

    unsigned children = 0;
    for (Node*& child : node->children) {
        if (!child) continue;
        node->pixelCount += child->pixelCount;
        node->redSum += child->redSum;
        node->greenSum += child->greenSum;
        node->blueSum += child->blueSum;
        node->alphaSum += child->alphaSum;
        ++children;
        m_pool->Give(child);
        child = nullptr;
    }
    node->leaf = true;
    m_nLeafCount -= children - 1;
}

bool CQuantizer::ScanBitmap(const DibView& dib) {
    const unsigned bits = dib.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
    if (dib.height == 0 || dib.width == 0) return true;
    if (!dib.bits) return false;

    const std::size_t stride = DibStride(dib.width, bits);
    const PaletteEntry black{};
    for (std::uint32_t y = 0; y < dib.height; ++y) {
        const std::uint8_t* row = dib.bits + stride * y;
        for (std::uint32_t x = 0; x < dib.width; ++x) {
            if (bits == 24) {
                const std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
                AddColour(p[2], p[1], p[0], 0);
            } else {
                const std::size_t bit = static_cast<std::size_t>(x) * bits;
                const unsigned shift = 8 - bits - static_cast<unsigned>(bit % 8);
                const unsigned index = (row[bit / 8] >> shift) & ((1u << bits) - 1);
                const PaletteEntry& c =
                    dib.colours && index < dib.colourCount ? dib.colours[index] : black;
                AddColour(c.red, c.green, c.blue, c.alpha);
            }
            while (m_nLeafCount > m_nMaxColours) ReduceTree();
        }
    }
    return true;
}

namespace {

std::uint8_t Average(std::uint64_t sum, std::uint64_t count) {
    const double value = static_cast<double>(sum) / static_cast<double>(count) + 0.5;
    return static_cast<std::uint8_t>(std::min(255.0, value));
}

}  // namespace

void CQuantizer::CollectLeaves(const Node* node, std::vector<PaletteEntry>& colours,
                               std::vector<std::uint32_t>* counts) const {
    if (!node) return;
    if (node->leaf) {
        const std::uint32_t n = node->pixelCount ? node->pixelCount : 1;
        colours.push_back({Average(node->blueSum, n), Average(node->greenSum, n),
                           Average(node->redSum, n), Average(node->alphaSum, n)});
        if (counts) counts->push_back(node->pixelCount);
        return;
    }
    for (const Node* child : node->children) CollectLeaves(child, colours, counts);
}

unsigned CQuantizer::PaletteSize() const {
    if (m_nOutputColours >= 16) return m_nLeafCount;
    return std::min(m_nLeafCount, m_nOutputColours);
}

std::vector<PaletteEntry> CQuantizer::Palette() const {
    std::vector<PaletteEntry> palette(PaletteSize());
    FillPalette(palette.data());
    return palette;
}

void CQuantizer::FillPalette(PaletteEntry* palette) const {
    std::vector<PaletteEntry> leaves;
    std::vector<std::uint32_t> counts;
    leaves.reserve(m_nLeafCount);
    counts.reserve(m_nLeafCount);
    CollectLeaves(m_pRoot, leaves, &counts);

    const std::size_t outputs = m_nOutputColours;
    if (outputs >= 16 || leaves.size() <= outputs) {
        std::copy(leaves.begin(), leaves.end(), palette);
        return;
    }
    // Fewer colours than leaves: each output averages a run of neighbouring
    // leaves (neighbours in the tree are near in colour).
    const std::size_t n = leaves.size();
    for (std::size_t i = 0; i < outputs; ++i) {
        std::uint64_t red = 0, green = 0, blue = 0, alpha = 0, pixels = 0;
        for (std::size_t k = i * n / outputs; k < (i + 1) * n / outputs; ++k) {
            red += std::uint64_t{leaves[k].red} * counts[k];
            green += std::uint64_t{leaves[k].green} * counts[k];
            blue += std::uint64_t{leaves[k].blue} * counts[k];
            alpha += std::uint64_t{leaves[k].alpha} * counts[k];
            pixels += counts[k];
        }
        if (!pixels) pixels = 1;
        palette[i] = {Average(blue, pixels), Average(green, pixels), Average(red, pixels),
                      Average(alpha, pixels)};
    }
}

unsigned NearestPaletteIndex(const PaletteEntry* palette, std::size_t count, std::uint8_t red,
                             std::uint8_t green, std::uint8_t blue) {
    unsigned best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < count; ++i) {
        const long dr = long{palette[i].red} - red;
        const long dg = long{palette[i].green} - green;
        const long db = long{palette[i].blue} - blue;
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = static_cast<unsigned>(i);
            if (d == 0) break;
        }
    }
    return best;
}

}  // namespace folium
