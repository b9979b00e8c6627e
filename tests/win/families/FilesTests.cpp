// Local files, dialogs, URL transfer, base64, pages and attachments, driven through
// the component loaded in the reader simulator. Dialog and message-box answers come
// from the simulator's capture of the component's imports; transfers go to a small
// HTTP server on the loopback address inside this process.
#include <shlobj.h>

#include <algorithm>

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
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, folder);
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
    // Made before SetUp connects the component: work files, the upload's copies and the
    // reader's downloads all go there, and are removed with it.
    PrivateTemp privateTemp;

    void SetUp() override {
        ConnectedComponent::SetUp();
        if (!HasFatalFailure()) CaptureImports();
    }
    void TearDown() override {
        if (sim) sim->RemoveAddIn(UniqueBstr(L"Veridane.Folium2015").get());
        ConnectedComponent::TearDown();
    }

    std::wstring Work(const std::wstring& name) const { return privateTemp.Path() + name; }

    // Opens a fixture and returns the path of the file behind it.
    std::wstring OpenPath(const std::string& json) {
        EXPECT_TRUE(Open(json));
        return tempFiles.back();
    }

    std::wstring Host(const std::wstring& path) { return HostWalk(sim.get(), app.get(), path); }
    std::wstring DocumentCount() { return Host(L"Documents.Count"); }
    std::wstring Modified() { return Host(L"Documents.ActiveDocument.Modified"); }

    Lines AnnotationTypes(LONG pageIndex) {
        Lines out;
        for (auto& a : AnnotationsOnPages(pageIndex)) {
            UniqueBstr type;
            a->get_Type(type.put());
            out.push_back(type.c_str());
        }
        return out;
    }

    // The names as the reader lists them, each as the typed journal writes a text.
    Lines AttachmentNames() {
        Lines out;
        const std::wstring list = L"Documents.ActiveDocument.Attachments";
        for (LONG i = 0, n = std::stol(Host(list + L".Count").substr(6)); i < n; ++i)
            out.push_back(Host(list + L".Item(" + std::to_wstring(i) + L").Name"));
        return out;
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

    template <class M, class... A>
    std::wstring Call(M member, const A&... args) {
        return Early(fun.get(), member, args...);
    }
};

// ---- opening by path, URL and member of choice ----------------------------------------------

TEST_F(FilesTest, WebOpenLocalFileOpensThePathWithThreeEmptyStrings) {
    std::wstring path = WriteFixture(Document(2));
    EXPECT_EQ(Call(&IFoliumFun::WebOpenLocalFile, path), L"S_OK 1");
    EXPECT_TRUE(Journaled(L"Documents.Open(" + Quoted(path) + L", \"\", \"\", \"\")")) << JournalText();
    EXPECT_EQ(Call(&IFoliumFun::WebOpenLocalFile, Work(L"absent.pdf")), L"S_OK 0");
    EXPECT_EQ(DocumentCount(), I4(1));
}

TEST_F(FilesTest, WebOpenLocalFileExJoinsFolderAndNameWithoutASeparator) {
    WriteAll(Work(L"doc.json"), Document(1));
    const std::wstring folder = Work(L"");
    // Without the trailing backslash the folder's last name and the file name run together.
    const std::wstring joined = folder.substr(0, folder.size() - 1);
    EXPECT_EQ(Call(&IFoliumFun::WebOpenLocalFileEx, L"doc.json", L"pw", joined, L"e1", L"e2", L"e3"), L"S_OK 7");
    EXPECT_TRUE(Journaled(L"Documents.Open(" + Quoted(joined + L"doc.json") + L", \"pw\", \"pw\", \"\")"))
        << JournalText();
    EXPECT_EQ(DocumentCount(), I4(0));
    EXPECT_EQ(Call(&IFoliumFun::WebOpenLocalFileEx, L"doc.json", L"", folder, nullptr, nullptr, nullptr),
              L"S_OK 7")
        << "the result is never written";
    EXPECT_EQ(DocumentCount(), I4(1));
}

