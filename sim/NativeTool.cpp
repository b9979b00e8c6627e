// Wine's CreateProcess starts a Linux program but hands back no process handle
// (so no waiting and no exit code) and does not pass it the standard handles.
// ntdll's __wine_unix_spawnvp does wait and returns the exit status; a small
// shell line sends the tool's output and errors to files we read afterwards.
#include "NativeTool.h"

#include <windows.h>

#include "App.h"
#include "Model.h"
#include "SimCore.h"

namespace qxsim {

namespace {

using UnixSpawn = LONG(CDECL*)(char* const argv[], int wait);  // returns the exit status when waiting
using UnixFileName = char*(CDECL*)(const wchar_t* dosName);

std::wstring ModuleFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleFolder), &self);
    wchar_t path[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW(self, path, MAX_PATH * 2);
    std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L"\\/"));
}

// A temporary file that is deleted when it goes.
struct TempFile {
    std::wstring path = TempFileName();
    ~TempFile() { DeleteFileW(path.c_str()); }
    std::wstring Read() const {
        std::string bytes;
        ReadWholeFile(path, &bytes);
        return ToWide(bytes);
    }
};

std::wstring Trim(std::wstring s) {
    while (!s.empty() && (s.back() == L'\n' || s.back() == L'\r' || s.back() == L' ')) s.pop_back();
    return s;
}

}  // namespace

std::wstring UnixPath(const std::wstring& windowsPath) {
    static auto convert = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return L"";
    char* unix = convert(windowsPath.c_str());
    if (!unix) return L"";
    std::wstring result = ToWide(unix);
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

std::wstring PdfToolPath() {
    wchar_t value[4096];
    DWORD n = GetEnvironmentVariableW(L"FOLIUM_PDF_TOOL", value, 4096);
    if (n > 0 && n < 4096) return std::wstring(value, n);
    return UnixPath(ModuleFolder() + L"\\..\\..\\native\\bin\\folium-pdf");
}

long RunPdfTool(const std::vector<std::wstring>& args, std::wstring* output, std::wstring* error) {
    static auto spawn = reinterpret_cast<UnixSpawn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp")));
    std::wstring tool = PdfToolPath();
    TempFile out, err;
    std::wstring outUnix = UnixPath(out.path), errUnix = UnixPath(err.path);
    if (!spawn || tool.empty() || outUnix.empty() || errUnix.empty()) {
        if (error) *error = L"cannot start native programs (not running under Wine)";
        return -1;
    }
    // sh -c '...' sh OUT ERR TOOL ARGS...: the arguments need no quoting. coreutils'
    // timeout stops a tool that hangs on some pathological file (exit status 124).
    std::vector<std::string> words = {
        "/bin/sh", "-c", "o=$1; e=$2; shift 2; exec timeout -k 5 " + std::to_string(kPdfToolSeconds) +
                             " \"$@\" >\"$o\" 2>\"$e\"",
        "sh", ToUtf8(outUnix), ToUtf8(errUnix), ToUtf8(tool)};
    for (auto& a : args) words.push_back(ToUtf8(a));
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    long code = static_cast<long>(spawn(argv.data(), 1));
    if (output) *output = out.Read();
    if (error) *error = Trim(err.Read());
    if ((code == 126 || code == 127) && error) *error = L"PDF tool not found: " + tool;  // the shell's codes
    if ((code == 124 || code == 137) && error)
        *error = L"PDF tool stopped after " + std::to_wstring(kPdfToolSeconds) + L" s";
    return code;
}

// The tool's reason without its "folium-pdf: " prefix, or `fallback` when it gave none.
std::wstring ToolReason(std::wstring reason, const wchar_t* fallback) {
    const std::wstring prefix = L"folium-pdf: ";
    if (reason.compare(0, prefix.size(), prefix) == 0) reason.erase(0, prefix.size());
    return reason.empty() ? fallback : reason;
}

bool ExportPdf(const std::string& state, const std::wstring& windowsPath, std::wstring* error) {
    TempFile json;
    std::wstring jsonUnix = UnixPath(json.path), out = UnixPath(windowsPath), reason;
    long code = -1;
    if (!WriteWholeFile(json.path, state)) reason = L"cannot write a temporary file";
    else if (jsonUnix.empty() || out.empty()) reason = L"no Unix path for " + windowsPath;
    else code = RunPdfTool({L"export", jsonUnix, out}, nullptr, &reason);
    if (code == 0) return true;
    if (error) *error = ToolReason(reason, L"the PDF could not be exported");
    return false;
}

bool ImportPdf(const std::wstring& windowsPath, const std::wstring& password, std::string* fixture,
               std::wstring* error) {
    std::wstring in = UnixPath(windowsPath);
    TempFile json;
    std::wstring jsonUnix = UnixPath(json.path);
    wchar_t limit[32];
    DWORD n = GetEnvironmentVariableW(L"FOLIUM_PDF_MAX_PAGES", limit, 32);
    std::vector<std::wstring> args = {L"import", in, jsonUnix, L"--max-pages",
                                      n > 0 && n < 32 ? std::wstring(limit, n) : std::to_wstring(kPdfMaxPages)};
    if (!password.empty()) args.insert(args.end(), {L"--password", password});
    std::wstring reason;
    long code = in.empty() || jsonUnix.empty() ? -1 : RunPdfTool(args, nullptr, &reason);
    if (code != 0 || !ReadWholeFile(json.path, fixture)) {
        if (error) *error = ToolReason(reason, L"the PDF could not be imported");
        return false;
    }
    return true;
}

}  // namespace qxsim
