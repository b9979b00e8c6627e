// Stand-in for the message-server add-in "Veridane.Relay": keeps one outgoing message
// of named fields and an optional file body, posts it to WebUrl as a DBSTEP packet
// over HTTP (WinHTTP, no proxy), and keeps the reply's fields and file body.
// Test and demo equipment: a real transport, not part of the component.
#include <windows.h>
#include <winhttp.h>
#include <oleauto.h>
#include <olectl.h>

#include <cwctype>
#include <map>
#include <string>
#include <vector>

#include "QuirexAddin.h"
#include "server/dbstep/DbstepPacket.h"
#include "support/Com.h"

namespace {

// {6C1D7E52-0F3B-4C8E-9A35-2B7E5D4C1A90}
const CLSID CLSID_Relay = {0x6C1D7E52, 0x0F3B, 0x4C8E, {0x9A, 0x35, 0x2B, 0x7E, 0x5D, 0x4C, 0x1A, 0x90}};
const wchar_t kProgId[] = L"Veridane.Relay";
const wchar_t kClsidText[] = L"{6C1D7E52-0F3B-4C8E-9A35-2B7E5D4C1A90}";

HINSTANCE g_instance = nullptr;
volatile LONG g_locks = 0;

std::string Utf8(const wchar_t* s, size_t n) {
    if (!n) return std::string();
    int len = WideCharToMultiByte(CP_UTF8, 0, s, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(len), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s, static_cast<int>(n), out.data(), len, nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& s) {
    if (s.empty()) return std::wstring();
    int len = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(len), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), len);
    return out;
}

bool ReadFileBytes(const std::wstring& path, std::string& out) {
    folium::UniqueHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!f.valid()) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(f.get(), &size) || size.QuadPart > (1ll << 31)) return false;
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    return out.empty() || (ReadFile(f.get(), out.data(), static_cast<DWORD>(out.size()), &got, nullptr) && got == out.size());
}

bool WriteFileBytes(const std::wstring& path, const std::string& data) {
    folium::UniqueHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f.valid()) return false;
    DWORD put = 0;
    return data.empty() || (WriteFile(f.get(), data.data(), static_cast<DWORD>(data.size()), &put, nullptr) && put == data.size());
}

class WinHttpHandle {
public:
    explicit WinHttpHandle(HINTERNET h = nullptr) : h_(h) {}
    ~WinHttpHandle() {
        if (h_) WinHttpCloseHandle(h_);
    }
    WinHttpHandle(const WinHttpHandle&) = delete;
    WinHttpHandle& operator=(const WinHttpHandle&) = delete;
    HINTERNET get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HINTERNET h_;
};

// Members by name: DISPID, name, kinds allowed (M method, G get, P put), argument count.
struct Member {
    DISPID id;
    const wchar_t* name;
    const char* kinds;
    UINT args;
};
const Member kMembers[] = {
    {1, L"SetMsgByName", "M", 2},   {2, L"GetMsgByName", "M", 1},       {3, L"INetSetCookieEx", "M", 1},
    {4, L"MsgFileLoad", "M", 1},    {5, L"MsgFileSave", "M", 1},        {6, L"PostDBPacket", "M", 1},
    {7, L"ClearMessage", "M", 0},   {8, L"CreateTempFileName", "M", 0}, {9, L"Status", "G", 0},
    {10, L"ShowSchedule", "GP", 0}, {11, L"WebUrl", "GP", 0},
};

class Relay : public IDispatch {
public:
    Relay() { InterlockedIncrement(&g_locks); }
    virtual ~Relay() { InterlockedDecrement(&g_locks); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch)
            *ppv = static_cast<IDispatch*>(this);
        else if (riid == IID_IQxExtensibility)
            *ppv = &addIn_;
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG l = --refs_;
        if (l == 0) delete this;
        return static_cast<ULONG>(l);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        for (const Member& m : kMembers)
            if (names[0] && lstrcmpiW(names[0], m.name) == 0) {
                ids[0] = m.id;
                return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
            }
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result, EXCEPINFO*,
                        UINT*) override;

