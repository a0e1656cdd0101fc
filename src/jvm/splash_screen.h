// The splash screen shown while the JVM starts, through the runtime's own splash library:
// the JVM later finds the same library loaded and hands the splash to the application
// (java.awt.SplashScreen), which closes it, as the first window it opens does.
#pragma once

#include "base/basic_string.h"
#include "base/string_list.h"

namespace noviq {

// Shows the image, after the JVM library is loaded and before the JVM is created. Where it
// cannot or must not show (no library, no display, an image it cannot read, a headless JVM
// among `jvmOptions`), one trace line says why and the start goes on.
void showSplashScreen(const WideString& jvmLibraryPath, const WideString& image,
                      const NarrowStringList& jvmOptions);

// Takes it off the screen, once, from any thread (before a dialog); nothing when none
// shows. Error lines shown as message boxes close it by themselves.
void closeSplashScreen();

} // namespace noviq
