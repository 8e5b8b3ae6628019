// Runs the test classes of the application logic in one program; a failure
// in any of them fails the run. A first argument "unit" runs only the
// classes that need no media fixture, "media" only those that convert or
// probe fixtures (two ctest entries, so the quick subset has the first);
// without it every class runs. Further arguments go to Qt Test.
#include <QCoreApplication>
#include <cstring>
#include <vector>

#include "app_tests.h"

namespace {

using RunTests = int (*)(int, char**);

constexpr RunTests kUnitClasses[] = {RunProfilesTests, RunFileListModelTests, RunSettingsTests};
constexpr RunTests kMediaClasses[] = {RunAddFileTaskTests, RunBatchControllerTests};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const bool unitOnly = argc > 1 && std::strcmp(argv[1], "unit") == 0;
  const bool mediaOnly = argc > 1 && std::strcmp(argv[1], "media") == 0;
  // Qt Test reads a bare word as a test function's name: it must not see ours.
  std::vector<char*> args(argv, argv + argc);
  if (unitOnly || mediaOnly) args.erase(args.begin() + 1);
  const int count = static_cast<int>(args.size());
  int failures = 0;
  if (!mediaOnly)
    for (RunTests run : kUnitClasses) failures += run(count, args.data());
  if (!unitOnly)
    for (RunTests run : kMediaClasses) failures += run(count, args.data());
  return failures == 0 ? 0 : 1;
}
