// Images through the platform's codecs (WIC): decoding from memory with the format
// detected from the bytes, 32-bit pixel access, and encoding in a chosen format.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../Com.h"

struct IWICBitmapSource;
struct IWICPalette;

namespace folium {

enum class ImageFormat { Unknown, Bmp, Png, Jpeg, Gif, Tiff, Ico };

// A decoded image (the first frame). Pixels are read and written as 32-bit BGRA
// values (0xAARRGGBB), row by row from the top. An image whose pixels were not
// changed is encoded from its decoded frame as it came (its own pixel format and
// palette), so saving it in the format it was read in loses nothing.
class Image {
public:
    Image();
    ~Image();
    Image(Image&&) noexcept;
    Image& operator=(Image&&) noexcept;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    // Decodes bytes in any format the platform knows; an invalid image when they
    // are not one. The bytes are copied.
    static Image Load(const void* data, size_t size);
    static Image LoadFile(const wchar_t* path);
    // An image from 32-bit BGRA pixels (width * height values, top row first).
    static Image FromPixels(UINT width, UINT height, std::vector<uint32_t> pixels);

    bool Valid() const { return width_ != 0 && height_ != 0; }
    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    // The format the image was read in; Unknown for one made from pixels.
    ImageFormat Format() const { return format_; }
    // Resolution in dots per inch as the file states it (96 when it states none).
    double DpiX() const { return dpiX_; }
    double DpiY() const { return dpiY_; }

    // All pixels, top row first.
    const std::vector<uint32_t>& Pixels() const;
    uint32_t Pixel(UINT x, UINT y) const { return Pixels()[static_cast<size_t>(y) * width_ + x]; }
    void SetPixel(UINT x, UINT y, uint32_t bgra);
    void SetPixels(std::vector<uint32_t> pixels);  // width * height values
    // The pixels for editing in place (for example under a DIB section); what is
    // encoded afterwards is this buffer.
    std::vector<uint32_t>& MutablePixels();

    // Encodes in format (Unknown: the format it was read in). False when the
    // platform has no encoder for it or encoding fails.
    bool Encode(ImageFormat format, std::vector<BYTE>& out) const;
    // Encodes and writes the file (replacing it). False on any failure.
    bool Save(const wchar_t* path, ImageFormat format = ImageFormat::Unknown) const;

private:
    ComPtr<IWICBitmapSource> decoded_;  // the frame as decoded; null once pixels change
    ComPtr<IWICPalette> palette_;       // the frame's palette, when it has one
    mutable std::vector<uint32_t> pixels_;
    mutable bool pixelsRead_ = false;
    UINT width_ = 0, height_ = 0;
    double dpiX_ = 96, dpiY_ = 96;
    ImageFormat format_ = ImageFormat::Unknown;
};

// The format's usual file extension with its dot (".png"); "" for Unknown.
const wchar_t* ImageExtension(ImageFormat format);

}  // namespace folium
