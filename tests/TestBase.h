// What every Windows test program here shares (the component's, the families' and the
// simulator's): the environment the test set-up passes, temporary folders, whole files.
// Nothing generated is included, so any test program can use it.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

inline std::wstring Env(const wchar_t* name) {
    wchar_t buf[4096];
    DWORD n = GetEnvironmentVariableW(name, buf, 4096);
    return n && n < 4096 ? std::wstring(buf, n) : std::wstring();
}

// The process's temporary folder, with its trailing backslash.
inline std::wstring TempFolder() {
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    return dir;
}

// A new empty folder in the temporary folder (no trailing backslash).
inline std::wstring NewTempFolder(const wchar_t* prefix = L"tst") {
    wchar_t file[MAX_PATH];
    GetTempFileNameW(TempFolder().c_str(), prefix, 0, file);
    DeleteFileW(file);
    CreateDirectoryW(file, nullptr);
    return file;
}

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The whole file, or false when it cannot be read.
inline bool ReadAll(const std::wstring& path, std::string* bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD size = GetFileSize(h, nullptr), got = 0;
    bytes->assign(size, '\0');
    bool ok = size == 0 || (ReadFile(h, &(*bytes)[0], size, &got, nullptr) && got == size);
    CloseHandle(h);
    return ok;
}

inline std::string ReadAll(const std::wstring& path) {
    std::string bytes;
    return ReadAll(path, &bytes) ? bytes : std::string();
}

inline bool WriteAll(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD put = 0;
    bool ok = bytes.empty() || WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(h);
    return ok;
}

}  // namespace testsupport
