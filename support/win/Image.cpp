// WIC behind the small image interface the seal, stamp and watermark members use.
#include "Image.h"

#include <wincodec.h>

#include <climits>
#include <cstring>

namespace folium {

namespace {

struct FormatEntry {
    ImageFormat format;
    const GUID* container;
    const wchar_t* extension;
};

const FormatEntry kFormats[] = {
    {ImageFormat::Bmp, &GUID_ContainerFormatBmp, L".bmp"},   {ImageFormat::Png, &GUID_ContainerFormatPng, L".png"},
    {ImageFormat::Jpeg, &GUID_ContainerFormatJpeg, L".jpg"}, {ImageFormat::Gif, &GUID_ContainerFormatGif, L".gif"},
    {ImageFormat::Tiff, &GUID_ContainerFormatTiff, L".tif"}, {ImageFormat::Ico, &GUID_ContainerFormatIco, L".ico"},
};

ImageFormat FormatOf(const GUID& container) {
    for (const auto& f : kFormats)
        if (IsEqualGUID(*f.container, container)) return f.format;
    return ImageFormat::Unknown;
}

const GUID* ContainerOf(ImageFormat format) {
    for (const auto& f : kFormats)
        if (f.format == format) return f.container;
    return nullptr;
}

bool IsIndexed(const WICPixelFormatGUID& f) {
    return IsEqualGUID(f, GUID_WICPixelFormat1bppIndexed) || IsEqualGUID(f, GUID_WICPixelFormat2bppIndexed) ||
           IsEqualGUID(f, GUID_WICPixelFormat4bppIndexed) || IsEqualGUID(f, GUID_WICPixelFormat8bppIndexed);
}

ComPtr<IWICImagingFactory> Factory() {
    ComPtr<IWICImagingFactory> factory;
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                     factory.put_void());
    return factory;
}

// A stream over a private copy of the bytes, released with the stream.
ComPtr<IStream> MemoryStream(const void* data, size_t size) {
    ComPtr<IStream> stream;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return stream;
    if (void* p = GlobalLock(memory)) {
        std::memcpy(p, data, size);
        GlobalUnlock(memory);
        if (SUCCEEDED(CreateStreamOnHGlobal(memory, TRUE, stream.put()))) return stream;
    }
    GlobalFree(memory);
    return stream;
}

ComPtr<IWICBitmapSource> Converted(IWICImagingFactory* factory, IWICBitmapSource* source, const WICPixelFormatGUID& to,
                                   IWICPalette* palette) {
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.put()))) return nullptr;
    if (FAILED(converter->Initialize(source, to, WICBitmapDitherTypeNone, palette, 0.0,
                                     palette ? WICBitmapPaletteTypeCustom : WICBitmapPaletteTypeMedianCut)))
        return nullptr;
    ComPtr<IWICBitmapSource> out;
    converter.As(out);
    return out;
}

}  // namespace

Image::Image() = default;
Image::~Image() = default;
Image::Image(Image&&) noexcept = default;
Image& Image::operator=(Image&&) noexcept = default;

Image Image::Load(const void* data, size_t size) {
    Image image;
    if (!data || size == 0 || size > static_cast<size_t>(INT_MAX)) return image;
    ComPtr<IWICImagingFactory> factory = Factory();
    ComPtr<IStream> stream = MemoryStream(data, size);
    if (!factory || !stream) return image;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.put())))
        return image;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.put()))) return image;
    GUID container = GUID_NULL;
    decoder->GetContainerFormat(&container);
    // A copy of the frame's pixels, so that nothing refers to the stream afterwards.
    ComPtr<IWICBitmap> bitmap;
    if (FAILED(factory->CreateBitmapFromSource(frame.get(), WICBitmapCacheOnLoad, bitmap.put()))) return image;
    UINT w = 0, h = 0;
    if (FAILED(bitmap->GetSize(&w, &h)) || w == 0 || h == 0) return image;
    WICPixelFormatGUID pixelFormat;
    if (SUCCEEDED(bitmap->GetPixelFormat(&pixelFormat)) && IsIndexed(pixelFormat)) {
        ComPtr<IWICPalette> palette;
        if (SUCCEEDED(factory->CreatePalette(palette.put())) && SUCCEEDED(frame->CopyPalette(palette.get())))
            image.palette_ = palette;
    }
    double dpiX = 0, dpiY = 0;
    if (SUCCEEDED(frame->GetResolution(&dpiX, &dpiY)) && dpiX > 0 && dpiY > 0) {
        image.dpiX_ = dpiX;
        image.dpiY_ = dpiY;
    }
    bitmap.As(image.decoded_);
    image.width_ = w;
    image.height_ = h;
    image.format_ = FormatOf(container);
    // Read the pixels now: a frame that decodes its header but not its data is no image.
    image.Pixels();
    if (!image.pixelsRead_) return Image();
    return image;
}

Image Image::LoadFile(const wchar_t* path) {
    UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file.valid()) return Image();
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > INT_MAX) return Image();
    std::vector<BYTE> bytes(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size())
        return Image();
    return Load(bytes.data(), bytes.size());
}

