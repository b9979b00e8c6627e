// Local files, dialogs, URL transfer, base64, pages and attachments, driven through
// the component loaded in the reader simulator. Dialog and message-box answers come
// from the simulator's capture of the component's imports; transfers go to a small
// HTTP server on the loopback address inside this process.
#include <algorithm>
#include <functional>

#include "FamilyTestSupport.h"
#include "LoopbackHttpServer.h"

using namespace testsupport;

namespace {

const std::wstring kDialogTail = L"\", " + std::to_wstring(0x00080000 | 0x00000800 | 0x00001000) + L", \"";
const std::wstring kDialogFilter = L"\"PDF文件(*.pdf)|*.pdf|所有文件(*.*)|*.*|\", ";
const std::string kStandardDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string ToUtf8(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    if (n) WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

std::wstring DesktopFolder() {
    using Fn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    auto get = reinterpret_cast<Fn>(GetProcAddress(LoadLibraryW(L"shell32.dll"), "SHGetFolderPathW"));
    wchar_t folder[MAX_PATH] = {};
    get(nullptr, 0x0010 /*CSIDL_DESKTOPDIRECTORY*/, nullptr, 0, folder);
    return folder;
}

std::string PagesJson(int pages) {
    std::string s = "[";
    for (int i = 0; i < pages; ++i) s += (i ? "," : "") + ("{\"text\":\"page " + std::to_string(i + 1) + "\"}");
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
        CaptureImports();
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
        ComPtr<IQxDocuments> docs;
        if (app) app->get_Documents(docs.put());
        LONG n = 0;
        if (docs) docs->get_Count(&n);
        for (LONG i = 0; i < n; ++i) {
            ComPtr<IQxDocument> doc;
            ComPtr<IQxDocumentFile> file;
            UniqueBstr folder;
            docs->Item(i, doc.put());
            if (doc) doc->get_FileInfo(file.put());
            if (file) file->get_Folder(folder.put());
            std::wstring f = folder.c_str(), temp = TempFolder() + L"qxs";
            if (f.size() > temp.size() && _wcsnicmp(f.c_str(), temp.c_str(), temp.size()) == 0)
                downloads.push_back(f.substr(0, f.size() - 1));
        }
        if (sim) sim->RemoveAddIn(UniqueBstr(L"Veridane.Folium2015").get());
        ConnectedComponent::TearDown();
        RemoveTree(workDir);
        for (auto& d : downloads) RemoveTree(d);
    }

    static void RemoveTree(const std::wstring& dir) {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = fd.cFileName, full = dir + L"\\" + name;
                if (name == L"." || name == L"..") continue;
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
        EXPECT_TRUE(Open(json));
        return tempFiles.back();
    }

    LONG DocumentCount() {
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        LONG n = -1;
        docs->get_Count(&n);
        return n;
    }

    Lines AnnotationTypes(LONG pageIndex) {
        Lines out;
        for (auto& a : AnnotationsOnPages(pageIndex)) {
            UniqueBstr type;
            a->get_Type(type.put());
            out.push_back(type.c_str());
        }
        return out;
    }

    Lines AttachmentNames() {
        Lines out;
        ComPtr<IQxAttachments> atts;
        Active()->get_Attachments(atts.put());
        LONG n = 0;
        atts->get_Count(&n);
        for (LONG i = 0; i < n; ++i) {
            ComPtr<IQxAttachment> a;
            UniqueBstr name;
            atts->Item(i, a.put());
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

    void SetSaveAllowed(LONG v) {
        ASSERT_EQ(app->put_SaveAllowed(v), S_OK);
        sim->ClearJournal();
    }

    // The temporary copy an upload saved the document to (removed at the end either way).
    std::wstring UploadCopy() {
        std::wstring journal = JournalText(), temp;
        size_t at = journal.find(L"Document.SaveAs(\"");
        if (at == std::wstring::npos) return L"";
        std::wstring quoted = journal.substr(at + 17, journal.find(L"\")\n", at) - at - 17);
        for (size_t i = 0; i < quoted.size(); ++i) temp += quoted[i] == L'\\' ? quoted[++i] : quoted[i];
        tempFiles.push_back(temp);
        return temp;
    }

    Outcome OpenUrl(const std::wstring& url, VARIANT_BOOL init = 5) {
        VARIANT_BOOL ok = init;
        return Got(fun->WebOpenUrlFile(UniqueBstr(url.c_str()).get(), &ok), &ok);
    }
    Outcome WebSaveLocal() {
        VARIANT_BOOL ok = 5;
        return Got(fun->WebSaveLocal(&ok), &ok);
    }
    Outcome Base64(const wchar_t* table) {
        UniqueBstr text(L"x");
        return Got(fun->GetFileBase64(table ? UniqueBstr(table).get() : nullptr, text.put()), &text);
    }
    Outcome SaveToBase64(LONG kind) {
        UniqueBstr text(L"x");
        return Got(fun->SaveFileToBase64(kind, text.put()), &text);
    }
    Outcome SaveNoSignature(const std::wstring& path) {
        LONG ret = -5;
        return Got(fun->SaveLocalFileNoSignature(UniqueBstr(path.c_str()).get(), &ret), &ret);
    }
};

// ---- opening by path, URL and member of choice ----------------------------------------------

TEST_F(FilesTest, WebOpenLocalFileOpensThePathWithThreeEmptyStrings) {
    std::wstring path = WriteFixture(Document(2));
    LONG result = -5;
    EXPECT_EQ(Got(fun->WebOpenLocalFile(UniqueBstr(path.c_str()).get(), &result), &result), Want(S_OK, 1));
    EXPECT_TRUE(Journaled(L"Documents.Open(" + Quoted(path) + L", \"\", \"\", \"\")")) << JournalText();
    EXPECT_EQ(DocumentCount(), 1);
    EXPECT_EQ(Got(fun->WebOpenLocalFile(UniqueBstr(Work(L"absent.pdf").c_str()).get(), &result), &result),
              Want(S_OK, 0));
    EXPECT_EQ(DocumentCount(), 1);
}

TEST_F(FilesTest, WebOpenLocalFileExJoinsFolderAndNameWithoutASeparator) {
    WriteAll(Work(L"doc.json"), Document(1));
    LONG ret = 77;
    // Without the trailing backslash the folder's last name and the file name run together.
    EXPECT_EQ(fun->WebOpenLocalFileEx(UniqueBstr(L"doc.json").get(), UniqueBstr(L"pw").get(),
                                      UniqueBstr(workDir.c_str()).get(), UniqueBstr(L"e1").get(),
                                      UniqueBstr(L"e2").get(), UniqueBstr(L"e3").get(), &ret),
              S_OK);
    EXPECT_TRUE(Journaled(L"Documents.Open(" + Quoted(workDir + L"doc.json") + L", \"pw\", \"pw\", \"\")"))
        << JournalText();
    EXPECT_EQ(DocumentCount(), 0);
    EXPECT_EQ(fun->WebOpenLocalFileEx(UniqueBstr(L"doc.json").get(), UniqueBstr(L"").get(),
                                      UniqueBstr((workDir + L"\\").c_str()).get(), nullptr, nullptr, nullptr, &ret),
              S_OK);
    EXPECT_EQ(DocumentCount(), 1);
    EXPECT_EQ(ret, 77) << "the result is never written";
}

TEST_F(FilesTest, OpenFileTellsPathsFromHttpAddresses) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    server.Answer("/served.json", 200, Document(3));
    std::wstring path = WriteFixture(Document(1)), url = server.Url("/served.json");
    std::wstring upper = L"HTTP:" + url.substr(5);  // the address test is case-sensitive
    const struct {
        std::wstring target, line;
        VARIANT_BOOL ok;
    } cases[] = {{path, L"Documents.Open(" + Quoted(path) + L", \"\", \"\", \"\")", VARIANT_TRUE},
                 {url, L"Documents.OpenURL(" + Quoted(url) + L", \"\")", VARIANT_TRUE},
                 {upper, L"Documents.Open(" + Quoted(upper) + L", \"\", \"\", \"\")", VARIANT_FALSE},
                 {server.Url("/missing.pdf"), L"Documents.OpenURL(", VARIANT_FALSE}};
    for (auto& c : cases) {
        sim->ClearJournal();
        VARIANT_BOOL ok = 5;
        EXPECT_EQ(Got(fun->openFile(UniqueBstr(c.target.c_str()).get(), VARIANT_FALSE, &ok), &ok), Want(S_OK, c.ok));
        EXPECT_EQ(JournalWith(L"Documents.Open").size(), 1u) << JournalText();
        EXPECT_TRUE(Journaled(c.line)) << JournalText();
    }
    EXPECT_EQ(PageCount(), 3);
    // Scripts see an automation boolean.
    ScopedVariant result;
    ASSERT_EQ(CallByName(disp.get(), L"openFile", DISPATCH_METHOD,
                         {*ScopedVariant::Bstr(path.c_str()).get(), VBool(false)}, result.get()),
              S_OK);
    EXPECT_TRUE(IsBool(*result.get(), true));
}

TEST_F(FilesTest, WebOpenUrlFileIsTrueExactlyWhenTheHostOpened) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    server.Answer("/good.json", 200, Document(2));
    server.Answer("/broken.json", 200, "not a document");
    std::wstring url = server.Url("/good.json");
    EXPECT_EQ(OpenUrl(url), Want(S_OK, VARIANT_TRUE));
    EXPECT_TRUE(Journaled(L"Documents.OpenURL(" + Quoted(url) + L", missing)")) << JournalText();
    // Downloaded but not openable (a non-zero code), or a transfer error (negative): false.
    EXPECT_EQ(OpenUrl(server.Url("/broken.json")), Want(S_OK, VARIANT_FALSE));
    EXPECT_EQ(OpenUrl(server.Url("/none.json")), Want(S_OK, VARIANT_FALSE));
}

// ---- the open and save dialogs ---------------------------------------------------------------

TEST_F(FilesTest, WebOpenLocalOpensTheChosenFileWithMissingArguments) {
    std::wstring path = WriteFixture(Document(2));
    AnswerDialog(L"GetOpenFileNameW", path);
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(Got(fun->WebOpenLocal(&ok), &ok), Want(S_OK, VARIANT_TRUE));
    EXPECT_EQ(CapturedOf(L"GetOpenFileNameW"), Lines{L"GetOpenFileNameW(" + kDialogFilter + L"\"\", \"\", \"" + kDialogTail + L"打开文档\", 1)"});
    EXPECT_TRUE(Journaled(L"Documents.Open(" + Quoted(path) + L", missing, missing, missing)")) << JournalText();
    EXPECT_EQ(DocumentCount(), 1);

    // A file the host cannot open is false; a cancelled dialog leaves the result and opens nothing.
    WriteAll(Work(L"junk.pdf"), "%PDF-1.7 not a fixture");
    AnswerDialog(L"GetOpenFileNameW", Work(L"junk.pdf"));
    EXPECT_EQ(Got(fun->WebOpenLocal(&ok), &ok), Want(S_OK, VARIANT_FALSE));
    sim->ClearJournal();
    ok = 123;
    EXPECT_EQ(Got(fun->WebOpenLocal(&ok), &ok), Want(S_OK, 123));
    EXPECT_EQ(CapturedOf(L"GetOpenFileNameW").size(), 3u);
    EXPECT_FALSE(Journaled(L"Documents.Open"));
    BSTR none = nullptr;
    EXPECT_EQ(Got(fun->WebOpenLocalDialog(&none), &none), Want(S_OK, L"(null)"));
}

TEST_F(FilesTest, WebOpenLocalDialogStartsOnTheDesktopAndOnlyReturnsThePath) {
    AnswerDialog(L"GetOpenFileNameW", Work(L"picked.pdf"));
    UniqueBstr path;
    EXPECT_EQ(Got(fun->WebOpenLocalDialog(path.put()), &path), Want(S_OK, Work(L"picked.pdf").c_str()));
    EXPECT_EQ(CapturedOf(L"GetOpenFileNameW"), Lines{L"GetOpenFileNameW(" + kDialogFilter + Quoted(DesktopFolder()) + L", \"\", \"" +
                                  kDialogTail + L"打开文档\", 1)"});
    EXPECT_FALSE(Journaled(L"Documents.Open"));
}

TEST_F(FilesTest, WebSaveLocalCompletesTheTypedNameAndSavesThere) {
    Open(Document(1));
    ASSERT_EQ(fun->put_FileName(UniqueBstr(L"合同草稿").get()), S_OK);
    // Only the last three characters count, in any case: no dot is needed.
    for (auto [typed, saved] : {std::pair<const wchar_t*, const wchar_t*>{L"contract", L"contract.pdf"},
                                {L"REPORT.PDF", L"REPORT.PDF"}, {L"notes-pdf", L"notes-pdf"}, {L"a.pd", L"a.pd.pdf"}}) {
        sim->ClearJournal();
        AnswerDialog(L"GetSaveFileNameW", Work(typed));
        EXPECT_EQ(WebSaveLocal(), Want(S_OK, VARIANT_TRUE));
        long saveAt = JournalIndex(L"Document.SaveAs(" + Quoted(Work(saved)) + L")");
        EXPECT_GE(saveAt, 0) << JournalText();
        EXPECT_GT(JournalIndex(L"Application.SaveFinished()"), saveAt);
        EXPECT_TRUE(Exists(Work(saved)));
    }
    // The dialog starts from the FileName property, with no folder and no default extension.
    EXPECT_EQ(CapturedOf(L"GetSaveFileNameW").front(),
              L"GetSaveFileNameW(" + kDialogFilter + L"\"\", \"合同草稿\", \"" + kDialogTail + L"保存文档\", 1)");

    // A failed save is false and still tells the page; a cancelled dialog saves nothing.
    AnswerDialog(L"GetSaveFileNameW", Work(L"no-such-folder\\x.pdf"));
    EXPECT_EQ(WebSaveLocal(), Want(S_OK, VARIANT_FALSE));
    EXPECT_TRUE(Journaled(L"Application.SaveFinished()"));
    sim->ClearJournal();
    EXPECT_EQ(WebSaveLocal(), Want(S_OK, VARIANT_FALSE));
    EXPECT_EQ(CapturedOf(L"GetSaveFileNameW").size(), 6u);
    EXPECT_FALSE(Journaled(L"Document.SaveAs"));
    EXPECT_FALSE(Journaled(L"Application.SaveFinished"));
    BSTR none = nullptr;
    EXPECT_EQ(Got(fun->WebSaveLocalDialog(&none), &none), Want(S_OK, L"(null)"));
}

TEST_F(FilesTest, SaveDialogsNeedTheSaveRightAndWebSaveLocalADocument) {
    EXPECT_EQ(WebSaveLocal(), Want(S_FALSE, VARIANT_FALSE));
    // The path dialog needs no document, and saves nothing.
    AnswerDialog(L"GetSaveFileNameW", Work(L"draft"));
    UniqueBstr path;
    EXPECT_EQ(Got(fun->WebSaveLocalDialog(path.put()), &path), Want(S_OK, Work(L"draft.pdf").c_str()));
    EXPECT_FALSE(Journaled(L"Document.SaveAs"));
    EXPECT_FALSE(Exists(Work(L"draft.pdf")));

    Open(Document(1));
    SetSaveAllowed(0);
    EXPECT_EQ(WebSaveLocal(), Want(S_FALSE, VARIANT_FALSE));
    EXPECT_TRUE(Journaled(L"Application.SaveAllowed"));
    BSTR refused = nullptr;
    EXPECT_EQ(Got(fun->WebSaveLocalDialog(&refused), &refused), Want(S_FALSE, L"(null)"));
    EXPECT_EQ(CapturedOf(L"GetSaveFileNameW").size(), 1u) << "the user is not asked";
    EXPECT_FALSE(Journaled(L"Document.SaveAs"));
}

// ---- closing and saving ----------------------------------------------------------------------

TEST_F(FilesTest, WebCloseClosesTheFirstDocumentAndCloseFileTheActiveOne) {
    LONG result = -5;
    EXPECT_EQ(Got(fun->WebClose(&result), &result), Want(S_OK, 0));
    EXPECT_FALSE(Journaled(L"Documents.Close"));
    Open(Document(1));
    Open(Document(2));
    Open(Document(3));
    EXPECT_EQ(Got(fun->WebClose(&result), &result), Want(S_OK, 1));
    EXPECT_TRUE(Journaled(L"Documents.Close(0)")) << JournalText();
    EXPECT_EQ(PageCount(), 3);
    sim->ClearJournal();
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(Got(fun->closeFile(&ok), &ok), Want(S_OK, VARIANT_TRUE));
    EXPECT_TRUE(Journaled(L"Documents.Close(missing)")) << JournalText();
    EXPECT_EQ(DocumentCount(), 1);
    EXPECT_EQ(PageCount(), 2);
}

TEST_F(FilesTest, WebSaveLocalFileWritesPassingTheGateThenTellsThePage) {
    LONG result = -5;
    // Nothing saved (no document, a bad folder): the page is still told.
    EXPECT_EQ(Got(fun->WebSaveLocalFile(UniqueBstr(Work(L"x.pdf").c_str()).get(), &result), &result), Want(S_OK, 0));
    EXPECT_TRUE(Journaled(L"Application.SaveFinished()"));
    Open(Document(3));
    EXPECT_EQ(Got(fun->WebSaveLocalFile(UniqueBstr(Work(L"no\\x.pdf").c_str()).get(), &result), &result),
              Want(S_OK, 0));
    EXPECT_TRUE(Journaled(L"Application.SaveFinished()"));

    sim->ClearJournal();
    std::wstring target = Work(L"copy.pdf");
    EXPECT_EQ(Got(fun->WebSaveLocalFile(UniqueBstr(target.c_str()).get(), &result), &result), Want(S_OK, 1));
    long gate = JournalIndex(L"Application.SaveAllowed"), save = JournalIndex(L"Document.SaveAs(" + Quoted(target) + L")");
    EXPECT_GE(gate, 0);
    EXPECT_GT(save, gate) << JournalText();
    EXPECT_GT(JournalIndex(L"Application.SaveFinished()"), save);
    std::string bytes;
    ASSERT_TRUE(ReadAll(target, &bytes));
    EXPECT_NE(bytes.find("page 3"), std::string::npos);

    SetSaveAllowed(0);
    EXPECT_EQ(Got(fun->WebSaveLocalFile(UniqueBstr(Work(L"y.pdf").c_str()).get(), &result), &result),
              Want(S_FALSE, 0));
    EXPECT_EQ(JournalLines(), (Lines{L"Application.Documents", L"Documents.ActiveDocument", L"Application.SaveAllowed"}));
    EXPECT_FALSE(Exists(Work(L"y.pdf")));
}

TEST_F(FilesTest, SaveFileWritesToTheGivenPathOrBackToItsOwnFile) {
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(Got(fun->saveFile(UniqueBstr(L"").get(), &ok), &ok), Want(S_FALSE, VARIANT_FALSE));
    std::wstring own = OpenPath(Document(2));
    SetSaveAllowed(0);  // no save gate here
    EXPECT_EQ(Got(fun->saveFile(UniqueBstr(L"").get(), &ok), &ok), Want(S_OK, VARIANT_TRUE));
    EXPECT_EQ(JournalLines(), (Lines{L"Application.Documents", L"Documents.ActiveDocument", L"Document.FileInfo",
                                     L"DocumentFile.Folder", L"DocumentFile.Name", L"Document.SaveAs(" + Quoted(own) + L")"}));
    ok = 0;
    EXPECT_EQ(Got(fun->saveFile(UniqueBstr(Work(L"elsewhere.pdf").c_str()).get(), &ok), &ok),
              Want(S_OK, VARIANT_TRUE));
    EXPECT_TRUE(Exists(Work(L"elsewhere.pdf")));
    ok = 55;  // a failed save leaves the result
    EXPECT_EQ(Got(fun->saveFile(UniqueBstr(Work(L"nowhere\\x.pdf").c_str()).get(), &ok), &ok), Want(S_OK, 55));
}

TEST_F(FilesTest, SaveLocalFileNoSignatureDropsSealsOfAnyCaseFromCopyAndDocument) {
    // Two seals side by side: removing while walking forward would skip the second.
    Open("{\"pages\":[{\"annotations\":[" + Seal() + "," + Seal("brimwell:addseal") +
         ",{\"kind\":0,\"contents\":\"note\"}]},{\"annotations\":[{\"kind\":2}]},{\"annotations\":[" +
         Seal("BRIMWELL:ADDSEAL") + "]}]}");
    std::wstring target = Work(L"unsealed.pdf");
    EXPECT_EQ(SaveNoSignature(target), Want(S_OK, 0));
    EXPECT_EQ(JournalWith(L"Annotation.Delete()").size(), 3u);
    long copy = JournalIndex(L"Document.SaveCopyAs(" + Quoted(target) + L", 0)");
    EXPECT_GE(copy, 0) << JournalText();
    EXPECT_GT(JournalIndex(L"Document.SetModified(0)"), copy);
    std::string saved;
    ASSERT_TRUE(ReadAll(target, &saved));
    std::transform(saved.begin(), saved.end(), saved.begin(), ::tolower);
    EXPECT_EQ(saved.find("brimwell:addseal"), std::string::npos);
    EXPECT_NE(saved.find("\"note\""), std::string::npos);
    // The seals are gone from the open document too, which reads as unmodified.
    EXPECT_EQ(AnnotationTypes(0), Lines{L"Text"});
    EXPECT_EQ(AnnotationTypes(1), Lines{L"FreeText"});
    EXPECT_TRUE(AnnotationTypes(2).empty());
    EXPECT_EQ(Modified(), 0);
    EXPECT_EQ(SaveNoSignature(Work(L"nowhere\\x.pdf")), Want(S_OK, -1)) << "the host's result";
}

TEST_F(FilesTest, SaveLocalFileNoSignatureRefusedKeepsTheSeals) {
    EXPECT_EQ(SaveNoSignature(Work(L"x.pdf")), Want(S_FALSE, 1));
    Open("{\"pages\":[{\"annotations\":[" + Seal() + "]}]}");
    SetSaveAllowed(0);
    EXPECT_EQ(SaveNoSignature(Work(L"x.pdf")), Want(S_FALSE, 1));
    EXPECT_EQ(AnnotationTypes(0), Lines{L"Brimwell:AddSeal"});
    EXPECT_FALSE(Exists(Work(L"x.pdf")));
}

// ---- base64 ----------------------------------------------------------------------------------

TEST_F(FilesTest, GetFileBase64EncodesTheDocumentFileOfEveryLength) {
    std::wstring path = OpenPath(Document(4, ",\"selectedBookmark\":\"签章\""));
    std::string bytes;
    ASSERT_TRUE(ReadAll(path, &bytes));
    EXPECT_EQ(Base64(L""), Want(S_OK, SystemBase64(bytes).c_str()));
    // The reader keeps no hold on the file: give it lengths of each remainder.
    for (int extra = 0; extra < 3; ++extra) {
        std::string padded = bytes + std::string(extra + 3, ' ');
        WriteAll(path, padded);
        EXPECT_EQ(Base64(nullptr), Want(S_OK, SystemBase64(padded).c_str())) << padded.size() << " bytes";
    }
    // A private table, its 65th character the padding; too short a table encodes nothing.
    std::wstring table(kStandardDigits.rbegin(), kStandardDigits.rend());
    table += L"*";
    std::wstring expected = SystemBase64(bytes + "   ");
    for (auto& c : expected) c = c == L'=' ? L'*' : table[kStandardDigits.find(static_cast<char>(c))];
    WriteAll(path, bytes + "   ");
    EXPECT_EQ(Base64(table.c_str()), Want(S_OK, expected.c_str()));
    EXPECT_EQ(Base64(L"ABCDEFGHIJ"), Want(S_FALSE, L""));
    WriteAll(path, "");
    EXPECT_EQ(Base64(nullptr), Want(S_OK, L""));
    ASSERT_TRUE(DeleteFileW(path.c_str()));
    EXPECT_EQ(Base64(L""), Want(S_OK, L"")) << "an unreadable file";
    EXPECT_TRUE(CapturedOf().empty()) << "no message";
}

TEST_F(FilesTest, GetFileBase64RefusesUnsavedChangesOfdDocumentsAndNoDocument) {
    EXPECT_EQ(Base64(L""), Want(S_FALSE, L""));
    Open(Document(1));
    ASSERT_EQ(Active()->SetModified(1), S_OK);
    EXPECT_EQ(Base64(L""), Want(S_FALSE, L""));
    EXPECT_EQ(CapturedOf(), Lines{L"MessageBoxW(null, \"请先保存文档！\", null, 64)"});
    ASSERT_EQ(fun->put_AlterUser(0), S_OK);  // silent
    EXPECT_EQ(Base64(L""), Want(S_FALSE, L""));
    EXPECT_EQ(CapturedOf().size(), 1u);
    ASSERT_EQ(fun->put_AlterUser(1), S_OK);
    Open("{\"type\":\"OFD\",\"pages\":" + PagesJson(1) + "}");
    EXPECT_EQ(Base64(L""), Want(S_FALSE, L""));
    EXPECT_TRUE(Journaled(L"Document.DocumentType"));
    EXPECT_EQ(CapturedOf().size(), 1u) << "OFD is refused silently";
}

TEST_F(FilesTest, SaveFileToBase64AsksTheSignatureEngineWithTheStandardTable) {
    EXPECT_EQ(SaveToBase64(1), Want(S_FALSE, L"")) << "no document";
    Open(Document(1));
    EXPECT_EQ(SaveToBase64(1), Want(S_OK, L"")) << "no engine";
    EXPECT_TRUE(Journaled(L"Document.SetModified(0)"));
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    engine->SetResult(UniqueBstr(L"GetFileBase64").get(), *ScopedVariant::I4(12).get());
    EXPECT_EQ(SaveToBase64(1), Want(S_OK, L"")) << "an answer that is not text";
    engine->SetResult(UniqueBstr(L"GetFileBase64").get(), *ScopedVariant::Bstr(L"JVBERi0=").get());
    engine->ClearCalls();
    sim->ClearJournal();
    // Other kinds only mark the document saved.
    EXPECT_EQ(SaveToBase64(0), Want(S_OK, L""));
    EXPECT_TRUE(Journaled(L"Document.SetModified(0)"));
    EXPECT_TRUE(quirexsim::Calls(engine.get()).empty());

    ASSERT_EQ(Active()->SetModified(1), S_OK);
    EXPECT_EQ(SaveToBase64(1), Want(S_OK, L"JVBERi0="));
    EXPECT_EQ(quirexsim::Calls(engine.get()),
              Lines{L"GetFileBase64:M:1|VT_BSTR=\"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\""});
    EXPECT_EQ(Modified(), 0);

    // The save gate stops it before the engine.
    engine->ClearCalls();
    ASSERT_EQ(Active()->SetModified(1), S_OK);
    SetSaveAllowed(0);
    EXPECT_EQ(SaveToBase64(1), Want(S_FALSE, L""));
    EXPECT_FALSE(Journaled(L"Document.SetModified"));
    EXPECT_EQ(Modified(), 1);
    EXPECT_TRUE(quirexsim::Calls(engine.get()).empty());
}

// ---- file facts ------------------------------------------------------------------------------

TEST_F(FilesTest, NamesAndPathsOfTheActiveDocument) {
    UniqueBstr local(L"x"), fileName(L"x"), webPath(L"x"), log(L"x");
    EXPECT_EQ(Got(fun->get_LocalFileName(local.put()), &local), Want(S_FALSE, L""));
    EXPECT_EQ(Got(fun->GetFileName(0, fileName.put()), &fileName), Want(S_FALSE, L""));
    EXPECT_EQ(Got(fun->WebGetFilePath(webPath.put()), &webPath), Want(S_FALSE, L""));
    EXPECT_EQ(Got(fun->getLogFilePath(log.put()), &log), Want(S_OK, L"")) << "there is no log file";
    std::wstring path = OpenPath(Document(1));
    EXPECT_EQ(Got(fun->get_LocalFileName(local.put()), &local), Want(S_OK, path.c_str()));
    EXPECT_EQ(Got(fun->GetFileName(5, fileName.put()), &fileName),  // the index is not used
              Want(S_OK, path.substr(path.find_last_of(L'\\') + 1).c_str()));
    // The host's folder already ends in a backslash: no second one.
    EXPECT_EQ(Got(fun->WebGetFilePath(webPath.put()), &webPath), Want(S_OK, path.c_str()));
}

TEST_F(FilesTest, FileSizeCountsWholeKilobytes) {
    LONG size = -1;
    EXPECT_EQ(Got(fun->FileSize(&size), &size), Want(S_FALSE, 0));
    std::string base = Document(1);
    for (auto [bytes, kb] : {std::pair<size_t, LONG>{1023, 0}, {1024, 1}, {1500, 1}, {2048, 2}, {5000, 4}}) {
        std::wstring path = WriteFixture(base + std::string(bytes - base.size(), ' '));
        LONG opened = 0;
        ASSERT_EQ(Got(fun->WebOpenLocalFile(UniqueBstr(path.c_str()).get(), &opened), &opened), Want(S_OK, 1));
        EXPECT_EQ(Got(fun->FileSize(&size), &size), Want(S_OK, kb)) << bytes << " bytes";
    }
}

// ---- transfers -------------------------------------------------------------------------------

TEST_F(FilesTest, WebDownLoadFileSavesTheReply) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    std::string body(100000, '\0');
    for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7 + 3);
    server.Answer("/files/a.bin", 200, body);
    std::wstring url = server.Url("/files/a.bin"), target = Work(L"a.bin");
    auto download = [&](const std::wstring& from, const std::wstring& to) {
        VARIANT_BOOL ok = 5;
        return Got(fun->WebDownLoadFile(UniqueBstr(from.c_str()).get(), UniqueBstr(to.c_str()).get(), &ok), &ok);
    };
    EXPECT_EQ(download(url, target), Want(S_OK, VARIANT_TRUE));
    std::string saved;
    ASSERT_TRUE(ReadAll(target, &saved));
    EXPECT_TRUE(saved == body);
    EXPECT_EQ(JournalLines(), (Lines{L"Application.CreateNetFile()", L"NetFile.Reset()",
                                     L"NetFile.Open(0, " + Quoted(url) + L", 0, missing, missing)", L"NetFile.Transfer()",
                                     L"NetFile.SaveToFile(0, " + Quoted(target) + L")", L"NetFile.Close()"}));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].method, "GET");

    // An error reply is false; an address the transfer cannot use stops before the transfer.
    sim->ClearJournal();
    EXPECT_EQ(download(server.Url("/nothing"), Work(L"n.bin")), Want(S_OK, VARIANT_FALSE));
    EXPECT_TRUE(Journaled(L"NetFile.Close()"));
    sim->ClearJournal();
    EXPECT_EQ(download(L"ftp://127.0.0.1/x", Work(L"f.bin")), Want(S_OK, VARIANT_FALSE));
    EXPECT_FALSE(Journaled(L"NetFile.Transfer"));
    EXPECT_FALSE(Journaled(L"NetFile.SaveToFile"));
    EXPECT_TRUE(Journaled(L"NetFile.Close()"));
}

