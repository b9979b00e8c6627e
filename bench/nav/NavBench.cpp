// Cost per item of the members that visit a whole document (SearchText,
// ContentText, GetBookMarks, GetTextPositionAll, GetFormateStringPos) on simulated
// documents of 1,000 and 10,000 pages, each page with two hits, a signing-date line
// and a bookmark. Each member is timed through the component loaded by the reader
// simulator, and the same host calls are timed made directly on the simulator, so
// that the component's own share shows. The cost per item at 10,000 pages should
// stay within 1.3 times the cost at 1,000 (nothing quadratic).
//
// Next to each member a calibration line: the bare cost of allocating a BSTR of the
// member's result size and writing it once. At 10,000 pages the results are
// megabytes in memory the system maps freshly for each call, and on some virtual
// machines the first touch of a fresh page costs microseconds; the line shows how
// much of a member's cost per item is that floor on the machine the bench runs on.
// It is printed beside the real figures and never subtracted from them.
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "FoliumAddin.h"
#include "Quirex.h"
#include "support/Com.h"

using folium::ComPtr;
using folium::ScopedVariant;
using folium::UniqueBstr;

namespace {

const wchar_t kNeedle[] = L"needle";
const wchar_t kDateLine[] = L"二〇二四年 三 月 五 日";

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

// Best of reps timed runs after one untimed warm-up run, in seconds; before each run,
// outside the timing, `between` (freeing the previous result).
double BestOf(int reps, const std::function<void()>& run, const std::function<void()>& between = [] {}) {
    run();
    double best = 1e300;
    for (int i = 0; i < reps; ++i) {
        between();
        double start = Now();
        run();
        best = std::min(best, Now() - start);
    }
    return best;
}

// Pages with two hits of the needle, a date line and filler; one bookmark per page,
// ten to a chapter (a chapter title and nine sections under it).
std::string MakeDocument(long pages) {
    std::string json = "{\"pages\":[";
    for (long p = 1; p <= pages; ++p) {
        if (p > 1) json += ',';
        json += "{\"text\":[{\"x\":72,\"y\":770,\"size\":12,\"text\":\"Page " + std::to_string(p) +
                " needle and another needle\"},"
                "{\"x\":72,\"y\":700,\"size\":10,\"text\":\"Filler text of the contract, clause " +
                std::to_string(p) +
                ", without the search word.\"},"
                "{\"x\":300,\"y\":120,\"size\":12,\"text\":\"  \xE4\xBA\x8C\xE3\x80\x87\xE4\xBA\x8C\xE5\x9B\x9B"
                "\xE5\xB9\xB4 \xE4\xB8\x89 \xE6\x9C\x88 \xE4\xBA\x94 \xE6\x97\xA5\"}]}";
    }
    json += "],\"bookmarks\":[";
    for (long c = 0; c * 10 < pages; ++c) {
        if (c) json += ',';
        json += "{\"title\":\"Chapter " + std::to_string(c + 1) + "\",\"page\":" + std::to_string(c * 10 + 1) +
                ",\"children\":[";
        for (long s = 1; s < 10 && c * 10 + s < pages; ++s) {
            if (s > 1) json += ',';
            json += "{\"title\":\"Section " + std::to_string(c + 1) + "." + std::to_string(s) +
                    "\",\"page\":" + std::to_string(c * 10 + s + 1) + "}";
        }
        json += "]}";
    }
    json += "]}";
    return json;
}

std::wstring WriteTemp(const std::string& bytes, long pages) {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + L"folium-nav-bench-" + std::to_wstring(pages) + L".pdf";
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
    return path;
}

std::wstring BinDir() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    return dir + L"..\\..\\bin\\";
}

// Registers a server from the build's bin folder in this prefix, as regsvr32 does.
bool Register(const std::wstring& file) {
    HMODULE m = LoadLibraryW(file.c_str());
    if (!m) return false;
    auto reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(m, "DllRegisterServer"));
    return reg && SUCCEEDED(reg());
}

size_t Count(BSTR text, wchar_t c) {
    return text ? std::count(text, text + SysStringLen(text), c) : 0;
}

struct Row {
    const char* member;
    const char* unit;
    long pages;
    long items;
    double member_s, host_s;
    size_t chars;      // length of the member's result
    double fresh_s;    // allocating and writing a result of that length
};

