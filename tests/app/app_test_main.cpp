// Runs every test class of the application logic in one program, so one
// ctest entry covers them and a failure in any of them fails the run.
#include <QCoreApplication>

#include "app_tests.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int failures = 0;
  failures += RunProfilesTests(argc, argv);
  failures += RunFileListModelTests(argc, argv);
  failures += RunSettingsTests(argc, argv);
  failures += RunAddFileTaskTests(argc, argv);
  failures += RunBatchControllerTests(argc, argv);
  return failures == 0 ? 0 : 1;
}
