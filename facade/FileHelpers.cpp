// File operations shared by the local-file and server-exchange members.
#include "FileHelpers.h"

namespace folium::files {

namespace {

// The exchanges read the temporary folder into a buffer of this many characters.
constexpr DWORD kTempFolderBuffer = 256;

}  // namespace

std::wstring SystemTempFolder() {
    wchar_t folder[kTempFolderBuffer];
    DWORD n = GetTempPathW(kTempFolderBuffer, folder);
    if (n == 0 || n >= kTempFolderBuffer) return {};
    return std::wstring(folder, n);
}

std::wstring CreateTempFile() {
    std::wstring folder = SystemTempFolder();
    if (folder.empty()) return {};
    wchar_t path[MAX_PATH];
    if (!GetTempFileNameW(folder.c_str(), L"", 0, path)) return {};
    return path;
}

bool FileExists(const wchar_t* path) {
    return path && *path && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

void DeleteIfExists(const std::wstring& path) {
    if (FileExists(path.c_str())) DeleteFileW(path.c_str());
}

ComPtr<IQxDocuments> HostDocuments(CFoliumFun& fun) {
    ComPtr<IQxDocuments> documents;
    if (fun.Application()) fun.Application()->get_Documents(documents.put());
    return documents;
}

ComPtr<IQxDocument> HostActiveDocument(CFoliumFun& fun) {
    ComPtr<IQxDocument> document;
    if (ComPtr<IQxDocuments> documents = HostDocuments(fun)) documents->get_ActiveDocument(document.put());
    return document;
}

bool SaveAllowed(CFoliumFun& fun) {
    LONG allowed = 1;
    if (fun.Application() && FAILED(fun.Application()->get_SaveAllowed(&allowed))) allowed = 1;
    return allowed != 0;
}

UniqueBstr DocumentPath(IQxDocument* document) {
    ComPtr<IQxDocumentFile> file;
    if (document) document->get_FileInfo(file.put());
    if (!file) return UniqueBstr(L"");
    UniqueBstr folder, name;
    file->get_Folder(folder.put());
    file->get_Name(name.put());
    std::wstring path = std::wstring(folder.c_str(), folder.length()) + std::wstring(name.c_str(), name.length());
    return UniqueBstr(path.c_str(), static_cast<UINT>(path.size()));
}

HRESULT OpenLocalFile(CFoliumFun& fun, const wchar_t* path, ComPtr<IQxDocument>* document) {
    *document = nullptr;
    ComPtr<IQxDocuments> documents = HostDocuments(fun);
    if (!documents) return S_FALSE;
    auto name = ScopedVariant::Bstr(path);
    auto password = ScopedVariant::Bstr(L"");
    auto ownerPassword = ScopedVariant::Bstr(L"");
    auto options = ScopedVariant::Bstr(L"");
    documents->Open(*name.get(), *password.get(), *ownerPassword.get(), *options.get(), document->put());
    return S_OK;
}

HRESULT SaveActiveDocumentAs(CFoliumFun& fun, const wchar_t* path, LONG* result) {
    *result = 0;
    if (!fun.Application()) return S_FALSE;
    fun.RefreshActiveDocument();
    if (!SaveAllowed(fun)) return S_FALSE;
    if (fun.ActiveDocument()) {
        UniqueBstr target(path ? path : L"");
        LONG saved = -1;
        if (SUCCEEDED(fun.ActiveDocument()->SaveAs(target.get(), &saved)) && saved == 0) *result = 1;
    }
    fun.Application()->SaveFinished();  // the page waits for this even when nothing was saved
    return S_OK;
}

std::wstring DownloadToTempFile(CFoliumFun& fun, BSTR url) {
    if (!fun.Application()) return {};
    ComPtr<IQxNetFile> transfer;
    fun.Application()->CreateNetFile(transfer.put());
    if (!transfer) return {};
    transfer->Reset();
    UniqueBstr address = UniqueBstr::Copy(url ? url : nullptr);
    if (!address.get()) address = UniqueBstr(L"");
    const auto missing = ScopedVariant::Missing();
    std::wstring path;
    VARIANT_BOOL flag = VARIANT_FALSE;
    if (SUCCEEDED(transfer->Open(0, address.get(), 0, *missing.get(), *missing.get(), &flag)) && flag) {
        flag = VARIANT_FALSE;
        LONG status = 0;
        if (SUCCEEDED(transfer->Transfer(&flag)) && flag && SUCCEEDED(transfer->get_Status(&status)) &&
            status == 200) {
            path = CreateTempFile();
            if (!path.empty()) {
                UniqueBstr target(path.c_str());
                VARIANT_BOOL saved = VARIANT_FALSE;
                transfer->SaveToFile(0, target.get(), &saved);
            }
        }
    }
    VARIANT_BOOL closed = VARIANT_FALSE;
    transfer->Close(&closed);
    return path;
}

}  // namespace folium::files
