#include "app/file_adder.h"

#include <QtConcurrent/QtConcurrentMap>

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

FileAdder::FileAdder(FileListModel& model, QObject* parent) : QObject(parent), model_(model) {}

FileAdder::~FileAdder() { cancel(); }

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
}

void FileAdder::startNext() {
  if (queue_.empty()) return;
  job_ = std::move(queue_.front());
  queue_.erase(queue_.begin());
  adder_.emplace(job_.settings, model_);
  ready_.clear();
  next_ = 0;
  refused_.clear();
  current_ = std::make_unique<QFutureWatcher<ProbedInput>>();
  connect(current_.get(), &QFutureWatcherBase::resultReadyAt, this, &FileAdder::takeResult);
  connect(current_.get(), &QFutureWatcherBase::finished, this, &FileAdder::endJob);
  current_->setFuture(QtConcurrent::mapped(job_.paths, ProbeInput));
  emit progress(0, int(job_.paths.size()));
}

void FileAdder::takeResult(int index) {
  ready_.emplace(index, current_->resultAt(index));
  addReadyRows();
}

void FileAdder::addReadyRows() {
  RefusalCollector reporter;
  const int before = next_;
  for (auto it = ready_.find(next_); it != ready_.end(); it = ready_.find(next_)) {
    const QString& path = job_.paths[next_];
    if (adder_->add(path, it->second, reporter) < 0) refused_.push_back({path, reporter.last});
    ready_.erase(it);
    ++next_;
  }
  if (next_ != before) emit progress(next_, int(job_.paths.size()));
}

void FileAdder::endJob() {
  addReadyRows();
  // This runs in the watcher's own signal: it goes once that has returned.
  current_.release()->deleteLater();
  adder_.reset();
  const std::vector<RefusedFile> refused = std::move(refused_);
  refused_.clear();
  if (!queue_.empty())
    startNext();
  emit finished(refused);
}

}  // namespace vantrel::app
