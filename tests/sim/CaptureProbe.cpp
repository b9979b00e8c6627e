// A small module that calls Win32 functions the simulator captures, the way the
// component calls them (through its import table).
#include <windows.h>
#include <commdlg.h>

extern "C" __declspec(dllexport) int ProbeMessageBox(const wchar_t* text) { return MessageBoxW(nullptr, text, L"", 0); }

extern "C" __declspec(dllexport) BOOL ProbeSave(wchar_t* buffer, DWORD size) {
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof(ofn);
    ofn.lpstrFilter = L"PDF (*.pdf)\0*.pdf\0All\0*.*\0";
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = size;
    return GetSaveFileNameW(&ofn);
}

extern "C" __declspec(dllexport) void ProbeTime(SYSTEMTIME* t) { GetLocalTime(t); }

extern "C" __declspec(dllexport) BOOL ProbeUser(wchar_t* buffer, DWORD* size) { return GetUserNameW(buffer, size); }