// A BSTR of `chars` characters allocated as the component's text builder does (an
// empty string resized, so nothing is zero-filled first) and written once. The
// caller frees it outside the timing, as it frees the members' results.
BSTR FreshResult(size_t chars) {
    BSTR b = SysAllocStringLen(L"", 0);
    if (!b || !SysReAllocStringLen(&b, b, static_cast<UINT>(chars))) std::abort();
    for (size_t i = 0; i < chars; ++i) b[i] = static_cast<wchar_t>(L'a' + (i & 15));
    return b;
}

// ---- the host walks the members make, made directly on the simulator ----------------

ComPtr<IQxDocument> ActiveDocument(IQxApplication* app) {
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    ComPtr<IQxDocument> doc;
    docs->get_ActiveDocument(doc.put());
    return doc;
}

void HostHits(IQxTextFinder* finder, LONG page, bool corners) {
    VARIANT_BOOL found = VARIANT_FALSE;
    while (SUCCEEDED(finder->FindNext(page, &found)) && found) {
        ComPtr<IQxTextHit> hit;
        finder->get_Hit(hit.put());
        double x1, y1, x2, y2;
        hit->get_X1(&x1);
        hit->get_Y1(&y1);
        if (corners) {
            hit->get_X2(&x2);
            hit->get_Y2(&y2);
        }
        found = VARIANT_FALSE;
    }
}

void HostSearch(IQxDocument* doc, bool corners) {
    ComPtr<IQxTextFinder> finder;
    doc->get_TextFinder(finder.put());
    ComPtr<IQxPages> pages;
    doc->get_Pages(pages.put());
    LONG count = 0;
    pages->get_Count(&count);
    finder->put_MatchCase(VARIANT_FALSE);
    finder->put_Text(UniqueBstr(kNeedle).get());
    for (LONG p = 1; p <= count; ++p) HostHits(finder.get(), p, corners);
}

void HostContentText(IQxDocument* doc) {
    ComPtr<IQxPages> pages;
    doc->get_Pages(pages.put());
    LONG count = 0;
    pages->get_Count(&count);
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IQxPage> page;
        pages->Item(i, page.put());
        UniqueBstr text;
        page->get_Text(text.put());
    }
}

void HostBookmarks(IQxDocument* doc) {
    ComPtr<IQxBookmarks> bookmarks;
    doc->get_Bookmarks(bookmarks.put());
    std::vector<ComPtr<IQxBookmark>> stack;
    ComPtr<IQxBookmark> first;
    bookmarks->get_First(first.put());
    if (first) stack.push_back(first);
    while (!stack.empty()) {
        ComPtr<IQxBookmark> b = stack.back();
        stack.pop_back();
        UniqueBstr title, parentTitle;
        b->get_Title(title.put());
        ComPtr<IQxBookmark> parent, next, child;
        b->get_Parent(parent.put());
        if (parent) parent->get_Title(parentTitle.put());
        b->get_Next(next.put());
        if (next) stack.push_back(next);
        b->get_FirstChild(child.put());
        if (child) stack.push_back(child);
    }
}

void HostDateLines(IQxDocument* doc) {
    LONG type = 0;
    doc->get_DocumentType(&type);
    ComPtr<IQxTextFinder> finder;
    doc->get_TextFinder(finder.put());
    ComPtr<IQxPages> pages;
    doc->get_Pages(pages.put());
    LONG count = 0;
    pages->get_Count(&count);
    UniqueBstr line(kDateLine);
    for (LONG i = 0; i < count; ++i) {
        ComPtr<IQxPage> page;
        pages->Item(i, page.put());
        UniqueBstr text;
        page->get_Text(text.put());
        finder->put_MatchCase(VARIANT_FALSE);
        finder->put_Text(line.get());
        VARIANT_BOOL found = VARIANT_FALSE;
        finder->FindNext(i + 1, &found);
        if (!found) continue;
        ComPtr<IQxTextHit> hit;
        finder->get_Hit(hit.put());
        double v;
        hit->get_X1(&v);
        hit->get_Y1(&v);
        hit->get_X2(&v);
        hit->get_Y2(&v);
    }
}

ComPtr<IQxDocument> OpenPath(IQxApplication* app, const std::wstring& path) {
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    auto name = ScopedVariant::Bstr(path.c_str());
    ScopedVariant missing;
    missing = ScopedVariant::Missing();
    ComPtr<IQxDocument> doc;
    docs->Open(*name.get(), *missing.get(), *missing.get(), *missing.get(), doc.put());
    return doc;
}

