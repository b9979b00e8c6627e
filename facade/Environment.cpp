// Environment queries: addresses, version, language, keys and rights.
#include "FoliumFun.h"

#include <winsock2.h>
#include <iphlpapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "../addin/Connection.h"
#include "../module/GetFileVersion.h"
#include "../module/Module.h"
#include "../bridge/Bridge.h"
#include "../bridge/Walks.h"
#include "../support/win/CodePages.h"

using folium::Guarded;

namespace {

// The signature engine add-in, or null when the reader has none loaded.
folium::ComPtr<IDispatch> SignatureEngine(CFoliumFun& self) {
    folium::ComPtr<IDispatch> engine;
    folium::UniqueBstr id(L"Veridane.Folium2015");
    self.GetSiblingAddIn(id.get(), engine.put());
    return engine;
}

}  // namespace

// Whether the user is asked before work is lost; kept here and by the signature engine.
STDMETHODIMP CFoliumFun::get_AlterUser(LONG* pVal) {
    if (!pVal) return E_POINTER;
    return folium::Guarded([&] {
        auto engine = SignatureEngine(*this);
        if (!engine) return S_FALSE;
        folium::ScopedVariant value;
        HRESULT hr = folium::InvokeByName(DISPATCH_PROPERTYGET, value.get(), engine.get(), L"AlterUser");
        if (FAILED(hr)) return S_FALSE;
        auto n = folium::ReadI4(value.get());
        if (!n) return S_FALSE;
        *pVal = *n;
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::put_AlterUser(LONG value) {
    m_nAlterUser = value;
    return folium::Guarded([&] {
        auto engine = SignatureEngine(*this);
        if (!engine) return S_OK;
        auto v = folium::ScopedVariant::I4(value);
        return folium::InvokeByName(DISPATCH_PROPERTYPUT, nullptr, engine.get(), L"AlterUser", v.get());
    });
}

// The component file's own version, read from its version resource.
STDMETHODIMP CFoliumFun::get_Version(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    wchar_t path[MAX_PATH + 1] = {};
    GetModuleFileNameW(g_module.Instance(), path, MAX_PATH);
    CGetFileVersion version;
    version.Open(path);
    wchar_t text[64];
    swprintf(text, 64, L"%d.%d.%d.%d", HIWORD(version.FileVersionMS()), LOWORD(version.FileVersionMS()),
             HIWORD(version.FileVersionLS()), LOWORD(version.FileVersionLS()));
    *pVal = SysAllocString(text);
    return *pVal ? S_OK : E_OUTOFMEMORY;
}

// ---- network identity ------------------------------------------------------------------

namespace {

// The socket library for one query.
class SocketLibrary {
public:
    SocketLibrary() : ok_(WSAStartup(MAKEWORD(2, 0), &data_) == 0) {}
    ~SocketLibrary() {
        if (ok_) WSACleanup();
    }
    explicit operator bool() const { return ok_; }

private:
    WSADATA data_{};
    bool ok_;
};

// The first IPv4 address the computer's host name resolves to, or false.
bool FirstHostAddress(int nameBufferSize, in_addr& address) {
    std::vector<char> name(static_cast<size_t>(nameBufferSize), '\0');
    if (gethostname(name.data(), nameBufferSize) != 0) return false;
    hostent* host = gethostbyname(name.data());
    if (!host || host->h_addrtype != AF_INET || !host->h_addr_list || !host->h_addr_list[0]) return false;
    memcpy(&address, host->h_addr_list[0], sizeof(address));
    return true;
}

BSTR OutText(const std::wstring& text) {
    BSTR b = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!b) folium::ThrowHResult(E_OUTOFMEMORY);
    return b;
}

// The hardware address of the Ethernet adapter whose first address is address, as
// " XXXXXXXXXXXX"; empty when none is.
std::wstring EthernetAddressOf(const in_addr& address) {
    ULONG size = 704;
    std::vector<unsigned char> buffer(size);
    ULONG status = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    if (status == ERROR_BUFFER_OVERFLOW) {
        buffer.assign(size, 0);
        status = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    }
    if (status != ERROR_SUCCESS) return std::wstring();
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()); adapter; adapter = adapter->Next) {
        if (adapter->Type != MIB_IF_TYPE_ETHERNET) continue;
        if (inet_addr(adapter->IpAddressList.IpAddress.String) != address.s_addr) continue;
        const BYTE* a = adapter->Address;
        wchar_t text[16];
        swprintf(text, 16, L" %02X%02X%02X%02X%02X%02X", a[0], a[1], a[2], a[3], a[4], a[5]);
        return text;
    }
    return std::wstring();
}

// A string result read by its type; empty when it is not text.
std::wstring ResultText(const VARIANT* result) {
    auto text = folium::ReadBstr(result);
    return text ? std::wstring(text->c_str(), text->length()) : std::wstring();
}

// The 16-bit value a device or engine answers with, sign-extended.
bool ResultShort(const VARIANT* result, SHORT& value) {
    auto number = folium::ReadI4(result);
    if (!number) return false;
    value = static_cast<SHORT>(*number);
    return true;
}

}  // namespace

