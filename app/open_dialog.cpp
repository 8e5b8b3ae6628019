#include "app/open_dialog.h"

#include <QDir>
#include <QFileInfo>

namespace vantrel::app {
namespace {

struct FileType {
  const char* description;
  const char* patterns;  // separated by ";"
};

// The description keeps its pattern list as the user knows it; Qt reads the
// patterns from the trailing parentheses, separated by spaces.
constexpr FileType kFileTypes[] = {
    {"All supported Media Format", "*.avi;*.divX;*.div;*.xvid;*.mpeg;*.mpg;*.wmv;*.asf;*.rm;*.rmvb;*.dat;*.mov;*.swf"},
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
};

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

std::unique_ptr<QFileDialog> MakeOpenDialog(QWidget* parent) {
  auto dialog = std::make_unique<QFileDialog>(parent, QStringLiteral("Choose Files to Convert"));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setFileMode(QFileDialog::ExistingFiles);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setNameFilters(OpenDialogFilters());
  dialog->selectNameFilter(OpenDialogFilters().first());
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
