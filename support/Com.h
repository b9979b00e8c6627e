// Small RAII owners for COM interface pointers, BSTRs, VARIANTs and handles,
// and the HRESULT exception the component's helpers raise.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>
#include <new>
#include <utility>

namespace folium {

// An HRESULT raised as an exception by internal helpers.
struct HResultError {
    HRESULT hr;
};

[[noreturn]] inline void ThrowHResult(HRESULT hr) { throw HResultError{hr}; }

// A failed call on a host object inside a guarded block, shown to the user by the
// block's handler (the compiler COM support error of wrapper-style calls).
struct ComError {
    HRESULT hr;
};

// Raises a failed HRESULT as a ComError; passes success through.
inline HRESULT CheckCom(HRESULT hr) {
    if (FAILED(hr)) throw ComError{hr};
    return hr;
}

// Runs a COM member's body: an HRESULT raised inside (memory exhaustion, bad string
// arguments, failed platform calls) becomes the member's return value instead of an
// exception crossing the interface.
template <class Body>
HRESULT Guarded(Body&& body) {
    try {
        return body();
    } catch (const HResultError& e) {
        return e.hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// Maps a Win32 error code the way HRESULT_FROM_WIN32 does for positive values;
// zero and negative values pass through unchanged.
inline HRESULT HResultFromWin32(LONG e) {
    return e > 0 ? static_cast<HRESULT>(0x80070000u | (static_cast<ULONG>(e) & 0xFFFFu)) : e;
}

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    explicit ComPtr(T* p, bool addRef = true) : p_(p) {
        if (p_ && addRef) p_->AddRef();
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
    static ComPtr Attach(T* p) { return ComPtr(p, false); }
    T* Detach() { return std::exchange(p_, nullptr); }
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
    static UniqueBstr Attach(BSTR b) {
        UniqueBstr u;
        u.b_ = b;
        return u;
    }
    // A copy of any BSTR, including one with embedded NULs; null stays null.
    static UniqueBstr Copy(BSTR b) {
        return b ? UniqueBstr(b, SysStringLen(b)) : UniqueBstr();
    }
    BSTR Detach() { return std::exchange(b_, nullptr); }
    // A copy for an out-parameter, never null.
    BSTR CopyOut() const {
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

class ScopedVariant {
public:
    ScopedVariant() { VariantInit(&v_); }
    explicit ScopedVariant(LONG l) {
        VariantInit(&v_);
        v_.vt = VT_I4;
        v_.lVal = l;
    }
    explicit ScopedVariant(const wchar_t* s) {
        VariantInit(&v_);
        v_.bstrVal = SysAllocString(s ? s : L"");
        if (!v_.bstrVal) ThrowHResult(E_OUTOFMEMORY);
        v_.vt = VT_BSTR;
    }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;
    ScopedVariant(ScopedVariant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
    ~ScopedVariant() { VariantClear(&v_); }
    void Reset() { VariantClear(&v_); }
    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    VARIANT* operator->() { return &v_; }
    VARIANT* Receive() {
        VariantClear(&v_);
        return &v_;
    }
    VARIANT Release() {
        VARIANT r = v_;
        VariantInit(&v_);
        return r;
    }

private:
    VARIANT v_;
};

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
