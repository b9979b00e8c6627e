// Small RAII owners for COM interface pointers, BSTRs, VARIANTs and handles, typed
// construction and reading of VARIANTs, the HRESULT exception the component's helpers
// raise and the error boundary every COM entry point runs behind.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace folium {

// The one error type of the component: an HRESULT raised as an exception by internal
// helpers (memory exhaustion, bad string arguments, failed host or platform calls).
struct HResultError {
    HRESULT hr;
};

[[noreturn]] inline void ThrowHResult(HRESULT hr) { throw HResultError{hr}; }

// Raises a failed HRESULT; passes success through.
inline HRESULT ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) throw HResultError{hr};
    return hr;
}

// The HRESULT for the exception being handled; call only inside a catch block.
// Allocation failures (also a length beyond what can be allocated) are E_OUTOFMEMORY,
// bad arguments and indexes E_INVALIDARG, anything else E_UNEXPECTED.
inline HRESULT HResultFromCaught() noexcept {
    try {
        throw;
    } catch (const HResultError& e) {
        return e.hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    } catch (const std::out_of_range&) {
        return E_INVALIDARG;
    } catch (const std::invalid_argument&) {
        return E_INVALIDARG;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// The error boundary: every COM entry point, member and event handler runs its body
// through it, so that no C++ exception crosses the interface. A body returning void
// answers S_OK when it runs to its end.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        if constexpr (std::is_void_v<decltype(body())>) {
            body();
            return S_OK;
        } else {
            return body();
        }
    } catch (...) {
        return HResultFromCaught();
    }
}

// Maps a Win32 error code the way HRESULT_FROM_WIN32 does for positive values;
// zero and negative values pass through unchanged.
inline HRESULT HResultFromWin32(LONG e) {
    return e > 0 ? static_cast<HRESULT>(0x80070000u | (static_cast<ULONG>(e) & 0xFFFFu)) : e;
}

// Owns one reference to an interface. Constructing from a raw pointer adds a
// reference; Attach takes over one the caller already owns.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    explicit ComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ~ComPtr() { reset(); }
    ComPtr& operator=(const ComPtr& o) {
        if (o.p_) o.p_->AddRef();
        reset();
        p_ = o.p_;
        return *this;
    }
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) {
        reset();
        return *this;
    }
    // Takes over a reference the caller already owns.
    [[nodiscard]] static ComPtr Attach(T* p) {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    // Hands the reference to the caller, who must release it.
    [[nodiscard]] T* Detach() { return std::exchange(p_, nullptr); }
    void reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Releases what is held and hands out the slot for an out-parameter.
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    template <class U>
    HRESULT As(ComPtr<U>& out) const {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(__uuidof(U), out.put_void());
    }
    template <class U>
    ComPtr<U> Query() const {
        ComPtr<U> out;
        if (p_) p_->QueryInterface(__uuidof(U), out.put_void());
        return out;
    }
    // Hands a new reference to an out-parameter.
    HRESULT CopyTo(T** out) const {
        if (!out) return E_POINTER;
        *out = p_;
        if (p_) p_->AddRef();
        return S_OK;
    }

private:
    T* p_ = nullptr;
};

class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(const wchar_t* s) : b_(s ? SysAllocString(s) : nullptr) {
        if (s && !b_) ThrowHResult(E_OUTOFMEMORY);
    }
    UniqueBstr(const wchar_t* s, UINT len) : b_(SysAllocStringLen(s, len)) {
        if (!b_) ThrowHResult(E_OUTOFMEMORY);
    }
    UniqueBstr(const UniqueBstr& o) : b_(o.b_ ? SysAllocStringLen(o.b_, SysStringLen(o.b_)) : nullptr) {
        if (o.b_ && !b_) ThrowHResult(E_OUTOFMEMORY);
    }
    UniqueBstr(UniqueBstr&& o) noexcept : b_(o.b_) { o.b_ = nullptr; }
    ~UniqueBstr() { reset(); }
    UniqueBstr& operator=(UniqueBstr o) noexcept {
        std::swap(b_, o.b_);
        return *this;
    }
    // Takes over a BSTR the caller owns.
    [[nodiscard]] static UniqueBstr Attach(BSTR b) {
        UniqueBstr u;
        u.b_ = b;
        return u;
    }
    // A copy of any BSTR, including one with embedded NULs; null stays null.
    static UniqueBstr Copy(BSTR b) {
        return b ? UniqueBstr(b, SysStringLen(b)) : UniqueBstr();
    }
    // Hands the string to the caller, who must free it.
    [[nodiscard]] BSTR Detach() { return std::exchange(b_, nullptr); }
    // A copy for an out-parameter, never null.
    [[nodiscard]] BSTR CopyOut() const {
        BSTR c = SysAllocStringLen(b_ ? b_ : L"", length());
        if (!c) ThrowHResult(E_OUTOFMEMORY);
        return c;
    }
    void reset() {
        if (BSTR b = std::exchange(b_, nullptr)) SysFreeString(b);
    }
    BSTR get() const { return b_; }
    const wchar_t* c_str() const { return b_ ? b_ : L""; }
    UINT length() const { return b_ ? SysStringLen(b_) : 0; }
    bool empty() const { return length() == 0; }
    BSTR* put() {
        reset();
        return &b_;
    }

