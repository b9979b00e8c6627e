// Decodes a GIF with giflib, an independent decoder, for checking what our
// encoder writes. Test and fuzzing code only.
#pragma once

#include <gif_lib.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

namespace folium::testing {

struct DecodedGif {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // global colour table, 3 bytes an entry
    std::vector<std::uint8_t> indices;
    int transparentIndex = -1;
};

inline std::optional<DecodedGif> DecodeGif(const std::vector<std::uint8_t>& bytes) {
    struct Reader {
        const std::vector<std::uint8_t>* data;
        std::size_t at = 0;
    } reader{&bytes};
    auto read = [](GifFileType* gif, GifByteType* out, int n) -> int {
        auto* r = static_cast<Reader*>(gif->UserData);
        const std::size_t left = r->data->size() - r->at;
        const std::size_t take = n < 0 ? 0 : std::min<std::size_t>(left, static_cast<std::size_t>(n));
        std::memcpy(out, r->data->data() + r->at, take);
        r->at += take;
        return static_cast<int>(take);
    };
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, read, &error);
    if (!gif) return std::nullopt;
    std::optional<DecodedGif> result;
    if (DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1 && gif->SColorMap) {
        DecodedGif d;
        d.width = gif->SWidth;
        d.height = gif->SHeight;
        for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
            d.rgb.push_back(gif->SColorMap->Colors[i].Red);
            d.rgb.push_back(gif->SColorMap->Colors[i].Green);
            d.rgb.push_back(gif->SColorMap->Colors[i].Blue);
        }
        const SavedImage& image = gif->SavedImages[0];
        const std::size_t n = static_cast<std::size_t>(image.ImageDesc.Width) * image.ImageDesc.Height;
        d.indices.assign(image.RasterBits, image.RasterBits + n);
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK) d.transparentIndex = gcb.TransparentColor;
        result = std::move(d);
    }
    DGifCloseFile(gif, &error);
    return result;
}

}  // namespace folium::testing
