#pragma once

#include <string>
#include <vector>

namespace vantrel {

// The DT_NEEDED entries of a 64-bit little-endian ELF shared object, in file
// order; empty when the file cannot be read or is not such an object.
std::vector<std::string> ElfNeededLibraries(const std::string& path);

}  // namespace vantrel
