// Buffer management shared by both string types.
#include "base/basic_string.h"

#include <cstdlib>
#include <new>

namespace noviq::string_detail {

int32_t checkedLength(int64_t length) {
    if (length < 0 || length > INT32_MAX)
        violation();
    return static_cast<int32_t>(length);
}

Rep* allocateRep(int32_t capacity, int charSize) {
    if (capacity < 0)
        violation();
    const size_t bytes = sizeof(Rep) + (static_cast<size_t>(capacity) + 1) * charSize;
    void* memory = std::malloc(bytes);
    if (!memory)
        platform::terminateOnViolation(platform::Violation::OutOfMemory);
    auto* rep = new (memory) Rep{{1}, 0, capacity};
    return rep;
}

void releaseRep(Rep* rep) {
    if (rep->refs.load(std::memory_order_relaxed) < 0)
        return;
    if (rep->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        rep->~Rep();
        std::free(rep);
    }
}

} // namespace noviq::string_detail
