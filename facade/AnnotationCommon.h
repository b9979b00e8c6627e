// What the annotation members share: the author of new annotations, the "AnnotInfo"
// text of image stamps, the PDF date of comment times, calls on sibling add-ins with
// the arguments in parameter order, and reading their results by type.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>
#include <cstdint>
#include <string>
#include <vector>

#include "FoliumFun.h"

namespace folium::annots {

// The Windows user name of the process ("" when the system gives none).
std::wstring WindowsUserName();

// The reader's user name (MainFrame.UserName); the Windows user name when empty.
std::wstring ReaderAuthor(IQxApplication* app);

// The AnnotInfo property when set, else {"author":"<author>","customType":"<stamp type>"}
// (no spaces, texts inserted as they are).
std::wstring AnnotInfoText(const CFoliumFun& fun, const std::wstring& author);

// A text of exactly 23 characters is taken as a complete PDF date; otherwise "-", " "
// and ":" are removed and 14 remaining characters become "D:<digits>+08'00'".
std::wstring ToPdfDate(const std::wstring& text);

// Document.Window -> DocWindow.View; Page.Update; PageView.Refresh.
void RedrawPage(IQxDocument* document, IQxPage* page);

// Calls a member by name with the arguments given in the callee's parameter order.
HRESULT CallByName(IDispatch* target, WORD flags, const wchar_t* name, std::initializer_list<VARIANT*> params,
                   VARIANT* result);

// A text argument: a copy of value, embedded NULs kept; null reads as "".
ScopedVariant MakeText(BSTR value);

// Base64 text as the image members take it: converted to the thread's ANSI code page
// and decoded with the standard table.
std::vector<std::uint8_t> DecodeImageText(BSTR text);

// A result's 32-bit value read by its type; fallback when it cannot be read as one.
inline LONG ResultLong(const VARIANT& result, LONG fallback) { return ReadI4(result).value_or(fallback); }

}  // namespace folium::annots
