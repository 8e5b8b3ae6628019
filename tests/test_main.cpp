#include <gtest/gtest.h>

#include "binding/av_binding.h"

namespace {

// Most tests need the codec libraries: load the system's set once. Tests
// that unload them put them back with EnsureLibrariesLoaded().
class LibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(vantrel::LoadLibraries("", true)) << vantrel::GetLoadError(); }
  void TearDown() override { vantrel::UnloadLibraries(); }
};

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);
  return RUN_ALL_TESTS();
}
