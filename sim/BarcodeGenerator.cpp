// Stand-in for the barcode generator component that the add-in creates by class
// identifier: a late-bound object that renders its text as a real Code 128
// barcode (black bars on white) and records every call in the journal as
// "BarcodeGenerator.<Operation>".
#include "BarcodeGenerator.h"

#include <wincodec.h>

#include <algorithm>
#include <vector>

#include "SimCore.h"

namespace qxsim {

const CLSID CLSID_BarcodeGeneratorStandIn = {0xE25ABE25, 0x3D6A, 0x46AE, {0xB4, 0x5E, 0x64, 0x56, 0x40, 0x3B, 0x2F, 0x78}};
const IID IID_BarcodeGeneratorControl = {0x8FC3C2B6, 0xFE2D, 0x4210, {0x9B, 0xC0, 0xF0, 0x68, 0x14, 0x90, 0xBE, 0xA4}};

namespace {

// Code 128 bar and space widths of the symbol values 0..106 (106 is the stop
// pattern, with its final bar).
const char* const kCode128[107] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232", "2331112"};
constexpr int kStartB = 104;
constexpr int kStop = 106;
constexpr int kQuietModules = 10;
constexpr UINT kBarHeight = 60;

// Symbology codes this generator knows: 0 (its default) and 20 are Code 128.
bool IsCode128(long symbology) { return symbology == 0 || symbology == 20; }

bool KnownPrefix(const std::wstring& p) { return p.empty() || p == L"GBB_" || p == L"ENG_" || p == L"GBC_"; }

// Module pattern (true = bar) of the text in code set B; empty when a
// character lies outside it.
std::vector<bool> Code128B(const std::wstring& text) {
    std::vector<int> symbols{kStartB};
    long sum = kStartB;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] < 32 || text[i] > 127) return {};
        const int value = text[i] - 32;
        symbols.push_back(value);
        sum += value * static_cast<long>(i + 1);
    }
    symbols.push_back(static_cast<int>(sum % 103));
    symbols.push_back(kStop);
    std::vector<bool> modules(kQuietModules, false);
    for (int s : symbols) {
        bool bar = true;
        for (const char* w = kCode128[s]; *w; ++w, bar = !bar) modules.insert(modules.end(), *w - '0', bar);
    }
    modules.insert(modules.end(), kQuietModules, false);
    return modules;
}

// Encodes an 8-bit palette image (0 black, 1 white) with the platform's codec.
bool Encode(const GUID& container, UINT width, UINT height, const std::vector<BYTE>& pixels, std::string* out) {
    IWICImagingFactory* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
        return false;
    IStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    IWICPalette* palette = nullptr;
    bool ok = SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
              SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
              SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
              SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
              SUCCEEDED(frame->SetSize(width, height));
    WICPixelFormatGUID format = GUID_WICPixelFormat8bppIndexed;
    ok = ok && SUCCEEDED(frame->SetPixelFormat(&format)) && format == GUID_WICPixelFormat8bppIndexed;
    WICColor colours[2] = {0xFF000000, 0xFFFFFFFF};
    ok = ok && SUCCEEDED(factory->CreatePalette(&palette)) && SUCCEEDED(palette->InitializeCustom(colours, 2)) &&
         SUCCEEDED(frame->SetPalette(palette)) &&
         SUCCEEDED(frame->WritePixels(height, width, static_cast<UINT>(pixels.size()),
                                      const_cast<BYTE*>(pixels.data()))) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    if (ok) {
        HGLOBAL memory = nullptr;
        ok = SUCCEEDED(GetHGlobalFromStream(stream, &memory));
        STATSTG stat{};
        ok = ok && SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME));
        if (ok) {
            const void* p = GlobalLock(memory);
            out->assign(static_cast<const char*>(p), static_cast<size_t>(stat.cbSize.QuadPart));
            GlobalUnlock(memory);
        }
    }
    for (IUnknown* u : {static_cast<IUnknown*>(palette), static_cast<IUnknown*>(frame),
                        static_cast<IUnknown*>(encoder), static_cast<IUnknown*>(stream),
                        static_cast<IUnknown*>(factory)})
        if (u) u->Release();
    return ok;
}

enum Member : DISPID { kPrefix = 1, kOption, kImageFormat, kSymbology, kText, kRender };
const struct {
    const wchar_t* name;
    DISPID id;
} kMembers[] = {{L"Prefix", kPrefix},       {L"Option", kOption}, {L"ImageFormat", kImageFormat},
                {L"Symbology", kSymbology}, {L"Text", kText},     {L"Render", kRender}};

