// Windows: ";" lists, "Path", and the runtime's bin folder holds its DLLs.
#include "platform/jvm_conventions.h"

namespace noviq::platform {

const char16_t kListSeparator = u';';
const char16_t* const kSearchPathVariable = u"Path";
const char16_t* const kRuntimeLibraryFolderSibling = u"lib";
const char16_t* const kRuntimeProgramFolderSibling = nullptr;
const char16_t* const kSplashLibraryName = u"splashscreen.dll";
const AbsolutePathForm kAbsolutePathForm = AbsolutePathForm::DriveOrUnc;

const bool kJvmDefaultLibraryPathHasCurrentFolder = true;

} // namespace noviq::platform
