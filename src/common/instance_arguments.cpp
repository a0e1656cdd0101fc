// Encoding of a single-instance request's arguments.
#include "common/instance_arguments.h"

#include <cstring>

namespace noviq {

namespace {

void put16(unsigned char* at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

uint32_t get16(const unsigned char* at) {
    return uint32_t{at[0]} | uint32_t{at[1]} << 8;
}

} // namespace

bool encodeInstanceArguments(const StringList& arguments,
                             unsigned char (&area)[kInstanceAreaBytes]) {
    std::memset(area, 0, sizeof area);
    size_t needed = 2;
    for (const WideString& argument : arguments)
        needed += 2 + 2 * static_cast<size_t>(argument.length());
    if (needed > sizeof area)
        return false;
    put16(area, static_cast<uint32_t>(arguments.count()));
    size_t at = 2;
    for (const WideString& argument : arguments) {
        put16(area + at, static_cast<uint32_t>(argument.length()));
        at += 2;
        for (int32_t i = 0; i < argument.length(); ++i, at += 2)
            put16(area + at, argument[i]);
    }
    return true;
}

StringList decodeInstanceArguments(const unsigned char (&area)[kInstanceAreaBytes]) {
    StringList arguments;
    const uint32_t count = get16(area);
    size_t at = 2;
    for (uint32_t k = 0; k < count && at + 2 <= sizeof area; ++k) {
        const size_t length = get16(area + at);
        at += 2;
        if (length > (sizeof area - at) / 2)
            break;
        WideString argument;
        for (size_t i = 0; i < length; ++i, at += 2)
            argument += static_cast<char16_t>(get16(area + at));
        arguments.add(argument);
    }
    return arguments;
}

} // namespace noviq
