// Watermarks. The reader's document keeps them: the component sets the attributes on the
// document's watermark list and adds one watermark per page of the range. A sealed
// document is never watermarked.
#include "FoliumFun.h"

#include <cstdio>
#include <string>
#include <vector>

#include "../bridge/Bridge.h"
#include "../bridge/SealCheck.h"
#include "../bridge/Walks.h"
#include "../support/Base64.h"
#include "../support/win/CodePages.h"
#include "../support/win/PathText.h"

using folium::ComPtr;
using folium::Guarded;
using folium::ScopedVariant;
using folium::TextArg;
using folium::UniqueBstr;

namespace {

constexpr LONG kDefaultColor = 123;  // red 123, green 0, blue 0
constexpr double kMaxNamedFontSize = 72;

// What the adding members work on once the common gate let them through.
struct WatermarkTarget {
    ComPtr<IQxPageView> view;
    ComPtr<IQxPages> pages;
    ComPtr<IQxWatermarks> watermarks;
};

// The common gate: an open, unsealed document (and, for images, one that may be
// edited) and a page range inside it.
bool OpenForWatermarks(IQxApplication* app, LONG startPage, LONG endPage, bool needsEditRight,
                       WatermarkTarget& target) {
    if (!app) return false;
    ComPtr<IQxDocuments> documents;
    app->get_Documents(documents.put());
    ComPtr<IQxDocument> document;
    if (documents) documents->get_ActiveDocument(document.put());
    if (!document) return false;
    target.view = folium::PageViewOf(document.get());
    if (static_cast<long long>(endPage) - startPage < 0) return false;
    if (needsEditRight) {
        VARIANT_BOOL editable = VARIANT_FALSE;
        document->Permission(1, &editable);
        if (editable == VARIANT_FALSE) return false;
    }
    if (folium::DocumentHasSeal(document.get())) return false;
    target.pages = folium::PagesOf(document.get());
    LONG count = folium::PageCountOf(target.pages.get(), 0);
    if (startPage <= 0 || endPage > count) return false;
    document->get_Watermarks(target.watermarks.put());
    return static_cast<bool>(target.watermarks);
}

struct PageSize {
    double width = 0, height = 0;
};

PageSize SizeOf(IQxPages* pages, LONG index) {
    PageSize size;
    ComPtr<IQxPage> page;
    if (pages) pages->Item(index, page.put());
    if (page) {
        page->get_Width(&size.width);
        page->get_Height(&size.height);
    }
    return size;
}

// The font size a page gets when the script gives none: the text spread over the page width.
double SpreadFontSize(double pageWidth, UINT characters) {
    if (characters == 0) return 0;  // nothing to spread
    return static_cast<double>(static_cast<long long>(pageWidth / characters));
}

// Adds one watermark per page of the range with add(page index); true when the last
// add reported status 0.
template <class AddOne>
bool AddToRange(const WatermarkTarget& target, LONG startPage, LONG endPage, AddOne&& add) {
    LONG status = 1;
    for (LONG index = startPage - 1; index <= endPage - 1; ++index) add(index, &status);
    if (target.view) target.view->Refresh();
    return status == 0;
}

// "#RRGGBB" as the reader's colour (red in the low byte); parts that cannot be read stay 0.
LONG ParseColor(BSTR text) {
    if (SysStringLen(text) == 0) return kDefaultColor;
    std::string local = folium::NarrowToCodePage(CP_ACP, TextArg(text).view());
    unsigned red = 0, green = 0, blue = 0;
    sscanf(local.c_str(), "#%2X%2X%2X", &red, &green, &blue);
    return static_cast<LONG>(red + green * 256 + blue * 65536);
}

bool Contains(std::wstring_view text, std::wstring_view part) { return text.find(part) != std::wstring_view::npos; }

// The image as the reader takes it: a path or URL as text, anything else as base64 bytes.
// False (after telling the user about a missing file) when there is no image.
bool ImageArgument(BSTR image, ScopedVariant& out) {
    TextArg text(image);
    if (Contains(text.view(), L":")) {
        if (!Contains(text.view(), L"http://") && !Contains(text.view(), L"https://") &&
            GetFileAttributesW(text.get()) == INVALID_FILE_ATTRIBUTES) {
            MessageBoxW(nullptr, L"文件不存在！", L"Folium2018", MB_OK | MB_ICONERROR);
            return false;
        }
        out = ScopedVariant::Bstr(text.get(), SysStringLen(text.get()));
        return true;
    }
    std::vector<std::uint8_t> bytes =
        folium::DecodeBase64(folium::NarrowToCodePage(CP_THREAD_ACP, text.view()));
    if (bytes.empty()) return false;
    out = ScopedVariant::Bytes(bytes.data(), bytes.size());
    return true;
}

void SetCommonAttributes(IQxWatermarks* watermarks, FLOAT opacity, LONG rotation, VARIANT_BOOL underlay) {
    watermarks->SetOpacity(static_cast<double>(opacity) / 100);
    watermarks->SetRotation(rotation);
    watermarks->SetUnderlay(underlay);
}

}  // namespace