// reps timed runs of each member; with `only`, that member alone, without the host
// walks and the calibration (for counting instructions, page faults or processor
// time under a tool: two runs with different reps give the cost of the extra runs
// without the start-up).
bool RunSize(IQxSimulator* sim, IQxApplication* app, IFoliumFun* fun, long pageCount, int reps, const char* only,
             std::vector<Row>& rows) {
    const std::string json = MakeDocument(pageCount);
    const std::wstring path = WriteTemp(json, pageCount);
    double start = Now();
    ComPtr<IQxDocument> doc = OpenPath(app, path);
    if (!doc) {
        std::printf("cannot open the %ld-page document\n", pageCount);
        return false;
    }
    std::printf("%ld pages: fixture %.1f MB, opened in %.0f ms\n", pageCount, json.size() / 1048576.0,
                (Now() - start) * 1000);
    const long bookmarks = pageCount;
    BSTR out = nullptr;
    auto release = [&] {
        SysFreeString(out);
        out = nullptr;
    };
    auto member = [&](const std::function<HRESULT(BSTR*)>& call) {
        return [&, call] {
            release();
            call(&out);
        };
    };
    auto best = [&](const std::function<HRESULT(BSTR*)>& call) { return BestOf(reps, member(call), release); };
    auto want = [&](const char* name) { return !only || std::strcmp(only, name) == 0; };
    auto host = [&](const std::function<void()>& walk) { return only ? 0.0 : BestOf(reps, walk); };
    // A row for the member just timed, with the calibration for its result's length.
    auto add = [&](const char* name, const char* unit, long items, double member_s, double host_s) {
        const size_t chars = out ? SysStringLen(out) : 0;
        BSTR fresh = nullptr;
        auto freeFresh = [&] {
            SysFreeString(fresh);
            fresh = nullptr;
        };
        const double fresh_s = only ? 0.0 : BestOf(reps, [&] { fresh = FreshResult(chars); }, freeFresh);
        freeFresh();
        rows.push_back({name, unit, pageCount, items, member_s, host_s, chars, fresh_s});
    };

    UniqueBstr needle(kNeedle), file(path.c_str());
    double m = 0, h = 0;
    if (want("SearchText")) {
        m = best([&](BSTR* o) { return fun->SearchText(needle.get(), o); });
        size_t hits = Count(out, L'@') / 2;
        h = host([&] { HostSearch(doc.get(), false); });
        add("SearchText", "page", pageCount, m, h);
        if (hits != static_cast<size_t>(2 * pageCount)) std::printf("  SearchText found %zu hits\n", hits);
    }

    if (want("ContentText")) {
        m = best([&](BSTR* o) { return fun->get_ContentText(o); });
        size_t chars = out ? SysStringLen(out) : 0;
        h = host([&] { HostContentText(doc.get()); });
        add("ContentText", "page", pageCount, m, h);
        if (chars < static_cast<size_t>(pageCount) * 80) std::printf("  ContentText gave %zu characters\n", chars);
    }

    if (want("GetBookMarks")) {
        m = best([&](BSTR* o) { return fun->GetBookMarks(o); });
        size_t listed = Count(out, L'}') - 1;
        h = host([&] { HostBookmarks(doc.get()); });
        add("GetBookMarks", "bookmark", bookmarks, m, h);
        if (listed != static_cast<size_t>(bookmarks)) std::printf("  GetBookMarks listed %zu bookmarks\n", listed);
    }

    if (want("GetTextPositionAll")) {
        m = best([&](BSTR* o) { return fun->GetTextPositionAll(needle.get(), file.get(), o); });
        size_t entries = out && SysStringLen(out) ? Count(out, L';') + 1 : 0;
        h = host([&] { HostSearch(OpenPath(app, path).get(), true); });
        add("GetTextPositionAll", "page", pageCount, m, h);
        if (entries != static_cast<size_t>(2 * pageCount)) std::printf("  GetTextPositionAll gave %zu entries\n", entries);
    }

    if (want("GetFormateStringPos")) {
        m = best([&](BSTR* o) { return fun->GetFormateStringPos(0, o); });
        size_t dates = out && SysStringLen(out) ? Count(out, L';') + 1 : 0;
        h = host([&] { HostDateLines(doc.get()); });
        add("GetFormateStringPos", "page", pageCount, m, h);
        if (dates != static_cast<size_t>(pageCount)) std::printf("  GetFormateStringPos found %zu dates\n", dates);
    }

    SysFreeString(out);
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    VARIANT missing;
    VariantInit(&missing);
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    docs->Close(missing);
    DeleteFileW(path.c_str());
    (void)sim;
    return true;
}

}  // namespace

