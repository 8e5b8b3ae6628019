#include "app/row_plan.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <exception>

#include "app/h264_output.h"

namespace vantrel::app {
namespace {

QString FileRefusal(const QByteArray& local) {
  struct stat st {};
  if (::stat(local.constData(), &st) != 0) {
    if (errno == ENOENT) return QStringLiteral("no such file");
    return QString::fromLocal8Bit(std::strerror(errno));
  }
  if (S_ISDIR(st.st_mode)) return QStringLiteral("it is a folder");
  // A pipe or a device would block the batch or never end.
  if (!S_ISREG(st.st_mode)) return QStringLiteral("it is not a regular file (a pipe, a device or a socket)");
  if (::access(local.constData(), R_OK) != 0) return QString::fromLocal8Bit(std::strerror(errno));
  if (st.st_size == 0) return QStringLiteral("it is an empty file");
  return {};
}

QString PictureNote(const OutputChoice& choice, const TAVVideoInfo& video) {
  const std::optional<H264Values> h264 = H264ValuesOf(choice, video);
  const std::string size = ValuesOf(choice, video).frameSize;
  if (!h264 || video.Width <= 0 || size.empty() || h264->level.empty()) return {};
  return QStringLiteral("Picture: %1, H.264 %2 level %3")
      .arg(QString::fromStdString(size), h264->profile == "high" ? QStringLiteral("High") : QStringLiteral("Baseline"),
           QString::fromStdString(h264->level));
}

}  // namespace

QString InputFileRefusal(const QString& path) { return FileRefusal(QFile::encodeName(path)); }

ProbedInput ProbeInput(const QString& path) {
  ProbedInput probed;
  const QByteArray local = QFile::encodeName(path);
  probed.refusal = FileRefusal(local);
  if (!probed.refusal.isEmpty()) return probed;
  TAVProbe probe;
  probe.LocalFileOnly = true;
  try {
    if (!probe.OpenFile(local.toStdString()) || probe.AudioCount() + probe.VideoCount() <= 0) {
      probed.refusal = QStringLiteral("it is not a video or audio file that the libraries can read");
      return probed;
    }
    TAVFileInfo info{};
    probe.GetInfo(info);
    probed.durationUs = info.Duration >= 0 ? info.Duration : -1;
    probe.GetVideoInfo(probed.video);
  } catch (const std::exception& e) {
    probed.refusal = QString::fromStdString(e.what());
  }
  return probed;
}

RowPlan PlanRow(int64_t durationUs, const TAVVideoInfo& video, const AddFileSettings& settings) {
  RowPlan plan;
  plan.estimatedBytes = EstimatedOutputBytes(durationUs, settings.choice, video);
  plan.estimateIsGuess = EstimateIsGuess(settings.choice);
  plan.verdict = QString::fromStdString(PreflightReason(settings.choice, video));
  plan.pictureNote = PictureNote(settings.choice, video);
  const PictureSize out = ParsePictureSize(ValuesOf(settings.choice, video).frameSize);
  if (video.Width > 0 && video.Height > 0 && out.width > 0)
    plan.decoding = ChooseDecoding(DecoderFor(video.CodecId), video.Width, video.Height, out.width, out.height,
                                   settings.fastDecoding);
  return plan;
}

void TakePlan(FileRow& row, RowPlan plan) {
  row.decodingNote = std::move(plan.decoding.note);
  row.estimatedBytes = plan.estimatedBytes;
  row.estimateIsGuess = plan.estimateIsGuess;
  row.pictureNote = std::move(plan.pictureNote);
  row.verdict = std::move(plan.verdict);
}

QString NotSupportedText(const QString& path, const QString& reason) {
  QString text = QStringLiteral("Convertion of file \"") + path + QStringLiteral("\" is not supported.");
  if (!reason.isEmpty()) text += QLatin1Char(' ') + reason.at(0).toUpper() + reason.mid(1) + QLatin1Char('.');
  return text;
}

}  // namespace vantrel::app
