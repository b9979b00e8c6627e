// Local files, dialogs, URL transfer, base64, pages and attachments, driven through
// the component loaded in the reader simulator. Dialog and message-box answers come
// from the simulator's capture of the component's imports; transfers go to a small
// HTTP server on the loopback address inside this process.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FamilyTestSupport.h"
#include "LoopbackHttpServer.h"

using namespace testsupport;

namespace {

constexpr DWORD kDialogFlags = 0x00080000 /*OFN_EXPLORER*/ | 0x00000800 /*OFN_PATHMUSTEXIST*/ |
                               0x00001000 /*OFN_FILEMUSTEXIST*/;
const std::wstring kDialogFilter = L"PDF文件(*.pdf)|*.pdf|所有文件(*.*)|*.*|";
const std::string kStandardDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string ToUtf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

// A text as the simulator's journal quotes it.
std::wstring Quoted(const std::wstring& s) {
    std::wstring out = L"\"";
    for (wchar_t c : s) {
        if (c == L'"' || c == L'\\') out += L'\\';
        out += c;
    }
    return out + L"\"";
}

bool ReadAll(const std::wstring& path, std::string* bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD size = GetFileSize(h, nullptr), got = 0;
    bytes->assign(size, '\0');
    bool ok = size == 0 || (ReadFile(h, &(*bytes)[0], size, &got, nullptr) && got == size);
    CloseHandle(h);
    return ok;
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    if (!bytes.empty()) WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(h);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring TempFolder() {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return dir;
}

// Base64 as the system's own encoder writes it, one line.
std::wstring SystemBase64(const std::string& bytes) {
    using Fn = BOOL(WINAPI*)(const BYTE*, DWORD, DWORD, LPWSTR, DWORD*);
    HMODULE crypt = LoadLibraryW(L"crypt32.dll");
    auto encode = crypt ? reinterpret_cast<Fn>(GetProcAddress(crypt, "CryptBinaryToStringW")) : nullptr;
    if (!encode) return L"<no system encoder>";
    const DWORD flags = 0x00000001 /*CRYPT_STRING_BASE64*/ | 0x40000000 /*CRYPT_STRING_NOCRLF*/;
    DWORD n = 0;
    encode(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), flags, nullptr, &n);
    std::wstring out(n, L'\0');
    encode(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), flags, &out[0], &n);
    out.erase(std::remove_if(out.begin(), out.end(), [](wchar_t c) { return c == L'\r' || c == L'\n' || c == 0; }),
              out.end());
    return out;
}

std::wstring DesktopFolder() {
    using Fn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    auto get = shell ? reinterpret_cast<Fn>(GetProcAddress(shell, "SHGetFolderPathW")) : nullptr;
    wchar_t folder[MAX_PATH] = {};
    if (!get || FAILED(get(nullptr, 0x0010 /*CSIDL_DESKTOPDIRECTORY*/, nullptr, 0, folder))) return L"<no desktop>";
    return folder;
}

// Debugger output of this process, seen as the exception OutputDebugString raises.
class DebugOutput {
public:
    DebugOutput() {
        Lines().clear();
        handler_ = AddVectoredExceptionHandler(1, &Handler);
    }
    ~DebugOutput() { RemoveVectoredExceptionHandler(handler_); }
    static std::vector<std::wstring> Traces() {
        std::vector<std::wstring> out;
        for (auto& l : Lines())
            if (l.rfind(L"VD_Folium2018_Normal_", 0) == 0) out.push_back(l);
        return out;
    }

private:
    static std::vector<std::wstring>& Lines() {
        static std::vector<std::wstring> lines;
        return lines;
    }
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD* r = info->ExceptionRecord;
        if (r->ExceptionCode == 0x40010006 /*DBG_PRINTEXCEPTION_C*/ && r->NumberParameters >= 2) {
            const char* text = reinterpret_cast<const char*>(r->ExceptionInformation[1]);
            int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
            std::wstring w(n > 0 ? n - 1 : 0, L'\0');
            if (n > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, &w[0], n);
            Lines().push_back(w);
        } else if (r->ExceptionCode == 0x4001000A /*DBG_PRINTEXCEPTION_WIDE_C*/ && r->NumberParameters >= 2) {
            Lines().push_back(reinterpret_cast<const wchar_t*>(r->ExceptionInformation[1]));
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }
    void* handler_ = nullptr;
};

// Fixture documents.
std::string PagesJson(int pages, const std::string& extraPage = "") {
    std::string s = "[";
    for (int i = 0; i < pages; ++i) {
        if (i) s += ",";
        s += "{\"text\":\"page " + std::to_string(i + 1) + "\"" + extraPage + "}";
    }
    return s + "]";
}
std::string Document(int pages, const std::string& extra = "") {
    return "{\"type\":\"PDF\",\"pages\":" + PagesJson(pages) + extra + "}";
}
std::string Seal(const std::string& type = "Brimwell:AddSeal") {
    return "{\"kind\":12,\"type\":\"" + type + "\",\"rect\":[10,10,60,60]}";
}

class FilesTest : public ConnectedComponent {
protected:
    std::wstring workDir;

    void SetUp() override {
        ConnectedComponent::SetUp();
        if (HasFatalFailure()) return;
        LONG patched = 0;
        ASSERT_EQ(sim->CaptureImports(UniqueBstr(L"FoliumAddin.dll").get(), &patched), S_OK);
        ASSERT_GE(patched, 3);  // MessageBoxW, GetOpenFileNameW, GetSaveFileNameW
        wchar_t file[MAX_PATH];
        GetTempFileNameW(TempFolder().c_str(), L"fw", 0, file);
        DeleteFileW(file);
        workDir = file;
        CreateDirectoryW(workDir.c_str(), nullptr);
    }

    void TearDown() override {
        // The reader downloads URL documents into folders of its own in the temporary
        // folder; remove those the tests caused once the reader has let go of them.
        std::vector<std::wstring> downloads;
        if (app) {
            ComPtr<IQxDocuments> docs;
            app->get_Documents(docs.put());
            LONG n = 0;
            if (docs) docs->get_Count(&n);
            for (LONG i = 0; i < n; ++i) {
                ComPtr<IQxDocument> doc;
                docs->Item(i, doc.put());
                ComPtr<IQxDocumentFile> file;
                if (doc) doc->get_FileInfo(file.put());
                UniqueBstr folder;
                if (file) file->get_Folder(folder.put());
                std::wstring f = folder.c_str();
                std::wstring temp = TempFolder() + L"qxs";
                if (f.size() > temp.size() && _wcsnicmp(f.c_str(), temp.c_str(), temp.size()) == 0)
                    downloads.push_back(f.substr(0, f.size() - 1));
            }
        }
        if (sim) sim->RemoveAddIn(UniqueBstr(L"Veridane.Folium2015").get());
        ConnectedComponent::TearDown();
        RemoveTree(workDir);
        for (auto& d : downloads) RemoveTree(d);
    }

