// Texts from scripts that name a file, folder or URL.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cwchar>
#include <initializer_list>
#include <string_view>

namespace folium {

// True when text (null meaning "") holds a NUL before its end. Such a text
// must not name a file, folder or URL: the system and the host read it only
// up to the NUL, so something else than the script meant would be touched.
inline bool HasEmbeddedNul(BSTR text) {
    const UINT length = SysStringLen(text);
    return length > 0 && std::wmemchr(text, L'\0', length) != nullptr;
}

// The same for a text already taken whole from its BSTR (length included).
inline bool HasEmbeddedNul(std::wstring_view text) { return text.find(L'\0') != std::wstring_view::npos; }

// True when every one of the member's path, folder or URL arguments may be
// used; the member refuses with its failure result otherwise, before it
// writes, opens or sends anything.
inline bool PathTextsUsable(std::initializer_list<BSTR> texts) {
    for (BSTR text : texts)
        if (HasEmbeddedNul(text)) return false;
    return true;
}

}  // namespace folium
