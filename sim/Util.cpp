// Text helpers, the journal and the type library of the simulator.
#include <cstdio>
#include <cwctype>
#include <map>

#include "SimCore.h"

namespace qxsim {

HMODULE g_module = nullptr;
LONG g_objectCount = 0;

namespace {
ITypeLib* g_typeLib = nullptr;
std::vector<std::wstring> g_journal, g_typedJournal;
struct FaultRule {
    std::wstring operation;
    HRESULT hr;
    bool null;
    long times;  // < 0: always
    long skip;
};
std::vector<FaultRule> g_faults;
int g_internal = 0;
std::vector<std::wstring> g_notifications;
bool g_recording = true;
}  // namespace

HRESULT GetTypeInfoOf(REFIID iid, ITypeInfo** info) {
    if (!g_typeLib) {
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(g_module, path, MAX_PATH);
        HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, &g_typeLib);
        if (FAILED(hr)) return hr;
    }
    return g_typeLib->GetTypeInfoOfGuid(iid, info);
}

std::wstring Quote(const std::wstring& s) {
    std::wstring out = L"\"";
    for (wchar_t c : s) {
        switch (c) {
            case L'"': out += L"\\\""; break;
            case L'\\': out += L"\\\\"; break;
            case L'\n': out += L"\\n"; break;
            case L'\r': out += L"\\r"; break;
            case L'\t': out += L"\\t"; break;
            default: out += c;
        }
    }
    return out + L"\"";
}

std::wstring Quote(const wchar_t* s) { return Quote(std::wstring(s ? s : L"")); }

std::wstring Num(long long n) { return std::to_wstring(n); }

std::wstring Num(double d) {
    wchar_t buf[64];
    if (d == static_cast<double>(static_cast<long long>(d)) && d > -1e15 && d < 1e15)
        swprintf(buf, 64, L"%lld", static_cast<long long>(d));
    else
        swprintf(buf, 64, L"%.10g", d);
    return buf;
}

std::wstring FormatVariant(const VARIANT& v) {
    VARTYPE vt = v.vt;
    if (vt & VT_BYREF) {
        if (!v.byref) return L"null";
        VARIANT deref;
        VariantInit(&deref);
        deref.vt = vt & ~VT_BYREF;
        switch (deref.vt) {
            case VT_BOOL: deref.boolVal = *v.pboolVal; break;
            case VT_I4: deref.lVal = *v.plVal; break;
            case VT_BSTR: deref.bstrVal = *v.pbstrVal; break;
            case VT_VARIANT: return L"&" + FormatVariant(*v.pvarVal);
            default: return L"byref";
        }
        return L"&" + FormatVariant(deref);
    }
    switch (vt) {
        case VT_EMPTY: return L"empty";
        case VT_NULL: return L"null";
        case VT_ERROR: return v.scode == DISP_E_PARAMNOTFOUND ? L"missing" : L"error:" + Num((long long)v.scode);
        case VT_BSTR: return Quote(Str(v.bstrVal));
        case VT_BOOL: return Num((long long)v.boolVal);
        case VT_I1: return Num((long long)v.cVal);
        case VT_UI1: return Num((long long)v.bVal);
        case VT_I2: return Num((long long)v.iVal);
        case VT_UI2: return Num((long long)v.uiVal);
        case VT_I4: return Num((long long)v.lVal);
        case VT_UI4: return Num((long long)v.ulVal);
        case VT_INT: return Num((long long)v.intVal);
        case VT_UINT: return Num((long long)v.uintVal);
        case VT_I8: return Num((long long)v.llVal);
        case VT_UI8: return Num((long long)v.ullVal);
        case VT_R4: return Num((double)v.fltVal);
        case VT_R8: return Num(v.dblVal);
        case VT_DISPATCH: return v.pdispVal ? L"object" : L"nothing";
        case VT_UNKNOWN: return v.punkVal ? L"object" : L"nothing";
        default: break;
    }
    if (vt == (VT_ARRAY | VT_UI1)) {
        std::string bytes;
        VariantToBytes(v, &bytes);
        return L"bytes[" + Num((long long)bytes.size()) + L"]";
    }
    return L"vt:" + Num((long long)vt);
}

std::wstring ToWide(const std::string& s) {
    if (s.empty()) return {};
    // One conversion into a buffer of the worst-case size (UTF-16 never has
    // more units than UTF-8 has bytes).
    std::wstring w(s.size(), L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], (int)w.size());
    w.resize(n > 0 ? n : 0);
    return w;
}