private:
    // The add-in interface the reader connects through; nothing to do on connection.
    class AddIn : public IQxExtensibility {
    public:
        explicit AddIn(Relay* owner) : owner_(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return owner_->QueryInterface(riid, ppv); }
        STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }
        STDMETHODIMP GetTypeInfoCount(UINT* n) override { return owner_->GetTypeInfoCount(n); }
        STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
        STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
        STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
            return E_NOTIMPL;
        }
        STDMETHODIMP OnConnection(IDispatch*, LONG, IDispatch*, VARIANT*) override { return S_OK; }
        STDMETHODIMP OnDisconnection(LONG, VARIANT*) override { return S_OK; }
        STDMETHODIMP OnAddInsUpdate(VARIANT*) override { return S_OK; }
        STDMETHODIMP GetDescription(LPWSTR* d) override {
            static wchar_t text[] = L"DBSTEP message server";
            if (d) *d = text;
            return S_OK;
        }
        STDMETHODIMP OnBeginShutdown(VARIANT*) override { return S_OK; }

    private:
        Relay* owner_;
    };

    SHORT Post();

    LONG refs_ = 0;
    AddIn addIn_{this};
    dbstep::Packet out_;            // the outgoing message
    dbstep::Packet reply_;          // the last reply
    std::wstring url_;
    std::wstring cookie_;
    SHORT showSchedule_ = -1;
    std::wstring status_ = L"";
};

// Text of an argument, converting other types.
std::wstring ArgText(VARIANT* v) {
    if (v->vt == VT_BSTR) return v->bstrVal ? std::wstring(v->bstrVal, SysStringLen(v->bstrVal)) : std::wstring();
    folium::ScopedVariant t;
    if (FAILED(VariantChangeType(t.get(), v, 0, VT_BSTR))) return std::wstring();
    return std::wstring(t->bstrVal, SysStringLen(t->bstrVal));
}

HRESULT SetText(VARIANT* result, const std::wstring& text) {
    if (!result) return S_OK;
    VariantInit(result);
    result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!result->bstrVal) return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
    return S_OK;
}

HRESULT SetShort(VARIANT* result, SHORT n) {
    if (result) {
        VariantInit(result);
        result->vt = VT_I2;
        result->iVal = n;
    }
    return S_OK;
}