TEST_F(FilesTest, WebUpLoadFilePostsTheDocumentAsAForm) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    server.Answer("/upload", 200, "OK");
    auto upload = [&](const wchar_t* form) {
        VARIANT_BOOL ok = 5;
        return Got(fun->WebUpLoadFile(UniqueBstr(server.Url("/upload").c_str()).get(), UniqueBstr(form).get(), &ok),
                   &ok);
    };
    EXPECT_EQ(upload(L""), Want(S_FALSE, 5)) << "no document";
    EXPECT_FALSE(Journaled(L"Application.CreateNetFile"));
    Open(Document(2, ",\"selectedBookmark\":\"upload-marker\""));
    EXPECT_EQ(upload(L"id=42&kind=contract"), Want(S_OK, VARIANT_TRUE));

    // The document went through a fresh file directly in the temporary folder, gone once
    // the transfer is over.
    std::wstring temp = UploadCopy();
    ASSERT_FALSE(temp.empty()) << JournalText();
    EXPECT_FALSE(Exists(temp)) << "the copy of the document stayed behind";
    EXPECT_EQ(_wcsnicmp(temp.c_str(), TempFolder().c_str(), TempFolder().size()), 0) << temp;
    EXPECT_EQ(temp.find(L'\\', TempFolder().size()), std::wstring::npos) << "directly in the folder";
    long at = JournalIndex(L"NetFile.AddFormField(\"FormData\", \"id=42&kind=contract\")");
    EXPECT_GE(at, 0) << JournalText();
    for (const std::wstring& next :
         {L"NetFile.AddFormFile(\"FileData\", " + Quoted(temp) + L")", std::wstring(L"NetFile.SetPost(-1)"),
          L"NetFile.Open(0, " + Quoted(server.Url("/upload")) + L", 0, missing, missing)",
          std::wstring(L"NetFile.Transfer()"), std::wstring(L"NetFile.Close()")}) {
        long nextAt = JournalIndex(next);
        EXPECT_GT(nextAt, at) << "order: " << ToUtf8(next);
        at = nextAt;
    }
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "POST");
    const std::string& body = requests[0].body;
    EXPECT_NE(body.find("name=\"FormData\"\r\n\r\nid=42&kind=contract\r\n"), std::string::npos);
    EXPECT_NE(body.find("name=\"FileData\"; filename=\"" + ToUtf8(temp.substr(temp.find_last_of(L'\\') + 1)) + "\""),
              std::string::npos);
    EXPECT_NE(body.find("upload-marker"), std::string::npos) << "the document's content is posted";

    // Without form data only the file goes; another success code is true, a refusal false.
    sim->ClearJournal();
    server.Answer("/upload", 201, "");
    EXPECT_EQ(upload(L""), Want(S_OK, VARIANT_TRUE));
    UploadCopy();
    EXPECT_FALSE(Journaled(L"NetFile.AddFormField"));
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[1].body.find("FormData"), std::string::npos);
    sim->ClearJournal();
    server.Answer("/upload", 500, "no");
    EXPECT_EQ(upload(L"x"), Want(S_OK, VARIANT_FALSE));
    UploadCopy();
}

