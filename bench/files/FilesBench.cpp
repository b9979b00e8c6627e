// GetFileBase64 of a large document file: time per call and peak memory.
//
// The component runs as an add-in of the reader simulator. A small fixture
// document is opened and the file behind it is then replaced by the large file
// (the reader keeps no hold on it), so the reader's own memory stays small and
// the peak growth during the call is the component's: the goal is at most the
// file, the text and a small constant.
#include <windows.h>
#include <oleauto.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FoliumAddin.h"
#include "Quirex.h"
#include "support/Com.h"

using folium::ComPtr;
using folium::ScopedVariant;
using folium::UniqueBstr;

namespace {

struct Memory {
    double workingSet, peakWorkingSet, privateBytes, peakPrivateBytes;  // MiB
};

Memory ReadMemory() {
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    const double mib = 1024.0 * 1024.0;
    return {pmc.WorkingSetSize / mib, pmc.PeakWorkingSetSize / mib, pmc.PagefileUsage / mib,
            pmc.PeakPagefileUsage / mib};
}

double Seconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

// Writes `bytes` pseudo-random bytes in pieces, so the bench itself never holds the file.
bool WriteLargeFile(const std::wstring& path, size_t bytes, unsigned char* first3, unsigned char* last3) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::vector<unsigned char> piece(1 << 20);
    unsigned state = 12345;
    bool ok = true;
    for (size_t done = 0; ok && done < bytes;) {
        size_t n = std::min(piece.size(), bytes - done);
        for (size_t i = 0; i < n; ++i) {
            state = state * 1103515245u + 12345u;
            piece[i] = static_cast<unsigned char>(state >> 16);
        }
        if (done == 0) std::copy(piece.begin(), piece.begin() + 3, first3);
        if (done + n == bytes) std::copy(piece.begin() + (n - 3), piece.begin() + n, last3);
        DWORD put = 0;
        ok = WriteFile(h, piece.data(), static_cast<DWORD>(n), &put, nullptr) && put == n;
        done += n;
    }
    CloseHandle(h);
    return ok;
}