TEST_F(FilesTest, OpenFileTellsPathsFromHttpAddresses) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    server.Answer("/served.json", 200, Document(3));
    std::wstring path = WriteFixture(Document(1)), url = server.Url("/served.json");
    std::wstring upper = L"HTTP:" + url.substr(5);  // the address test is case-sensitive
    const struct {
        std::wstring target, line;
        const wchar_t* result;
    } cases[] = {{path, L"Documents.Open(" + Quoted(path) + L", \"\", \"\", \"\")", L"S_OK -1"},
                 {url, L"Documents.OpenURL(" + Quoted(url) + L", \"\")", L"S_OK -1"},
                 {upper, L"Documents.Open(" + Quoted(upper) + L", \"\", \"\", \"\")", L"S_OK 0"},
                 {server.Url("/missing.pdf"), L"Documents.OpenURL(", L"S_OK 0"}};
    for (auto& c : cases) {
        sim->ClearJournal();
        EXPECT_EQ(Call(&IFoliumFun::openFile, c.target, VARIANT_FALSE), c.result);
        EXPECT_EQ(JournalWith(L"Documents.Open").size(), 1u) << JournalText();
        EXPECT_TRUE(Journaled(c.line)) << JournalText();
    }
    EXPECT_EQ(PageCount(), 3);
    EXPECT_EQ(Script(L"openFile", {VStr(path.c_str()), VBool(false)}), Bool(true))
        << "scripts see an automation boolean";
}

TEST_F(FilesTest, WebOpenUrlFileIsTrueExactlyWhenTheHostOpened) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    server.Answer("/good.json", 200, Document(2));
    server.Answer("/broken.json", 200, "not a document");
    std::wstring url = server.Url("/good.json");
    EXPECT_EQ(Call(&IFoliumFun::WebOpenUrlFile, url), L"S_OK -1");
    EXPECT_TRUE(Journaled(L"Documents.OpenURL(" + Quoted(url) + L", missing)")) << JournalText();
    // Downloaded but not openable (a non-zero code), or a transfer error (negative): false.
    EXPECT_EQ(Call(&IFoliumFun::WebOpenUrlFile, server.Url("/broken.json")), L"S_OK 0");
    EXPECT_EQ(Call(&IFoliumFun::WebOpenUrlFile, server.Url("/none.json")), L"S_OK 0");
}

// ---- the open and save dialogs ---------------------------------------------------------------

TEST_F(FilesTest, TheOpenDialogsStartWhereTheyShouldAndOnlyWebOpenLocalOpens) {
    std::wstring path = WriteFixture(Document(2));
    AnswerDialog(L"GetOpenFileNameW", path);
    EXPECT_EQ(Call(&IFoliumFun::WebOpenLocal), L"S_OK -1");
    EXPECT_TRUE(Journaled(L"Documents.Open(" + Quoted(path) + L", missing, missing, missing)")) << JournalText();
    // A file the host cannot open is false; a cancelled dialog leaves the result and opens nothing.
    WriteAll(Work(L"junk.pdf"), "%PDF-1.7 not a fixture");
    AnswerDialog(L"GetOpenFileNameW", Work(L"junk.pdf"));
    EXPECT_EQ(Call(&IFoliumFun::WebOpenLocal), L"S_OK 0");
    sim->ClearJournal();
    EXPECT_EQ(Call(&IFoliumFun::WebOpenLocal), L"S_OK 7");
    EXPECT_EQ(Call(&IFoliumFun::WebOpenLocalDialog), L"S_OK left") << "cancelled";
    // The path dialog starts on the desktop and opens nothing.
    AnswerDialog(L"GetOpenFileNameW", Work(L"picked.pdf"));
    EXPECT_EQ(Call(&IFoliumFun::WebOpenLocalDialog), L"S_OK " + Work(L"picked.pdf"));
    EXPECT_FALSE(Journaled(L"Documents.Open"));
    EXPECT_EQ(DocumentCount(), I4(1));
    const std::wstring head = L"GetOpenFileNameW(" + kDialogFilter, tail = L", \"\", \"" + kDialogTail + L"打开文档\", 1)";
    const std::wstring open = head + L"\"\"" + tail, desktop = head + Quoted(DesktopFolder()) + tail;
    EXPECT_EQ(CapturedOf(L"GetOpenFileNameW"), (Lines{open, open, open, desktop, desktop}));
}