// ---- cookie text -----------------------------------------------------------------------------

TEST_F(FilesTest, CookieMembersAreWrittenInNameOrderEachClosedBySemicolon) {
    auto cookie = [&](const wchar_t* url, const wchar_t* text) {
        VARIANT_BOOL ok = 0;
        return Got(fun->INetSetCookieEx(url ? UniqueBstr(url).get() : nullptr, text ? UniqueBstr(text).get() : nullptr,
                                        &ok),
                   &ok);
    };
    EXPECT_EQ(cookie(L"http://ignored/", L"{\"b\":\"2\",\"a\":\"1\"}"), Want(S_OK, VARIANT_TRUE));
    // Text that is not JSON stores nothing but succeeds; an empty cookie is traced once.
    EXPECT_EQ(cookie(L"", L"sid=abc"), Want(S_OK, VARIANT_TRUE));
    EXPECT_EQ(cookie(nullptr, nullptr), Want(S_OK, VARIANT_TRUE));
    Lines traces;
    for (auto& t : quirexsim::Traces(sim.get()))
        if (t.rfind(L"VD_Folium2018_Normal_", 0) == 0) traces.push_back(t.substr(21));
    EXPECT_EQ(traces, (Lines{L"{\"b\":\"2\",\"a\":\"1\"}", L"a=1;b=2;", L"sid=abc", L"", L""}));
}

