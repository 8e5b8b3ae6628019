#include "app/window_messages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QSpacerItem>
#include <algorithm>

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
  KeepTitleWhole(message);
  message.exec();
}

// A box as narrow as a short text would have its title cut by the window
// manager: its frame is at least as wide as the title with the frame's
// buttons beside it. A row of its grid is given that width.
void KeepTitleWhole(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (!grid) return;
  const QFontMetrics title(QApplication::font());
  const int width = std::max(kMessageBoxMinimumWidth, title.horizontalAdvance(box.windowTitle()) * 3 / 2 + 150);
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                grid->columnCount());
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

// Qt answers false when it finds no launcher at all (no xdg-open, no
// browser it knows), the usual case on a machine without a desktop.
bool QtWindowDialogs::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace vantrel::app
