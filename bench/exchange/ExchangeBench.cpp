// WebOpen and WebSave against the document server, timed under Wine. run.sh starts the
// server with the documents and compares with curl on the same loopback.
//   folium_exchange_bench.exe <server url> <record> <iterations>
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "FoliumAddin.h"
#include "Quirex.h"
#include "support/Com.h"

using folium::ComPtr;
using folium::ScopedVariant;
using folium::UniqueBstr;

namespace {

double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

void CloseAll(IQxApplication* app) {
    ComPtr<IQxDocuments> docs;
    app->get_Documents(docs.put());
    LONG n = 0;
    docs->get_Count(&n);
    ScopedVariant missing;
    missing = ScopedVariant::Missing();
    while (n-- > 0) docs->Close(*missing.get());
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        fwprintf(stderr, L"usage: folium_exchange_bench <url> <record> <iterations>\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int iterations = _wtoi(argv[3]);
    {
        CLSID clsid;
        ComPtr<IQxSimulator> sim;
        if (FAILED(CLSIDFromProgID(L"Quirex.Simulator.1", &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IQxSimulator, sim.put_void()))) {
            fwprintf(stderr, L"the simulator is not registered\n");
            return 1;
        }
        sim->Reset();
        sim->put_Recording(VARIANT_FALSE);
        ComPtr<IQxStandIn> relay;
        sim->AddStandIn(UniqueBstr(L"Veridane.Relay").get(), relay.put());
        LONG r = 0;
        sim->LoadAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
        ComPtr<IQxApplication> app;
        sim->get_Application(app.put());
        ComPtr<IQxCOMAddIns> addIns;
        app->get_COMAddIns(addIns.put());
        ComPtr<IQxCOMAddIn> item;
        auto key = ScopedVariant::Bstr(L"Veridane.FoliumFun.1");
        addIns->Item(*key.get(), item.put());
        ComPtr<IDispatch> disp;
        item->get_Object(disp.put());
        ComPtr<IFoliumFun> fun = disp.Query<IFoliumFun>();
        if (!fun) {
            fwprintf(stderr, L"the component did not load\n");
            return 1;
        }
        fun->put_WebUrl(UniqueBstr(argv[1]).get());
        fun->put_RecordId(UniqueBstr(argv[2]).get());

        std::vector<double> open, save, hostOpen;
        LONG64 size = 0;
        for (int i = 0; i < iterations; ++i) {
            CloseAll(app.get());
            VARIANT_BOOL ok = 0;
            double t0 = Now();
            fun->WebOpen(&ok);
            double t1 = Now();
            if (ok != VARIANT_TRUE) {
                fwprintf(stderr, L"WebOpen failed\n");
                return 1;
            }
            open.push_back(t1 - t0);
            ComPtr<IQxDocuments> docs;
            app->get_Documents(docs.put());
            double s0 = Now();
            fun->WebSave(&ok);
            double s1 = Now();
            if (ok != VARIANT_TRUE) {
                UniqueBstr result, status;
                fun->WebGetMsgByName(UniqueBstr(L"RESULT").get(), result.put());
                fun->get_Status(status.put());
                LONG count = 0;
                docs->get_Count(&count);
                fwprintf(stderr, L"WebSave failed: RESULT \"%ls\", status \"%ls\", %ld documents open\n", result.c_str(),
                         status.c_str(), count);
                return 1;
            }
            save.push_back(s1 - s0);
        }
        // The reader's own share of WebOpen: opening a copy of the downloaded document,
        // with no transfer at all.
        {
            VARIANT_BOOL ok = 0;
            CloseAll(app.get());
            fun->WebOpen(&ok);
            ComPtr<IQxDocuments> docs;
            app->get_Documents(docs.put());
            ComPtr<IQxDocument> doc;
            docs->get_ActiveDocument(doc.put());
            ComPtr<IQxDocumentFile> file;
            if (doc) doc->get_FileInfo(file.put());
            UniqueBstr folder, name;
            LONG bytes = 0;
            if (file) {
                file->get_Folder(folder.put());
                file->get_Name(name.put());
                file->get_Size(&bytes);
            }
            size = bytes;
            std::wstring path = folder.c_str();
            if (!path.empty() && path.back() != L'\\') path += L'\\';
            path += name.c_str();
            std::wstring copy = path + L".copy";
            CopyFileW(path.c_str(), copy.c_str(), FALSE);
            for (int i = 0; i < iterations; ++i) {
                CloseAll(app.get());
                auto fileName = ScopedVariant::Bstr(copy.c_str());
                ScopedVariant missing;
                missing = ScopedVariant::Missing();
                ComPtr<IQxDocument> again;
                double h0 = Now();
                docs->Open(*fileName.get(), *missing.get(), *missing.get(), *missing.get(), again.put());
                hostOpen.push_back(Now() - h0);
            }
            CloseAll(app.get());
            DeleteFileW(copy.c_str());
        }
        CloseAll(app.get());
        double mb = static_cast<double>(size) / (1024.0 * 1024.0);
        wprintf(L"document %.2f MB, %d runs (median)\n", mb, iterations);
        wprintf(L"  WebOpen  %8.1f ms  %7.1f MB/s   (of which the reader opening the file: %.1f ms)\n",
                Median(open) * 1000, mb / Median(open), Median(hostOpen) * 1000);
        wprintf(L"  WebSave  %8.1f ms  %7.1f MB/s\n", Median(save) * 1000, mb / Median(save));
        sim->UnloadAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
    }
    CoUninitialize();
    return 0;
}
