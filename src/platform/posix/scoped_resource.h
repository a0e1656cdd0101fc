// One move-only owner for the descriptors, directory streams, mappings and C streams the
// Linux platform layer opens, so each is released exactly once on every path, plus the
// traits that say how each kind is released and which values mean "nothing owned".
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <dirent.h>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace noviq::platform::posix {

// Traits provide:
//   using Handle = ...;                    the raw resource type
//   static Handle empty();                 the value held when nothing is owned
//   static bool isValid(const Handle&);    false for every failure value of the opening call
//   static void close(const Handle&);      releases a valid resource
template <class Traits> class ScopedResource {
public:
    using Handle = typename Traits::Handle;

    ScopedResource() = default;
    explicit ScopedResource(Handle handle) : handle_(handle) {}
    ~ScopedResource() { reset(); }
    ScopedResource(ScopedResource&& other) noexcept : handle_(other.release()) {}
    ScopedResource& operator=(ScopedResource&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ScopedResource(const ScopedResource&) = delete;
    ScopedResource& operator=(const ScopedResource&) = delete;

    const Handle& get() const { return handle_; }
    bool isValid() const { return Traits::isValid(handle_); }
    explicit operator bool() const { return isValid(); }

    // Gives up ownership without releasing.
    Handle release() { return std::exchange(handle_, Traits::empty()); }

    // Releases what is owned (if anything) and takes `handle` instead. Keeps errno as it
    // was, so an early return that unwinds an owner still leaves the failed call's errno.
    void reset(Handle handle = Traits::empty()) {
        const Handle old = std::exchange(handle_, handle);
        if (Traits::isValid(old)) {
            const int saved = errno;
            Traits::close(old);
            errno = saved;
        }
    }

private:
    Handle handle_ = Traits::empty();
};

// File descriptors. Linux releases the descriptor even when close() fails or is
// interrupted, so it is never retried.
struct FdTraits {
    using Handle = int;
    static Handle empty() { return -1; }
    static bool isValid(Handle fd) { return fd >= 0; }
    static void close(Handle fd) { ::close(fd); }
};

struct DirTraits {
    using Handle = DIR*;
    static Handle empty() { return nullptr; }
    static bool isValid(Handle dir) { return dir != nullptr; }
    static void close(Handle dir) { closedir(dir); }
};

struct FileStreamTraits {
    using Handle = std::FILE*;
    static Handle empty() { return nullptr; }
    static bool isValid(Handle file) { return file != nullptr; }
    static void close(Handle file) { std::fclose(file); }
};

// A mapping from mmap; munmap needs the length it was made with.
struct Mapping {
    void* address = MAP_FAILED;
    size_t length = 0;
};

struct MappingTraits {
    using Handle = Mapping;
    static Handle empty() { return Mapping{}; }
    static bool isValid(const Handle& m) { return m.address != MAP_FAILED; }
    static void close(const Handle& m) { munmap(m.address, m.length); }
};

using ScopedFd = ScopedResource<FdTraits>;
using ScopedDir = ScopedResource<DirTraits>;
using ScopedFileStream = ScopedResource<FileStreamTraits>;
using ScopedMapping = ScopedResource<MappingTraits>;

} // namespace noviq::platform::posix