TEST_F(FilesTest, WebSaveLocalCompletesTheTypedNameAndSavesThere) {
    Open(Document(1));
    ASSERT_EQ(fun->put_FileName(UniqueBstr(L"合同草稿").get()), S_OK);
    // Only the last three characters count, in any case: no dot is needed.
    for (auto [typed, saved] : {std::pair<const wchar_t*, const wchar_t*>{L"contract", L"contract.pdf"},
                                {L"REPORT.PDF", L"REPORT.PDF"}, {L"notes-pdf", L"notes-pdf"}, {L"a.pd", L"a.pd.pdf"}}) {
        sim->ClearJournal();
        AnswerDialog(L"GetSaveFileNameW", Work(typed));
        EXPECT_EQ(Call(&IFoliumFun::WebSaveLocal), L"S_OK -1");
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
    EXPECT_EQ(Call(&IFoliumFun::WebSaveLocal), L"S_OK 0");
    EXPECT_TRUE(Journaled(L"Application.SaveFinished()"));
    sim->ClearJournal();
    EXPECT_EQ(Call(&IFoliumFun::WebSaveLocal), L"S_OK 0");
    EXPECT_EQ(CapturedOf(L"GetSaveFileNameW").size(), 6u);
    EXPECT_FALSE(Journaled(L"Document.SaveAs"));
    EXPECT_FALSE(Journaled(L"Application.SaveFinished"));
    EXPECT_EQ(Call(&IFoliumFun::WebSaveLocalDialog), L"S_OK left") << "cancelled";
}

TEST_F(FilesTest, SaveDialogsNeedTheSaveRightAndWebSaveLocalADocument) {
    EXPECT_EQ(Call(&IFoliumFun::WebSaveLocal), L"S_FALSE 0");
    // The path dialog needs no document, and saves nothing.
    AnswerDialog(L"GetSaveFileNameW", Work(L"draft"));
    EXPECT_EQ(Call(&IFoliumFun::WebSaveLocalDialog), L"S_OK " + Work(L"draft.pdf"));
    EXPECT_FALSE(Exists(Work(L"draft.pdf")));
    Open(Document(1));
    SetSaveAllowed(0);
    EXPECT_EQ(Call(&IFoliumFun::WebSaveLocal), L"S_FALSE 0");
    EXPECT_TRUE(Journaled(L"Application.SaveAllowed"));
    EXPECT_EQ(Call(&IFoliumFun::WebSaveLocalDialog), L"S_FALSE left");
    EXPECT_EQ(CapturedOf(L"GetSaveFileNameW").size(), 1u) << "the user is not asked";
    EXPECT_FALSE(Journaled(L"Document.SaveAs"));
}

// ---- closing and saving ----------------------------------------------------------------------

TEST_F(FilesTest, WebCloseClosesTheFirstDocumentAndCloseFileTheActiveOne) {
    EXPECT_EQ(Call(&IFoliumFun::WebClose), L"S_OK 0");
    EXPECT_FALSE(Journaled(L"Documents.Close"));
    Open(Document(1));
    Open(Document(2));
    Open(Document(3));
    EXPECT_EQ(Call(&IFoliumFun::WebClose), L"S_OK 1");
    EXPECT_TRUE(Journaled(L"Documents.Close(0)")) << JournalText();
    EXPECT_EQ(PageCount(), 3);
    sim->ClearJournal();
    EXPECT_EQ(Call(&IFoliumFun::closeFile), L"S_OK -1");
    EXPECT_TRUE(Journaled(L"Documents.Close(missing)")) << JournalText();
    EXPECT_EQ(DocumentCount(), I4(1));
    EXPECT_EQ(PageCount(), 2);
}

TEST_F(FilesTest, WebSaveLocalFileWritesPassingTheGateThenTellsThePage) {
    // Nothing saved (no document, a bad folder): the page is still told.
    EXPECT_EQ(Call(&IFoliumFun::WebSaveLocalFile, Work(L"x.pdf")), L"S_OK 0");
    EXPECT_TRUE(Journaled(L"Application.SaveFinished()"));
    Open(Document(3));
    EXPECT_EQ(Call(&IFoliumFun::WebSaveLocalFile, Work(L"no\\x.pdf")), L"S_OK 0");
    EXPECT_TRUE(Journaled(L"Application.SaveFinished()"));
    sim->ClearJournal();
    std::wstring target = Work(L"copy.pdf");
    EXPECT_EQ(Call(&IFoliumFun::WebSaveLocalFile, target), L"S_OK 1");
    EXPECT_EQ(JournalLines(), (Lines{L"Application.Documents", L"Documents.ActiveDocument", L"Application.SaveAllowed",
                                     L"Document.SaveAs(" + Quoted(target) + L")", L"Application.SaveFinished()"}));
    EXPECT_NE(ReadAll(target).find("page 3"), std::string::npos);
    SetSaveAllowed(0);
    EXPECT_EQ(Call(&IFoliumFun::WebSaveLocalFile, Work(L"y.pdf")), L"S_FALSE 0");
    EXPECT_EQ(JournalLines(), (Lines{L"Application.Documents", L"Documents.ActiveDocument", L"Application.SaveAllowed"}));
    EXPECT_FALSE(Exists(Work(L"y.pdf")));
}

TEST_F(FilesTest, SaveFileWritesToTheGivenPathOrBackToItsOwnFile) {
    EXPECT_EQ(Call(&IFoliumFun::saveFile, L""), L"S_FALSE 0");
    std::wstring own = OpenPath(Document(2));
    SetSaveAllowed(0);  // no save gate here
    EXPECT_EQ(Call(&IFoliumFun::saveFile, L""), L"S_OK -1");
    EXPECT_EQ(JournalLines(), (Lines{L"Application.Documents", L"Documents.ActiveDocument", L"Document.FileInfo",
                                     L"DocumentFile.Folder", L"DocumentFile.Name", L"Document.SaveAs(" + Quoted(own) + L")"}));
    EXPECT_EQ(Call(&IFoliumFun::saveFile, Work(L"elsewhere.pdf")), L"S_OK -1");
    EXPECT_TRUE(Exists(Work(L"elsewhere.pdf")));
    EXPECT_EQ(Call(&IFoliumFun::saveFile, Work(L"nowhere\\x.pdf")), L"S_OK 7") << "a failed save leaves the result";
}

TEST_F(FilesTest, SaveLocalFileNoSignatureDropsSealsOfAnyCaseFromCopyAndDocument) {
    std::wstring target = Work(L"x.pdf");
    EXPECT_EQ(Call(&IFoliumFun::SaveLocalFileNoSignature, target), L"S_FALSE 1") << "no document";
    Open("{\"pages\":[{\"annotations\":[" + Seal() + "]}]}");
    SetSaveAllowed(0);
    EXPECT_EQ(Call(&IFoliumFun::SaveLocalFileNoSignature, target), L"S_FALSE 1");
    EXPECT_EQ(AnnotationTypes(0), Lines{L"Brimwell:AddSeal"}) << "refused: the seals stay";
    EXPECT_FALSE(Exists(target));
    SetSaveAllowed(1);
    // Two seals side by side: removing while walking forward would skip the second.
    Open("{\"pages\":[{\"annotations\":[" + Seal() + "," + Seal("brimwell:addseal") +
         ",{\"kind\":0,\"contents\":\"note\"}]},{\"annotations\":[{\"kind\":2}]},{\"annotations\":[" +
         Seal("BRIMWELL:ADDSEAL") + "]}]}");
    EXPECT_EQ(Call(&IFoliumFun::SaveLocalFileNoSignature, target), L"S_OK 0");
    EXPECT_EQ(JournalWith(L"Annotation.Delete()").size(), 3u);
    long copy = JournalIndex(L"Document.SaveCopyAs(" + Quoted(target) + L", 0)");
    EXPECT_GE(copy, 0) << JournalText();
    EXPECT_GT(JournalIndex(L"Document.SetModified(0)"), copy);
    std::string saved = ReadAll(target);
    std::transform(saved.begin(), saved.end(), saved.begin(), ::tolower);
    EXPECT_EQ(saved.find("brimwell:addseal"), std::string::npos);
    EXPECT_NE(saved.find("\"note\""), std::string::npos);
    // The seals are gone from the open document too, which reads as unmodified.
    EXPECT_EQ(AnnotationTypes(0), Lines{L"Text"});
    EXPECT_EQ(AnnotationTypes(1), Lines{L"FreeText"});
    EXPECT_TRUE(AnnotationTypes(2).empty());
    EXPECT_EQ(Modified(), I4(0));
    EXPECT_EQ(Call(&IFoliumFun::SaveLocalFileNoSignature, Work(L"nowhere\\x.pdf")), L"S_OK -1") << "the host's result";
}

// ---- base64 ----------------------------------------------------------------------------------

TEST_F(FilesTest, GetFileBase64EncodesTheDocumentFileOfEveryLength) {
    std::wstring path = OpenPath(Document(4, ",\"selectedBookmark\":\"签章\""));
    std::string bytes = ReadAll(path);
    EXPECT_EQ(Call(&IFoliumFun::GetFileBase64, L""), L"S_OK " + SystemBase64(bytes));
    // The reader keeps no hold on the file: give it lengths of each remainder.
    for (int extra = 0; extra < 3; ++extra) {
        std::string padded = bytes + std::string(extra + 3, ' ');
        WriteAll(path, padded);
        EXPECT_EQ(Call(&IFoliumFun::GetFileBase64, nullptr), L"S_OK " + SystemBase64(padded)) << padded.size();
    }
    // A private table, its 65th character the padding; too short a table encodes nothing.
    std::wstring table(kStandardDigits.rbegin(), kStandardDigits.rend());
    table += L"*";
    std::wstring expected = SystemBase64(bytes + "   ");
    for (auto& c : expected) c = c == L'=' ? L'*' : table[kStandardDigits.find(static_cast<char>(c))];
    WriteAll(path, bytes + "   ");
    EXPECT_EQ(Call(&IFoliumFun::GetFileBase64, table), L"S_OK " + expected);
    EXPECT_EQ(Call(&IFoliumFun::GetFileBase64, L"ABCDEFGHIJ"), L"S_FALSE ");
    WriteAll(path, "");
    EXPECT_EQ(Call(&IFoliumFun::GetFileBase64, nullptr), L"S_OK ");
    ASSERT_TRUE(DeleteFileW(path.c_str()));
    EXPECT_EQ(Call(&IFoliumFun::GetFileBase64, L""), L"S_OK ") << "an unreadable file";
    EXPECT_TRUE(CapturedOf().empty()) << "no message";
}

TEST_F(FilesTest, GetFileBase64RefusesUnsavedChangesOfdDocumentsAndNoDocument) {
    EXPECT_EQ(Call(&IFoliumFun::GetFileBase64, L""), L"S_FALSE ");
    Open(Document(1));
    ASSERT_EQ(Active()->SetModified(1), S_OK);
    EXPECT_EQ(Call(&IFoliumFun::GetFileBase64, L""), L"S_FALSE ");
    EXPECT_EQ(CapturedOf(), Lines{L"MessageBoxW(null, \"请先保存文档！\", null, 64)"});
    ASSERT_EQ(fun->put_AlterUser(0), S_OK);  // silent
    EXPECT_EQ(Call(&IFoliumFun::GetFileBase64, L""), L"S_FALSE ");
    EXPECT_EQ(CapturedOf().size(), 1u);
    ASSERT_EQ(fun->put_AlterUser(1), S_OK);
    Open("{\"type\":\"OFD\",\"pages\":" + PagesJson(1) + "}");
    EXPECT_EQ(Call(&IFoliumFun::GetFileBase64, L""), L"S_FALSE ");
    EXPECT_TRUE(Journaled(L"Document.DocumentType"));
    EXPECT_EQ(CapturedOf().size(), 1u) << "OFD is refused silently";
}

TEST_F(FilesTest, SaveFileToBase64AsksTheSignatureEngineWithTheStandardTable) {
    EXPECT_EQ(Call(&IFoliumFun::SaveFileToBase64, 1), L"S_FALSE ") << "no document";
    Open(Document(1));
    EXPECT_EQ(Call(&IFoliumFun::SaveFileToBase64, 1), L"S_OK ") << "no engine";
    EXPECT_TRUE(Journaled(L"Document.SetModified(0)"));
    ComPtr<IQxStandIn> engine;
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    engine->SetResult(UniqueBstr(L"GetFileBase64").get(), *ScopedVariant::I4(12).get());
    EXPECT_EQ(Call(&IFoliumFun::SaveFileToBase64, 1), L"S_OK ") << "an answer that is not text";
    engine->SetResult(UniqueBstr(L"GetFileBase64").get(), *ScopedVariant::Bstr(L"JVBERi0=").get());
    engine->ClearCalls();
    sim->ClearJournal();
    // Other kinds only mark the document saved.
    EXPECT_EQ(Call(&IFoliumFun::SaveFileToBase64, 0), L"S_OK ");
    EXPECT_TRUE(Journaled(L"Document.SetModified(0)"));
    EXPECT_TRUE(quirexsim::Calls(engine.get()).empty());
    ASSERT_EQ(Active()->SetModified(1), S_OK);
    EXPECT_EQ(Call(&IFoliumFun::SaveFileToBase64, 1), L"S_OK JVBERi0=");
    EXPECT_EQ(quirexsim::Calls(engine.get()),
              Lines{L"GetFileBase64:M:1|VT_BSTR=\"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=\""});
    EXPECT_EQ(Modified(), I4(0));
    // The save gate stops it before the engine.
    engine->ClearCalls();
    ASSERT_EQ(Active()->SetModified(1), S_OK);
    SetSaveAllowed(0);
    EXPECT_EQ(Call(&IFoliumFun::SaveFileToBase64, 1), L"S_FALSE ");
    EXPECT_FALSE(Journaled(L"Document.SetModified"));
    EXPECT_EQ(Modified(), I4(1));
    EXPECT_TRUE(quirexsim::Calls(engine.get()).empty());
}

// ---- file facts ------------------------------------------------------------------------------

TEST_F(FilesTest, NamesPathsAndSizeOfTheActiveDocument) {
    EXPECT_EQ(Call(&IFoliumFun::get_LocalFileName), L"S_FALSE ");
    EXPECT_EQ(Call(&IFoliumFun::GetFileName, 0), L"S_FALSE ");
    EXPECT_EQ(Call(&IFoliumFun::WebGetFilePath), L"S_FALSE ");
    EXPECT_EQ(Call(&IFoliumFun::FileSize), L"S_FALSE 0");
    EXPECT_EQ(Call(&IFoliumFun::getLogFilePath), L"S_OK ") << "there is no log file";
    std::wstring path = OpenPath(Document(1));
    EXPECT_EQ(Call(&IFoliumFun::get_LocalFileName), L"S_OK " + path);
    // The index is not used; the host's folder already ends in a backslash: no second one.
    EXPECT_EQ(Call(&IFoliumFun::GetFileName, 5), L"S_OK " + path.substr(path.find_last_of(L'\\') + 1));
    EXPECT_EQ(Call(&IFoliumFun::WebGetFilePath), L"S_OK " + path);
    // Whole kilobytes of the file.
    std::string base = Document(1);
    for (auto [bytes, kb] : {std::pair<size_t, LONG>{1023, 0}, {1024, 1}, {1500, 1}, {2048, 2}, {5000, 4}}) {
        ASSERT_EQ(Call(&IFoliumFun::WebOpenLocalFile, WriteFixture(base + std::string(bytes - base.size(), ' '))),
                  L"S_OK 1");
        EXPECT_EQ(Call(&IFoliumFun::FileSize), L"S_OK " + std::to_wstring(kb)) << bytes << " bytes";
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
    EXPECT_EQ(Call(&IFoliumFun::WebDownLoadFile, url, target), L"S_OK -1");
    EXPECT_TRUE(ReadAll(target) == body);
    EXPECT_EQ(JournalLines(), (Lines{L"Application.CreateNetFile()", L"NetFile.Reset()",
                                     L"NetFile.Open(0, " + Quoted(url) + L", 0, missing, missing)", L"NetFile.Transfer()",
                                     L"NetFile.SaveToFile(0, " + Quoted(target) + L")", L"NetFile.Close()"}));
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0].method, "GET");
    // An error reply is false; an address the transfer cannot use stops before the transfer.
    sim->ClearJournal();
    EXPECT_EQ(Call(&IFoliumFun::WebDownLoadFile, server.Url("/nothing"), Work(L"n.bin")), L"S_OK 0");
    EXPECT_TRUE(Journaled(L"NetFile.Close()"));
    sim->ClearJournal();
    EXPECT_EQ(Call(&IFoliumFun::WebDownLoadFile, L"ftp://127.0.0.1/x", Work(L"f.bin")), L"S_OK 0");
    EXPECT_EQ(JournalLines(), (Lines{L"Application.CreateNetFile()", L"NetFile.Reset()",
                                     L"NetFile.Open(0, \"ftp://127.0.0.1/x\", 0, missing, missing)",
                                     L"NetFile.Close()"}));
}

