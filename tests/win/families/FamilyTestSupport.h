// Fixture for the member-family tests: the reader simulator with the component loaded
// as its add-in, the component's interfaces, and helpers to open fixture documents and
// read the simulator's journal.
#pragma once

#include <algorithm>
#include <fstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "Quirex.h"
#include "TestSupport.h"
#include "sim/QuirexSimClient.h"
#include "tests/sim/SimTestSupport.h"

namespace testsupport {

using Lines = std::vector<std::wstring>;

// A text as the simulator's journal quotes it.
inline std::wstring Quoted(const std::wstring& s) {
    std::wstring out = L"\"";
    for (wchar_t c : s) {
        if (c == L'"' || c == L'\\') out += L'\\';
        if (c == L'\n' || c == L'\r' || c == L'\t') out += c == L'\n' ? L"\\n" : c == L'\r' ? L"\\r" : L"\\t";
        else out += c;
    }
    return out + L"\"";
}

// The names in a folder (given with its trailing backslash) that start with prefix, sorted.
inline Lines FilesIn(const std::wstring& folder, const std::wstring& prefix = L"") {
    Lines out;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + prefix + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return out;
    do {
        std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") out.push_back(name);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(out.begin(), out.end());
    return out;
}

// Removes a folder (trailing backslash) with everything in it.
inline void RemoveTree(const std::wstring& folder) {
    for (const std::wstring& name : FilesIn(folder))
        if (!DeleteFileW((folder + name).c_str())) RemoveTree(folder + name + L"\\");
    RemoveDirectoryW(folder.c_str());
}

// The process's temporary folder (TMP and TEMP) is a fresh one of its own while this
// lives, so that what members leave there is seen apart from other tests running.
class PrivateTemp {
public:
    PrivateTemp() : tmp_(Env(L"TMP")), temp_(Env(L"TEMP")) {
        const std::wstring folder = NewTempFolder(L"pt");
        SetEnvironmentVariableW(L"TMP", folder.c_str());
        SetEnvironmentVariableW(L"TEMP", folder.c_str());
        path_ = folder + L"\\";
    }
    ~PrivateTemp() {
        SetEnvironmentVariableW(L"TMP", tmp_.empty() ? nullptr : tmp_.c_str());
        SetEnvironmentVariableW(L"TEMP", temp_.empty() ? nullptr : temp_.c_str());
        RemoveTree(path_);
    }
    PrivateTemp(const PrivateTemp&) = delete;
    PrivateTemp& operator=(const PrivateTemp&) = delete;
    const std::wstring& Path() const { return path_; }
    Lines Files() const { return FilesIn(path_); }

private:
    std::wstring tmp_, temp_, path_;
};

// Base64 as the system's own encoder writes it, one line.
inline std::wstring SystemBase64(const std::string& bytes) {
    using Fn = BOOL(WINAPI*)(const BYTE*, DWORD, DWORD, LPWSTR, DWORD*);
    auto encode = reinterpret_cast<Fn>(GetProcAddress(LoadLibraryW(L"crypt32.dll"), "CryptBinaryToStringW"));
    const DWORD flags = 0x00000001 /*CRYPT_STRING_BASE64*/ | 0x40000000 /*CRYPT_STRING_NOCRLF*/;
    DWORD n = 0;
    encode(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), flags, nullptr, &n);
    std::wstring out(n, L'\0');
    encode(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()), flags, &out[0], &n);
    out.erase(std::remove_if(out.begin(), out.end(), [](wchar_t c) { return c == L'\r' || c == L'\n' || c == 0; }),
              out.end());
    return out;
}

// Descriptions of results as Script gives them.
inline std::wstring I4(LONG n) { return L"VT_I4=" + std::to_wstring(n); }
inline std::wstring Str(const std::wstring& s) { return L"VT_BSTR=" + Quoted(s); }
inline std::wstring Bool(bool b) { return b ? L"VT_BOOL=-1" : L"VT_BOOL=0"; }

