// The splash screen: the splash library's entry points in the order the JDK's own launcher
// calls them.
#include "jvm/splash_screen.h"

#include <atomic>

#include "common/messages.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "common/trace.h"
#include "platform/files.h"
#include "platform/jvm_conventions.h"
#include "platform/library.h"
#include "platform/path_style.h"
#include "platform/text.h"

namespace noviq {

namespace {

using CloseFunction = void (*)();
using InitFunction = int (*)();
using LoadFileFunction = int (*)(const char*);
using SetFileJarNameFunction = void (*)(const char*, const char*);

// A headless JVM never takes the splash over: it would stay on the screen.
bool headless(const NarrowStringList& options) {
    const NarrowString property("-Djava.awt.headless=");
    bool result = false;
    for (const NarrowString& option : options)
        if (option.length() >= property.length() && option.Left(property.length()) == property)
            result = equalsIgnoringAsciiCase(widen(option.Mid(property.length())), "true");
    return result;
}

// The one splash of the process: the JVM takes over the same library's.
std::atomic<CloseFunction> splashClose{nullptr};

// Error lines that show as message boxes (the windowed launcher's) take the splash down
// first: it would stand above them.
class ClosingErrorLines final : public ErrorLineSink {
public:
    explicit ClosingErrorLines(ErrorLineSink& boxes) : boxes_(boxes) {}
    void write(const WideString& line) override {
        closeSplashScreen();
        boxes_.write(line);
    }

private:
    ErrorLineSink& boxes_;
};

template <class Function> Function entry(void* library, const char* name) {
    const platform::SystemResult<void*> symbol = platform::findLibrarySymbol(library, name);
    return symbol ? reinterpret_cast<Function>(*symbol) : nullptr;
}

} // namespace

void showSplashScreen(const WideString& jvmLibraryPath, const WideString& image,
                      const NarrowStringList& jvmOptions) {
    if (headless(jvmOptions)) {
        trace(u"splash: none, the JVM runs headless");
        return;
    }
    const WideString library = withoutLastComponents(jvmLibraryPath, 2) +
                               WideString(&platform::kPathSeparator, 1) +
                               platform::kSplashLibraryName;
    // A headless runtime has no splash library.
    if (!platform::firstFileExists(library)) {
        trace(u"splash: none, the runtime has no %s", library);
        return;
    }
    // For good and, on Linux, into the global scope, where AWT looks up SplashClose when the
    // first window opens (a library of its own scope would stay on the screen).
    const platform::SystemResult<void*> loaded = platform::loadLibraryForever(library);
    if (!loaded) {
        trace(u"splash: none, %s cannot be loaded (error %d)", library,
              static_cast<int32_t>(loaded.error()));
        return;
    }
    const auto init = entry<InitFunction>(*loaded, "SplashInit");
    const auto loadFile = entry<LoadFileFunction>(*loaded, "SplashLoadFile");
    const auto setNames = entry<SetFileJarNameFunction>(*loaded, "SplashSetFileJarName");
    const auto closeSplash = entry<CloseFunction>(*loaded, "SplashClose");
    if (!init || !loadFile || !closeSplash) {
        trace(u"splash: none, %s lacks its entry points", library);
        return;
    }
    if (!init()) {
        trace(u"splash: none, there is no display");
        return;
    }
    // The library takes the name in the system's 8-bit encoding, as the JVM reports it.
    const NarrowString file = platform::narrow(image);
    if (!loadFile(file.c_str())) {
        trace(u"splash: none, %s is no image the library reads", image);
        return;
    }
    // Only after the load, which clears it: SplashScreen.getImageURL() reports this name.
    if (setNames)
        setNames(file.c_str(), nullptr);
    splashClose.store(closeSplash, std::memory_order_release);
    // Only the launcher's thread runs yet. Never destroyed: a JVM thread may still report
    // while the process exits.
    if (ErrorLineSink* boxes = redirectErrorLines(nullptr))
        redirectErrorLines(new ClosingErrorLines(*boxes));
    trace(u"splash: %s shown", image);
}

void closeSplashScreen() {
    if (const CloseFunction closeSplash = splashClose.exchange(nullptr, std::memory_order_acq_rel))
        closeSplash();
}

} // namespace noviq
