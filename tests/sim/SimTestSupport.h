// Helpers of the simulator's tests: loading the simulator DLL, fixtures on disk,
// late-bound calls.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <ocidl.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Quirex.h"
#include "sim/QuirexSimClient.h"
#include "support/Com.h"
#include "tests/TestBase.h"

namespace simtest {

using folium::ComPtr;
using folium::ScopedVariant;
using folium::UniqueBstr;

using testsupport::Env;

// The simulator created straight from its DLL (no registration needed).
inline ComPtr<IQxSimulator> CreateSimulator() {
    return ComPtr<IQxSimulator>::Attach(quirexsim::CreateFromDll(Env(L"QUIREX_SIM_DLL").c_str()));
}

// Splits at `sep` outside quotes and parentheses.
inline std::vector<std::wstring> SplitTop(std::wstring_view s, wchar_t sep) {
    std::vector<std::wstring> out(1);
    int depth = 0;
    wchar_t quote = 0;
    for (wchar_t c : s) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == L'"' || c == L'\'') {
            quote = c;
        } else if (c == L'(') {
            ++depth;
        } else if (c == L')') {
            --depth;
        } else if (c == sep && depth == 0) {
            out.emplace_back();
            continue;
        }
        out.back() += c;
    }
    return out;
}

// One argument as a script writes it: "text" or 'text', missing, an integer (VT_I4), a decimal
// (VT_R8), or TYPE:value for another type (I2, I8, UI4, BOOL).
inline ScopedVariant ScriptArg(std::wstring a) {
    while (!a.empty() && a.front() == L' ') a.erase(0, 1);
    while (!a.empty() && a.back() == L' ') a.pop_back();
    if (a.size() >= 2 && (a.front() == L'"' || a.front() == L'\'')) return ScopedVariant::Bstr(a.substr(1, a.size() - 2).c_str());
    if (a == L"missing") return ScopedVariant::Missing();
    const size_t colon = a.find(L':');
    if (colon == std::wstring::npos)
        return a.find(L'.') != std::wstring::npos ? ScopedVariant::R8(std::stod(a)) : ScopedVariant::I4(std::stol(a));
    const std::wstring type = a.substr(0, colon);
    const VARTYPE vt = type == L"I2" ? VT_I2 : type == L"I8" ? VT_I8 : type == L"UI4" ? VT_UI4 : VT_BOOL;
    VARIANT v;
    VariantInit(&v);
    VariantChangeType(&v, ScopedVariant::Bstr(a.substr(colon + 1).c_str()).get(), 0, vt);
    return ScopedVariant::Attach(v);
}

// A late-bound walk from `root` as a page script makes it: "Pages.Item(1).Width",
// "Fields.Item(\"form.name\").Value=\"x\"" (a last step with "=" writes the property).
// On a failure the HRESULT (an exception's own code) is returned and `out` is empty.
inline HRESULT Walk(IDispatch* root, std::wstring_view path, ScopedVariant& out) {
    auto assignment = SplitTop(path, L'=');
    auto steps = SplitTop(assignment[0], L'.');
    ComPtr<IDispatch> at(root);
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::wstring& step = steps[i];
        const size_t open = step.find(L'(');
        std::wstring name = step.substr(0, open);
        std::vector<ScopedVariant> args;
        if (open != std::wstring::npos)
            for (auto& a : SplitTop(step.substr(open + 1, step.size() - open - 2), L','))
                if (!a.empty()) args.push_back(ScriptArg(a));
        const bool put = i + 1 == steps.size() && assignment.size() == 2;
        if (put) args.push_back(ScriptArg(assignment[1]));
        std::vector<VARIANT> reversed;
        for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it->get());
        DISPID id = 0, named = DISPID_PROPERTYPUT;
        LPOLESTR n = name.data();
        HRESULT hr = at->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) return hr;
        DISPPARAMS dp{reversed.empty() ? nullptr : reversed.data(), put ? &named : nullptr,
                      static_cast<UINT>(reversed.size()), put ? 1u : 0u};
        EXCEPINFO error{};
        hr = at->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                        put ? DISPATCH_PROPERTYPUT : DISPATCH_METHOD | DISPATCH_PROPERTYGET, &dp, out.Receive(),
                        &error, nullptr);
        SysFreeString(error.bstrSource);
        SysFreeString(error.bstrDescription);
        SysFreeString(error.bstrHelpFile);
        if (hr == DISP_E_EXCEPTION && error.scode) hr = error.scode;
        if (FAILED(hr)) return hr;
        if (i + 1 < steps.size()) {
            at = folium::ReadDispatch(out.get());
            if (!at) return E_POINTER;
        }
    }
    return S_OK;
}

// The walk's answer as the typed journal writes values ("VT_R8=595", "VT_DISPATCH=nothing"),
// or the failure ("failed 0x8002000B").
inline std::wstring Get(IQxSimulator* sim, IDispatch* root, std::wstring_view path) {
    ScopedVariant out;
    const HRESULT hr = Walk(root, path, out);
    if (SUCCEEDED(hr)) return quirexsim::Describe(sim, *out.get());
    wchar_t code[32];
    swprintf(code, 32, L"failed 0x%08X", static_cast<unsigned>(hr));
    return code;
}

// A fresh simulator, its application, a temporary folder, and Documents.Open and walks
// as a script makes them.
class SimFixture : public ::testing::Test {
protected:
    void SetUp() override {
        sim = CreateSimulator();
        ASSERT_TRUE(sim) << "QUIREX_SIM_DLL must name QuirexSim.dll";
        ASSERT_EQ(S_OK, sim->Reset());
        ASSERT_EQ(S_OK, sim->get_Application(app.put()));
        dir = testsupport::NewTempFolder(L"qst");
    }
    ComPtr<IQxDocument> Open(const std::wstring& p, const std::wstring& password = L"missing") {
        ScopedVariant doc;
        EXPECT_EQ(S_OK, Walk(app.get(), L"Documents.Open(\"" + p + L"\", " + password + L", missing, missing)", doc));
        ComPtr<IQxDocument> out;
        if (auto d = folium::ReadDispatch(doc.get())) d->QueryInterface(IID_IQxDocument, out.put_void());
        return out;
    }
    std::wstring Get(IDispatch* root, std::wstring_view walk) { return simtest::Get(sim.get(), root, walk); }
    // Walks each path in turn and expects its answer; "" accepts any successful answer.
    void Expect(IDispatch* root, std::initializer_list<std::pair<std::wstring, std::wstring>> walks) {
        for (const auto& [path, want] : walks) {
            const std::wstring got = Get(root, path);
            if (want.empty())
                EXPECT_EQ(std::wstring::npos, got.find(L"failed")) << path << ": " << got;
            else
                EXPECT_EQ(want, got) << "walk: " << path;
        }
    }

    ComPtr<IQxSimulator> sim;
    ComPtr<IQxApplication> app;
    std::wstring dir;
};

// Tests of real PDF files: the sample the native build made.
class RealPdf : public SimFixture {
protected:
    void SetUp() override {
        sample = Env(L"FOLIUM_SAMPLE_PDF");
        if (GetFileAttributesW(sample.c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "build the native preset first (sample PDF and folium-pdf)";
        SimFixture::SetUp();
    }
    std::wstring sample;
};

}  // namespace simtest
