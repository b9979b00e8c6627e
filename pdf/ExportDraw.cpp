#include "ExportDraw.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include <stb/stb_image.h>

namespace foliumpdf {

namespace {

using OH = QPDFObjectHandle;

constexpr const char kLatinFont[] = "/FoCour";
constexpr const char kWideFont[] = "/FoSong";
// Larger pictures than this are refused rather than decoded (about 256 MB of RGBA).
constexpr long long kMaxPixels = 64LL * 1024 * 1024;

OH Name(const char* n) { return OH::newName(n); }
OH Int(long long v) { return OH::newInteger(v); }

void SetImageDict(OH& stream, int w, int h, const char* space) {
    OH d = stream.getDict();
    d.replaceKey("/Type", Name("/XObject"));
    d.replaceKey("/Subtype", Name("/Image"));
    d.replaceKey("/Width", Int(w));
    d.replaceKey("/Height", Int(h));
    d.replaceKey("/ColorSpace", Name(space));
    d.replaceKey("/BitsPerComponent", Int(8));
}

bool IsJpeg(const std::string& b) {
    return b.size() > 3 && static_cast<unsigned char>(b[0]) == 0xFF && static_cast<unsigned char>(b[1]) == 0xD8 &&
           static_cast<unsigned char>(b[2]) == 0xFF;
}

std::string LiteralString(const std::string& bytes) {
    std::string out = "(";
    for (char c : bytes) {
        if (c == '(' || c == ')' || c == '\\') out += '\\';
        out += c;
    }
    return out + ")";
}

}  // namespace

std::optional<ImageXObject> MakeImageXObject(QPDF& pdf, const std::string& bytes) {
    if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return std::nullopt;
    auto data = reinterpret_cast<const stbi_uc*>(bytes.data());
    int len = static_cast<int>(bytes.size());
    int w = 0, h = 0, comp = 0;
    if (!stbi_info_from_memory(data, len, &w, &h, &comp) || w <= 0 || h <= 0 ||
        static_cast<long long>(w) * h > kMaxPixels)
        return std::nullopt;
    ImageXObject image;
    image.width = w;
    image.height = h;
    if (IsJpeg(bytes) && (comp == 1 || comp == 3)) {
        // The viewer decodes JPEG itself: keep the original bytes and their quality.
        image.stream = pdf.newStream();
        image.stream.replaceStreamData(bytes, Name("/DCTDecode"), OH::newNull());
        SetImageDict(image.stream, w, h, comp == 1 ? "/DeviceGray" : "/DeviceRGB");
        return image;
    }
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load_from_memory(data, len, &w, &h, &comp, 0),
                                                      stbi_image_free);
    if (!pixels) return std::nullopt;
    bool grey = comp <= 2, alpha = comp == 2 || comp == 4;
    int colours = grey ? 1 : 3;
    size_t count = static_cast<size_t>(w) * h;
    std::string colour(count * colours, '\0'), mask;
    if (alpha) mask.resize(count);
    bool opaque = true;
    const stbi_uc* p = pixels.get();
    for (size_t i = 0; i < count; ++i, p += comp) {
        for (int c = 0; c < colours; ++c) colour[i * colours + c] = static_cast<char>(p[c]);
        if (alpha) {
            mask[i] = static_cast<char>(p[comp - 1]);
            opaque = opaque && p[comp - 1] == 255;
        }
    }
    image.stream = pdf.newStream(colour);
    SetImageDict(image.stream, w, h, grey ? "/DeviceGray" : "/DeviceRGB");
    if (alpha && !opaque) {
        OH smask = pdf.newStream(mask);
        SetImageDict(smask, w, h, "/DeviceGray");
        image.stream.getDict().replaceKey("/SMask", smask);
    }
    return image;
}

std::u32string DecodeUtf8(const std::string& s) {
    std::u32string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        char32_t cp = n == 0 ? c : n == 1 ? c & 0x1F : n == 2 ? c & 0x0F : c & 0x07;
        bool ok = n >= 0;
        for (int k = 1; ok && k <= n; ++k) {
            if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) ok = false;
            else cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        if (!ok) {
            out += U'\xFFFD';
            ++i;
            continue;
        }
        out += cp;
        i += n + 1;
    }
    return out;
}

std::string AppearanceMaker::Number(double v) {
    if (!std::isfinite(v)) v = 0;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.4f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" || s.empty() ? "0" : s;
}