Image Image::FromPixels(UINT width, UINT height, std::vector<uint32_t> pixels) {
    Image image;
    if (width == 0 || height == 0 || pixels.size() != static_cast<size_t>(width) * height) return image;
    image.width_ = width;
    image.height_ = height;
    image.pixels_ = std::move(pixels);
    image.pixelsRead_ = true;
    return image;
}

const std::vector<uint32_t>& Image::Pixels() const {
    if (pixelsRead_ || !decoded_) return pixels_;
    ComPtr<IWICImagingFactory> factory = Factory();
    if (!factory) return pixels_;
    ComPtr<IWICBitmapSource> bgra = Converted(factory.get(), decoded_.get(), GUID_WICPixelFormat32bppBGRA, nullptr);
    if (!bgra) return pixels_;
    std::vector<uint32_t> pixels(static_cast<size_t>(width_) * height_);
    const UINT stride = width_ * 4;
    if (FAILED(bgra->CopyPixels(nullptr, stride, static_cast<UINT>(pixels.size() * 4),
                                reinterpret_cast<BYTE*>(pixels.data()))))
        return pixels_;
    pixels_ = std::move(pixels);
    pixelsRead_ = true;
    return pixels_;
}

void Image::SetPixel(UINT x, UINT y, uint32_t bgra) {
    if (x >= width_ || y >= height_) return;
    Pixels();
    if (!pixelsRead_) return;
    pixels_[static_cast<size_t>(y) * width_ + x] = bgra;
    decoded_ = nullptr;
    palette_ = nullptr;
}

void Image::SetPixels(std::vector<uint32_t> pixels) {
    if (pixels.size() != static_cast<size_t>(width_) * height_) return;
    pixels_ = std::move(pixels);
    pixelsRead_ = true;
    decoded_ = nullptr;
    palette_ = nullptr;
}

std::vector<uint32_t>& Image::MutablePixels() {
    Pixels();
    if (pixelsRead_) {
        decoded_ = nullptr;
        palette_ = nullptr;
    }
    return pixels_;
}

bool Image::Encode(ImageFormat format, std::vector<BYTE>& out) const {
    out.clear();
    if (!Valid()) return false;
    const GUID* container = ContainerOf(format == ImageFormat::Unknown ? format_ : format);
    ComPtr<IWICImagingFactory> factory = Factory();
    if (!container || !factory) return false;

    // What is written: the decoded frame as it came, else the pixels.
    ComPtr<IWICBitmapSource> source = decoded_;
    ComPtr<IWICPalette> palette = palette_;
    if (!source) {
        ComPtr<IWICBitmap> bitmap;
        if (pixels_.size() != static_cast<size_t>(width_) * height_ ||
            FAILED(factory->CreateBitmapFromMemory(width_, height_, GUID_WICPixelFormat32bppBGRA, width_ * 4,
                                                   static_cast<UINT>(pixels_.size() * 4),
                                                   reinterpret_cast<BYTE*>(pixels_.data()), bitmap.put())))
            return false;
        bitmap.As(source);
    }

    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) ||
        FAILED(factory->CreateEncoder(*container, nullptr, encoder.put())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.put(), options.put())) || FAILED(frame->Initialize(options.get())) ||
        FAILED(frame->SetSize(width_, height_)))
        return false;

    WICPixelFormatGUID have = GUID_WICPixelFormatDontCare;
    source->GetPixelFormat(&have);
    WICPixelFormatGUID want = have;
    if (FAILED(frame->SetPixelFormat(&want))) return false;
    if (!IsEqualGUID(want, have)) {
        // The encoder takes another pixel format: convert, through 32-bit BGRA when
        // the direct conversion is not offered, with a palette made from the image
        // for indexed formats.
        ComPtr<IWICBitmapSource> bgra =
            IsEqualGUID(have, GUID_WICPixelFormat32bppBGRA)
                ? source
                : Converted(factory.get(), source.get(), GUID_WICPixelFormat32bppBGRA, nullptr);
        palette = nullptr;
        if (IsIndexed(want)) {
            if (!bgra || FAILED(factory->CreatePalette(palette.put())) ||
                FAILED(palette->InitializeFromBitmap(bgra.get(), 256, FALSE)))
                return false;
        }
        ComPtr<IWICBitmapSource> converted = Converted(factory.get(), source.get(), want, palette.get());
        if (!converted && bgra) converted = Converted(factory.get(), bgra.get(), want, palette.get());
        if (!converted) return false;
        source = converted;
    }
    if (palette && IsIndexed(want)) frame->SetPalette(palette.get());
    if (FAILED(frame->WriteSource(source.get(), nullptr)) || FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return false;

    HGLOBAL memory = nullptr;
    if (FAILED(GetHGlobalFromStream(stream.get(), &memory))) return false;
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return false;
    const size_t size = static_cast<size_t>(stat.cbSize.QuadPart);
    const void* p = GlobalLock(memory);
    if (!p) return false;
    out.assign(static_cast<const BYTE*>(p), static_cast<const BYTE*>(p) + size);
    GlobalUnlock(memory);
    return !out.empty();
}

bool Image::Save(const wchar_t* path, ImageFormat format) const {
    std::vector<BYTE> bytes;
    if (!path || !Encode(format, bytes)) return false;
    UniqueHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

const wchar_t* ImageExtension(ImageFormat format) {
    for (const auto& f : kFormats)
        if (f.format == format) return f.extension;
    return L"";
}

}  // namespace folium
