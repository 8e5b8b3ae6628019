// Runs the window's test classes in one program on the offscreen platform,
// with the settings and the default output folder in a throw-away home.
#include <QTemporaryDir>

#include "app/guarded_application.h"
#include "gui_tests.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir home;
  if (!home.isValid()) qFatal("cannot make a temporary home");
  qputenv("HOME", home.path().toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
  vantrel::app::GuardedApplication application(argc, argv);
  int failures = 0;
  failures += RunWindowControlsTests(argc, argv);
  failures += RunWindowBatchTests(argc, argv);
  failures += RunDesktopNotifierTests(argc, argv);
  return failures == 0 ? 0 : 1;
}