// ---- pages -----------------------------------------------------------------------------------

class PageMembers : public FilesTest {
protected:
    std::wstring source;
    void SetUp() override {
        FilesTest::SetUp();
        if (!HasFatalFailure()) source = WriteFixture(Document(5));
    }
    Outcome Import(LONG start, LONG trail, LONG place) {
        LONG ret = -5;
        return Got(fun->ImportPages(UniqueBstr(source.c_str()).get(), start, trail, place, &ret), &ret);
    }
    std::wstring Inserted(const std::wstring& place, const std::wstring& range) {
        return L"Pages.Insert(" + Quoted(source) + L", " + place + L", \"" + range + L"\")";
    }
    Outcome Delete(LONG start, LONG trail, bool ext = false) {
        LONG ret = -5;
        return Got(ext ? fun->DeletePagesExt(start, trail, &ret) : fun->DeletePages(start, trail, &ret), &ret);
    }
};

TEST_F(PageMembers, ImportPagesCompletesOrdersAndCutsTheRange) {
    const struct {
        int pages;
        LONG start, trail, place;
        const wchar_t *at, *range;
    } cases[] = {
        {3, 2, 3, 1, L"1", L"2-3"},
        {3, 0, 2, 0, L"0", L"0-2"},    // a start below 1 reads as 0
        {5, 2, 0, 3, L"3", L"2-5"},    // a missing end is the open document's last page
        {3, 3, 1, -2, L"-1", L"1-3"},  // swapped; a place before the start appends
        {2, 1, 4, 9, L"-1", L"1-2"},   // beyond the open document's count the end is cut to it
    };
    for (auto& c : cases) {
        Open(Document(c.pages));
        EXPECT_EQ(Import(c.start, c.trail, c.place), Want(S_OK, 1));
        EXPECT_TRUE(Journaled(Inserted(c.at, c.range))) << JournalText();
        EXPECT_TRUE(Journaled(L"Document.Permission(6)"));
    }
    Open(Document(2));
    EXPECT_EQ(Import(3, 5, 0), Want(S_FALSE, 1));
    EXPECT_FALSE(Journaled(L"Pages.Insert"));
    source = Work(L"absent.json");
    EXPECT_EQ(Import(1, 1, 0), Want(S_OK, 0)) << "nothing inserted";
    EXPECT_EQ(PageCount(), 2);
}

