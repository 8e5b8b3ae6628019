#include "app/file_row.h"

#include <cmath>

namespace vantrel::app {

namespace {

QString FileNamePart(const QString& path) { return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1); }

QString TwoDigits(int64_t value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

QString ClockText(int64_t seconds) {
  const int64_t hours = seconds / 3600;
  const int64_t minutes = (seconds - hours * 3600) / 60;
  return TwoDigits(hours) + QLatin1Char(':') + TwoDigits(minutes) + QLatin1Char(':') +
         TwoDigits(seconds - hours * 3600 - minutes * 60);
}

}  // namespace

FileRow MakeFileRow(const QString& path, int64_t durationUs, const QString& outputName, const TAVVideoInfo& video) {
  FileRow row;
  row.path = path;
  row.inputName = InputBaseName(path);
  row.durationUs = durationUs;
  row.durationText = DurationText(durationUs);
  row.type = InputType(path);
  row.outputName = outputName;
  row.video = video;
  return row;
}

QString InputBaseName(const QString& path) {
  const QString name = FileNamePart(path);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? name : name.left(dot);
}

QString InputType(const QString& path) {
  const QString name = FileNamePart(path);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot < 0) return {};
  QString type = name.mid(dot + 1);
  for (QChar& c : type)
    if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) c = QChar(c.unicode() - 'a' + 'A');
  return type;
}

QString DurationText(int64_t durationUs) {
  if (durationUs < 0) return {};
  return ClockText(durationUs / 1000000);
}

std::optional<int64_t> ProgressPercent(int64_t currentMs, int64_t totalMs) {
  if (totalMs <= 0) return std::nullopt;
  return currentMs * 100 / totalMs;
}

QString StatusText(const FileRow& row) {
  switch (row.status) {
    case RowStatus::None:
      return row.verdict.isEmpty() ? QString() : QStringLiteral("Cannot convert");
    case RowStatus::Queued:
      return QStringLiteral(" ");
    case RowStatus::Converting:
      if (row.convertedMs >= 0) return ClockText(row.convertedMs / 1000) + QStringLiteral(" done");
      return QString::number(row.percent) + QStringLiteral("% Completed");
    case RowStatus::Completed:
      return QStringLiteral("Completed");
    case RowStatus::Stopped:
      return QStringLiteral("Stopped");
    case RowStatus::Failed:
      return QStringLiteral("Failed");
  }
  return {};
}

std::optional<int64_t> SecondsLeft(int64_t elapsedMs, int64_t convertedMs, int64_t totalMs) {
  if (totalMs <= 0 || convertedMs <= 0 || elapsedMs < 0) return std::nullopt;
  if (convertedMs >= totalMs) return 0;
  // In floating point: a long file at a slow rate would overflow the product
  // of two millisecond counts.
  const double msLeft = double(elapsedMs) * double(totalMs - convertedMs) / double(convertedMs);
  return static_cast<int64_t>(std::ceil(msLeft / 1000.0));
}

QString TimeLeftText(int64_t seconds) {
  const int64_t hours = seconds / 3600;
  const int64_t minutes = seconds / 60 % 60;
  const QString clock =
      hours > 0 ? QString::number(hours) + QLatin1Char(':') + TwoDigits(minutes) : QString::number(minutes);
  return clock + QLatin1Char(':') + TwoDigits(seconds % 60) + QStringLiteral(" left");
}

QString SizeText(int64_t bytes) {
  if (bytes < 1000000) return QString::number((bytes + 999) / 1000) + QStringLiteral(" KB");
  return QString::number(double(bytes) / 1e6, 'f', 1) + QStringLiteral(" MB");
}

}  // namespace vantrel::app
