// What the window tests share: stand-ins for the dialogs and the power-off,
// and a window opened as the program opens it.
#pragma once

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
  QStringList chooseFiles(QWidget*) override { return filesToChoose; }
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
  QString folderToChoose;  // empty: the user cancels
  QString folderAskedWith;
  QList<QUrl> urlsOpened;
  bool desktopOpensUrls = true;  // false: a desktop without a browser or mail program
};

inline std::unique_ptr<TForm1> MakeWindow(FakeDialogs& dialogs, ShutdownRequester* powerOff = nullptr,
                                          int countdownSeconds = kShutdownCountdownSeconds) {
  WindowServices services;
  services.dialogs = &dialogs;
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