TEST_F(PageMembers, PageMembersNeedADocumentAndPageAssemblyRights) {
    EXPECT_EQ(Import(1, 1, 0), Want(S_FALSE, 1));
    EXPECT_EQ(Delete(1, 2), Want(S_FALSE, 0));
    EXPECT_EQ(Delete(1, 2, true), Want(S_FALSE, 1));
    Open(Document(4, ",\"permissions\":{\"6\":false}"));
    EXPECT_EQ(Import(1, 1, 0), Want(S_FALSE, 1));
    EXPECT_EQ(Delete(1, 2), Want(S_FALSE, 0));
    EXPECT_EQ(Delete(1, 2, true), Want(S_FALSE, 1));
    EXPECT_FALSE(Journaled(L"Pages.Insert"));
    EXPECT_EQ(PageCount(), 4);
}

TEST_F(PageMembers, DeletePagesRemovesARangeOfAtLeastTwoPages) {
    Open(Document(3));
    for (auto [start, trail] : {std::pair<LONG, LONG>{2, 2}, {3, 2}, {2, 4}, {4, 5}})
        EXPECT_EQ(Delete(start, trail), Want(S_FALSE, 0)) << start << "-" << trail;
    EXPECT_FALSE(Journaled(L"Pages.Delete"));
    Open(Document(5));
    EXPECT_EQ(Delete(2, 4), Want(S_OK, 3));
    EXPECT_EQ(JournalWith(L"Pages.Delete"), Lines{L"Pages.Delete(\"2-4\")"});
    EXPECT_EQ(PageCount(), 2);
}

