// Value-semantic strings over UTF-16 (WideString) and 8-bit text (NarrowString).
// Copies share one reference-counted buffer; a modification first makes the buffer
// exclusive (copy-on-write). All empty strings share one static representation.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/fatal.h"

namespace noviq {

namespace string_detail {

// Header that precedes the characters of every heap buffer.
struct Rep {
    std::atomic<int32_t> refs; // < 0 marks the shared empty representation
    int32_t length;
    int32_t capacity; // characters, not counting the terminating zero
};

Rep* allocateRep(int32_t capacity, int charSize);
void releaseRep(Rep* rep);
[[noreturn]] inline void violation() {
    platform::terminateOnViolation(platform::Violation::Invariant);
}
int32_t checkedLength(int64_t length);

template <class CharT> struct EmptyRep {
    static constinit inline struct {
        Rep rep{{-1}, 0, 0};
        CharT terminator{0};
    } value{};
};

} // namespace string_detail

template <class CharT> class BasicString {
public:
    using Char = CharT;

    BasicString() noexcept : data_(emptyData()) {}
    BasicString(const CharT* text) : BasicString(text, text ? measure(text) : 0) {}
    BasicString(const CharT* text, int32_t length) : data_(emptyData()) {
        if (length < 0)
            string_detail::violation();
        if (length > 0) {
            data_ = allocate(length);
            copyChars(data_, text, length);
            setLength(length);
        }
    }
    BasicString(const BasicString& other) noexcept : data_(other.data_) { retain(); }
    BasicString(BasicString&& other) noexcept : data_(other.data_) { other.data_ = emptyData(); }
    ~BasicString() { release(); }

    BasicString& operator=(const BasicString& other) noexcept {
        if (data_ != other.data_) {
            BasicString copy(other);
            swap(copy);
        }
        return *this;
    }
    BasicString& operator=(BasicString&& other) noexcept {
        swap(other);
        return *this;
    }
    BasicString& operator=(const CharT* text) { return *this = BasicString(text); }

    void swap(BasicString& other) noexcept {
        CharT* t = data_;
        data_ = other.data_;
        other.data_ = t;
    }

    int32_t length() const noexcept { return rep()->length; }
    bool isEmpty() const noexcept { return length() == 0; }
    const CharT* c_str() const noexcept { return data_; }
    CharT operator[](int32_t index) const {
        if (index < 0 || index >= length())
            string_detail::violation();
        return data_[index];
    }
    CharT last() const { return (*this)[length() - 1]; }
    // Whether two strings share one buffer (for tests of the copy-on-write contract).
    bool sharesBufferWith(const BasicString& other) const noexcept { return data_ == other.data_; }

    BasicString& append(const CharT* text, int32_t count) {
        if (count < 0)
            string_detail::violation();
        if (count == 0)
            return *this;
        if (text >= data_ && text < data_ + length()) {
            // Appending part of this string to itself: copy it out before growing.
            const BasicString part(text, count);
            return append(part.data_, count);
        }
        const int32_t oldLength = length();
        const int32_t newLength = string_detail::checkedLength(int64_t{oldLength} + count);
        reserveExclusive(newLength, true);
        copyChars(data_ + oldLength, text, count);
        setLength(newLength);
        return *this;
    }
    BasicString& append(const BasicString& other) {
        if (isEmpty())
            return *this = other;
        return append(other.data_, other.length());
    }
    BasicString& append(const CharT* text) { return append(text, text ? measure(text) : 0); }
    BasicString& append(CharT c) { return append(&c, 1); }
    BasicString& operator+=(const BasicString& other) { return append(other); }
    BasicString& operator+=(const CharT* text) { return append(text); }
    BasicString& operator+=(CharT c) { return append(c); }

    friend BasicString operator+(const BasicString& a, const BasicString& b) {
        BasicString result(a);
        result.append(b);
        return result;
    }
    friend BasicString operator+(const BasicString& a, const CharT* b) {
        BasicString result(a);
        result.append(b);
        return result;
    }

    // Substrings: negative counts and starts read as zero, ranges past the end are cut.
    BasicString Mid(int32_t start, int32_t count) const {
        start = clampToLength(start);
        if (count < 0)
            count = 0;
        if (count > length() - start)
            count = length() - start;
        if (start == 0 && count == length())
            return *this;
        return BasicString(data_ + start, count);
    }
    BasicString Mid(int32_t start) const { return Mid(start, length()); }
    BasicString Left(int32_t count) const { return Mid(0, count); }
    BasicString Right(int32_t count) const {
        count = clampToLength(count);
        return Mid(length() - count, count);
    }

    // Removes up to count characters at index; returns the new length.
    int32_t Delete(int32_t index, int32_t count) {
        index = clampToLength(index);
        if (count < 0)
            count = 0;
        if (count > length() - index)
            count = length() - index;
        if (count > 0) {
            makeExclusive();
            const int32_t tail = length() - index - count;
            for (int32_t i = 0; i < tail; ++i)
                data_[index + i] = data_[index + count + i];
            setLength(length() - count);
        }
        return length();
    }

    template <class IsSpace> void TrimLeft(IsSpace isSpace) {
        int32_t n = 0;
        while (n < length() && isSpace(data_[n]))
            ++n;
        Delete(0, n);
    }
    template <class IsSpace> void TrimRight(IsSpace isSpace) {
        int32_t n = length();
        while (n > 0 && isSpace(data_[n - 1]))
            --n;
        if (n != length())
            *this = Left(n);
    }

    int32_t ReverseFind(CharT c) const noexcept {
        for (int32_t i = length() - 1; i >= 0; --i)
            if (data_[i] == c)
                return i;
        return -1;
    }
    int32_t Find(CharT c, int32_t start = 0) const noexcept {
        for (int32_t i = start < 0 ? 0 : start; i < length(); ++i)
            if (data_[i] == c)
                return i;
        return -1;
    }
    int32_t Find(const BasicString& needle, int32_t start = 0) const noexcept {
        const int32_t n = needle.length();
        for (int32_t i = start < 0 ? 0 : start; i + n <= length(); ++i) {
            int32_t k = 0;
            while (k < n && data_[i + k] == needle.data_[k])
                ++k;
            if (k == n)
                return i;
        }
        return -1;
    }
    bool startsWith(const BasicString& prefix) const noexcept {
        return prefix.length() <= length() && Find(prefix) == 0;
    }

    // Replaces every `from` by `to`; returns the number of replacements.
    int32_t Replace(CharT from, CharT to) {
        int32_t count = 0;
        for (int32_t i = 0; i < length(); ++i)
            if (data_[i] == from)
                ++count;
        if (count > 0) {
            makeExclusive();
            for (int32_t i = 0; i < length(); ++i)
                if (data_[i] == from)
                    data_[i] = to;
        }
        return count;
    }

    friend bool operator==(const BasicString& a, const BasicString& b) noexcept {
        if (a.data_ == b.data_)
            return true;
        if (a.length() != b.length())
            return false;
        for (int32_t i = 0; i < a.length(); ++i)
            if (a.data_[i] != b.data_[i])
                return false;
        return true;
    }
    friend bool operator==(const BasicString& a, const CharT* b) noexcept {
        int32_t i = 0;
        for (; i < a.length(); ++i)
            if (b[i] == 0 || b[i] != a.data_[i])
                return false;
        return b[i] == 0;
    }
    // Exact comparison with an ASCII literal given as 8-bit text.
    bool equalsAscii(const char* literal) const noexcept {
        int32_t i = 0;
        for (; i < length(); ++i)
            if (literal[i] == 0 || CharT(static_cast<unsigned char>(literal[i])) != data_[i])
                return false;
        return literal[i] == 0;
    }

    // Direct buffer access: a writable buffer of at least `capacity` characters (plus the
    // terminating zero); the caller writes into it and then calls ReleaseBuffer.
    CharT* GetBuffer(int32_t capacity) {
        if (capacity < 0)
            string_detail::violation();
        reserveExclusive(capacity > length() ? capacity : length(), true);
        return data_;
    }
    // Sets the length after a direct write; -1 measures up to the first zero.
    void ReleaseBuffer(int32_t newLength = -1) {
        if (newLength < 0)
            newLength = measure(data_);
        if (data_ == emptyData()) {
            if (newLength != 0)
                string_detail::violation();
            return;
        }
        if (newLength > rep()->capacity)
            string_detail::violation();
        setLength(newLength);
        if (newLength == 0)
            *this = BasicString();
    }

    static int32_t measure(const CharT* text) {
        int64_t n = 0;
        while (text[n] != 0)
            ++n;
        return string_detail::checkedLength(n);
    }

private:
    static CharT* emptyData() noexcept { return &string_detail::EmptyRep<CharT>::value.terminator; }
    string_detail::Rep* rep() const noexcept {
        return reinterpret_cast<string_detail::Rep*>(data_) - 1;
    }
    bool isExclusive() const noexcept { return rep()->refs.load(std::memory_order_acquire) == 1; }
    static CharT* allocate(int32_t capacity) {
        auto* r = string_detail::allocateRep(capacity, sizeof(CharT));
        return reinterpret_cast<CharT*>(r + 1);
    }
    void retain() noexcept {
        if (rep()->refs.load(std::memory_order_relaxed) >= 0)
            rep()->refs.fetch_add(1, std::memory_order_relaxed);
    }
    void release() noexcept {
        if (data_ != emptyData())
            string_detail::releaseRep(rep());
        data_ = emptyData();
    }
    void setLength(int32_t n) noexcept {
        if (data_ == emptyData())
            return;
        rep()->length = n;
        data_[n] = 0;
    }
    static void copyChars(CharT* to, const CharT* from, int32_t n) noexcept {
        for (int32_t i = 0; i < n; ++i)
            to[i] = from[i];
    }
    int32_t clampToLength(int32_t v) const noexcept {
        return v < 0 ? 0 : (v > length() ? length() : v);
    }
    void makeExclusive() { reserveExclusive(length(), false); }
    // Ensures an exclusive buffer that holds `needed` characters; grows geometrically
    // when `grow` is set so that appends stay amortised constant time.
    void reserveExclusive(int32_t needed, bool grow) {
        const bool exclusive = data_ != emptyData() && isExclusive();
        if (exclusive && rep()->capacity >= needed)
            return;
        if (needed == 0 && data_ == emptyData())
            return;
        int64_t capacity = needed;
        if (grow && exclusive) {
            const int64_t doubled = int64_t{rep()->capacity} * 2;
            if (doubled > capacity)
                capacity = doubled < INT32_MAX ? doubled : INT32_MAX;
        }
        CharT* fresh = allocate(static_cast<int32_t>(capacity));
        copyChars(fresh, data_, length());
        auto* freshRep = reinterpret_cast<string_detail::Rep*>(fresh) - 1;
        freshRep->length = length();
        fresh[length()] = 0;
        release();
        data_ = fresh;
    }

    CharT* data_;
};

using WideString = BasicString<char16_t>;
using NarrowString = BasicString<char>;

} // namespace noviq