std::string ToUtf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}

std::wstring Lower(std::wstring s) {
    if (!s.empty()) CharLowerBuffW(&s[0], static_cast<DWORD>(s.size()));
    return s;
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && Lower(a) == Lower(b);
}

HRESULT OutString(const std::wstring& s, BSTR* out) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

bool IsMissing(const VARIANT& v) {
    return v.vt == VT_EMPTY || (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND);
}

bool VariantToLong(const VARIANT& v, long long* out) {
    const VARIANT* p = &v;
    if (v.vt == (VT_VARIANT | VT_BYREF) && v.pvarVal) p = v.pvarVal;
    switch (p->vt) {
        case VT_I1: *out = p->cVal; return true;
        case VT_UI1: *out = p->bVal; return true;
        case VT_I2: *out = p->iVal; return true;
        case VT_UI2: *out = p->uiVal; return true;
        case VT_I4: *out = p->lVal; return true;
        case VT_UI4: *out = p->ulVal; return true;
        case VT_INT: *out = p->intVal; return true;
        case VT_UINT: *out = p->uintVal; return true;
        case VT_I8: *out = p->llVal; return true;
        case VT_UI8: *out = static_cast<long long>(p->ullVal); return true;
        case VT_R4: *out = static_cast<long long>(p->fltVal); return true;
        case VT_R8: *out = static_cast<long long>(p->dblVal); return true;
        case VT_BOOL: *out = p->boolVal; return true;
        case VT_I4 | VT_BYREF: *out = *p->plVal; return true;
        case VT_I2 | VT_BYREF: *out = *p->piVal; return true;
        default: return false;
    }
}

bool VariantToText(const VARIANT& v, std::wstring* out) {
    const VARIANT* p = &v;
    if (v.vt == (VT_VARIANT | VT_BYREF) && v.pvarVal) p = v.pvarVal;
    if (p->vt == VT_BSTR) {
        *out = Str(p->bstrVal);
        return true;
    }
    if (p->vt == (VT_BSTR | VT_BYREF) && p->pbstrVal) {
        *out = Str(*p->pbstrVal);
        return true;
    }
    return false;
}

bool VariantToBytes(const VARIANT& v, std::string* out) {
    const VARIANT* p = &v;
    if (v.vt == (VT_VARIANT | VT_BYREF) && v.pvarVal) p = v.pvarVal;
    SAFEARRAY* sa = nullptr;
    if (p->vt == (VT_ARRAY | VT_UI1)) sa = p->parray;
    else if (p->vt == (VT_ARRAY | VT_UI1 | VT_BYREF) && p->pparray) sa = *p->pparray;
    if (!sa || SafeArrayGetDim(sa) != 1) return false;
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(sa, 1, &lo);
    SafeArrayGetUBound(sa, 1, &hi);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(sa, &data))) return false;
    out->assign(static_cast<const char*>(data), static_cast<size_t>(hi - lo + 1));
    SafeArrayUnaccessData(sa);
    return true;
}

namespace {

// "Object.Operation" of a journal line.
std::wstring OperationOf(const std::wstring& line) { return line.substr(0, line.find_first_of(L"(=")); }

bool Matches(const std::wstring& rule, const std::wstring& op) {
    if (rule == op) return true;
    // "Object.*": every operation of that object.
    return rule.size() > 2 && rule.compare(rule.size() - 2, 2, L".*") == 0 && op.size() > rule.size() - 1 &&
           op.compare(0, rule.size() - 1, rule, 0, rule.size() - 1) == 0;
}

Fault Consult(const std::wstring& op) {
    Fault f;
    for (size_t i = 0; i < g_faults.size(); ++i) {
        FaultRule& r = g_faults[i];
        if (!Matches(r.operation, op)) continue;
        if (r.skip > 0) {
            --r.skip;
            return f;
        }
        f.hit = true;
        f.null = r.null;
        f.hr = r.hr;
        if (r.times > 0 && --r.times == 0) g_faults.erase(g_faults.begin() + static_cast<long>(i));
        return f;
    }
    return f;
}

std::wstring FaultSuffix(const Fault& f) {
    if (f.null) return L" !null";
    wchar_t buf[32];
    swprintf(buf, 32, L" !failed 0x%08X", static_cast<unsigned>(f.hr));
    return buf;
}

}  // namespace

