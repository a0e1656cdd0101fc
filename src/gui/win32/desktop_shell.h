// Opening a document or address as the desktop's user, not as this process: an elevated
// process that opened it itself would run whatever handler the unelevated user registered
// for it (HKEY_CURRENT_USER's classes win), with administrator rights.
#pragma once

#include "platform/win32/windows_api.h"

namespace noviq::gui::win32 {

// Asks the desktop's shell (the desktop window's folder view, in the shell's own process)
// to open `document`. False when any step is missing: then nothing was opened. Needs COM
// initialised on the calling thread (single-threaded apartment, as the dialogs have).
bool openWithDesktopShell(const wchar_t* document);

} // namespace noviq::gui::win32
