// Local files, dialogs, URL transfer, base64, pages, attachments and form fields, driven through
// the component loaded in the reader simulator. Dialog and message-box answers come
// from the simulator's capture of the component's imports; transfers go to a small
// HTTP server on the loopback address inside this process. The work files lie in a
// folder with a Chinese name and a space, as users in code page 936 have them (Wine
// makes such names only when the zh_CN.UTF-8 locale exists; ./folium generates it).
#include <shlobj.h>

#include <algorithm>
#include <map>

#include "FamilyTestSupport.h"
#include "LoopbackHttpServer.h"

using namespace testsupport;

namespace {

using F = IFoliumFun;

const std::wstring kDialogTail = L"\", " + std::to_wstring(0x00080000 | 0x00000800 | 0x00001000) + L", \"";
const std::wstring kDialogFilter = L"\"PDF文件(*.pdf)|*.pdf|所有文件(*.*)|*.*|\", ";
const std::wstring kStandardDigits = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Document(int pages, const std::string& extra = "", const std::string& type = "PDF") {
    std::string s = "{\"type\":\"" + type + "\",\"pages\":[";
    for (int i = 0; i < pages; ++i) s += (i ? "," : "") + ("{\"text\":\"page " + std::to_string(i + 1) + "\"}");
    return s + "]" + extra + "}";
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
        CreateDirectoryW(Work(L"").c_str(), nullptr);
        ASSERT_TRUE(Exists(Work(L""))) << "no Chinese folder names: is the zh_CN.UTF-8 locale generated?";
        CaptureImports();
    }

    std::wstring Work(const std::wstring& name) const { return privateTemp.Path() + L"公文 文件夹\\" + name; }
    // A file of the work folder with these contents.
    std::wstring Put(const std::wstring& name, const std::string& bytes) {
        EXPECT_TRUE(WriteAll(Work(name), bytes));
        return Work(name);
    }
    // Opens a file of the work folder with these contents.
    std::wstring OpenPut(const std::wstring& name, const std::string& bytes) {
        EXPECT_EQ(Call(&F::WebOpenLocalFile, Put(name, bytes)), L"S_OK 1");
        return Work(name);
    }
    // The loopback server's "127.0.0.1:port", written "srv" by Tidy.
    std::wstring site = L"\n";

    // A text with the work folder written "~/", the temporary folder "%TEMP%/" (as they
    // stand and as the journal quotes them) and the loopback server's address "srv".
    std::wstring Tidy(std::wstring text) const {
        const std::wstring work = Quoted(Work(L"")), temp = Quoted(privateTemp.Path());
        const std::pair<std::wstring, const wchar_t*> names[] = {
            {Work(L""), L"~/"}, {work.substr(1, work.size() - 2), L"~/"}, {privateTemp.Path(), L"%TEMP%/"},
            {temp.substr(1, temp.size() - 2), L"%TEMP%/"}, {site, L"srv"}};
        for (const auto& [from, to] : names)
            for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + wcslen(to)))
                text.replace(at, from.size(), to);
        return text;
    }
    // A call's outcome and the journal lines it caused (those containing one of `only`),
    // tidied; the journal starts afresh.
    std::wstring Did(const std::wstring& outcome, const Lines& only = {L""}) {
        const std::wstring out = outcome + JournalShown(only);
        sim->ClearJournal();
        return Tidy(out);
    }

    void AnswerDialog(const wchar_t* function, const std::wstring& path) {
        ASSERT_EQ(sim->SetAnswer(UniqueBstr(function).get(), *ScopedVariant::Bstr(path.c_str()).get()), S_OK);
    }
};

// ---- opening by path, URL and member of choice ----------------------------------------------

