// Linux: ":" lists, "PATH", and the runtime's lib folder holds its native libraries.
#include "platform/jvm_conventions.h"

namespace noviq::platform {

const char16_t kListSeparator = u':';
const char16_t* const kSearchPathVariable = u"PATH";
const char16_t* const kRuntimeLibraryFolderSibling = nullptr;
const char16_t* const kRuntimeProgramFolderSibling = u"bin";
const char16_t* const kSplashLibraryName = u"libsplashscreen.so";
const AbsolutePathForm kAbsolutePathForm = AbsolutePathForm::LeadingSeparator;

const bool kJvmDefaultLibraryPathHasCurrentFolder = false;

} // namespace noviq::platform
