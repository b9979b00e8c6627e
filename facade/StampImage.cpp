// Stamp pictures: flattening, captions drawn with GDI, transparent background.
#include "StampImage.h"

#include <algorithm>
#include <cstring>

namespace folium::stamps {

namespace {

constexpr wchar_t kCaptionFace[] = L"仿宋_GB2312";
constexpr int kDateHeight = 12;
constexpr int kLineHeight = 21;
constexpr int kCaptionWeight = 700;
constexpr COLORREF kDateColour = RGB(0, 0, 0);
constexpr COLORREF kLineColour = RGB(255, 0, 0);

class Font {
public:
    explicit Font(int height)
        : h_(CreateFontW(height, 0, 0, 0, kCaptionWeight, FALSE, FALSE, FALSE, GB2312_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, PROOF_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kCaptionFace)) {}
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    ~Font() {
        if (h_) DeleteObject(h_);
    }
    HFONT get() const { return h_; }

private:
    HFONT h_;
};

class MemoryDc {
public:
    MemoryDc() : dc_(CreateCompatibleDC(nullptr)) {}
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    ~MemoryDc() {
        if (dc_) DeleteDC(dc_);
    }
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

SIZE TextSize(HDC dc, HFONT font, const std::wstring& text) {
    SIZE size = {0, 0};
    HGDIOBJ old = SelectObject(dc, font);
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    return size;
}

}  // namespace

void FlattenOnWhite(Image* picture) {
    for (uint32_t& pixel : picture->MutablePixels()) {
        const uint32_t a = pixel >> 24;
        uint32_t out = 0xFF000000u;
        for (int shift = 0; shift < 24; shift += 8) {
            const uint32_t c = (pixel >> shift) & 0xFF;
            out |= ((c * a + 255 * (255 - a) + 127) / 255) << shift;
        }
        pixel = out;
    }
}

Image DrawStampCaptions(const Image& source, const std::wstring& date, const std::vector<std::wstring>& lines) {
    MemoryDc dc;
    Font dateFont(kDateHeight), lineFont(kLineHeight);
    if (!dc.get() || !dateFont.get() || !lineFont.get() || !source.Valid()) return Image();
    const SIZE dateSize = TextSize(dc.get(), dateFont.get(), date);
    const UINT oldWidth = source.Width(), height = source.Height();
    const unsigned long long width = static_cast<unsigned long long>(oldWidth) + std::max<LONG>(dateSize.cx, 0);
    if (width * height * 4 > 0x7FFFFFFFull) return Image();

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down, like the picture
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return Image();
    auto* target = static_cast<uint32_t*>(bits);
    const std::vector<uint32_t>& pixels = source.Pixels();
    for (UINT y = 0; y < height; ++y) {
        uint32_t* row = target + static_cast<size_t>(y) * width;
        memcpy(row, pixels.data() + static_cast<size_t>(y) * oldWidth, oldWidth * sizeof(uint32_t));
        std::fill(row + oldWidth, row + width, 0xFFFFFFFFu);  // the widened part is white
    }
    HGDIOBJ oldBitmap = SelectObject(dc.get(), bitmap);
    SetBkMode(dc.get(), TRANSPARENT);

    HGDIOBJ oldFont = SelectObject(dc.get(), dateFont.get());
    SetTextAlign(dc.get(), TA_LEFT | TA_TOP);
    SetTextColor(dc.get(), kDateColour);
    const int dateTop = (static_cast<int>(height) - dateSize.cy) / 2;
    TextOutW(dc.get(), static_cast<int>(oldWidth) - 5, dateTop, date.c_str(), static_cast<int>(date.size()));

    SelectObject(dc.get(), lineFont.get());
    SetTextAlign(dc.get(), TA_CENTER | TA_TOP);
    SetTextColor(dc.get(), kLineColour);
    int lineHeight = kLineHeight;
    if (!lines.empty()) lineHeight = std::max<int>(TextSize(dc.get(), lineFont.get(), lines.front()).cy, 1);
    int top = (static_cast<int>(height) - lineHeight * static_cast<int>(lines.size())) / 2;
    for (const std::wstring& line : lines) {
        TextOutW(dc.get(), static_cast<int>(width / 2), top, line.c_str(), static_cast<int>(line.size()));
        top += lineHeight;
    }
    SelectObject(dc.get(), oldFont);
    GdiFlush();

    std::vector<uint32_t> drawn(target, target + static_cast<size_t>(width) * height);
    SelectObject(dc.get(), oldBitmap);
    DeleteObject(bitmap);
    // GDI leaves the alpha byte of the pixels it draws at 0: the picture is opaque.
    for (uint32_t& pixel : drawn) pixel |= 0xFF000000u;
    return Image::FromPixels(static_cast<UINT>(width), height, std::move(drawn));
}

bool MakeBackgroundTransparent(Image* picture) {
    if (!picture->Valid()) return false;
    const uint32_t corner = picture->Pixel(0, 0) & 0x00FFFFFFu;
    if (((corner >> 16) & 0xFF) <= 200 || ((corner >> 8) & 0xFF) <= 200 || (corner & 0xFF) <= 200) return false;
    for (uint32_t& pixel : picture->MutablePixels())
        if ((pixel & 0x00FFFFFFu) == corner) pixel = corner;  // alpha 0
    return true;
}

}  // namespace folium::stamps
