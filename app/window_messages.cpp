#include "app/window_messages.h"

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

ChosenFiles QtWindowDialogs::chooseFiles(QWidget* parent, const QString& startFolder) {
  const std::unique_ptr<OpenFilesDialog> dialog = MakeOpenDialog(parent, startFolder);
  const bool accepted = dialog->exec() == QDialog::Accepted;
  // The folder counts also when cancelled: the user went looking there.
  return {accepted ? dialog->chosenFiles() : QStringList(), dialog->directory().absolutePath()};
}

QString QtWindowDialogs::chooseFolder(QWidget* parent, const QString& current) {
  return QFileDialog::getExistingDirectory(parent, QStringLiteral("Please select output folder"), current,
                                           QFileDialog::ShowDirsOnly);
}

}  // namespace vantrel::app