Fault Journal(const std::wstring& line, const std::wstring& typed) {
    if (g_internal > 0) return Fault{};
    Fault f = g_faults.empty() ? Fault{} : Consult(OperationOf(line));
    if (g_recording) {
        std::wstring suffix = f ? FaultSuffix(f) : std::wstring();
        g_journal.push_back(line + suffix);
        g_typedJournal.push_back(typed + suffix);
    }
    return f;
}
void JournalLine(const std::wstring& line) {
    if (g_recording && g_internal == 0) {
        g_journal.push_back(line);
        g_typedJournal.push_back(line);
    }
}
const std::vector<std::wstring>& JournalLines() { return g_journal; }
const std::vector<std::wstring>& TypedJournalLines() { return g_typedJournal; }
void ClearJournalLines() {
    g_journal.clear();
    g_typedJournal.clear();
}
void SetRecording(bool on) { g_recording = on; }
bool Recording() { return g_recording; }

void AddFault(const std::wstring& operation, HRESULT hr, bool null, long times, long skip) {
    if (times == 0) return;
    g_faults.push_back({operation, hr, null, times, skip < 0 ? 0 : skip});
}
void RemoveFaults(const std::wstring& operation) {
    for (size_t i = g_faults.size(); i-- > 0;)
        if (g_faults[i].operation == operation) g_faults.erase(g_faults.begin() + static_cast<long>(i));
}
void ClearFaults() { g_faults.clear(); }

InternalScope::InternalScope() { ++g_internal; }
InternalScope::~InternalScope() { --g_internal; }

std::wstring VtName(VARTYPE vt) {
    static const std::map<VARTYPE, const wchar_t*> names = {
        {VT_EMPTY, L"VT_EMPTY"}, {VT_NULL, L"VT_NULL"},   {VT_I2, L"VT_I2"},     {VT_I4, L"VT_I4"},
        {VT_R4, L"VT_R4"},       {VT_R8, L"VT_R8"},       {VT_BSTR, L"VT_BSTR"}, {VT_DISPATCH, L"VT_DISPATCH"},
        {VT_ERROR, L"VT_ERROR"}, {VT_BOOL, L"VT_BOOL"},   {VT_VARIANT, L"VT_VARIANT"},
        {VT_UNKNOWN, L"VT_UNKNOWN"}, {VT_I1, L"VT_I1"},   {VT_UI1, L"VT_UI1"},   {VT_UI2, L"VT_UI2"},
        {VT_UI4, L"VT_UI4"},     {VT_I8, L"VT_I8"},       {VT_UI8, L"VT_UI8"},   {VT_INT, L"VT_INT"},
        {VT_UINT, L"VT_UINT"},   {VT_CY, L"VT_CY"},       {VT_DATE, L"VT_DATE"}};
    std::wstring s;
    if (vt & VT_ARRAY) s += L"VT_ARRAY|";
    if (vt & VT_BYREF) s += L"VT_BYREF|";
    auto it = names.find(vt & VT_TYPEMASK);
    s += it != names.end() ? it->second : L"VT_" + Num((long long)(vt & VT_TYPEMASK));
    return s;
}

std::wstring TypedVariant(const VARIANT& v) { return VtName(v.vt) + L"=" + FormatVariant(v); }

void Notify(const std::wstring& line) { g_notifications.push_back(line); }
const std::vector<std::wstring>& Notifications() { return g_notifications; }
void ClearNotificationLines() { g_notifications.clear(); }

STDMETHODIMP ClassObject::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    return S_OK;
}

STDMETHODIMP ClassObject::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return create_(riid, ppv);
}

STDMETHODIMP ClassObject::LockServer(BOOL lock) {
    if (lock) InterlockedIncrement(&g_objectCount);
    else InterlockedDecrement(&g_objectCount);
    return S_OK;
}

std::wstring GuidText(REFGUID g) {
    wchar_t buf[64];
    StringFromGUID2(g, buf, 64);
    return buf;
}

bool SetClassesValue(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

bool RegisterInprocClass(REFCLSID clsid, const wchar_t* description, const std::wstring& modulePath) {
    const std::wstring key = L"CLSID\\" + GuidText(clsid);
    return SetClassesValue(key, nullptr, description) && SetClassesValue(key + L"\\InprocServer32", nullptr, modulePath) &&
           SetClassesValue(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
}

void UnregisterClass(REFCLSID clsid) { RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + GuidText(clsid)).c_str()); }

}  // namespace qxsim
