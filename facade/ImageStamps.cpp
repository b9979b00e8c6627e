// Barcode image stamps: a picture from the barcode generator component, its white
// made transparent and its colours cut to a 16-colour palette, placed as stamps at
// the positions of the stamp position rule.
#include "FoliumFun.h"

#include <string>
#include <vector>

#include "../addin/Connection.h"
#include "../bridge/Bridge.h"
#include "../bridge/Positions.h"
#include "../bridge/Walks.h"
#include "../support/GifEncoder.h"
#include "../support/Quantizer.h"
#include "../support/win/Image.h"

using folium::ComPtr;
using folium::Guarded;
using folium::InvokeByName;
using folium::ScopedVariant;
using folium::UniqueBstr;

namespace {

// The barcode generator component and its control interface.
constexpr CLSID kBarcodeGenerator = {0xE25ABE25, 0x3D6A, 0x46AE, {0xB4, 0x5E, 0x64, 0x56, 0x40, 0x3B, 0x2F, 0x78}};

constexpr LONG kStampKind = 12;
constexpr LONG kStampColour = 0x0000FFFF;
constexpr unsigned kPaletteColours = 16;
// Red, green and blue all at least this: the pixel counts as white and becomes transparent.
constexpr unsigned kNearWhite = 201;

// Prefix of the generator's texts for the reader's language.
const wchar_t* LanguagePrefix(LONG languageId) {
    switch (languageId) {
        case 0x404: return L"GBB_";
        case 0x409: return L"ENG_";
        case 0x804: return L"GBC_";
        case 0xC04: return L"GBB_";
        default: return L"";
    }
}

ComPtr<IDispatch> CreateGenerator() {
    ComPtr<IDispatch> generator;
    FoliumCreateInstance(kBarcodeGenerator, IID_ISigilonBarcordCtrl, generator.put_void());
    return generator;
}

std::vector<BYTE> BytesOf(const VARIANT& v) {
    std::vector<BYTE> bytes;
    if (v.vt != (VT_ARRAY | VT_UI1) || !v.parray || SafeArrayGetDim(v.parray) != 1) return bytes;
    LONG low = 0, high = -1;
    SafeArrayGetLBound(v.parray, 1, &low);
    SafeArrayGetUBound(v.parray, 1, &high);
    if (high < low) return bytes;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(v.parray, &data))) return bytes;
    bytes.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + (high - low + 1));
    SafeArrayUnaccessData(v.parray);
    return bytes;
}

// The picture as a GIF of at most 16 colours whose near-white pixels are
// transparent; empty when it cannot be written.
std::vector<std::uint8_t> TransparentStampGif(const folium::Image& image) {
    const UINT width = image.Width(), height = image.Height();
    const std::vector<uint32_t>& pixels = image.Pixels();
    auto nearWhite = [](uint32_t bgra) {
        return (bgra & 0xFF) >= kNearWhite && ((bgra >> 8) & 0xFF) >= kNearWhite && ((bgra >> 16) & 0xFF) >= kNearWhite;
    };

    // The quantizer reads a bottom-up 24-bit bitmap, as stored.
    const size_t stride = folium::DibStride(width, 24);
    std::vector<std::uint8_t> dib(stride * height);
    for (UINT y = 0; y < height; ++y) {
        std::uint8_t* row = dib.data() + stride * (height - 1 - y);
        for (UINT x = 0; x < width; ++x) {
            const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
            row[x * 3] = static_cast<std::uint8_t>(p);
            row[x * 3 + 1] = static_cast<std::uint8_t>(p >> 8);
            row[x * 3 + 2] = static_cast<std::uint8_t>(p >> 16);
        }
    }
    folium::CQuantizer quantizer(kPaletteColours, 8);
    if (!quantizer.ScanBitmap({width, height, 24, dib.data(), nullptr, 0})) return {};
    const std::vector<folium::PaletteEntry> palette = quantizer.Palette();
    if (palette.empty()) return {};
    const unsigned transparent = folium::NearestPaletteIndex(palette.data(), palette.size(), 255, 255, 255);

    // Four bits a pixel, each the nearest palette colour (no error diffusion);
    // the pixels made transparent take the transparent entry.
    std::vector<std::uint8_t> indices(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        const uint32_t p = pixels[i];
        indices[i] = static_cast<std::uint8_t>(
            nearWhite(p) ? transparent
                         : folium::NearestPaletteIndex(palette.data(), palette.size(), static_cast<std::uint8_t>(p >> 16),
                                                       static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p)));
    }
    return folium::EncodeGif(
        {width, height, palette.data(), palette.size(), indices.data(), static_cast<int>(transparent)});
}

std::wstring AuthorOf(IQxApplication* app) {
    UniqueBstr name;
    ComPtr<IQxMainFrame> frame;
    if (app) app->get_MainFrame(frame.put());
    if (frame) frame->get_UserName(name.put());
    if (!name.empty()) return std::wstring(name.c_str(), name.length());
    wchar_t user[257] = {};
    DWORD size = 257;
    if (!GetUserNameW(user, &size)) return std::wstring();
    return user;
}

}  // namespace

