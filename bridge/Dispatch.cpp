// Calls by name on any automation object, the document-kind test and the trace line.
#include "Bridge.h"

#include <memory>
#include <string>

#include "../support/Com.h"

namespace folium {

HRESULT InvokeByNameArray(WORD flags, VARIANT* result, IDispatch* target, LPCOLESTR name, int count,
                          VARIANT* const* args) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    HRESULT hr = target->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    if (count < 0) count = 0;
    // Bitwise copies: the caller keeps ownership of its VARIANTs.
    std::unique_ptr<VARIANT[]> list(new (std::nothrow) VARIANT[static_cast<size_t>(count) + 1]);
    if (!list) return E_OUTOFMEMORY;
    for (int i = 0; i < count; ++i) list[i] = *args[i];
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{list.get(), nullptr, static_cast<UINT>(count), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    return target->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, flags, &params, result, nullptr, nullptr);
}

bool IsOfdDocument(IDispatch* document) {
    ComPtr<IDispatch> doc = ComPtr<IDispatch>::Attach(document);
    if (!doc) return false;
    auto type = ScopedVariant::I4(0);
    HRESULT hr = InvokeByName(DISPATCH_PROPERTYGET, type.get(), doc.get(), L"DocumentType");
    return SUCCEEDED(hr) && ReadI4(type.get()).value_or(0) == 1;
}

void DebugTrace(const wchar_t* text) {
    std::wstring line = L"VD_Folium2018_Normal_";
    line += text ? text : L"";
    OutputDebugStringW(line.c_str());
}

}  // namespace folium

