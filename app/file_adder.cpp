#include "app/file_adder.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <functional>

#include "app/file_list_model.h"

namespace vantrel::app {
namespace {

// Refusals are gathered and said once the adding is over, not one message
// box at a time while rows are still coming in.
class RefusalCollector final : public MessageReporter {
 public:
  void Report(MessageKind, const QString& text) override { last = text; }
  QString last;
};

}  // namespace

FileAdder::FileAdder(FileListModel& model, QObject* parent) : QObject(parent), model_(model) {
  // One core stays for the window, so it answers however many files come.
  pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
}

FileAdder::~FileAdder() {
  cancel();
  pool_.waitForDone();
}

void FileAdder::add(const QStringList& paths, const AddFileSettings& settings) {
  if (paths.isEmpty()) return;
  queue_.push_back({paths, settings});
  if (!current_) startNext();
}

void FileAdder::cancel() {
  queue_.clear();
  if (!current_) return;
  current_->disconnect(this);
  current_->cancel();
  current_->waitForFinished();
  current_.reset();
  adder_.reset();
  ready_.clear();
  refused_.clear();
  more_ = false;
}

void FileAdder::startNext() {
  if (queue_.empty()) return;
  job_ = std::move(queue_.front());
  queue_.erase(queue_.begin());
  // The files still to come are not reserved as inputs here: that would
  // hold the window up for a long list, and the batch names every output
  // again, against every row's input, when it starts.
  adder_.emplace(job_.settings, model_);
  ready_.clear();
  next_ = 0;
  workersDone_ = false;
  refused_.clear();
  current_ = std::make_unique<QFutureWatcher<LookedAt>>();
  connect(current_.get(), &QFutureWatcherBase::resultReadyAt, this, &FileAdder::takeResult);
  connect(current_.get(), &QFutureWatcherBase::finished, this, &FileAdder::endJob);
  // The plan is made on the worker too: the window's thread only names the
  // rows and shows them.
  std::function<LookedAt(const QString&)> lookAt = [settings = job_.settings](const QString& path) {
    LookedAt found{ProbeInput(path), {}};
    if (found.probed.refusal.isEmpty()) found.plan = PlanRow(found.probed.durationUs, found.probed.video, settings);
    return found;
  };
  current_->setFuture(QtConcurrent::mapped(&pool_, job_.paths, lookAt));
  emit progress(0, int(job_.paths.size()));
}

void FileAdder::takeResult(int index) {
  ready_.emplace(index, current_->resultAt(index));
  if (!more_) addReadyRows();
}

// A slice of the rows at a time, appended in one change: the window keeps
// answering while a long list comes in.
void FileAdder::addReadyRows() {
  more_ = false;
  if (!adder_) return;
  constexpr qint64 kSliceMs = 8;
  QElapsedTimer slice;
  slice.start();
  RefusalCollector reporter;
  std::vector<FileRow> rows;
  const int before = next_;
  for (auto it = ready_.find(next_); it != ready_.end() && slice.elapsed() < kSliceMs; it = ready_.find(next_)) {
    const QString& path = job_.paths[next_];
    std::optional<FileRow> row = adder_->makeRow(path, it->second.probed, reporter, &it->second.plan);
    if (row)
      rows.push_back(std::move(*row));
    else
      refused_.push_back({path, reporter.last});
    ready_.erase(it);
    ++next_;
  }
  model_.append(std::move(rows));
  if (next_ != before) emit progress(next_, int(job_.paths.size()));
  if (ready_.count(next_)) {
    more_ = true;
    QTimer::singleShot(0, this, &FileAdder::addReadyRows);
  } else if (workersDone_ && next_ >= job_.paths.size()) {
    finishJob();
  }
}

void FileAdder::endJob() {
  workersDone_ = true;
  addReadyRows();
}

void FileAdder::finishJob() {
  // This may run in the watcher's own signal: it goes once that has returned.
  current_.release()->deleteLater();
  adder_.reset();
  const std::vector<RefusedFile> refused = std::move(refused_);
  refused_.clear();
  if (!queue_.empty()) startNext();
  emit finished(refused);
}

}  // namespace vantrel::app
