// Capture of the message boxes, common dialogs, clock and user name a loaded
// module calls: its import address table entries are pointed at the simulator,
// which logs each call and answers what the test queued.
#include <windows.h>
#include <commdlg.h>

#include <deque>
#include <map>

#include "App.h"

namespace qxsim {

namespace {

struct Answers {
    std::deque<VARIANT> queue;
    VARIANT sticky;
    bool hasSticky = false;
};

std::map<std::wstring, Answers>& Table() {
    static std::map<std::wstring, Answers> t;
    return t;
}
std::vector<std::wstring>& Lines() {
    static std::vector<std::wstring> l;
    return l;
}

// The next answer for fn; false when the test gave none.
bool NextAnswer(const wchar_t* fn, VARIANT* out) {
    VariantInit(out);
    auto it = Table().find(fn);
    if (it == Table().end()) return false;
    Answers& a = it->second;
    if (!a.queue.empty()) {
        *out = a.queue.front();
        a.queue.pop_front();
        return true;
    }
    if (a.hasSticky) return SUCCEEDED(VariantCopy(out, &a.sticky));
    return false;
}

void Log(const std::wstring& line) {
    Lines().push_back(line);
    JournalLine(L"Win32." + line);
}

long AnswerLong(const VARIANT& v, long def) {
    long long n = def;
    VariantToLong(v, &n);
    return static_cast<long>(n);
}

int WINAPI HookMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    Log(L"MessageBoxW(" + std::wstring(owner ? L"owner" : L"null") + L", " + Quote(text) + L", " +
        (caption ? Quote(caption) : std::wstring(L"null")) + L", " + Num((long long)type) + L")");
    VARIANT a;
    int r = IDOK;
    if (NextAnswer(L"MessageBoxW", &a)) r = AnswerLong(a, IDOK);
    VariantClear(&a);
    return r;
}

BOOL FileDialog(const wchar_t* fn, LPOPENFILENAMEW ofn) {
    std::wstring filter;
    if (ofn && ofn->lpstrFilter) {
        for (const wchar_t* p = ofn->lpstrFilter; *p; p += wcslen(p) + 1) filter += std::wstring(p) + L"|";
    }
    std::wstring initial = ofn && ofn->lpstrFile ? ofn->lpstrFile : L"";
    Log(std::wstring(fn) + L"(" + Quote(filter) + L", " + Quote(ofn && ofn->lpstrInitialDir ? ofn->lpstrInitialDir : L"") +
        L", " + Quote(initial) + L", " + Quote(ofn && ofn->lpstrDefExt ? ofn->lpstrDefExt : L"") + L", " +
        Num((long long)(ofn ? ofn->Flags : 0)) + L", " +
        (ofn && ofn->lpstrTitle ? Quote(ofn->lpstrTitle) : std::wstring(L"null")) + L", " +
        Num((long long)(ofn ? ofn->nFilterIndex : 0)) + L")");
    VARIANT a;
    std::wstring path;
    bool have = NextAnswer(fn, &a) && VariantToText(a, &path);
    VariantClear(&a);
    if (!have || path.empty() || !ofn || !ofn->lpstrFile) return FALSE;  // cancelled
    // "N|path" also picks the N-th filter, as a user who changes the file type.
    size_t bar = path.find(L'|');
    if (bar != std::wstring::npos && bar > 0 && path.find_first_not_of(L"0123456789") == bar) {
        ofn->nFilterIndex = static_cast<DWORD>(_wtol(path.substr(0, bar).c_str()));
        path = path.substr(bar + 1);
    }
    if (path.size() + 1 > ofn->nMaxFile) return FALSE;
    wcscpy(ofn->lpstrFile, path.c_str());
    size_t slash = path.find_last_of(L"\\/");
    ofn->nFileOffset = static_cast<WORD>(slash == std::wstring::npos ? 0 : slash + 1);
    size_t dot = path.find_last_of(L'.');
    ofn->nFileExtension = static_cast<WORD>(dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash) ? 0 : dot + 1);
    return TRUE;
}

BOOL WINAPI HookGetOpenFileNameW(LPOPENFILENAMEW ofn) { return FileDialog(L"GetOpenFileNameW", ofn); }
BOOL WINAPI HookGetSaveFileNameW(LPOPENFILENAMEW ofn) { return FileDialog(L"GetSaveFileNameW", ofn); }

std::vector<std::wstring>& TraceLines() {
    static std::vector<std::wstring> l;
    return l;
}

// Trace lines are kept apart from the captured calls: a module traces often, and
// tests of its dialogs and messages should not have to skip them.
void WINAPI HookOutputDebugStringW(LPCWSTR text) {
    TraceLines().push_back(text ? text : L"");
    OutputDebugStringW(text);
}

BOOL WINAPI HookChooseColorW(LPCHOOSECOLORW cc) {
    Log(L"ChooseColorW(" + Num((long long)(cc ? cc->rgbResult : 0)) + L", " + Num((long long)(cc ? cc->Flags : 0)) + L")");
    VARIANT a;
    bool have = NextAnswer(L"ChooseColorW", &a);
    long long colour = -1;
    if (have) VariantToLong(a, &colour);
    VariantClear(&a);
    if (!have || colour < 0 || !cc) return FALSE;  // cancelled
    cc->rgbResult = static_cast<COLORREF>(colour);
    return TRUE;
}

