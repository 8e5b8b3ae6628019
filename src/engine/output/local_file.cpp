#include "engine/local_file.h"

#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "binding/av_functions.h"

namespace vantrel {
namespace {

std::filesystem::path Normalised(const std::string& Path) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(Path, ec);
  if (ec) absolute = Path;
  // Links in the folders that exist are followed, so "link/x" and "real/x" agree.
  std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal() : resolved;
}

}  // namespace

std::string LocalFilePath(const std::string& Name) {
  if (Name.empty()) return {};
  const char* protocol = lav::avio_find_protocol_name(Name.c_str());
  if (!protocol || std::strcmp(protocol, "file") != 0) return {};
  return Name.rfind("file:", 0) == 0 ? Name.substr(5) : Name;
}

bool SameLocalFile(const std::string& Path, const std::string& Other) {
  if (Path.empty() || Other.empty()) return false;
  struct stat a, b;
  if (::stat(Path.c_str(), &a) == 0)
    return ::stat(Other.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
  return Normalised(Path) == Normalised(Other);
}

}  // namespace vantrel
