#include "Base64.h"

#include <cstring>

namespace folium {

namespace {

constexpr std::uint32_t kPadAt2 = 1u << 24;
constexpr std::uint32_t kPadAt3 = 1u << 25;

// Big-endian load of eight bytes; compilers turn this into one load and a swap.
inline std::uint64_t LoadBigEndian64(const std::uint8_t* p) {
    return (std::uint64_t{p[0]} << 56) | (std::uint64_t{p[1]} << 48) |
           (std::uint64_t{p[2]} << 40) | (std::uint64_t{p[3]} << 32) |
           (std::uint64_t{p[4]} << 24) | (std::uint64_t{p[5]} << 16) |
           (std::uint64_t{p[6]} << 8) | std::uint64_t{p[7]};
}

// Native-order access through memcpy, swapped on big-endian targets, so that
// one load or store does the work of four or eight byte accesses.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
inline std::uint64_t FromLittleEndian(std::uint64_t v) { return __builtin_bswap64(v); }
inline std::uint32_t ToLittleEndian(std::uint32_t v) { return __builtin_bswap32(v); }
#else
inline std::uint64_t FromLittleEndian(std::uint64_t v) { return v; }
inline std::uint32_t ToLittleEndian(std::uint32_t v) { return v; }
#endif

inline std::uint64_t LoadLittleEndian64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return FromLittleEndian(v);
}

inline void StoreLittleEndian32(std::uint8_t* p, std::uint32_t v) {
    v = ToLittleEndian(v);
    std::memcpy(p, &v, sizeof v);
}

}  // namespace

// Friend of Base64Table so the hot loops can reach its lookup arrays.
struct Base64Codec {
    template <class CharT>
    static inline void PutPair(const Base64Table& t, unsigned v, CharT* out) {
        const char* pair = t.pairs_[v];
        if constexpr (sizeof(CharT) == 1) {
            std::memcpy(out, pair, 2);
        } else {
            out[0] = static_cast<CharT>(static_cast<unsigned char>(pair[0]));
            out[1] = static_cast<CharT>(static_cast<unsigned char>(pair[1]));
        }
    }

    template <class CharT>
    static inline CharT Char(const Base64Table& t, unsigned index) {
        return static_cast<CharT>(static_cast<unsigned char>(t.chars_[index]));
    }

    template <class CharT>
    static std::size_t Encode(const std::uint8_t* in, std::size_t size, const Base64Table& t,
                              CharT* out) {
        CharT* const start = out;
        // Six bytes per step read through an eight-byte load, so stop while at
        // least two bytes beyond the step remain.
        while (size >= 26) {
            const std::uint64_t a = LoadBigEndian64(in);
            const std::uint64_t b = LoadBigEndian64(in + 6);
            const std::uint64_t c = LoadBigEndian64(in + 12);
            const std::uint64_t d = LoadBigEndian64(in + 18);
            PutPair(t, static_cast<unsigned>(a >> 52) & 0xFFF, out);
            PutPair(t, static_cast<unsigned>(a >> 40) & 0xFFF, out + 2);
            PutPair(t, static_cast<unsigned>(a >> 28) & 0xFFF, out + 4);
            PutPair(t, static_cast<unsigned>(a >> 16) & 0xFFF, out + 6);
            PutPair(t, static_cast<unsigned>(b >> 52) & 0xFFF, out + 8);
            PutPair(t, static_cast<unsigned>(b >> 40) & 0xFFF, out + 10);
            PutPair(t, static_cast<unsigned>(b >> 28) & 0xFFF, out + 12);
            PutPair(t, static_cast<unsigned>(b >> 16) & 0xFFF, out + 14);
            PutPair(t, static_cast<unsigned>(c >> 52) & 0xFFF, out + 16);
            PutPair(t, static_cast<unsigned>(c >> 40) & 0xFFF, out + 18);
            PutPair(t, static_cast<unsigned>(c >> 28) & 0xFFF, out + 20);
            PutPair(t, static_cast<unsigned>(c >> 16) & 0xFFF, out + 22);
            PutPair(t, static_cast<unsigned>(d >> 52) & 0xFFF, out + 24);
            PutPair(t, static_cast<unsigned>(d >> 40) & 0xFFF, out + 26);
            PutPair(t, static_cast<unsigned>(d >> 28) & 0xFFF, out + 28);
            PutPair(t, static_cast<unsigned>(d >> 16) & 0xFFF, out + 30);
            in += 24;
            out += 32;
            size -= 24;
        }
        while (size >= 3) {
            const unsigned n = (unsigned{in[0]} << 16) | (unsigned{in[1]} << 8) | in[2];
            PutPair(t, n >> 12, out);
            PutPair(t, n & 0xFFF, out + 2);
            in += 3;
            out += 4;
            size -= 3;
        }
        if (size == 2) {
            out[0] = Char<CharT>(t, in[0] >> 2);
            out[1] = Char<CharT>(t, ((in[0] & 3u) << 4) | (in[1] >> 4));
            out[2] = Char<CharT>(t, (in[1] & 15u) << 2);
            out[3] = Char<CharT>(t, kBase64PadIndex);
            out += 4;
        } else if (size == 1) {
            out[0] = Char<CharT>(t, in[0] >> 2);
            out[1] = Char<CharT>(t, (in[0] & 3u) << 4);
            out[2] = Char<CharT>(t, kBase64PadIndex);
            out[3] = Char<CharT>(t, kBase64PadIndex);
            out += 4;
        }
        return static_cast<std::size_t>(out - start);
    }

