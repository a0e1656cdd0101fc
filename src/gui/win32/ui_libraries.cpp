// Loading the dialogs' libraries on demand. The common controls are named without a path,
// so the application manifest's version 6 is the one loaded.
#include "gui/win32/ui_libraries.h"

namespace noviq::gui::win32 {

namespace {

HMODULE systemLibrary(const wchar_t* name) {
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Fills `entry` from `module`; false when the module or the entry point is missing.
template <class Function> bool resolve(HMODULE module, const char* name, Function& entry) {
    entry = module
                ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
    return entry != nullptr;
}

} // namespace

const CommonControls* commonControls() {
    static const CommonControls* const loaded = []() -> const CommonControls* {
        static CommonControls entries{};
        const HMODULE comctl32 = systemLibrary(L"comctl32.dll");
        return resolve(comctl32, "InitCommonControlsEx", entries.initCommonControlsEx) ? &entries
                                                                                       : nullptr;
    }();
    return loaded;
}

const Shell* shell() {
    static const Shell* const loaded = []() -> const Shell* {
        static Shell entries{};
        const HMODULE shell32 = systemLibrary(L"shell32.dll");
        const HMODULE ole32 = systemLibrary(L"ole32.dll");
        const bool complete = resolve(shell32, "SHBrowseForFolderW", entries.browseForFolder) &&
                              resolve(shell32, "SHGetPathFromIDListW", entries.pathFromIdList) &&
                              resolve(shell32, "ShellExecuteW", entries.execute) &&
                              resolve(ole32, "CoInitializeEx", entries.coInitializeEx) &&
                              resolve(ole32, "CoUninitialize", entries.coUninitialize) &&
                              resolve(ole32, "CoTaskMemFree", entries.coTaskMemFree);
        return complete ? &entries : nullptr;
    }();
    return loaded;
}

const Automation* automation() {
    static const Automation* const loaded = []() -> const Automation* {
        static Automation entries{};
        const HMODULE ole32 = systemLibrary(L"ole32.dll");
        const HMODULE oleaut32 = systemLibrary(L"oleaut32.dll");
        const bool complete = resolve(ole32, "CoCreateInstance", entries.coCreateInstance) &&
                              resolve(oleaut32, "SysAllocString", entries.sysAllocString) &&
                              resolve(oleaut32, "SysFreeString", entries.sysFreeString);
        return complete ? &entries : nullptr;
    }();
    return loaded;
}

} // namespace noviq::gui::win32
