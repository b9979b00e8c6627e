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

ClassObject g_keyDeviceFactory(CreateObject<KeyDeviceObj>);

}  // namespace

IClassFactory* KeyDeviceFactory() { return &g_keyDeviceFactory; }

}  // namespace qxsim
