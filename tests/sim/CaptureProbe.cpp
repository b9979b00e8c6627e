// A small module that calls the Win32 functions the simulator captures, the way
// the component calls them (through its import table).
#include <windows.h>
#include <commdlg.h>

extern "C" __declspec(dllexport) int ProbeMessageBox(const wchar_t* text) {
    return MessageBoxW(nullptr, text, L"提示", MB_ICONHAND);
}

static DWORD g_filterIndex = 0;

static BOOL FileDialog(bool save, wchar_t* buffer, DWORD size) {
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.lpstrFilter = L"PDF (*.pdf)\0*.pdf\0All\0*.*\0";
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = size;
    ofn.lpstrDefExt = L"pdf";
    ofn.Flags = OFN_PATHMUSTEXIST;
    BOOL ok = save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    g_filterIndex = ofn.nFilterIndex;
    return ok;
}

// A titled save dialog that starts on the second filter; the filter index it ended with.
extern "C" __declspec(dllexport) DWORD ProbeSaveTitled(wchar_t* buffer, DWORD size) {
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.lpstrFilter = L"PDF\0*.pdf\0All\0*.*\0";
    ofn.nFilterIndex = 2;
    ofn.lpstrTitle = L"保存文档";
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = size;
    GetSaveFileNameW(&ofn);
    return ofn.nFilterIndex;
}

extern "C" __declspec(dllexport) void ProbeTrace(const wchar_t* text) { OutputDebugStringW(text); }

extern "C" __declspec(dllexport) BOOL ProbeOpen(wchar_t* buffer, DWORD size) { return FileDialog(false, buffer, size); }
extern "C" __declspec(dllexport) BOOL ProbeSave(wchar_t* buffer, DWORD size) { return FileDialog(true, buffer, size); }

extern "C" __declspec(dllexport) BOOL ProbeColor(COLORREF* colour) {
    static COLORREF custom[16];
    CHOOSECOLORW cc = {};
    cc.lStructSize = sizeof(cc);
    cc.lpCustColors = custom;
    cc.rgbResult = *colour;
    cc.Flags = CC_RGBINIT;
    BOOL ok = ChooseColorW(&cc);
    if (ok == TRUE) *colour = cc.rgbResult;
    return ok;
}

extern "C" __declspec(dllexport) void ProbeTime(SYSTEMTIME* t) { GetLocalTime(t); }

extern "C" __declspec(dllexport) BOOL ProbeUser(wchar_t* buffer, DWORD* size) { return GetUserNameW(buffer, size); }