    // Writes one group from its combined word and returns the bytes written.
    static inline std::size_t PutGroup(std::uint32_t w, std::uint8_t* out) {
        out[0] = static_cast<std::uint8_t>(w);
        if (w & kPadAt2) return 1;
        out[1] = static_cast<std::uint8_t>(w >> 8);
        if (w & kPadAt3) return 2;
        out[2] = static_cast<std::uint8_t>(w >> 16);
        return 3;
    }

    static std::size_t Decode(const unsigned char* in, std::size_t length, const Base64Table& t,
                              std::uint8_t* out) {
        const std::uint32_t(&d)[4][256] = t.decode_;
        std::uint8_t* const start = out;
        std::size_t groups = length / 4;
        // A clean group stores four bytes at once; its spare fourth byte is
        // overwritten by the next group's first byte, which is always written,
        // so the last full group is left to the exact path below.
        while (groups > 4) {
            const std::uint64_t x = LoadLittleEndian64(in);
            const std::uint64_t y = LoadLittleEndian64(in + 8);
            const std::uint32_t w0 = d[0][x & 0xFF] | d[1][(x >> 8) & 0xFF] |
                                     d[2][(x >> 16) & 0xFF] | d[3][(x >> 24) & 0xFF];
            const std::uint32_t w1 = d[0][(x >> 32) & 0xFF] | d[1][(x >> 40) & 0xFF] |
                                     d[2][(x >> 48) & 0xFF] | d[3][x >> 56];
            const std::uint32_t w2 = d[0][y & 0xFF] | d[1][(y >> 8) & 0xFF] |
                                     d[2][(y >> 16) & 0xFF] | d[3][(y >> 24) & 0xFF];
            const std::uint32_t w3 = d[0][(y >> 32) & 0xFF] | d[1][(y >> 40) & 0xFF] |
                                     d[2][(y >> 48) & 0xFF] | d[3][y >> 56];
            if (((w0 | w1 | w2 | w3) & (kPadAt2 | kPadAt3)) == 0) {
                StoreLittleEndian32(out, w0);
                StoreLittleEndian32(out + 3, w1);
                StoreLittleEndian32(out + 6, w2);
                StoreLittleEndian32(out + 9, w3);
                out += 12;
            } else {
                out += PutGroup(w0, out);
                out += PutGroup(w1, out);
                out += PutGroup(w2, out);
                out += PutGroup(w3, out);
            }
            in += 16;
            groups -= 4;
        }
        while (groups > 0) {
            out += PutGroup(d[0][in[0]] | d[1][in[1]] | d[2][in[2]] | d[3][in[3]], out);
            in += 4;
            --groups;
        }
        // A final partial group: missing positions count as pads.
        switch (length % 4) {
        case 3:
            out += PutGroup(d[0][in[0]] | d[1][in[1]] | d[2][in[2]] | kPadAt3, out);
            break;
        case 2:
            out += PutGroup(d[0][in[0]] | d[1][in[1]] | kPadAt2 | kPadAt3, out);
            break;
        case 1:
            out += PutGroup(d[0][in[0]] | kPadAt2 | kPadAt3, out);
            break;
        default:
            break;
        }
        return static_cast<std::size_t>(out - start);
    }

