#include "engine/output/final_name.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>

namespace vantrel {
namespace {

// A name "BASE(k)" splits into BASE and k; any other name has no number.
bool SplitNumber(const std::string& Stem, std::string& Base, int& Number) {
  if (Stem.size() < 3 || Stem.back() != ')') return false;
  const size_t open = Stem.rfind('(');
  if (open == std::string::npos || open == 0) return false;
  const std::string digits = Stem.substr(open + 1, Stem.size() - open - 2);
  if (digits.empty() || digits.size() > 9) return false;
  for (unsigned char c : digits)
    if (!std::isdigit(c)) return false;
  Base = Stem.substr(0, open);
  Number = std::stoi(digits);
  return true;
}

std::string BaseOf(const std::filesystem::path& Target) {
  std::string base;
  int number = 0;
  const std::string stem = Target.stem().string();
  return SplitNumber(stem, base, number) ? base : stem;
}

bool ChangeOwner(int Fd, uid_t Owner, gid_t Group) { return ::fchown(Fd, Owner, Group) == 0; }

}  // namespace

int RenameNoReplace(const std::string& From, const std::string& To) {
  if (::renameat2(AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), RENAME_NOREPLACE) == 0) return 0;
  const int error = errno;
  if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP) return error;
  // A link, unlike a rename, never replaces: it fails with EEXIST.
  if (::link(From.c_str(), To.c_str()) != 0) return errno;
  ::unlink(From.c_str());
  return 0;
}

int FirstNumber(const std::filesystem::path& Target) {
  std::string base;
  int number = 0;
  return SplitNumber(Target.stem().string(), base, number) && number < 999999999 ? number + 1 : 1;
}

std::filesystem::path NumberedName(const std::filesystem::path& Target, int Number) {
  std::filesystem::path name = Target;
  name.replace_filename(BaseOf(Target) + "(" + std::to_string(Number) + ")" + Target.extension().string());
  return name;
}

void TakeOwnerAndMode(int TempFd, const std::string& Target) {
  struct stat old, temp;
  if (::stat(Target.c_str(), &old) != 0 || ::fstat(TempFd, &temp) != 0) return;
  if (old.st_uid != temp.st_uid || old.st_gid != temp.st_gid) {
    // Only a privileged process may give a file away; a member of the old
    // group may still give it that group. Otherwise the file stays ours.
    if (!ChangeOwner(TempFd, old.st_uid, old.st_gid)) ChangeOwner(TempFd, uid_t(-1), old.st_gid);
  }
  // After the owner: changing the owner may clear the set-id bits.
  ::fchmod(TempFd, old.st_mode & 07777);
}

}  // namespace vantrel
