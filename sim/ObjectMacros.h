// Property boilerplate of the object model classes; every access is journaled.
#pragma once

#include "SimCore.h"

#define QX_VB(b) ((b) ? VARIANT_TRUE : VARIANT_FALSE)

#define QX_GETV(Obj, Name, T, expr)                   \
    STDMETHODIMP get_##Name(T* v) override {          \
        if (!v) return E_POINTER;                     \
        QX_TRY(::qxsim::JGet(Obj "." #Name), v);      \
        *v = (expr);                                  \
        return S_OK;                                  \
    }
#define QX_GETS(Obj, Name, expr)                      \
    STDMETHODIMP get_##Name(BSTR* v) override {       \
        QX_TRY(::qxsim::JGet(Obj "." #Name), v);      \
        return ::qxsim::OutString((expr), v);         \
    }
#define QX_PUTN(Obj, Name, T, lvalue)                                    \
    STDMETHODIMP put_##Name(T v) override {                              \
        QX_TRY(::qxsim::JPut(Obj "." #Name, ::qxsim::Num((long long)v))); \
        lvalue = v;                                                      \
        return S_OK;                                                     \
    }
#define QX_PUTD(Obj, Name, lvalue)                                       \
    STDMETHODIMP put_##Name(DOUBLE v) override {                         \
        QX_TRY(::qxsim::JPut(Obj "." #Name, ::qxsim::Num((double)v)));   \
        lvalue = v;                                                      \
        return S_OK;                                                     \
    }
#define QX_PUTB(Obj, Name, lvalue)                                       \
    STDMETHODIMP put_##Name(VARIANT_BOOL v) override {                   \
        QX_TRY(::qxsim::JPut(Obj "." #Name, ::qxsim::Num((long long)v))); \
        lvalue = (v != 0);                                               \
        return S_OK;                                                     \
    }
#define QX_PUTS(Obj, Name, lvalue)                                       \
    STDMETHODIMP put_##Name(BSTR v) override {                           \
        QX_TRY(::qxsim::JPut(Obj "." #Name, ::qxsim::Quote(::qxsim::Str(v)))); \
        lvalue = ::qxsim::Str(v);                                        \
        return S_OK;                                                     \
    }
