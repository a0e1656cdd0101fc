// The shell, COM and common-controls entry points the dialogs use, loaded when a dialog is
// about to open, and the automation entry points an elevated link needs, loaded when it is
// opened. Imported at link time, the libraries would be loaded at every start (tens of
// milliseconds under Wine) for dialogs that most starts never show.
#pragma once

#include "platform/win32/windows_api.h"

#include <commctrl.h>
#include <shlobj.h>

namespace noviq::gui::win32 {

struct CommonControls {
    BOOL(WINAPI* initCommonControlsEx)(const INITCOMMONCONTROLSEX*);
};

struct Shell {
    PIDLIST_ABSOLUTE(WINAPI* browseForFolder)(BROWSEINFOW*);
    BOOL(WINAPI* pathFromIdList)(PCIDLIST_ABSOLUTE, wchar_t*);
    HINSTANCE(WINAPI* execute)
    (HWND, const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*, int);
    HRESULT(WINAPI* coInitializeEx)(void*, DWORD);
    void(WINAPI* coUninitialize)();
    void(WINAPI* coTaskMemFree)(void*);
};

// What talking to the desktop shell's automation objects takes: COM objects from another
// process and the strings they are handed.
struct Automation {
    HRESULT(WINAPI* coCreateInstance)(REFCLSID, IUnknown*, DWORD, REFIID, void**);
    BSTR(WINAPI* sysAllocString)(const OLECHAR*);
    void(WINAPI* sysFreeString)(BSTR);
};

// Each loads its libraries from the system folder on the first call and keeps them for the
// life of the process; null when a library or an entry point is missing. Dialog threads only.
const CommonControls* commonControls();
const Shell* shell();
const Automation* automation();

} // namespace noviq::gui::win32
