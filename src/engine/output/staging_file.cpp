#include "engine/output/staging_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <memory>
#include <random>

namespace vantrel {
namespace {

constexpr char kPrefix[] = ".vantrel-";
constexpr char kSuffix[] = ".part";
constexpr size_t kRandomLength = 6;
constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

std::string RandomLetters() {
  static thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  std::string letters(kRandomLength, ' ');
  for (char& c : letters) c = kLetters[pick(random)];
  return letters;
}

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (unsigned char c : s)
    if (!std::isdigit(c)) return false;
  return true;
}

bool AllLettersOrDigits(const std::string& s) {
  for (unsigned char c : s)
    if (!std::isalnum(c)) return false;
  return true;
}

bool ProcessIsGone(pid_t Pid) { return ::kill(Pid, 0) != 0 && errno == ESRCH; }

// Removes Name when its lock can be taken, and only while it is still the
// file that was locked: a run that just created a file of that name keeps it.
void RemoveIfUnlocked(int DirFd, const char* Name) {
  const UniqueFd fd(::openat(DirFd, Name, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
  if (!fd) return;
  struct stat opened, named;
  if (::fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode)) return;
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) return;
  if (::fstatat(DirFd, Name, &named, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (named.st_dev != opened.st_dev || named.st_ino != opened.st_ino) return;
  ::unlinkat(DirFd, Name, 0);
}

}  // namespace

TStagingFile CreateStagingFile(const std::filesystem::path& Folder) {
  const std::filesystem::path folder = Folder.empty() ? std::filesystem::path(".") : Folder;
  const std::string prefix = kPrefix + std::to_string(::getpid()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path = (folder / (prefix + RandomLetters() + kSuffix)).string();
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd) {
      if (errno == EEXIST) continue;
      return {};
    }
    // Nobody else has the file yet, so the lock cannot be refused; without
    // it a clean-up could take the file for an abandoned one.
    if (::flock(fd.Get(), LOCK_EX) != 0) {
      ::unlink(path.c_str());
      return {};
    }
    return TStagingFile{path, std::move(fd)};
  }
  return {};
}

bool IsStagingName(const std::string& FileName, pid_t& Pid) {
  const size_t prefix = sizeof kPrefix - 1, suffix = sizeof kSuffix - 1;
  if (FileName.size() < prefix + 1 + 1 + kRandomLength + suffix) return false;
  if (FileName.compare(0, prefix, kPrefix) != 0) return false;
  if (FileName.compare(FileName.size() - suffix, suffix, kSuffix) != 0) return false;
  const std::string middle = FileName.substr(prefix, FileName.size() - prefix - suffix);
  const size_t dash = middle.size() - kRandomLength - 1;
  if (middle[dash] != '-' || !AllLettersOrDigits(middle.substr(dash + 1))) return false;
  const std::string pid = middle.substr(0, dash);
  if (!AllDigits(pid) || pid.size() > 9) return false;
  Pid = pid_t(std::stol(pid));
  return Pid > 0;
}

void RemoveAbandonedStagingFiles(const std::filesystem::path& Folder) {
  const std::string folder = Folder.empty() ? std::string(".") : Folder.string();
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
  if (!dir) return;
  const pid_t self = ::getpid();
  while (const dirent* entry = ::readdir(dir.get())) {
    pid_t pid = 0;
    if (!IsStagingName(entry->d_name, pid) || pid == self || !ProcessIsGone(pid)) continue;
    RemoveIfUnlocked(::dirfd(dir.get()), entry->d_name);
  }
}

}  // namespace vantrel
