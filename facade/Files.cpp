// Local files, dialogs, URL transfer, pages and attachments.
#include "FoliumFun.h"

#include <commdlg.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "../bridge/Bridge.h"
#include "../bridge/SealCheck.h"
#include "../support/Base64.h"
#include "../support/CookieText.h"
#include "../support/win/CodePages.h"
#include "../support/win/PathText.h"
#include "FileHelpers.h"

using folium::ComPtr;
using folium::ScopedVariant;
using folium::UniqueBstr;
using folium::UniqueHandle;

using folium::Guarded;
using folium::PathTextsUsable;

namespace {

constexpr wchar_t kDialogFilter[] = L"PDF文件(*.pdf)\0*.pdf\0所有文件(*.*)\0*.*\0";
constexpr wchar_t kSaveTitle[] = L"保存文档";
constexpr wchar_t kOpenTitle[] = L"打开文档";
constexpr wchar_t kSaveFirstMessage[] = L"请先保存文档！";
constexpr wchar_t kStandardTable[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
constexpr DWORD kDialogFlags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
constexpr DWORD kDialogPathChars = 260;
// Page-assembly permission kind of Document.Permission.
constexpr LONG kPageAssembly = 6;


// An optional argument left out.
VARIANT Missing() { return *ScopedVariant::Missing().get(); }

// Hands a new string to a BSTR out-parameter that this member already filled,
// freeing the earlier one.
void ReplaceOut(BSTR* out, UniqueBstr value) {
    SysFreeString(*out);
    *out = value.get() ? value.Detach() : UniqueBstr(L"").Detach();
}

HRESULT WriteEmpty(BSTR* out) {
    *out = SysAllocString(L"");
    return *out ? S_OK : E_OUTOFMEMORY;
}

bool EqualsIgnoringCase(const wchar_t* a, const wchar_t* b) {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

std::wstring Text(const UniqueBstr& b) { return std::wstring(b.c_str(), b.length()); }

// A file chosen in a standard dialog, or nothing when the user cancelled.
struct DialogChoice {
    std::wstring path;
    DWORD filterIndex = 1;
};

std::optional<DialogChoice> ShowOpenDialog(const wchar_t* initialFolder) {
    wchar_t path[kDialogPathChars] = {};
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = kDialogFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = kDialogPathChars;
    ofn.lpstrInitialDir = initialFolder;
    ofn.lpstrTitle = kOpenTitle;
    ofn.Flags = kDialogFlags;
    if (!GetOpenFileNameW(&ofn)) return std::nullopt;
    return DialogChoice{path, ofn.nFilterIndex};
}

// The save dialog starts from the FileName property; with the PDF filter still
// selected a name that does not end in "pdf" gets ".pdf", so the host writes a
// file the reader recognises. Under the other filter the name is taken as typed.
std::optional<std::wstring> ShowSaveDialog(const UniqueBstr& initialName) {
    wchar_t path[kDialogPathChars] = {};
    lstrcpynW(path, initialName.c_str(), kDialogPathChars);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = kDialogFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = kDialogPathChars;
    ofn.lpstrTitle = kSaveTitle;
    ofn.Flags = kDialogFlags;
    if (!GetSaveFileNameW(&ofn)) return std::nullopt;
    std::wstring chosen = path;
    if (ofn.nFilterIndex == 1) {
        bool endsInPdf = chosen.size() >= 3 && EqualsIgnoringCase(chosen.c_str() + chosen.size() - 3, L"pdf");
        if (!endsInPdf) chosen += L".pdf";
    }
    return chosen;
}

std::wstring DesktopFolder() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, folder))) return {};
    return folder;
}

// True when the page holds a seal annotation (exact type name).
bool PageHasSeal(IQxPage* page) {
    ComPtr<IQxAnnotations> annotations;
    page->get_Annotations(annotations.put());
    if (!annotations) return false;
    LONG count = 0;
    annotations->get_Count(&count);
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IQxAnnotation> annotation;
        annotations->Item(i, annotation.put());
        if (folium::IsSealAnnotation(annotation.get())) return true;
    }
    return false;
}