TEST_F(PageMembers, DeletePagesKeepsPagesWithASealOfExactlyThatTypeInTheRange) {
    Open("{\"pages\":[{},{},{\"annotations\":[{\"kind\":0}," + Seal() + "]},{}]}");
    EXPECT_EQ(Delete(2, 3), Want(S_OK, 0));
    EXPECT_FALSE(Journaled(L"Pages.Delete"));
    EXPECT_EQ(Delete(1, 2), Want(S_OK, 2)) << "a seal outside the range does not matter";
    EXPECT_EQ(PageCount(), 2);
    Open("{\"pages\":[{\"annotations\":[" + Seal("brimwell:addseal") + "]},{},{}]}");
    EXPECT_EQ(Delete(1, 2), Want(S_OK, 2));
    EXPECT_EQ(PageCount(), 1);
}

TEST_F(PageMembers, DeletePagesExtIgnoresSealsStartsFromOneAndNeverEmptiesTheDocument) {
    Open("{\"pages\":[{\"annotations\":[" + Seal() + "]},{},{},{}]}");
    EXPECT_EQ(Delete(1, 2, true), Want(S_OK, 2));
    EXPECT_EQ(PageCount(), 2);
    EXPECT_EQ(Delete(2, 2, true), Want(S_FALSE, 1));
    Open(Document(3));
    EXPECT_EQ(Delete(1, 3, true), Want(S_OK, 1)) << "accepted by the range rule, refused by the reader";
    EXPECT_EQ(PageCount(), 3);
    sim->ClearJournal();
    EXPECT_EQ(Delete(0, 3, true), Want(S_FALSE, 1)) << "starts before the first page and spans the count";
    EXPECT_FALSE(Journaled(L"Pages.Delete"));
    EXPECT_EQ(Delete(0, 3), Want(S_OK, 0)) << "DeletePages lets it through to the reader";
    EXPECT_TRUE(Journaled(L"Pages.Delete(\"0-3\")")) << JournalText();
}