// Each opening member as its outcome, the reader's open calls and the documents then open
// (a file already open is not opened twice); WebClose closes the first document, closeFile
// the active one.
TEST_F(FilesTest, OpeningAndClosingMembersPassThePathAndTellWhetherTheReaderDidIt) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    site = server.Url("").substr(7);
    server.Answer("/served.json", 200, Document(3));
    server.Answer("/broken.json", 200, "not a document");
    const std::wstring doc = Put(L"doc.json", Document(1)), url = server.Url("/served.json");
    Put(L"subdoc.json", Document(1));
    auto opens = [&](const std::wstring& did) { return Did(did, {L"Documents."}) + L" | " + Host(L"Documents.Count"); };
    const std::wstring empty3 = L", \"\", \"\", \"\")";
    EXPECT_EQ(opens(Call(&F::WebClose)), L"S_OK 0 | Documents.Count | VT_I4=0") << "nothing to close";
    EXPECT_EQ(opens(Call(&F::WebOpenLocalFile, doc)),
              L"S_OK 1 | Documents.Open(\"~/doc.json\"" + empty3 + L" | VT_I4=1");
    EXPECT_EQ(opens(Call(&F::WebOpenLocalFile, Work(L"absent.pdf"))),
              L"S_OK 0 | Documents.Open(\"~/absent.pdf\"" + empty3 + L" | VT_I4=1");
    // The folder is joined to the name as given, without a separator; the result is never written.
    EXPECT_EQ(opens(Call(&F::WebOpenLocalFileEx, L"doc.json", L"pw", Work(L"sub"), L"e1", L"e2", L"e3")),
              L"S_OK 7 | Documents.Open(\"~/subdoc.json\", \"pw\", \"pw\", \"\") | VT_I4=2");
    EXPECT_EQ(opens(Call(&F::WebOpenLocalFileEx, L"doc.json", L"", Work(L""), nullptr, nullptr, nullptr)),
              L"S_OK 7 | Documents.Open(\"~/doc.json\"" + empty3 + L" | VT_I4=2");
    // openFile tells addresses by a case-sensitive "http:".
    EXPECT_EQ(opens(Call(&F::openFile, doc, VARIANT_FALSE)),
              L"S_OK -1 | Documents.Open(\"~/doc.json\"" + empty3 + L" | VT_I4=2");
    EXPECT_EQ(opens(Call(&F::openFile, url, VARIANT_FALSE)),
              L"S_OK -1 | Documents.OpenURL(\"http://srv/served.json\", \"\") | VT_I4=3");
    EXPECT_EQ(opens(Call(&F::openFile, L"HTTP:" + url.substr(5), VARIANT_FALSE)),
              L"S_OK 0 | Documents.Open(\"HTTP://srv/served.json\"" + empty3 + L" | VT_I4=3");
    EXPECT_EQ(opens(Call(&F::openFile, server.Url("/missing.pdf"), VARIANT_FALSE)),
              L"S_OK 0 | Documents.OpenURL(\"http://srv/missing.pdf\", \"\") | VT_I4=3");
    // WebOpenUrlFile: downloaded but not openable (a non-zero code) or a transfer error (negative) is false.
    EXPECT_EQ(opens(Call(&F::WebOpenUrlFile, url)),
              L"S_OK -1 | Documents.OpenURL(\"http://srv/served.json\", missing) | VT_I4=4");
    EXPECT_EQ(opens(Call(&F::WebOpenUrlFile, server.Url("/broken.json"))),
              L"S_OK 0 | Documents.OpenURL(\"http://srv/broken.json\", missing) | VT_I4=4");
    EXPECT_EQ(opens(Call(&F::WebOpenUrlFile, server.Url("/none.json"))),
              L"S_OK 0 | Documents.OpenURL(\"http://srv/none.json\", missing) | VT_I4=4");
    EXPECT_EQ(Host(L"Documents.ActiveDocument.Pages.Count"), I4(3));
    EXPECT_EQ(opens(Call(&F::WebClose)), L"S_OK 1 | Documents.Count | Documents.Close(0) | VT_I4=3");
    EXPECT_EQ(opens(Call(&F::closeFile)), L"S_OK -1 | Documents.Close(missing) | VT_I4=2");
}

// ---- the open and save dialogs ---------------------------------------------------------------

TEST_F(FilesTest, TheOpenDialogsStartWhereTheyShouldAndOnlyWebOpenLocalOpens) {
    AnswerDialog(L"GetOpenFileNameW", Put(L"doc.json", Document(2)));
    EXPECT_EQ(Did(Call(&F::WebOpenLocal), {L"Documents."}),
              L"S_OK -1 | Documents.Open(\"~/doc.json\", missing, missing, missing)");
    // A file the host cannot open is false; a cancelled dialog leaves the result and opens nothing.
    AnswerDialog(L"GetOpenFileNameW", Put(L"junk.pdf", "%PDF-1.7 not a fixture"));
    EXPECT_EQ(Did(Call(&F::WebOpenLocal), {L"Documents."}),
              L"S_OK 0 | Documents.Open(\"~/junk.pdf\", missing, missing, missing)");
    EXPECT_EQ(Did(Call(&F::WebOpenLocal), {L"Documents."}), L"S_OK 7");
    EXPECT_EQ(Did(Call(&F::WebOpenLocalDialog), {L"Documents."}), L"S_OK left") << "cancelled";
    // The path dialog starts on the desktop and opens nothing.
    AnswerDialog(L"GetOpenFileNameW", Work(L"picked.pdf"));
    EXPECT_EQ(Did(Call(&F::WebOpenLocalDialog), {L"Documents."}), L"S_OK ~/picked.pdf");
    const std::wstring head = L"GetOpenFileNameW(" + kDialogFilter;
    const std::wstring tail = L", \"\", \"" + kDialogTail + L"打开文档\", 1)";
    wchar_t desktop[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop);
    const std::wstring open = head + L"\"\"" + tail, fromDesktop = head + Quoted(desktop) + tail;
    EXPECT_EQ(CapturedOf(L"GetOpenFileNameW"), (Lines{open, open, open, fromDesktop, fromDesktop}));
}

