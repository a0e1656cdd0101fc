// Linux: there is no registry. Installed runtimes are the folders that
// platform/runtime_folders.h lists; every key fails to open.
#include "platform/registry.h"

namespace noviq::platform {

const bool kHasRegistry = false;

struct RegistryKey::State {};

RegistryKey::~RegistryKey() {
    close();
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept : state_(other.state_) {
    other.state_ = nullptr;
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        close();
        state_ = other.state_;
        other.state_ = nullptr;
    }
    return *this;
}

void RegistryKey::close() {
    delete state_;
    state_ = nullptr;
}

bool RegistryKey::open(RegistryView, const WideString&, RegistryRoot) {
    close();
    return false;
}

bool RegistryKey::subkeyName(uint32_t, WideString&) const {
    return false;
}

bool RegistryKey::readText(const WideString&, WideString&) const {
    return false;
}

} // namespace noviq::platform
