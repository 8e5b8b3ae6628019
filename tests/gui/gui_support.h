// What the window tests share: stand-ins for the dialogs and the power-off,
// and a window opened as the program opens it.
#pragma once

#include <QFileInfo>
#include <QList>
#include <QStringList>
#include <QTest>
#include <memory>

#include "app/main_window.h"
#include "app/window_messages.h"
#include "app_fixtures.h"

namespace vantrel::app::test {

// Records what the user would have been shown and answers the choosers.
class FakeDialogs final : public WindowDialogs {
 public:
  void showMessage(QWidget*, const MessageBoxText& box) override { messages.append(box); }
  void showCompletion(QWidget*) override { ++completions; }
  // Left in the folder of the first file, as the real dialog would be.
  ChosenFiles chooseFiles(QWidget*, const QString& startFolder) override {
    ++filesAsked;
    filesAskedIn = startFolder;
    return {filesToChoose, filesToChoose.isEmpty() ? startFolder : QFileInfo(filesToChoose.first()).absolutePath()};
  }
  QString chooseFolder(QWidget*, const QString& current) override {
    folderAskedWith = current;
    return folderToChoose;
  }
  bool openUrl(const QUrl& url) override {
    urlsOpened.append(url);
    return desktopOpensUrls;
  }

  QList<MessageBoxText> messages;
  int completions = 0;
  QStringList filesToChoose;
  int filesAsked = 0;
  QString filesAskedIn;
  QString folderToChoose;  // empty: the user cancels
  QString folderAskedWith;
  QList<QUrl> urlsOpened;
  bool desktopOpensUrls = true;  // false: a desktop without a browser or mail program
};

// Records the desktop notifications instead of sending them.
class RecordingNotifier final : public DesktopNotifier {
 public:
  void notify(const QString& summary, const QString& body) override { notes.append(summary + QLatin1Char('|') + body); }
  QStringList notes;
};

inline std::unique_ptr<TForm1> MakeWindow(FakeDialogs& dialogs, ShutdownRequester* powerOff = nullptr,
                                          int countdownSeconds = kShutdownCountdownSeconds,
                                          DesktopNotifier* notifier = nullptr) {
  WindowServices services;
  services.dialogs = &dialogs;
  services.notifier = notifier;
  services.powerOff = powerOff;
  services.shutdownCountdownSeconds = countdownSeconds;
  return std::make_unique<TForm1>(services);
}

template <typename Widget>
Widget* Control(QWidget& window, const char* name) {
  auto* widget = window.findChild<Widget*>(QString::fromLatin1(name));
  if (!widget) qFatal("no control %s", name);
  return widget;
}

}  // namespace vantrel::app::test
