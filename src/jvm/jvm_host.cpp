// Placeholder for hosting the JVM: no JVM is created yet, so a run ends with -1.
#include "launcher/launcher.h"

namespace noviq {

void Launcher::prepareEnvironment() {}
bool Launcher::buildJvmOptions() { return false; }
uint32_t Launcher::runJavaMainThread() { return 1; }
bool Launcher::createJvm() { return false; }
bool Launcher::callMainClass() { return false; }
uint32_t Launcher::javaMainThreadBody() { return 1; }

} // namespace noviq