TEST_F(FilesTest, WebSaveLocalCompletesTheTypedNameAndNeedsTheSaveRightAndADocument) {
    const std::wstring gate = L" | Application.SaveAllowed";
    const std::wstring before = gate + L" | Application.Documents | Documents.ActiveDocument";
    const std::wstring ask = L" | Win32.GetSaveFileNameW(" + kDialogFilter + L"\"\", \"";
    const std::wstring asked = L"\", \"" + kDialogTail + L"保存文档\", 1)";
    EXPECT_EQ(Did(Call(&F::WebSaveLocal)), L"S_FALSE 0" + before);
    // The path dialog needs no document, and saves nothing.
    AnswerDialog(L"GetSaveFileNameW", Work(L"draft"));
    EXPECT_EQ(Did(Call(&F::WebSaveLocalDialog)), L"S_OK ~/draft.pdf" + gate + ask + asked);
    Open(Document(1));
    ASSERT_EQ(fun->put_FileName(UniqueBstr(L"合同草稿").get()), S_OK);
    sim->ClearJournal();
    // The dialog starts from the FileName property, with no folder and no default extension. Only the
    // last three characters of the name count, in any case: no dot is needed. Filter 2 ("所有文件") adds nothing.
    const std::wstring dialog = before + ask + L"合同草稿" + asked;
    for (auto [typed, saved] : {std::pair<const wchar_t*, const wchar_t*>{L"contract", L"contract.pdf"},
                                {L"REPORT.PDF", L"REPORT.PDF"}, {L"notes-pdf", L"notes-pdf"}, {L"a.pd", L"a.pd.pdf"},
                                {L"1|typed", L"typed.pdf"}, {L"2|typed", L"typed"}}) {
        const std::wstring answer = typed;
        const size_t bar = answer.find(L'|') + 1;
        AnswerDialog(L"GetSaveFileNameW", answer.substr(0, bar) + Work(answer.substr(bar)));
        EXPECT_EQ(Did(Call(&F::WebSaveLocal)),
                  L"S_OK -1" + dialog + L" | Document.SaveAs(\"~/" + saved + L"\") | Application.SaveFinished()");
    }
    // A failed save is false and still tells the page; a cancelled dialog saves nothing.
    AnswerDialog(L"GetSaveFileNameW", Work(L"no-such-folder\\x.pdf"));
    EXPECT_EQ(Did(Call(&F::WebSaveLocal)),
              L"S_OK 0" + dialog + L" | Document.SaveAs(\"~/no-such-folder\\\\x.pdf\") | Application.SaveFinished()");
    EXPECT_EQ(Did(Call(&F::WebSaveLocal)), L"S_OK 0" + dialog);
    EXPECT_EQ(Did(Call(&F::WebSaveLocalDialog)), L"S_OK left" + gate + ask + L"合同草稿" + asked) << "cancelled";
    // Without the right the user is not asked.
    Host(L"SaveAllowed=0");
    EXPECT_EQ(Did(Call(&F::WebSaveLocal)), L"S_FALSE 0" + gate);
    EXPECT_EQ(Did(Call(&F::WebSaveLocalDialog)), L"S_FALSE left" + gate);
}

// ---- saving ----------------------------------------------------------------------------------

TEST_F(FilesTest, WebSaveLocalFileWritesPassingTheGateThenTellsThePage) {
    // Nothing saved (no document, a bad folder): the page is still told.
    EXPECT_EQ(Did(Call(&F::WebSaveLocalFile, Work(L"x.pdf"))),
              L"S_OK 0 | Application.Documents | Documents.ActiveDocument | Application.SaveAllowed"
              L" | Application.SaveFinished()");
    Open(Document(3));
    const std::wstring gate = L" | Application.Documents | Documents.ActiveDocument | Application.SaveAllowed";
    EXPECT_EQ(Did(Call(&F::WebSaveLocalFile, Work(L"no\\x.pdf"))),
              L"S_OK 0" + gate + L" | Document.SaveAs(\"~/no\\\\x.pdf\") | Application.SaveFinished()");
    EXPECT_EQ(Did(Call(&F::WebSaveLocalFile, Work(L"copy.pdf"))),
              L"S_OK 1" + gate + L" | Document.SaveAs(\"~/copy.pdf\") | Application.SaveFinished()");
    Host(L"SaveAllowed=0");
    EXPECT_EQ(Did(Call(&F::WebSaveLocalFile, Work(L"y.pdf"))), L"S_FALSE 0" + gate);
}

TEST_F(FilesTest, SaveFileWritesToTheGivenPathOrBackToItsOwnFile) {
    OpenPut(L"own.json", Document(2));
    Host(L"SaveAllowed=0");  // no save gate here
    sim->ClearJournal();
    EXPECT_EQ(Did(Call(&F::saveFile, L"")), L"S_OK -1 | Application.Documents | Documents.ActiveDocument | "
                                            L"Document.FileInfo | DocumentFile.Folder | DocumentFile.Name | "
                                            L"Document.SaveAs(\"~/own.json\")");
    EXPECT_EQ(Did(Call(&F::saveFile, Work(L"elsewhere.pdf")), {L"SaveAs"}),
              L"S_OK -1 | Document.SaveAs(\"~/elsewhere.pdf\")");
    EXPECT_EQ(Call(&F::saveFile, Work(L"nowhere\\x.pdf")), L"S_OK 7") << "a failed save leaves the result";
}