STDMETHODIMP Relay::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result, EXCEPINFO*, UINT*) {
    const Member* m = nullptr;
    for (const Member& x : kMembers)
        if (x.id == id) m = &x;
    if (!m) return DISP_E_MEMBERNOTFOUND;
    UINT argc = dp ? dp->cArgs : 0;
    // Arguments in call order.
    std::vector<VARIANT*> args;
    for (UINT i = 0; i < argc; ++i) args.push_back(&dp->rgvarg[argc - 1 - i]);
    auto arg = [&](UINT i) -> VARIANT* {
        VARIANT* v = args[i];
        while (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
        return v;
    };
    const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    if (put) {
        if (!strchr(m->kinds, 'P')) return DISP_E_MEMBERNOTFOUND;
        if (argc != 1) return DISP_E_BADPARAMCOUNT;
        if (id == 11) url_ = ArgText(arg(0));
        if (id == 10) {
            folium::ScopedVariant n;
            if (SUCCEEDED(VariantChangeType(n.get(), arg(0), 0, VT_I2))) showSchedule_ = n->iVal;
        }
        return S_OK;
    }
    if (strchr(m->kinds, 'G') && !strchr(m->kinds, 'M')) {
        if (argc != 0) return DISP_E_BADPARAMCOUNT;
        if (id == 9) return SetText(result, status_);
        if (id == 10) return SetShort(result, showSchedule_);
        if (id == 11) return SetText(result, url_);
    }
    if (argc != m->args) return DISP_E_BADPARAMCOUNT;
    switch (id) {
        case 1: {  // SetMsgByName(name, value): a field of that name is replaced
            std::wstring name = ArgText(arg(0)), value = ArgText(arg(1));
            if (name.empty() || name.size() > dbstep::kMaxNameLength) return E_INVALIDARG;
            out_.set(Utf8(name.data(), name.size()), Utf8(value.data(), value.size()));
            return SetShort(result, 1);
        }
        case 2: {  // GetMsgByName(name): the reply's field, "" when absent
            std::wstring name = ArgText(arg(0));
            return SetText(result, Wide(reply_.get(Utf8(name.data(), name.size()))));
        }
        case 3:  // INetSetCookieEx(cookie): sent with the following posts
            cookie_ = ArgText(arg(0));
            return SetShort(result, 1);
        case 4: {  // MsgFileLoad(path): the file becomes the outgoing body
            std::string data;
            if (!ReadFileBytes(ArgText(arg(0)), data)) return SetShort(result, 0);
            out_.setBody(std::move(data));
            return SetShort(result, 1);
        }
        case 5:  // MsgFileSave(path): the reply's body is written there
            return SetShort(result, reply_.hasBody && WriteFileBytes(ArgText(arg(0)), reply_.body) ? 1 : 0);
        case 6:
            return SetShort(result, Post());
        case 7:
            out_ = dbstep::Packet();
            if (result) {
                VariantInit(result);
                result->vt = VT_I4;
                result->lVal = 0;
            }
            return S_OK;
        case 8: {
            wchar_t dir[MAX_PATH + 1] = {}, file[MAX_PATH + 1] = {};
            GetTempPathW(MAX_PATH, dir);
            if (!GetTempFileNameW(dir, L"dbs", 0, file)) return SetText(result, L"");
            return SetText(result, file);
        }
    }
    return DISP_E_MEMBERNOTFOUND;
}

// Posts the outgoing message; non-zero when the server answered 200 with a packet whose
// "RESULT" reads "OK" (any case). The reply's fields are kept whenever a packet came back.
SHORT Relay::Post() {
    reply_ = dbstep::Packet();
    status_ = L"";
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof(parts);
    wchar_t host[256] = {}, path[2048] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = 256;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = 2048;
    if (url_.empty() || !WinHttpCrackUrl(url_.c_str(), 0, 0, &parts)) {
        status_ = L"bad address";
        return 0;
    }
    std::string head;
    dbstep::Limits limits;
    if (dbstep::encodeHead(out_.fields, out_.hasBody, out_.body.size(), limits, head) != dbstep::Error::Ok) {
        status_ = L"message too large";
        return 0;
    }
    // The body goes out once; the fields stay for the next exchange.
    std::string body = std::move(out_.body);
    out_.hasBody = false;
    out_.body.clear();

    WinHttpHandle session(WinHttpOpen(L"Veridane.Relay/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return 0;
    WinHttpHandle connection(WinHttpConnect(session.get(), host, parts.nPort, 0));
    if (!connection) {
        status_ = L"cannot connect";
        return 0;
    }
    WinHttpHandle request(WinHttpOpenRequest(connection.get(), L"POST", path[0] ? path : L"/", nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!request) return 0;
    std::wstring headers = L"Content-Type: application/x-dbstep\r\n";
    if (!cookie_.empty()) headers += L"Cookie: " + cookie_ + L"\r\n";
    DWORD total = static_cast<DWORD>(head.size() + body.size());
    if (!WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA, 0, total,
                            0)) {
        status_ = L"cannot connect";
        return 0;
    }
    DWORD written = 0;
    if (!WinHttpWriteData(request.get(), head.data(), static_cast<DWORD>(head.size()), &written)) return 0;
    for (size_t off = 0; off < body.size();) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(body.size() - off, 1u << 20));
        if (!WinHttpWriteData(request.get(), body.data() + off, chunk, &written) || written == 0) {
            status_ = L"upload failed";
            return 0;
        }
        off += written;
    }
    if (!WinHttpReceiveResponse(request.get(), nullptr)) {
        status_ = L"no reply";
        return 0;
    }
    DWORD code = 0, size = sizeof(code);
    WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                        &code, &size, WINHTTP_NO_HEADER_INDEX);
    std::string reply;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &available) || available == 0) break;
        size_t at = reply.size();
        reply.resize(at + available);
        DWORD got = 0;
        if (!WinHttpReadData(request.get(), reply.data() + at, available, &got)) break;
        reply.resize(at + got);
    }
    dbstep::Packet packet;
    if (!dbstep::decode(reply, limits, packet).ok()) {
        status_ = L"HTTP " + std::to_wstring(code) + L": malformed reply";
        return 0;
    }
    reply_ = std::move(packet);
    std::wstring result = Wide(reply_.get("RESULT"));
    status_ = Wide(reply_.get("STATUS", reply_.get("RESULT")));
    return code == 200 && lstrcmpiW(result.c_str(), L"OK") == 0 ? 1 : 0;
}

class Factory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = this;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* r = new (std::nothrow) Relay();
        if (!r) return E_OUTOFMEMORY;
        r->AddRef();
        HRESULT hr = r->QueryInterface(riid, ppv);
        r->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&g_locks);
        else
            InterlockedDecrement(&g_locks);
        return S_OK;
    }
};
Factory g_factory;

bool SetKey(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return false;
    LONG e = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return e == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
    return TRUE;
}

STDAPI DllCanUnloadNow() { return g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_Relay) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_instance, path, MAX_PATH);
    std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsidText;
    bool ok = SetKey(kProgId, nullptr, L"DBSTEP message server") && SetKey(std::wstring(kProgId) + L"\\CLSID", nullptr, kClsidText) &&
              SetKey(clsidKey, nullptr, L"DBSTEP message server") && SetKey(clsidKey + L"\\ProgID", nullptr, kProgId) &&
              SetKey(clsidKey + L"\\InprocServer32", nullptr, path) &&
              SetKey(clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    return ok ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, kProgId);
    std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsidText;
    RegDeleteTreeW(HKEY_CLASSES_ROOT, clsidKey.c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, clsidKey.c_str());
    return S_OK;
}
