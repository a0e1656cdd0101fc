// What the settings ask of the runtime search: JVM type, kinds, vendors, versions.
#pragma once

#include <cstdint>

#include "common/basic_string.h"
#include "common/string_list.h"
#include "jre/java_version.h"

namespace noviq {

enum class JvmType : int32_t { Default, Server, FavorServer };

struct JreSearchPreferences {
    JvmType jvmType = JvmType::Default;
    bool preferJdk = false;
    bool preferJre = false;
    bool searchBothKinds = true;
    bool jrockitAllowed = false;
    bool sunAllowed = true;
    bool ibmAllowed = false;
    bool jrockitPreferred = false;
    bool sunPreferred = true;
    bool ibmPreferred = false;
    JavaVersionRange range;
    StringList preferredVersions;
    WideString jrePath;
    bool pairProductSet = false;
};

} // namespace noviq
