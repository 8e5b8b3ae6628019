// Everything the window shows modally, and every address it hands to the
// desktop, goes through WindowDialogs, so that tests can record what the
// user would have seen (or which program the desktop would have started)
// and go on at once. The
// texts, captions and icons are decided by the window; the dialogs only
// show them.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

#include "app/message_reporter.h"

class QWidget;

namespace vantrel::app {

inline constexpr char kApplicationTitle[] = "Vantrel";

struct MessageBoxText {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::Information;
  bool operator==(const MessageBoxText&) const = default;
};

// The box a message of the logic layer is shown in.
MessageBoxText MessageBoxFor(MessageKind kind, const QString& text);

// An error that reached the event loop: a non-empty message whose last
// character sorts after "." gets a "." appended; the engine's own errors
// get the warning icon, any other the error icon.
MessageBoxText UncaughtErrorBox(const QString& message, bool engineError);

inline constexpr int kMessageBoxMinimumWidth = 280;
// Widens a message box so that the window manager shows its title whole.
void KeepTitleWhole(QMessageBox& box);

// What the open dialog of Add gave: the files, and the folder it was left
// in, where it opens next time.
struct ChosenFiles {
  QStringList files;  // empty when cancelled
  QString folder;
};

class WindowDialogs {
 public:
  virtual ~WindowDialogs() = default;
  virtual void showMessage(QWidget* parent, const MessageBoxText& box) = 0;
  // "File conversion process finished.", modal.
  virtual void showCompletion(QWidget* parent) = 0;
  // The open dialog, opened in startFolder (when it exists).
  virtual ChosenFiles chooseFiles(QWidget* parent, const QString& startFolder) = 0;
  // The folder chooser; empty when cancelled.
  virtual QString chooseFolder(QWidget* parent, const QString& current) = 0;
  // Hands url to the desktop's handler (browser, mail program); false when
  // the desktop has none for it.
  virtual bool openUrl(const QUrl& url) = 0;
};

// The dialogs the program shows on screen.
class QtWindowDialogs final : public WindowDialogs {
 public:
  void showMessage(QWidget* parent, const MessageBoxText& box) override;
  void showCompletion(QWidget* parent) override;
  ChosenFiles chooseFiles(QWidget* parent, const QString& startFolder) override;
  QString chooseFolder(QWidget* parent, const QString& current) override;
  bool openUrl(const QUrl& url) override;
};

}  // namespace vantrel::app
