// Stamp pictures through the platform's imaging codecs (WIC).
#include "StampImage.h"

#include <wincodec.h>

#include <algorithm>
#include <cstring>

#include "../support/Com.h"

namespace folium::stamps {

namespace {

ComPtr<IWICImagingFactory> Factory() {
    ComPtr<IWICImagingFactory> factory;
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                     factory.put_void());
    return factory;
}

bool ReadFrame(IWICImagingFactory* factory, IWICBitmapDecoder* decoder, Picture* out) {
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.put()))) return false;
    Picture p;
    decoder->GetContainerFormat(&p.container);
    if (FAILED(frame->GetSize(&p.width, &p.height)) || p.width == 0 || p.height == 0) return false;
    if (FAILED(frame->GetResolution(&p.dpiX, &p.dpiY))) p.dpiX = p.dpiY = 0;
    // Pictures too large to address in 32 bits are not stamps.
    const unsigned long long stride = 4ull * p.width;
    if (stride * p.height > 0x7FFFFFFFull) return false;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)))
        return false;
    p.bgra.resize(static_cast<size_t>(stride * p.height));
    if (FAILED(converter->CopyPixels(nullptr, static_cast<UINT>(stride), static_cast<UINT>(p.bgra.size()),
                                     p.bgra.data())))
        return false;
    *out = std::move(p);
    return true;
}

}  // namespace

bool DecodePicture(const std::uint8_t* data, size_t size, Picture* out) {
    if (!data || size == 0 || size > 0x7FFFFFFF) return false;
    auto factory = Factory();
    if (!factory) return false;
    ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.put())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size))))
        return false;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.put())))
        return false;
    return ReadFrame(factory.get(), decoder.get(), out);
}

bool DecodePictureFile(const std::wstring& path, Picture* out) {
    if (path.empty()) return false;
    auto factory = Factory();
    if (!factory) return false;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                  decoder.put())))
        return false;
    return ReadFrame(factory.get(), decoder.get(), out);
}

bool EncodePicture(const Picture& picture, std::vector<std::uint8_t>* out) {
    out->clear();
    if (picture.width == 0 || picture.height == 0 ||
        picture.bgra.size() != static_cast<size_t>(picture.width) * picture.height * 4)
        return false;
    auto factory = Factory();
    if (!factory) return false;
    ComPtr<IStream> memory;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, memory.put()))) return false;
    ComPtr<IWICBitmapEncoder> encoder;
    if (FAILED(factory->CreateEncoder(picture.container, nullptr, encoder.put())) ||
        FAILED(encoder->Initialize(memory.get(), WICBitmapEncoderNoCache)))
        return false;
    ComPtr<IWICBitmapFrameEncode> frame;
    if (FAILED(encoder->CreateNewFrame(frame.put(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(picture.width, picture.height)))
        return false;
    if (picture.dpiX > 0 && picture.dpiY > 0) frame->SetResolution(picture.dpiX, picture.dpiY);
    ComPtr<IWICBitmap> bitmap;
    if (FAILED(factory->CreateBitmapFromMemory(picture.width, picture.height, GUID_WICPixelFormat32bppBGRA,
                                               picture.width * 4, static_cast<UINT>(picture.bgra.size()),
                                               const_cast<BYTE*>(picture.bgra.data()), bitmap.put())))
        return false;
    // Formats without an alpha channel take the colours only.
    const bool alpha = IsEqualGUID(picture.container, GUID_ContainerFormatPng);
    WICPixelFormatGUID format = alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->SetPixelFormat(&format))) return false;
    ComPtr<IWICBitmapSource> source;
    if (IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA)) {
        source = ComPtr<IWICBitmapSource>(bitmap.get());
    } else {
        // The encoder may insist on a palette format (GIF): give it one made from the picture.
        ComPtr<IWICPalette> palette;
        const bool indexed = IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed);
        if (indexed) {
            if (FAILED(factory->CreatePalette(palette.put())) ||
                FAILED(palette->InitializeFromBitmap(bitmap.get(), 256, FALSE)) ||
                FAILED(frame->SetPalette(palette.get())))
                return false;
        }
        ComPtr<IWICFormatConverter> converter;
        if (FAILED(factory->CreateFormatConverter(converter.put())) ||
            FAILED(converter->Initialize(bitmap.get(), format, WICBitmapDitherTypeNone, palette.get(), 0,
                                         indexed ? WICBitmapPaletteTypeCustom : WICBitmapPaletteTypeMedianCut)))
            return false;
        source = ComPtr<IWICBitmapSource>(converter.get());
    }
    if (FAILED(frame->WriteSource(source.get(), nullptr)) || FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return false;
    HGLOBAL global = nullptr;
    if (FAILED(GetHGlobalFromStream(memory.get(), &global))) return false;
    STATSTG stat = {};
    if (FAILED(memory->Stat(&stat, STATFLAG_NONAME))) return false;
    const size_t size = static_cast<size_t>(stat.cbSize.QuadPart);
    const void* bytes = GlobalLock(global);
    if (!bytes) return false;
    out->assign(static_cast<const std::uint8_t*>(bytes), static_cast<const std::uint8_t*>(bytes) + size);
    GlobalUnlock(global);
    return !out->empty();
}

}  // namespace folium::stamps

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