std::string AppearanceMaker::Colour(long colour, bool fill) {
    auto part = [&](int shift) { return Number(((colour >> shift) & 0xFF) / 255.0); };
    return part(0) + " " + part(8) + " " + part(16) + (fill ? " rg" : " RG");
}

double AppearanceMaker::TextWidth(const std::string& utf8, double size) {
    double w = 0;
    for (char32_t c : DecodeUtf8(utf8)) w += c < 0x80 ? size * 0.6 : size;
    return w;
}

std::string AppearanceMaker::Text(const std::string& utf8, double size, double x, double y) {
    std::string ops = "BT " + Number(x) + " " + Number(y) + " Td";
    std::string run;
    int runFont = -1;  // 0 latin, 1 wide
    auto flush = [&] {
        if (run.empty()) return;
        ops += std::string(" ") + (runFont ? kWideFont : kLatinFont) + " " + Number(size) + " Tf ";
        ops += runFont ? "<" + run + ">" : LiteralString(run);
        ops += " Tj";
        run.clear();
    };
    for (char32_t c : DecodeUtf8(utf8)) {
        if (c == U'\r' || c == U'\n' || c == U'\t') c = U' ';
        int font = c < 0x80 ? 0 : 1;
        if (font != runFont) {
            flush();
            runFont = font;
        }
        if (font == 0) {
            run += static_cast<char>(c);
        } else {
            char hex[8];
            // The font's encoding takes UCS-2 codes: characters beyond the BMP show as a box.
            std::snprintf(hex, sizeof hex, "%04X", c > 0xFFFF ? 0xFFFDu : static_cast<unsigned>(c));
            run += hex;
        }
    }
    flush();
    return ops + " ET\n";
}

QPDFObjectHandle AppearanceMaker::Fonts() {
    if (fonts_.isInitialized()) return fonts_;
    OH latin = pdf_.makeIndirectObject(OH::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Courier /Encoding /WinAnsiEncoding >>"));
    OH wide = pdf_.makeIndirectObject(OH::parse(
        "<< /Type /Font /Subtype /Type0 /BaseFont /STSong-Light /Encoding /UniGB-UCS2-H"
        " /DescendantFonts [ << /Type /Font /Subtype /CIDFontType0 /BaseFont /STSong-Light"
        " /CIDSystemInfo << /Registry (Adobe) /Ordering (GB1) /Supplement 2 >> /DW 1000"
        " /FontDescriptor << /Type /FontDescriptor /FontName /STSong-Light /Flags 6"
        " /FontBBox [ -25 -254 1000 880 ] /ItalicAngle 0 /Ascent 880 /Descent -120 /CapHeight 880"
        " /StemV 93 >> >> ] >>"));
    fonts_ = OH::newDictionary();
    fonts_.replaceKey(kLatinFont, latin);
    fonts_.replaceKey(kWideFont, wide);
    fonts_ = pdf_.makeIndirectObject(fonts_);
    return fonts_;
}

QPDFObjectHandle AppearanceMaker::Form(const double bbox[4], const std::string& content, const QPDFObjectHandle& image,
                                       double opacity, const double* matrix) {
    OH resources = OH::newDictionary();
    resources.replaceKey("/Font", Fonts());
    if (image.isInitialized()) resources.replaceKey("/XObject", OH::newDictionary({{"/Im0", image}}));
    std::string prefix;
    if (opacity < 1) {
        OH gs = OH::newDictionary({{"/Type", Name("/ExtGState")},
                                   {"/ca", OH::newReal(opacity, 3)},
                                   {"/CA", OH::newReal(opacity, 3)}});
        resources.replaceKey("/ExtGState", OH::newDictionary({{"/FoGs", gs}}));
        prefix = "/FoGs gs\n";
    }
    OH form = pdf_.newStream(prefix + content);
    OH d = form.getDict();
    d.replaceKey("/Type", Name("/XObject"));
    d.replaceKey("/Subtype", Name("/Form"));
    d.replaceKey("/BBox", OH::newArray({OH::newReal(bbox[0], 3), OH::newReal(bbox[1], 3), OH::newReal(bbox[2], 3),
                                        OH::newReal(bbox[3], 3)}));
    if (matrix) {
        std::vector<OH> m;
        for (int i = 0; i < 6; ++i) m.push_back(OH::newReal(matrix[i], 5));
        d.replaceKey("/Matrix", OH::newArray(m));
    }
    d.replaceKey("/Resources", resources);
    return form;
}

}  // namespace foliumpdf
