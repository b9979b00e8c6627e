// Speed of the simulated reader on a large document: opening a 5,000-page
// fixture, walking pages and annotations, walking bookmarks, searching text.
// Run under Wine: sim_bench.exe <path of QuirexSim.dll>
#include <windows.h>
#include <oleauto.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "Quirex.h"

namespace {

double Ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

std::string Fixture(int pages) {
    std::string s = "{\"type\":\"PDF\",\"pages\":[";
    for (int i = 0; i < pages; ++i) {
        if (i) s += ",";
        s += "{\"width\":595,\"height\":842,\"text\":[";
        for (int line = 0; line < 20; ++line) {
            if (line) s += ",";
            s += "{\"x\":72,\"y\":" + std::to_string(770 - line * 16) +
                 ",\"size\":12,\"text\":\"第" + std::to_string(i + 1) + "页 line " + std::to_string(line) +
                 " The quick brown fox jumps over the lazy dog 合同条款\"}";
        }
        s += "],\"annotations\":[{\"kind\":0,\"author\":\"a\",\"rect\":[1,2,3,4]},{\"kind\":12,\"rect\":[5,6,7,8]}]}";
    }
    s += "],\"bookmarks\":[";
    for (int i = 0; i < pages; ++i) {
        if (i) s += ",";
        s += "{\"title\":\"Chapter " + std::to_string(i + 1) + "\",\"page\":" + std::to_string(i + 1) +
             ",\"children\":[{\"title\":\"Section " + std::to_string(i + 1) + ".1\",\"page\":" + std::to_string(i + 1) + "}]}";
    }
    s += "]}";
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: sim_bench <QuirexSim.dll>\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HMODULE dll = LoadLibraryA(argv[1]);
    auto get = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        dll ? GetProcAddress(dll, "DllGetClassObject") : nullptr);
    IClassFactory* factory = nullptr;
    IQxSimulator* sim = nullptr;
    if (!get || FAILED(get(CLSID_QuirexSimulator, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
        FAILED(factory->CreateInstance(nullptr, IID_IQxSimulator, reinterpret_cast<void**>(&sim)))) {
        std::printf("cannot create the simulator\n");
        return 1;
    }
    sim->put_Recording(VARIANT_FALSE);
    const int kPages = 5000;
    wchar_t dir[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    GetTempFileNameW(dir, L"qsb", 0, path);
    std::string json = Fixture(kPages);
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    WriteFile(h, json.data(), static_cast<DWORD>(json.size()), &put, nullptr);
    CloseHandle(h);

    IQxApplication* app = nullptr;
    sim->get_Application(&app);
    IQxDocuments* docs = nullptr;
    app->get_Documents(&docs);
    VARIANT name, missing;
    name.vt = VT_BSTR;
    name.bstrVal = SysAllocString(path);
    missing.vt = VT_ERROR;
    missing.scode = DISP_E_PARAMNOTFOUND;
    auto t0 = std::chrono::steady_clock::now();
    IQxDocument* doc = nullptr;
    docs->Open(name, missing, missing, missing, &doc);
    double openMs = Ms(t0);
    if (!doc) {
        std::printf("open failed\n");
        return 1;
    }

    t0 = std::chrono::steady_clock::now();
    IQxPages* pages = nullptr;
    doc->get_Pages(&pages);
    LONG count = 0, annots = 0;
    pages->get_Count(&count);
    for (LONG i = 0; i < count; ++i) {
        IQxPage* page = nullptr;
        pages->Item(i, &page);
        IQxAnnotations* list = nullptr;
        page->get_Annotations(&list);
        LONG n = 0;
        list->get_Count(&n);
        for (LONG k = 0; k < n; ++k) {
            IQxAnnotation* a = nullptr;
            list->Item(k, &a);
            LONG kind = 0;
            a->get_Kind(&kind);
            a->Release();
            ++annots;
        }
        list->Release();
        page->Release();
    }
    double walkMs = Ms(t0);

    t0 = std::chrono::steady_clock::now();
    IQxBookmarks* marks = nullptr;
    doc->get_Bookmarks(&marks);
    IQxBookmark* b = nullptr;
    marks->get_First(&b);
    LONG visited = 0;
    while (b) {
        IQxBookmark* child = nullptr;
        b->get_FirstChild(&child);
        if (child) {
            ++visited;
            child->Release();
        }
        ++visited;
        IQxBookmark* next = nullptr;
        b->get_Next(&next);
        b->Release();
        b = next;
    }
    double bookmarkMs = Ms(t0);

    t0 = std::chrono::steady_clock::now();
    IQxTextFinder* finder = nullptr;
    doc->get_TextFinder(&finder);
    BSTR text = SysAllocString(L"合同条款");
    finder->put_Text(text);
    LONG hits = 0;
    for (LONG p = 1; p <= count; ++p) {
        VARIANT_BOOL found = VARIANT_FALSE;
        while (finder->FindNext(p, &found) == S_OK && found) ++hits;
    }
    double findMs = Ms(t0);
    // Again, with every page's text already laid out.
    finder->Reset();
    t0 = std::chrono::steady_clock::now();
    LONG hits2 = 0;
    for (LONG p = 1; p <= count; ++p) {
        VARIANT_BOOL found = VARIANT_FALSE;
        while (finder->FindNext(p, &found) == S_OK && found) ++hits2;
    }
    double findAgainMs = Ms(t0);

    std::printf("pages %ld, fixture %zu bytes\n", count, json.size());
    std::printf("open                 %8.1f ms\n", openMs);
    std::printf("walk %6ld annots    %8.1f ms\n", annots, walkMs);
    std::printf("walk %6ld bookmarks %8.1f ms\n", visited, bookmarkMs);
    std::printf("find %6ld hits      %8.1f ms (first search, lays out the text)\n", hits, findMs);
    std::printf("find %6ld hits      %8.1f ms (again)\n", hits2, findAgainMs);
    SysFreeString(text);
    finder->Release();
    marks->Release();
    pages->Release();
    doc->Release();
    docs->Release();
    app->Release();
    sim->Release();
    DeleteFileW(path);
    return 0;
}
