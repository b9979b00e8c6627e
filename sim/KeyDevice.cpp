// Stand-in for the signing-key device object that the component creates by class
// identifier: it answers "WebCreateKeyObject", "WebGetKeyCount" and "WebDeleteKeyObject"
// by name, journals each call as "KeyDevice.<name>()", and takes its answers from the
// test's queued answers (SetAnswer with the method's name). A VT_ERROR answer makes the
// call fail with that code; WebGetKeyCount answers 0 keys when the test gave nothing.
#include "App.h"

namespace qxsim {

// {E5C44C76-610A-4C1F-9083-6CE933E3DC1D}
const CLSID CLSID_SimKeyDevice = {0xE5C44C76, 0x610A, 0x4C1F, {0x90, 0x83, 0x6C, 0xE9, 0x33, 0xE3, 0xDC, 0x1D}};

namespace {

const wchar_t* const kMethods[] = {L"WebCreateKeyObject", L"WebGetKeyCount", L"WebDeleteKeyObject"};

class KeyDeviceObj : public LateBound {
public:
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids || count == 0) return E_INVALIDARG;
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        for (DISPID id = 0; id < 3; ++id)
            if (names[0] && EqualNoCase(names[0], kMethods[id])) {
                ids[0] = id + 1;
                return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
            }
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* dp, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (id < 1 || id > 3) return DISP_E_MEMBERNOTFOUND;
        const wchar_t* name = kMethods[id - 1];
        QX_TRY(Journal(std::wstring(L"KeyDevice.") + name + L"()"));
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
        if (dp && dp->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        VARIANT answer;
        bool given = TakeAnswer(name, &answer);
        if (given && answer.vt == VT_ERROR) {
            HRESULT hr = answer.scode;
            VariantClear(&answer);
            return hr;
        }
        if (result) {
            VariantClear(result);
            if (given) {
                *result = answer;
                return S_OK;
            }
            result->vt = VT_I4;
            result->lVal = 0;
        }
        if (given) VariantClear(&answer);
        return S_OK;
    }
};

class KeyDeviceFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* device = new KeyDeviceObj;
        HRESULT hr = device->QueryInterface(riid, ppv);
        device->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) InterlockedIncrement(&g_objectCount);
        else InterlockedDecrement(&g_objectCount);
        return S_OK;
    }
};

KeyDeviceFactory g_keyDeviceFactory;

std::wstring ClsidKey() {
    wchar_t buf[64];
    StringFromGUID2(CLSID_SimKeyDevice, buf, 64);
    return std::wstring(L"CLSID\\") + buf;
}

bool SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

}  // namespace

HRESULT KeyDeviceClassObject(REFIID riid, void** ppv) { return g_keyDeviceFactory.QueryInterface(riid, ppv); }

bool RegisterKeyDevice(const std::wstring& modulePath) {
    std::wstring key = ClsidKey();
    return SetValue(key, nullptr, L"Signing-key device stand-in") &&
           SetValue(key + L"\\InprocServer32", nullptr, modulePath) &&
           SetValue(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
}

void UnregisterKeyDevice() { RegDeleteTreeW(HKEY_CLASSES_ROOT, ClsidKey().c_str()); }

}  // namespace qxsim