STDMETHODIMP CFoliumFun::WateMark(LONG StartPage, LONG EndPage, BSTR strText, FLOAT nstrok, LONG fontSize,
                                  LONG Rotate, VARIANT_BOOL Back, LONG X, LONG Y, VARIANT_BOOL* bResult) {
    if (!bResult) return E_POINTER;
    *bResult = VARIANT_FALSE;
    return Guarded([&] {
        WatermarkTarget target;
        if (!OpenForWatermarks(m_spApplication.get(), StartPage, EndPage, false, target)) return S_FALSE;
        TextArg text(strText);
        auto* watermarks = target.watermarks.get();
        watermarks->SetText(text.get());
        watermarks->SetOpacity(static_cast<double>(nstrok) / 100);
        watermarks->SetRotation(Rotate);
        watermarks->SetColor(kDefaultColor);
        watermarks->SetUnderlay(Back);
        double x = X, y = Y;
        bool ok = AddToRange(target, StartPage, EndPage, [&](LONG index, LONG* status) {
            PageSize size = SizeOf(target.pages.get(), index);
            double fontSize_ = fontSize == 0 ? SpreadFontSize(size.width, SysStringLen(text.get())) : fontSize;
            // The first page's centre is kept for the rest of the range.
            if (x == -1) x = static_cast<double>(static_cast<long long>(size.width * 0.5));
            if (y == -1) y = static_cast<double>(static_cast<long long>(size.height * 0.5));
            watermarks->SetFontSize(fontSize_);
            watermarks->AddTextAt(index, x, y, status);
        });
        *bResult = ok ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WaterMarkEx(LONG StartPage, LONG EndPage, BSTR strText, FLOAT nstrok, LONG fontSize,
                                     LONG Rotate, VARIANT_BOOL Back, LONG X, LONG Y, BSTR strWMName,
                                     BSTR strWMColor, LONG lAlignMode, LONG fScale, VARIANT_BOOL* bResult) {
    if (!bResult) return E_POINTER;
    *bResult = VARIANT_FALSE;
    return Guarded([&] {
        WatermarkTarget target;
        if (!OpenForWatermarks(m_spApplication.get(), StartPage, EndPage, false, target)) return S_FALSE;
        TextArg text(strText), name(strWMName);
        auto* watermarks = target.watermarks.get();
        LONG color = ParseColor(strWMColor);
        watermarks->SetText(text.get());
        watermarks->SetOpacity(static_cast<double>(nstrok) / 100);
        watermarks->SetRotation(Rotate);
        watermarks->SetColor(color);
        watermarks->SetUnderlay(Back);
        bool ok = AddToRange(target, StartPage, EndPage, [&](LONG index, LONG* status) {
            double size = fontSize;
            if (fontSize == 0) size = SpreadFontSize(SizeOf(target.pages.get(), index).width, SysStringLen(text.get()));
            if (size >= kMaxNamedFontSize) size = kMaxNamedFontSize;
            watermarks->SetFontSize(size);
            watermarks->AddTextEx(index, lAlignMode, X, Y, fScale, name.get(), status);
        });
        *bResult = ok ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::ImageWaterMarkEx(LONG StartPage, LONG EndPage, BSTR strImage, FLOAT nstrok, LONG Rotate,
                                          VARIANT_BOOL Back, LONG X, LONG Y, BSTR strWMName, LONG lAlignMode,
                                          BSTR /*strExParam*/, VARIANT_BOOL* bResult) {
    if (!bResult) return E_POINTER;
    *bResult = VARIANT_FALSE;
    // A path or address cut short by a NUL would name another file.
    if (!folium::PathTextsUsable({strImage})) return S_FALSE;
    return Guarded([&] {
        WatermarkTarget target;
        if (!OpenForWatermarks(m_spApplication.get(), StartPage, EndPage, true, target)) return S_FALSE;
        ScopedVariant image;
        if (!ImageArgument(strImage, image)) return S_FALSE;
        TextArg name(strWMName);
        auto* watermarks = target.watermarks.get();
        watermarks->SetImage(*image.get());
        SetCommonAttributes(watermarks, nstrok, Rotate, Back);
        bool ok = AddToRange(target, StartPage, EndPage, [&](LONG index, LONG* status) {
            watermarks->AddImage(index, lAlignMode, X, Y, name.get(), status);
        });
        *bResult = ok ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::DelWaterMark(BSTR strName, BSTR /*strExParam*/, LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = 1;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        if (RefreshActiveDocument() != 0) return S_FALSE;
        if (folium::IsOfdDocument(ComPtr<IQxDocument>(m_spActiveDocument).Detach())) return S_FALSE;
        auto view = folium::PageViewOf(m_spActiveDocument.get());
        ComPtr<IQxWatermarks> watermarks;
        m_spActiveDocument->get_Watermarks(watermarks.put());
        if (!watermarks) return S_FALSE;
        LONG count = folium::PageCountOf(folium::PagesOf(m_spActiveDocument.get()).get(), 0);
        TextArg name(strName);
        for (LONG index = 0; index < count; ++index) watermarks->DeleteByName(index, name.get(), pVal);
        if (view) view->Refresh();
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::GrayDocument(BSTR /*ExParam*/, LONG* lRet) {
    if (!lRet) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        if (RefreshActiveDocument() != 0) return S_FALSE;
        auto pages = folium::PagesOf(m_spActiveDocument.get());
        folium::WalkPages(pages.get(), folium::PageCountOf(pages.get(), 0), [](LONG, IQxPage* page) {
            page->Grayscale();
            return folium::Walk::Continue;
        });
        if (auto view = folium::PageViewOf(m_spActiveDocument.get())) view->Refresh();
        m_spApplication->RunCommand(5);
        *lRet = 0;
        return S_OK;
    });
}