TEST_F(FilesTest, WebUpLoadFilePostsTheDocumentAsAForm) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    server.Answer("/upload", 200, "OK");
    const std::wstring url = server.Url("/upload");
    EXPECT_EQ(Call(&IFoliumFun::WebUpLoadFile, url, L""), L"S_FALSE 7") << "no document";
    EXPECT_FALSE(Journaled(L"Application.CreateNetFile"));
    Open(Document(2, ",\"selectedBookmark\":\"upload-marker\""));
    EXPECT_EQ(Call(&IFoliumFun::WebUpLoadFile, url, L"id=42&kind=contract"), L"S_OK -1");
    // The document went through a fresh file directly in the temporary folder, gone once
    // the transfer is over.
    std::wstring temp = UploadCopy();
    ASSERT_FALSE(temp.empty()) << JournalText();
    EXPECT_FALSE(Exists(temp)) << "the copy of the document stayed behind";
    EXPECT_EQ(_wcsnicmp(temp.c_str(), TempFolder().c_str(), TempFolder().size()), 0) << temp;
    EXPECT_EQ(temp.find(L'\\', TempFolder().size()), std::wstring::npos) << "directly in the folder";
    EXPECT_EQ(JournalLines(),
              (Lines{L"Application.Documents", L"Documents.ActiveDocument", L"Document.SaveAs(" + Quoted(temp) + L")",
                     L"Application.CreateNetFile()", L"NetFile.Reset()",
                     L"NetFile.AddFormField(\"FormData\", \"id=42&kind=contract\")",
                     L"NetFile.AddFormFile(\"FileData\", " + Quoted(temp) + L")", L"NetFile.SetPost(-1)",
                     L"NetFile.Open(0, " + Quoted(url) + L", 0, missing, missing)", L"NetFile.Transfer()",
                     L"NetFile.Close()"}));
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
    EXPECT_EQ(Call(&IFoliumFun::WebUpLoadFile, url, L""), L"S_OK -1");
    UploadCopy();
    EXPECT_FALSE(Journaled(L"NetFile.AddFormField"));
    ASSERT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(server.Requests()[1].body.find("FormData"), std::string::npos);
    sim->ClearJournal();
    server.Answer("/upload", 500, "no");
    EXPECT_EQ(Call(&IFoliumFun::WebUpLoadFile, url, L"x"), L"S_OK 0");
    UploadCopy();
}

