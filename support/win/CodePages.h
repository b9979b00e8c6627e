// Conversions between UTF-16 and 8-bit text in a code page (CP_ACP, CP_THREAD_ACP, CP_UTF8).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace folium {

inline std::wstring WideFromCodePage(UINT codePage, std::string_view text) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), w.data(), n);
    return w;
}

inline std::string NarrowToCodePage(UINT codePage, std::wstring_view text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), s.data(), n, nullptr, nullptr);
    return s;
}

}  // namespace folium
