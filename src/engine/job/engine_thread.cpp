#include "engine/engine_thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <condition_variable>
#include <thread>

#include "engine/job/engine_job.h"

namespace vantrel {

TThreadID CurrentThreadID() { return TThreadID(syscall(SYS_gettid)); }

// What the held thread waits on. The thread owns a share of it, never of the
// HeldThread object while held, so an object nobody resumes can still go.
struct HeldThread::Latch {
  std::mutex m;
  std::condition_variable cv;
  enum { Held, Go, Drop } state = Held;
  std::shared_ptr<HeldThread> self;  // handed over by Resume
  TThreadID id = 0;
};

HeldThread::HeldThread() : latch_(std::make_shared<Latch>()) {
  std::thread([latch = latch_] {
    std::shared_ptr<HeldThread> self;
    {
      std::unique_lock<std::mutex> lock(latch->m);
      latch->id = CurrentThreadID();
      latch->cv.notify_all();
      latch->cv.wait(lock, [&] { return latch->state != Latch::Held; });
      if (latch->state == Latch::Drop) return;
      self = std::move(latch->self);
    }
    // The running thread holds a reference to its own object: the object
    // lives until Execute returns, whoever else lets go of it.
    self->ApplyPriority();
    self->Execute();
  }).detach();
  std::unique_lock<std::mutex> lock(latch_->m);
  latch_->cv.wait(lock, [&] { return latch_->id != 0; });
  id_ = latch_->id;
}

HeldThread::~HeldThread() {
  std::lock_guard<std::mutex> lock(latch_->m);
  if (latch_->state == Latch::Held) {
    latch_->state = Latch::Drop;
    latch_->cv.notify_all();
  }
}

void HeldThread::Resume() {
  bool expected = false;
  if (!started_.compare_exchange_strong(expected, true)) return;
  std::lock_guard<std::mutex> lock(latch_->m);
  latch_->self = shared_from_this();
  latch_->state = Latch::Go;
  latch_->cv.notify_all();
}

void HeldThread::ApplyPriority() const {
  switch (priority_) {
    case tpIdle: {
      sched_param param{};
      pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
      break;
    }
    case tpLowest:
    case tpLower: {
      // On Linux a nice value belongs to the thread named by its kernel id.
      const pid_t tid = pid_t(syscall(SYS_gettid));
      const int raise = priority_ == tpLowest ? 10 : 5;
      setpriority(PRIO_PROCESS, id_t(tid), getpriority(PRIO_PROCESS, id_t(tid)) + raise);
      break;
    }
    case tpNormal:
      break;
  }
}

std::shared_ptr<TFFmpegThread> TFFmpegThread::Create(TEngineJob* engine) {
  return std::make_shared<TFFmpegThread>(Token{}, engine);
}

void TFFmpegThread::Execute() {
  if (engine_) engine_->WorkerRun();
}

std::shared_ptr<TDoTerminateThread> TDoTerminateThread::Create(TEngineJob* engine) {
  return std::make_shared<TDoTerminateThread>(Token{}, engine);
}

void TDoTerminateThread::Execute() {
  if (engine_) engine_->WorkerTerminate();
}

}  // namespace vantrel