// ---- cookie text -----------------------------------------------------------------------------

TEST_F(FilesTest, CookieMembersAreWrittenInNameOrderEachClosedBySemicolon) {
    EXPECT_EQ(Call(&IFoliumFun::INetSetCookieEx, L"http://ignored/", L"{\"b\":\"2\",\"a\":\"1\"}"), L"S_OK -1");
    // Text that is not JSON stores nothing but succeeds; an empty cookie is traced once.
    EXPECT_EQ(Call(&IFoliumFun::INetSetCookieEx, L"", L"sid=abc"), L"S_OK -1");
    EXPECT_EQ(Call(&IFoliumFun::INetSetCookieEx, nullptr, nullptr), L"S_OK -1");
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
    std::wstring Import(LONG start, LONG trail, LONG place) {
        return Call(&IFoliumFun::ImportPages, source, start, trail, place);
    }
    std::wstring Delete(LONG start, LONG trail, bool ext = false) {
        return Call(ext ? &IFoliumFun::DeletePagesExt : &IFoliumFun::DeletePages, start, trail);
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
        EXPECT_EQ(Import(c.start, c.trail, c.place), L"S_OK 1");
        EXPECT_TRUE(Journaled(L"Pages.Insert(" + Quoted(source) + L", " + c.at + L", \"" + c.range + L"\")"))
            << JournalText();
        EXPECT_TRUE(Journaled(L"Document.Permission(6)"));
    }
    Open(Document(2));
    EXPECT_EQ(Import(3, 5, 0), L"S_FALSE 1");
    EXPECT_FALSE(Journaled(L"Pages.Insert"));
    source = Work(L"absent.json");
    EXPECT_EQ(Import(1, 1, 0), L"S_OK 0") << "nothing inserted";
    EXPECT_EQ(PageCount(), 2);
}