std::wstring Encode3(const unsigned char* b) {
    static const char* t = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::wstring s;
    s += t[b[0] >> 2];
    s += t[((b[0] & 3) << 4) | (b[1] >> 4)];
    s += t[((b[1] & 15) << 2) | (b[2] >> 6)];
    s += t[b[2] & 63];
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const size_t megabytes = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 64;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    // A multiple of three keeps the text free of pads, so its ends can be checked directly.
    const size_t bytes = megabytes * 1024 * 1024 / 3 * 3;

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    int status = 0;
    {
        CLSID clsid;
        ComPtr<IQxSimulator> sim;
        if (FAILED(CLSIDFromProgID(L"Quirex.Simulator.1", &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IQxSimulator, sim.put_void()))) {
            std::printf("the reader simulator is not registered in this prefix (run the tests first)\n");
            CoUninitialize();
            return 2;
        }
        sim->Reset();
        sim->put_Recording(VARIANT_FALSE);
        ComPtr<IQxApplication> app;
        sim->get_Application(app.put());
        LONG loaded = -1;
        sim->LoadAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &loaded);
        ComPtr<IQxCOMAddIns> addIns;
        app->get_COMAddIns(addIns.put());
        ComPtr<IQxCOMAddIn> item;
        auto key = ScopedVariant::Bstr(L"Veridane.FoliumFun.1");
        if (addIns) addIns->Item(*key.get(), item.put());
        ComPtr<IDispatch> object;
        if (item) item->get_Object(object.put());
        ComPtr<IFoliumFun> fun;
        if (loaded != S_OK || !object || FAILED(object.As(fun))) {
            std::printf("the component did not load as an add-in (0x%08lx)\n", static_cast<unsigned long>(loaded));
            CoUninitialize();
            return 2;
        }

        wchar_t dir[MAX_PATH], file[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        GetTempFileNameW(dir, L"fb", 0, file);
        std::wstring path = file;
        const char fixture[] = "{\"type\":\"PDF\",\"pages\":[{}]}";
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD put = 0;
        WriteFile(h, fixture, sizeof(fixture) - 1, &put, nullptr);
        CloseHandle(h);
        ComPtr<IQxDocuments> docs;
        app->get_Documents(docs.put());
        auto name = ScopedVariant::Bstr(path.c_str());
        auto none = ScopedVariant::Bstr(L"");
        ComPtr<IQxDocument> doc;
        docs->Open(*name.get(), *none.get(), *none.get(), *none.get(), doc.put());
        unsigned char first3[3], last3[3];
        if (!doc || !WriteLargeFile(path, bytes, first3, last3)) {
            std::printf("could not prepare the document\n");
            status = 3;
        } else {
            const size_t expectedChars = (bytes + 2) / 3 * 4;
            const double fileMiB = bytes / (1024.0 * 1024.0), textMiB = expectedChars * 2 / (1024.0 * 1024.0);
            std::printf("GetFileBase64 of a %.1f MiB file: text %.1f MiB (%zu characters)\n", fileMiB, textMiB,
                        expectedChars);

            for (int variant = 0; variant < 2 && status == 0; ++variant) {
                // The standard table, then a private table of the same layout.
                std::wstring table = variant == 0 ? L"" : L"ZYXWVUTSRQPONMLKJIHGFEDCBAzyxwvutsrqponmlkjihgfedcba9876543210-_.";
                UniqueBstr tableText(table.c_str());
                std::vector<double> times;
                double peakWsGrowth = 0, peakPrivGrowth = 0;
                for (int r = 0; r < rounds; ++r) {
                    Memory before = ReadMemory();
                    LARGE_INTEGER t0, t1;
                    BSTR text = nullptr;
                    QueryPerformanceCounter(&t0);
                    HRESULT hr = fun->GetFileBase64(tableText.get(), &text);
                    QueryPerformanceCounter(&t1);
                    Memory after = ReadMemory();
                    UINT len = SysStringLen(text);
                    bool ok = hr == S_OK && len == expectedChars;
                    if (ok && variant == 0)
                        ok = std::wstring(text, 4) == Encode3(first3) && std::wstring(text + len - 4, 4) == Encode3(last3);
                    SysFreeString(text);
                    if (!ok) {
                        std::printf("wrong result: hr 0x%08lx, %u characters\n", static_cast<unsigned long>(hr), len);
                        status = 4;
                        break;
                    }
                    times.push_back(Seconds(t0, t1));
                    // Peaks only grow: the first round shows the call's own need.
                    if (r == 0) {
                        peakWsGrowth = after.peakWorkingSet - before.workingSet;
                        peakPrivGrowth = after.peakPrivateBytes - before.privateBytes;
                    }
                }
                if (status) break;
                std::sort(times.begin(), times.end());
                double median = times[times.size() / 2];
                std::printf("  %s table: best %.1f ms, median %.1f ms (%.0f MiB/s of file) over %d rounds\n",
                            variant == 0 ? "standard" : "private ", times.front() * 1000, median * 1000,
                            fileMiB / median, rounds);
                if (variant == 0)  // the process peak is set by now; later calls cannot show theirs
                    std::printf("    peak growth during the call: working set %.1f MiB, private bytes %.1f MiB"
                            " (file + text = %.1f MiB, text alone %.1f MiB)\n",
                            peakWsGrowth, peakPrivGrowth, fileMiB + textMiB, textMiB);
            }
        }
        doc = nullptr;
        docs = nullptr;
        LONG r = 0;
        sim->UnloadAddIn(UniqueBstr(L"Veridane.FoliumFun.1").get(), &r);
        sim->Reset();
        DeleteFileW(path.c_str());
    }
    CoUninitialize();
    return status;
}