// The page-range deletion shared by DeletePages and DeletePagesExt. Returns the
// host's outcome (0 = deleted); any other value means nothing was deleted.
LONG DeletePageRange(IQxPages* pages, LONG count, LONG start, LONG trail, bool refuseSealedPages) {
    if (trail > count) return 1;
    wchar_t range[32];
    swprintf(range, 32, L"%d-%d", static_cast<int>(start), static_cast<int>(trail));
    if (refuseSealedPages) {
        // Pages outside the document (a start below 1) have nothing to examine.
        for (LONG number = start; number <= trail; ++number) {
            ComPtr<IQxPage> page;
            pages->Item(number - 1, page.put());
            if (page && PageHasSeal(page.get())) return 1;
        }
    }
    LONG outcome = 1;
    UniqueBstr text(range);
    if (FAILED(pages->Delete(text.get(), &outcome))) outcome = 1;
    return outcome;
}

HRESULT DeletePagesCommon(CFoliumFun& fun, LONG start, LONG trail, LONG* lRet, LONG initial, bool extended) {
    *lRet = initial;
    if (fun.RefreshActiveDocument() != 0) return S_FALSE;
    VARIANT_BOOL allowed = VARIANT_FALSE;
    if (FAILED(fun.ActiveDocument()->Permission(kPageAssembly, &allowed)) || !allowed) return S_FALSE;
    ComPtr<IQxPages> pages;
    fun.ActiveDocument()->get_Pages(pages.put());
    if (!pages) return S_FALSE;
    LONG count = 0;
    pages->get_Count(&count);
    bool accepted = trail - start > 0 && trail <= count && start <= count;
    // The extended form also keeps at least one page.
    if (extended) accepted = accepted && count - (trail - start) >= 1;
    if (!accepted) return S_FALSE;
    if (DeletePageRange(pages.get(), count, start, trail, !extended) == 0) *lRet = trail - start + 1;
    return S_OK;
}

// Base64 text of a whole file, read piece by piece straight into the result so
// that memory stays at the text plus one piece. Nothing when the file cannot be
// read; raises E_OUTOFMEMORY when the text would not fit a string.
std::optional<UniqueBstr> EncodeFile(HANDLE file, const folium::Base64Table& table) {
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size)) return std::nullopt;
    const unsigned long long bytes = static_cast<unsigned long long>(size.QuadPart);
    const unsigned long long chars = (bytes + 2) / 3 * 4;
    if (chars > 0x7FFFFFF0ull / sizeof(wchar_t)) folium::ThrowHResult(E_OUTOFMEMORY);
    // Built in place: a string allocated at full size from nothing would be zero-filled
    // first, one more pass over every page of a large result.
    folium::TextBuilder text;
    text.reserve(static_cast<size_t>(chars));

    // Convert the table's characters from the thread's ANSI code page one by one;
    // for a plain ASCII table that is the identity.
    wchar_t widened[256];
    for (int c = 0; c < 256; ++c) {
        char narrow = static_cast<char>(c);
        if (table.IsAscii() || MultiByteToWideChar(CP_THREAD_ACP, 0, &narrow, 1, &widened[c], 1) != 1)
            widened[c] = static_cast<wchar_t>(c);
    }

    constexpr DWORD kPiece = 3 * 256 * 1024;  // a multiple of three: pads only at the very end
    std::string piece(kPiece, '\0');
    std::string encoded(table.IsAscii() ? 0 : folium::Base64EncodedLength(kPiece), '\0');
    unsigned long long left = bytes;
    while (left > 0) {
        DWORD want = static_cast<DWORD>(std::min<unsigned long long>(left, kPiece));
        DWORD got = 0;
        DWORD filled = 0;
        while (filled < want) {
            if (!ReadFile(file, &piece[filled], want - filled, &got, nullptr) || got == 0) return std::nullopt;
            filled += got;
        }
        wchar_t* out = text.extend(folium::Base64EncodedLength(want));
        if (table.IsAscii()) {
            folium::EncodeBase64(piece.data(), want, table, out);
        } else {
            std::size_t n = folium::EncodeBase64(piece.data(), want, table, encoded.data());
            for (std::size_t i = 0; i < n; ++i) *out++ = widened[static_cast<unsigned char>(encoded[i])];
        }
        left -= want;
    }
    return UniqueBstr::Attach(text.Detach());
}

}  // namespace