TEST_F(PageMembers, PageMembersNeedADocumentAndPageAssemblyRights) {
    for (bool open : {false, true}) {
        if (open) Open(Document(4, ",\"permissions\":{\"6\":false}"));
        EXPECT_EQ(Import(1, 1, 0), L"S_FALSE 1");
        EXPECT_EQ(Delete(1, 2), L"S_FALSE 0");
        EXPECT_EQ(Delete(1, 2, true), L"S_FALSE 1");
    }
    EXPECT_FALSE(Journaled(L"Pages.Insert"));
    EXPECT_EQ(PageCount(), 4);
}

TEST_F(PageMembers, DeletePagesRemovesARangeOfAtLeastTwoPages) {
    Open(Document(3));
    for (auto [start, trail] : {std::pair<LONG, LONG>{2, 2}, {3, 2}, {2, 4}, {4, 5}})
        EXPECT_EQ(Delete(start, trail), L"S_FALSE 0") << start << "-" << trail;
    EXPECT_FALSE(Journaled(L"Pages.Delete"));
    Open(Document(5));
    EXPECT_EQ(Delete(2, 4), L"S_OK 3");
    EXPECT_EQ(JournalWith(L"Pages.Delete"), Lines{L"Pages.Delete(\"2-4\")"});
    EXPECT_EQ(PageCount(), 2);
}

