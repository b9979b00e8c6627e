// A text result built straight into the BSTR that is handed out. Whole-document
// members append their entries as the host hands them over, so each piece is copied
// once while it is still in the cache, and the buffer becomes the result in place:
// no second copy and no second buffer of the full size.
//
// A large result lives in memory the system maps freshly for it, and touching a fresh
// page for the first time costs far more than writing it (several microseconds a page
// on some virtual machines). So the builder touches only what it writes: it never has
// the buffer zero-filled, it sizes the buffer for the whole text once it can estimate
// it (reserve_item) instead of outgrowing it and copying it again, and the final
// shrink keeps the block where it is. Room reserved but not written costs address
// space only.
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
        if (!Reallocate(chars)) ThrowHResult(E_OUTOFMEMORY);
    }
    // Makes room for an estimated total when that is possible; an estimate that cannot
    // be had (too large, no memory) only means the text grows as it is written.
    void reserve_hint(size_t chars) {
        if (chars > kHintLimit) chars = kHintLimit;
        if (chars > capacity_) Reallocate(chars);
    }
    // Makes room for the next `chars` characters, written as item `index` (from 0) of
    // about `count` items. A text that must grow beyond a few kilobytes is sized for
    // all `count` items at the average size so far and an eighth more, so items that
    // grow a little along the document do not outgrow the buffer near its end.
    void reserve_item(size_t chars, size_t index, size_t count) {
        if (chars <= capacity_ - size_) return;
        const size_t needed = size_ + chars;
        if (needed > kEstimateFrom && index < count) {
            const double estimate = static_cast<double>(needed) / static_cast<double>(index + 1) *
                                    static_cast<double>(count) * 1.125;
            // An estimate below the next doubling is no better than the doubling.
            if (estimate > 2.0 * static_cast<double>(capacity_) && estimate < static_cast<double>(kHintLimit))
                reserve_hint(static_cast<size_t>(estimate));
        }
        Grow(chars);
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
    // Room for the next n characters, which the caller writes in place; they count as
    // written from now on.
    wchar_t* extend(size_t n) {
        Grow(n);
        wchar_t* at = b_ + size_;
        size_ += n;
        return at;
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
        // Shrinking keeps the block where it is; the reserved tail was never touched.
        if (!SysReAllocStringLen(&b_, b_, static_cast<UINT>(size_))) ThrowHResult(E_OUTOFMEMORY);
        size_ = capacity_ = 0;
        return std::exchange(b_, nullptr);
    }

private:
    static constexpr size_t kMaxChars = 0x7FFFFFF0u / sizeof(wchar_t);
    static constexpr size_t kHintLimit = size_t(1) << 24;
    // A few kilobytes are not worth an estimate: they grow by doubling.
    static constexpr size_t kEstimateFrom = 4096;
    // Texts up to this size (256 KB) live in the heap's ordinary, reused blocks.
    static constexpr size_t kOrdinaryChars = size_t(1) << 17;

    // Doubles while the text fits the heap's ordinary blocks. Past that every new
    // block is fresh memory and growing copies the text into it, touching each copied
    // page for the first time, so a text of unknown size grows eightfold at once:
    // reserved pages that are never written cost nothing.
    void Grow(size_t more) {
        if (size_ + more <= capacity_) return;
        if (more > kMaxChars - size_) ThrowHResult(E_OUTOFMEMORY);
        const size_t needed = size_ + more;
        size_t want = capacity_ < 256 ? 256 : capacity_ < kOrdinaryChars ? capacity_ * 2 : capacity_ * 8;
        if (want > kMaxChars) want = kMaxChars;
        if (want < needed) want = needed;
        if (want > needed && Reallocate(want)) return;
        reserve(needed);
    }

    // Resizes the block keeping the text written so far. The first block is an empty
    // string that is then resized: allocating at full size from nothing would
    // zero-fill, and so touch, all of it.
    bool Reallocate(size_t chars) {
        if (!b_ && !(b_ = SysAllocStringLen(L"", 0))) return false;
        if (!SysReAllocStringLen(&b_, b_, static_cast<UINT>(chars))) return false;
        capacity_ = chars;
        return true;
    }

    BSTR b_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace folium
