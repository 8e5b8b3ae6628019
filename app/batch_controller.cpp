#include "app/batch_controller.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <thread>

#include "app/decoder_threads.h"
#include "app/file_list_model.h"
#include "app/output_check.h"
#include "app/settings.h"

namespace vantrel::app {
namespace {

QString ProgressLine(int frame, int currentMs, int fps) {
  return QStringLiteral("Current Frame=%1 Time=%2 FPS=%3").arg(frame).arg(currentMs / 1000).arg(fps);
}

// With several files converting, one file's frame and time would stand for
// none of them: the line counts the batch instead.
QString BatchLine(int done, int total, std::optional<int> percent) {
  QString line = QStringLiteral("%1 of %2 files done").arg(done).arg(total);
  if (percent) line += QStringLiteral(", %1% of the batch").arg(*percent);
  return line;
}

QString WithReason(const QString& message, const QString& reason) {
  if (reason.isEmpty() || message.contains(reason, Qt::CaseInsensitive)) return message;
  return message + QStringLiteral(": ") + reason;
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
    // Asked here, while the task still exists: the name its file took.
    const QString output = index >= 0 ? QFile::decodeName(converter_.TaskOutputFile(index).c_str()) : QString();
    QMetaObject::invokeMethod(
        this, [=, this] { onTerminate(generation, index, finished, exception, text, output); },
        Qt::QueuedConnection);
  };
}

QString BatchController::outputPath(int row) const {
  return row >= 0 && row < model_.size() ? model_.fileRow(row).outputPath : QString();
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
  // No worker of an earlier batch is left after this, so what they read can
  // change; the notices of a stopped batch still queued are let go.
  converter_.ClearTasks();
  ++generation_;
  if (stoppedGeneration_ >= 0) {
    stoppedGeneration_ = -1;
    emit ended(BatchEnd::Stopped);
  }
  settings_ = settings;
  settings_.files.decoderThreads =
      DecoderThreads(std::max(1, settings.parallelTasks), model_.size(), std::thread::hardware_concurrency());
  // A folder that cannot be made shows up as each row's refusal.
  EnsureFolder(settings.files.outputFolder);
  model_.markAllQueued();
  finishedCount_ = 0;
  progressLine_.clear();
  tasks_.clear();
  tasks_.reserve(size_t(model_.size()));
  taken_ = TakenOutputs();
  for (int row = 0; row < model_.size(); ++row) {
    const FileRow& r = model_.fileRow(row);
    // No input may become an output, also one that cannot be converted now.
    taken_.insert(r.path);
    // A file gone since Add fails at once, without a turn of its own.
    if (const QString refusal = InputFileRefusal(r.path); !refusal.isEmpty()) {
      model_.setFailed(row, NotSupportedText(r.path, refusal));
      continue;
    }
    TaskRecord record;
    record.row = row;
    record.path = r.path;
    record.decoding = PlanRow(r.durationUs, r.video, settings_.files).decoding;
    record.video = r.video;
    record.durationMs = r.durationUs > 0 ? r.durationUs / 1000 : -1;
    tasks_.push_back(std::move(record));
  }
  nameOutputs();
  setRunning(true);
  if (tasks_.empty()) {
    finish(BatchEnd::Empty);
    return;
  }
  batchClock_.start();
  converter_.ThreadPriority = tpNormal;
  converter_.StartPlannedConvert(int(tasks_.size()), std::max(1, settings.parallelTasks),
                                 [this](int index, TPlannedTask& task) { return makeTask(index, task); });
}

// Named in row order against the disk as it is now, every row's input and
// the names given before; a file that takes a name meanwhile is left alone
// when the row's output is finished (it takes the next free number then).
void BatchController::nameOutputs() {
  const AddFileSettings& files = settings_.files;
  const QString extension = QString::fromUtf8(ProfileAt(files.choice.profile).extension);
  for (TaskRecord& record : tasks_) {
    record.outputName =
        ChooseOutputName(files.outputFolder, InputBaseName(record.path), extension, files.overwrite, taken_);
    taken_.insert(files.outputFolder + record.outputName + extension);
    model_.setOutputName(record.row, record.outputName);
  }
}

std::string BatchController::makeTask(int index, TPlannedTask& task) {
  const TaskRecord& record = tasks_[size_t(index)];
  const QString output = settings_.files.outputFolder + record.outputName +
                         QString::fromUtf8(ProfileAt(settings_.files.choice.profile).extension);

  TInputOptions input;
  TOutputOptions outputOptions;
  FillTaskOptions(settings_.files, record.path, record.decoding, record.video, input, outputOptions);
  if (!task.OpenInput(input.FileName, &input)) {
    if (task.StopRequested()) return {};
    const ProbedInput probed = ProbeInput(record.path);
    return NotSupportedText(record.path, probed.refusal.isEmpty() ? QString::fromStdString(task.LastErrMsg())
                                                                  : probed.refusal)
        .toStdString();
  }
  if (!task.SetOutputFile(QFile::encodeName(output).toStdString(), &outputOptions)) {
    const QString reason = FolderWriteRefusal(settings_.files.outputFolder);
    return (QStringLiteral("Cannot convert: ") + WithReason(QString::fromStdString(task.LastErrMsg()), reason))
        .toStdString();
  }
  return {};
}

// A task that says it finished has its output opened again: a file the
// library cannot read back, or one far shorter or longer than what was
// converted, is no conversion the user can use.
void BatchController::completeTask(TaskRecord& record, const QString& output) {
  record.ended = true;
  const int64_t convertedMs = record.lastMs >= 0 ? record.lastMs : record.durationMs;
  if (!OutputReadable(output, convertedMs)) {
    model_.setFailed(record.row, QStringLiteral("output unreadable"));
    return;
  }
  model_.setOutputPath(record.row, output);
  model_.setOutputName(record.row, InputBaseName(output));
  model_.setStatus(record.row, RowStatus::Completed);
  ++finishedCount_;
}

// What of the batch is converted, each file weighed by its duration, and
// the whole; nothing while any duration is unknown.
std::optional<std::pair<int64_t, int64_t>> BatchController::batchDoneAndTotalMs() const {
  int64_t totalMs = 0, doneMs = 0;
  for (const TaskRecord& record : tasks_) {
    if (record.durationMs <= 0) return std::nullopt;
    totalMs += record.durationMs;
    doneMs += record.ended ? record.durationMs : std::clamp<int64_t>(record.lastMs, 0, record.durationMs);
  }
  return std::pair{doneMs, totalMs};
}

// The rate of the whole batch so far, several files at once included,
// applied to what is left of it.
std::optional<int64_t> BatchController::batchSecondsLeft() const {
  const auto done = batchDoneAndTotalMs();
  if (!done) return std::nullopt;
  return SecondsLeft(batchClock_.elapsed(), done->first, done->second);
}

// The window is free at once: the tasks stop on their own threads, and
// their last notices, still of this batch, mark their rows as they come (a
// task that got to its end before the stop keeps its output and says so);
// the batch has ended once they all have. Rows whose turn never came keep
// " ". A batch started meanwhile waits for the stopped tasks to let go of
// their files.
void BatchController::stop() {
  if (!running_) return;
  stoppedGeneration_ = generation_;
  converter_.StopConvert();
  setRunning(false);
}

void BatchController::finish(BatchEnd how) {
  ++generation_;
  converter_.StopConvert();
  converter_.ClearTasks();
  setRunning(false);
  if (how == BatchEnd::Completed) {
    // The request comes first: the countdown it opens says the batch is
    // complete, so the window shows no message of its own then.
    const bool poweringOff = settings_.shutdownAfterCompleted && shutdown_;
    if (poweringOff) shutdown_->RequestPowerOff();
    emit completed(poweringOff);
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
  if (speaksForBatch())
    showBatchLine();
  else
    showLine(ProgressLine(frame, currentMs, fps));
}

bool BatchController::speaksForBatch() const {
  return std::min<size_t>(size_t(std::max(1, settings_.parallelTasks)), tasks_.size()) > 1;
}

void BatchController::showLine(const QString& line) {
  progressLine_ = line;
  if (const std::optional<int64_t> batchLeft = batchSecondsLeft())
    progressLine_ += QStringLiteral("  (") + TimeLeftText(*batchLeft) + QLatin1Char(')');
  emit progressLineChanged(progressLine_);
}

void BatchController::showBatchLine() {
  int done = 0;
  for (const TaskRecord& record : tasks_) done += record.ended ? 1 : 0;
  showLine(BatchLine(done, int(tasks_.size()), batchPercent()));
}

std::optional<int> BatchController::batchPercent() const {
  const auto done = batchDoneAndTotalMs();
  if (!done || done->second <= 0) return std::nullopt;
  return int(done->first * 100 / done->second);
}

void BatchController::onTerminate(int generation, int index, bool finished, bool exception,
                                  const QString& message, const QString& output) {
  const bool stopped = !running_ && generation == stoppedGeneration_;
  if (!stopped && (!running_ || generation != generation_)) return;
  if (index < 0) {
    // After a stop, this says the stopped tasks have all reported.
    if (stopped) {
      stoppedGeneration_ = -1;
      emit ended(BatchEnd::Stopped);
    } else {
      finish(BatchEnd::Completed);
    }
    return;
  }
  TaskRecord* record = task(index);
  if (!record) return;
  if (exception) {
    record->ended = true;
    model_.setFailed(record->row, message);
    if (!stopped) reporter_.Report(MessageKind::TaskError, message);
  } else if (finished) {
    completeTask(*record, output);
  } else {
    model_.setStatus(record->row, RowStatus::Stopped);
  }
  if (record->ended && !stopped && speaksForBatch()) showBatchLine();
}

}  // namespace vantrel::app
