// Shared plumbing of the simulated reader: the dual-interface object base, the
// operation journal and small text helpers.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <ocidl.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "Quirex.h"

namespace qxsim {

extern HMODULE g_module;
extern LONG g_objectCount;

// Type information of the Quirex library, loaded from this module's resources.
HRESULT GetTypeInfoOf(REFIID iid, ITypeInfo** info);

// ---- text helpers -------------------------------------------------------------

std::wstring Quote(const wchar_t* s);
std::wstring Quote(const std::wstring& s);
std::wstring Num(double d);
std::wstring Num(long long n);
std::wstring FormatVariant(const VARIANT& v);
std::wstring ToWide(const std::string& utf8);
std::string ToUtf8(const std::wstring& w);
std::wstring Lower(std::wstring s);
bool EqualNoCase(const std::wstring& a, const std::wstring& b);
inline std::wstring Str(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }
HRESULT OutString(const std::wstring& s, BSTR* out);
bool IsMissing(const VARIANT& v);
// Integer value of a numeric variant (any integer width, real, bool or numeric text).
bool VariantToLong(const VARIANT& v, long long* out);
bool VariantToText(const VARIANT& v, std::wstring* out);
// Byte array (VT_ARRAY|VT_UI1) contents.
bool VariantToBytes(const VARIANT& v, std::string* out);

// ---- journal and injected failures -------------------------------------------------

// What an operation must do instead of its work when a test made it fail
// (FailOperation) or answer nothing (NullOperation).
struct [[nodiscard]] Fault {
    bool hit = false;
    bool null = false;
    HRESULT hr = S_OK;
    explicit operator bool() const { return hit; }
};

// Records a host operation called on the object model (one line each, in call
// order; typed: the same line with VARIANT arguments as VT_NAME=value) and
// answers the failure a test injected for "Object.Operation", if any.
Fault Journal(const std::wstring& line, const std::wstring& typed);
inline Fault Journal(const std::wstring& line) { return Journal(line, line); }
// A line that is not a host operation (captured Win32 calls, stand-in calls).
void JournalLine(const std::wstring& line);
const std::vector<std::wstring>& JournalLines();
const std::vector<std::wstring>& TypedJournalLines();
void ClearJournalLines();
void SetRecording(bool on);
bool Recording();

// Failure rules: operation "Object.Operation" or "Object.*"; times < 0: always;
// the first `skip` matching calls pass.
void AddFault(const std::wstring& operation, HRESULT hr, bool null, long times, long skip);
void RemoveFaults(const std::wstring& operation);
void ClearFaults();

// Calls the simulator makes on its own objects: neither journaled nor failed.
struct InternalScope {
    InternalScope();
    ~InternalScope();
    InternalScope(const InternalScope&) = delete;
    InternalScope& operator=(const InternalScope&) = delete;
};

// The answer of an operation hit by a fault. A failure sets object and string
// out-parameters to null, as COM asks, and leaves other out-values as the caller
// set them; a null answer is S_OK with the out-value zeroed (null, "", 0).
template <class T>
HRESULT Answer(const Fault& f, T* out) {
    if (out && (f.null || std::is_pointer<T>::value)) *out = T{};
    if (f.null) return out ? S_OK : E_POINTER;
    return f.hr;
}
inline HRESULT Answer(const Fault& f) { return f.null ? S_OK : f.hr; }

std::wstring VtName(VARTYPE vt);
// "VT_NAME=value"
std::wstring TypedVariant(const VARIANT& v);

// Builds "Object.Operation(a, b)" lines.
struct Call {
    std::wstring text, typed;
    bool first = true;
    explicit Call(const wchar_t* op) : text(op), typed(op) {
        text += L"(";
        typed += L"(";
    }
    Call& arg(const std::wstring& formatted) { return arg2(formatted, formatted); }
    Call& arg2(const std::wstring& plain, const std::wstring& withType) {
        if (!first) {
            text += L", ";
            typed += L", ";
        }
        text += plain;
        typed += withType;
        first = false;
        return *this;
    }
    Call& s(BSTR b) { return arg(Quote(Str(b))); }
    Call& s(const std::wstring& w) { return arg(Quote(w)); }
    Call& n(long long v) { return arg(Num(v)); }
    Call& d(double v) { return arg(Num(v)); }
    Call& v(const VARIANT& var) { return arg2(FormatVariant(var), TypedVariant(var)); }
    Fault log() { return Journal(text + L")", typed + L")"); }
};
inline Fault JGet(const wchar_t* op) { return Journal(op); }
inline Fault JPut(const std::wstring& op, const std::wstring& value) { return Journal(op + L"=" + value); }

// In an operation: stop with the injected answer when the journaled call was hit.
#define QX_TRY(expr, ...)                                                        \
    do {                                                                         \
        if (::qxsim::Fault qxFault_ = (expr)) return ::qxsim::Answer(qxFault_, ##__VA_ARGS__); \
    } while (0)

// Notifications the reader raised to the page.
void Notify(const std::wstring& line);
const std::vector<std::wstring>& Notifications();
void ClearNotificationLines();

// ---- the dual-interface object base ------------------------------------------

template <class I>
struct IidOf;

#define QXSIM_IID(I) \
    template <>      \
    struct IidOf<I> { static const IID& get() { return IID_##I; } };

QXSIM_IID(IQxApplication)
QXSIM_IID(IQxMainFrame)
QXSIM_IID(IQxDocuments)
QXSIM_IID(IQxDocument)
QXSIM_IID(IQxDocWindow)
QXSIM_IID(IQxPageView)
QXSIM_IID(IQxPages)
QXSIM_IID(IQxPage)
QXSIM_IID(IQxAnnotations)
QXSIM_IID(IQxAnnotation)
QXSIM_IID(IQxAnnotPopup)
QXSIM_IID(IQxTextStyle)
QXSIM_IID(IQxFields)
QXSIM_IID(IQxField)
QXSIM_IID(IQxTextFinder)
QXSIM_IID(IQxTextHit)
QXSIM_IID(IQxTextSelection)
QXSIM_IID(IQxBookmarks)
QXSIM_IID(IQxBookmark)
QXSIM_IID(IQxWatermarks)
QXSIM_IID(IQxAttachments)
QXSIM_IID(IQxAttachment)
QXSIM_IID(IQxDocumentFile)
QXSIM_IID(IQxSecurity)
QXSIM_IID(IQxWorkspace)
QXSIM_IID(IQxPanes)
QXSIM_IID(IQxPane)
QXSIM_IID(IQxTabBars)
QXSIM_IID(IQxCommandBars)
QXSIM_IID(IQxCommandBar)
QXSIM_IID(IQxControls)
QXSIM_IID(IQxControl)
QXSIM_IID(IQxFieldControl)
QXSIM_IID(IQxPopup)
QXSIM_IID(IQxTools)
QXSIM_IID(IQxTool)
QXSIM_IID(IQxCursors)
QXSIM_IID(IQxPoint)
QXSIM_IID(IQxImageStore)
QXSIM_IID(IQxCOMAddIns)
QXSIM_IID(IQxCOMAddIn)
QXSIM_IID(IQxNetFile)
QXSIM_IID(IQxSimulator)
QXSIM_IID(IQxStandIn)

// Reference counting and QueryInterface for an object reached only by name: the
// derived class answers GetIDsOfNames and Invoke itself; there is no type information.
class LateBound : public IDispatch {
public:
    LateBound() { InterlockedIncrement(&g_objectCount); }
    virtual ~LateBound() { InterlockedDecrement(&g_objectCount); }
    LateBound(const LateBound&) = delete;
    LateBound& operator=(const LateBound&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&ref_); }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG r = InterlockedDecrement(&ref_);
        if (!r) delete this;
        return r;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

private:
    LONG ref_ = 1;
};

// Reference counting, QueryInterface and IDispatch through the type library for
// one dual interface I (and the interfaces I derives from, listed by Extra).
template <class I>
class Dual : public I {
public:
    Dual() { InterlockedIncrement(&g_objectCount); }
    virtual ~Dual() { InterlockedDecrement(&g_objectCount); }
    Dual(const Dual&) = delete;
    Dual& operator=(const Dual&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IidOf<I>::get() || AlsoAnswers(riid)) {
            *ppv = static_cast<I*>(this);
        } else if (!QueryOther(riid, ppv)) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&ref_); }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG r = InterlockedDecrement(&ref_);
        if (r == 0) delete this;
        return r;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        if (!n) return E_POINTER;
        *n = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return GetTypeInfoOf(IidOf<I>::get(), info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        ITypeInfo* ti = nullptr;
        HRESULT hr = GetTypeInfoOf(IidOf<I>::get(), &ti);
        if (FAILED(hr)) return hr;
        hr = ti->GetIDsOfNames(names, count, ids);
        ti->Release();
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* ti = nullptr;
        HRESULT hr = GetTypeInfoOf(IidOf<I>::get(), &ti);
        if (FAILED(hr)) return hr;
        hr = ti->Invoke(static_cast<I*>(this), id, flags, params, result, excep, argErr);
        ti->Release();
        return hr;
    }

protected:
    // Base interfaces of I other than IDispatch.
    virtual bool AlsoAnswers(REFIID) { return false; }
    // Further interfaces the object implements next to I.
    virtual bool QueryOther(REFIID, void**) { return false; }

private:
    LONG ref_ = 1;
};

// Hands a freshly made object (reference count 1) to an out-parameter.
template <class T, class I>
HRESULT Out(T* made, I** out) {
    if (!out) {
        if (made) made->Release();
        return E_POINTER;
    }
    *out = made;
    return S_OK;
}

template <class T>
HRESULT OutAddRef(T* p, T** out) {
    if (!out) return E_POINTER;
    *out = p;
    if (p) p->AddRef();
    return S_OK;
}

// ---- class objects and registration -----------------------------------------------

// The class object of one class of this DLL (static, never freed): create makes the
// object and queries it for the interface asked for.
class ClassObject : public IClassFactory {
public:
    using Create = HRESULT (*)(REFIID riid, void** ppv);
    explicit ClassObject(Create create) : create_(create) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    Create create_;
};

// A new T (created with one reference) queried for riid.
template <class T>
HRESULT CreateObject(REFIID riid, void** ppv) {
    auto* object = new T;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

// "{XXXXXXXX-...}"
std::wstring GuidText(REFGUID g);
// A REG_SZ value under HKEY_CLASSES_ROOT\path (name null: the default value).
bool SetClassesValue(const std::wstring& path, const wchar_t* name, const std::wstring& value);
// CLSID\{clsid}: its description and this module as its in-process apartment server.
bool RegisterInprocClass(REFCLSID clsid, const wchar_t* description, const std::wstring& modulePath);
void UnregisterClass(REFCLSID clsid);

}  // namespace qxsim
