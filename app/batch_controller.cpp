#include "app/batch_controller.h"

#include <algorithm>
#include <thread>

#include "app/decoder_threads.h"
#include "app/file_list_model.h"
#include "app/output_check.h"
#include "app/settings.h"

namespace vantrel::app {
namespace {

// Passes messages on and keeps the last one, which becomes the reason of a
// row that got no task.
class KeepingReporter final : public MessageReporter {
 public:
  explicit KeepingReporter(MessageReporter& next) : next_(next) {}
  void Report(MessageKind kind, const QString& text) override {
    last = text;
    next_.Report(kind, text);
  }
  QString last;

 private:
  MessageReporter& next_;
};

QString ProgressLine(int frame, int currentMs, int fps) {
  return QStringLiteral("Current Frame=%1 Time=%2 FPS=%3").arg(frame).arg(currentMs / 1000).arg(fps);
}

}  // namespace

BatchController::BatchController(TBrontConverter& converter, FileListModel& model, MessageReporter& reporter,
                                 ShutdownRequester* shutdown, QObject* parent)
    : QObject(parent), converter_(converter), model_(model), reporter_(reporter), shutdown_(shutdown) {
  connectEvents();
}

BatchController::~BatchController() {
  ++generation_;
  converter_.StopConvert();
  // Once the tasks are gone no thread raises an event, so the handlers can
  // be detached without a race.
  converter_.ClearTasks();
  converter_.OnProgress = nullptr;
  converter_.OnTerminate = nullptr;
}

void BatchController::connectEvents() {
  converter_.OnProgress = [this](int index, int frame, int fps, int currentMs, float, float, int64_t, int totalMs) {
    const int generation = generation_.load();
    QMetaObject::invokeMethod(
        this, [=, this] { onProgress(generation, index, frame, fps, currentMs, totalMs); }, Qt::QueuedConnection);
  };
  converter_.OnTerminate = [this](int index, bool finished, bool exception, const std::string& message) {
    const int generation = generation_.load();
    const QString text = QString::fromStdString(message);
    QMetaObject::invokeMethod(
        this, [=, this] { onTerminate(generation, index, finished, exception, text); }, Qt::QueuedConnection);
  };
}

QString BatchController::outputPath(int row) const {
  return row >= 0 && size_t(row) < rowOutputs_.size() ? rowOutputs_[size_t(row)] : QString();
}

BatchController::TaskRecord* BatchController::task(int index) {
  return index >= 0 && size_t(index) < tasks_.size() ? &tasks_[size_t(index)] : nullptr;
}

void BatchController::startOrStop(const BatchSettings& settings) {
  if (running_)
    stop();
  else
    start(settings);
}

void BatchController::start(const BatchSettings& settings) {
  if (running_) return;
  if (model_.size() == 0) {
    reporter_.Report(MessageKind::Information, QStringLiteral("Please select files to be converted."));
    return;
  }
  const std::string preflight = PreflightReason(settings.files.choice);
  if (!preflight.empty()) {
    // Every row would fail the same way: say it once, before anything runs.
    reporter_.Report(MessageKind::Refusal, QString::fromStdString(preflight));
    return;
  }
  settings_ = settings;
  // A folder that cannot be made shows up as each row's refusal below.
  EnsureFolder(settings.files.outputFolder);
  model_.markAllQueued();
  finishedCount_ = 0;
  progressLine_.clear();
  converter_.ClearTasks();
  // From here on, whatever the cleared tasks left queued is stale.
  ++generation_;
  setRunning(true);

  tasks_.clear();
  rowOutputs_.assign(size_t(model_.size()), QString());
  TakenOutputs taken;
  KeepingReporter reporter(reporter_);
  AddFileSettings files = settings.files;
  files.decoderThreads =
      DecoderThreads(std::max(1, settings.parallelTasks), model_.size(), std::thread::hardware_concurrency());
  for (int row = 0; row < model_.size(); ++row) {
    const std::optional<AddedTask> added = AddFileTask(converter_, files, model_.fileRow(row).path, taken, reporter);
    if (!added) {
      model_.setFailed(row, reporter.last);
      continue;
    }
    // Tasks are numbered in the order they were added, a refused row taking
    // no number, so the record's position is the task's index.
    TaskRecord record;
    record.row = row;
    record.outputPath = added->outputPath;
    record.durationMs = added->durationUs > 0 ? added->durationUs / 1000 : -1;
    tasks_.push_back(record);
    rowOutputs_[size_t(row)] = added->outputPath;
    model_.setOutputName(row, added->outputName);
    model_.setDecodingNote(row, added->decoding.note);
  }
  if (tasks_.empty()) {
    finish(BatchEnd::Empty);
    return;
  }
  batchClock_.start();
  converter_.ThreadPriority = tpNormal;
  converter_.StartConvert(std::max(1, settings.parallelTasks));
}

// A task that says it finished has its output opened again: a file the
// library cannot read back, or one far shorter or longer than what was
// converted, is no conversion the user can use.
void BatchController::completeTask(TaskRecord& record) {
  record.ended = true;
  const int64_t convertedMs = record.lastMs >= 0 ? record.lastMs : record.durationMs;
  if (!OutputReadable(record.outputPath, convertedMs)) {
    model_.setFailed(record.row, QStringLiteral("output unreadable"));
    return;
  }
  model_.setStatus(record.row, RowStatus::Completed);
  ++finishedCount_;
}

// The rate of the whole batch so far, several files at once included,
// applied to what is left of it. Nothing while any duration is unknown.
std::optional<int64_t> BatchController::batchSecondsLeft() const {
  int64_t totalMs = 0, doneMs = 0;
  for (const TaskRecord& record : tasks_) {
    if (record.durationMs <= 0) return std::nullopt;
    totalMs += record.durationMs;
    doneMs += record.ended ? record.durationMs : std::clamp<int64_t>(record.lastMs, 0, record.durationMs);
  }
  return SecondsLeft(batchClock_.elapsed(), doneMs, totalMs);
}

void BatchController::stop() {
  if (!running_) return;
  converter_.StopConvert();
  markStoppedRows();
  finish(BatchEnd::Stopped);
}

// After a stop each task is waited for, so its outcome is final: one that
// got to its end before the stop keeps its output and says so even when
// its notice is still queued; one that ran is "Stopped"; one that never
// started keeps " ".
void BatchController::markStoppedRows() {
  for (int index = 0; index < converter_.TaskCount() && size_t(index) < tasks_.size(); ++index) {
    TFFmpeg* t = converter_.Task(index);
    t->StopAndWait();
    const int row = tasks_[size_t(index)].row;
    const RowStatus status = model_.fileRow(row).status;
    if (status == RowStatus::Completed || status == RowStatus::Failed) continue;
    if (t->ErrorOccurred) {
      model_.setFailed(row, QString::fromStdString(t->ErrorMessage));
    } else if (t->Completed) {
      completeTask(tasks_[size_t(index)]);
    } else if (t->ThreadID != 0) {
      model_.setStatus(row, RowStatus::Stopped);
    }
  }
}

void BatchController::finish(BatchEnd how) {
  ++generation_;
  converter_.StopConvert();
  converter_.ClearTasks();
  setRunning(false);
  if (how == BatchEnd::Completed) {
    // Asked before the message is shown: the message stays on screen while
    // the system closes.
    if (settings_.shutdownAfterCompleted && shutdown_) shutdown_->RequestPowerOff();
    emit completed();
  }
  emit ended(how);
}

void BatchController::setRunning(bool running) {
  if (running_ == running) return;
  running_ = running;
  emit runningChanged(running);
}

void BatchController::onProgress(int generation, int index, int frame, int fps, int currentMs, int totalMs) {
  if (!running_ || generation != generation_) return;
  if (index < 0 || size_t(index) >= tasks_.size()) return;
  TaskRecord& record = tasks_[size_t(index)];
  if (!record.clock.isValid()) {
    record.clock.start();
    record.firstMs = currentMs;
  }
  std::optional<int64_t> left;
  if (totalMs > 0)
    left = SecondsLeft(record.clock.elapsed(), currentMs - record.firstMs, int64_t{totalMs} - record.firstMs);
  record.lastMs = currentMs;
  model_.setConverting(record.row, currentMs, totalMs, left);
  progressLine_ = ProgressLine(frame, currentMs, fps);
  if (const std::optional<int64_t> batchLeft = batchSecondsLeft())
    progressLine_ += QStringLiteral("  (") + TimeLeftText(*batchLeft) + QLatin1Char(')');
  emit progressLineChanged(progressLine_);
}

void BatchController::onTerminate(int generation, int index, bool finished, bool exception,
                                  const QString& message) {
  if (!running_ || generation != generation_) return;
  if (index < 0) {
    finish(BatchEnd::Completed);
    return;
  }
  TaskRecord* record = task(index);
  if (!record) return;
  if (exception) {
    record->ended = true;
    model_.setFailed(record->row, message);
    reporter_.Report(MessageKind::TaskError, message);
  } else if (finished) {
    completeTask(*record);
  } else {
    model_.setStatus(record->row, RowStatus::Stopped);
  }
}

}  // namespace vantrel::app
