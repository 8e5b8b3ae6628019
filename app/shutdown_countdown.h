// The last chance to keep the computer on: a completed batch that is to
// power the computer off first counts down in a dialog the user can cancel;
// only when the count reaches zero does the request go out.
#pragma once

#include <QDialog>
#include <QTimer>

#include "app/shutdown_requester.h"

class QLabel;

namespace vantrel::app {

inline constexpr int kShutdownCountdownSeconds = 60;

class ShutdownCountdown final : public QDialog {
  Q_OBJECT

 public:
  ShutdownCountdown(int seconds, QWidget* parent = nullptr);
  int secondsLeft() const { return secondsLeft_; }

 signals:
  // The count reached zero without a cancel.
  void expired();

 private:
  void tick();
  void showCount();

  int secondsLeft_;
  QLabel* label_;
  QTimer timer_;
};

// The requester the batch sees: each request opens a countdown, modal, on
// top and active, that says the batch completed and passes the request on
// to powerOff when it runs out. Cancel is its default button.
class CountdownShutdown final : public ShutdownRequester {
 public:
  CountdownShutdown(QWidget* parent, ShutdownRequester& powerOff, int seconds)
      : parent_(parent), powerOff_(powerOff), seconds_(seconds) {}
  void RequestPowerOff() override;

 private:
  QWidget* parent_;
  ShutdownRequester& powerOff_;
  int seconds_;
};

}  // namespace vantrel::app
