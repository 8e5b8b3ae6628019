#include "app/window_messages.h"

#include <QDesktopServices>
#include <QFileDialog>

#include "app/completion_dialog.h"
#include "app/open_dialog.h"

namespace vantrel::app {

MessageBoxText MessageBoxFor(MessageKind kind, const QString& text) {
  switch (kind) {
    case MessageKind::Refusal:
      return {QStringLiteral("Error"), text, QMessageBox::Information};
    case MessageKind::TaskError:
      return {QString::fromLatin1(kApplicationTitle), text, QMessageBox::Warning};
    case MessageKind::Information:
      break;
  }
  return {QStringLiteral("Information"), text, QMessageBox::Information};
}

MessageBoxText UncaughtErrorBox(const QString& message, bool engineError) {
  QString text = message;
  if (!text.isEmpty() && text.back().unicode() > u'.') text += QLatin1Char('.');
  return {QString::fromLatin1(kApplicationTitle), text, engineError ? QMessageBox::Warning : QMessageBox::Critical};
}

void QtWindowDialogs::showMessage(QWidget* parent, const MessageBoxText& box) {
  QMessageBox message(box.icon, box.caption, box.text, QMessageBox::Ok, parent);
  message.exec();
}

void QtWindowDialogs::showCompletion(QWidget* parent) {
  CompletionDialog dialog(parent);
  dialog.exec();
}

QStringList QtWindowDialogs::chooseFiles(QWidget* parent) {
  const std::unique_ptr<QFileDialog> dialog = MakeOpenDialog(parent);
  if (dialog->exec() != QDialog::Accepted) return {};
  return dialog->selectedFiles();
}

QString QtWindowDialogs::chooseFolder(QWidget* parent, const QString& current) {
  return QFileDialog::getExistingDirectory(parent, QStringLiteral("Please select output folder"), current,
                                           QFileDialog::ShowDirsOnly);
}

// Qt answers false when it finds no launcher at all (no xdg-open, no
// browser it knows), the usual case on a machine without a desktop.
bool QtWindowDialogs::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace vantrel::app
