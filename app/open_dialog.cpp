#include "app/open_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "app/typed_file_names.h"

namespace vantrel::app {
namespace {

struct FileType {
  const char* description;
  const char* patterns;  // separated by ";"
};

// The containers phones and cameras write today, which the libraries read
// as well as the older ones.
#define VANTREL_TODAYS_CONTAINERS "*.mp4;*.m4v;*.mkv;*.webm;*.flv;*.ts;*.m2ts;*.mts;*.3gp;*.3g2;*.ogv;*.vob"

// The description keeps its pattern list as the user knows it; Qt reads the
// patterns from the trailing parentheses, separated by spaces.
constexpr FileType kFileTypes[] = {
    {"All supported Media Format",
     "*.avi;*.divX;*.div;*.xvid;*.mpeg;*.mpg;*.wmv;*.asf;*.rm;*.rmvb;*.dat;*.mov;*.swf;" VANTREL_TODAYS_CONTAINERS},
    {"AVI", "*.avi"},
    {"DivX", "*.divx;*.div"},
    {"Xvid", "*.xvid"},
    {"MPEG", "*.mpeg;*.mpg"},
    {"WMV", "*.wmv"},
    {"ASF", "*.asf"},
    {"Real Video", "*.rm;*.rmvb"},
    {"VCD Format", "*.dat"},
    {"Quick Time Format", "*.mov"},
    {"SWF", "*.swf"},
    // Names without a dot are files too on Linux.
    {"All Files", "*"},
    // After the entries users know, which keep their places.
    {"MP4, MKV, WebM and other containers", VANTREL_TODAYS_CONTAINERS},
};
#undef VANTREL_TODAYS_CONTAINERS

QStringList Patterns(const FileType& type) {
  return QString::fromLatin1(type.patterns).split(QLatin1Char(';'));
}

}  // namespace

QStringList OpenDialogFilters() {
  QStringList filters;
  for (const FileType& type : kFileTypes) {
    const QString description = QString::fromLatin1(type.description);
    const QString patterns = Patterns(type).join(QLatin1Char(' '));
    filters.append(type.description == kFileTypes[0].description
                       ? description + QStringLiteral(" (") + patterns + QLatin1Char(')')
                       : description + QLatin1Char('(') + patterns + QLatin1Char(')'));
  }
  return filters;
}

QStringList SupportedPatterns() { return Patterns(kFileTypes[0]); }

OpenFilesDialog::OpenFilesDialog(QWidget* parent) : QFileDialog(parent, QStringLiteral("Choose Files to Convert")) {
  setOption(QFileDialog::DontUseNativeDialog);
  setFileMode(QFileDialog::ExistingFiles);
  setAcceptMode(QFileDialog::AcceptOpen);
  setNameFilters(OpenDialogFilters());
  selectNameFilter(OpenDialogFilters().first());
  findWidgets();
}

void OpenFilesDialog::findWidgets() {
  if (nameEdit_ && openButton_) return;
  nameEdit_ = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (auto* buttons = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox")))
    openButton_ = buttons->button(QDialogButtonBox::Open);
  // Qt switches Open off while a typed name is not a file its filter shows;
  // such a name is still the user's to hand to Add.
  if (openButton_) openButton_->installEventFilter(this);
}

void OpenFilesDialog::showEvent(QShowEvent* event) {
  findWidgets();
  QFileDialog::showEvent(event);
}

bool OpenFilesDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == openButton_ && event->type() == QEvent::EnabledChange && !openButton_->isEnabled() && nameEdit_ &&
      !nameEdit_->text().trimmed().isEmpty())
    openButton_->setEnabled(true);
  return QFileDialog::eventFilter(watched, event);
}

// A folder or a pattern typed alone is the dialog's own business: it opens
// the folder or filters its view.
void OpenFilesDialog::accept() {
  findWidgets();
  const QString text = nameEdit_ ? nameEdit_->text() : QString();
  const QStringList names = TypedFileNames(text, directory().absolutePath());
  if (names.isEmpty() || IsTypedPattern(text) || (names.size() == 1 && QFileInfo(names.first()).isDir())) {
    QFileDialog::accept();
    return;
  }
  chosen_ = names;
  QDialog::accept();
}

QStringList OpenFilesDialog::chosenFiles() const { return chosen_.isEmpty() ? selectedFiles() : chosen_; }

std::unique_ptr<OpenFilesDialog> MakeOpenDialog(QWidget* parent, const QString& startFolder) {
  auto dialog = std::make_unique<OpenFilesDialog>(parent);
  if (!startFolder.isEmpty() && QFileInfo(startFolder).isDir()) dialog->setDirectory(startFolder);
  return dialog;
}

QStringList ExpandDroppedPaths(const QStringList& paths) {
  QStringList files;
  for (const QString& path : paths) {
    const QFileInfo info(path);
    if (!info.isDir()) {
      files.append(path);
      continue;
    }
    const QDir folder(path);
    // QDir's name filters ignore case unless told otherwise.
    const QStringList names =
        folder.entryList(SupportedPatterns(), QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names) files.append(folder.filePath(name));
  }
  return files;
}

}  // namespace vantrel::app
