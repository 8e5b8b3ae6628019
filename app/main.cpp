// The program: the application object, the main window, the event loop.
// The command line is not read.
#include "app/desktop_notifier.h"
#include "app/guarded_application.h"
#include "app/main_window.h"
#include "app/power/power_off_log.h"

using namespace vantrel::app;

namespace {

// The end-to-end tests wait for the countdown to run out; a minute each
// time would make them slow. Only a positive count is taken.
int CountdownSeconds() {
  bool ok = false;
  const int seconds = qEnvironmentVariableIntValue("VANTREL_SHUTDOWN_COUNTDOWN_SECONDS", &ok);
  return ok && seconds > 0 ? seconds : kShutdownCountdownSeconds;
}

}  // namespace

int main(int argc, char** argv) {
  GuardedApplication application(argc, argv);
  QtWindowDialogs dialogs;
  const std::unique_ptr<ShutdownRequester> powerOff = PowerOffForEnvironment();
  WindowServices services;
  services.dialogs = &dialogs;
  services.powerOff = powerOff.get();
  services.shutdownCountdownSeconds = CountdownSeconds();
  FreedesktopNotifier notifier;
  services.notifier = &notifier;
  TForm1 window(services);
  if (!window.open()) return 1;
  window.show();
  return application.exec();
}