    static void RemoveTree(const std::wstring& dir) {
        if (dir.empty()) return;
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = fd.cFileName;
                if (name == L"." || name == L"..") continue;
                std::wstring full = dir + L"\\" + name;
                if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(full);
                else DeleteFileW(full.c_str());
            } while (FindNextFileW(h, &fd));
            FindClose(h);
        }
        RemoveDirectoryW(dir.c_str());
    }

    std::wstring Work(const std::wstring& name) const { return workDir + L"\\" + name; }

    // Opens a fixture and returns the path of the file behind it.
    std::wstring OpenPath(const std::string& json) {
        ComPtr<IQxDocument> doc = Open(json);
        EXPECT_TRUE(doc);
        return tempFiles.back();
    }

    ComPtr<IQxDocument> Active() {
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        ComPtr<IQxDocument> doc;
        if (docs) docs->get_ActiveDocument(doc.put());
        return doc;
    }

    LONG DocumentCount() {
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        LONG n = -1;
        docs->get_Count(&n);
        return n;
    }

    LONG PageCount() {
        ComPtr<IQxPages> pages;
        Active()->get_Pages(pages.put());
        LONG n = -1;
        pages->get_Count(&n);
        return n;
    }

    std::vector<std::wstring> AnnotationTypes(LONG pageIndex) {
        std::vector<std::wstring> out;
        ComPtr<IQxPages> pages;
        Active()->get_Pages(pages.put());
        ComPtr<IQxPage> page;
        pages->Item(pageIndex, page.put());
        ComPtr<IQxAnnotations> annots;
        page->get_Annotations(annots.put());
        LONG n = 0;
        annots->get_Count(&n);
        for (LONG i = 0; i < n; ++i) {
            ComPtr<IQxAnnotation> a;
            annots->Item(i, a.put());
            UniqueBstr type;
            a->get_Type(type.put());
            out.push_back(type.c_str());
        }
        return out;
    }

    std::vector<std::wstring> AttachmentNames() {
        std::vector<std::wstring> out;
        ComPtr<IQxAttachments> atts;
        Active()->get_Attachments(atts.put());
        LONG n = 0;
        atts->get_Count(&n);
        for (LONG i = 0; i < n; ++i) {
            ComPtr<IQxAttachment> a;
            atts->Item(i, a.put());
            UniqueBstr name;
            a->get_Name(name.put());
            out.push_back(name.c_str());
        }
        return out;
    }

    LONG Modified() {
        LONG m = -1;
        Active()->get_Modified(&m);
        return m;
    }

    void AnswerDialog(const wchar_t* function, const std::wstring& path) {
        ASSERT_EQ(sim->SetAnswer(UniqueBstr(function).get(), *ScopedVariant::Bstr(path.c_str()).get()), S_OK);
    }

    std::vector<std::wstring> Captured() {
        std::vector<std::wstring> out;
        LONG n = 0;
        sim->get_CapturedCount(&n);
        for (LONG i = 0; i < n; ++i) {
            UniqueBstr line;
            sim->CapturedItem(i, line.put());
            out.push_back(line.c_str());
        }
        return out;
    }

    std::vector<std::wstring> CapturedOf(const std::wstring& function) {
        std::vector<std::wstring> out;
        for (auto& l : Captured())
            if (l.rfind(function + L"(", 0) == 0) out.push_back(l);
        return out;
    }

    // Position of the first journal line containing fragment, or -1.
    long JournalIndex(const std::wstring& fragment) {
        auto lines = JournalLines();
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find(fragment) != std::wstring::npos) return static_cast<long>(i);
        return -1;
    }

    size_t JournalCountOf(const std::wstring& fragment) {
        size_t n = 0;
        for (auto& l : JournalLines())
            if (l.find(fragment) != std::wstring::npos) ++n;
        return n;
    }

    std::wstring JournalText() {
        std::wstring all;
        for (auto& l : JournalLines()) all += l + L"\n";
        return all;
    }

    void SetSaveAllowed(LONG v) {
        ASSERT_EQ(app->put_SaveAllowed(v), S_OK);
        sim->ClearJournal();
    }
};

// ---- opening by path, URL and member of choice ----------------------------------------------

class OpenMembers : public FilesTest {};

TEST_F(OpenMembers, WebOpenLocalFileOpensThePathWithThreeEmptyStrings) {
    std::wstring path = WriteFixture(Document(2));
    LONG result = -5;
    EXPECT_EQ(fun->WebOpenLocalFile(UniqueBstr(path.c_str()).get(), &result), S_OK);
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(Journaled(L"Documents.Open(" + Quoted(path) + L", \"\", \"\", \"\")")) << JournalText();
    EXPECT_EQ(DocumentCount(), 1);
}

