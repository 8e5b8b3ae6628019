// A batch run over the file list: start and stop, the rows' statuses, the
// progress line, and the end of the batch with its completion and the
// optional power-off.
//
// The converter raises its events on worker threads under its own lock. The
// handlers here change the model and may clear the tasks, which waits for
// those very threads, so each event is queued with copies of its values to
// the controller's thread and handled there, one at a time, in the order
// raised. Every event is tagged with the batch it belongs to: a notice of a
// stopped batch that is still queued when the next one starts is dropped.
//
// Each row's task is made from its plan only when its turn comes, on the
// worker that converts it: an input is open only while its row converts,
// starting returns at once, and a stop is honoured while a file is opened.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/add_file_task.h"
#include "app/message_reporter.h"
#include "app/shutdown_requester.h"
#include "converter/bront_converter.h"

namespace vantrel::app {

class FileListModel;

struct BatchSettings {
  AddFileSettings files;
  int parallelTasks = 2;  // files converted at once
  bool shutdownAfterCompleted = false;
};

enum class BatchEnd {
  Completed,  // every task ended by itself (some may have failed)
  Stopped,    // the user stopped it
  Empty,      // no row yielded a task
};

class BatchController : public QObject {
  Q_OBJECT

 public:
  // All must outlive the controller; shutdown may be null (never powers off).
  BatchController(TBrontConverter& converter, FileListModel& model, MessageReporter& reporter,
                  ShutdownRequester* shutdown, QObject* parent = nullptr);
  ~BatchController() override;

  bool running() const { return running_; }
  // Rows whose task completed in the current or last batch.
  int finishedCount() const { return finishedCount_; }
  // "Current Frame=120 Time=4 FPS=25" while one file converts at a time;
  // "3 of 10 files done, 42% of the batch" when several convert at once.
  // Followed by the batch's time left ("  (1:05 left)") once it can be
  // told; empty before the first progress.
  const QString& progressLine() const { return progressLine_; }
  // The file a row of the current or last batch wrote, under the name it
  // finally took; empty unless the row completed.
  QString outputPath(int row) const;

  // The button: stops a running batch, starts one otherwise.
  void startOrStop(const BatchSettings& settings);
  void start(const BatchSettings& settings);
  void stop();

 signals:
  // The busy state: the list-editing controls are off while running.
  void runningChanged(bool running);
  void progressLineChanged(const QString& line);
  // Every task ended by itself. Unless the computer is to be powered off
  // (its countdown then says the batch completed), the window shows the
  // completion message.
  void completed(bool poweringOff);
  // The batch is over and every row says how it ended. A stopped batch is
  // not running from the moment it is stopped; it ends once its stopped
  // tasks have reported (or when the next batch starts).
  void ended(vantrel::app::BatchEnd how);

 private:
  struct TaskRecord {
    // Fixed when the batch starts; read by the workers that make the tasks.
    int row = -1;
    QString path;
    QString outputName;  // base name, "(n)" included
    DecodeChoice decoding;
    TAVVideoInfo video{};  // as probed when the row was added
    int64_t durationMs = -1;  // the input's, as probed; negative when unknown
    // The controller's thread's alone.
    QElapsedTimer clock;      // started at the task's first progress
    int64_t firstMs = 0;      // converted time at that progress
    int64_t lastMs = -1;      // converted time at the latest progress
    bool ended = false;       // completed or failed: all of it counts as done
  };

  void connectEvents();
  // On a worker: the task of plan index made from its row's plan.
  std::string makeTask(int index, TPlannedTask& task);
  void nameOutputs();
  void onProgress(int generation, int index, int frame, int fps, int currentMs, int totalMs);
  void onTerminate(int generation, int index, bool finished, bool exception, const QString& message,
                   const QString& output);
  void completeTask(TaskRecord& record, const QString& output);
  std::optional<std::pair<int64_t, int64_t>> batchDoneAndTotalMs() const;
  std::optional<int64_t> batchSecondsLeft() const;
  std::optional<int> batchPercent() const;
  // More than one file may convert at once in this batch.
  bool speaksForBatch() const;
  void showLine(const QString& line);
  void showBatchLine();
  void finish(BatchEnd how);
  void setRunning(bool running);
  TaskRecord* task(int index);

  TBrontConverter& converter_;
  FileListModel& model_;
  MessageReporter& reporter_;
  ShutdownRequester* shutdown_;
  BatchSettings settings_;
  bool running_ = false;
  int finishedCount_ = 0;
  QString progressLine_;
  std::vector<TaskRecord> tasks_;  // by task index
  QElapsedTimer batchClock_;       // started with the batch
  // The outputs given out and every row's input.
  TakenOutputs taken_;
  // The generation of a batch that was stopped and whose tasks may still
  // report how they ended (-1: none): their rows still take those notices.
  int stoppedGeneration_ = -1;
  // Raised when a batch starts or ends; read by the converter's threads.
  std::atomic<int> generation_{0};
};

}  // namespace vantrel::app
