// Measure-once, write-once formatting of message templates.
#include "base/format.h"

namespace noviq {

namespace {

// Writes the decimal digits of value into out (when given); returns their count.
int32_t writeUnsigned(uint64_t value, char16_t* out) {
    char16_t digits[20];
    int32_t n = 0;
    do {
        digits[n++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    if (out)
        for (int32_t i = 0; i < n; ++i)
            out[i] = digits[n - 1 - i];
    return n;
}

int32_t writeSigned(int64_t value, char16_t* out) {
    if (value >= 0)
        return writeUnsigned(static_cast<uint64_t>(value), out);
    if (out)
        *out++ = u'-';
    return 1 + writeUnsigned(0 - static_cast<uint64_t>(value), out);
}

// One pass over the template: counts the output length, and writes it when out is set.
int64_t render(const WideString& tmpl, std::initializer_list<FormatArg> args, char16_t* out) {
    int64_t n = 0;
    auto next = args.begin();
    auto put = [&](char16_t c) {
        if (out)
            out[n] = c;
        ++n;
    };
    for (int32_t i = 0; i < tmpl.length(); ++i) {
        const char16_t c = tmpl.c_str()[i];
        if (c != u'%') {
            put(c);
            continue;
        }
        if (++i >= tmpl.length())
            string_detail::violation();
        const char16_t conversion = tmpl.c_str()[i];
        if (conversion == u'%') {
            put(u'%');
            continue;
        }
        if (next == args.end())
            string_detail::violation();
        const FormatArg& arg = *next++;
        if (conversion == u's' && arg.kind() == FormatArg::Kind::Text) {
            const WideString& text = arg.text();
            for (int32_t k = 0; k < text.length(); ++k)
                put(text.c_str()[k]);
        } else if (conversion == u'd' && arg.kind() != FormatArg::Kind::Text) {
            const int64_t v = arg.kind() == FormatArg::Kind::Signed
                                  ? arg.signedValue()
                                  : static_cast<int64_t>(arg.unsignedValue());
            n += writeSigned(v, out ? out + n : nullptr);
        } else if (conversion == u'u' && arg.kind() != FormatArg::Kind::Text) {
            const uint64_t v = arg.kind() == FormatArg::Kind::Unsigned
                                   ? arg.unsignedValue()
                                   : static_cast<uint64_t>(arg.signedValue());
            n += writeUnsigned(v, out ? out + n : nullptr);
        } else {
            string_detail::violation();
        }
    }
    return n;
}

} // namespace

WideString Format(const WideString& templateText, std::initializer_list<FormatArg> args) {
    const int32_t length = string_detail::checkedLength(render(templateText, args, nullptr));
    WideString result;
    char16_t* buffer = result.GetBuffer(length);
    render(templateText, args, buffer);
    result.ReleaseBuffer(length);
    return result;
}

WideString decimal(int64_t value) {
    char16_t buffer[24];
    return WideString(buffer, writeSigned(value, buffer));
}

WideString decimalUnsigned(uint64_t value) {
    char16_t buffer[24];
    return WideString(buffer, writeUnsigned(value, buffer));
}

} // namespace noviq