TEST_F(OpenMembers, WebOpenLocalFileOfAMissingFileReportsZero) {
    LONG result = -5;
    EXPECT_EQ(fun->WebOpenLocalFile(UniqueBstr(Work(L"absent.pdf").c_str()).get(), &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(DocumentCount(), 0);
}

TEST_F(OpenMembers, WebOpenLocalFileExJoinsFolderAndNameWithoutASeparator) {
    std::wstring inFolder = Work(L"doc.json");
    WriteAll(inFolder, Document(1));
    LONG ret = 77;
    // Without the trailing backslash the folder's last name and the file name run together.
    EXPECT_EQ(fun->WebOpenLocalFileEx(UniqueBstr(L"doc.json").get(), UniqueBstr(L"pw").get(),
                                      UniqueBstr(workDir.c_str()).get(), UniqueBstr(L"e1").get(),
                                      UniqueBstr(L"e2").get(), UniqueBstr(L"e3").get(), &ret),
              S_OK);
    EXPECT_TRUE(Journaled(L"Documents.Open(" + Quoted(workDir + L"doc.json") + L", \"pw\", \"pw\", \"\")"))
        << JournalText();
    EXPECT_EQ(DocumentCount(), 0);
    EXPECT_EQ(ret, 77) << "the result is never written";

    EXPECT_EQ(fun->WebOpenLocalFileEx(UniqueBstr(L"doc.json").get(), UniqueBstr(L"").get(),
                                      UniqueBstr((workDir + L"\\").c_str()).get(), nullptr, nullptr, nullptr, &ret),
              S_OK);
    EXPECT_EQ(DocumentCount(), 1);
    EXPECT_EQ(ret, 77);
}

TEST_F(OpenMembers, OpenFileTellsPathsFromHttpAddresses) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    server.Answer("/served.json", 200, Document(3));

    std::wstring path = WriteFixture(Document(1));
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(fun->openFile(UniqueBstr(path.c_str()).get(), VARIANT_TRUE, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_TRUE(Journaled(L"Documents.Open(" + Quoted(path) + L", \"\", \"\", \"\")")) << JournalText();
    EXPECT_FALSE(Journaled(L"Documents.OpenURL"));

    sim->ClearJournal();
    std::wstring url = server.Url("/served.json");
    ok = 0;
    EXPECT_EQ(fun->openFile(UniqueBstr(url.c_str()).get(), VARIANT_FALSE, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_TRUE(Journaled(L"Documents.OpenURL(" + Quoted(url) + L", \"\")")) << JournalText();
    EXPECT_EQ(PageCount(), 3);

    // The address test is case-sensitive: "HTTP:" is taken for a path.
    sim->ClearJournal();
    std::wstring upper = L"HTTP:" + url.substr(5);
    ok = VARIANT_TRUE;
    EXPECT_EQ(fun->openFile(UniqueBstr(upper.c_str()).get(), VARIANT_FALSE, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_TRUE(Journaled(L"Documents.Open(" + Quoted(upper) + L", \"\", \"\", \"\")")) << JournalText();
}

TEST_F(OpenMembers, OpenFileReportsAFailedDownload) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(fun->openFile(UniqueBstr(server.Url("/missing.pdf").c_str()).get(), VARIANT_FALSE, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

TEST_F(OpenMembers, WebOpenUrlFileIsTrueExactlyWhenTheHostOpened) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    server.Answer("/good.json", 200, Document(2));
    server.Answer("/broken.json", 200, "not a document");

    std::wstring url = server.Url("/good.json");
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(fun->WebOpenUrlFile(UniqueBstr(url.c_str()).get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_TRUE(Journaled(L"Documents.OpenURL(" + Quoted(url) + L", missing)")) << JournalText();

    // Downloaded but not openable: the host answers a non-zero code.
    ok = VARIANT_TRUE;
    EXPECT_EQ(fun->WebOpenUrlFile(UniqueBstr(server.Url("/broken.json").c_str()).get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    // A transfer error is negative and also false.
    ok = VARIANT_TRUE;
    EXPECT_EQ(fun->WebOpenUrlFile(UniqueBstr(server.Url("/none.json").c_str()).get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

TEST_F(OpenMembers, ScriptsSeeAutomationBooleans) {
    std::wstring path = WriteFixture(Document(1));
    ScopedVariant result;
    ASSERT_EQ(CallByName(disp.get(), L"openFile", DISPATCH_METHOD,
                         {*ScopedVariant::Bstr(path.c_str()).get(), VBool(false)}, result.get()),
              S_OK);
    EXPECT_EQ(result->vt, VT_BOOL);
    EXPECT_EQ(result->boolVal, VARIANT_TRUE);
}

// ---- the open and save dialogs ---------------------------------------------------------------

class FileDialogs : public FilesTest {};

TEST_F(FileDialogs, WebOpenLocalOpensTheChosenFileWithMissingArguments) {
    std::wstring path = WriteFixture(Document(2));
    AnswerDialog(L"GetOpenFileNameW", path);
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(fun->WebOpenLocal(&ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    auto dialogs = CapturedOf(L"GetOpenFileNameW");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], L"GetOpenFileNameW(" + Quoted(kDialogFilter) + L", \"\", \"\", \"\", " +
                              std::to_wstring(kDialogFlags) + L", \"打开文档\", 1)");
    EXPECT_TRUE(Journaled(L"Documents.Open(" + Quoted(path) + L", missing, missing, missing)")) << JournalText();
    EXPECT_EQ(DocumentCount(), 1);
}

TEST_F(FileDialogs, WebOpenLocalOfAFileTheHostCannotOpenIsFalse) {
    std::wstring path = Work(L"junk.pdf");
    WriteAll(path, "%PDF-1.7 not a fixture");
    AnswerDialog(L"GetOpenFileNameW", path);
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(fun->WebOpenLocal(&ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
}

TEST_F(FileDialogs, CancelledOpenDialogLeavesTheResultAndOpensNothing) {
    VARIANT_BOOL ok = 123;
    EXPECT_EQ(fun->WebOpenLocal(&ok), S_OK);
    EXPECT_EQ(ok, 123);
    EXPECT_EQ(CapturedOf(L"GetOpenFileNameW").size(), 1u);
    EXPECT_FALSE(Journaled(L"Documents.Open"));

    BSTR path = nullptr;
    EXPECT_EQ(fun->WebOpenLocalDialog(&path), S_OK);
    EXPECT_EQ(path, nullptr);
}

TEST_F(FileDialogs, WebOpenLocalDialogStartsOnTheDesktopAndOnlyReturnsThePath) {
    std::wstring chosen = Work(L"picked.pdf");
    AnswerDialog(L"GetOpenFileNameW", chosen);
    UniqueBstr path;
    EXPECT_EQ(fun->WebOpenLocalDialog(path.put()), S_OK);
    EXPECT_STREQ(path.c_str(), chosen.c_str());
    auto dialogs = CapturedOf(L"GetOpenFileNameW");
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], L"GetOpenFileNameW(" + Quoted(kDialogFilter) + L", " + Quoted(DesktopFolder()) +
                              L", \"\", \"\", " + std::to_wstring(kDialogFlags) + L", \"打开文档\", 1)");
    EXPECT_FALSE(Journaled(L"Documents.Open"));
}

TEST_F(FileDialogs, WebSaveLocalAppendsPdfToATypedNameAndSavesThere) {
    Open(Document(1));
    ASSERT_EQ(fun->put_FileName(UniqueBstr(L"合同草稿").get()), S_OK);
    sim->ClearJournal();
    AnswerDialog(L"GetSaveFileNameW", Work(L"contract"));
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(fun->WebSaveLocal(&ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    auto dialogs = CapturedOf(L"GetSaveFileNameW");
    ASSERT_EQ(dialogs.size(), 1u);
    // The dialog starts from the FileName property, with no folder and no default extension.
    EXPECT_EQ(dialogs[0], L"GetSaveFileNameW(" + Quoted(kDialogFilter) + L", \"\", \"合同草稿\", \"\", " +
                              std::to_wstring(kDialogFlags) + L", \"保存文档\", 1)");
    std::wstring saved = Work(L"contract.pdf");
    long saveAt = JournalIndex(L"Document.SaveAs(" + Quoted(saved) + L")");
    long finishedAt = JournalIndex(L"Application.SaveFinished()");
    EXPECT_GE(saveAt, 0) << JournalText();
    EXPECT_GT(finishedAt, saveAt);
    EXPECT_TRUE(Exists(saved));
}

TEST_F(FileDialogs, WebSaveLocalKeepsANameEndingInPdfWhateverItsCase) {
    Open(Document(1));
    AnswerDialog(L"GetSaveFileNameW", Work(L"REPORT.PDF"));
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(fun->WebSaveLocal(&ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_TRUE(Journaled(L"Document.SaveAs(" + Quoted(Work(L"REPORT.PDF")) + L")")) << JournalText();

    // Only the last three characters count: no dot is needed.
    sim->ClearJournal();
    AnswerDialog(L"GetSaveFileNameW", Work(L"notes-pdf"));
    EXPECT_EQ(fun->WebSaveLocal(&ok), S_OK);
    EXPECT_TRUE(Journaled(L"Document.SaveAs(" + Quoted(Work(L"notes-pdf")) + L")")) << JournalText();

    sim->ClearJournal();
    AnswerDialog(L"GetSaveFileNameW", Work(L"a.pd"));
    EXPECT_EQ(fun->WebSaveLocal(&ok), S_OK);
    EXPECT_TRUE(Journaled(L"Document.SaveAs(" + Quoted(Work(L"a.pd.pdf")) + L")")) << JournalText();
}

TEST_F(FileDialogs, WebSaveLocalReportsAFailedSaveAndStillTellsThePage) {
    Open(Document(1));
    AnswerDialog(L"GetSaveFileNameW", Work(L"no-such-folder\\x.pdf"));
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(fun->WebSaveLocal(&ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_TRUE(Journaled(L"Application.SaveFinished()"));
}

TEST_F(FileDialogs, CancelledSaveDialogSavesNothing) {
    Open(Document(1));
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(fun->WebSaveLocal(&ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(CapturedOf(L"GetSaveFileNameW").size(), 1u);
    EXPECT_FALSE(Journaled(L"Document.SaveAs"));
    EXPECT_FALSE(Journaled(L"Application.SaveFinished"));

    BSTR path = nullptr;
    EXPECT_EQ(fun->WebSaveLocalDialog(&path), S_OK);
    EXPECT_EQ(path, nullptr);
}

TEST_F(FileDialogs, WebSaveLocalNeedsTheSaveRightAndADocumentBeforeAskingTheUser) {
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(fun->WebSaveLocal(&ok), S_FALSE);
    EXPECT_EQ(ok, VARIANT_FALSE);

    Open(Document(1));
    SetSaveAllowed(0);
    ok = VARIANT_TRUE;
    EXPECT_EQ(fun->WebSaveLocal(&ok), S_FALSE);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_TRUE(Journaled(L"Application.SaveAllowed"));
    EXPECT_TRUE(CapturedOf(L"GetSaveFileNameW").empty());
    EXPECT_FALSE(Journaled(L"Document.SaveAs"));
}

TEST_F(FileDialogs, WebSaveLocalDialogReturnsTheCompletedPathWithoutSaving) {
    // No document is needed.
    AnswerDialog(L"GetSaveFileNameW", Work(L"draft"));
    UniqueBstr path;
    EXPECT_EQ(fun->WebSaveLocalDialog(path.put()), S_OK);
    EXPECT_STREQ(path.c_str(), Work(L"draft.pdf").c_str());
    EXPECT_FALSE(Journaled(L"Document.SaveAs"));
    EXPECT_FALSE(Exists(Work(L"draft.pdf")));

    SetSaveAllowed(0);
    BSTR refused = nullptr;
    EXPECT_EQ(fun->WebSaveLocalDialog(&refused), S_FALSE);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(CapturedOf(L"GetSaveFileNameW").size(), 1u);
}

// ---- closing ---------------------------------------------------------------------------------

class CloseMembers : public FilesTest {};

TEST_F(CloseMembers, WebCloseClosesTheFirstDocumentWhenThereIsOne) {
    LONG result = -5;
    EXPECT_EQ(fun->WebClose(&result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(Journaled(L"Documents.Close"));

    Open(Document(1));
    Open(Document(2));
    EXPECT_EQ(fun->WebClose(&result), S_OK);
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(Journaled(L"Documents.Close(0)")) << JournalText();
    EXPECT_EQ(DocumentCount(), 1);
    EXPECT_EQ(PageCount(), 2);
}

TEST_F(CloseMembers, CloseFileClosesTheActiveDocument) {
    Open(Document(1));
    Open(Document(2));
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(fun->closeFile(&ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_TRUE(Journaled(L"Documents.Close(missing)")) << JournalText();
    EXPECT_EQ(DocumentCount(), 1);
    EXPECT_EQ(PageCount(), 1);
}

// ---- saving ----------------------------------------------------------------------------------

class SaveMembers : public FilesTest {};

TEST_F(SaveMembers, WebSaveLocalFileWritesTheDocumentThenTellsThePage) {
    Open(Document(3));
    std::wstring target = Work(L"copy.pdf");
    LONG result = -5;
    EXPECT_EQ(fun->WebSaveLocalFile(UniqueBstr(target.c_str()).get(), &result), S_OK);
    EXPECT_EQ(result, 1);
    long gate = JournalIndex(L"Application.SaveAllowed");
    long save = JournalIndex(L"Document.SaveAs(" + Quoted(target) + L")");
    long finished = JournalIndex(L"Application.SaveFinished()");
    EXPECT_GE(gate, 0);
    EXPECT_GT(save, gate) << JournalText();
    EXPECT_GT(finished, save);
    std::string bytes;
    ASSERT_TRUE(ReadAll(target, &bytes));
    EXPECT_NE(bytes.find("page 3"), std::string::npos);
}

TEST_F(SaveMembers, WebSaveLocalFileTellsThePageEvenWhenNothingWasSaved) {
    LONG result = -5;
    EXPECT_EQ(fun->WebSaveLocalFile(UniqueBstr(Work(L"x.pdf").c_str()).get(), &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(Journaled(L"Application.SaveFinished()"));

    Open(Document(1));
    result = -5;
    EXPECT_EQ(fun->WebSaveLocalFile(UniqueBstr(Work(L"missing\\x.pdf").c_str()).get(), &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(Journaled(L"Application.SaveFinished()"));
}

TEST_F(SaveMembers, WebSaveLocalFileStopsAtTheSaveGate) {
    Open(Document(1));
    SetSaveAllowed(0);
    LONG result = -5;
    EXPECT_EQ(fun->WebSaveLocalFile(UniqueBstr(Work(L"x.pdf").c_str()).get(), &result), S_FALSE);
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(Journaled(L"Document.SaveAs"));
    EXPECT_FALSE(Journaled(L"Application.SaveFinished"));
    EXPECT_FALSE(Exists(Work(L"x.pdf")));
}

TEST_F(SaveMembers, SaveFileWritesToTheGivenPathOrBackToItsOwnFile) {
    std::wstring own = OpenPath(Document(2));
    VARIANT_BOOL ok = 0;
    // No save gate here.
    SetSaveAllowed(0);
    EXPECT_EQ(fun->saveFile(UniqueBstr(L"").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_TRUE(Journaled(L"Document.SaveAs(" + Quoted(own) + L")")) << JournalText();
    EXPECT_FALSE(Journaled(L"Application.SaveAllowed"));

    std::wstring other = Work(L"elsewhere.pdf");
    ok = 0;
    EXPECT_EQ(fun->saveFile(UniqueBstr(other.c_str()).get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_TRUE(Exists(other));
}

TEST_F(SaveMembers, SaveFileLeavesTheResultOnAFailedSave) {
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(fun->saveFile(UniqueBstr(L"").get(), &ok), S_FALSE);
    EXPECT_EQ(ok, VARIANT_FALSE);

    Open(Document(1));
    ok = 55;
    EXPECT_EQ(fun->saveFile(UniqueBstr(Work(L"nowhere\\x.pdf").c_str()).get(), &ok), S_OK);
    EXPECT_EQ(ok, 55);
}

TEST_F(SaveMembers, SaveLocalFileNoSignatureDropsSealsOfAnyCaseFromCopyAndDocument) {
    // Two seals side by side: removing while walking forward would skip the second.
    std::string pages = "[{\"annotations\":[" + Seal() + "," + Seal("brimwell:addseal") +
                        ",{\"kind\":0,\"contents\":\"note\"}]},{\"annotations\":[{\"kind\":2}]},{\"annotations\":[" +
                        Seal("BRIMWELL:ADDSEAL") + "]}]";
    Open("{\"pages\":" + pages + "}");
    std::wstring target = Work(L"unsealed.pdf");
    LONG ret = -5;
    EXPECT_EQ(fun->SaveLocalFileNoSignature(UniqueBstr(target.c_str()).get(), &ret), S_OK);
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(JournalCountOf(L"Annotation.Delete()"), 3u);
    long copy = JournalIndex(L"Document.SaveCopyAs(" + Quoted(target) + L", 0)");
    long unmodified = JournalIndex(L"Document.SetModified(0)");
    EXPECT_GE(copy, 0) << JournalText();
    EXPECT_GT(unmodified, copy);

    std::string saved;
    ASSERT_TRUE(ReadAll(target, &saved));
    std::string lower = saved;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    EXPECT_EQ(lower.find("brimwell:addseal"), std::string::npos);
    EXPECT_NE(saved.find("\"note\""), std::string::npos);
    // The seals are gone from the open document too, which reads as unmodified.
    EXPECT_EQ(AnnotationTypes(0), std::vector<std::wstring>{L"Text"});
    EXPECT_EQ(AnnotationTypes(1), std::vector<std::wstring>{L"FreeText"});
    EXPECT_TRUE(AnnotationTypes(2).empty());
    EXPECT_EQ(Modified(), 0);
}

TEST_F(SaveMembers, SaveLocalFileNoSignatureReportsTheHostResult) {
    Open(Document(1));
    LONG ret = 0;
    EXPECT_EQ(fun->SaveLocalFileNoSignature(UniqueBstr(Work(L"nowhere\\x.pdf").c_str()).get(), &ret), S_OK);
    EXPECT_EQ(ret, -1);
}

TEST_F(SaveMembers, SaveLocalFileNoSignatureRefusedKeepsTheSeals) {
    LONG ret = -5;
    EXPECT_EQ(fun->SaveLocalFileNoSignature(UniqueBstr(Work(L"x.pdf").c_str()).get(), &ret), S_FALSE);
    EXPECT_EQ(ret, 1);

    Open("{\"pages\":[{\"annotations\":[" + Seal() + "]}]}");
    SetSaveAllowed(0);
    ret = -5;
    EXPECT_EQ(fun->SaveLocalFileNoSignature(UniqueBstr(Work(L"x.pdf").c_str()).get(), &ret), S_FALSE);
    EXPECT_EQ(ret, 1);
    EXPECT_EQ(AnnotationTypes(0), std::vector<std::wstring>{L"Brimwell:AddSeal"});
    EXPECT_FALSE(Exists(Work(L"x.pdf")));
}

// ---- base64 ----------------------------------------------------------------------------------

class Base64Members : public FilesTest {};

TEST_F(Base64Members, GetFileBase64EncodesTheDocumentFile) {
    std::wstring path = OpenPath(Document(4, ",\"selectedBookmark\":\"签章\""));
    std::string bytes;
    ASSERT_TRUE(ReadAll(path, &bytes));
    UniqueBstr text;
    EXPECT_EQ(fun->GetFileBase64(UniqueBstr(L"").get(), text.put()), S_OK);
    EXPECT_EQ(std::wstring(text.c_str()), SystemBase64(bytes));
    EXPECT_TRUE(Captured().empty()) << "no message on success";
}

TEST_F(Base64Members, GetFileBase64PadsFilesOfEveryLength) {
    std::wstring path = OpenPath(Document(1));
    std::string bytes;
    ASSERT_TRUE(ReadAll(path, &bytes));
    // The reader keeps no hold on the file: give it lengths of each remainder.
    for (int extra = 0; extra < 3; ++extra) {
        std::string padded = bytes + std::string(extra + 3, ' ');
        WriteAll(path, padded);
        UniqueBstr text;
        EXPECT_EQ(fun->GetFileBase64(nullptr, text.put()), S_OK);
        EXPECT_EQ(std::wstring(text.c_str()), SystemBase64(padded)) << padded.size() << " bytes";
    }
    WriteAll(path, "");
    UniqueBstr empty(L"x");
    EXPECT_EQ(fun->GetFileBase64(nullptr, empty.put()), S_OK);
    EXPECT_STREQ(empty.c_str(), L"");
}

TEST_F(Base64Members, GetFileBase64UsesThePrivateTable) {
    std::wstring path = OpenPath(Document(2));
    std::string bytes;
    ASSERT_TRUE(ReadAll(path, &bytes));
    std::wstring table(kStandardDigits.rbegin(), kStandardDigits.rend());
    table += L"*";
    UniqueBstr text;
    EXPECT_EQ(fun->GetFileBase64(UniqueBstr(table.c_str()).get(), text.put()), S_OK);
    std::wstring expected = SystemBase64(bytes);
    for (auto& c : expected) c = c == L'=' ? L'*' : table[kStandardDigits.find(static_cast<char>(c))];
    EXPECT_EQ(std::wstring(text.c_str()), expected);
}

TEST_F(Base64Members, GetFileBase64RefusesATableTooShortToEncode) {
    Open(Document(1));
    UniqueBstr text(L"x");
    EXPECT_EQ(fun->GetFileBase64(UniqueBstr(L"ABCDEFGHIJ").get(), text.put()), S_FALSE);
    EXPECT_STREQ(text.c_str(), L"");
}

TEST_F(Base64Members, GetFileBase64AsksToSaveUnsavedChangesFirst) {
    Open(Document(1));
    ASSERT_EQ(Active()->SetModified(1), S_OK);
    UniqueBstr text;
    EXPECT_EQ(fun->GetFileBase64(UniqueBstr(L"").get(), text.put()), S_FALSE);
    EXPECT_STREQ(text.c_str(), L"");
    auto boxes = CapturedOf(L"MessageBoxW");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], L"MessageBoxW(null, \"请先保存文档！\", null, 64)");
}

TEST_F(Base64Members, GetFileBase64StaysSilentWhenAlterUserIsZero) {
    ASSERT_EQ(fun->put_AlterUser(0), S_OK);
    Open(Document(1));
    ASSERT_EQ(Active()->SetModified(1), S_OK);
    UniqueBstr text;
    EXPECT_EQ(fun->GetFileBase64(UniqueBstr(L"").get(), text.put()), S_FALSE);
    EXPECT_STREQ(text.c_str(), L"");
    EXPECT_TRUE(CapturedOf(L"MessageBoxW").empty());
}

TEST_F(Base64Members, GetFileBase64RefusesOfdDocumentsSilently) {
    Open("{\"type\":\"OFD\",\"pages\":" + PagesJson(1) + "}");
    UniqueBstr text;
    EXPECT_EQ(fun->GetFileBase64(UniqueBstr(L"").get(), text.put()), S_FALSE);
    EXPECT_STREQ(text.c_str(), L"");
    EXPECT_TRUE(Journaled(L"Document.DocumentType"));
    EXPECT_TRUE(Captured().empty());
}

TEST_F(Base64Members, GetFileBase64OfAnUnreadableFileIsEmptyButSucceeds) {
    std::wstring path = OpenPath(Document(1));
    ASSERT_TRUE(DeleteFileW(path.c_str()));
    UniqueBstr text(L"x");
    EXPECT_EQ(fun->GetFileBase64(UniqueBstr(L"").get(), text.put()), S_OK);
    EXPECT_STREQ(text.c_str(), L"");
    EXPECT_TRUE(Captured().empty());
}

TEST_F(Base64Members, GetFileBase64WithoutADocumentIsEmpty) {
    UniqueBstr text(L"x");
    EXPECT_EQ(fun->GetFileBase64(UniqueBstr(L"").get(), text.put()), S_FALSE);
    EXPECT_STREQ(text.c_str(), L"");
}

TEST_F(Base64Members, SaveFileToBase64AsksTheSignatureEngineWithTheStandardTable) {
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    engine->SetResult(UniqueBstr(L"GetFileBase64").get(), *ScopedVariant::Bstr(L"JVBERi0=").get());
    Open(Document(1));
    ASSERT_EQ(Active()->SetModified(1), S_OK);
    sim->ClearJournal();

    UniqueBstr text;
    EXPECT_EQ(fun->SaveFileToBase64(1, text.put()), S_OK);
    EXPECT_STREQ(text.c_str(), L"JVBERi0=");
    LONG calls = 0;
    engine->get_CallCount(&calls);
    ASSERT_EQ(calls, 1);
    ScopedVariant table;
    ASSERT_EQ(engine->CallArgument(0, 0, table.Receive()), S_OK);
    ASSERT_EQ(table->vt, VT_BSTR);
    EXPECT_STREQ(table->bstrVal, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=");
    EXPECT_TRUE(Journaled(L"Document.SetModified(0)"));
    EXPECT_EQ(Modified(), 0);
}

TEST_F(Base64Members, SaveFileToBase64OfOtherKindsOnlyMarksTheDocumentSaved) {
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    engine->SetResult(UniqueBstr(L"GetFileBase64").get(), *ScopedVariant::Bstr(L"JVBERi0=").get());
    Open(Document(1));
    UniqueBstr text(L"x");
    EXPECT_EQ(fun->SaveFileToBase64(0, text.put()), S_OK);
    EXPECT_STREQ(text.c_str(), L"");
    LONG calls = -1;
    engine->get_CallCount(&calls);
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(Journaled(L"Document.SetModified(0)"));
}

TEST_F(Base64Members, SaveFileToBase64IgnoresANonTextAnswerAndAMissingEngine) {
    Open(Document(1));
    UniqueBstr text(L"x");
    EXPECT_EQ(fun->SaveFileToBase64(1, text.put()), S_OK);
    EXPECT_STREQ(text.c_str(), L"");
    EXPECT_TRUE(Journaled(L"Document.SetModified(0)"));

    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    engine->SetResult(UniqueBstr(L"GetFileBase64").get(), *ScopedVariant::I4(12).get());
    UniqueBstr again(L"x");
    EXPECT_EQ(fun->SaveFileToBase64(1, again.put()), S_OK);
    EXPECT_STREQ(again.c_str(), L"");
}

TEST_F(Base64Members, SaveFileToBase64StopsAtTheGate) {
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    UniqueBstr none(L"x");
    EXPECT_EQ(fun->SaveFileToBase64(1, none.put()), S_FALSE);
    EXPECT_STREQ(none.c_str(), L"");

    Open(Document(1));
    ASSERT_EQ(Active()->SetModified(1), S_OK);
    SetSaveAllowed(0);
    UniqueBstr text(L"x");
    EXPECT_EQ(fun->SaveFileToBase64(1, text.put()), S_FALSE);
    EXPECT_STREQ(text.c_str(), L"");
    EXPECT_FALSE(Journaled(L"Document.SetModified"));
    EXPECT_EQ(Modified(), 1);
    LONG calls = -1;
    engine->get_CallCount(&calls);
    EXPECT_EQ(calls, 0);
}

// ---- file facts ------------------------------------------------------------------------------

class FileFacts : public FilesTest {};

TEST_F(FileFacts, NamesAndPathsOfTheActiveDocument) {
    std::wstring path = OpenPath(Document(1));
    std::wstring name = path.substr(path.find_last_of(L'\\') + 1);

    UniqueBstr local, fileName, webPath;
    EXPECT_EQ(fun->get_LocalFileName(local.put()), S_OK);
    EXPECT_STREQ(local.c_str(), path.c_str());
    EXPECT_EQ(fun->GetFileName(5, fileName.put()), S_OK);  // the index is not used
    EXPECT_STREQ(fileName.c_str(), name.c_str());
    // The host's folder already ends in a backslash: no second one.
    EXPECT_EQ(fun->WebGetFilePath(webPath.put()), S_OK);
    EXPECT_STREQ(webPath.c_str(), path.c_str());
}

TEST_F(FileFacts, NamesAreEmptyWithoutADocument) {
    UniqueBstr local(L"x"), fileName(L"x"), webPath(L"x");
    EXPECT_EQ(fun->get_LocalFileName(local.put()), S_FALSE);
    EXPECT_STREQ(local.c_str(), L"");
    EXPECT_EQ(fun->GetFileName(0, fileName.put()), S_FALSE);
    EXPECT_STREQ(fileName.c_str(), L"");
    EXPECT_EQ(fun->WebGetFilePath(webPath.put()), S_FALSE);
    EXPECT_STREQ(webPath.c_str(), L"");
}

TEST_F(FileFacts, FileSizeCountsWholeKilobytes) {
    std::string base = Document(1);
    for (auto [bytes, kb] : {std::pair<size_t, LONG>{1023, 0}, {1024, 1}, {1500, 1}, {2048, 2}, {5000, 4}}) {
        std::wstring path = WriteFixture(base + std::string(bytes - base.size(), ' '));
        LONG opened = 0;
        ASSERT_EQ(fun->WebOpenLocalFile(UniqueBstr(path.c_str()).get(), &opened), S_OK);
        ASSERT_EQ(opened, 1);
        LONG size = -1;
        EXPECT_EQ(fun->FileSize(&size), S_OK);
        EXPECT_EQ(size, kb) << bytes << " bytes";
    }
}

TEST_F(FileFacts, FileSizeWithoutADocumentIsZero) {
    LONG size = -1;
    EXPECT_EQ(fun->FileSize(&size), S_FALSE);
    EXPECT_EQ(size, 0);
}

TEST_F(FileFacts, ThereIsNoLogFile) {
    UniqueBstr path(L"x");
    EXPECT_EQ(fun->getLogFilePath(path.put()), S_OK);
    EXPECT_STREQ(path.c_str(), L"");
}

// ---- transfers -------------------------------------------------------------------------------

class Transfers : public FilesTest {};

TEST_F(Transfers, WebDownLoadFileSavesTheReply) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    std::string body(100000, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 + 3);
    server.Answer("/files/a.bin", 200, body);
    std::wstring url = server.Url("/files/a.bin"), target = Work(L"a.bin");

    VARIANT_BOOL ok = 0;
    EXPECT_EQ(fun->WebDownLoadFile(UniqueBstr(url.c_str()).get(), UniqueBstr(target.c_str()).get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    std::string saved;
    ASSERT_TRUE(ReadAll(target, &saved));
    EXPECT_TRUE(saved == body);
    std::vector<std::wstring> expected = {L"Application.CreateNetFile()", L"NetFile.Reset()",
                                          L"NetFile.Open(0, " + Quoted(url) + L", 0, missing, missing)",
                                          L"NetFile.Transfer()", L"NetFile.SaveToFile(0, " + Quoted(target) + L")",
                                          L"NetFile.Close()"};
    EXPECT_EQ(JournalLines(), expected);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].method, "GET");
}

TEST_F(Transfers, WebDownLoadFileOfAnErrorReplyIsFalse) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(fun->WebDownLoadFile(UniqueBstr(server.Url("/nothing").c_str()).get(),
                                   UniqueBstr(Work(L"n.bin").c_str()).get(), &ok),
              S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_TRUE(Journaled(L"NetFile.Close()"));
}

TEST_F(Transfers, WebDownLoadFileStopsAfterAnAddressTheTransferCannotUse) {
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(fun->WebDownLoadFile(UniqueBstr(L"ftp://127.0.0.1/x").get(), UniqueBstr(Work(L"f.bin").c_str()).get(),
                                   &ok),
              S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_FALSE(Journaled(L"NetFile.Transfer"));
    EXPECT_FALSE(Journaled(L"NetFile.SaveToFile"));
    EXPECT_TRUE(Journaled(L"NetFile.Close()"));
}

TEST_F(Transfers, WebUpLoadFilePostsTheDocumentAsAForm) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    server.Answer("/upload", 200, "OK");
    Open(Document(2, ",\"selectedBookmark\":\"upload-marker\""));
    std::wstring url = server.Url("/upload");

    VARIANT_BOOL ok = 0;
    EXPECT_EQ(fun->WebUpLoadFile(UniqueBstr(url.c_str()).get(), UniqueBstr(L"id=42&kind=contract").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);

    // The document went through a fresh file in the temporary folder, which is gone
    // once the transfer is over.
    std::wstring journal = JournalText();
    size_t at = journal.find(L"Document.SaveAs(\"");
    ASSERT_NE(at, std::wstring::npos) << journal;
    size_t end = journal.find(L"\")\n", at);
    std::wstring quoted = journal.substr(at + 17, end - at - 17), temp;
    for (size_t i = 0; i < quoted.size(); ++i) temp += quoted[i] == L'\\' ? quoted[++i] : quoted[i];
    tempFiles.push_back(temp);
    EXPECT_FALSE(Exists(temp)) << "the copy of the document stayed behind";
    EXPECT_EQ(_wcsnicmp(temp.c_str(), TempFolder().c_str(), TempFolder().size()), 0) << temp;
    EXPECT_EQ(temp.find(L'\\', TempFolder().size()), std::wstring::npos) << "directly in the folder";

    long field = JournalIndex(L"NetFile.AddFormField(\"FormData\", \"id=42&kind=contract\")");
    long file = JournalIndex(L"NetFile.AddFormFile(\"FileData\", " + Quoted(temp) + L")");
    long post = JournalIndex(L"NetFile.SetPost(-1)");
    long open = JournalIndex(L"NetFile.Open(0, " + Quoted(url) + L", 0, missing, missing)");
    long transfer = JournalIndex(L"NetFile.Transfer()");
    long close = JournalIndex(L"NetFile.Close()");
    EXPECT_GE(field, 0) << journal;
    EXPECT_GT(file, field);
    EXPECT_GT(post, file);
    EXPECT_GT(open, post);
    EXPECT_GT(transfer, open);
    EXPECT_GT(close, transfer);

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    const std::string& body = requests[0].body;
    EXPECT_NE(body.find("name=\"FormData\"\r\n\r\nid=42&kind=contract\r\n"), std::string::npos);
    EXPECT_NE(body.find("name=\"FileData\"; filename=\"" + ToUtf8(temp.substr(temp.find_last_of(L'\\') + 1)) + "\""),
              std::string::npos);
    EXPECT_NE(body.find("upload-marker"), std::string::npos) << "the document's content is posted";
}

TEST_F(Transfers, WebUpLoadFileWithoutFormDataSendsOnlyTheFile) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    server.Answer("/upload", 201, "");
    Open(Document(1));
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(fun->WebUpLoadFile(UniqueBstr(server.Url("/upload").c_str()).get(), UniqueBstr(L"").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_FALSE(Journaled(L"NetFile.AddFormField"));
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body.find("FormData"), std::string::npos);
    std::wstring journal = JournalText();
    size_t at = journal.find(L"Document.SaveAs(\"");
    if (at != std::wstring::npos) {
        std::wstring quoted = journal.substr(at + 17, journal.find(L"\")\n", at) - at - 17), temp;
        for (size_t i = 0; i < quoted.size(); ++i) temp += quoted[i] == L'\\' ? quoted[++i] : quoted[i];
        tempFiles.push_back(temp);
    }
}

TEST_F(Transfers, WebUpLoadFileOfARefusedPostIsFalse) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    server.Answer("/upload", 500, "no");
    Open(Document(1));
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(fun->WebUpLoadFile(UniqueBstr(server.Url("/upload").c_str()).get(), UniqueBstr(L"x").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    std::wstring journal = JournalText();
    size_t at = journal.find(L"Document.SaveAs(\"");
    if (at != std::wstring::npos) {
        std::wstring quoted = journal.substr(at + 17, journal.find(L"\")\n", at) - at - 17), temp;
        for (size_t i = 0; i < quoted.size(); ++i) temp += quoted[i] == L'\\' ? quoted[++i] : quoted[i];
        tempFiles.push_back(temp);
    }
}

TEST_F(Transfers, WebUpLoadFileNeedsADocument) {
    VARIANT_BOOL ok = 9;
    EXPECT_EQ(fun->WebUpLoadFile(UniqueBstr(L"http://127.0.0.1:9/").get(), UniqueBstr(L"").get(), &ok), S_FALSE);
    EXPECT_EQ(ok, 9);
    EXPECT_FALSE(Journaled(L"Application.CreateNetFile"));
}

// ---- cookie text -----------------------------------------------------------------------------

class CookieText : public FilesTest {};

TEST_F(CookieText, MembersAreWrittenInNameOrderEachClosedBySemicolon) {
    DebugOutput output;
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(fun->INetSetCookieEx(UniqueBstr(L"http://ignored/").get(), UniqueBstr(L"{\"b\":\"2\",\"a\":\"1\"}").get(),
                                   &ok),
              S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    std::vector<std::wstring> expected = {L"VD_Folium2018_Normal_{\"b\":\"2\",\"a\":\"1\"}",
                                          L"VD_Folium2018_Normal_a=1;b=2;"};
    EXPECT_EQ(DebugOutput::Traces(), expected);
}

TEST_F(CookieText, TextThatIsNotJsonStoresNothingButSucceeds) {
    DebugOutput output;
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(fun->INetSetCookieEx(UniqueBstr(L"").get(), UniqueBstr(L"sid=abc").get(), &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    std::vector<std::wstring> expected = {L"VD_Folium2018_Normal_sid=abc", L"VD_Folium2018_Normal_"};
    EXPECT_EQ(DebugOutput::Traces(), expected);

    ok = 0;
    EXPECT_EQ(fun->INetSetCookieEx(nullptr, nullptr, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(DebugOutput::Traces().size(), 3u) << "an empty cookie is traced once";
}

// ---- pages -----------------------------------------------------------------------------------

class PageMembers : public FilesTest {
protected:
    std::wstring source;
    void SetUp() override {
        FilesTest::SetUp();
        if (HasFatalFailure()) return;
        source = WriteFixture(Document(5));
    }
    LONG Import(LONG start, LONG trail, LONG place, HRESULT expected = S_OK) {
        LONG ret = -5;
        EXPECT_EQ(fun->ImportPages(UniqueBstr(source.c_str()).get(), start, trail, place, &ret), expected);
        return ret;
    }
    std::wstring Inserted(const std::wstring& place, const std::wstring& range) {
        return L"Pages.Insert(" + Quoted(source) + L", " + place + L", \"" + range + L"\")";
    }
};

TEST_F(PageMembers, ImportPagesInsertsTheRangeAfterThePlace) {
    Open(Document(3));
    EXPECT_EQ(Import(2, 3, 1), 1);
    EXPECT_TRUE(Journaled(Inserted(L"1", L"2-3"))) << JournalText();
    EXPECT_TRUE(Journaled(L"Document.Permission(6)"));
    EXPECT_EQ(PageCount(), 5);
}

TEST_F(PageMembers, ImportPagesCompletesAndOrdersTheRange) {
    Open(Document(3));
    Import(0, 2, 0);  // a start below 1 reads as 0
    EXPECT_TRUE(Journaled(Inserted(L"0", L"0-2"))) << JournalText();
    sim->ClearJournal();
    Import(2, 0, 3);  // a missing end is the open document's last page
    EXPECT_TRUE(Journaled(Inserted(L"3", L"2-5"))) << JournalText();
    sim->ClearJournal();
    Import(3, 1, -2);  // swapped; a place before the start appends
    EXPECT_TRUE(Journaled(Inserted(L"-1", L"1-3"))) << JournalText();
}

TEST_F(PageMembers, ImportPagesReadsTheRangeAgainstTheOpenDocument) {
    Open(Document(2));
    // Beyond the open document's count the end is cut to it, whatever the source holds.
    Import(1, 4, 9);
    EXPECT_TRUE(Journaled(Inserted(L"-1", L"1-2"))) << JournalText();
    sim->ClearJournal();
    Open(Document(2));
    EXPECT_EQ(Import(3, 5, 0, S_FALSE), 1);
    EXPECT_FALSE(Journaled(L"Pages.Insert"));
}

TEST_F(PageMembers, ImportPagesReportsNothingInserted) {
    Open(Document(2));
    source = Work(L"absent.json");
    EXPECT_EQ(Import(1, 1, 0), 0);
    EXPECT_EQ(PageCount(), 2);
}

TEST_F(PageMembers, ImportPagesNeedsPageAssemblyRights) {
    EXPECT_EQ(Import(1, 1, 0, S_FALSE), 1);
    Open(Document(2, ",\"permissions\":{\"6\":false}"));
    EXPECT_EQ(Import(1, 1, 0, S_FALSE), 1);
    EXPECT_FALSE(Journaled(L"Pages.Insert"));
}

TEST_F(PageMembers, DeletePagesRemovesARangeOfAtLeastTwoPages) {
    Open(Document(5));
    LONG ret = -5;
    EXPECT_EQ(fun->DeletePages(2, 4, &ret), S_OK);
    EXPECT_EQ(ret, 3);
    EXPECT_TRUE(Journaled(L"Pages.Delete(\"2-4\")")) << JournalText();
    EXPECT_EQ(PageCount(), 2);
}

TEST_F(PageMembers, DeletePagesRefusesSinglePagesAndRangesPastTheEnd) {
    Open(Document(3));
    for (auto [start, trail] : {std::pair<LONG, LONG>{2, 2}, {3, 2}, {2, 4}, {4, 5}}) {
        LONG ret = -5;
        EXPECT_EQ(fun->DeletePages(start, trail, &ret), S_FALSE) << start << "-" << trail;
        EXPECT_EQ(ret, 0);
    }
    EXPECT_FALSE(Journaled(L"Pages.Delete"));
    EXPECT_EQ(PageCount(), 3);
}

TEST_F(PageMembers, DeletePagesKeepsPagesWithASealInTheRange) {
    std::string pages = "[{},{},{\"annotations\":[{\"kind\":0}," + Seal() + "]},{}]";
    Open("{\"pages\":" + pages + "}");
    LONG ret = -5;
    EXPECT_EQ(fun->DeletePages(2, 3, &ret), S_OK);
    EXPECT_EQ(ret, 0);
    EXPECT_FALSE(Journaled(L"Pages.Delete"));
    EXPECT_EQ(PageCount(), 4);

    // A seal outside the range does not matter.
    EXPECT_EQ(fun->DeletePages(1, 2, &ret), S_OK);
    EXPECT_EQ(ret, 2);
    EXPECT_EQ(PageCount(), 2);
}

TEST_F(PageMembers, DeletePagesComparesTheSealTypeExactly) {
    Open("{\"pages\":[{\"annotations\":[" + Seal("brimwell:addseal") + "]},{},{}]}");
    LONG ret = -5;
    EXPECT_EQ(fun->DeletePages(1, 2, &ret), S_OK);
    EXPECT_EQ(ret, 2);
    EXPECT_EQ(PageCount(), 1);
}

TEST_F(PageMembers, DeletePagesExtIgnoresSealsAndStartsFromOne) {
    Open("{\"pages\":[{\"annotations\":[" + Seal() + "]},{},{},{}]}");
    LONG ret = -5;
    EXPECT_EQ(fun->DeletePagesExt(1, 2, &ret), S_OK);
    EXPECT_EQ(ret, 2);
    EXPECT_EQ(PageCount(), 2);

    ret = -5;
    EXPECT_EQ(fun->DeletePagesExt(2, 2, &ret), S_FALSE);
    EXPECT_EQ(ret, 1);
}

TEST_F(PageMembers, DeletePagesExtNeverEmptiesTheDocument) {
    Open(Document(3));
    LONG ret = -5;
    // Accepted by the range rule, refused by the reader: the result stays 1.
    EXPECT_EQ(fun->DeletePagesExt(1, 3, &ret), S_OK);
    EXPECT_EQ(ret, 1);
    EXPECT_EQ(PageCount(), 3);
    // A range starting before the first page and spanning the count is refused outright.
    sim->ClearJournal();
    EXPECT_EQ(fun->DeletePagesExt(0, 3, &ret), S_FALSE);
    EXPECT_EQ(ret, 1);
    EXPECT_FALSE(Journaled(L"Pages.Delete"));

    // DeletePages lets that range through to the reader.
    sim->ClearJournal();
    EXPECT_EQ(fun->DeletePages(0, 3, &ret), S_OK);
    EXPECT_TRUE(Journaled(L"Pages.Delete(\"0-3\")")) << JournalText();
    EXPECT_EQ(ret, 0);
}

TEST_F(PageMembers, DeletingNeedsADocumentAndPageAssemblyRights) {
    LONG ret = -5;
    EXPECT_EQ(fun->DeletePages(1, 2, &ret), S_FALSE);
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(fun->DeletePagesExt(1, 2, &ret), S_FALSE);
    EXPECT_EQ(ret, 1);

    Open(Document(4, ",\"permissions\":{\"6\":false}"));
    EXPECT_EQ(fun->DeletePages(1, 2, &ret), S_FALSE);
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(fun->DeletePagesExt(1, 2, &ret), S_FALSE);
    EXPECT_EQ(ret, 1);
    EXPECT_EQ(PageCount(), 4);
}

// ---- attachments -----------------------------------------------------------------------------

class AttachmentMembers : public FilesTest {
protected:
    std::string WithAttachments(const std::vector<std::string>& names) {
        std::string list;
        for (auto& n : names) list += (list.empty() ? "" : ",") + ("{\"name\":\"" + n + "\",\"data\":\"QUJD\"}");
        return Document(1, ",\"attachments\":[" + list + "]");
    }
};

TEST_F(AttachmentMembers, AddAttachmentsAttachesAFileWithItsDescription) {
    Open(Document(1));
    std::wstring file = Work(L"terms.txt");
    WriteAll(file, "attachment body");
    VARIANT_BOOL ok = -5;
    EXPECT_EQ(fun->AddAttachments(UniqueBstr(file.c_str()).get(), UniqueBstr(L"说明").get(), &ok), S_OK);
    EXPECT_EQ(ok, 1) << JournalText();
    EXPECT_TRUE(Journaled(L"Attachments.Add(" + Quoted(file) + L", \"说明\")")) << JournalText();
    EXPECT_EQ(AttachmentNames(), std::vector<std::wstring>{L"terms.txt"});
}

TEST_F(AttachmentMembers, AddAttachmentsOfAMissingFileIsZero) {
    VARIANT_BOOL ok = -5;
    EXPECT_EQ(fun->AddAttachments(UniqueBstr(Work(L"x.txt").c_str()).get(), UniqueBstr(L"").get(), &ok), S_FALSE);
    EXPECT_EQ(ok, 0);
    Open(Document(1));
    ok = -5;
    EXPECT_EQ(fun->AddAttachments(UniqueBstr(Work(L"x.txt").c_str()).get(), UniqueBstr(L"").get(), &ok), S_OK);
    EXPECT_EQ(ok, 0);
}

TEST_F(AttachmentMembers, DelAttachmentsWithoutANameRemovesEveryAttachment) {
    Open(WithAttachments({"a.txt", "b.txt", "c.txt"}));
    VARIANT_BOOL ok = -5;
    EXPECT_EQ(fun->DelAttachments(UniqueBstr(L"").get(), &ok), S_OK);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(JournalCountOf(L"Attachments.Remove(0)"), 3u);
    EXPECT_TRUE(AttachmentNames().empty());
}

TEST_F(AttachmentMembers, DelAttachmentsRemovesTheFirstOfExactlyThatName) {
    Open(WithAttachments({"a.txt", "b.txt", "B.txt", "b.txt"}));
    VARIANT_BOOL ok = -5;
    EXPECT_EQ(fun->DelAttachments(UniqueBstr(L"B.txt").get(), &ok), S_OK);
    EXPECT_EQ(ok, 1);
    EXPECT_TRUE(Journaled(L"Attachments.Remove(2)")) << JournalText();
    EXPECT_EQ(JournalCountOf(L"Attachments.Remove"), 1u);
    EXPECT_EQ(AttachmentNames(), (std::vector<std::wstring>{L"a.txt", L"b.txt", L"b.txt"}));
}

TEST_F(AttachmentMembers, DelAttachmentsOfAnUnknownNameLeavesTheResult) {
    Open(WithAttachments({"a.txt"}));
    VARIANT_BOOL ok = -5;
    EXPECT_EQ(fun->DelAttachments(UniqueBstr(L"A.TXT").get(), &ok), S_OK);
    EXPECT_EQ(ok, -5);
    EXPECT_FALSE(Journaled(L"Attachments.Remove"));

    Open(WithAttachments({}));
    EXPECT_EQ(fun->DelAttachments(UniqueBstr(L"").get(), &ok), S_OK);
    EXPECT_EQ(ok, -5);

    EXPECT_EQ(fun->closeFile(&ok), S_OK);
    EXPECT_EQ(fun->closeFile(&ok), S_OK);
    ok = -5;
    EXPECT_EQ(fun->DelAttachments(UniqueBstr(L"").get(), &ok), S_FALSE);
    EXPECT_EQ(ok, -5);
}

// ---- without the reader ----------------------------------------------------------------------

class WithoutReader : public FilesTest {
protected:
    ComPtr<IFoliumFun> alone;  // created as a script would, never connected to a reader
    void SetUp() override {
        FilesTest::SetUp();
        if (HasFatalFailure()) return;
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(L"Veridane.FoliumFun.1", &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IFoliumFun, alone.put_void()), S_OK);
        Open(Document(2));  // the reader has a document, but this object knows no reader
    }
    void TearDown() override {
        alone = nullptr;
        FilesTest::TearDown();
    }
};

TEST_F(WithoutReader, MembersStopWithTheirFailureValues) {
    IFoliumFun* fun = alone.get();
    UniqueBstr path(L"C:\\x.pdf");
    LONG n = -5;
    EXPECT_EQ(fun->WebOpenLocalFile(path.get(), &n), S_FALSE);
    EXPECT_EQ(n, 0);
    n = -5;
    EXPECT_EQ(fun->WebSaveLocalFile(path.get(), &n), S_FALSE);
    EXPECT_EQ(n, 0);
    n = -5;
    EXPECT_EQ(fun->WebClose(&n), S_FALSE);
    EXPECT_EQ(n, 0);
    n = -5;
    EXPECT_EQ(fun->FileSize(&n), S_FALSE);
    EXPECT_EQ(n, 0);
    n = -5;
    EXPECT_EQ(fun->ImportPages(path.get(), 1, 1, 0, &n), S_FALSE);
    EXPECT_EQ(n, 1);
    n = -5;
    EXPECT_EQ(fun->DeletePages(1, 2, &n), S_FALSE);
    EXPECT_EQ(n, 0);
    n = -5;
    EXPECT_EQ(fun->DeletePagesExt(1, 2, &n), S_FALSE);
    EXPECT_EQ(n, 1);
    n = -5;
    EXPECT_EQ(fun->SaveLocalFileNoSignature(path.get(), &n), S_FALSE);
    EXPECT_EQ(n, 1);

    VARIANT_BOOL b = 5;
    EXPECT_EQ(fun->closeFile(&b), S_FALSE);
    EXPECT_EQ(b, VARIANT_FALSE);
    b = 5;
    EXPECT_EQ(fun->openFile(path.get(), VARIANT_FALSE, &b), S_FALSE);
    EXPECT_EQ(b, VARIANT_FALSE);
    b = 5;
    EXPECT_EQ(fun->saveFile(path.get(), &b), S_FALSE);
    EXPECT_EQ(b, VARIANT_FALSE);
    b = 5;
    EXPECT_EQ(fun->WebSaveLocal(&b), S_FALSE);
    EXPECT_EQ(b, VARIANT_FALSE);
    b = 5;
    EXPECT_EQ(fun->AddAttachments(path.get(), path.get(), &b), S_FALSE);
    EXPECT_EQ(b, 0);
    b = 5;
    EXPECT_EQ(fun->WebDownLoadFile(path.get(), path.get(), &b), S_FALSE);
    b = 5;
    EXPECT_EQ(fun->WebOpenLocal(&b), S_FALSE);
    EXPECT_EQ(b, 5);

    UniqueBstr text(L"x");
    EXPECT_EQ(fun->GetFileBase64(path.get(), text.put()), S_FALSE);
    EXPECT_STREQ(text.c_str(), L"");
    UniqueBstr local(L"x"), name(L"x"), webPath(L"x");
    EXPECT_EQ(fun->get_LocalFileName(local.put()), S_FALSE);
    EXPECT_STREQ(local.c_str(), L"");
    EXPECT_EQ(fun->GetFileName(0, name.put()), S_FALSE);
    EXPECT_STREQ(name.c_str(), L"");
    EXPECT_EQ(fun->WebGetFilePath(webPath.put()), S_FALSE);
    EXPECT_STREQ(webPath.c_str(), L"");

    // Nothing reached the reader, and no dialog was shown.
    EXPECT_TRUE(JournalLines().empty()) << JournalText();
    EXPECT_TRUE(Captured().empty());

    // The cookie text needs no reader.
    b = 0;
    EXPECT_EQ(fun->INetSetCookieEx(path.get(), UniqueBstr(L"{}").get(), &b), S_OK);
    EXPECT_EQ(b, VARIANT_TRUE);
}

// ---- members that do nothing -----------------------------------------------------------------

class EmptyMembers : public FilesTest {};

TEST_F(EmptyMembers, SucceedWithoutTouchingTheReaderOrTheirResult) {
    Open(Document(1));
    LONG ret = 31;
    UniqueBstr s(L"x");
    EXPECT_EQ(fun->WebSaveLocalFileEx(s.get(), s.get(), s.get(), s.get(), s.get(), s.get(), &ret), S_OK);
    EXPECT_EQ(ret, 31);
    EXPECT_EQ(fun->setReaderMode(2), S_OK);
    EXPECT_EQ(fun->setViewPreference(s.get(), s.get()), S_OK);
    EXPECT_EQ(fun->addTrackInfo(s.get()), S_OK);
    EXPECT_EQ(fun->put_LocalFileName(s.get()), S_OK);
    EXPECT_TRUE(JournalLines().empty()) << JournalText();
    EXPECT_TRUE(Captured().empty());
}

}  // namespace
