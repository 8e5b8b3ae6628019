// Worker threads of the engine. A thread is created held: it starts running
// only when Resume() is called. It keeps itself alive while it runs, so the
// creator may drop its reference at any time (the thread frees itself when
// it ends).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace vantrel {

enum TConvertPriority { tpIdle, tpLowest, tpLower, tpNormal };

// A thread as the kernel names it (never 0, so 0 can mean "no thread"). The
// same number for a worker and for the thread that runs a job synchronously,
// so log lines can be matched to the job that wrote them.
using TThreadID = std::uint32_t;
TThreadID CurrentThreadID();

class HeldThread : public std::enable_shared_from_this<HeldThread> {
 public:
  // A thread never resumed ends with its object, without running.
  virtual ~HeldThread();
  HeldThread(const HeldThread&) = delete;
  HeldThread& operator=(const HeldThread&) = delete;

  // Starts the thread once; later calls do nothing.
  void Resume();
  bool Suspended() const { return !started_.load(); }
  // Takes effect when the thread starts.
  void SetPriority(TConvertPriority p) { priority_ = p; }
  TConvertPriority Priority() const { return priority_; }
  // The kernel's id of the thread, known from creation on: a caller can
  // record it before the thread runs anything.
  TThreadID ThreadID() const { return id_; }

 protected:
  // The operating-system thread is made here and waits, held, for Resume.
  HeldThread();
  virtual void Execute() = 0;

 private:
  struct Latch;
  void ApplyPriority() const;

  std::shared_ptr<Latch> latch_;
  std::atomic<bool> started_{false};
  TConvertPriority priority_ = tpNormal;
  TThreadID id_ = 0;
};

class TEngineJob;

// Runs one engine's job.
class TFFmpegThread final : public HeldThread {
 public:
  static std::shared_ptr<TFFmpegThread> Create(TEngineJob* engine);
  TEngineJob* Engine() const { return engine_; }

 protected:
  void Execute() override;

 private:
  struct Token {};

 public:
  TFFmpegThread(Token, TEngineJob* engine) : engine_(engine) {}

 private:
  TEngineJob* engine_;
};

// Reports the end of a job that was stopped before it ever ran.
class TDoTerminateThread final : public HeldThread {
 public:
  static std::shared_ptr<TDoTerminateThread> Create(TEngineJob* engine);

 protected:
  void Execute() override;

 private:
  struct Token {};

 public:
  TDoTerminateThread(Token, TEngineJob* engine) : engine_(engine) {}

 private:
  TEngineJob* engine_;
};

}  // namespace vantrel