TEST_F(FilesTest, SaveLocalFileNoSignatureDropsSealsOfAnyCaseFromCopyAndDocument) {
    std::wstring target = Work(L"x.pdf");
    Open("{\"pages\":[{\"annotations\":[" + Seal() + "]}]}");
    Host(L"SaveAllowed=0");
    const Lines shown = {L".Delete", L"SaveCopyAs", L"SetModified"};
    EXPECT_EQ(Did(Call(&F::SaveLocalFileNoSignature, target), shown), L"S_FALSE 1") << "refused: the seals stay";
    Host(L"SaveAllowed=1");
    // Two seals side by side: removing while walking forward would skip the second.
    Open("{\"pages\":[{\"annotations\":[" + Seal() + "," + Seal("brimwell:addseal") +
         ",{\"kind\":0,\"contents\":\"note\"}]},{\"annotations\":[{\"kind\":2}]},{\"annotations\":[" +
         Seal("BRIMWELL:ADDSEAL") + "]}]}");
    // The seals go from the open document too, which is then marked unmodified.
    EXPECT_EQ(Did(Call(&F::SaveLocalFileNoSignature, target), shown),
              L"S_OK 0 | Annotation.Delete() | Annotation.Delete() | Annotation.Delete()"
              L" | Document.SaveCopyAs(\"~/x.pdf\", 0) | Document.SetModified(0)");
    EXPECT_EQ(Call(&F::SaveLocalFileNoSignature, Work(L"nowhere\\x.pdf")), L"S_OK -1") << "the host's result";
    // An unreadable save right reads as allowed; a failed copy answers the member's initial 1.
    ASSERT_EQ(quirexsim::FailOperation(sim.get(), L"Application.SaveAllowed", E_FAIL, -1), S_OK);
    ASSERT_EQ(quirexsim::FailOperation(sim.get(), L"Document.SaveCopyAs", E_FAIL, -1), S_OK);
    EXPECT_EQ(Call(&F::SaveLocalFileNoSignature, target), L"S_OK 1");
}

// ---- base64 ----------------------------------------------------------------------------------

TEST_F(FilesTest, GetFileBase64EncodesTheDocumentFileOfEveryLength) {
    std::wstring path = OpenPut(L"合同.json", Document(4, ",\"selectedBookmark\":\"签章\""));
    std::string bytes = ReadAll(path);
    EXPECT_EQ(Call(&F::GetFileBase64, L""), L"S_OK " + SystemBase64(bytes));
    // The reader keeps no hold on the file: it is read again, here and below at each other remainder of three.
    WriteAll(path, bytes + "  ");
    EXPECT_EQ(Call(&F::GetFileBase64, nullptr), L"S_OK " + SystemBase64(bytes + "  "));
    // A private table, its 65th character the padding (a euro sign, one byte in the code page that the
    // table is read in and widened back from); too short a table encodes nothing.
    std::wstring table(kStandardDigits.rbegin(), kStandardDigits.rend());
    table += L"\u20AC";
    std::wstring expected = SystemBase64(bytes + " ");
    for (auto& c : expected) c = c == L'=' ? L'\u20AC' : table[kStandardDigits.find(c)];
    WriteAll(path, bytes + " ");
    EXPECT_EQ(Call(&F::GetFileBase64, table), L"S_OK " + expected);
    EXPECT_EQ(Call(&F::GetFileBase64, L"ABCDEFGHIJ"), L"S_FALSE ");
    WriteAll(path, "");
    EXPECT_EQ(Call(&F::GetFileBase64, nullptr), L"S_OK ");
    ASSERT_TRUE(DeleteFileW(path.c_str()));
    EXPECT_EQ(Call(&F::GetFileBase64, L""), L"S_OK ") << "an unreadable file";
    EXPECT_TRUE(CapturedOf().empty()) << "no message";
}

// Unsaved changes (or an unreadable modified flag) and a document without a file are
// refused with a message unless AlterUser is 0; a document without a file even then.
TEST_F(FilesTest, GetFileBase64RefusesUnsavedOrFilelessOrOfdDocuments) {
    const std::wstring box = L" | Win32.MessageBoxW(null, \"请先保存文档！\", null, 64)";
    auto base64 = [&] { return Did(Call(&F::GetFileBase64, L""), {L"Win32."}); };
    Open(Document(1));
    Host(L"Documents.ActiveDocument.SetModified(1)");
    EXPECT_EQ(base64(), L"S_FALSE " + box);
    ASSERT_EQ(fun->put_AlterUser(0), S_OK);
    EXPECT_EQ(base64(), L"S_FALSE ");
    Host(L"Documents.ActiveDocument.SetModified(0)");
    ASSERT_EQ(quirexsim::FailOperation(sim.get(), L"Document.Modified", E_FAIL, -1), S_OK);
    EXPECT_EQ(base64(), L"S_FALSE ");
    sim->ClearFailures();
    LONG detached = -1;
    ASSERT_EQ(sim->DetachFile(&detached), S_OK);
    EXPECT_EQ(base64(), L"S_FALSE " + box);
    ASSERT_EQ(fun->put_AlterUser(1), S_OK);
    EXPECT_EQ(base64(), L"S_FALSE " + box);
    Open(Document(1, "", "OFD"));
    EXPECT_EQ(base64(), L"S_FALSE ") << "OFD is refused silently";
}

