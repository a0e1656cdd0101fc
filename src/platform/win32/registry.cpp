// Windows: keys under HKEY_LOCAL_MACHINE opened for reading in either registry view.
#include "platform/registry.h"

#include <vector>

#include "common/registry_value.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace noviq::platform {

const bool kHasRegistry = true;

using namespace win32;

struct RegistryKey::State {
    ScopedRegistryKey key;
};

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
    if (!state_)
        return;
    delete state_;
    state_ = nullptr;
}

bool RegistryKey::open(RegistryView view, const WideString& path, RegistryRoot root) {
    close();
    const REGSAM access = KEY_READ | (view == RegistryView::Wow32 ? KEY_WOW64_32KEY : 0);
    HKEY key = nullptr;
    const LONG rc =
        RegOpenKeyExW(root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE,
                      w(path), 0, access, &key);
    if (rc != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(rc));
        return false;
    }
    state_ = new State{ScopedRegistryKey(key)};
    return true;
}

bool RegistryKey::subkeyName(uint32_t index, WideString& name) const {
    if (!state_)
        return false;
    wchar_t buffer[256]; // a key name has at most 255 characters
    DWORD length = 256;
    const LONG rc = RegEnumKeyExW(state_->key.get(), index, buffer, &length, nullptr, nullptr,
                                  nullptr, nullptr);
    if (rc != ERROR_SUCCESS)
        return false;
    name = str(buffer, static_cast<int32_t>(length));
    return true;
}

bool RegistryKey::readText(const WideString& valueName, WideString& text) const {
    if (!state_)
        return false;
    DWORD size = 0;
    if (RegQueryValueExW(state_->key.get(), w(valueName), nullptr, nullptr, nullptr, &size) !=
        ERROR_SUCCESS)
        return false;
    std::vector<unsigned char> data(size);
    DWORD read = size;
    if (RegQueryValueExW(state_->key.get(), w(valueName), nullptr, nullptr, data.data(), &read) !=
        ERROR_SUCCESS)
        return false;
    text = registryDataText(data.data(), read < size ? read : size);
    return true;
}

} // namespace noviq::platform
