// Which names of the option language are files on this machine, and when two
// of them are the same file.
#pragma once

#include <string>

namespace vantrel {

// The path a name stands for when the library's file protocol handles it
// ("file:" prefix removed); empty for other protocols ("pipe:", URLs).
std::string LocalFilePath(const std::string& Name);

// Whether Path names the file Other names: the same device and inode after
// following links when Path exists, else the same absolute normalised path.
bool SameLocalFile(const std::string& Path, const std::string& Other);

}  // namespace vantrel
