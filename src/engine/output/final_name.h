// How a finished temporary file takes its output's name: replacing what is
// there with its owner and permissions, or never replacing anything.
#pragma once

#include <filesystem>
#include <string>

namespace vantrel {

// Gives From the name To only when no file has that name, in one step, so
// a file that appears meanwhile is never lost. Returns 0 or the errno value
// (EEXIST: To exists). File systems without the no-replace rename get a
// hard link and the removal of From.
int RenameNoReplace(const std::string& From, const std::string& To);

// The name Target takes when it is taken already, for n = 1, 2, ...:
// "BASE(n).EXT" in its folder. A name that ends in "(k)" before its
// extension counts on from k + 1 (FirstNumber gives that start).
int FirstNumber(const std::filesystem::path& Target);
std::filesystem::path NumberedName(const std::filesystem::path& Target, int Number);

// Gives the file open as TempFd the permission bits of the file at Target
// and, as far as this process may, its owner and group. Nothing when no
// file is there (a new file keeps the mode the umask gave it).
void TakeOwnerAndMode(int TempFd, const std::string& Target);

}  // namespace vantrel
