// Stand-in for the signature core library: reports a configuration folder and
// creates COM objects by class identifier.
#include <windows.h>
#include <objbase.h>

#include <cstring>
#include <string>

namespace {
LONG g_configCalls = 0, g_createCalls = 0;
HMODULE g_self = nullptr;

// VD_CONFIG_DIR when set, else the "Config" folder beside this library; in the
// thread's ANSI code page.
std::string ConfigFolder() {
    char buf[4096];
    wchar_t wide[2048];
    // Read wide and convert: the ANSI variable reader's length is unreliable for
    // double-byte code pages under Wine.
    DWORD w = GetEnvironmentVariableW(L"VD_CONFIG_DIR", wide, 2048);
    if (w > 0 && w < 2048) {
        int n = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(w), buf, sizeof(buf), nullptr, nullptr);
        return std::string(buf, n > 0 ? n : 0);
    }
    DWORD n = GetModuleFileNameA(g_self, buf, sizeof(buf));
    std::string path(buf, n);
    size_t slash = path.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + "Config";
}
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_self = instance;
    return TRUE;
}

// Fills buffer (capacity *size bytes) with the configuration folder, cut to fit
// and NUL-terminated; *size becomes the folder's full length. Returns 0, or -1
// without a buffer.
extern "C" int WINAPI VD_GetConfigPath(char* buffer, int* size) {
    InterlockedIncrement(&g_configCalls);
    if (!buffer || !size || *size <= 0) return -1;
    std::string folder = ConfigFolder();
    size_t room = static_cast<size_t>(*size) - 1;
    size_t n = folder.size() < room ? folder.size() : room;
    memcpy(buffer, folder.data(), n);
    buffer[n] = '\0';
    *size = static_cast<int>(folder.size());
    return 0;
}

extern "C" HRESULT WINAPI VD_CoCreateInstanceFromClsID(const CLSID* clsid, const IID* iid, void** object) {
    InterlockedIncrement(&g_createCalls);
    if (!clsid || !iid || !object) return E_POINTER;
    *object = nullptr;
    return CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, *iid, object);
}

// How often each entry point was called (0 = VD_GetConfigPath, 1 = creation).
extern "C" LONG WINAPI VD_CallCount(int which) { return which == 0 ? g_configCalls : g_createCalls; }
