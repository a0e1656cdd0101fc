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

StringList runtimeMarkerSubpaths() {
    StringList list;
    list.add(u"lib/libjava.so");
    list.add(u"lib/amd64/libjava.so");
    return list;
}

} // namespace noviq::platform