// Arguments of Early: texts become BSTRs that live as long as the call.
template <class T>
T EarlyArg(std::vector<UniqueBstr>&, T v) {
    return v;
}
inline BSTR EarlyArg(std::vector<UniqueBstr>& texts, const wchar_t* text) { return texts.emplace_back(text).get(); }
inline BSTR EarlyArg(std::vector<UniqueBstr>& texts, const std::wstring& text) {
    return texts.emplace_back(text.c_str()).get();
}

// An early-bound call as "S_FALSE 7": its HRESULT and, when the arguments stop short of
// the last parameter, the out-value that parameter held afterwards. Numbers and flags
// start at 7, texts at a marker: "left" when untouched, "null" for a null text. So a
// stated default is told apart from a result merely left alone.
template <class... P, class... A>
std::wstring Early(IFoliumFun* f, HRESULT (STDMETHODCALLTYPE IFoliumFun::*m)(P...), const A&... args) {
    auto code = [](HRESULT hr) {
        wchar_t hex[16];
        swprintf(hex, 16, L"0x%08lX", static_cast<unsigned long>(hr));
        return hr == S_OK ? std::wstring(L"S_OK") : hr == S_FALSE ? std::wstring(L"S_FALSE") : std::wstring(hex);
    };
    std::vector<UniqueBstr> texts;
    if constexpr (sizeof...(A) == sizeof...(P)) {
        return code((f->*m)(EarlyArg(texts, args)...));
    } else {
        using T = std::remove_pointer_t<std::tuple_element_t<sizeof...(P) - 1, std::tuple<P...>>>;
        const BSTR marker = reinterpret_cast<BSTR>(static_cast<INT_PTR>(0x1234));
        T v{};
        if constexpr (std::is_same_v<T, BSTR>) v = marker;
        else v = static_cast<T>(7);
        std::wstring out = code((f->*m)(EarlyArg(texts, args)..., &v)) + L" ";
        if constexpr (std::is_same_v<T, BSTR>) {
            out += v == marker ? L"left" : v ? std::wstring(v) : L"null";
            if (v != marker) SysFreeString(v);
        } else if constexpr (std::is_floating_point_v<T>) {
            std::wstring d = std::to_wstring(v);
            d.erase(d.find_last_not_of(L'0') + 1);
            out += d.back() == L'.' ? d.substr(0, d.size() - 1) : d;
        } else {
            out += std::to_wstring(v);
        }
        return out;
    }
}

class ConnectedComponent : public ::testing::Test {
protected:
    // Host reads and writes made by the test itself stay out of the journal.
    struct Quiet {
        IQxSimulator* sim;
        explicit Quiet(IQxSimulator* s) : sim(s) { sim->put_Recording(VARIANT_FALSE); }
        ~Quiet() { sim->put_Recording(VARIANT_TRUE); }
    };

    ComApartment com;
    ComPtr<IQxSimulator> sim;
    ComPtr<IQxApplication> app;
    ComPtr<IFoliumFun> fun;    // early-bound
    ComPtr<IDispatch> disp;    // late-bound, as scripts call
    std::vector<std::wstring> tempFiles;