// No arguments: every member at 1,000 and 10,000 pages, best of 15 runs each (the
// same number at both sizes: more runs at one size would favour it on a shared
// machine). "<pages> <member> <runs>": that member alone at that size, or at both
// sizes (with the ratio) when pages is 0.
int main(int argc, char** argv) {
    const bool one = argc == 4;
    const long onlyPages = one ? std::atol(argv[1]) : 0;
    const char* only = one ? argv[2] : nullptr;
    const int reps = one ? std::atoi(argv[3]) : 15;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int rc = 0;
    {
        const std::wstring bin = BinDir();
        if (!Register(bin + L"QuirexSim.dll") || !Register(bin + L"FoliumAddin.dll")) {
            std::printf("cannot register the simulator and the component from %ls\n", bin.c_str());
            CoUninitialize();
            return 1;
        }
        ComPtr<IQxSimulator> sim;
        ComPtr<IQxApplication> app;
        ComPtr<IFoliumFun> fun;
        LONG loaded = -1;
        if (FAILED(CoCreateInstance(CLSID_QuirexSimulator, nullptr, CLSCTX_INPROC_SERVER, IID_IQxSimulator,
                                    sim.put_void())) ||
            FAILED(sim->Reset()) || FAILED(sim->get_Application(app.put())) ||
            FAILED(sim->LoadAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &loaded)) || loaded != S_OK) {
            std::printf("cannot start the simulator with the component\n");
            CoUninitialize();
            return 1;
        }
        {
            ComPtr<IQxCOMAddIns> addIns;
            app->get_COMAddIns(addIns.put());
            auto key = ScopedVariant::Bstr(L"Veridane.FoliumFun.1");
            ComPtr<IQxCOMAddIn> item;
            addIns->Item(*key.get(), item.put());
            ComPtr<IDispatch> object;
            if (item) item->get_Object(object.put());
            if (object) object.As(fun);
        }
        if (!fun) {
            std::printf("the component is not loaded\n");
            rc = 1;
        } else {
            // The journal would grow with every host call: the walks run unrecorded.
            sim->put_Recording(VARIANT_FALSE);
            std::vector<Row> rows;
            for (long pages : {1000L, 10000L})
                if ((!one || onlyPages == 0 || pages == onlyPages) &&
                    !RunSize(sim.get(), app.get(), fun.get(), pages, reps, only, rows))
                    rc = 1;

            std::printf("\n%-20s %6s %8s %10s %12s %12s %10s %10s %12s\n", "member", "pages", "items", "total ms",
                        "us/item", "host us/item", "component", "result KB", "fresh us/item");
            for (auto& r : rows)
                std::printf("%-20s %6ld %8ld %10.2f %12.3f %12.3f %9.0f%% %10.0f %12.3f\n", r.member, r.pages,
                            r.items, r.member_s * 1000, r.member_s * 1e6 / r.items, r.host_s * 1e6 / r.items,
                            100.0 * std::max(0.0, r.member_s - r.host_s) / r.member_s,
                            r.chars * sizeof(wchar_t) / 1024.0, r.fresh_s * 1e6 / r.items);
            if (!one)
                std::printf("\n(fresh: allocating and writing once a result of the same length;"
                            " included in us/item)\n");
            std::printf("\nper-item cost at 10,000 pages over 1,000 (goal <= 1.30):\n");
            const size_t half = rows.size() / 2;
            for (size_t i = 0; i < half && half + i < rows.size(); ++i) {
                const Row& small = rows[i];
                const Row& large = rows[half + i];
                const double smallItem = small.member_s * 1e6 / small.items;
                const double largeItem = large.member_s * 1e6 / large.items;
                const double ratio = largeItem / smallItem;
                std::printf("  %-20s %5.2fx %-16s rise %.3f us/item", small.member, ratio,
                            ratio <= 1.3 ? "" : "(over the goal)", largeItem - smallItem);
                if (!one) std::printf("; a fresh result of that length alone: %.3f", large.fresh_s * 1e6 / large.items);
                std::printf("\n");
            }
        }
        sim->put_Recording(VARIANT_TRUE);
        LONG r = 0;
        sim->UnloadAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
        sim->Reset();
    }
    CoUninitialize();
    return rc;
}