    static void Build(Base64Table& t, const char* text) {
        std::memcpy(t.chars_, text, kBase64TableLength);
        t.ascii_ = true;
        for (char ch : t.chars_) {
            if (static_cast<unsigned char>(ch) >= 0x80) t.ascii_ = false;
        }
        for (unsigned v = 0; v < 4096; ++v) {
            t.pairs_[v][0] = t.chars_[v >> 6];
            t.pairs_[v][1] = t.chars_[v & 63];
        }
        // Index of each character; filling from the pad downwards leaves the
        // first matching position in place.
        unsigned index[256];
        for (unsigned& i : index) i = kBase64PadIndex;
        for (unsigned i = kBase64TableLength; i-- > 0;) {
            index[static_cast<unsigned char>(t.chars_[i])] = i;
        }
        for (unsigned c = 0; c < 256; ++c) {
            const bool pad = index[c] == kBase64PadIndex;
            const std::uint32_t v = pad ? 0 : index[c];
            t.decode_[0][c] = v << 2;
            t.decode_[1][c] = (v >> 4) | ((v & 15u) << 12);
            t.decode_[2][c] = ((v >> 2) << 8) | ((v & 3u) << 22) | (pad ? kPadAt2 : 0);
            t.decode_[3][c] = (v << 16) | (pad ? kPadAt3 : 0);
        }
    }
};

std::optional<Base64Table> Base64Table::Make(const char* text, std::size_t length) {
    if (text == nullptr || length < kBase64TableLength) return std::nullopt;
    if (std::memchr(text, '\0', kBase64TableLength) != nullptr) return std::nullopt;
    Base64Table table;
    Base64Codec::Build(table, text);
    return table;
}

const Base64Table& Base64Table::Standard() {
    static const Base64Table table = *Make(kStandardBase64Table, kBase64TableLength);
    return table;
}

template <class CharT>
std::size_t EncodeBase64(const void* data, std::size_t size, const Base64Table& table, CharT* out) {
    if (data == nullptr) return 0;
    return Base64Codec::Encode(static_cast<const std::uint8_t*>(data), size, table, out);
}

template std::size_t EncodeBase64<char>(const void*, std::size_t, const Base64Table&, char*);
template std::size_t EncodeBase64<char16_t>(const void*, std::size_t, const Base64Table&,
                                            char16_t*);
template std::size_t EncodeBase64<wchar_t>(const void*, std::size_t, const Base64Table&, wchar_t*);

std::string EncodeBase64(const void* data, std::size_t size, const Base64Table& table) {
    std::string text;
    if (data == nullptr) return text;
    text.resize(Base64EncodedLength(size));
    EncodeBase64(data, size, table, text.data());
    return text;
}

std::size_t DecodeBase64(const char* text, std::size_t length, const Base64Table& table,
                         std::uint8_t* out) {
    if (text == nullptr || length == 0) return 0;
    return Base64Codec::Decode(reinterpret_cast<const unsigned char*>(text), length, table, out);
}

std::vector<std::uint8_t> DecodeBase64(std::string_view text, const Base64Table& table) {
    std::vector<std::uint8_t> bytes(Base64DecodedMaxLength(text.size()));
    bytes.resize(DecodeBase64(text.data(), text.size(), table, bytes.data()));
    return bytes;
}

}  // namespace folium