// The generator's picture for the text, as a transparent 16-colour GIF in a byte
// array; the generator's own answer when its picture cannot be read or written
// again; empty when there is no generator or no picture.
ScopedVariant CFoliumFun::BuildBarcodeImage(LONG nType, BYTE flag, BSTR text) {
    ScopedVariant picture;
    ComPtr<IDispatch> generator = CreateGenerator();
    if (!generator) return picture;

    LONG language = 0x804;
    ComPtr<IQxMainFrame> frame;
    if (m_spApplication) m_spApplication->get_MainFrame(frame.put());
    if (frame) frame->get_LanguageId(&language);

    ScopedVariant prefix = ScopedVariant::Bstr(LanguagePrefix(language)), format = ScopedVariant::Bstr(L"GIF"),
                  symbology = ScopedVariant::I4(nType), option;
    VARIANT* optionByte = option.Receive();
    optionByte->vt = VT_UI1;
    optionByte->bVal = flag;
    InvokeByName(DISPATCH_PROPERTYPUT, nullptr, generator.get(), L"Prefix", prefix.get());
    InvokeByName(DISPATCH_PROPERTYPUT, nullptr, generator.get(), L"Option", option.get());
    InvokeByName(DISPATCH_PROPERTYPUT, nullptr, generator.get(), L"ImageFormat", format.get());
    InvokeByName(DISPATCH_PROPERTYPUT, nullptr, generator.get(), L"Symbology", symbology.get());
    if (SysStringLen(text) > 0) {
        ScopedVariant value = ScopedVariant::Bstr(text, SysStringLen(text));
        InvokeByName(DISPATCH_PROPERTYPUT, nullptr, generator.get(), L"Text", value.get());
    }
    ScopedVariant kind = ScopedVariant::I4(1);
    VARIANT out;  // a reference to picture, which owns what the generator puts there
    VariantInit(&out);
    out.vt = VT_BYREF | VT_VARIANT;
    out.pvarVal = picture.get();
    // Arguments in reverse order: the picture (last parameter) first.
    InvokeByName(DISPATCH_METHOD, nullptr, generator.get(), L"Render", &out, kind.get());

    if (picture->vt == VT_EMPTY) return picture;
    const std::vector<BYTE> bytes = BytesOf(*picture.get());
    const folium::Image image = folium::Image::Load(bytes.data(), bytes.size());
    if (!image.Valid()) return picture;
    const std::vector<std::uint8_t> gif = TransparentStampGif(image);
    if (gif.empty()) return picture;
    return ScopedVariant::Bytes(gif.data(), gif.size());
}

STDMETHODIMP CFoliumFun::CreateBarCodeImage(BSTR BarCode, LONG StartPage, LONG EndPage, LONG mode, BSTR Pos,
                                            LONG nType, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *lRet = 1;
        if (RefreshActiveDocument() != 0) return S_FALSE;
        ComPtr<IQxDocument> document = m_spActiveDocument;
        ComPtr<IQxPages> pages = folium::PagesOf(document.get());
        const LONG count = folium::PageCountOf(pages.get(), 0);
        if (StartPage < 1 || StartPage > EndPage || EndPage > count) return S_FALSE;

        const std::wstring author = AuthorOf(m_spApplication.get());
        ScopedVariant picture = BuildBarcodeImage(nType, 0, BarCode);
        if (picture->vt == VT_EMPTY) return S_FALSE;
        const std::vector<BYTE> bytes = BytesOf(*picture.get());
        const folium::Image image = folium::Image::Load(bytes.data(), bytes.size());
        // The picture at 96 dots per inch, shown at half its size in points.
        const double w = image.Width() * 72.0 / 96.0 * 0.5, h = image.Height() * 72.0 / 96.0 * 0.5;

        LONG result = 0;
        for (const folium::StampPosition& at : folium::ResolvePositions(document.get(), Pos, mode, StartPage, EndPage)) {
            ComPtr<IQxPage> page;
            ComPtr<IQxAnnotations> annotations;
            ComPtr<IQxAnnotation> stamp;
            if (pages) pages->Item(at.page - 1, page.put());
            if (page) page->get_Annotations(annotations.put());
            if (annotations) annotations->Add(kStampKind, stamp.put());
            if (!stamp) continue;
            stamp->SetRect(at.x - w, at.y - h, at.x + w, at.y + h);
            stamp->put_BlendMode(UniqueBstr(L"Multiply").get());
            stamp->put_Color(kStampColour);
            stamp->put_Author(UniqueBstr(author.c_str()).get());
            result = 0;
            stamp->SetImage(*picture.get(), &result);
            if (result != 0) break;
            stamp->Commit();
            page->Update();
        }
        if (ComPtr<IQxPageView> view = folium::PageViewOf(document.get())) view->Refresh();
        *lRet = result;
        return S_OK;
    });
}
