#include "app/shutdown_countdown.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrel::app {

ShutdownCountdown::ShutdownCountdown(int seconds, QWidget* parent)
    : QDialog(parent), secondsLeft_(std::max(seconds, 0)), label_(new QLabel(this)) {
  setObjectName(QStringLiteral("FrmShutdown"));
  setWindowTitle(QString::fromLatin1("Vantrel"));
  label_->setObjectName(QStringLiteral("LblCountdown"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
  cancel->setObjectName(QStringLiteral("BtnCancel"));
  // Return, Space and Escape all keep the computer on.
  cancel->setDefault(true);
  cancel->setFocus();
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label_);
  layout->addWidget(buttons);
  // Nothing else of the program can be used while the count runs: the one
  // thing the user may want now is to stop it.
  setModal(true);
  // Closing the box any way, Escape included, cancels.
  connect(this, &QDialog::finished, &timer_, &QTimer::stop);
  timer_.setInterval(1000);
  connect(&timer_, &QTimer::timeout, this, &ShutdownCountdown::tick);
  timer_.start();
  showCount();
}

void ShutdownCountdown::showCount() {
  label_->setText(QStringLiteral("File conversion process finished.\nThe computer will shut down in %1 seconds.")
                      .arg(secondsLeft_));
}

void ShutdownCountdown::tick() {
  if (--secondsLeft_ > 0) {
    showCount();
    return;
  }
  timer_.stop();
  emit expired();
  accept();
}

void CountdownShutdown::RequestPowerOff() {
  auto* countdown = new ShutdownCountdown(seconds_, parent_);
  countdown->setAttribute(Qt::WA_DeleteOnClose);
  ShutdownRequester* powerOff = &powerOff_;
  QObject::connect(countdown, &ShutdownCountdown::expired, countdown, [powerOff] { powerOff->RequestPowerOff(); });
  // Above the main window and holding the keyboard, also when the batch
  // ended while the user was working elsewhere.
  countdown->show();
  countdown->raise();
  countdown->activateWindow();
}

}  // namespace vantrel::app
