// Printing and print permissions. Two rights are asked before anything is printed:
// the reader's own print right, then the document's print permission; a refusal is
// told to the user and the script gets the member's failure value.
#include "FoliumFun.h"

#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

#include "../bridge/Walks.h"

using folium::ComPtr;
using folium::Guarded;
using folium::ScopedVariant;
using folium::TextArg;
using folium::UniqueBstr;

namespace {

constexpr const wchar_t* kNoPrintRight = L"对不起，您没有打印文档的权限！";
constexpr const wchar_t* kDocumentRefusesPrint = L"对不起，该打印文档没有打印权限！";
constexpr const wchar_t* kZeroCopies = L"对不起，打印份数不能为0！";

void Tell(const wchar_t* text) { MessageBoxW(GetActiveWindow(), text, L"提示", MB_OK | MB_ICONERROR); }

// The outcome of the permission gate.
enum class Gate { NoDocument, Refused, Allowed };

// The active document, when both rights allow printing it.
Gate PrintGate(IQxApplication* app, ComPtr<IQxDocument>& document) {
    if (!app) return Gate::NoDocument;
    ComPtr<IQxDocuments> documents;
    app->get_Documents(documents.put());
    if (documents) documents->get_ActiveDocument(document.put());
    if (!document) return Gate::NoDocument;
    // A right the reader does not report is not taken as a refusal: its own print call still decides.
    LONG right = 1;
    app->get_PrintRight(&right);
    if (right == 0) {
        Tell(kNoPrintRight);
        return Gate::Refused;
    }
    VARIANT_BOOL allowed = VARIANT_TRUE;
    document->Permission(0, &allowed);
    if (allowed == VARIANT_FALSE) {
        Tell(kDocumentRefusesPrint);
        return Gate::Refused;
    }
    return Gate::Allowed;
}

HRESULT GateStatus(Gate gate) { return gate == Gate::NoDocument ? S_FALSE : S_OK; }

ScopedVariant Missing() { return ScopedVariant::Missing(); }

ScopedVariant Text(BSTR b) {
    TextArg text(b);
    return ScopedVariant::Bstr(text.get(), SysStringLen(text.get()));
}

// Document.PrintOut with the printer, the page range and the copies; the host's defaults
// for the rest. Returns the host's print result.
LONG PrintOut(IQxDocument* document, BSTR printer, BSTR range, LONG copies) {
    ScopedVariant name = Text(printer), pages = Text(range), count = ScopedVariant::I4(copies), m = Missing();
    const VARIANT& x = *m.get();
    LONG result = 0;
    document->PrintOut(*name.get(), *pages.get(), x, *count.get(), x, x, x, x, x, x, x, &result);
    return result;
}

// The print spooler, loaded on the first printer question only: most pages never ask,
// and loading it makes the system enumerate its printers.
struct Spooler {
    decltype(&OpenPrinterW) open = nullptr;
    decltype(&GetPrinterW) get = nullptr;
    decltype(&ClosePrinter) close = nullptr;
    explicit operator bool() const { return open && get && close; }
};

const Spooler& TheSpooler() {
    static const Spooler spooler = [] {
        Spooler s;
        if (HMODULE module = LoadLibraryW(L"winspool.drv")) {
            s.open = reinterpret_cast<decltype(&OpenPrinterW)>(GetProcAddress(module, "OpenPrinterW"));
            s.get = reinterpret_cast<decltype(&GetPrinterW)>(GetProcAddress(module, "GetPrinterW"));
            s.close = reinterpret_cast<decltype(&ClosePrinter)>(GetProcAddress(module, "ClosePrinter"));
        }
        return s;
    }();
    return spooler;
}

}  // namespace

