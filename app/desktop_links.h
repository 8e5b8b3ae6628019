// Web and e-mail addresses the program shows are opened by the desktop.
// Where the desktop has no program for them, clicking must still do
// something visible: the address goes on the clipboard and the user is told
// so, to paste it where they can use it.
#pragma once

#include <QString>
#include <QUrl>

class QWidget;

namespace vantrel::app {

class WindowDialogs;

// "No web browser was found. The address ... has been copied to the
// clipboard." (an e-mail program for mailto:, whose address is the bare
// e-mail address).
QString NoHandlerText(const QUrl& url);

// Opens url through dialogs; with no handler, copies its address and shows
// NoHandlerText over parent.
void OpenWithDesktop(WindowDialogs& dialogs, QWidget* parent, const QUrl& url);

}  // namespace vantrel::app
