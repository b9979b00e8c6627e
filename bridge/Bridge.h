// Calls on automation objects by name, and the trace line.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "QuirexModel.h"
#include "../support/Com.h"

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

// The sibling add-in's automation object by ProgID, found in the host application's
// add-in collection; false (and null) when there is no such add-in or it is not loaded.
bool GetSiblingAddIn(IQxApplication* application, BSTR progId, IDispatch** target);

// Replaces document with the host's active document: 0 when one is open, 1 when none.
LONG RefreshActiveDocument(IQxApplication* application, ComPtr<IQxDocument>& document);

// True when the document's "DocumentType" reads 1. Takes over the caller's reference.
bool IsOfdDocument(IDispatch* document);

// Writes "VD_Folium2018_Normal_<text>" to the debugger output.
void DebugTrace(const wchar_t* text);

}  // namespace folium
