#include "GifEncoder.h"

#include <algorithm>
#include <array>
#include <memory>

namespace folium {

namespace {

constexpr unsigned kMaxCodes = 4096;

void PutWord(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

// Codes packed least significant bit first into data sub-blocks of at most
// 255 bytes, each preceded by its length.
class CodeWriter {
public:
    explicit CodeWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void Put(unsigned code, unsigned size) {
        bits_ |= static_cast<std::uint32_t>(code) << count_;
        count_ += size;
        while (count_ >= 8) {
            PutByte(static_cast<std::uint8_t>(bits_ & 0xFF));
            bits_ >>= 8;
            count_ -= 8;
        }
    }

    void Finish() {
        if (count_ > 0) PutByte(static_cast<std::uint8_t>(bits_ & 0xFF));
        bits_ = 0;
        count_ = 0;
        Flush();
        out_.push_back(0);  // block terminator
    }

private:
    void PutByte(std::uint8_t byte) {
        block_[blockSize_++] = byte;
        if (blockSize_ == 255) Flush();
    }
    void Flush() {
        if (!blockSize_) return;
        out_.push_back(static_cast<std::uint8_t>(blockSize_));
        out_.insert(out_.end(), block_.begin(), block_.begin() + blockSize_);
        blockSize_ = 0;
    }

    std::vector<std::uint8_t>& out_;
    std::uint32_t bits_ = 0;
    unsigned count_ = 0;
    std::array<std::uint8_t, 255> block_{};
    unsigned blockSize_ = 0;
};

// String table of the compressor: (prefix code, next index) -> code, open
// addressing in a table twice the size of the code space.
class StringTable {
public:
    static constexpr unsigned kSize = 8192;

    void Clear() { std::fill(keys_.begin(), keys_.end(), kEmpty); }

    // The code for prefix + index, or -1 with `slot` set for Add.
    int Find(unsigned prefix, unsigned index, unsigned& slot) const {
        const std::uint32_t key = (prefix << 8) | index;
        unsigned h = (key * 2654435761u) >> 19;  // 13 bits
        while (keys_[h] != kEmpty) {
            if (keys_[h] == key) return codes_[h];
            h = (h + 1) & (kSize - 1);
        }
        slot = h;
        return -1;
    }
    void Add(unsigned slot, unsigned prefix, unsigned index, unsigned code) {
        keys_[slot] = (prefix << 8) | index;
        codes_[slot] = static_cast<std::uint16_t>(code);
    }

private:
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    std::array<std::uint32_t, kSize> keys_{};
    std::array<std::uint16_t, kSize> codes_{};
};

void CompressLzw(const std::uint8_t* indices, std::size_t count, unsigned minCodeSize,
                 std::vector<std::uint8_t>& out) {
    const unsigned clearCode = 1u << minCodeSize;
    const unsigned endCode = clearCode + 1;
    auto table = std::make_unique<StringTable>();
    CodeWriter writer(out);

    unsigned codeSize = minCodeSize + 1;
    unsigned nextCode = endCode + 1;
    table->Clear();
    writer.Put(clearCode, codeSize);

    unsigned prefix = indices[0];
    for (std::size_t i = 1; i < count; ++i) {
        const unsigned index = indices[i];
        unsigned slot = 0;
        const int found = table->Find(prefix, index, slot);
        if (found >= 0) {
            prefix = static_cast<unsigned>(found);
            continue;
        }
        writer.Put(prefix, codeSize);
        if (nextCode < kMaxCodes) {
            table->Add(slot, prefix, index, nextCode++);
            // A decoder adds this entry one code later, and widens its codes
            // when its table reaches the next power of two.
            if (nextCode > (1u << codeSize) && codeSize < 12) ++codeSize;
        } else {
            // Table full: start afresh so the image keeps compressing.
            writer.Put(clearCode, codeSize);
            table->Clear();
            codeSize = minCodeSize + 1;
            nextCode = endCode + 1;
        }
        prefix = index;
    }
    writer.Put(prefix, codeSize);
    writer.Put(endCode, codeSize);
    writer.Finish();
}

}  // namespace

std::vector<std::uint8_t> EncodeGif(const GifFrame& frame) {
    if (!frame.width || !frame.height || frame.width > 0xFFFF || frame.height > 0xFFFF) return {};
    if (!frame.palette || !frame.paletteSize || frame.paletteSize > 256 || !frame.indices) return {};
    if (frame.transparentIndex >= static_cast<int>(frame.paletteSize) || frame.transparentIndex < -1)
        return {};
    const std::size_t count = static_cast<std::size_t>(frame.width) * frame.height;
    if (std::any_of(frame.indices, frame.indices + count,
                    [&](std::uint8_t i) { return i >= frame.paletteSize; }))
        return {};

    unsigned tableBits = 1;
    while ((1u << tableBits) < frame.paletteSize) ++tableBits;
    const unsigned minCodeSize = std::max(2u, tableBits);

    std::vector<std::uint8_t> out{'G', 'I', 'F', '8', '9', 'a'};
    out.reserve(64 + 3 * (1u << tableBits) + count / 2);

    // Logical screen: global table present, colour resolution and table size
    // both tableBits, background colour 0, square pixels.
    PutWord(out, frame.width);
    PutWord(out, frame.height);
    out.push_back(static_cast<std::uint8_t>(0x80 | ((tableBits - 1) << 4) | (tableBits - 1)));
    out.push_back(0);
    out.push_back(0);
    for (unsigned i = 0; i < (1u << tableBits); ++i) {
        const PaletteEntry c = i < frame.paletteSize ? frame.palette[i] : PaletteEntry{};
        out.push_back(c.red);
        out.push_back(c.green);
        out.push_back(c.blue);
    }

    if (frame.transparentIndex >= 0) {
        // Graphic-control extension: no disposal, no delay, transparent flag.
        const std::uint8_t gce[] = {0x21, 0xF9, 0x04, 0x01, 0x00, 0x00,
                                    static_cast<std::uint8_t>(frame.transparentIndex), 0x00};
        out.insert(out.end(), gce, gce + sizeof gce);
    }

    out.push_back(0x2C);  // image descriptor: whole screen, no local table
    PutWord(out, 0);
    PutWord(out, 0);
    PutWord(out, frame.width);
    PutWord(out, frame.height);
    out.push_back(0);

    out.push_back(static_cast<std::uint8_t>(minCodeSize));
    CompressLzw(frame.indices, count, minCodeSize, out);
    out.push_back(0x3B);  // trailer
    return out;
}

}  // namespace folium