TEST_F(FilesTest, SaveFileToBase64AsksTheSignatureEngineWithTheStandardTable) {
    ComPtr<IQxStandIn> engine;
    // The outcome, the document marked saved, the engine's calls and the modified flag afterwards.
    auto save = [&](LONG kind) {
        std::wstring out = Did(Call(&F::SaveFileToBase64, kind), {L"SetModified"});
        for (const std::wstring& call : engine ? quirexsim::Calls(engine.get()) : Lines{}) out += L" | " + call;
        if (engine) engine->ClearCalls();
        return out + L" | " + Host(L"Documents.ActiveDocument.Modified");
    };
    EXPECT_EQ(save(1), L"S_FALSE  | failed 0x80004003") << "no document";
    Open(Document(1));
    Host(L"Documents.ActiveDocument.SetModified(1)");
    EXPECT_EQ(save(1), L"S_OK  | Document.SetModified(0) | VT_I4=0") << "no engine";
    ASSERT_EQ(sim->AddStandIn(UniqueBstr(L"Veridane.Folium2015").get(), engine.put()), S_OK);
    engine->SetResult(UniqueBstr(L"GetFileBase64").get(), *ScopedVariant::I4(12).get());
    const std::wstring asked = L" | GetFileBase64:M:1|VT_BSTR=\"" + kStandardDigits + L"=\"";
    EXPECT_EQ(save(1), L"S_OK  | Document.SetModified(0)" + asked + L" | VT_I4=0") << "an answer that is not text";
    engine->SetResult(UniqueBstr(L"GetFileBase64").get(), *ScopedVariant::Bstr(L"JVBERi0=").get());
    Host(L"Documents.ActiveDocument.SetModified(1)");
    EXPECT_EQ(save(0), L"S_OK  | Document.SetModified(0) | VT_I4=0") << "other kinds only mark the document saved";
    Host(L"Documents.ActiveDocument.SetModified(1)");
    EXPECT_EQ(save(1), L"S_OK JVBERi0= | Document.SetModified(0)" + asked + L" | VT_I4=0");
    // The save gate stops it before the engine.
    Host(L"Documents.ActiveDocument.SetModified(1)");
    Host(L"SaveAllowed=0");
    EXPECT_EQ(save(1), L"S_FALSE  | VT_I4=1");
    sim->RemoveAddIn(UniqueBstr(L"Veridane.Folium2015").get());  // the later tests run without an engine
}

// ---- file facts ------------------------------------------------------------------------------

TEST_F(FilesTest, NamesPathsAndSizeOfTheActiveDocumentAndTracedCookies) {
    EXPECT_EQ(Call(&F::FileSize), L"S_FALSE 0");
    EXPECT_EQ(Call(&F::getLogFilePath), L"S_OK ") << "there is no log file";
    // Whole kilobytes of the file; an opened document is traced with them, its name and path.
    const std::string base = Document(1);
    const std::wstring trace = L"VD_Folium2018_Normal_";
    for (auto [bytes, kb] : {std::pair<size_t, LONG>{1023, 0}, {1024, 1}, {1500, 1}, {2048, 2}, {5000, 4}}) {
        const std::wstring name = L"合同 " + std::to_wstring(bytes) + L".json";
        sim->ClearCaptured();
        const std::wstring path = OpenPut(name, base + std::string(bytes - base.size(), ' '));
        EXPECT_EQ(Call(&F::FileSize), L"S_OK " + std::to_wstring(kb)) << bytes << " bytes";
        EXPECT_EQ(quirexsim::Traces(sim.get()), (Lines{trace + std::to_wstring(kb), trace + name, trace + path}));
    }
    const std::wstring path = Work(L"合同 5000.json");
    EXPECT_EQ(Call(&F::get_LocalFileName), L"S_OK " + path);
    // The index is not used; the host's folder already ends in a backslash: no second one.
    EXPECT_EQ(Call(&F::GetFileName, 5), L"S_OK 合同 5000.json");
    EXPECT_EQ(Call(&F::WebGetFilePath), L"S_OK " + path);
    // A cookie is traced as given and, when there is text, as stored: nothing from text that is not JSON.
    sim->ClearCaptured();
    for (const wchar_t* cookie : {L"{\"b\":\"2\",\"a\":\"1\"}", L"sid=abc", L""})
        EXPECT_EQ(Call(&F::INetSetCookieEx, L"", cookie), L"S_OK -1");
    EXPECT_EQ(quirexsim::Traces(sim.get()),
              (Lines{trace + L"{\"b\":\"2\",\"a\":\"1\"}", trace + L"a=1;b=2;", trace + L"sid=abc", trace, trace}));
}

// ---- transfers -------------------------------------------------------------------------------

