// The picture work of the image stamps on top of the shared image helper: a picture
// laid over white, the captions drawn into it with GDI, and its near-white background
// made transparent.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "../support/win/Image.h"

namespace folium::stamps {

// Drops the alpha channel the way a 24-bit image holds the picture: each pixel is
// laid over white and becomes opaque.
void FlattenOnWhite(Image* picture);

// The stamp's captions, drawn with GDI in the face "仿宋_GB2312" (GB2312 character
// set, weight 700, proof quality) with a transparent background: the picture is
// widened to the right by the width of the date caption (height 12, black), whose
// left edge stands 5 pixels inside the original width, vertically centred; the
// further lines (height 21, red) are centred one below the other on the picture.
// Returns the widened picture; an invalid one when GDI cannot draw.
Image DrawStampCaptions(const Image& picture, const std::wstring& date, const std::vector<std::wstring>& lines);

// When the top-left pixel is nearly white (each channel above 200), pixels of exactly
// that colour become transparent; returns whether it was.
bool MakeBackgroundTransparent(Image* picture);

}  // namespace folium::stamps
