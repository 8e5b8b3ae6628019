#include "test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <random>

#include "binding/av_binding.h"

namespace vantrel::test {

TempDir::TempDir() {
  std::random_device rd;
  for (;;) {
    path_ = std::filesystem::temp_directory_path() / ("vantrel-test-" + std::to_string(rd()));
    if (std::filesystem::create_directory(path_)) break;
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

int RunCommand(const std::string& command, std::string& output) {
  output.clear();
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) output.append(buf.data(), n);
  const int status = pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void EnsureLibrariesLoaded() {
  if (!LibrariesLoaded()) {
    ASSERT_TRUE(LoadLibraries("", true)) << GetLoadError();
  }
}

}  // namespace vantrel::test