void WINAPI HookGetLocalTime(LPSYSTEMTIME t) {
    Log(L"GetLocalTime()");
    VARIANT a;
    std::wstring text;
    bool have = NextAnswer(L"GetLocalTime", &a) && VariantToText(a, &text);
    VariantClear(&a);
    GetLocalTime(t);
    if (!have || !t) return;
    // "YYYY-MM-DD HH:MM:SS[.mmm]"
    unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    int n = swscanf(text.c_str(), L"%u-%u-%u %u:%u:%u.%u", &y, &mo, &d, &h, &mi, &s, &ms);
    if (n < 3) return;
    t->wYear = (WORD)y;
    t->wMonth = (WORD)mo;
    t->wDay = (WORD)d;
    t->wHour = (WORD)h;
    t->wMinute = (WORD)mi;
    t->wSecond = (WORD)s;
    t->wMilliseconds = (WORD)ms;
    SYSTEMTIME probe = *t;
    FILETIME ft;
    if (SystemTimeToFileTime(&probe, &ft) && FileTimeToSystemTime(&ft, &probe)) t->wDayOfWeek = probe.wDayOfWeek;
}

BOOL WINAPI HookGetUserNameW(LPWSTR buffer, LPDWORD size) {
    Log(L"GetUserNameW(" + Num((long long)(size ? *size : 0)) + L")");
    VARIANT a;
    std::wstring name;
    bool have = NextAnswer(L"GetUserNameW", &a) && VariantToText(a, &name);
    VariantClear(&a);
    if (!have) {
        using Fn = BOOL(WINAPI*)(LPWSTR, LPDWORD);
        HMODULE advapi = LoadLibraryW(L"advapi32.dll");
        Fn real = advapi ? reinterpret_cast<Fn>(GetProcAddress(advapi, "GetUserNameW")) : nullptr;
        return real ? real(buffer, size) : FALSE;
    }
    if (!size) return FALSE;
    if (!buffer || *size < name.size() + 1) {
        *size = static_cast<DWORD>(name.size() + 1);
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    wcscpy(buffer, name.c_str());
    *size = static_cast<DWORD>(name.size() + 1);
    return TRUE;
}

struct Hook {
    const char* name;
    void* fn;
};

const Hook kHooks[] = {
    {"MessageBoxW", reinterpret_cast<void*>(&HookMessageBoxW)},
    {"GetOpenFileNameW", reinterpret_cast<void*>(&HookGetOpenFileNameW)},
    {"GetSaveFileNameW", reinterpret_cast<void*>(&HookGetSaveFileNameW)},
    {"ChooseColorW", reinterpret_cast<void*>(&HookChooseColorW)},
    {"GetLocalTime", reinterpret_cast<void*>(&HookGetLocalTime)},
    {"GetUserNameW", reinterpret_cast<void*>(&HookGetUserNameW)},
    {"OutputDebugStringW", reinterpret_cast<void*>(&HookOutputDebugStringW)},
};

}  // namespace

long CaptureImports(const std::wstring& moduleName) {
    HMODULE mod = GetModuleHandleW(moduleName.c_str());
    if (!mod) return -1;
    auto* base = reinterpret_cast<BYTE*>(mod);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) return 0;
    long patched = 0;
    for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
        DWORD namesRva = imp->OriginalFirstThunk ? imp->OriginalFirstThunk : imp->FirstThunk;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesRva);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            for (const Hook& h : kHooks) {
                if (strcmp(reinterpret_cast<const char*>(byName->Name), h.name) != 0) continue;
                DWORD old = 0;
                if (VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old)) {
                    slots->u1.Function = reinterpret_cast<ULONG_PTR>(h.fn);
                    VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
                    ++patched;
                }
            }
        }
    }
    return patched;
}

void QueueAnswer(const std::wstring& function, const VARIANT& answer, bool sticky) {
    Answers& a = Table()[function];
    VARIANT copy;
    VariantInit(&copy);
    VariantCopyInd(&copy, const_cast<VARIANT*>(&answer));
    if (sticky) {
        if (a.hasSticky) VariantClear(&a.sticky);
        a.sticky = copy;
        a.hasSticky = copy.vt != VT_EMPTY;
    } else {
        a.queue.push_back(copy);
    }
}

bool TakeAnswer(const wchar_t* function, VARIANT* out) { return NextAnswer(function, out); }

const std::vector<std::wstring>& CapturedLines() { return Lines(); }
const std::vector<std::wstring>& Traces() { return TraceLines(); }

void ClearCaptures() {
    for (auto& [fn, a] : Table()) {
        for (auto& v : a.queue) VariantClear(&v);
        if (a.hasSticky) VariantClear(&a.sticky);
    }
    Table().clear();
    Lines().clear();
    TraceLines().clear();
}

}  // namespace qxsim
