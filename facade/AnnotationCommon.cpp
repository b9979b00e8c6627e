// Shared pieces of the annotation members.
#include "AnnotationCommon.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "../bridge/Bridge.h"
#include "../bridge/Walks.h"
#include "../support/Base64.h"
#include "../support/win/CodePages.h"

namespace folium::annots {

std::wstring WindowsUserName() {
    wchar_t name[257] = {};
    DWORD size = 257;
    if (!GetUserNameW(name, &size)) return std::wstring();
    return name;
}

std::wstring ReaderAuthor(IQxApplication* app) {
    UniqueBstr name;
    if (app) {
        ComPtr<IQxMainFrame> frame;
        app->get_MainFrame(frame.put());
        if (frame) frame->get_UserName(name.put());
    }
    if (!name.empty()) return std::wstring(name.c_str(), name.length());
    return WindowsUserName();
}

std::wstring AnnotInfoText(const CFoliumFun& fun, const std::wstring& author) {
    if (!fun.m_strAnnotInfo.empty()) return std::wstring(fun.m_strAnnotInfo.c_str(), fun.m_strAnnotInfo.length());
    std::wstring text = L"{\"author\":\"";
    text += author;
    text += L"\",\"customType\":\"";
    text.append(fun.m_strAnnotStampType.c_str(), fun.m_strAnnotStampType.length());
    text += L"\"}";
    return text;
}

std::wstring ToPdfDate(const std::wstring& text) {
    if (text.size() == 23) return text;
    std::wstring digits;
    for (wchar_t c : text)
        if (c != L'-' && c != L' ' && c != L':') digits += c;
    if (digits.size() == 14) return L"D:" + digits + L"+08'00'";
    return digits;
}

void RedrawPage(IQxDocument* document, IQxPage* page) {
    ComPtr<IQxPageView> view = PageViewOf(document);
    if (page) page->Update();
    if (view) view->Refresh();
}

HRESULT CallByName(IDispatch* target, WORD flags, const wchar_t* name, std::initializer_list<VARIANT*> params,
                   VARIANT* result) {
    std::vector<VARIANT*> reversed(params.begin(), params.end());
    std::reverse(reversed.begin(), reversed.end());
    return InvokeByNameArray(flags, result, target, name, static_cast<int>(reversed.size()), reversed.data());
}

ScopedVariant MakeI2(SHORT value) {
    ScopedVariant v;
    v->vt = VT_I2;
    v->iVal = value;
    return v;
}

ScopedVariant MakeUi4(ULONG value) {
    ScopedVariant v;
    v->vt = VT_UI4;
    v->ulVal = value;
    return v;
}

ScopedVariant MakeR4(FLOAT value) {
    ScopedVariant v;
    v->vt = VT_R4;
    v->fltVal = value;
    return v;
}

ScopedVariant MakeText(BSTR value) {
    ScopedVariant v;
    BSTR copy = SysAllocStringLen(value ? value : L"", value ? SysStringLen(value) : 0);
    if (!copy) ThrowHResult(E_OUTOFMEMORY);
    v->vt = VT_BSTR;
    v->bstrVal = copy;
    return v;
}

ScopedVariant MakeByteArray(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() > 0x7FFFFFFF) ThrowHResult(E_OUTOFMEMORY);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array) ThrowHResult(E_OUTOFMEMORY);
    if (!bytes.empty()) {
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(array, &data))) {
            SafeArrayDestroy(array);
            ThrowHResult(E_OUTOFMEMORY);
        }
        memcpy(data, bytes.data(), bytes.size());
        SafeArrayUnaccessData(array);
    }
    ScopedVariant v;
    v->vt = VT_ARRAY | VT_UI1;
    v->parray = array;
    return v;
}

std::vector<std::uint8_t> DecodeImageText(BSTR text) {
    std::string ansi = NarrowToCodePage(CP_THREAD_ACP, TextArg(text).view());
    return DecodeBase64(ansi);
}

LONG ResultLong(const VARIANT& result, LONG fallback) {
    if (result.vt == VT_I4) return result.lVal;
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&result), 0, VT_I4))) return fallback;
    return converted.lVal;
}

}  // namespace folium::annots
