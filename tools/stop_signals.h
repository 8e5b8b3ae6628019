// Ctrl-C, SIGTERM and SIGHUP stop the job at whatever stage the tool is in.
#pragma once

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace vantrel {
class TCustomFFmpeg;
}

namespace vantrel::cli {

// Made first thing in main, on the thread that opens the files and runs the
// job: the stop signals are taken by a thread of its own with sigwait, which
// asks the attached engine to stop and then keeps interrupting the blocking
// system calls of the working thread (an input that never delivers data, a
// FIFO without a writer) until Finish, so that the stop is seen promptly.
// A second signal ends the process at once.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The engine to stop; a signal that came before is passed on at once.
  void Attach(TCustomFFmpeg* engine);
  void Detach();
  // Ends the watching; the working thread is interrupted no more.
  void Finish();
  bool Received() const { return received_; }

 private:
  void Watch();
  void StopEngine();

  sigset_t set_;
  pthread_t worker_;
  std::thread watcher_;
  std::mutex m_;
  TCustomFFmpeg* engine_ = nullptr;
  std::atomic<bool> received_{false};
};

}  // namespace vantrel::cli