void FlattenOnWhite(Picture* picture) {
    for (size_t i = 0; i + 3 < picture->bgra.size(); i += 4) {
        const unsigned a = picture->bgra[i + 3];
        for (size_t c = 0; c < 3; ++c)
            picture->bgra[i + c] = static_cast<std::uint8_t>((picture->bgra[i + c] * a + 255 * (255 - a) + 127) / 255);
        picture->bgra[i + 3] = 255;
    }
}

bool DrawStampCaptions(Picture* picture, const std::wstring& date, const std::vector<std::wstring>& lines) {
    MemoryDc dc;
    Font dateFont(kDateHeight), lineFont(kLineHeight);
    if (!dc.get() || !dateFont.get() || !lineFont.get()) return false;
    const SIZE dateSize = TextSize(dc.get(), dateFont.get(), date);
    const unsigned long long width = static_cast<unsigned long long>(picture->width) + dateSize.cx;
    if (width * picture->height * 4 > 0x7FFFFFFFull) return false;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(picture->height);  // top-down, like the picture
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return false;
    auto* target = static_cast<std::uint8_t*>(bits);
    const size_t newStride = static_cast<size_t>(width) * 4, oldStride = static_cast<size_t>(picture->width) * 4;
    for (UINT y = 0; y < picture->height; ++y) {
        std::uint8_t* row = target + y * newStride;
        memcpy(row, picture->bgra.data() + y * oldStride, oldStride);
        memset(row + oldStride, 0xFF, newStride - oldStride);  // the widened part is white
    }
    HGDIOBJ oldBitmap = SelectObject(dc.get(), bitmap);
    SetBkMode(dc.get(), TRANSPARENT);

    HGDIOBJ oldFont = SelectObject(dc.get(), dateFont.get());
    SetTextAlign(dc.get(), TA_LEFT | TA_TOP);
    SetTextColor(dc.get(), kDateColour);
    const int dateTop = (static_cast<int>(picture->height) - dateSize.cy) / 2;
    TextOutW(dc.get(), static_cast<int>(picture->width) - 5, dateTop, date.c_str(), static_cast<int>(date.size()));

    SelectObject(dc.get(), lineFont.get());
    SetTextAlign(dc.get(), TA_CENTER | TA_TOP);
    SetTextColor(dc.get(), kLineColour);
    int lineHeight = kLineHeight;
    if (!lines.empty()) lineHeight = std::max<int>(TextSize(dc.get(), lineFont.get(), lines.front()).cy, 1);
    int top = (static_cast<int>(picture->height) - lineHeight * static_cast<int>(lines.size())) / 2;
    for (const std::wstring& line : lines) {
        TextOutW(dc.get(), static_cast<int>(width / 2), top, line.c_str(), static_cast<int>(line.size()));
        top += lineHeight;
    }
    SelectObject(dc.get(), oldFont);
    GdiFlush();

    std::vector<std::uint8_t> pixels(target, target + newStride * picture->height);
    SelectObject(dc.get(), oldBitmap);
    DeleteObject(bitmap);
    // GDI leaves the alpha byte of the pixels it draws at 0: the picture is opaque.
    for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    picture->bgra = std::move(pixels);
    picture->width = static_cast<UINT>(width);
    return true;
}

bool MakeBackgroundTransparent(Picture* picture) {
    if (picture->bgra.size() < 4) return false;
    const std::uint8_t b = picture->bgra[0], g = picture->bgra[1], r = picture->bgra[2];
    if (r <= 200 || g <= 200 || b <= 200) return false;
    for (size_t i = 0; i + 3 < picture->bgra.size(); i += 4)
        if (picture->bgra[i] == b && picture->bgra[i + 1] == g && picture->bgra[i + 2] == r) picture->bgra[i + 3] = 0;
    return true;
}

}  // namespace folium::stamps
