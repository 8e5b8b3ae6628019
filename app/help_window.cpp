#include "app/help_window.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>

#include "app/desktop_links.h"

namespace vantrel::app {

HelpWindow::HelpWindow(WindowDialogs& dialogs, QWidget* parent) : QTextBrowser(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("FrmHelp"));
  setWindowFlag(Qt::Window);
  setWindowTitle(QString::fromLatin1(kHelpTitle));
  resize(760, 600);
  // Not the main window's small fixed-layout font: this is reading matter.
  setFont(QApplication::font());
  // QTextBrowser would load a web address as if it were a help page; every
  // link is sorted out here instead.
  setOpenLinks(false);
  connect(this, &QTextBrowser::anchorClicked, this, &HelpWindow::follow);
  connect(this, &QTextBrowser::sourceChanged, this, &HelpWindow::titleFromPage);
}

void HelpWindow::showPage(const QString& path) {
  if (!QFileInfo(path).isFile()) {
    showMissing(path);
    return;
  }
  setSource(QUrl::fromLocalFile(path));
}

void HelpWindow::showMissing(const QString& path) {
  clear();
  setPlainText(QStringLiteral("The help page %1 is missing. Please re-install the program and try it again.")
                   .arg(QDir::toNativeSeparators(path)));
  setWindowTitle(QString::fromLatin1(kHelpTitle));
}

void HelpWindow::follow(const QUrl& link) {
  const QUrl target = source().resolved(link);
  if (!target.isLocalFile()) {
    OpenWithDesktop(dialogs_, this, target);
    return;
  }
  // An anchor of the page shown only scrolls it.
  if (QFileInfo(target.toLocalFile()).isFile())
    setSource(target);
  else
    showMissing(target.toLocalFile());
}

void HelpWindow::titleFromPage() {
  const QString title = documentTitle();
  setWindowTitle(title.isEmpty() ? QString::fromLatin1(kHelpTitle) : title);
}

// Escape closes the window, as it closes the program's dialogs; pressing
// Help again brings it back where the user left it.
void HelpWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QTextBrowser::keyPressEvent(event);
}

}  // namespace vantrel::app
