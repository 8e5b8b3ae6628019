// Adding files without freezing the window: each file is looked at on a
// worker (several at once), and its row appears, in the order the files
// were given, as soon as it and the files before it have been looked at.
// Files added while others are still being looked at wait their turn.
#pragma once

#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/add_file_task.h"

namespace vantrel::app {

class FileListModel;

struct RefusedFile {
  QString path;
  QString message;  // the whole refusal, as it is shown
};

class FileAdder : public QObject {
  Q_OBJECT

 public:
  explicit FileAdder(FileListModel& model, QObject* parent = nullptr);
  ~FileAdder() override;

  // Queues the files; the rows are named and planned with settings.
  void add(const QStringList& paths, const AddFileSettings& settings);
  bool adding() const { return current_ != nullptr; }
  // Drops what is not looked at yet; the rows added so far stay.
  void cancel();

 signals:
  // done of total files of the current adding looked at.
  void progress(int done, int total);
  // Every queued file has been looked at; refused holds those that got no
  // row, in the order given.
  void finished(const std::vector<vantrel::app::RefusedFile>& refused);

 private:
  struct Job {
    QStringList paths;
    AddFileSettings settings;
  };
  // What a worker finds out about one file: the look at it, and its plan.
  struct LookedAt {
    ProbedInput probed;
    RowPlan plan;
  };
  void startNext();
  void takeResult(int index);
  void addReadyRows();
  void endJob();
  void finishJob();

  FileListModel& model_;
  // The files are looked at on threads of our own: Qt draws the window with
  // the global pool's threads and waits for them, so the window would
  // stand still while the global pool is busy with files.
  QThreadPool pool_;
  std::vector<Job> queue_;
  std::unique_ptr<QFutureWatcher<LookedAt>> current_;
  Job job_;
  std::optional<RowAdder> adder_;
  std::map<int, LookedAt> ready_;  // looked at, waiting for the files before them
  bool more_ = false;              // a turn to add the rest is asked for
  bool workersDone_ = false;       // every file of the job has been looked at
  int next_ = 0;                      // the next file to become a row
  std::vector<RefusedFile> refused_;
};

}  // namespace vantrel::app
