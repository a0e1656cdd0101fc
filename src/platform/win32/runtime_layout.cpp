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

StringList runtimeMarkerSubpaths() {
    StringList list;
    list.add(u"bin\\java.dll");
    return list;
}

} // namespace noviq::platform
