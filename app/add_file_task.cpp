#include "app/add_file_task.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <exception>
#include <string>

#include "app/file_list_model.h"
#include "binding/av_binding.h"

namespace vantrel::app {
namespace {

std::string LocalName(const QString& path) { return QFile::encodeName(path).toStdString(); }

struct ProbedInput {
  int64_t durationUs = -1;  // negative when the probe cannot open the file or it states none
  TAVVideoInfo video{};     // all 0 without a video stream
};

ProbedInput ProbeInput(TBrontConverter& converter, const QString& path) {
  TAVProbe& probe = converter.Probe();
  ProbedInput probed;
  try {
    if (!probe.OpenFile(LocalName(path))) return probed;
    TAVFileInfo info{};
    probe.GetInfo(info);
    probed.durationUs = info.Duration;
    probe.GetVideoInfo(probed.video);
    probe.CloseFile();
  } catch (const std::exception&) {
    probe.CloseFile();
  }
  return probed;
}

DecodeChoice DecodingOf(const TAVVideoInfo& video, const OutputChoice& choice, bool fastDecoding) {
  if (video.Width <= 0 || video.Height <= 0) return {};
  int outWidth = 0, outHeight = 0;
  const std::string size = ValuesOf(choice).frameSize;
  if (std::sscanf(size.c_str(), "%dx%d", &outWidth, &outHeight) != 2) return {};
  return ChooseDecoding(DecoderFor(video.CodecId), video.Width, video.Height, outWidth, outHeight, fastDecoding);
}

// The decoder's settings, as options given before the input.
std::string DecoderOptions(const DecodeChoice& decoding, int decoderThreads) {
  std::string lines;
  if (decoding.factor > 0) lines += "lowres=" + std::to_string(decoding.factor) + "\n";
  if (decoding.skipNonReferenceDeblocking) lines += "skip_loop_filter=" + std::to_string(AVDISCARD_NONREF) + "\n";
  if (decoding.skipDroppedPictures) lines += "skip_dropped=\n";
  if (decoding.halveBeforeScaling) lines += "prescale_halving=\n";
  if (decoderThreads > 1) lines += "decode_threads=" + std::to_string(decoderThreads) + "\n";
  return lines;
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
  const ProbedInput probed = ProbeInput(converter, path);
  added.durationUs = probed.durationUs;
  added.decoding = DecodingOf(probed.video, settings.choice, settings.fastDecoding);

  TInputOptions input;
  InitInputOptions(input);
  input.FileName = LocalName(path);
  input.ExtOptions = DecoderOptions(added.decoding, settings.decoderThreads);
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
  const std::string preflight = PreflightReason(settings.choice);
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
    model.setDecodingNote(row, task->decoding.note);
    model.setEstimatedBytes(row, EstimatedOutputBytes(task->durationUs, settings.choice));
    ++added;
  }
  converter.ClearTasks();
  return added;
}

}  // namespace vantrel::app
