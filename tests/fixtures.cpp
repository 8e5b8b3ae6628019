// The media fixtures, for the media test program only: a file of the unit
// program that starts to use them fails to link, and so moves over.
#include <gtest/gtest.h>

#include <cstdlib>

#include "test_support.h"
#include "build_paths.h"

namespace vantrel::test {

namespace {

constexpr const char* kNotMade = "media fixtures not made: cmake --build BUILD_DIR --target fixtures";

bool FixturesMade() { return std::filesystem::exists(std::filesystem::path(FixturesDir()) / ".stamp"); }

}  // namespace

std::string FixturesDir() {
  // The variable lets a run point at another set, or at an empty folder to
  // see that every media test fails on its own.
  const char* dir = std::getenv("VANTREL_FIXTURES_DIR");
  return dir && *dir ? dir : VANTREL_FIXTURES_DIR;
}

std::string Fixture(const std::string& name) {
  // Missing fixtures fail the test that needs them rather than skip it: a
  // green run with the media tests skipped would hide that nothing was tried.
  if (!FixturesMade()) throw MissingFixture(kNotMade);
  const std::filesystem::path path = std::filesystem::path(FixturesDir()) / name;
  if (!std::filesystem::exists(path)) throw MissingFixture("no fixture " + path.string());
  return path.string();
}

// A fatal failure: called in SetUp(), it keeps gtest from running the body
// (a failure that is not fatal would, and a GTEST_SKIP() after it too).
void RecordNotMade() { FAIL() << kNotMade; }

bool FixturesAvailable() {
  const bool made = FixturesMade();
  if (!made) RecordNotMade();
  return made;
}

}  // namespace vantrel::test
