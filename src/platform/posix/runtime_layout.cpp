// Linux runtime layout: lib/<flavour>/libjvm.so (Java 9 and later) or
// lib/amd64/<flavour>/libjvm.so (a Java 8 runtime); marker libjava.so beside them.
#include "platform/runtime_layout.h"

namespace noviq::platform {

StringList jvmLibrarySubpaths(JvmFlavour flavour) {
    static const char16_t* const kNames[] = {u"server", u"client", u"classic", u"hotspot",
                                             u"jrockit"};
    const WideString name = kNames[static_cast<int>(flavour)];
    StringList list;
    list.add(WideString(u"lib/") + name + u"/libjvm.so");
    list.add(WideString(u"lib/amd64/") + name + u"/libjvm.so");
    return list;
}

// A Java 8 library lies one level deeper than a Java 9 one (lib/amd64/server/libjvm.so), so
// the home is what precedes the known sub-path; an unknown layout counts three levels.
WideString runtimeHomeOf(const WideString& jvmLibraryPath) {
    for (JvmFlavour flavour : {JvmFlavour::Server, JvmFlavour::Client, JvmFlavour::Classic,
                               JvmFlavour::Hotspot, JvmFlavour::Jrockit}) {
        const StringList subpaths = jvmLibrarySubpaths(flavour);
        for (int32_t i = subpaths.count() - 1; i >= 0; --i) {
            const WideString suffix = WideString(u"/") + subpaths[i];
            const int32_t start = jvmLibraryPath.length() - suffix.length();
            if (start >= 0 && jvmLibraryPath.Mid(start) == suffix)
                return jvmLibraryPath.Left(start);
        }
    }
    WideString home = jvmLibraryPath;
    for (int cut = 0; cut < 3; ++cut) {
        const int32_t last = home.ReverseFind(u'/');
        if (last >= 0)
            home = home.Left(last);
    }
    return home;
}

StringList runtimeMarkerSubpaths() {
    StringList list;
    list.add(u"lib/libjava.so");
    list.add(u"lib/amd64/libjava.so");
    return list;
}

} // namespace noviq::platform
