// The program's help, shown by the program itself: a help page in a browser
// window of its own, so that Help works on a machine without a web browser.
// Links within the help (anchors, other local pages) are followed in the
// window; web and e-mail links go to the desktop.
#pragma once

#include <QTextBrowser>

namespace vantrel::app {

class WindowDialogs;

inline constexpr char kHelpTitle[] = "Vantrel Help";

class HelpWindow final : public QTextBrowser {
  Q_OBJECT

 public:
  // A window of its own, owned by parent; dialogs must outlive it.
  HelpWindow(WindowDialogs& dialogs, QWidget* parent);

  // Shows the page at path, or says in the window that it is missing.
  void showPage(const QString& path);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void follow(const QUrl& link);
  void showMissing(const QString& path);
  void titleFromPage();

  WindowDialogs& dialogs_;
};

}  // namespace vantrel::app