    void SetUp() override {
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(L"Quirex.Simulator.1", &clsid), S_OK);
        ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IQxSimulator, sim.put_void()), S_OK);
        ASSERT_EQ(sim->Reset(), S_OK);
        ASSERT_EQ(sim->get_Application(app.put()), S_OK);
        LONG r = -1;
        ASSERT_EQ(sim->LoadAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r), S_OK);
        ASSERT_EQ(r, S_OK);
        ScopedVariant object;
        ASSERT_EQ(simtest::Walk(app.get(), L"COMAddIns.Item(\"Veridane.FoliumFun.1\").Object", object), S_OK);
        disp = folium::ReadDispatch(object.get());
        ASSERT_EQ(disp.As(fun), S_OK);
        sim->ClearJournal();
    }

    void TearDown() override {
        fun = nullptr;
        disp = nullptr;
        if (sim) {
            LONG r = 0;
            sim->UnloadAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
            sim->Reset();
        }
        for (auto& f : tempFiles) DeleteFileW(f.c_str());
    }

    // Writes a fixture document (UTF-8 JSON text) to a temporary file and returns its path.
    std::wstring WriteFixture(const std::string& json, const wchar_t* extension = L".json") {
        wchar_t file[MAX_PATH];
        GetTempFileNameW(TempFolder().c_str(), L"fx", 0, file);
        std::wstring path = std::wstring(file) + extension;
        MoveFileW(file, path.c_str());
        WriteAll(path, json);
        tempFiles.push_back(path);
        return path;
    }

    // Every annotation of the active document, page by page, as the reader holds them.
    // Only those of one page (0-based) when onlyPage is given.
    std::vector<ComPtr<IQxAnnotation>> AnnotationsOnPages(LONG onlyPage = -1) {
        std::vector<ComPtr<IQxAnnotation>> out;
        ComPtr<IQxPages> pages;
        if (auto doc = Active()) doc->get_Pages(pages.put());
        LONG pageCount = 0;
        if (pages) pages->get_Count(&pageCount);
        for (LONG p = 0; p < pageCount; ++p) {
            if (onlyPage >= 0 && p != onlyPage) continue;
            ComPtr<IQxPage> page;
            pages->Item(p, page.put());
            ComPtr<IQxAnnotations> list;
            page->get_Annotations(list.put());
            LONG n = 0;
            list->get_Count(&n);
            for (LONG i = 0; i < n; ++i) {
                ComPtr<IQxAnnotation> a;
                list->Item(i, a.put());
                out.push_back(a);
            }
        }
        return out;
    }

    // Opens a fixture document in the reader; it becomes the active document.
    ComPtr<IQxDocument> Open(const std::string& json) {
        ScopedVariant opened;
        simtest::Walk(app.get(), L"Documents.Open(\"" + WriteFixture(json) + L"\", missing, missing, missing)", opened);
        sim->ClearJournal();
        ComPtr<IQxDocument> doc;
        if (auto d = folium::ReadDispatch(opened.get())) d.As(doc);
        return doc;
    }

    std::vector<std::wstring> JournalLines() { return quirexsim::Journal(sim.get()); }

    bool Journaled(const std::wstring& fragment) { return !JournalWith(fragment).empty(); }

    // The journal lines that contain fragment, in order.
    Lines JournalWith(const std::wstring& fragment) {
        Lines out;
        for (auto& l : JournalLines())
            if (l.find(fragment) != std::wstring::npos) out.push_back(l);
        return out;
    }

    std::wstring JournalText() {
        std::wstring all;
        for (auto& l : JournalLines()) all += l + L"\n";
        return all;
    }

    // Captured Win32 calls (dialogs, message boxes), those of one function when given.
    Lines CapturedOf(const std::wstring& function = L"") {
        Lines out;
        for (auto& l : quirexsim::Captured(sim.get()))
            if (l.rfind(function, 0) == 0) out.push_back(l);
        return out;
    }

    // Points the component's dialog, message-box, clock and user-name imports at the simulator.
    void CaptureImports() {
        LONG patched = 0;
        ASSERT_EQ(sim->CaptureImports(UniqueBstr(L"FoliumAddin.dll").get(), &patched), S_OK);
        ASSERT_GE(patched, 3);
    }

    ComPtr<IQxDocument> Active() {
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        ComPtr<IQxDocument> doc;
        if (docs) docs->get_ActiveDocument(doc.put());
        return doc;
    }

    // The calls a sibling stand-in received ("Member:M:2|VT_I4=1|...").
    Lines CallsOf(const wchar_t* progId) {
        ComPtr<IQxStandIn> s;
        sim->StandIn(UniqueBstr(progId).get(), s.put());
        return s ? quirexsim::Calls(s.get()) : Lines{};
    }

    // A member called late-bound, as a script calls it (args in call order, cleared
    // afterwards), described with its type: "VT_I4=4", "VT_BSTR=\"text\"", or the
    // HRESULT in front ("0x80020009 VT_EMPTY=...") when the call did not succeed.
    std::wstring Script(const wchar_t* name, std::vector<VARIANT> args = {}) {
        ScopedVariant r;
        HRESULT hr = CallByName(disp.get(), name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, r.get());
        for (auto& a : args) VariantClear(&a);
        return hr == S_OK ? quirexsim::Describe(sim.get(), *r.get()) : quirexsim::Describe(sim.get(), hr, *r.get());
    }
    HRESULT ScriptPut(const wchar_t* name, VARIANT value) {
        HRESULT hr = CallByName(disp.get(), name, DISPATCH_PROPERTYPUT, {value}, nullptr);
        VariantClear(&value);
        return hr;
    }

    // A walk over the reader's objects from its application, as a page script makes it
    // ("Documents.ActiveDocument.Pages.Count", "Tools.Item(\"ToolText\").Activate",
    // "CommandBars.Item(3).Visible=BOOL:0"), answered as the typed journal writes values
    // ("VT_I4=4"). The test's own look at the reader stays out of the journal.
    std::wstring Host(const std::wstring& path) {
        Quiet quiet(sim.get());
        return simtest::Get(sim.get(), app.get(), path);
    }

    // The journal lines that contain one of `shown` (L"" shows all), each after " | ".
    std::wstring JournalShown(const Lines& shown) {
        std::wstring out;
        for (const std::wstring& line : JournalLines())
            if (std::any_of(shown.begin(), shown.end(), [&](auto& f) { return line.find(f) != line.npos; }))
                out += L" | " + line;
        return out;
    }

    // A scenario of rows "call -> answer | journal line | ...", each run in turn and compared
    // whole. The call is written as a script writes it ("GotoBookMark(\"x\")", "Zoom=75");
    // one starting "reader." walks the reader's application instead. The answer is as the
    // typed journal writes values ("VT_I4=4", "failed 0x..."; none is written for VT_EMPTY),
    // then come the journal lines the call caused that contain one of `shown`.
    void Steps(const Lines& rows, const Lines& shown = {}) {
        for (const std::wstring& row : rows) {
            const std::wstring call = row.substr(0, std::min(row.find(L" -> "), row.find(L" | ")));
            sim->ClearJournal();
            const std::wstring answer =
                call.rfind(L"reader.", 0) == 0 ? Host(call.substr(7)) : simtest::Get(sim.get(), disp.get(), call);
            const std::wstring got = answer == L"VT_EMPTY=empty" ? call : call + L" -> " + answer;
            EXPECT_EQ(row, got + JournalShown(shown));
        }
    }

    // An early-bound call of the component, described as Early describes it.
    template <class M, class... A>
    std::wstring Call(M member, const A&... args) {
        return Early(fun.get(), member, args...);
    }

    // Unloads the component's host: members must then fail without reaching a host.
    void Disconnect() {
        LONG r = 0;
        sim->UnloadAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
    }
};

