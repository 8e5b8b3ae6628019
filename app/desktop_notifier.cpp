#include "app/desktop_notifier.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace vantrel::app {

void FreedesktopNotifier::notify(const QString& summary, const QString& body) {
  if (!bus_.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  // app_name, replaces_id, app_icon, summary, body, actions, hints,
  // expire_timeout (-1: the server's own).
  call << QStringLiteral("Vantrel") << quint32(0) << QStringLiteral("vantrel") << summary << body << QStringList()
       << QVariantMap() << qint32(-1);
  // An answer, or the error of a bus without the service, is not waited for.
  call.setAutoStartService(true);
  bus_.send(call);
}

}  // namespace vantrel::app
