// Finding and opening one shared library.
#pragma once

#include <string>

namespace vantrel {

// Opens AName. An empty ADir uses the default search (the "LibAV" folder
// beside the executable when it holds the file, else the system loader's).
// A non-empty ADir means that folder only; the libraries that the module
// itself needs are taken from the same folder when they are there. Returns
// nullptr on failure and leaves the loader's text in errorText.
void* LoadLibraryFrom(const std::string& ADir, const std::string& AName, std::string& errorText);

// The folder holding the running executable, without a trailing '/'.
std::string ExecutableDir();

}  // namespace vantrel
