#include "batch_console.h"

#include <QFileInfo>
#include <algorithm>

namespace vantrel::batch {
namespace {

using app::RowStatus;

void Print(FILE* out, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), out);
  std::fflush(out);
}

QString StatusWord(RowStatus status) {
  switch (status) {
    case RowStatus::None:
    case RowStatus::Queued:
      return QStringLiteral("Not converted");
    case RowStatus::Converting:
      return QStringLiteral("Converting");
    case RowStatus::Completed:
      return QStringLiteral("Completed");
    case RowStatus::Stopped:
      return QStringLiteral("Stopped");
    case RowStatus::Failed:
      return QStringLiteral("Failed");
  }
  return {};
}

QString Clock(qint64 ms) {
  const qint64 s = ms / 1000;
  return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString Padded(const QString& text, int width) { return text.leftJustified(width, QLatin1Char(' ')); }

}  // namespace

void ConsoleReporter::Report(app::MessageKind, const QString& text) {
  last = text;
  Print(out_, QStringLiteral("vantrel-batch: ") + text + QLatin1Char('\n'));
}

RowPrinter::RowPrinter(const app::FileListModel& model, FILE* out, bool live, bool quiet)
    : model_(model), out_(out), live_(live && !quiet), quiet_(quiet) {
  connect(&model_, &QAbstractItemModel::dataChanged, this,
          [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
            rowsChanged(topLeft.row(), bottomRight.row());
          });
}

QString RowPrinter::rowLabel(int row) const {
  return QStringLiteral("[%1/%2] %3").arg(row + 1).arg(model_.size()).arg(QFileInfo(model_.fileRow(row).path).fileName());
}

void RowPrinter::rowsChanged(int first, int last) {
  printed_.resize(size_t(model_.size()), RowStatus::None);
  for (int row = std::max(first, 0); row <= last && row < model_.size(); ++row) {
    const RowStatus status = model_.fileRow(row).status;
    if (status == printed_[size_t(row)]) continue;
    printed_[size_t(row)] = status;
    printRow(row);
  }
}

void RowPrinter::printRow(int row) {
  const app::FileRow& r = model_.fileRow(row);
  if (r.status == RowStatus::Queued || r.status == RowStatus::None) return;
  if (quiet_ && r.status != RowStatus::Failed) return;
  QString line = rowLabel(row) + QStringLiteral(": ") + StatusWord(r.status);
  if (r.status == RowStatus::Failed) line += QStringLiteral(": ") + r.failureReason;
  if (r.status == RowStatus::Completed) line += QStringLiteral(" -> ") + r.outputPath;
  clearLive();
  Print(out_, line + QLatin1Char('\n'));
  if (live_ && !batchLine_.isEmpty()) showProgress(batchLine_);
}

void RowPrinter::clearLive() {
  if (!liveShown_) return;
  Print(out_, QStringLiteral("\r\033[K"));
  liveShown_ = false;
}

// The rows being converted with their percentage, then the batch's line.
void RowPrinter::showProgress(const QString& batchLine) {
  batchLine_ = batchLine;
  if (!live_) return;
  QString text;
  for (int row = 0; row < model_.size(); ++row)
    if (model_.fileRow(row).status == RowStatus::Converting)
      text += QStringLiteral("%1 %2 | ").arg(row + 1).arg(app::StatusText(model_.fileRow(row)));
  Print(out_, QStringLiteral("\r\033[K") + (text + batchLine).left(200));
  liveShown_ = true;
}

void RowPrinter::printSummary(const std::vector<RefusedFile>& refused, qint64 elapsedMs) {
  clearLive();
  int width = 5;
  for (int row = 0; row < model_.size(); ++row)
    width = std::max(width, int(QFileInfo(model_.fileRow(row).path).fileName().size()));
  for (const RefusedFile& file : refused) width = std::max(width, int(QFileInfo(file.path).fileName().size()));
  width = std::min(width, 40);

  QString text = QStringLiteral("\n%1  %2  %3\n").arg(Padded(QStringLiteral("Input"), width),
                                                      Padded(QStringLiteral("Status"), 13), QStringLiteral("Output or reason"));
  int completed = 0;
  for (int row = 0; row < model_.size(); ++row) {
    const app::FileRow& r = model_.fileRow(row);
    QString detail;
    if (r.status == RowStatus::Completed) {
      ++completed;
      detail = r.outputPath;
      const QFileInfo output(detail);
      if (output.exists()) detail += QStringLiteral(" (") + app::SizeText(output.size()) + QLatin1Char(')');
    } else if (r.status == RowStatus::Failed) {
      detail = r.failureReason;
    }
    text += QStringLiteral("%1  %2  %3\n").arg(Padded(QFileInfo(r.path).fileName(), width),
                                               Padded(StatusWord(r.status), 13), detail);
  }
  for (const RefusedFile& file : refused)
    text += QStringLiteral("%1  %2  %3\n").arg(Padded(QFileInfo(file.path).fileName(), width),
                                               Padded(QStringLiteral("Refused"), 13), file.reason);
  const int total = model_.size() + int(refused.size());
  text += QStringLiteral("%1 of %2 files converted in %3\n").arg(completed).arg(total).arg(Clock(elapsedMs));
  Print(out_, text);
}

}  // namespace vantrel::batch
