// GIF89a writer for palette images: one frame, a global colour table, LZW
// compressed, and the graphic-control extension when a colour is transparent.
//
// The platform's GIF encoder under Wine writes 8-bit frames only and no
// graphic-control extension, so a transparent index would be lost; this one
// keeps a 16-colour image at 4 bits per code and its transparency.
// Portable C++17, no platform types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Quantizer.h"

namespace folium {

struct GifFrame {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const PaletteEntry* palette = nullptr;  // 1..256 entries; alpha is not written
    std::size_t paletteSize = 0;
    const std::uint8_t* indices = nullptr;  // width * height, top row first
    int transparentIndex = -1;              // -1: none
};

// The whole GIF file. Empty when the frame cannot be written: no pixels, a
// side above 65535, no palette or more than 256 entries, an index or a
// transparent index outside the palette.
std::vector<std::uint8_t> EncodeGif(const GifFrame& frame);

}  // namespace folium
