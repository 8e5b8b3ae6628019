#include <gtest/gtest.h>

#include "binding/av_binding.h"

namespace {

// Most tests need the codec libraries: load the system's set once. Tests
// that unload them put them back with EnsureLibrariesLoaded().
class LibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(vantrel::LoadLibraries("", true)) << vantrel::GetLoadError(); }
  // The set stays loaded until the process ends: unloading it at exit gains
  // nothing, and unmapping the libraries turns their own process-lifetime
  // allocations into leaks in the eyes of the leak checker.
  void TearDown() override {}
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);
  return RUN_ALL_TESTS();
}