// ---- attachments -----------------------------------------------------------------------------

class AttachmentMembers : public FilesTest {
protected:
    std::string WithAttachments(const std::vector<std::string>& names) {
        std::string list;
        for (auto& n : names) list += (list.empty() ? "" : ",") + ("{\"name\":\"" + n + "\",\"data\":\"QUJD\"}");
        return Document(1, ",\"attachments\":[" + list + "]");
    }
    Outcome Add(const std::wstring& file, const wchar_t* description) {
        VARIANT_BOOL ok = -5;
        return Got(fun->AddAttachments(UniqueBstr(file.c_str()).get(), UniqueBstr(description).get(), &ok), &ok);
    }
    Outcome Del(const wchar_t* name) {
        VARIANT_BOOL ok = -5;
        return Got(fun->DelAttachments(UniqueBstr(name).get(), &ok), &ok);
    }
};

TEST_F(AttachmentMembers, AddAttachmentsAttachesAFileWithItsDescription) {
    EXPECT_EQ(Add(Work(L"x.txt"), L""), Want(S_FALSE, 0));
    Open(Document(1));
    EXPECT_EQ(Add(Work(L"x.txt"), L""), Want(S_OK, 0)) << "a missing file";
    std::wstring file = Work(L"terms.txt");
    WriteAll(file, "attachment body");
    EXPECT_EQ(Add(file, L"说明"), Want(S_OK, 1));
    EXPECT_TRUE(Journaled(L"Attachments.Add(" + Quoted(file) + L", \"说明\")")) << JournalText();
    EXPECT_EQ(AttachmentNames(), Lines{L"terms.txt"});
}

