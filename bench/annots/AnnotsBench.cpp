// Cost per annotation of GetAnnotString on simulated documents of 1,000 and
// 10,000 annotations (ten to a page: four comments, three text stamps, three
// image stamps whose images go through a temporary file each). The cost per
// annotation at 10,000 should stay within 1.3 times the cost at 1,000.
#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "FoliumAddin.h"
#include "Quirex.h"
#include "support/Com.h"

using folium::ComPtr;
using folium::ScopedVariant;
using folium::UniqueBstr;

namespace {

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

double BestOf(int reps, const std::function<void()>& run) {
    run();
    double best = 1e300;
    for (int i = 0; i < reps; ++i) {
        const double start = Now();
        run();
        best = std::min(best, Now() - start);
    }
    return best;
}

std::string MakeDocument(long annotations) {
    std::string json = "{\"pages\":[";
    for (long p = 0; p * 10 < annotations; ++p) {
        json += p ? ",{\"annotations\":[" : "{\"annotations\":[";
        for (int i = 0; i < 10; ++i) {
            const std::string n = std::to_string(p * 10 + i);
            if (i) json += ',';
            if (i < 4)
                json += "{\"kind\":0,\"author\":\"reviewer " + n + "\",\"rect\":[100,700,120,718],\"contents\":\"note " +
                        n + "\",\"creationDate\":\"D:20260105093000\",\"values\":{\"AnnotID\":\"id" + n + "\"}}";
            else
                json += "{\"kind\":12,\"rect\":[300,500,400,550],\"stampKind\":" + std::string(i < 7 ? "0" : "1") +
                        ",\"stampText\":\"approved " + n +
                        "\",\"image\":\"R0lGODlhAQABAIAAAAAAAP///ywAAAAAAQABAAACAUwAOw==\",\"values\":{\"AnnotInfo\":"
                        "\"{\\\"author\\\":\\\"a" + n + "\\\",\\\"customType\\\":\\\"\\\"}\"}}";
        }
        json += "]}";
    }
    return json + "]}";
}

std::wstring BinDir() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir(exe);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    return dir + L"..\\..\\bin\\";
}

bool Register(const std::wstring& file) {
    HMODULE m = LoadLibraryW(file.c_str());
    auto reg = m ? reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(m, "DllRegisterServer")) : nullptr;
    return reg && SUCCEEDED(reg());
}

}  // namespace

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int rc = 1;
    {
        const std::wstring bin = BinDir();
        ComPtr<IQxSimulator> sim;
        ComPtr<IQxApplication> app;
        LONG loaded = -1;
        if (!Register(bin + L"QuirexSim.dll") || !Register(bin + L"FoliumAddin.dll") ||
            FAILED(CoCreateInstance(CLSID_QuirexSimulator, nullptr, CLSCTX_INPROC_SERVER, IID_IQxSimulator,
                                    sim.put_void())) ||
            FAILED(sim->Reset()) || FAILED(sim->get_Application(app.put())) ||
            FAILED(sim->LoadAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &loaded)) || loaded != S_OK) {
            std::printf("cannot start the simulator with the component\n");
            CoUninitialize();
            return 1;
        }
        ComPtr<IQxCOMAddIns> addIns;
        app->get_COMAddIns(addIns.put());
        ComPtr<IQxCOMAddIn> item;
        addIns->Item(*ScopedVariant::Bstr(L"Veridane.FoliumFun.1").get(), item.put());
        ComPtr<IDispatch> object;
        if (item) item->get_Object(object.put());
        ComPtr<IFoliumFun> fun;
        if (object) object.As(fun);
        sim->put_Recording(VARIANT_FALSE);  // the journal would grow with every host call

        double perAnnotation[2] = {0, 0};
        const long sizes[2] = {1000, 10000};
        for (int s = 0; s < 2 && fun; ++s) {
            const std::string json = MakeDocument(sizes[s]);
            wchar_t dir[MAX_PATH];
            GetTempPathW(MAX_PATH, dir);
            const std::wstring path = std::wstring(dir) + L"folium-annots-bench-" + std::to_wstring(sizes[s]) + L".pdf";
            HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            DWORD n = 0;
            WriteFile(h, json.data(), static_cast<DWORD>(json.size()), &n, nullptr);
            CloseHandle(h);
            ComPtr<IQxDocuments> docs;
            app->get_Documents(docs.put());
            ComPtr<IQxDocument> doc;
            ScopedVariant missing = ScopedVariant::Missing();
            docs->Open(*ScopedVariant::Bstr(path.c_str()).get(), *missing.get(), *missing.get(), *missing.get(),
                       doc.put());
            size_t length = 0;
            const double t = BestOf(sizes[s] <= 1000 ? 10 : 3, [&] {
                BSTR out = nullptr;
                fun->GetAnnotString(&out);
                length = SysStringLen(out);
                SysFreeString(out);
            });
            perAnnotation[s] = t / sizes[s];
            std::printf("%6ld annotations: %9.1f ms, %7.2f us per annotation, %zu characters\n", sizes[s], t * 1000,
                        perAnnotation[s] * 1e6, length);
            docs->Close(*missing.get());
            DeleteFileW(path.c_str());
        }
        if (perAnnotation[0] > 0) {
            const double ratio = perAnnotation[1] / perAnnotation[0];
            std::printf("per-annotation cost at 10,000 over 1,000: %.2fx (goal <= 1.30)\n", ratio);
            rc = 0;
        }
        sim->put_Recording(VARIANT_TRUE);
        LONG r = 0;
        sim->UnloadAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
        sim->Reset();
    }
    CoUninitialize();
    return rc;
}
