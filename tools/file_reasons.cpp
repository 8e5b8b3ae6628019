#include "file_reasons.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace vantrel::cli {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

std::string SystemText(int error) { return std::strerror(error); }

}  // namespace

std::string LocalPath(const std::string& name) {
  if (name.empty() || name == "-" || name.find("://") != std::string::npos || name.rfind("pipe:", 0) == 0)
    return {};
  return name.rfind("file:", 0) == 0 ? name.substr(5) : name;
}

std::string EngineFileName(const std::string& name) { return name == "-" ? "pipe:" : name; }

std::string InputReason(const std::string& name) {
  const std::string path = LocalPath(name);
  if (path.empty()) return {};
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return SystemText(errno);
  if (S_ISDIR(st.st_mode)) return "it is a folder, not a file";
  if (::access(path.c_str(), R_OK) != 0) return SystemText(errno);
  return {};
}

std::string OutputReason(const std::string& name) {
  const std::string path = LocalPath(name);
  if (path.empty()) return {};
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return "it is a folder";
    return ::access(path.c_str(), W_OK) != 0 ? SystemText(errno) : std::string();
  }
  if (errno != ENOENT) return SystemText(errno);
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  const std::string dir = parent.empty() ? std::string(".") : parent.string();
  if (::stat(dir.c_str(), &st) != 0) return SystemText(errno);
  if (!S_ISDIR(st.st_mode)) return SystemText(ENOTDIR);
  return ::access(dir.c_str(), W_OK | X_OK) != 0 ? SystemText(errno) : std::string();
}

std::string WithReason(const std::string& message, const std::string& reason) {
  if (reason.empty() || Lower(message).find(Lower(reason)) != std::string::npos) return message;
  return message + ": " + reason;
}

}  // namespace vantrel::cli