// WebDownLoadFile saves the reply; WebUpLoadFile posts the document as a form.
TEST_F(FilesTest, TransfersSaveTheReplyOrPostTheDocumentAsAForm) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Running());
    site = server.Url("").substr(7);
    server.Answer("/files/a.bin", 200, "reply");
    const std::wstring start = L" | Application.CreateNetFile() | NetFile.Reset() | NetFile.Open(0, \"";
    EXPECT_EQ(Did(Call(&F::WebDownLoadFile, server.Url("/files/a.bin"), Work(L"a.bin"))),
              L"S_OK -1" + start + L"http://srv/files/a.bin\", 0, missing, missing) | NetFile.Transfer()"
                                   L" | NetFile.SaveToFile(0, \"~/a.bin\") | NetFile.Close()");
    // An error reply is false; an address the transfer cannot use stops before the transfer.
    EXPECT_EQ(Did(Call(&F::WebDownLoadFile, server.Url("/nothing"), Work(L"n.bin"))),
              L"S_OK 0" + start + L"http://srv/nothing\", 0, missing, missing) | NetFile.Transfer()"
                                  L" | NetFile.SaveToFile(0, \"~/n.bin\") | NetFile.Close()");
    EXPECT_EQ(Did(Call(&F::WebDownLoadFile, L"ftp://127.0.0.1/x", Work(L"f.bin"))),
              L"S_OK 0" + start + L"ftp://127.0.0.1/x\", 0, missing, missing) | NetFile.Close()");
    ASSERT_EQ(quirexsim::NullOperation(sim.get(), L"Application.CreateNetFile", -1), S_OK);
    EXPECT_EQ(Did(Call(&F::WebDownLoadFile, server.Url("/files/a.bin"), Work(L"b.bin"))),
              L"S_OK 0 | Application.CreateNetFile() !null");
    sim->ClearFailures();
    const std::wstring url = server.Url("/upload");
    EXPECT_EQ(Did(Call(&F::WebUpLoadFile, url, L"")), L"S_FALSE 7 | Application.Documents | Documents.ActiveDocument")
        << "no document";
    Open(Document(2, ",\"selectedBookmark\":\"upload-marker\""));
    // The document goes through a fresh file directly in the temporary folder, gone once the
    // transfer is over. Without form data only the file goes; another success code is true.
    const struct {
        int status;
        const wchar_t *form, *outcome;
    } cases[] = {{200, L"id=42&kind=contract", L"S_OK -1"}, {201, L"", L"S_OK -1"}, {500, L"x", L"S_OK 0"}};
    for (const auto& c : cases) {
        server.Answer("/upload", c.status, "");
        const std::wstring did = Did(Call(&F::WebUpLoadFile, url, c.form));
        const size_t at = did.find(L"SaveAs(\"%TEMP%/") + 15;
        const std::wstring copy = did.substr(at, did.find(L'"', at) - at);
        EXPECT_FALSE(Exists(privateTemp.Path() + copy)) << "the copy of the document stayed behind";
        EXPECT_EQ(copy.find(L'\\'), std::wstring::npos) << "directly in the folder";
        const std::wstring form = c.form, field = L" | NetFile.AddFormField(\"FormData\", \"" + form + L"\")";
        EXPECT_EQ(did, c.outcome + (L" | Application.Documents | Documents.ActiveDocument | Document.SaveAs(\"%TEMP%/" +
                                    copy + L"\") | Application.CreateNetFile() | NetFile.Reset()") +
                           (form.empty() ? L"" : field) +
                           L" | NetFile.AddFormFile(\"FileData\", \"%TEMP%/" + copy + L"\") | NetFile.SetPost(-1)" +
                           L" | NetFile.Open(0, \"http://srv/upload\", 0, missing, missing) | NetFile.Transfer()" +
                           L" | NetFile.Close()");
    }
    // Without a temporary folder no copy can be made, and nothing is sent.
    SetEnvironmentVariableW(L"TMP", L"C:\\no-such-folder\\");
    const std::wstring noTemp = Did(Call(&F::WebUpLoadFile, url, L"x=1"), {L"NetFile"});
    SetEnvironmentVariableW(L"TMP", privateTemp.Path().c_str());
    EXPECT_EQ(noTemp, L"S_FALSE 7");
    EXPECT_NE(server.Requests().back().body.find("upload-marker"), std::string::npos) << "the document is posted";
}

// ---- pages -----------------------------------------------------------------------------------