TEST_F(PageMembers, DeletePagesKeepsPagesWithASealOfExactlyThatTypeInTheRange) {
    Open("{\"pages\":[{},{},{\"annotations\":[{\"kind\":0}," + Seal() + "]},{}]}");
    EXPECT_EQ(Delete(2, 3), L"S_OK 0");
    EXPECT_FALSE(Journaled(L"Pages.Delete"));
    EXPECT_EQ(Delete(1, 2), L"S_OK 2") << "a seal outside the range does not matter";
    EXPECT_EQ(PageCount(), 2);
    Open("{\"pages\":[{\"annotations\":[" + Seal("brimwell:addseal") + "]},{},{}]}");
    EXPECT_EQ(Delete(1, 2), L"S_OK 2");
    EXPECT_EQ(PageCount(), 1);
}

TEST_F(PageMembers, DeletePagesExtIgnoresSealsStartsFromOneAndNeverEmptiesTheDocument) {
    Open("{\"pages\":[{\"annotations\":[" + Seal() + "]},{},{},{}]}");
    EXPECT_EQ(Delete(1, 2, true), L"S_OK 2");
    EXPECT_EQ(PageCount(), 2);
    EXPECT_EQ(Delete(2, 2, true), L"S_FALSE 1");
    Open(Document(3));
    EXPECT_EQ(Delete(1, 3, true), L"S_OK 1") << "accepted by the range rule, refused by the reader";
    EXPECT_EQ(PageCount(), 3);
    sim->ClearJournal();
    EXPECT_EQ(Delete(0, 3, true), L"S_FALSE 1") << "starts before the first page and spans the count";
    EXPECT_FALSE(Journaled(L"Pages.Delete"));
    EXPECT_EQ(Delete(0, 3), L"S_OK 0") << "DeletePages lets it through to the reader";
    EXPECT_TRUE(Journaled(L"Pages.Delete(\"0-3\")")) << JournalText();
}

