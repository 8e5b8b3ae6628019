// What vantrel-batch prints: the refusals and task errors as they come, one
// line per row whose status changes, a live progress line when the output
// is a terminal, and the summary table at the end.
#pragma once

#include <QObject>
#include <QString>
#include <cstdio>
#include <vector>

#include "app/file_list_model.h"
#include "app/message_reporter.h"

namespace vantrel::batch {

// A file the list refused, with the reason it was given.
struct RefusedFile {
  QString path;
  QString reason;
};

class ConsoleReporter final : public app::MessageReporter {
 public:
  explicit ConsoleReporter(FILE* out) : out_(out) {}
  void Report(app::MessageKind kind, const QString& text) override;
  // The last message, for the file it refused.
  QString last;

 private:
  FILE* out_;
};

class RowPrinter : public QObject {
  Q_OBJECT

 public:
  // live: the output is a terminal, where the progress line is rewritten in
  // place; quiet: only failures are printed as they happen.
  RowPrinter(const app::FileListModel& model, FILE* out, bool live, bool quiet);

  void showProgress(const QString& batchLine);
  // Takes the live line off the screen before other output.
  void clearLive();
  void printSummary(const std::vector<RefusedFile>& refused, qint64 elapsedMs);

 private:
  void rowsChanged(int first, int last);
  void printRow(int row);
  QString rowLabel(int row) const;

  const app::FileListModel& model_;
  FILE* out_;
  bool live_;
  bool quiet_;
  bool liveShown_ = false;
  std::vector<app::RowStatus> printed_;
  QString batchLine_;
};

}  // namespace vantrel::batch