using namespace folium::files;

// ---- opening -----------------------------------------------------------------------------

STDMETHODIMP CFoliumFun::WebOpenLocalFile(BSTR sFileName, LONG* lResult) {
    if (!lResult) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *lResult = 0;
        if (!PathTextsUsable({sFileName})) return S_FALSE;
        ComPtr<IQxDocument> document;
        HRESULT hr = OpenLocalFile(*this, sFileName ? sFileName : L"", &document);
        if (document) *lResult = 1;
        return hr;
    });
}

STDMETHODIMP CFoliumFun::WebOpenLocalFileEx(BSTR FileName, BSTR Password, BSTR LocalPath, BSTR /*Ext1*/, BSTR /*Ext2*/,
                                            BSTR /*Ext3*/, LONG* /*lRet*/) {
    return Guarded([&]() -> HRESULT {
        if (!PathTextsUsable({FileName, LocalPath})) return S_FALSE;
        ComPtr<IQxDocuments> documents = HostDocuments(*this);
        if (!documents) return S_FALSE;
        // The folder is taken as given: a missing backslash runs the names together.
        std::wstring path = Text(UniqueBstr::Copy(LocalPath)) + Text(UniqueBstr::Copy(FileName));
        auto name = ScopedVariant::Bstr(path.c_str());
        auto password = ScopedVariant::Bstr(Password);
        auto ownerPassword = ScopedVariant::Bstr(Password);
        auto options = ScopedVariant::Bstr(L"");
        ComPtr<IQxDocument> document;
        documents->Open(*name.get(), *password.get(), *ownerPassword.get(), *options.get(), document.put());
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebOpenLocal(VARIANT_BOOL* pRet) {
    if (!pRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        if (!m_spApplication) return S_FALSE;
        std::optional<DialogChoice> choice = ShowOpenDialog(nullptr);
        if (!choice) return S_OK;
        ComPtr<IQxDocuments> documents = HostDocuments(*this);
        if (!documents) return S_FALSE;
        auto name = ScopedVariant::Bstr(choice->path.c_str());
        ComPtr<IQxDocument> document;
        documents->Open(*name.get(), Missing(), Missing(), Missing(), document.put());
        *pRet = document ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebOpenLocalDialog(BSTR* pstrFilePath) {
    if (!pstrFilePath) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        if (!m_spApplication) return S_FALSE;
        std::wstring desktop = DesktopFolder();
        std::optional<DialogChoice> choice = ShowOpenDialog(desktop.empty() ? nullptr : desktop.c_str());
        if (!choice) return S_OK;
        *pstrFilePath = UniqueBstr(choice->path.c_str()).Detach();
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebOpenUrlFile(BSTR strUrl, VARIANT_BOOL* pRet) {
    if (!pRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *pRet = VARIANT_FALSE;
        if (!PathTextsUsable({strUrl})) return S_FALSE;
        ComPtr<IQxDocuments> documents = HostDocuments(*this);
        if (!documents) return S_FALSE;
        UniqueBstr url(strUrl ? strUrl : L"");
        LONG result = -1;
        if (FAILED(documents->OpenURL(url.get(), Missing(), &result))) result = -1;
        *pRet = result == 0 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::openFile(BSTR strUrl, VARIANT_BOOL /*readOnly*/, VARIANT_BOOL* bRet) {
    if (!bRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        ComPtr<IQxDocuments> documents;
        if (PathTextsUsable({strUrl})) documents = HostDocuments(*this);
        if (!documents) {
            *bRet = VARIANT_FALSE;
            return S_FALSE;
        }
        std::wstring target = Text(UniqueBstr::Copy(strUrl));
        if (target.find(L"http:") != std::wstring::npos) {
            UniqueBstr url(target.c_str());
            auto password = ScopedVariant::Bstr(L"");
            LONG result = -1;
            if (FAILED(documents->OpenURL(url.get(), *password.get(), &result))) result = -1;
            *bRet = result == 0 ? VARIANT_TRUE : VARIANT_FALSE;
        } else {
            ComPtr<IQxDocument> document;
            OpenLocalFile(*this, target.c_str(), &document);
            *bRet = document ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    });
}

// ---- closing -----------------------------------------------------------------------------

STDMETHODIMP CFoliumFun::WebClose(LONG* lResult) {
    if (!lResult) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *lResult = 0;
        ComPtr<IQxDocuments> documents = HostDocuments(*this);
        if (!documents) return S_FALSE;
        LONG count = 0;
        documents->get_Count(&count);
        if (count > 0) {
            auto first = ScopedVariant::I4(0);
            documents->Close(*first.get());
            *lResult = 1;
        }
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::closeFile(VARIANT_BOOL* bRet) {
    if (!bRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        ComPtr<IQxDocuments> documents = HostDocuments(*this);
        if (!documents) {
            *bRet = VARIANT_FALSE;
            return S_FALSE;
        }
        documents->Close(Missing());
        *bRet = VARIANT_TRUE;
        return S_OK;
    });
}

// ---- saving ------------------------------------------------------------------------------

STDMETHODIMP CFoliumFun::WebSaveLocalFile(BSTR sFileName, LONG* lResult) {
    if (!lResult) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        if (PathTextsUsable({sFileName})) return SaveActiveDocumentAs(*this, sFileName, lResult);
        *lResult = 0;
        return S_FALSE;
    });
}

STDMETHODIMP CFoliumFun::saveFile(BSTR strUrl, VARIANT_BOOL* bRet) {
    if (!bRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        if (!PathTextsUsable({strUrl}) || RefreshActiveDocument() != 0) {
            *bRet = VARIANT_FALSE;
            return S_FALSE;
        }
        UniqueBstr target = SysStringLen(strUrl) > 0 ? UniqueBstr::Copy(strUrl) : DocumentPath(m_spActiveDocument.get());
        LONG result = -1;
        if (SUCCEEDED(m_spActiveDocument->SaveAs(target.get(), &result)) && result == 0) *bRet = VARIANT_TRUE;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebSaveLocal(VARIANT_BOOL* pRet) {
    if (!pRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *pRet = VARIANT_FALSE;
        if (!m_spApplication || !SaveAllowed(*this)) return S_FALSE;
        if (RefreshActiveDocument() != 0) return S_FALSE;
        std::optional<std::wstring> path = ShowSaveDialog(m_exchange.fileName);
        if (!path) return S_OK;
        UniqueBstr target(path->c_str());
        LONG result = -1;
        if (SUCCEEDED(m_spActiveDocument->SaveAs(target.get(), &result)) && result == 0) *pRet = VARIANT_TRUE;
        m_spApplication->SaveFinished();
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebSaveLocalDialog(BSTR* pstrFilePath) {
    if (!pstrFilePath) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        if (!m_spApplication || !SaveAllowed(*this)) return S_FALSE;
        std::optional<std::wstring> path = ShowSaveDialog(m_exchange.fileName);
        if (!path) return S_OK;
        *pstrFilePath = UniqueBstr(path->c_str()).Detach();
        return S_OK;
    });
}

// Saves a copy of the document without its seals. The seals are removed from the
// open document itself, which is then marked unmodified again.
STDMETHODIMP CFoliumFun::SaveLocalFileNoSignature(BSTR FileName, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *lRet = 1;
        if (!PathTextsUsable({FileName})) return S_FALSE;
        ComPtr<IQxDocument> document = HostActiveDocument(*this);
        if (!document || !SaveAllowed(*this)) return S_FALSE;
        ComPtr<IQxPages> pages;
        document->get_Pages(pages.put());
        LONG pageCount = 0;
        if (pages) pages->get_Count(&pageCount);
        for (LONG p = 0; p < pageCount; ++p) {
            ComPtr<IQxPage> page;
            pages->Item(p, page.put());
            ComPtr<IQxAnnotations> annotations;
            if (page) page->get_Annotations(annotations.put());
            if (!annotations) continue;
            LONG count = 0;
            annotations->get_Count(&count);
            // From the last to the first, so deleting does not move what is still to come.
            for (LONG i = count - 1; i >= 0; --i) {
                ComPtr<IQxAnnotation> annotation;
                annotations->Item(i, annotation.put());
                if (!annotation) continue;
                UniqueBstr type;
                annotation->get_Type(type.put());
                if (EqualsIgnoringCase(type.c_str(), folium::kSealAnnotationType)) annotation->Delete();
            }
        }
        UniqueBstr target(FileName ? FileName : L"");
        LONG result = 1;
        if (FAILED(document->SaveCopyAs(target.get(), 0, &result))) result = 1;
        *lRet = result;
        document->SetModified(0);
        return S_OK;
    });
}

// ---- base64 ------------------------------------------------------------------------------

STDMETHODIMP CFoliumFun::SaveFileToBase64(LONG nType, BSTR* strResult) {
    if (!strResult) return E_POINTER;
    HRESULT hr = WriteEmpty(strResult);
    if (FAILED(hr)) return hr;
    return Guarded([&]() -> HRESULT {
        if (RefreshActiveDocument() != 0 || !SaveAllowed(*this)) return S_FALSE;
        if (nType == 1) {
            ComPtr<IDispatch> engine;
            if (GetSiblingAddIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put())) {
                auto table = ScopedVariant::Bstr(kStandardTable);
                ScopedVariant result;
                if (SUCCEEDED(folium::InvokeByName(DISPATCH_METHOD, result.get(), engine.get(), L"GetFileBase64",
                                                   table.get())) &&
                    result->vt == VT_BSTR)
                    ReplaceOut(strResult, UniqueBstr::Copy(result->bstrVal));
            }
        }
        m_spActiveDocument->SetModified(0);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::GetFileBase64(BSTR strBaseTable, BSTR* strRet) {
    if (!strRet) return E_POINTER;
    HRESULT hr = WriteEmpty(strRet);
    if (FAILED(hr)) return hr;
    return Guarded([&]() -> HRESULT {
        if (RefreshActiveDocument() != 0) return S_FALSE;
        ComPtr<IQxDocument> probe = m_spActiveDocument;
        if (folium::IsOfdDocument(probe.Detach())) return S_FALSE;

        LONG modified = -1;
        if (FAILED(m_spActiveDocument->get_Modified(&modified))) modified = -1;
        if (modified != 0) {
            // AlterUser 0 asks for silence: the page handles the refusal itself.
            if (m_nAlterUser != 0) MessageBoxW(GetActiveWindow(), kSaveFirstMessage, nullptr, MB_ICONINFORMATION);
            return S_FALSE;
        }
        UniqueBstr path = DocumentPath(m_spActiveDocument.get());
        if (path.empty()) {
            MessageBoxW(GetActiveWindow(), kSaveFirstMessage, nullptr, MB_ICONINFORMATION);
            return S_FALSE;
        }

        std::optional<folium::Base64Table> privateTable;
        if (SysStringLen(strBaseTable) > 0) {
            std::string narrow =
                folium::NarrowToCodePage(CP_ACP, std::wstring_view(strBaseTable, SysStringLen(strBaseTable)));
            privateTable = folium::Base64Table::Make(narrow);
            // A table without all 64 digits and the pad cannot encode anything.
            if (!privateTable) return S_FALSE;
        }

        UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) return S_OK;
        std::optional<UniqueBstr> text =
            EncodeFile(file.get(), privateTable ? *privateTable : folium::Base64Table::Standard());
        if (text) ReplaceOut(strRet, std::move(*text));
        return S_OK;
    });
}

// ---- file facts --------------------------------------------------------------------------

STDMETHODIMP CFoliumFun::get_LocalFileName(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    HRESULT hr = WriteEmpty(pVal);
    if (FAILED(hr)) return hr;
    return Guarded([&]() -> HRESULT {
        if (RefreshActiveDocument() != 0) return S_FALSE;
        ReplaceOut(pVal, DocumentPath(m_spActiveDocument.get()));
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::GetFileName(LONG /*nDocIndex*/, BSTR* pVal) {
    if (!pVal) return E_POINTER;
    HRESULT hr = WriteEmpty(pVal);
    if (FAILED(hr)) return hr;
    return Guarded([&]() -> HRESULT {
        // The index is not used: the active document is always meant.
        if (RefreshActiveDocument() != 0) return S_FALSE;
        ComPtr<IQxDocumentFile> file;
        m_spActiveDocument->get_FileInfo(file.put());
        if (!file) return S_OK;
        UniqueBstr name;
        file->get_Name(name.put());
        ReplaceOut(pVal, std::move(name));
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebGetFilePath(BSTR* strFilePath) {
    if (!strFilePath) return E_POINTER;
    HRESULT hr = WriteEmpty(strFilePath);
    if (FAILED(hr)) return hr;
    return Guarded([&]() -> HRESULT {
        ComPtr<IQxDocument> document = HostActiveDocument(*this);
        if (!document) return S_FALSE;
        ComPtr<IQxDocumentFile> file;
        document->get_FileInfo(file.put());
        if (!file) return S_FALSE;
        UniqueBstr folder, name;
        file->get_Folder(folder.put());
        file->get_Name(name.put());
        std::wstring path = Text(folder);
        if (path.empty() || path.back() != L'\\') path += L'\\';
        path += Text(name);
        ReplaceOut(strFilePath, UniqueBstr(path.c_str(), static_cast<UINT>(path.size())));
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::FileSize(LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *lRet = 0;
        if (!m_spApplication) return S_FALSE;
        ComPtr<IQxDocument> document = HostActiveDocument(*this);
        if (!document) return S_FALSE;
        ComPtr<IQxDocumentFile> file;
        document->get_FileInfo(file.put());
        if (!file) return S_FALSE;
        LONG bytes = 0;
        if (SUCCEEDED(file->get_Size(&bytes))) *lRet = bytes / 1024;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::getLogFilePath(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    // There is no log file: progress goes to the debugger output only.
    return WriteEmpty(pVal);
}

// ---- URL transfer ------------------------------------------------------------------------

STDMETHODIMP CFoliumFun::WebDownLoadFile(BSTR strUrl, BSTR strFileName, VARIANT_BOOL* pRet) {
    if (!pRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *pRet = VARIANT_FALSE;
        if (!m_spApplication || !PathTextsUsable({strUrl, strFileName})) return S_FALSE;
        ComPtr<IQxNetFile> transfer;
        m_spApplication->CreateNetFile(transfer.put());
        if (!transfer) return S_OK;
        transfer->Reset();
        UniqueBstr url(strUrl ? strUrl : L""), target(strFileName ? strFileName : L"");
        VARIANT_BOOL flag = VARIANT_FALSE;
        if (FAILED(transfer->Open(0, url.get(), 0, Missing(), Missing(), &flag))) flag = VARIANT_FALSE;
        if (flag && SUCCEEDED(transfer->Transfer(&flag)) && flag) {
            VARIANT_BOOL saved = VARIANT_FALSE;
            transfer->SaveToFile(0, target.get(), &saved);  // Close reports the transfer's outcome
        }
        flag = VARIANT_FALSE;
        if (FAILED(transfer->Close(&flag))) flag = VARIANT_FALSE;
        *pRet = flag;
        return S_OK;
    });
}

// Posts the current document as a form. The document goes through a fresh
// temporary file of the component's own. The transfer is synchronous and over
// once the transfer object is closed, so the copy goes then: documents are
// often confidential and must not collect in the temporary folder.
STDMETHODIMP CFoliumFun::WebUpLoadFile(BSTR strUrl, BSTR strFormData, VARIANT_BOOL* pRet) {
    if (!pRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        if (!PathTextsUsable({strUrl})) {
            *pRet = VARIANT_FALSE;
            return S_FALSE;
        }
        if (RefreshActiveDocument() != 0) return S_FALSE;
        const ScopedTempFile copy(CreateTempFile());
        UniqueBstr tempPath(copy.path().c_str());
        LONG saved = -1;
        m_spActiveDocument->SaveAs(tempPath.get(), &saved);
        if (!FileExists(copy.path().c_str())) return S_FALSE;

        ComPtr<IQxNetFile> transfer;
        m_spApplication->CreateNetFile(transfer.put());
        if (!transfer) {
            *pRet = VARIANT_FALSE;
            return S_OK;
        }
        transfer->Reset();
        if (SysStringLen(strFormData) > 0) transfer->AddFormField(UniqueBstr(L"FormData").get(), strFormData);
        transfer->AddFormFile(UniqueBstr(L"FileData").get(), tempPath.get());
        transfer->SetPost(-1);
        UniqueBstr url(strUrl ? strUrl : L"");
        VARIANT_BOOL flag = VARIANT_FALSE;
        if (FAILED(transfer->Open(0, url.get(), 0, Missing(), Missing(), &flag))) flag = VARIANT_FALSE;
        if (flag) transfer->Transfer(&flag);
        flag = VARIANT_FALSE;
        if (FAILED(transfer->Close(&flag))) flag = VARIANT_FALSE;
        *pRet = flag;
        return S_OK;
    });
}

// Keeps the page's cookies as "name=value;" text for the message server.
STDMETHODIMP CFoliumFun::INetSetCookieEx(BSTR /*bstrUrl*/, BSTR bstrCookie, VARIANT_BOOL* pVal) {
    if (!pVal) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        m_exchange.cookie.reset();
        folium::DebugTrace(bstrCookie ? bstrCookie : L"");
        const int length = static_cast<int>(SysStringLen(bstrCookie));
        if (length > 0) {
            std::string json = folium::NarrowToCodePage(CP_UTF8, std::wstring_view(bstrCookie, length));
            if (std::optional<std::string> cookie = folium::MakeCookieText(json)) {
                std::wstring wide = folium::WideFromCodePage(CP_UTF8, *cookie);
                m_exchange.cookie = UniqueBstr(wide.c_str(), static_cast<UINT>(wide.size()));
            }
            folium::DebugTrace(m_exchange.cookie.c_str());
        }
        *pVal = VARIANT_TRUE;
        return S_OK;
    });
}

// ---- pages -------------------------------------------------------------------------------

STDMETHODIMP CFoliumFun::ImportPages(BSTR FileName, LONG Start, LONG Trail, LONG Place, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *lRet = 1;
        if (!PathTextsUsable({FileName})) {
            *lRet = 0;
            return S_FALSE;
        }
        ComPtr<IQxDocument> document = HostActiveDocument(*this);
        if (!document) return S_FALSE;
        VARIANT_BOOL allowed = VARIANT_FALSE;
        if (FAILED(document->Permission(kPageAssembly, &allowed)) || !allowed) return S_FALSE;
        ComPtr<IQxPages> pages;
        document->get_Pages(pages.put());
        if (!pages) return S_FALSE;
        LONG count = 0;
        pages->get_Count(&count);
        if (Start > count) return S_FALSE;
        // The range is read against the open document's page count.
        LONG first = Start < 1 ? 0 : Start;
        LONG last = (Trail < 1 || Trail > count) ? count : Trail;
        if (last < first) std::swap(first, last);
        LONG place = (Place < 0 || Place > count) ? -1 : Place;
        wchar_t range[32];
        swprintf(range, 32, L"%d-%d", static_cast<int>(first), static_cast<int>(last));
        UniqueBstr file(FileName ? FileName : L""), rangeText(range);
        LONG inserted = 0;
        if (FAILED(pages->Insert(file.get(), place, rangeText.get(), &inserted))) inserted = 0;
        *lRet = inserted != 0 ? 1 : 0;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::DeletePages(LONG Start, LONG Trail, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&]() -> HRESULT { return DeletePagesCommon(*this, Start, Trail, lRet, 0, false); });
}

STDMETHODIMP CFoliumFun::DeletePagesExt(LONG Start, LONG Trail, LONG* lRet) {
    if (!lRet) return E_POINTER;
    return Guarded([&]() -> HRESULT { return DeletePagesCommon(*this, Start, Trail, lRet, 1, true); });
}

// ---- attachments -------------------------------------------------------------------------

STDMETHODIMP CFoliumFun::AddAttachments(BSTR FileName, BSTR FileDescription, VARIANT_BOOL* bResult) {
    if (!bResult) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        *bResult = 0;
        if (!PathTextsUsable({FileName}) || RefreshActiveDocument() != 0) return S_FALSE;
        ComPtr<IQxAttachments> attachments;
        m_spActiveDocument->get_Attachments(attachments.put());
        if (!attachments) return S_FALSE;
        UniqueBstr file(FileName ? FileName : L""), description(FileDescription ? FileDescription : L"");
        LONG result = -1;
        if (FAILED(attachments->Add(file.get(), description.get(), &result))) result = -1;
        if (result == 0) *bResult = 1;
        return S_OK;
    });
}

// An empty name removes every attachment; otherwise the first one of exactly
// that name goes.
STDMETHODIMP CFoliumFun::DelAttachments(BSTR AttachmentName, VARIANT_BOOL* bResult) {
    if (!bResult) return E_POINTER;
    return Guarded([&]() -> HRESULT {
        if (RefreshActiveDocument() != 0) return S_FALSE;
        ComPtr<IQxAttachments> attachments;
        m_spActiveDocument->get_Attachments(attachments.put());
        if (!attachments) return S_FALSE;
        LONG count = 0;
        attachments->get_Count(&count);
        LONG removed = -1;
        std::wstring wanted = Text(UniqueBstr::Copy(AttachmentName));
        if (wanted.empty()) {
            // Removing index 0 each round takes them first to last.
            for (LONG round = 0; round < count; ++round)
                if (FAILED(attachments->Remove(0, &removed))) removed = -1;
        } else {
            for (LONG i = 0; i < count; ++i) {
                ComPtr<IQxAttachment> attachment;
                attachments->Item(i, attachment.put());
                if (!attachment) continue;
                UniqueBstr name;
                attachment->get_Name(name.put());
                if (Text(name) != wanted) continue;
                if (FAILED(attachments->Remove(static_cast<SHORT>(i), &removed))) removed = -1;
                break;
            }
        }
        if (removed == 0) *bResult = 1;
        return S_OK;
    });
}

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::put_LocalFileName(BSTR /*value*/) { return S_OK; }
STDMETHODIMP CFoliumFun::WebSaveLocalFileEx(BSTR /*FileName*/, BSTR /*Password*/, BSTR /*LocalPath*/, BSTR /*Ext1*/, BSTR /*Ext2*/, BSTR /*Ext3*/, LONG* /*lRet*/) { return S_OK; }
STDMETHODIMP CFoliumFun::setReaderMode(LONG /*iMode*/) { return S_OK; }
STDMETHODIMP CFoliumFun::setViewPreference(BSTR /*key*/, BSTR /*Value*/) { return S_OK; }
STDMETHODIMP CFoliumFun::addTrackInfo(BSTR /*xmlParam*/) { return S_OK; }