private:
    BSTR b_ = nullptr;
};

// Owns a VARIANT. Typed values are made by the named constructors (I4, Bstr, ...);
// the value is read through the const accessors or the typed readers below.
class ScopedVariant {
public:
    ScopedVariant() { VariantInit(&v_); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    ScopedVariant(ScopedVariant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
    ScopedVariant& operator=(ScopedVariant&& o) noexcept {
        if (this != &o) {
            VariantClear(&v_);
            v_ = o.v_;
            VariantInit(&o.v_);
        }
        return *this;
    }
    ~ScopedVariant() { VariantClear(&v_); }

    static ScopedVariant I2(SHORT n) { return Make(VT_I2, [&](VARIANT& v) { v.iVal = n; }); }
    static ScopedVariant I4(LONG n) { return Make(VT_I4, [&](VARIANT& v) { v.lVal = n; }); }
    static ScopedVariant I8(LONGLONG n) { return Make(VT_I8, [&](VARIANT& v) { v.llVal = n; }); }
    static ScopedVariant UI4(ULONG n) { return Make(VT_UI4, [&](VARIANT& v) { v.ulVal = n; }); }
    static ScopedVariant R4(FLOAT n) { return Make(VT_R4, [&](VARIANT& v) { v.fltVal = n; }); }
    static ScopedVariant R8(DOUBLE n) { return Make(VT_R8, [&](VARIANT& v) { v.dblVal = n; }); }
    // An automation boolean: VARIANT_TRUE (-1) or VARIANT_FALSE.
    static ScopedVariant Bool(bool b) {
        return Make(VT_BOOL, [&](VARIANT& v) { v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE; });
    }
    // A copy of the text; null becomes "".
    static ScopedVariant Bstr(const wchar_t* s) {
        return Make(VT_BSTR, [&](VARIANT& v) { v.bstrVal = Alloc(SysAllocString(s ? s : L"")); });
    }
    static ScopedVariant Bstr(const wchar_t* s, UINT len) {
        return Make(VT_BSTR, [&](VARIANT& v) { v.bstrVal = Alloc(SysAllocStringLen(s, len)); });
    }
    // Takes over a BSTR the caller owns.
    static ScopedVariant Bstr(UniqueBstr&& s) {
        BSTR b = s.get() ? s.Detach() : Alloc(SysAllocString(L""));
        return Make(VT_BSTR, [&](VARIANT& v) { v.bstrVal = b; });
    }
    // An optional argument left out (VT_ERROR, DISP_E_PARAMNOTFOUND).
    static ScopedVariant Missing() { return Make(VT_ERROR, [](VARIANT& v) { v.scode = DISP_E_PARAMNOTFOUND; }); }
    // A reference added to the object.
    static ScopedVariant Dispatch(IDispatch* d) {
        if (d) d->AddRef();
        return Make(VT_DISPATCH, [&](VARIANT& v) { v.pdispVal = d; });
    }
    // A one-dimensional array of bytes (VT_ARRAY | VT_UI1) holding a copy of data.
    static ScopedVariant Bytes(const void* data, size_t size) {
        if (size > 0x7FFFFFFFu) ThrowHResult(E_OUTOFMEMORY);
        SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
        if (!a) ThrowHResult(E_OUTOFMEMORY);
        if (size) {
            void* p = nullptr;
            SafeArrayAccessData(a, &p);
            memcpy(p, data, size);
            SafeArrayUnaccessData(a);
        }
        return Make(VT_ARRAY | VT_UI1, [&](VARIANT& v) { v.parray = a; });
    }
    // Takes over a VARIANT the caller owns (for example one a host call filled).
    static ScopedVariant Attach(const VARIANT& v) {
        ScopedVariant r;
        r.v_ = v;
        return r;
    }

    VARTYPE type() const { return v_.vt; }
    // The VARIANT itself, for a call that takes it as an argument (the caller keeps
    // ownership) or as a result slot; write values through the named constructors.
    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    const VARIANT* operator->() const { return &v_; }
    // Clears what is held and hands out the VARIANT for a callee to fill.
    VARIANT* Receive() {
        Clear();
        return &v_;
    }
    void Clear() {
        HRESULT hr = VariantClear(&v_);
        if (FAILED(hr)) ThrowHResult(hr);
    }
    void Reset() { Clear(); }
    // Hands the VARIANT to the caller, who must clear it.
    [[nodiscard]] VARIANT Detach() {
        VARIANT r = v_;
        VariantInit(&v_);
        return r;
    }

private:
    template <class F>
    static ScopedVariant Make(VARTYPE vt, F&& fill) {
        ScopedVariant r;
        fill(r.v_);
        r.v_.vt = vt;
        return r;
    }
    static BSTR Alloc(BSTR b) {
        if (!b) ThrowHResult(E_OUTOFMEMORY);
        return b;
    }

    VARIANT v_;
};

// Typed readers for VARIANTs that come from outside (a host, a script, an event):
// the value converted to the wanted type with VariantChangeType (references are
// followed), or nothing when it does not convert. Never read a union member of such
// a VARIANT without one of these.
namespace variant_detail {
inline bool Change(const VARIANT* in, VARTYPE vt, VARIANT& out) {
    VariantInit(&out);
    if (!in) return false;
    return SUCCEEDED(VariantChangeType(&out, const_cast<VARIANT*>(in), 0, vt));
}
}  // namespace variant_detail

#define FOLIUM_VARIANT_READER(Name, Type, VT, member)               \
    inline std::optional<Type> Name(const VARIANT* in) {           \
        VARIANT v;                                                  \
        if (!variant_detail::Change(in, VT, v)) return std::nullopt; \
        return static_cast<Type>(v.member);                         \
    }                                                               \
    inline std::optional<Type> Name(const VARIANT& in) { return Name(&in); }
FOLIUM_VARIANT_READER(ReadI2, SHORT, VT_I2, iVal)
FOLIUM_VARIANT_READER(ReadI4, LONG, VT_I4, lVal)
FOLIUM_VARIANT_READER(ReadUI4, ULONG, VT_UI4, ulVal)
FOLIUM_VARIANT_READER(ReadI8, LONGLONG, VT_I8, llVal)
FOLIUM_VARIANT_READER(ReadUI8, ULONGLONG, VT_UI8, ullVal)
FOLIUM_VARIANT_READER(ReadR4, FLOAT, VT_R4, fltVal)
FOLIUM_VARIANT_READER(ReadR8, DOUBLE, VT_R8, dblVal)
#undef FOLIUM_VARIANT_READER

// An automation boolean read as bool (any non-zero number is true).
inline std::optional<bool> ReadBool(const VARIANT* in) {
    VARIANT v;
    if (!variant_detail::Change(in, VT_BOOL, v)) return std::nullopt;
    return v.boolVal != VARIANT_FALSE;
}
inline std::optional<bool> ReadBool(const VARIANT& in) { return ReadBool(&in); }

// Text (numbers are converted with the system's rules); nothing when not convertible.
inline std::optional<UniqueBstr> ReadBstr(const VARIANT* in) {
    VARIANT v;
    if (!variant_detail::Change(in, VT_BSTR, v)) return std::nullopt;
    return UniqueBstr::Attach(v.bstrVal);
}
inline std::optional<UniqueBstr> ReadBstr(const VARIANT& in) { return ReadBstr(&in); }

// The automation object held (VT_DISPATCH, or an object that answers IDispatch);
// null when there is none.
inline ComPtr<IDispatch> ReadDispatch(const VARIANT* in) {
    VARIANT v;
    if (!variant_detail::Change(in, VT_DISPATCH, v)) return nullptr;
    return ComPtr<IDispatch>::Attach(v.pdispVal);
}
inline ComPtr<IDispatch> ReadDispatch(const VARIANT& in) { return ReadDispatch(&in); }

// Owns a Win32 handle closed with CloseHandle.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o) {
            reset();
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    ~UniqueHandle() { reset(); }
    void reset(HANDLE h = nullptr) {
        if (valid()) CloseHandle(h_);
        h_ = h;
    }
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_ = nullptr;
};

// Owns a registry key.
class UniqueHkey {
public:
    UniqueHkey() = default;
    UniqueHkey(const UniqueHkey&) = delete;
    UniqueHkey& operator=(const UniqueHkey&) = delete;
    ~UniqueHkey() { reset(); }
    void reset() {
        if (h_) RegCloseKey(std::exchange(h_, nullptr));
    }
    HKEY get() const { return h_; }
    HKEY* put() {
        reset();
        return &h_;
    }

private:
    HKEY h_ = nullptr;
};

// Restores the thread locale when it leaves scope.
class ThreadLocaleScope {
public:
    explicit ThreadLocaleScope(LCID lcid) : saved_(GetThreadLocale()) { SetThreadLocale(lcid); }
    ThreadLocaleScope(const ThreadLocaleScope&) = delete;
    ThreadLocaleScope& operator=(const ThreadLocaleScope&) = delete;
    ~ThreadLocaleScope() { SetThreadLocale(saved_); }

private:
    LCID saved_;
};

}  // namespace folium
