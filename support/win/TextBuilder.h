// A text result built straight into the BSTR that is handed out. Whole-document
// members append their entries as the host hands them over, so each piece is copied
// once while it is still in the cache, and the buffer becomes the result in place:
// no second copy and no second buffer of the full size.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <string_view>
#include <utility>

#include "../Com.h"

namespace folium {

class TextBuilder {
public:
    TextBuilder() = default;
    TextBuilder(const TextBuilder&) = delete;
    TextBuilder& operator=(const TextBuilder&) = delete;
    ~TextBuilder() { SysFreeString(b_); }

    // Makes room for at least chars characters in all.
    void reserve(size_t chars) {
        if (chars <= capacity_) return;
        if (chars > kMaxChars) ThrowHResult(E_OUTOFMEMORY);
        // Reallocation keeps the text already written (the same BSTR is passed as the source).
        if (!SysReAllocStringLen(&b_, b_, static_cast<UINT>(chars))) ThrowHResult(E_OUTOFMEMORY);
        capacity_ = chars;
    }
    // Makes room for an estimated total when that is possible; an estimate that cannot
    // be had (too large, no memory) only means the text grows as it is written.
    void reserve_hint(size_t chars) {
        if (chars > kHintLimit) chars = kHintLimit;
        if (chars <= capacity_) return;
        if (SysReAllocStringLen(&b_, b_, static_cast<UINT>(chars))) capacity_ = chars;
    }
    void append(const wchar_t* s, size_t n) {
        if (!n) return;
        Grow(n);
        std::memcpy(b_ + size_, s, n * sizeof(wchar_t));
        size_ += n;
    }
    TextBuilder& operator+=(std::wstring_view s) {
        append(s.data(), s.size());
        return *this;
    }
    TextBuilder& operator+=(wchar_t c) {
        Grow(1);
        b_[size_++] = c;
        return *this;
    }
    TextBuilder& operator=(std::wstring_view s) {
        size_ = 0;
        return *this += s;
    }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    wchar_t back() const { return b_[size_ - 1]; }
    void pop_back() { --size_; }
    std::wstring_view view() const { return {b_ ? b_ : L"", size_}; }

    // The text as a BSTR of exactly its length (never null); the builder is empty after.
    [[nodiscard]] BSTR Detach() {
        if (!b_) {
            BSTR empty = SysAllocStringLen(L"", 0);
            if (!empty) ThrowHResult(E_OUTOFMEMORY);
            return empty;
        }
        // Shrinking keeps the block where it is.
        if (!SysReAllocStringLen(&b_, b_, static_cast<UINT>(size_))) ThrowHResult(E_OUTOFMEMORY);
        size_ = capacity_ = 0;
        return std::exchange(b_, nullptr);
    }

private:
    static constexpr size_t kMaxChars = 0x7FFFFFF0u / sizeof(wchar_t);
    static constexpr size_t kHintLimit = size_t(1) << 24;

    void Grow(size_t more) {
        if (size_ + more <= capacity_) return;
        if (more > kMaxChars - size_) ThrowHResult(E_OUTOFMEMORY);
        size_t want = capacity_ < 256 ? 256 : capacity_ * 2;
        if (want > kMaxChars) want = kMaxChars;
        if (want < size_ + more) want = size_ + more;
        reserve(want);
    }

    BSTR b_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace folium
