// The open dialog of Add and the file types it offers. Dropped folders add
// the files that the first entry, "All supported Media Format", matches.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <memory>

namespace vantrel::app {

// The twelve entries, "All supported Media Format" first, "All Files" last.
QStringList OpenDialogFilters();
// The patterns of the first entry ("*.avi", "*.divX", ...).
QStringList SupportedPatterns();

// Title "Choose Files to Convert", several existing files, the filters with
// the first selected. Qt's own dialog: it matches patterns without regard to
// case ("CLIP.AVI" is a "*.avi"), where the desktop's may not.
std::unique_ptr<QFileDialog> MakeOpenDialog(QWidget* parent);

// Dropped paths as Add takes them: a file as it is, a folder as the
// supported files directly inside it, sorted by name.
QStringList ExpandDroppedPaths(const QStringList& paths);

}  // namespace vantrel::app
