// What the user typed in the file-name field of the open dialog, as the
// files meant: the dialog's own reading drops names its filter hides and
// puts its folder before quoted absolute paths, so Add reads the field
// itself. No Qt Widgets here.
#pragma once

#include <QString>
#include <QStringList>

namespace vantrel::app {

// The names in text, in their order, each as a clean absolute path: a
// relative name is taken in folder, "~" and "~/..." in the home folder.
// Quoted names ("a.avi" "/x/b c.mp4") may stand beside unquoted ones, which
// blanks separate; a text without any quote is one name, blanks included,
// since file names may hold blanks. An unclosed quote runs to the end.
// Nothing is checked against the disk: a name that does not exist is still
// a name, for Add to refuse with its reason.
QStringList TypedFileNames(const QString& text, const QString& folder);

// A "*" or "?" outside quotes: the user filters the view rather than
// naming files.
bool IsTypedPattern(const QString& text);

}  // namespace vantrel::app
