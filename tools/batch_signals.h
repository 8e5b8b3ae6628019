// Ctrl-C, SIGTERM and SIGHUP for vantrel-batch: the first stops the batch
// through the event loop (the running files are closed properly and the
// summary is printed), a second one ends the process at once.
#pragma once

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

namespace vantrel::batch {

class BatchSignals {
 public:
  // Made first in main, before any thread: the signals are blocked in every
  // thread and taken by a watcher of its own.
  BatchSignals();
  ~BatchSignals();
  BatchSignals(const BatchSignals&) = delete;
  BatchSignals& operator=(const BatchSignals&) = delete;

  // Called on the watcher's thread at the first signal; set before the
  // batch starts. A signal that came before is passed on at once.
  void OnStop(std::function<void()> stop);
  bool Received() const { return received_; }

 private:
  void Watch();

  sigset_t set_;
  std::thread watcher_;
  std::atomic<bool> received_{false};
  std::atomic<bool> stopAsked_{false};
  std::function<void()> stop_;
  std::atomic<bool> stopSet_{false};
};

}  // namespace vantrel::batch
