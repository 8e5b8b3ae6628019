// Run-time binding of the codec libraries. The six FFmpeg libraries and the
// C-runtime helper set are loaded as one all-or-nothing set: either every
// library is loaded and every function of av_functions.h is bound, or nothing
// stays loaded and GetLoadError() says what failed.
#pragma once

#include <string>

#include "binding/av_functions.h"

namespace vantrel {

enum class Library { Codec, Filter, Format, Util, Scale, Resample, Runtime };
inline constexpr int kLibraryCount = 7;

// Loads the set. An empty APath uses the default search: the folder "LibAV"
// beside the executable when it holds the file, else the system loader's
// search. A non-empty APath means that folder only. AVersioned picks
// "libavcodec.so.59"-style names over "libavcodec.so". A second call after a
// successful load returns true at once and ignores its arguments.
bool LoadLibraries(const std::string& APath, bool AVersioned);
void UnloadLibraries();
bool LibrariesLoaded();
std::string GetLoadError();

// One library of the set.
bool LoadLibrary(Library lib, const std::string& APath, bool AVersioned);
void UnloadLibrary(Library lib);
bool LibraryBound(Library lib);
std::string LibraryError(Library lib);
// The file name the library is looked for under with the given naming.
std::string LibraryFileName(Library lib, bool AVersioned);

}  // namespace vantrel
