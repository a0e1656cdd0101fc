// printf-style formatting into a WideString: "%s" takes a WideString, "%d" a signed and
// "%u" an unsigned integer, "%%" is a percent sign. The length is measured first, the
// buffer allocated once, then written. A template that does not fit its arguments cannot
// be measured and ends the process.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "base/basic_string.h"

namespace noviq {

class FormatArg {
public:
    FormatArg(const WideString& text) : kind_(Kind::Text), text_(&text) {}
    FormatArg(int32_t number) : kind_(Kind::Signed), signed_(number) {}
    FormatArg(uint32_t number) : kind_(Kind::Unsigned), unsigned_(number) {}
    FormatArg(int64_t number) : kind_(Kind::Signed), signed_(number) {}
    FormatArg(uint64_t number) : kind_(Kind::Unsigned), unsigned_(number) {}

    enum class Kind { Text, Signed, Unsigned };
    Kind kind() const { return kind_; }
    const WideString& text() const { return *text_; }
    int64_t signedValue() const { return signed_; }
    uint64_t unsignedValue() const { return unsigned_; }

private:
    Kind kind_;
    const WideString* text_ = nullptr;
    int64_t signed_ = 0;
    uint64_t unsigned_ = 0;
};

WideString Format(const WideString& templateText, std::initializer_list<FormatArg> args = {});

template <class... Args> WideString Format(const WideString& templateText, const Args&... args) {
    return Format(templateText, {FormatArg(args)...});
}

// Decimal text of a number.
WideString decimal(int64_t value);
WideString decimalUnsigned(uint64_t value);

} // namespace noviq
