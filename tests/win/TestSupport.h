// Shared helpers of the component's Windows tests.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FoliumAddin.h"
#include "support/Com.h"
#include "tests/TestBase.h"

namespace testsupport {

using folium::ComPtr;
using folium::ScopedVariant;
using folium::UniqueBstr;

inline std::wstring DllPath() { return Env(L"FOLIUM_DLL"); }

// COM initialised as a single-threaded apartment for the test's duration.
struct ComApartment {
    ComApartment() { EXPECT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    ~ComApartment() { CoUninitialize(); }
};

// The component DLL loaded into the test process, with its entry points.
struct ComponentDll {
    HMODULE module = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* registerServer)() = nullptr;
    HRESULT(STDAPICALLTYPE* unregisterServer)() = nullptr;
    HRESULT(STDAPICALLTYPE* install)(BOOL, LPCWSTR) = nullptr;

    ComponentDll() {
        module = LoadLibraryW(DllPath().c_str());
        if (!module) return;
        canUnloadNow = reinterpret_cast<decltype(canUnloadNow)>(GetProcAddress(module, "DllCanUnloadNow"));
        getClassObject = reinterpret_cast<decltype(getClassObject)>(GetProcAddress(module, "DllGetClassObject"));
        registerServer = reinterpret_cast<decltype(registerServer)>(GetProcAddress(module, "DllRegisterServer"));
        unregisterServer = reinterpret_cast<decltype(unregisterServer)>(GetProcAddress(module, "DllUnregisterServer"));
        install = reinterpret_cast<decltype(install)>(GetProcAddress(module, "DllInstall"));
    }
    ~ComponentDll() {
        if (module) FreeLibrary(module);
    }
    ComPtr<IClassFactory> Factory() const {
        ComPtr<IClassFactory> f;
        if (getClassObject) getClassObject(CLSID_FoliumFun, IID_IClassFactory, f.put_void());
        return f;
    }
};

// Calls a member by name through IDispatch; args are given in call order.
inline HRESULT CallByName(IDispatch* target, const wchar_t* name, WORD flags, std::vector<VARIANT> args,
                          VARIANT* result) {
    DISPID id = 0;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    HRESULT hr = target->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> rev(args.rbegin(), args.rend());
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS dp{rev.empty() ? nullptr : rev.data(), (flags & DISPATCH_PROPERTYPUT) ? &put : nullptr,
                  static_cast<UINT>(rev.size()), (flags & DISPATCH_PROPERTYPUT) ? 1u : 0u};
    return target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, result, nullptr, nullptr);
}

// Arguments for CallByName and the families' Script (which clears them).
inline VARIANT VLong(LONG v) { return ScopedVariant::I4(v).Detach(); }
inline VARIANT VBool(bool v) { return ScopedVariant::Bool(v).Detach(); }
inline VARIANT VStr(const wchar_t* s) { return ScopedVariant::Bstr(s).Detach(); }

// A script sees a VARIANT's type as well as its value: these check both together,
// e.g. EXPECT_TRUE(IsI4(v, 5)) or EXPECT_TRUE(IsBstr(v, L"text")).
inline ::testing::AssertionResult HasType(const VARIANT& v, VARTYPE vt) {
    if (v.vt == vt) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "VARIANT type " << v.vt << ", expected " << vt;
}
inline ::testing::AssertionResult IsI4(const VARIANT& v, LONG n) {
    auto typed = HasType(v, VT_I4);
    if (!typed) return typed;
    if (v.lVal == n) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "VT_I4 " << v.lVal << ", expected " << n;
}
inline ::testing::AssertionResult IsBool(const VARIANT& v, bool b) {
    auto typed = HasType(v, VT_BOOL);
    if (!typed) return typed;
    if (v.boolVal == (b ? VARIANT_TRUE : VARIANT_FALSE)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "VT_BOOL " << v.boolVal << ", expected " << (b ? -1 : 0);
}
inline ::testing::AssertionResult IsBstr(const VARIANT& v, const std::wstring& text) {
    auto typed = HasType(v, VT_BSTR);
    if (!typed) return typed;
    std::wstring got = v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : std::wstring();
    if (got == text) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "VT_BSTR of " << got.size() << " characters differs from the "
                                         << text.size() << " expected";
}

// Reads a registry value as text; empty when it is missing.
inline bool ReadRegString(HKEY root, const std::wstring& key, const wchar_t* value, std::wstring& out) {
    wchar_t buf[2048];
    DWORD size = sizeof(buf);
    LONG e = RegGetValueW(root, key.c_str(), value, RRF_RT_REG_SZ, nullptr, buf, &size);
    if (e != ERROR_SUCCESS) return false;
    out.assign(buf);
    return true;
}

inline bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

}  // namespace testsupport
