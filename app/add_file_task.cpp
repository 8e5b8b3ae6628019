#include "app/add_file_task.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <cerrno>
#include <cstring>

#include "app/file_list_model.h"
#include "binding/av_binding.h"

namespace vantrel::app {
namespace {

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

bool FileIdentity(const QString& path, std::pair<dev_t, ino_t>& identity) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
  identity = {st.st_dev, st.st_ino};
  return true;
}

bool Taken(const QString& path, bool overwrite, const TakenOutputs& taken) {
  return taken.contains(path) || (!overwrite && QFileInfo::exists(path));
}

}  // namespace

QString ResolvedPath(const QString& path) {
  const QFileInfo info(path);
  const QString canonical = info.canonicalFilePath();
  if (!canonical.isEmpty()) return canonical;
  const QString folder = info.absoluteDir().canonicalPath();
  if (!folder.isEmpty()) return folder + QLatin1Char('/') + info.fileName();
  return QDir::cleanPath(info.absoluteFilePath());
}

bool TakenOutputs::contains(const QString& path) const {
  std::pair<dev_t, ino_t> identity;
  if (!files_.empty() && FileIdentity(path, identity) && files_.count(identity)) return true;
  return resolved_.contains(ResolvedPath(path));
}

void TakenOutputs::insert(const QString& path) {
  resolved_.insert(ResolvedPath(path));
  std::pair<dev_t, ino_t> identity;
  if (FileIdentity(path, identity)) files_.insert(identity);
}

QString ChooseOutputName(const QString& folder, const QString& base, const QString& extension, bool overwrite,
                         TakenOutputs& taken) {
  const QString plain = folder + base + extension;
  if (!Taken(plain, overwrite, taken)) return base;
  for (int n = taken.firstNumberToTry(plain);; ++n) {
    const QString numbered = base + QLatin1Char('(') + QString::number(n) + QLatin1Char(')');
    if (!Taken(folder + numbered + extension, overwrite, taken)) {
      taken.numberTaken(plain, n);
      return numbered;
    }
  }
}

QString FolderWriteRefusal(const QString& folder) {
  const QByteArray local = QFile::encodeName(folder);
  struct stat st {};
  // A folder that is not there yet is made when the batch starts.
  if (::stat(local.constData(), &st) != 0) return errno == ENOENT ? QString() : QString::fromLocal8Bit(std::strerror(errno));
  if (!S_ISDIR(st.st_mode)) return QString::fromLocal8Bit(std::strerror(ENOTDIR));
  if (::access(local.constData(), W_OK | X_OK) != 0) return QString::fromLocal8Bit(std::strerror(errno));
  return {};
}

QString AddRefusal(const AddFileSettings& settings) {
  const std::string preflight = PreflightReason(settings.choice);
  if (!preflight.empty()) return QString::fromStdString(preflight);
  const QString folder = FolderWriteRefusal(settings.outputFolder);
  if (!folder.isEmpty())
    return QStringLiteral("Cannot convert: the output folder ") + Quoted(settings.outputFolder) +
           QStringLiteral(" cannot be written: ") + folder;
  return {};
}

RowAdder::RowAdder(const AddFileSettings& settings, FileListModel& model, const QStringList& coming)
    : settings_(settings),
      model_(model),
      extension_(QString::fromUtf8(ProfileAt(settings.choice.profile).extension)) {
  model.setOutputTarget(settings.outputFolder, extension_);
  for (int row = 0; row < model.size(); ++row) {
    taken_.insert(settings.outputFolder + model.fileRow(row).outputName + extension_);
    taken_.insert(model.fileRow(row).path);
  }
  for (const QString& path : coming) taken_.insert(path);
}

int RowAdder::add(const QString& path, const ProbedInput& probed, MessageReporter& reporter) {
  std::optional<FileRow> row = makeRow(path, probed, reporter);
  return row ? model_.append(std::move(*row)) : -1;
}

std::optional<FileRow> RowAdder::makeRow(const QString& path, const ProbedInput& probed, MessageReporter& reporter,
                                         const RowPlan* plan) {
  if (!probed.refusal.isEmpty()) {
    reporter.Report(MessageKind::Refusal, NotSupportedText(path, probed.refusal));
    return std::nullopt;
  }
  // Before naming: the new row's input may not become its own output.
  taken_.insert(path);
  const QString name =
      ChooseOutputName(settings_.outputFolder, InputBaseName(path), extension_, settings_.overwrite, taken_);
  taken_.insert(settings_.outputFolder + name + extension_);
  FileRow row = MakeFileRow(path, probed.durationUs, name, probed.video);
  RowPlan made = plan ? *plan : PlanRow(probed.durationUs, probed.video, settings_);
  TakePlan(row, std::move(made));
  return row;
}

int AddFilesToList(const AddFileSettings& settings, const QStringList& paths, FileListModel& model,
                   MessageReporter& reporter,
                   const std::function<void(const QString& path, const QString& message)>& onRefused,
                   const std::function<bool()>& stopRequested) {
  if (const QString refusal = AddRefusal(settings); !refusal.isEmpty()) {
    // Every file would be refused for the same reason: said once.
    reporter.Report(MessageKind::Refusal, refusal);
    return 0;
  }
  // Looked at several at a time, a slice after another, so that a stop is
  // heard while a long list is being added.
  constexpr qsizetype kSlice = 64;
  RowAdder adder(settings, model, paths);
  // Threads of our own, never the global pool's, which others wait on.
  QThreadPool pool;
  int added = 0;
  for (qsizetype first = 0; first < paths.size(); first += kSlice) {
    if (stopRequested && stopRequested()) break;
    const QStringList slice = paths.mid(first, kSlice);
    const QList<ProbedInput> probed = QtConcurrent::blockingMapped(&pool, slice, ProbeInput);
    for (qsizetype i = 0; i < slice.size(); ++i) {
      if (adder.add(slice[i], probed[i], reporter) >= 0)
        ++added;
      else if (onRefused)
        onRefused(slice[i], NotSupportedText(slice[i], probed[i].refusal));
    }
  }
  return added;
}

void FillTaskOptions(const AddFileSettings& settings, const QString& path, const DecodeChoice& decoding,
                     const TAVVideoInfo& video, TInputOptions& input, TOutputOptions& output) {
  InitInputOptions(input);
  input.FileName = QFile::encodeName(path).toStdString();
  input.LocalFileOnly = true;
  input.LowRes = decoding.factor;
  input.SkipLoopFilter = decoding.skipNonReferenceDeblocking ? AVDISCARD_NONREF : 0;
  input.SkipDroppedPictures = decoding.skipDroppedPictures;
  input.HalveBeforeScaling = decoding.halveBeforeScaling;
  input.DecoderThreads = settings.decoderThreads;
  FillOutputOptions(settings.choice, output, video);
  // Only the H.264 encoder: more threads would cut the other encoders'
  // pictures into slices and change their outputs.
  if (UsesH264(settings.choice.profile)) output.EncoderThreads = settings.decoderThreads;
  // A file that appears at the name while the row converts is never
  // replaced without overwriting; a stopped row leaves nothing behind.
  output.ExistingOutput = settings.overwrite ? eoReplace : eoNumber;
  output.DiscardStoppedOutput = true;
}

}  // namespace vantrel::app