STDMETHODIMP CFoliumFun::WebPrint(LONG Copies, BSTR PrintName, LONG FromPage, LONG ToPage, VARIANT_BOOL /*ShowDlg*/,
                                  LONG* lResult) {
    if (!lResult) return E_POINTER;
    *lResult = 0;
    return Guarded([&] {
        ComPtr<IQxDocument> document;
        Gate gate = PrintGate(m_spApplication.get(), document);
        if (gate != Gate::Allowed) return GateStatus(gate);
        if (Copies == 0) {
            Tell(kZeroCopies);
            return S_OK;
        }
        LONG count = folium::PageCountOf(folium::PagesOf(document.get()).get(), 0);
        // The range is checked before the zero defaults are applied: 2 to 0 prints nothing.
        if (FromPage > count || FromPage > ToPage) return S_FALSE;
        if (FromPage == 0) FromPage = 1;
        if (ToPage == 0 || ToPage > count) ToPage = count;
        wchar_t range[32];
        swprintf(range, 32, L"%d-%d", static_cast<int>(FromPage), static_cast<int>(ToPage));
        UniqueBstr pages(range);
        *lResult = PrintOut(document.get(), PrintName, pages.get(), Copies);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebPrintEx(LONG Copies, BSTR PrinterName, BSTR PageArea, VARIANT_BOOL /*ShowDlg*/, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&] {
        ComPtr<IQxDocument> document;
        Gate gate = PrintGate(m_spApplication.get(), document);
        if (gate != Gate::Allowed) return GateStatus(gate);
        *lRet = PrintOut(document.get(), PrinterName, PageArea, Copies);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebPrintControl(BSTR PrinterName, LONG MaxPrintCount, LONG PrintCount, BSTR PintPage,
                                         LONG /*ShowDlg*/, LONG* lResult) {
    if (!lResult) return E_POINTER;
    return Guarded([&] {
        ComPtr<IQxDocument> document;
        Gate gate = PrintGate(m_spApplication.get(), document);
        if (gate != Gate::Allowed) return GateStatus(gate);
        if (MaxPrintCount < 0) return S_FALSE;
        *lResult = PrintOut(document.get(), PrinterName, PintPage, std::min(PrintCount, MaxPrintCount));
        return S_OK;
    });
}

// The whole document with every host default, without the permission gate.
STDMETHODIMP CFoliumFun::printFile() {
    return Guarded([&] {
        RefreshActiveDocument();
        if (!m_spActiveDocument) return S_OK;
        ScopedVariant m = Missing();
        const VARIANT& x = *m.get();
        LONG result = 0;
        m_spActiveDocument->PrintOut(x, x, x, x, x, x, x, x, x, x, x, &result);
        return S_OK;
    });
}

// The reader's print right, as the permission gate reads it.
STDMETHODIMP CFoliumFun::get_PrintRight(LONG* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    LONG value = 0;
    m_spApplication->get_PrintRight(&value);
    *pVal = value;
    return S_OK;
}

STDMETHODIMP CFoliumFun::put_PrintRight(LONG value) {
    if (!m_spApplication) return S_FALSE;
    m_spApplication->put_PrintRight(value);
    return S_OK;
}

STDMETHODIMP CFoliumFun::get_PrintConfig(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = nullptr;
    return Guarded([&] {
        if (RefreshActiveDocument() != 0) return S_FALSE;
        ComPtr<IQxMainFrame> frame;
        m_spApplication->get_MainFrame(frame.put());
        if (!frame) return S_FALSE;
        UniqueBstr config;
        frame->get_PrintConfig(config.put());
        *pVal = config.Detach();
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::put_PrintConfig(BSTR value) {
    return Guarded([&] {
        if (RefreshActiveDocument() != 0) return S_FALSE;
        ComPtr<IQxMainFrame> frame;
        m_spApplication->get_MainFrame(frame.put());
        if (!frame) return S_FALSE;
        frame->put_PrintConfig(TextArg(value).get());
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::NoPrintWMName(BSTR strWMName, LONG* lRet) {
    if (!lRet) return E_POINTER;
    *lRet = 1;
    return Guarded([&] {
        if (RefreshActiveDocument() != 0) return S_FALSE;
        ComPtr<IQxWatermarks> watermarks;
        m_spActiveDocument->get_Watermarks(watermarks.put());
        if (!watermarks) return S_FALSE;
        watermarks->NoPrintByName(0, TextArg(strWMName).get(), lRet);
        return S_OK;
    });
}

// The print watermark style handed to the signature engine by the next seal.
STDMETHODIMP CFoliumFun::CreatePrintWMStyle(BSTR strText, FLOAT lalpha, LONG* lRet) {
    if (!lRet) return E_POINTER;
    *lRet = 0;
    m_strPendingSignData.reset();
    if (SysStringLen(strText) == 0) return S_FALSE;
    return Guarded([&] {
        wchar_t alpha[512];
        swprintf(alpha, 512, L"%f", static_cast<double>(lalpha));
        std::wstring style(strText, SysStringLen(strText));
        style += L";";
        style += alpha;
        style += L";";
        m_strPendingSignData = UniqueBstr(style.c_str(), static_cast<UINT>(style.size()));
        *lRet = 1;
        return S_OK;
    });
}

// 1 for an HP printer or one that talks both ways, 0 for another printer, -1 when the
// printer cannot be asked.
STDMETHODIMP CFoliumFun::WebCheckActivePrinterIsVirtualPrinter(BSTR strPrintName, LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = -1;
    UINT length = SysStringLen(strPrintName);
    if (length == 0) return S_OK;
    std::wstring name(strPrintName, length);
    size_t h = name.find(L'H');
    if (h == std::wstring::npos) h = name.find(L'h');
    if (h != std::wstring::npos && h + 2 <= name.size() &&
        CompareStringOrdinal(name.data() + h, 2, L"HP", 2, TRUE) == CSTR_EQUAL) {
        *pVal = 1;
        return S_OK;
    }
    // Names with embedded NULs name no printer.
    if (name.find(L'\0') != std::wstring::npos) return S_OK;
    const Spooler& spooler = TheSpooler();
    if (!spooler) return S_OK;
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!spooler.open(name.data(), &printer, &access) || !printer) return S_OK;
    std::unique_ptr<void, decltype(&ClosePrinter)> closer(printer, spooler.close);
    DWORD needed = 0;
    if (!spooler.get(printer, 2, nullptr, 0, &needed) && GetLastError() != ERROR_INSUFFICIENT_BUFFER) return S_OK;
    if (needed == 0) return S_OK;
    std::unique_ptr<void, decltype(&GlobalFree)> buffer(GlobalAlloc(GPTR, needed), &GlobalFree);
    if (!buffer) return S_OK;
    if (!spooler.get(printer, 2, static_cast<BYTE*>(buffer.get()), needed, &needed)) return S_OK;
    auto* info = static_cast<PRINTER_INFO_2W*>(buffer.get());
    *pVal = (info->Attributes & PRINTER_ATTRIBUTE_ENABLE_BIDI) ? 1 : 0;
    return S_OK;
}
