// For tests and tools that host an add-in in the reader simulator: create the
// simulator straight from QuirexSim.dll (no registration needed) and read its
// text lists. Header-only; needs Quirex.h and the quirex_ids library.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cwchar>
#include <string>
#include <vector>

#include "Quirex.h"

namespace quirexsim {

// A new simulator object (one reference) from the DLL at dllPath, or null.
// The DLL stays loaded for the rest of the process.
inline IQxSimulator* CreateFromDll(const wchar_t* dllPath) {
    HMODULE dll = LoadLibraryW(dllPath);
    if (!dll) return nullptr;
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(GetProcAddress(dll, "DllGetClassObject"));
    IClassFactory* factory = nullptr;
    if (!get || FAILED(get(CLSID_QuirexSimulator, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) return nullptr;
    IQxSimulator* sim = nullptr;
    factory->CreateInstance(nullptr, IID_IQxSimulator, reinterpret_cast<void**>(&sim));
    factory->Release();
    return sim;
}

// Reads a counted list of lines (journal, captured calls, notifications).
template <class CountFn, class ItemFn>
std::vector<std::wstring> Lines(CountFn count, ItemFn item) {
    LONG n = 0;
    count(&n);
    std::vector<std::wstring> out;
    for (LONG i = 0; i < n; ++i) {
        BSTR b = nullptr;
        if (SUCCEEDED(item(i, &b))) out.emplace_back(b ? b : L"", b ? SysStringLen(b) : 0);
        SysFreeString(b);
    }
    return out;
}

inline std::vector<std::wstring> Journal(IQxSimulator* sim) {
    return Lines([&](LONG* n) { return sim->get_JournalCount(n); },
                 [&](LONG i, BSTR* b) { return sim->JournalItem(i, b); });
}
inline std::vector<std::wstring> TypedJournal(IQxSimulator* sim) {
    return Lines([&](LONG* n) { return sim->get_JournalCount(n); },
                 [&](LONG i, BSTR* b) { return sim->TypedJournalItem(i, b); });
}
inline std::vector<std::wstring> Captured(IQxSimulator* sim) {
    return Lines([&](LONG* n) { return sim->get_CapturedCount(n); },
                 [&](LONG i, BSTR* b) { return sim->CapturedItem(i, b); });
}
inline std::vector<std::wstring> Traces(IQxSimulator* sim) {
    return Lines([&](LONG* n) { return sim->get_TraceCount(n); }, [&](LONG i, BSTR* b) { return sim->TraceItem(i, b); });
}
inline std::vector<std::wstring> Notifications(IQxSimulator* sim) {
    return Lines([&](LONG* n) { return sim->get_NotificationCount(n); },
                 [&](LONG i, BSTR* b) { return sim->NotificationItem(i, b); });
}
inline std::vector<std::wstring> Calls(IQxStandIn* standIn) {
    return Lines([&](LONG* n) { return standIn->get_CallCount(n); },
                 [&](LONG i, BSTR* b) { return standIn->CallItem(i, b); });
}

// Failure injection: the host operation ("Object.Operation", or "Object.*")
// returns hr for the next `times` calls (-1: always) after `skip` calls that pass.
inline HRESULT FailOperation(IQxSimulator* sim, const wchar_t* operation, HRESULT hr, LONG times = 1, LONG skip = 0) {
    BSTR op = SysAllocString(operation);
    HRESULT r = sim->FailOperation(op, hr, times, skip);
    SysFreeString(op);
    return r;
}
// The operation answers S_OK with a null object (null string, 0) instead.
inline HRESULT NullOperation(IQxSimulator* sim, const wchar_t* operation, LONG times = 1, LONG skip = 0) {
    BSTR op = SysAllocString(operation);
    HRESULT r = sim->NullOperation(op, times, skip);
    SysFreeString(op);
    return r;
}

// "VT_NAME=value" of a VARIANT, as the journal writes typed arguments; with the
// HRESULT in front ("0x00000000 VT_BOOL=-1") when hr is given.
inline std::wstring Describe(IQxSimulator* sim, const VARIANT& value) {
    BSTR text = nullptr;
    sim->DescribeVariant(value, &text);
    std::wstring out(text ? text : L"", text ? SysStringLen(text) : 0);
    SysFreeString(text);
    return out;
}
inline std::wstring Describe(IQxSimulator* sim, HRESULT hr, const VARIANT& value) {
    wchar_t code[16];
    swprintf(code, 16, L"0x%08X ", static_cast<unsigned>(hr));
    return code + Describe(sim, value);
}

}  // namespace quirexsim
