// The bytes the benchmarks encode and decode: reproducible pseudo-random
// data, the same in the native and the Windows benchmark so their numbers compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace folium::bench {

inline constexpr std::size_t kSmallInput = std::size_t{1} << 20;   // 1 MB
inline constexpr std::size_t kLargeInput = std::size_t{64} << 20;  // 64 MB

inline std::vector<std::uint8_t> MakeInput(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::mt19937_64 random(20261205);
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        const std::uint64_t v = random();
        for (int k = 0; k < 8; ++k) bytes[i + k] = static_cast<std::uint8_t>(v >> (8 * k));
    }
    for (const std::uint64_t v = random(); i < size; ++i) bytes[i] = static_cast<std::uint8_t>(v >> (8 * (i % 8)));
    return bytes;
}

}  // namespace folium::bench
