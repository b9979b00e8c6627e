// Pictures of the image stamps: decoding with format detection into editable pixels,
// and encoding them again in the format they came in.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace folium::stamps {

struct Picture {
    UINT width = 0;
    UINT height = 0;
    double dpiX = 0;  // as the file reports it; 0 when it gives none
    double dpiY = 0;
    GUID container = {};  // the format the picture was decoded from
    std::vector<std::uint8_t> bgra;  // top-down rows of width * 4 bytes
};

// False when the bytes or the file are not a picture the platform's codecs read.
bool DecodePicture(const std::uint8_t* data, size_t size, Picture* out);
bool DecodePictureFile(const std::wstring& path, Picture* out);

// Encodes in picture.container; a PNG keeps the alpha channel, other formats get
// the colours only. False when the format has no encoder.
bool EncodePicture(const Picture& picture, std::vector<std::uint8_t>* out);

// Drops the alpha channel the way a 24-bit image holds the picture: each pixel is
// laid over white and becomes opaque.
void FlattenOnWhite(Picture* picture);

// The stamp's captions, drawn with GDI in the face "仿宋_GB2312" (GB2312 character
// set, weight 700, proof quality) with a transparent background: the picture is
// widened to the right by the width of the date caption (height 12, black), whose
// left edge stands 5 pixels inside the original width, vertically centred; the
// further lines (height 21, red) are centred one below the other on the picture.
// False when GDI cannot draw (the picture is then unchanged).
bool DrawStampCaptions(Picture* picture, const std::wstring& date, const std::vector<std::wstring>& lines);

// When the top-left pixel is nearly white (each channel above 200), pixels of exactly
// that colour become transparent; returns whether it was.
bool MakeBackgroundTransparent(Picture* picture);

}  // namespace folium::stamps
