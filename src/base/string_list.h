// A growable array of string values; capacity starts at one and doubles when full.
// Reading outside 0..count-1, or appending an element taken from the list's own storage,
// ends the process (the reference could dangle once the storage moves).
#pragma once

#include <cstdint>
#include <vector>

#include "base/basic_string.h"

namespace noviq {

template <class T> class BasicStringList {
public:
    int32_t count() const noexcept { return static_cast<int32_t>(items_.size()); }
    bool isEmpty() const noexcept { return items_.empty(); }

    const T& operator[](int32_t index) const {
        if (index < 0 || index >= count())
            platform::terminateOnViolation(platform::Violation::IndexOutOfRange);
        return items_[static_cast<size_t>(index)];
    }

    void add(const T& item) {
        if (!items_.empty() && &item >= items_.data() && &item < items_.data() + items_.size())
            platform::terminateOnViolation(platform::Violation::Invariant);
        if (items_.size() == items_.capacity())
            items_.reserve(items_.empty() ? 1 : items_.capacity() * 2);
        items_.push_back(item);
    }
    void clear() noexcept { items_.clear(); }

    auto begin() const noexcept { return items_.begin(); }
    auto end() const noexcept { return items_.end(); }

private:
    std::vector<T> items_;
};

using StringList = BasicStringList<WideString>;
using NarrowStringList = BasicStringList<NarrowString>;

} // namespace noviq
