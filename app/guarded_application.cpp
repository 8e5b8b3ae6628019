#include "app/guarded_application.h"

#include <clocale>
#include <exception>

#include "engine/engine.h"

namespace vantrel::app {

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Vantrel"));
  // No display name: Qt would add " — Vantrel" to every title, and the
  // window manager then cuts short boxes' titles ("Informatio…").
  setDesktopFileName(QStringLiteral("vantrel"));
  // Qt takes the user's locale for everything; numbers in option values
  // ("29.97", "4.75") are read the C way whatever the locale says.
  std::setlocale(LC_NUMERIC, "C");
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const FFMpegException& e) {
    report(QString::fromStdString(e.what()), true);
  } catch (const std::exception& e) {
    report(QString::fromStdString(e.what()), false);
  } catch (...) {
    report(QStringLiteral("Unknown error"), false);
  }
  return false;
}

void GuardedApplication::report(const QString& message, bool engineError) {
  if (handler_)
    handler_(message, engineError);
  else
    qWarning("%s", qPrintable(message));
}

}  // namespace vantrel::app
