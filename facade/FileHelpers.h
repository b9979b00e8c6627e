// File operations shared by the local-file and server-exchange members: temporary
// files, the save gate, and opening and saving the reader's document by path.
#pragma once

#include <windows.h>

#include <string>

#include "FoliumFun.h"

namespace folium::files {

// The system temporary folder with its trailing backslash, or "" when the system
// has none or it does not fit the 256-character buffer the exchanges use.
std::wstring SystemTempFolder();

// Creates a fresh empty file in the system temporary folder under a name the
// system makes unique (no prefix) and returns its path; "" when that fails.
// The caller owns the file and decides when it goes.
std::wstring CreateTempFile();

// True when something exists at path.
bool FileExists(const wchar_t* path);

// Deletes path when it exists; the outcome is deliberately not reported.
void DeleteIfExists(const std::wstring& path);

// A temporary file of the component's own that goes when the member using it
// ends, on every path: copies of documents must not collect in the temporary
// folder. Declare it before the objects that may still hold the file open, so
// that they are released first.
class ScopedTempFile {
public:
    explicit ScopedTempFile(std::wstring path) : path_(std::move(path)) {}
    ~ScopedTempFile() { DeleteIfExists(path_); }
    ScopedTempFile(const ScopedTempFile&) = delete;
    ScopedTempFile& operator=(const ScopedTempFile&) = delete;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
};

// The host's documents collection; null without a host or collection.
ComPtr<IQxDocuments> HostDocuments(CFoliumFun& fun);

// The host's active document read through the documents collection, without
// touching the component's own active-document pointer; null when none.
ComPtr<IQxDocument> HostActiveDocument(CFoliumFun& fun);

// The save gate: the host's save right, read into a value preset to 1, must
// not be 0. A host that cannot answer does not refuse.
bool SaveAllowed(CFoliumFun& fun);

// Full path of the file behind the document: DocumentFile.Folder followed
// directly by DocumentFile.Name (no separator is inserted). "" when the host
// gives no file facts.
UniqueBstr DocumentPath(IQxDocument* document);

// Opens a local file in the reader: Documents.Open with the path and three empty
// strings. *document receives the opened document, null when the host gave none
// back. S_FALSE (nothing asked) without a host or documents collection, else S_OK.
HRESULT OpenLocalFile(CFoliumFun& fun, const wchar_t* path, ComPtr<IQxDocument>* document);

// Saves the reader's active document to path. *result is 0 at first and 1 once
// the host reports the save done; Application.SaveFinished follows with or
// without a document. S_FALSE without a host or when the save gate refuses (then
// nothing is saved and the page is not told), else S_OK.
HRESULT SaveActiveDocumentAs(CFoliumFun& fun, const wchar_t* path, LONG* result);

// Fetches url through the reader's transfer object into a fresh temporary file:
// Application.CreateNetFile, NetFile.Reset, NetFile.Open, NetFile.Transfer, and only
// with status 200 a unique name in the system temporary folder and NetFile.SaveToFile;
// NetFile.Close at the end. Returns that file's path, "" when any step failed (the
// caller then owns and deletes the file).
std::wstring DownloadToTempFile(CFoliumFun& fun, BSTR url);

}  // namespace folium::files
