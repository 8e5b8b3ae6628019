// One conversion task of the converter: an engine with its place in the
// list, the thread that runs it, the options it was given and a probe of its
// input.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "converter/av_probe.h"
#include "converter/task_options.h"
#include "engine/engine.h"

namespace vantrel {

class TFFmpeg final : public TCustomFFmpeg {
 public:
  TFFmpeg();
  // Stops the job and waits for its thread before anything of the task
  // goes, so the worker never reports to a half-destroyed task.
  ~TFFmpeg() override;

  // Read by worker and log threads while the list may be renumbered, hence atomic.
  std::atomic<int> Index{-1};         // -1 until added to the list
  std::atomic<TThreadID> ThreadID{0};  // 0 until started
  TInputOptions InputOptions;
  TOutputOptions OutputOptions;
  // Attached to the engine's input; declared last so it goes first.
  TAVProbe Probe;
};

// Owns the tasks, in list order; a task's Index is its position, except for
// the tasks of a planned batch, which keep their plan's number.
class TFFmpegList {
 public:
  TFFmpegList() = default;
  TFFmpegList(const TFFmpegList&) = delete;
  TFFmpegList& operator=(const TFFmpegList&) = delete;
  ~TFFmpegList() { Clear(); }

  int Count() const { return int(items_.size()); }
  TFFmpeg* Items(int AIndex) const;
  TFFmpeg* Add(std::unique_ptr<TFFmpeg> ATask);
  // Adds a task that keeps its own Index, and takes one out by identity
  // without renumbering the others.
  TFFmpeg* AddNumbered(std::unique_ptr<TFFmpeg> ATask);
  std::unique_ptr<TFFmpeg> ExtractTask(const TFFmpeg* ATask);
  TFFmpeg* FindByIndex(int AIndex) const;
  // Takes the task out and renumbers the later ones; the caller frees it.
  std::unique_ptr<TFFmpeg> Extract(int AIndex);
  void Delete(int AIndex) { Extract(AIndex); }
  // Takes every task out, in list order; the caller frees them.
  std::vector<std::unique_ptr<TFFmpeg>> ExtractAll();
  void Clear();
  // The task running on that thread, else the first in list order that ran
  // there.
  TFFmpeg* FindByThreadID(TThreadID AThreadID) const;

 private:
  std::vector<std::unique_ptr<TFFmpeg>> items_;
};

}  // namespace vantrel
