// The platform layer's one error convention: an operation that can fail returns the system's
// error code (GetLastError on Windows, errno on Linux; 0 for success), or, when it also
// produces a value, a SystemResult holding either the value or that code.
#pragma once

#include <cstdint>
#include <utility>

namespace noviq::platform {

template <class T> class SystemResult {
public:
    SystemResult(T value) : value_(std::move(value)) {}
    static SystemResult failure(uint32_t error) { return SystemResult(T(), error ? error : 1); }

    explicit operator bool() const { return error_ == 0; }
    const T& value() const { return value_; }
    const T& operator*() const { return value_; }
    uint32_t error() const { return error_; }

private:
    SystemResult(T value, uint32_t error) : value_(std::move(value)), error_(error) {}

    T value_;
    uint32_t error_ = 0;
};

} // namespace noviq::platform
