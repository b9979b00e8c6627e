// Fixture for the member-family tests: the reader simulator with the component loaded
// as its add-in, the component's interfaces, and helpers to open fixture documents and
// read the simulator's journal.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "Quirex.h"
#include "TestSupport.h"

namespace testsupport {

class ConnectedComponent : public ::testing::Test {
protected:
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
        ComPtr<IQxCOMAddIns> addIns;
        ASSERT_EQ(app->get_COMAddIns(addIns.put()), S_OK);
        auto key = ScopedVariant::Bstr(L"Veridane.FoliumFun.1");
        ComPtr<IQxCOMAddIn> item;
        ASSERT_EQ(addIns->Item(*key.get(), item.put()), S_OK);
        ASSERT_EQ(item->get_Object(disp.put()), S_OK);
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
        wchar_t dir[MAX_PATH], file[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        GetTempFileNameW(dir, L"fx", 0, file);
        std::wstring path = std::wstring(file) + extension;
        MoveFileW(file, path.c_str());
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(h, json.data(), static_cast<DWORD>(json.size()), &n, nullptr);
        CloseHandle(h);
        tempFiles.push_back(path);
        return path;
    }

    // Every annotation of the active document, page by page, as the reader holds them.
    std::vector<ComPtr<IQxAnnotation>> AnnotationsOnPages() {
        std::vector<ComPtr<IQxAnnotation>> out;
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        ComPtr<IQxDocument> doc;
        if (docs) docs->get_ActiveDocument(doc.put());
        ComPtr<IQxPages> pages;
        if (doc) doc->get_Pages(pages.put());
        LONG pageCount = 0;
        if (pages) pages->get_Count(&pageCount);
        for (LONG p = 0; p < pageCount; ++p) {
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
        std::wstring path = WriteFixture(json);
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        auto name = ScopedVariant::Bstr(path.c_str());
        ScopedVariant missing;
        missing = folium::ScopedVariant::Missing();
        ComPtr<IQxDocument> doc;
        docs->Open(*name.get(), *missing.get(), *missing.get(), *missing.get(), doc.put());
        sim->ClearJournal();
        return doc;
    }

    std::vector<std::wstring> JournalLines() {
        std::vector<std::wstring> out;
        LONG n = 0;
        sim->get_JournalCount(&n);
        for (LONG i = 0; i < n; ++i) {
            UniqueBstr line;
            sim->JournalItem(i, line.put());
            out.push_back(line.c_str());
        }
        return out;
    }

    bool Journaled(const std::wstring& fragment) {
        for (auto& l : JournalLines())
            if (l.find(fragment) != std::wstring::npos) return true;
        return false;
    }

    // Unloads the component's host: members must then fail without reaching a host.
    void Disconnect() {
        LONG r = 0;
        sim->UnloadAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
    }
};

}  // namespace testsupport
