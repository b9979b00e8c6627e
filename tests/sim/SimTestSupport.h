// Helpers of the simulator's tests: loading the simulator DLL, fixtures on disk,
// late-bound calls.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Quirex.h"
#include "sim/QuirexSimClient.h"
#include "support/Com.h"

namespace simtest {

using folium::ComPtr;
using folium::ScopedVariant;
using folium::UniqueBstr;

inline std::wstring Env(const wchar_t* name) {
    wchar_t buf[4096];
    DWORD n = GetEnvironmentVariableW(name, buf, 4096);
    return n && n < 4096 ? std::wstring(buf, n) : std::wstring();
}

// The simulator created straight from its DLL (no registration needed).
inline ComPtr<IQxSimulator> CreateSimulator() {
    return ComPtr<IQxSimulator>::Attach(quirexsim::CreateFromDll(Env(L"QUIREX_SIM_DLL").c_str()));
}

inline std::wstring TempDir() {
    wchar_t base[MAX_PATH], file[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    GetTempFileNameW(base, L"qst", 0, file);
    DeleteFileW(file);
    CreateDirectoryW(file, nullptr);
    return file;
}

inline void WriteUtf8(const std::wstring& path, const std::string& text) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
    CloseHandle(h);
}

inline std::string ReadBytes(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got) out.append(buf, got);
    CloseHandle(h);
    return out;
}

inline std::wstring S(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

inline VARIANT VStr(const wchar_t* s) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(s);
    return v;
}
inline VARIANT VLong(LONG l) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = l;
    return v;
}
inline VARIANT VMissing() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

// Calls a member by name; args in call order (they are cleared afterwards).
inline HRESULT CallByName(IDispatch* target, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
                          VARIANT* result) {
    DISPID id = 0;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    HRESULT hr = target->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(hr)) {
        std::vector<VARIANT> rev(args.rbegin(), args.rend());
        DISPID put = DISPID_PROPERTYPUT;
        bool isPut = (flags & DISPATCH_PROPERTYPUT) != 0;
        DISPPARAMS dp{rev.empty() ? nullptr : rev.data(), isPut ? &put : nullptr, static_cast<UINT>(rev.size()),
                      isPut ? 1u : 0u};
        hr = target->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, flags, &dp, result, nullptr, nullptr);
    }
    for (auto& a : args) VariantClear(&a);
    return hr;
}

inline std::vector<std::wstring> JournalOf(IQxSimulator* sim) { return quirexsim::Journal(sim); }

}  // namespace simtest
