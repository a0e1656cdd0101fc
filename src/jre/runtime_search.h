// The search for a Java runtime: "JRE Path", a runtime beside the executable, then the
// installed runtimes, filtered and ordered by the settings.
#pragma once

#include "common/basic_string.h"
#include "jre/search_preferences.h"

namespace noviq {

class Launcher;

// The full path of the chosen JVM library, or empty when nothing fits. Sets the launcher's
// runtimeIs32Bit.
WideString findRuntime(Launcher& launcher, const JreSearchPreferences& preferences);

} // namespace noviq
