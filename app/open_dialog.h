// The open dialog of Add and the file types it offers. Dropped folders add
// the files that the first entry, "All supported Media Format", matches.
#pragma once

#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <memory>

class QLineEdit;
class QPushButton;

namespace vantrel::app {

// The thirteen entries: "All supported Media Format" first, then the
// eleven users know from the earlier versions ("All Files" the last of
// them), then today's containers.
QStringList OpenDialogFilters();
// The patterns of the first entry ("*.avi", "*.divX", ..., "*.mp4", ...).
QStringList SupportedPatterns();

// Title "Choose Files to Convert", several files, the filters with the
// first selected. Qt's own dialog: it matches patterns without regard to
// case ("CLIP.AVI" is a "*.avi"), where the desktop's may not. The names
// typed in its file-name field are read by TypedFileNames, whatever the
// filter shows, and a name that does not exist is handed on too: Add says
// why it cannot take it, where the dialog would only refuse to close.
class OpenFilesDialog final : public QFileDialog {
  Q_OBJECT

 public:
  explicit OpenFilesDialog(QWidget* parent);
  // The files accepted, as absolute paths.
  QStringList chosenFiles() const;

 protected:
  void accept() override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Qt builds its own widgets when it is told not to use the desktop's
  // dialog; found once they are there.
  void findWidgets();

  QLineEdit* nameEdit_ = nullptr;
  QPushButton* openButton_ = nullptr;
  QStringList chosen_;
};

// The dialog, opened in startFolder when that is an existing folder.
std::unique_ptr<OpenFilesDialog> MakeOpenDialog(QWidget* parent, const QString& startFolder = QString());

// Dropped paths as Add takes them: a file as it is, a folder as the
// supported files directly inside it, sorted by name.
QStringList ExpandDroppedPaths(const QStringList& paths);

}  // namespace vantrel::app
