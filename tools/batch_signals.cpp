#include "batch_signals.h"

#include <pthread.h>
#include <unistd.h>

namespace vantrel::batch {
namespace {

constexpr int kExitInterrupted = 130;
// Asks the watcher to end; never sent from outside.
constexpr int kFinishSignal = SIGUSR1;

}  // namespace

BatchSignals::BatchSignals() {
  sigemptyset(&set_);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, kFinishSignal}) sigaddset(&set_, sig);
  pthread_sigmask(SIG_BLOCK, &set_, nullptr);
  watcher_ = std::thread([this] { Watch(); });
}

BatchSignals::~BatchSignals() {
  pthread_kill(watcher_.native_handle(), kFinishSignal);
  watcher_.join();
}

void BatchSignals::OnStop(std::function<void()> stop) {
  stop_ = std::move(stop);
  stopSet_ = true;
  if (received_ && !stopAsked_.exchange(true)) stop_();
}

void BatchSignals::Watch() {
  int sig = 0;
  for (;;) {
    if (sigwait(&set_, &sig) != 0) continue;
    if (sig == kFinishSignal) return;
    if (received_.exchange(true)) _exit(kExitInterrupted);  // asked twice: give up at once
    if (stopSet_ && !stopAsked_.exchange(true)) stop_();
  }
}

}  // namespace vantrel::batch
