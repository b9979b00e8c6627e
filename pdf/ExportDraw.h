// Appearance streams for what the export adds: text in two fonts (Courier for ASCII, the
// standard Chinese font STSong-Light for everything else, neither embedded: every viewer
// has both or a substitute), frames, and images as image XObjects.
#pragma once

#include <optional>
#include <string>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

namespace foliumpdf {

struct ImageXObject {
    QPDFObjectHandle stream;
    int width = 0, height = 0;  // pixels
};

// Image bytes (JPEG, PNG, GIF or BMP, detected from the bytes) as an image XObject: JPEG
// is kept as it is (DCTDecode); the others are decoded, with transparency as a soft mask.
// Nothing when the bytes are not a readable image.
std::optional<ImageXObject> MakeImageXObject(QPDF& pdf, const std::string& bytes);

class AppearanceMaker {
public:
    explicit AppearanceMaker(QPDF& pdf) : pdf_(pdf) {}

    // Operators that draw `utf8` with its baseline starting at (x, y).
    std::string Text(const std::string& utf8, double size, double x, double y);
    // The width the text takes: Courier's 0.6 of the size for ASCII, the whole size for
    // the wide font.
    static double TextWidth(const std::string& utf8, double size);
    // "r g b rg" (or RG) of a colour with red in the low byte.
    static std::string Colour(long colour, bool fill);
    static std::string Number(double v);

    // A form XObject for /AP /N. `bbox` is [x1 y1 x2 y2] in form space, `matrix` maps it
    // (empty: identity). Fonts, `image` (drawn as /Im0) and an opacity below 1 become
    // its resources.
    QPDFObjectHandle Form(const double bbox[4], const std::string& content, const QPDFObjectHandle& image = {},
                          double opacity = 1, const double* matrix = nullptr);

private:
    QPDFObjectHandle Fonts();
    QPDF& pdf_;
    QPDFObjectHandle fonts_;
};

// UTF-8 to code points; malformed bytes become U+FFFD.
std::u32string DecodeUtf8(const std::string& utf8);

}  // namespace foliumpdf
