#include "engine/engine_thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "engine/engine.h"

namespace vantrel {

TThreadID CurrentThreadID() { return TThreadID(syscall(SYS_gettid)); }

void HeldThread::Resume() {
  bool expected = false;
  if (!started_.compare_exchange_strong(expected, true)) return;
  // The running thread holds a reference to its own object: the object lives
  // until Execute returns, whoever else lets go of it.
  std::thread([self = shared_from_this()] {
    self->ApplyPriority();
    self->Execute();
  }).detach();
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

std::shared_ptr<TFFmpegThread> TFFmpegThread::Create(TCustomFFmpeg* engine) {
  return std::make_shared<TFFmpegThread>(Token{}, engine);
}

void TFFmpegThread::Execute() {
  if (engine_) engine_->WorkerRun();
}

std::shared_ptr<TDoTerminateThread> TDoTerminateThread::Create(TCustomFFmpeg* engine) {
  return std::make_shared<TDoTerminateThread>(Token{}, engine);
}

void TDoTerminateThread::Execute() {
  if (engine_) engine_->WorkerTerminate();
}

}  // namespace vantrel