// Each row opens its document (or keeps the one open) and makes one call: 'I' ImportPages
// of a five-page file, 'A' of a file that does not exist, 'D' DeletePages, 'X' DeletePagesExt.
// The outcome is compared with the page calls the reader got and the pages then open.
TEST_F(FilesTest, PageMembersCheckRangesRightsAndSealsBeforeTheReader) {
    const std::wstring source = Put(L"source.json", Document(5));
    const std::map<std::string, std::string> documents = {
        {"2", Document(2)},
        {"3", Document(3)},
        {"5", Document(5)},
        {"locked", Document(4, ",\"permissions\":{\"6\":false}")},
        {"seal on 3", "{\"pages\":[{},{},{\"annotations\":[{\"kind\":0}," + Seal() + "]},{}]}"},
        {"seal on 1", "{\"pages\":[{\"annotations\":[" + Seal() + "]},{},{},{}]}"},
        {"lower-case seal on 1", "{\"pages\":[{\"annotations\":[" + Seal("brimwell:addseal") + "]},{},{}]}"},
    };
    const struct {
        const char* document;
        char member;
        LONG start, trail, place;
        const wchar_t* outcome;
    } rows[] = {
        // Without the page assembly right nothing is asked of the reader.
        {"locked", 'I', 1, 1, 0, L"S_FALSE 1 | VT_I4=4"},
        {"", 'D', 1, 2, 0, L"S_FALSE 0 | VT_I4=4"},
        {"", 'X', 1, 2, 0, L"S_FALSE 1 | VT_I4=4"},
        // The imported range is completed, ordered and cut to the open document's page count.
        {"3", 'I', 2, 3, 1, L"S_OK 1 | Pages.Insert(\"~/source.json\", 1, \"2-3\") | VT_I4=5"},
        {"3", 'I', 0, 2, 0, L"S_OK 1 | Pages.Insert(\"~/source.json\", 0, \"0-2\") | VT_I4=5"},
        {"5", 'I', 2, 0, 3, L"S_OK 1 | Pages.Insert(\"~/source.json\", 3, \"2-5\") | VT_I4=9"},
        {"3", 'I', 3, 1, -2, L"S_OK 1 | Pages.Insert(\"~/source.json\", -1, \"1-3\") | VT_I4=6"},
        {"2", 'I', 1, 4, 9, L"S_OK 1 | Pages.Insert(\"~/source.json\", -1, \"1-2\") | VT_I4=4"},
        {"2", 'I', 3, 5, 0, L"S_FALSE 1 | VT_I4=2"},
        {"", 'A', 1, 1, 0, L"S_OK 0 | Pages.Insert(\"~/absent.json\", 0, \"1-1\") | VT_I4=2"},
        // DeletePages removes a range of at least two pages within the document.
        {"3", 'D', 2, 2, 0, L"S_FALSE 0 | VT_I4=3"},
        {"", 'D', 3, 2, 0, L"S_FALSE 0 | VT_I4=3"},
        {"", 'D', 2, 4, 0, L"S_FALSE 0 | VT_I4=3"},
        {"", 'D', 4, 5, 0, L"S_FALSE 0 | VT_I4=3"},
        {"5", 'D', 2, 4, 0, L"S_OK 3 | Pages.Delete(\"2-4\") | VT_I4=2"},
        // ... and keeps pages holding a seal of exactly that type in the range.
        {"seal on 3", 'D', 2, 3, 0, L"S_OK 0 | VT_I4=4"},
        {"", 'D', 1, 2, 0, L"S_OK 2 | Pages.Delete(\"1-2\") | VT_I4=2"},
        {"lower-case seal on 1", 'D', 1, 2, 0, L"S_OK 2 | Pages.Delete(\"1-2\") | VT_I4=1"},
        // DeletePagesExt ignores seals, starts from one and never empties the document; the reader
        // refuses 1-3 of three pages; DeletePages lets 0-3 through to the reader.
        {"seal on 1", 'X', 1, 2, 0, L"S_OK 2 | Pages.Delete(\"1-2\") | VT_I4=2"},
        {"", 'X', 2, 2, 0, L"S_FALSE 1 | VT_I4=2"},
        {"3", 'X', 1, 3, 0, L"S_OK 1 | Pages.Delete(\"1-3\") | VT_I4=3"},
        {"", 'X', 0, 3, 0, L"S_FALSE 1 | VT_I4=3"},
        {"", 'D', 0, 3, 0, L"S_OK 0 | Pages.Delete(\"0-3\") | VT_I4=3"},
    };
    for (const auto& r : rows) {
        if (*r.document) Open(documents.at(r.document));
        const std::wstring file = r.member == 'A' ? Work(L"absent.json") : source;
        const auto remove = r.member == 'D' ? &F::DeletePages : &F::DeletePagesExt;
        const std::wstring outcome = r.member == 'I' || r.member == 'A'
                                         ? Call(&F::ImportPages, file, r.start, r.trail, r.place)
                                         : Call(remove, r.start, r.trail);
        const std::wstring pages = Host(L"Documents.ActiveDocument.Pages.Count");
        EXPECT_EQ(Did(outcome, {L"Pages.Insert", L"Pages.Delete"}) + L" | " + pages, r.outcome)
            << r.member << " " << r.start << "-" << r.trail << " on " << r.document;
    }
}

// ---- attachments -----------------------------------------------------------------------------

TEST_F(FilesTest, AttachmentsAreAddedWithTheirDescriptionAndRemovedByExactNameOrAll) {
    EXPECT_EQ(Call(&F::DelAttachments, L""), L"S_FALSE 7") << "no document";
    std::string list;
    for (std::string name : {"a.txt", "b.txt", "B.txt", "b.txt"})
        list += (list.empty() ? "" : ",") + ("{\"name\":\"" + name + "\",\"data\":\"QUJD\"}");
    Open(Document(1, ",\"attachments\":[" + list + "]"));
    auto did = [&](const std::wstring& outcome) { return Did(outcome, {L"Attachments.Add", L"Attachments.Remove"}); };
    EXPECT_EQ(did(Call(&F::AddAttachments, Work(L"x.txt"), L"")), L"S_OK 0 | Attachments.Add(\"~/x.txt\", \"\")")
        << "a missing file";
    EXPECT_EQ(did(Call(&F::AddAttachments, Put(L"terms.txt", "attachment body"), L"说明")),
              L"S_OK 1 | Attachments.Add(\"~/terms.txt\", \"说明\")");
    EXPECT_EQ(did(Call(&F::DelAttachments, L"B.txt")), L"S_OK 1 | Attachments.Remove(2)");
    EXPECT_EQ(did(Call(&F::DelAttachments, L"A.TXT")), L"S_OK 7") << "an unknown name leaves the result";
    std::wstring all4;
    for (int i = 0; i < 4; ++i) all4 += L" | Attachments.Remove(0)";
    EXPECT_EQ(did(Call(&F::DelAttachments, L"")), L"S_OK 1" + all4);
    EXPECT_EQ(did(Call(&F::DelAttachments, L"")), L"S_OK 7") << "none left";
}

