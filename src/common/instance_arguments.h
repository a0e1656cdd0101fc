// The arguments of a single-instance request as the bytes one start hands to another: a
// count, then each argument's length and UTF-16 code units, all 16-bit little-endian, in an
// area of fixed size. Empty arguments and an empty list travel as they are.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/string_list.h"

namespace noviq {

// The bytes of the area a request may use.
inline constexpr size_t kInstanceAreaBytes = 1040;

// Writes the arguments into the area (zeroed first). False, with the area zeroed, when they
// do not fit: 2 bytes for the count, plus 2 bytes and 2 per code unit for each argument.
bool encodeInstanceArguments(const StringList& arguments,
                             unsigned char (&area)[kInstanceAreaBytes]);

// The arguments in an area; reading stops at the area's end, so a damaged area gives the
// arguments that lie wholly inside it.
StringList decodeInstanceArguments(const unsigned char (&area)[kInstanceAreaBytes]);

} // namespace noviq
