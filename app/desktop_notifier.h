// A word to the desktop when a batch completes while the user works in
// another program: a notification through the freedesktop notification
// service on the session bus. Where there is no bus or no service, nothing
// happens and nothing waits.
#pragma once

#include <QDBusConnection>
#include <QString>

namespace vantrel::app {

class DesktopNotifier {
 public:
  virtual ~DesktopNotifier() = default;
  virtual void notify(const QString& summary, const QString& body) = 0;
};

class FreedesktopNotifier final : public DesktopNotifier {
 public:
  explicit FreedesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus()) : bus_(std::move(bus)) {}
  // Sent without waiting for the answer.
  void notify(const QString& summary, const QString& body) override;

 private:
  QDBusConnection bus_;
};

}  // namespace vantrel::app
