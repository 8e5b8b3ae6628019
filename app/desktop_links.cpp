#include "app/desktop_links.h"

#include <QClipboard>
#include <QGuiApplication>

#include "app/window_messages.h"

namespace vantrel::app {
namespace {

bool IsMail(const QUrl& url) { return url.scheme() == QLatin1String("mailto"); }

// What the user pastes: a mail program wants the address without "mailto:".
QString Address(const QUrl& url) { return IsMail(url) ? url.path() : url.toString(); }

}  // namespace

QString NoHandlerText(const QUrl& url) {
  const QString program = IsMail(url) ? QStringLiteral("e-mail program") : QStringLiteral("web browser");
  return QStringLiteral("No %1 was found. The address %2 has been copied to the clipboard.")
      .arg(program, Address(url));
}

void OpenWithDesktop(WindowDialogs& dialogs, QWidget* parent, const QUrl& url) {
  if (dialogs.openUrl(url)) return;
  QGuiApplication::clipboard()->setText(Address(url));
  dialogs.showMessage(parent, {QString::fromLatin1(kApplicationTitle), NoHandlerText(url), QMessageBox::Information});
}

}  // namespace vantrel::app
