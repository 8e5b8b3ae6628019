// Shared by the tests: library loading, fixture paths, temporary folders.
#pragma once

#include <filesystem>
#include <string>

namespace vantrel::test {

// The media fixtures made by tests/make_fixtures.sh. FixturesAvailable()
// records a failure of the running test when they were not made.
std::string Fixture(const std::string& name);
bool FixturesAvailable();

// A fresh empty folder removed again when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Runs a shell command; returns its exit status and leaves what it printed
// on stdout and stderr (merged) in output.
int RunCommand(const std::string& command, std::string& output);

// A piece of shell script: waits (at most 20 s) until the progress reports
// in the file "$log" say that more than one second of output was written.
inline constexpr const char* kWaitForOneSecondReported =
    "for i in $(seq 200); do grep -q 'time= *[1-9]' \"$log\" && break; sleep 0.1; done; ";

// Puts the system's codec libraries back for the tests that need them.
void EnsureLibrariesLoaded();

}  // namespace vantrel::test
