// Text and path utilities: cutting at a separator, splitting a command line, recognising
// long-path and UNC forms, and creating the folders above a file path.
#pragma once

#include <cstdint>

#include "base/basic_string.h"
#include "base/string_list.h"

namespace noviq {

// Clears `pieces` and fills it with the parts between separators: an empty part between
// two separators counts, nothing follows a final separator.
void splitAtSeparator(const WideString& text, const WideString& separator, StringList& pieces);

// Appends the arguments of a command line: double quotes group (and are dropped), space and
// tab separate, there is no escape character.
void tokenizeCommandLine(const WideString& text, StringList& arguments);

bool hasLongPathPrefix(const WideString& path);
bool isUncPath(const WideString& path);

// False for empty and relative paths; otherwise whether a first-file search finds it.
bool pathExists(const WideString& path);

// Appends the root and the components of a path.
void splitPath(const WideString& path, StringList& elements);

// Creates every missing folder above the file; returns 0 or the error code of the last
// creation that failed, after removing the folders this call made. An empty path is refused
// with the invalid-parameter error.
uint32_t createParentFolders(const WideString& filePath);

// The text before the last path separator (the folder of a file, without a trailing
// separator); the text itself when it holds none.
WideString withoutLastComponent(const WideString& path);
// A path that names one place whatever the current folder and drive: "C:\\..." or a UNC
// path on Windows, "/..." on Linux.
bool isAbsolutePath(const WideString& path);

// A path the user wrote, taken from `folder` when it is relative (anything but a drive or
// UNC path on Windows, anything not starting with "/" on Linux), so that nothing depends on
// the folder the program happens to be started from.
WideString absoluteFrom(const WideString& folder, const WideString& path);

// The path with one separator at its end (an empty path becomes the separator alone).
WideString withTrailingSeparator(WideString path);
// The same cut made `count` times.
WideString withoutLastComponents(WideString path, int count);

} // namespace noviq
