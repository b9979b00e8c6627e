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
    if (!fun.Stamps().info.empty()) return std::wstring(fun.Stamps().info.c_str(), fun.Stamps().info.length());
    std::wstring text = L"{\"author\":\"";
    text += author;
    text += L"\",\"customType\":\"";
    text.append(fun.Stamps().stampType.c_str(), fun.Stamps().stampType.length());
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

ScopedVariant MakeText(BSTR value) {
    return value ? ScopedVariant::Bstr(value, SysStringLen(value)) : ScopedVariant::Bstr(L"");
}

std::vector<std::uint8_t> DecodeImageText(BSTR text) {
    std::string ansi = NarrowToCodePage(CP_THREAD_ACP, TextArg(text).view());
    return DecodeBase64(ansi);
}

}  // namespace folium::annots
