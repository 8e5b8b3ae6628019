#include "app/add_file_task.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>

#include "app/file_list_model.h"

namespace vantrel::app {
namespace {

std::string LocalName(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Microseconds, negative when the probe cannot open the file or the file
// states no duration.
int64_t ProbeDuration(TBrontConverter& converter, const QString& path) {
  TAVProbe& probe = converter.Probe();
  try {
    if (!probe.OpenFile(LocalName(path))) return -1;
    TAVFileInfo info{};
    probe.GetInfo(info);
    probe.CloseFile();
    return info.Duration;
  } catch (const std::exception&) {
    probe.CloseFile();
    return -1;
  }
}

bool Taken(const QString& path, bool overwrite, const TakenOutputs& taken) {
  return taken.contains(path) || (!overwrite && QFileInfo::exists(path));
}

// B, or B(n) with the first n whose file is not taken.
QString ChooseOutputName(const QString& folder, const QString& base, const QString& extension, bool overwrite,
                         const TakenOutputs& taken) {
  if (!Taken(folder + base + extension, overwrite, taken)) return base;
  for (int n = 1;; ++n) {
    const QString numbered = base + QLatin1Char('(') + QString::number(n) + QLatin1Char(')');
    if (!Taken(folder + numbered + extension, overwrite, taken)) return numbered;
  }
}

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

}  // namespace

QString ResolvedPath(const QString& path) {
  const QFileInfo info(path);
  const QString canonical = info.canonicalFilePath();
  if (!canonical.isEmpty()) return canonical;
  const QString folder = info.absoluteDir().canonicalPath();
  if (!folder.isEmpty()) return folder + QLatin1Char('/') + info.fileName();
  return QDir::cleanPath(info.absoluteFilePath());
}

bool TakenOutputs::contains(const QString& path) const { return resolved_.contains(ResolvedPath(path)); }
void TakenOutputs::insert(const QString& path) { resolved_.insert(ResolvedPath(path)); }

std::optional<AddedTask> AddFileTask(TBrontConverter& converter, const AddFileSettings& settings,
                                     const QString& path, TakenOutputs& taken, MessageReporter& reporter) {
  AddedTask added;
  added.durationUs = ProbeDuration(converter, path);

  TInputOptions input;
  InitInputOptions(input);
  input.FileName = LocalName(path);
  added.taskIndex = converter.AddTask(input.FileName, &input);
  if (added.taskIndex < 0) {
    reporter.Report(MessageKind::Refusal,
                    QStringLiteral("Convertion of file ") + Quoted(path) + QStringLiteral(" is not supported."));
    return std::nullopt;
  }

  TOutputOptions output;
  FillOutputOptions(settings.choice, output);
  const QString extension = QString::fromUtf8(ProfileAt(settings.choice.profile).extension);
  added.outputName =
      ChooseOutputName(settings.outputFolder, InputBaseName(path), extension, settings.overwrite, taken);
  added.outputPath = settings.outputFolder + added.outputName + extension;

  if (ResolvedPath(added.outputPath) == QFileInfo(path).canonicalFilePath()) {
    reporter.Report(MessageKind::Refusal, QStringLiteral("Cannot convert: the output ") + Quoted(added.outputPath) +
                                              QStringLiteral(" would replace its own input; choose another "
                                                             "output folder or turn off overwriting."));
    converter.RemoveTask(added.taskIndex);
    return std::nullopt;
  }
  if (!converter.SetOutputFile(added.taskIndex, LocalName(added.outputPath), &output)) {
    reporter.Report(MessageKind::Refusal,
                    QStringLiteral("Cannot convert: ") + QString::fromStdString(converter.LastErrMsg()));
    converter.RemoveTask(added.taskIndex);
    return std::nullopt;
  }
  taken.insert(added.outputPath);
  return added;
}

int AddFilesToList(TBrontConverter& converter, const AddFileSettings& settings, const QStringList& paths,
                   FileListModel& model, MessageReporter& reporter) {
  const std::string preflight = PreflightReason(
      settings.choice.profile, ItemText(OptionList::VideoSize, settings.choice.profile, settings.choice.videoSize));
  if (!preflight.empty()) {
    // Every file would be refused for the same reason: said once.
    reporter.Report(MessageKind::Refusal, QString::fromStdString(preflight));
    return 0;
  }
  TakenOutputs taken;
  const QString extension = QString::fromUtf8(ProfileAt(settings.choice.profile).extension);
  for (int row = 0; row < model.size(); ++row)
    taken.insert(settings.outputFolder + model.fileRow(row).outputName + extension);
  int added = 0;
  for (const QString& path : paths) {
    const std::optional<AddedTask> task = AddFileTask(converter, settings, path, taken, reporter);
    if (!task) continue;
    const int row = model.append(MakeFileRow(path, task->durationUs, task->outputName));
    model.setEstimatedBytes(row, EstimatedOutputBytes(task->durationUs, settings.choice));
    ++added;
  }
  converter.ClearTasks();
  return added;
}

}  // namespace vantrel::app
