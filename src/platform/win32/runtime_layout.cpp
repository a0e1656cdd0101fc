// Windows runtime layout: bin\<flavour>\jvm.dll, marker bin\java.dll.
#include "platform/runtime_layout.h"

namespace noviq::platform {

StringList jvmLibrarySubpaths(JvmFlavour flavour) {
    static const char16_t* const kPaths[] = {u"bin\\server\\jvm.dll", u"bin\\client\\jvm.dll",
                                             u"bin\\classic\\jvm.dll", u"bin\\hotspot\\jvm.dll",
                                             u"bin\\jrockit\\jvm.dll"};
    StringList list;
    list.add(kPaths[static_cast<int>(flavour)]);
    return list;
}

// The library lies three levels below its runtime: <home>\bin\<flavour>\jvm.dll. Each cut
// drops the text from the last backslash; a path with fewer levels keeps what is left.
WideString runtimeHomeOf(const WideString& jvmLibraryPath) {
    WideString home = jvmLibraryPath;
    for (int cut = 0; cut < 3; ++cut) {
        const int32_t last = home.ReverseFind(u'\\');
        if (last >= 0)
            home = home.Left(last);
    }
    return home;
}

StringList runtimeMarkerSubpaths() {
    StringList list;
    list.add(u"bin\\java.dll");
    return list;
}

} // namespace noviq::platform
