// The notification reaches a freedesktop notification service as the
// desktops' servers expect it: the test runs a private session bus with a
// stand-in service whose Notify has the standard signature, so a call with
// any other argument types would never reach it.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "app/desktop_notifier.h"
#include "gui_tests.h"

using namespace vantrel::app;

namespace {

class NotificationService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  QStringList received;

 public slots:
  uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
              const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout) {
    Q_UNUSED(replacesId);
    Q_UNUSED(actions);
    Q_UNUSED(hints);
    received.append(QStringList{appName, icon, summary, body, QString::number(timeout)}.join(QLatin1Char('|')));
    return uint(received.size());
  }
};

}  // namespace

class DesktopNotifierTest : public QObject {
  Q_OBJECT

 private slots:
  void notificationReachesTheService() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) QFAIL("dbus-daemon is missing: scripts/setup.sh installs it");
    QProcess bus;
    bus.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    QVERIFY(bus.waitForStarted());
    QVERIFY(bus.waitForReadyRead(10000));
    const QString address = QString::fromLocal8Bit(bus.readLine()).trimmed();
    {
      QDBusConnection server = QDBusConnection::connectToBus(address, QStringLiteral("notification-server"));
      QVERIFY(server.isConnected());
      NotificationService service;
      QVERIFY(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                    QDBusConnection::ExportAllSlots));
      QVERIFY(server.registerService(QStringLiteral("org.freedesktop.Notifications")));

      FreedesktopNotifier notifier(QDBusConnection::connectToBus(address, QStringLiteral("vantrel")));
      notifier.notify(QStringLiteral("Vantrel"), QStringLiteral("File conversion process finished."));
      QTRY_COMPARE(service.received,
                   QStringList{QStringLiteral("Vantrel|vantrel|Vantrel|File conversion process finished.|-1")});
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("notification-server"));
    QDBusConnection::disconnectFromBus(QStringLiteral("vantrel"));
    bus.kill();
    bus.waitForFinished();

    // No bus at all: nothing happens, nothing waits.
    FreedesktopNotifier nowhere(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent"),
                                                              QStringLiteral("nowhere")));
    nowhere.notify(QStringLiteral("Vantrel"), QStringLiteral("text"));
    QDBusConnection::disconnectFromBus(QStringLiteral("nowhere"));
  }
};

int RunDesktopNotifierTests(int argc, char** argv) {
  DesktopNotifierTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "desktop_notifier_test.moc"