STDMETHODIMP CFoliumFun::WebGetIP(BSTR* strLocalIP) {
    if (!strLocalIP) return E_POINTER;
    return Guarded([&] {
        std::wstring result;
        SocketLibrary sockets;
        if (sockets) {
            in_addr address{};
            if (FirstHostAddress(128, address)) {
                const char* dotted = inet_ntoa(address);
                if (dotted) result = folium::WideFromCodePage(CP_ACP, dotted);
            }
        }
        *strLocalIP = OutText(result);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::WebGetMac(BSTR* strLocalMac) {
    if (!strLocalMac) return E_POINTER;
    return Guarded([&] {
        std::wstring result;
        SocketLibrary sockets;
        in_addr address{};
        if (sockets && FirstHostAddress(260, address)) result = EthernetAddressOf(address);
        *strLocalMac = OutText(result);
        return S_OK;
    });
}

// ---- the reader's language ------------------------------------------------------------

namespace {

struct LanguageEntry {
    const wchar_t* text;
    LONG id;
};
// Written from the text; any other text writes 0.
constexpr LanguageEntry kLanguages[] = {{L"CH", 2052}, {L"TW", 3076}, {L"EN", 1033}};

const wchar_t* LanguageTextOf(LONG id) {
    switch (id) {
        case 1028:
        case 3076: return L"TW";
        case 1033: return L"EN";
        default: return L"CH";
    }
}

LONG LanguageIdOf(std::wstring_view text) {
    for (const auto& entry : kLanguages)
        if (CompareStringOrdinal(text.data(), static_cast<int>(text.size()), entry.text, -1, TRUE) == CSTR_EQUAL)
            return entry.id;
    return 0;
}

}  // namespace

STDMETHODIMP CFoliumFun::get_Language(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        LONG id = 0;
        folium::ComPtr<IQxMainFrame> frame;
        m_spApplication->get_MainFrame(frame.put());
        if (frame) frame->get_LanguageId(&id);
        *pVal = OutText(LanguageTextOf(id));
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::put_Language(BSTR value) {
    if (!m_spApplication) return S_FALSE;
    return Guarded([&] {
        folium::ComPtr<IQxMainFrame> frame;
        m_spApplication->get_MainFrame(frame.put());
        if (!frame) return S_FALSE;
        frame->put_LanguageId(LanguageIdOf(folium::TextArg(value).view()));
        return S_OK;
    });
}

// ---- the reader's save right and alert -----------------------------------------------------

STDMETHODIMP CFoliumFun::get_SaveRight(LONG* pVal) {
    if (!pVal) return E_POINTER;
    if (!m_spApplication) return S_FALSE;
    LONG value = 0;
    m_spApplication->get_SaveAllowed(&value);
    *pVal = value;
    return S_OK;
}

STDMETHODIMP CFoliumFun::put_SaveRight(LONG value) {
    if (!m_spApplication) return S_FALSE;
    m_spApplication->put_SaveAllowed(value);
    return S_OK;
}

STDMETHODIMP CFoliumFun::Alert(BSTR strShow, VARIANT_BOOL* pbRet) {
    if (!pbRet) return E_POINTER;
    *pbRet = VARIANT_TRUE;
    if (!m_spApplication) return S_OK;
    return Guarded([&] {
        LONG result = 0;
        m_spApplication->Alert(folium::TextArg(strShow).get(), 0, &result);
        return S_OK;
    });
}

// The older spelling of Alert.
STDMETHODIMP CFoliumFun::Alter(BSTR strShow, VARIANT_BOOL* pbRet) { return Alert(strShow, pbRet); }

STDMETHODIMP CFoliumFun::IsCertTimeOut(VARIANT_BOOL* bResult) {
    if (!bResult) return E_POINTER;
    *bResult = VARIANT_TRUE;
    return S_OK;
}

// ---- the signature engine's settings and key --------------------------------------------

namespace {

// Writes a text property of the signature engine; the engine's status, S_FALSE without it.
HRESULT PutEngineText(CFoliumFun& self, const wchar_t* property, BSTR value) {
    auto engine = SignatureEngine(self);
    if (!engine) return S_FALSE;
    auto v = folium::ScopedVariant::Bstr(folium::TextArg(value).get(), SysStringLen(value));
    return folium::InvokeByName(DISPATCH_PROPERTYPUT, nullptr, engine.get(), property, v.get());
}

// A method or property of a sibling add-in answering text; false when it is missing or fails.
bool SiblingText(CFoliumFun& self, const wchar_t* progId, WORD flags, const wchar_t* member, std::wstring& text) {
    folium::ComPtr<IDispatch> sibling;
    if (!self.GetSiblingAddIn(folium::UniqueBstr(progId).get(), sibling.put())) return false;
    folium::ScopedVariant result;
    if (FAILED(folium::InvokeByName(flags, result.get(), sibling.get(), member))) return false;
    text = ResultText(result.get());
    return true;
}

}  // namespace

STDMETHODIMP CFoliumFun::put_TSServerURL(BSTR value) {
    return Guarded([&] { return PutEngineText(*this, L"TSServerURL", value); });
}

STDMETHODIMP CFoliumFun::put_TSUser(BSTR value) {
    return Guarded([&] { return PutEngineText(*this, L"TSUser", value); });
}

STDMETHODIMP CFoliumFun::put_TSPwd(BSTR value) {
    return Guarded([&] { return PutEngineText(*this, L"TSPwd", value); });
}

STDMETHODIMP CFoliumFun::get_AppCode(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return Guarded([&] {
        std::wstring code;
        bool read = SiblingText(*this, L"Veridane.Folium2015", DISPATCH_PROPERTYGET, L"AppCode", code);
        *pVal = OutText(code);
        return read ? S_OK : S_FALSE;
    });
}

STDMETHODIMP CFoliumFun::put_AppCode(BSTR value) {
    return Guarded([&] { return PutEngineText(*this, L"AppCode", value); });
}

STDMETHODIMP CFoliumFun::WebGetKeySN(BSTR* strRet) {
    if (!strRet) return E_POINTER;
    return Guarded([&] {
        std::wstring serial;
        bool read = SiblingText(*this, L"Veridane.Folium2015", DISPATCH_METHOD, L"WebGetKeySN", serial);
        *strRet = OutText(serial);
        return read ? S_OK : S_FALSE;
    });
}

STDMETHODIMP CFoliumFun::get_VersionEx(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return Guarded([&] {
        std::wstring version;
        if (!SiblingText(*this, L"Veridane.Toolkit", DISPATCH_METHOD, L"GetVersionEx", version)) version = L"1";
        *pVal = OutText(version);
        return S_OK;
    });
}

STDMETHODIMP CFoliumFun::VerifyPin(BSTR CardPin, VARIANT_BOOL* Result) {
    if (!Result) return E_POINTER;
    return Guarded([&] {
        auto engine = SignatureEngine(*this);
        if (!engine) return S_FALSE;
        auto pin = folium::ScopedVariant::Bstr(folium::TextArg(CardPin).get(), SysStringLen(CardPin));
        folium::ScopedVariant answer;
        if (FAILED(folium::InvokeByName(DISPATCH_METHOD, answer.get(), engine.get(), L"VerifyPin", pin.get())))
            return S_FALSE;
        SHORT value = 0;
        if (!ResultShort(answer.get(), value)) return S_FALSE;
        *Result = value;
        return S_OK;
    });
}

namespace {

// The signing-key device, made through the signature core when it is loaded.
const CLSID kKeyDeviceClsid = {0xE5C44C76, 0x610A, 0x4C1F, {0x90, 0x83, 0x6C, 0xE9, 0x33, 0xE3, 0xDC, 0x1D}};

// Calls a method of the device by name with no arguments.
bool CallDevice(IDispatch* device, const wchar_t* name, VARIANT* result) {
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(device->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return SUCCEEDED(device->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, result, nullptr, nullptr));
}

}  // namespace

STDMETHODIMP CFoliumFun::GetKeyCount(LONG* lRet) {
    if (!lRet) return E_POINTER;
    *lRet = 0;
    return Guarded([&] {
        folium::ComPtr<IUnknown> object;
        HRESULT hr = FoliumCreateInstance(kKeyDeviceClsid, IID_IUnknown, object.put_void());
        if (FAILED(hr) || !object) return S_FALSE;
        auto device = object.Query<IDispatch>();
        if (!device) return S_FALSE;
        folium::ScopedVariant created, count, deleted;
        if (!CallDevice(device.get(), L"WebCreateKeyObject", created.get())) return S_OK;
        if (!CallDevice(device.get(), L"WebGetKeyCount", count.get())) return S_OK;
        SHORT keys = 0;
        if (ResultShort(count.get(), keys)) *lRet = keys;
        CallDevice(device.get(), L"WebDeleteKeyObject", deleted.get());
        return S_OK;
    });
}

// Members that deliberately do nothing: success, out-parameter untouched.
STDMETHODIMP CFoliumFun::GetErrorString(LONG /*Code*/, BSTR* /*strError*/) { return S_OK; }
STDMETHODIMP CFoliumFun::put_Version(BSTR /*value*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_TSServerURL(BSTR* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_TSUser(BSTR* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::get_TSPwd(BSTR* /*pVal*/) { return S_OK; }
STDMETHODIMP CFoliumFun::put_VersionEx(BSTR /*value*/) { return S_OK; }