// A working folder of a test's own, current while it lives and emptied at both ends.
// Sweeps turn hostile numbers into relative file names ("2147483647") that members
// write and then import again; in a shared folder they would grow from run to run.
class ScratchFolder {
public:
    explicit ScratchFolder(std::wstring path) : path_(std::move(path)) {
        CreateDirectoryW(path_.c_str(), nullptr);
        Empty();
        GetCurrentDirectoryW(MAX_PATH, previous_);
        SetCurrentDirectoryW(path_.c_str());
    }
    ~ScratchFolder() {
        SetCurrentDirectoryW(previous_);
        RemoveTree(path_ + L"\\");
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    void Empty() const {
        for (const std::wstring& name : FilesIn(path_ + L"\\")) DeleteFileW((path_ + L"\\" + name).c_str());
    }

private:
    std::wstring path_;
    wchar_t previous_[MAX_PATH] = {};
};

// The component made directly, as a script can, never connected to a reader.
inline ComPtr<IFoliumFun> Unconnected() {
    ComPtr<IFoliumFun> alone;
    EXPECT_EQ(CoCreateInstance(CLSID_FoliumFun, nullptr, CLSCTX_INPROC_SERVER, IID_IFoliumFun, alone.put_void()), S_OK);
    return alone;
}

}  // namespace testsupport
