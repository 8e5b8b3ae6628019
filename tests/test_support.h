// Shared by the tests: library loading, fixture paths, temporary folders.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace vantrel::test {

// The media fixtures made by tests/make_fixtures.sh, in the folder named by
// $VANTREL_FIXTURES_DIR when set, else in the build tree's. Defined in
// fixtures.cpp, which only the media test program has.
std::string FixturesDir();

// Thrown by Fixture() for a fixture that is not there. gtest reports the
// exception as the test's failure and runs nothing more of the test, so a
// test cannot go on to use an engine its set-up never reached. Call
// Fixture() on the test's own thread: a callback on a worker thread gets
// the path from a variable instead.
class MissingFixture : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The path of a fixture; throws MissingFixture when the fixtures were not
// made or this one is not among them.
std::string Fixture(const std::string& name);

// Records a fatal failure of the running test when the fixtures were not
// made; ASSERT_TRUE(FixturesAvailable()) in SetUp() or first in the body.
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