// ---- form fields -----------------------------------------------------------------------------

// Fields are found by their full name (their own name when that is empty), with case, the
// first in list order; an import answers the integer 1, not the automation true. Both
// template members hand the text to the reader unchanged.
TEST_F(FilesTest, FormFieldsAreFoundByFullNameFirstMatchAndExactCaseAndTemplatesGoToTheHostUnchanged) {
    // Without a document or the reader's field list nothing is found: an empty text, not a null one.
    auto nothing = [&] {
        return Call(&F::ImportFieldValue, L"dup", L"x") + L" | " + Call(&F::ExportFieldValue, L"dup") + L" | " +
               Call(&F::ImportTemplate, L"<x/>");
    };
    EXPECT_EQ(nothing(), L"S_OK 0 | S_OK  | S_FALSE 0");
    ASSERT_TRUE(Open(R"({"type":"PDF","pages":[{"width":595,"height":842}],
     "fields":[{"name":"姓名","fullName":"form.姓名","value":"张三"},{"name":"dup","value":"first"},
               {"name":"dup","value":"second"},{"name":"short","fullName":"","value":"by own name"},
               {"name":"Case","value":"upper"}]})"));
    ASSERT_EQ(quirexsim::NullOperation(sim.get(), L"Document.Fields", -1), S_OK);
    EXPECT_EQ(nothing(), L"S_OK 0 | S_OK  | S_OK 0");
    sim->ClearFailures();
    Steps({L"ExportFieldValue(\"form.姓名\") -> VT_BSTR=\"张三\"", L"ExportFieldValue(\"姓名\") -> VT_BSTR=\"\"",
           L"ExportFieldValue(\"dup\") -> VT_BSTR=\"first\"", L"ExportFieldValue(\"short\") -> VT_BSTR=\"by own name\"",
           L"ExportFieldValue(\"case\") -> VT_BSTR=\"\"", L"ExportFieldValue(\"Case\") -> VT_BSTR=\"upper\"",
           L"ImportFieldValue(\"dup\", \"changed\") -> VT_BOOL=1 | Field.Value=\"changed\"",
           L"ImportFieldValue(\"DUP\", \"x\") -> VT_BOOL=0", L"ImportFieldValue(\"\", \"x\") -> VT_BOOL=0",
           L"reader.Documents.ActiveDocument.Fields.Item(2).Value -> VT_BSTR=\"second\"",
           L"ExportFieldValue(\"dup\") -> VT_BSTR=\"changed\"",
           L"ImportTemplate('<fields><field name=\"form.姓名\">李四</field></fields>') -> VT_I4=1"
           L" | Fields.ImportXml(0, \"<fields><field name=\\\"form.姓名\\\">李四</field></fields>\")",
           L"ImportFieldValueByXML('<field name=\"dup\">x</field>') -> VT_I4=2"
           L" | Fields.ImportXml(0, \"<field name=\\\"dup\\\">x</field>\")",
           L"ExportFieldValue(\"dup\") -> VT_BSTR=\"x\""},
          {L"Field.Value=", L"ImportXml"});
    const Lines typed = quirexsim::TypedJournal(sim.get());
    EXPECT_NE(std::find(typed.begin(), typed.end(), L"Fields.Item(VT_I2=0)"), typed.end()) << "short indexes";
    ASSERT_EQ(quirexsim::FailOperation(sim.get(), L"Fields.ImportXml", E_FAIL, -1), S_OK);
    EXPECT_EQ(Call(&F::ImportTemplate, L"<x/>"), L"S_OK 0") << "the reader refused it";
    EXPECT_EQ(fun->ExportFieldValue(nullptr, nullptr), E_POINTER);
}

// ---- the settings file in a configuration folder with a Chinese name -------------------------

// As the signature core reports the folder, in code page 936. Last in this file: the core
// stays loaded once loaded.
TEST_F(FilesTest, ZThePublicSettingsFileIsFoundInTheConfigurationFolderTheCoreReports) {
    const std::wstring config = Work(L"签章配置");
    for (const std::wstring& folder : {config, config + L"\\settings"}) CreateDirectoryW(folder.c_str(), nullptr);
    SetEnvironmentVariableW(L"VD_CONFIG_DIR", config.c_str());
    std::wstring dll = DllPath();
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"VDSignatureCore.dll";
    ASSERT_NE(LoadLibraryW(dll.c_str()), nullptr);
    LONG r = 0;
    sim->DisconnectAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
    sim->ConnectAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
    ASSERT_EQ(r, S_OK);
    const std::wstring file = Put(L"签章配置\\settings\\BrimwellPublic.dll", "<Root><A><Enabled>0</Enabled></A></Root>");
    EXPECT_EQ(I4(1), Script(L"SetPublicParam", {VStr(L"Enabled"), VStr(L"1"), VStr(L"")}));
    EXPECT_NE(ReadAll(file).find("<Enabled>1</Enabled>"), std::string::npos) << ReadAll(file);
}

}  // namespace
