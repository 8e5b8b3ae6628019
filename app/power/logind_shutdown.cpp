#include "app/power/logind_shutdown.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusError>
#include <QDebug>

namespace vantrel::app {

void LogindShutdown::RequestPowerOff() {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) {
    qWarning("Cannot power off: the system bus is not available");
    return;
  }
  QDBusMessage call =
      QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                                     QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
  call << true;
  if (!bus.send(call)) qWarning("Cannot power off: %s", qPrintable(bus.lastError().message()));
}

}  // namespace vantrel::app
