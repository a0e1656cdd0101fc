// Immediate end of the process on a broken invariant or exhausted memory.
// Nothing is printed and no clean-up runs: the state can no longer be trusted.
#pragma once

namespace noviq::platform {

enum class Violation {
    OutOfMemory,     // an allocation failed
    Invariant,       // a negative length, an overflow, an unmeasurable format, ...
    IndexOutOfRange, // an array index outside 0 .. count-1
};

[[noreturn]] void terminateOnViolation(Violation kind);

} // namespace noviq::platform
