// Calls on automation objects by name, and the trace line.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace folium {

// Calls a member of target by name. args are the argument VARIANTs in REVERSE order
// (the first is the member's last parameter), as DISPPARAMS holds them. The name is
// looked up anew on every call. A property write carries DISPID_PROPERTYPUT.
HRESULT InvokeByNameArray(WORD flags, VARIANT* result, IDispatch* target, LPCOLESTR name, int count,
                          VARIANT* const* args);

template <class... Args>
HRESULT InvokeByName(WORD flags, VARIANT* result, IDispatch* target, LPCOLESTR name, Args*... args) {
    VARIANT* list[] = {args..., nullptr};
    return InvokeByNameArray(flags, result, target, name, static_cast<int>(sizeof...(Args)), list);
}

// True when the document's "DocumentType" reads 1. Takes over the caller's reference.
bool IsOfdDocument(IDispatch* document);

// Writes "VD_Folium2018_Normal_<text>" to the debugger output.
void DebugTrace(const wchar_t* text);

}  // namespace folium