TEST_F(AttachmentMembers, DelAttachmentsRemovesTheFirstOfExactlyThatNameOrAll) {
    Open(WithAttachments({"a.txt", "b.txt", "B.txt", "b.txt"}));
    EXPECT_EQ(Del(L"B.txt"), Want(S_OK, 1));
    EXPECT_EQ(JournalWith(L"Attachments.Remove"), Lines{L"Attachments.Remove(2)"});
    EXPECT_EQ(AttachmentNames(), (Lines{L"a.txt", L"b.txt", L"b.txt"}));
    sim->ClearJournal();
    EXPECT_EQ(Del(L"A.TXT"), Want(S_OK, -5)) << "an unknown name leaves the result";
    EXPECT_FALSE(Journaled(L"Attachments.Remove"));
    EXPECT_EQ(Del(L""), Want(S_OK, 1));
    EXPECT_EQ(JournalWith(L"Attachments.Remove"), (Lines(3, L"Attachments.Remove(0)")));
    EXPECT_TRUE(AttachmentNames().empty());
    EXPECT_EQ(Del(L""), Want(S_OK, -5)) << "none left";
    VARIANT_BOOL ok;
    fun->closeFile(&ok);
    EXPECT_EQ(Del(L""), Want(S_FALSE, -5));
}

// ---- without the reader, and the members that do nothing ------------------------------------

TEST_F(FilesTest, WithoutAReaderMembersStopWithTheirFailureValues) {
    ComPtr<IFoliumFun> alone;  // created as a script would, never connected to a reader
    ASSERT_EQ(CoCreateInstance(CLSID_FoliumFun, nullptr, CLSCTX_INPROC_SERVER, IID_IFoliumFun, alone.put_void()), S_OK);
    Open(Document(2));  // the reader has a document, but this object knows no reader
    IFoliumFun* f = alone.get();
    UniqueBstr path(L"C:\\x.pdf");
    const struct {
        const char* name;
        std::function<HRESULT(LONG*)> call;
        LONG expected;
    } longs[] = {
        {"WebOpenLocalFile", [&](LONG* n) { return f->WebOpenLocalFile(path.get(), n); }, 0},
        {"WebSaveLocalFile", [&](LONG* n) { return f->WebSaveLocalFile(path.get(), n); }, 0},
        {"WebClose", [&](LONG* n) { return f->WebClose(n); }, 0},
        {"FileSize", [&](LONG* n) { return f->FileSize(n); }, 0},
        {"ImportPages", [&](LONG* n) { return f->ImportPages(path.get(), 1, 1, 0, n); }, 1},
        {"DeletePages", [&](LONG* n) { return f->DeletePages(1, 2, n); }, 0},
        {"DeletePagesExt", [&](LONG* n) { return f->DeletePagesExt(1, 2, n); }, 1},
        {"SaveLocalFileNoSignature", [&](LONG* n) { return f->SaveLocalFileNoSignature(path.get(), n); }, 1},
    };
    for (auto& c : longs) {
        LONG n = -5;
        EXPECT_EQ(Got(c.call(&n), &n), Want(S_FALSE, c.expected)) << c.name;
    }
    const struct {
        const char* name;
        std::function<HRESULT(VARIANT_BOOL*)> call;
        VARIANT_BOOL expected;
    } bools[] = {
        {"closeFile", [&](VARIANT_BOOL* b) { return f->closeFile(b); }, VARIANT_FALSE},
        {"openFile", [&](VARIANT_BOOL* b) { return f->openFile(path.get(), VARIANT_FALSE, b); }, VARIANT_FALSE},
        {"saveFile", [&](VARIANT_BOOL* b) { return f->saveFile(path.get(), b); }, VARIANT_FALSE},
        {"WebSaveLocal", [&](VARIANT_BOOL* b) { return f->WebSaveLocal(b); }, VARIANT_FALSE},
        {"AddAttachments", [&](VARIANT_BOOL* b) { return f->AddAttachments(path.get(), path.get(), b); }, 0},
        {"WebDownLoadFile", [&](VARIANT_BOOL* b) { return f->WebDownLoadFile(path.get(), path.get(), b); }, 0},
        {"WebOpenLocal", [&](VARIANT_BOOL* b) { return f->WebOpenLocal(b); }, 5},
    };
    for (auto& c : bools) {
        VARIANT_BOOL b = 5;
        EXPECT_EQ(Got(c.call(&b), &b), Want(S_FALSE, c.expected)) << c.name;
    }
    const struct {
        const char* name;
        std::function<HRESULT(BSTR*)> call;
    } texts[] = {{"GetFileBase64", [&](BSTR* s) { return f->GetFileBase64(path.get(), s); }},
                 {"LocalFileName", [&](BSTR* s) { return f->get_LocalFileName(s); }},
                 {"GetFileName", [&](BSTR* s) { return f->GetFileName(0, s); }},
                 {"WebGetFilePath", [&](BSTR* s) { return f->WebGetFilePath(s); }}};
    for (auto& c : texts) {
        UniqueBstr s(L"x");
        EXPECT_EQ(Got(c.call(s.put()), &s), Want(S_FALSE, L"")) << c.name;
    }
    // Nothing reached the reader, and no dialog was shown; the cookie text needs no reader.
    EXPECT_TRUE(JournalLines().empty()) << JournalText();
    EXPECT_TRUE(CapturedOf().empty());
    VARIANT_BOOL b = 0;
    EXPECT_EQ(Got(f->INetSetCookieEx(path.get(), UniqueBstr(L"{}").get(), &b), &b), Want(S_OK, VARIANT_TRUE));
}

TEST_F(FilesTest, EmptyMembersSucceedWithoutTouchingTheReaderOrTheirResult) {
    Open(Document(1));
    LONG ret = 31;
    UniqueBstr s(L"x");
    EXPECT_EQ(Got(fun->WebSaveLocalFileEx(s.get(), s.get(), s.get(), s.get(), s.get(), s.get(), &ret), &ret),
              Want(S_OK, 31));
    EXPECT_EQ(fun->setReaderMode(2), S_OK);
    EXPECT_EQ(fun->setViewPreference(s.get(), s.get()), S_OK);
    EXPECT_EQ(fun->addTrackInfo(s.get()), S_OK);
    EXPECT_EQ(fun->put_LocalFileName(s.get()), S_OK);
    EXPECT_TRUE(JournalLines().empty()) << JournalText();
    EXPECT_TRUE(CapturedOf().empty());
}

}  // namespace
