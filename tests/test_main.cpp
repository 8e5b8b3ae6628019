#include <gtest/gtest.h>

#include "binding/av_binding.h"

namespace {

// Most tests need the codec libraries: load the system's set once. Tests
// that unload them put them back with EnsureLibrariesLoaded().
class LibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(vantrel::LoadLibraries("", true)) << vantrel::GetLoadError(); }
  // The libraries stay loaded to the end: once unloaded, what they still
  // hold at exit is no longer reachable and the leak checker reports it
  // as leaked by the test program.
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);
  return RUN_ALL_TESTS();
}