class GeneratorObj : public LateBound {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        // The control interface is dual: its dispatch part is all this object offers.
        if (ppv && riid == IID_BarcodeGeneratorControl) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        return LateBound::QueryInterface(riid, ppv);
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        for (const auto& m : kMembers)
            if (EqualNoCase(m.name, names[0])) ids[0] = m.id;
        return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        const UINT argc = dp ? dp->cArgs : 0;
        if (id == kRender) {
            if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
            if (argc != 2) return DISP_E_BADPARAMCOUNT;
            const VARIANT& kind = dp->rgvarg[1];
            VARIANT& picture = dp->rgvarg[0];
            QX_TRY(Call(L"BarcodeGenerator.Render").v(kind).log());
            if (picture.vt != (VT_BYREF | VT_VARIANT) || !picture.pvarVal) return DISP_E_TYPEMISMATCH;
            VariantClear(picture.pvarVal);
            Render(picture.pvarVal);
            return S_OK;
        }
        if (id < kPrefix || id > kText) return DISP_E_MEMBERNOTFOUND;
        const wchar_t* name = kMembers[id - 1].name;
        if (flags & DISPATCH_PROPERTYPUT) {
            if (argc != 1) return DISP_E_BADPARAMCOUNT;
            const VARIANT& v = dp->rgvarg[0];
            QX_TRY(JPut(std::wstring(L"BarcodeGenerator.") + name, FormatVariant(v)));
            long long n = 0;
            std::wstring text;
            switch (id) {
                case kPrefix:
                    if (!VariantToText(v, &prefix_)) return DISP_E_TYPEMISMATCH;
                    break;
                case kOption:
                    if (!VariantToLong(v, &n)) return DISP_E_TYPEMISMATCH;
                    option_ = static_cast<BYTE>(n);
                    break;
                case kImageFormat:
                    if (!VariantToText(v, &format_)) return DISP_E_TYPEMISMATCH;
                    break;
                case kSymbology:
                    if (!VariantToLong(v, &n)) return DISP_E_TYPEMISMATCH;
                    symbology_ = static_cast<long>(n);
                    break;
                case kText:
                    if (!VariantToText(v, &text_)) return DISP_E_TYPEMISMATCH;
                    break;
            }
            return S_OK;
        }
        QX_TRY(Journal(std::wstring(L"BarcodeGenerator.") + name));
        if (!result) return S_OK;
        VariantInit(result);
        switch (id) {
            case kOption:
                result->vt = VT_UI1;
                result->bVal = option_;
                return S_OK;
            case kSymbology:
                result->vt = VT_I4;
                result->lVal = symbology_;
                return S_OK;
            default:
                result->vt = VT_BSTR;
                return OutString(id == kPrefix ? prefix_ : id == kImageFormat ? format_ : text_, &result->bstrVal);
        }
    }

private:
    // Leaves the picture empty when the settings ask for something this
    // generator cannot make: an unknown prefix, format or symbology, no text,
    // or a character outside Code 128's set B.
    void Render(VARIANT* picture) const {
        const std::wstring format = Lower(format_);
        const GUID* container = format == L"gif"   ? &GUID_ContainerFormatGif
                                : format == L"png" ? &GUID_ContainerFormatPng
                                : format == L"bmp" ? &GUID_ContainerFormatBmp
                                                   : nullptr;
        if (!container || !KnownPrefix(prefix_) || !IsCode128(symbology_) || text_.empty()) return;
        const std::vector<bool> modules = Code128B(text_);
        if (modules.empty()) return;
        // The option byte widens the modules: 2 pixels plus its low two bits.
        const UINT moduleWidth = 2 + (option_ & 3);
        const UINT width = static_cast<UINT>(modules.size()) * moduleWidth;
        const UINT height = kBarHeight + 2 * kQuietModules;
        std::vector<BYTE> pixels(static_cast<size_t>(width) * height, 1);
        for (UINT y = kQuietModules; y < kQuietModules + kBarHeight; ++y)
            for (UINT x = 0; x < width; ++x)
                if (modules[x / moduleWidth]) pixels[static_cast<size_t>(y) * width + x] = 0;
        std::string bytes;
        if (!Encode(*container, width, height, pixels, &bytes)) return;
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
        if (!array) return;
        void* data = nullptr;
        SafeArrayAccessData(array, &data);
        std::copy(bytes.begin(), bytes.end(), static_cast<char*>(data));
        SafeArrayUnaccessData(array);
        picture->vt = VT_ARRAY | VT_UI1;
        picture->parray = array;
    }

    std::wstring prefix_, format_ = L"GIF", text_;
    BYTE option_ = 0;
    long symbology_ = 0;
};

HRESULT CreateGenerator(REFIID riid, void** ppv) {
    if (qxsim::Fault f = Journal(L"BarcodeGenerator.Create()")) return FAILED(f.hr) ? f.hr : E_NOINTERFACE;
    return CreateObject<GeneratorObj>(riid, ppv);
}

ClassObject g_generatorFactory(CreateGenerator);

}  // namespace

IClassFactory* BarcodeGeneratorFactory() { return &g_generatorFactory; }

}  // namespace qxsim