// ---- attachments -----------------------------------------------------------------------------

TEST_F(FilesTest, AddAttachmentsAttachesAFileWithItsDescription) {
    EXPECT_EQ(Call(&IFoliumFun::AddAttachments, Work(L"x.txt"), L""), L"S_FALSE 0");
    Open(Document(1));
    EXPECT_EQ(Call(&IFoliumFun::AddAttachments, Work(L"x.txt"), L""), L"S_OK 0") << "a missing file";
    std::wstring file = Work(L"terms.txt");
    WriteAll(file, "attachment body");
    EXPECT_EQ(Call(&IFoliumFun::AddAttachments, file, L"说明"), L"S_OK 1");
    EXPECT_TRUE(Journaled(L"Attachments.Add(" + Quoted(file) + L", \"说明\")")) << JournalText();
    EXPECT_EQ(AttachmentNames(), Lines{Str(L"terms.txt")});
}

TEST_F(FilesTest, DelAttachmentsRemovesTheFirstOfExactlyThatNameOrAll) {
    std::string list;
    for (std::string name : {"a.txt", "b.txt", "B.txt", "b.txt"})
        list += (list.empty() ? "" : ",") + ("{\"name\":\"" + name + "\",\"data\":\"QUJD\"}");
    Open(Document(1, ",\"attachments\":[" + list + "]"));
    auto del = [&](const wchar_t* name) { return Call(&IFoliumFun::DelAttachments, name); };
    EXPECT_EQ(del(L"B.txt"), L"S_OK 1");
    EXPECT_EQ(JournalWith(L"Attachments.Remove"), Lines{L"Attachments.Remove(2)"});
    EXPECT_EQ(AttachmentNames(), (Lines{Str(L"a.txt"), Str(L"b.txt"), Str(L"b.txt")}));
    sim->ClearJournal();
    EXPECT_EQ(del(L"A.TXT"), L"S_OK 7") << "an unknown name leaves the result";
    EXPECT_FALSE(Journaled(L"Attachments.Remove"));
    EXPECT_EQ(del(L""), L"S_OK 1");
    EXPECT_EQ(JournalWith(L"Attachments.Remove"), (Lines(3, L"Attachments.Remove(0)")));
    EXPECT_TRUE(AttachmentNames().empty());
    EXPECT_EQ(del(L""), L"S_OK 7") << "none left";
    Call(&IFoliumFun::closeFile);
    EXPECT_EQ(del(L""), L"S_FALSE 7");
}

// ---- the members that do nothing ---------------------------------------------------------

TEST_F(FilesTest, EmptyMembersSucceedWithoutTouchingTheReaderOrTheirResult) {
    Open(Document(1));
    UniqueBstr s(L"x");
    EXPECT_EQ(Call(&IFoliumFun::WebSaveLocalFileEx, L"x", L"x", L"x", L"x", L"x", L"x"), L"S_OK 7");
    EXPECT_EQ(fun->setReaderMode(2), S_OK);
    EXPECT_EQ(fun->setViewPreference(s.get(), s.get()), S_OK);
    EXPECT_EQ(fun->addTrackInfo(s.get()), S_OK);
    EXPECT_EQ(fun->put_LocalFileName(s.get()), S_OK);
    EXPECT_TRUE(JournalLines().empty()) << JournalText();
    EXPECT_TRUE(CapturedOf().empty());
}

}  // namespace
