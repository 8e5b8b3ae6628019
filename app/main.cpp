// The program: the application object, the main window, the event loop.
// The command line is not read.
#include "app/desktop_notifier.h"
#include "app/guarded_application.h"
#include "app/main_window.h"
#include "app/power/logind_shutdown.h"

using namespace vantrel::app;

int main(int argc, char** argv) {
  GuardedApplication application(argc, argv);
  QtWindowDialogs dialogs;
  LogindShutdown powerOff;
  WindowServices services;
  services.dialogs = &dialogs;
  services.powerOff = &powerOff;
  FreedesktopNotifier notifier;
  services.notifier = &notifier;
  TForm1 window(services);
  if (!window.open()) return 1;
  window.show();
  return application.exec();
}
