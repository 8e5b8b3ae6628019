// Opening inputs as local files only: a name that is a path and never a
// protocol address, and an open that may not reach further than the file
// protocol, for itself or for anything the file names (playlists, nested
// demuxers inherit the whitelist).
#pragma once

#include <string>

#include "binding/av_functions.h"

namespace vantrel {

// What the library is given to open the input Name: with LocalOnly, the
// name behind the file protocol's prefix, so "cache:x.avi" is that file.
std::string InputUrl(const std::string& Name, bool LocalOnly);

// With LocalOnly, adds the protocol whitelist "file" to the options of an open.
void RestrictToLocalFiles(AVDictionary** Options, bool LocalOnly);

}  // namespace vantrel
