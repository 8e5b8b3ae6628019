#include "stop_signals.h"

#include <unistd.h>

#include <ctime>

#include "engine/engine.h"

namespace vantrel::cli {
namespace {

constexpr int kExitInterrupted = 130;
// Asks the watcher to end; never sent from outside.
constexpr int kFinishSignal = SIGUSR1;
// Interrupts a blocking call of the working thread; its handler does nothing.
constexpr int kKickSignal = SIGUSR2;
constexpr long kKickIntervalNs = 50'000'000;

void Nothing(int) {}

}  // namespace

StopSignals::StopSignals() : worker_(pthread_self()) {
  sigemptyset(&set_);
  for (int sig : {SIGINT, SIGTERM, SIGHUP, kFinishSignal}) sigaddset(&set_, sig);
  pthread_sigmask(SIG_BLOCK, &set_, nullptr);
  // Without SA_RESTART, so that read(), open() and sleeps return EINTR and
  // the libraries look at their interrupt callback.
  struct sigaction kick {};
  kick.sa_handler = Nothing;
  sigemptyset(&kick.sa_mask);
  sigaction(kKickSignal, &kick, nullptr);
  watcher_ = std::thread([this] { Watch(); });
}

StopSignals::~StopSignals() { Finish(); }

void StopSignals::Watch() {
  int sig = 0;
  while (!received_) {
    if (sigwait(&set_, &sig) != 0) continue;
    if (sig == kFinishSignal) return;
    received_ = true;
    StopEngine();
  }
  const timespec interval{0, kKickIntervalNs};
  for (;;) {
    pthread_kill(worker_, kKickSignal);
    sig = sigtimedwait(&set_, nullptr, &interval);
    if (sig == kFinishSignal) return;
    if (sig > 0) _exit(kExitInterrupted);  // asked twice: give up at once
    StopEngine();  // an engine attached since
  }
}

void StopSignals::StopEngine() {
  std::lock_guard<std::mutex> lock(m_);
  if (engine_) engine_->RequestStop();
}

void StopSignals::Attach(TCustomFFmpeg* engine) {
  std::lock_guard<std::mutex> lock(m_);
  engine_ = engine;
  if (received_ && engine_) engine_->RequestStop();
}

void StopSignals::Detach() {
  std::lock_guard<std::mutex> lock(m_);
  engine_ = nullptr;
}

void StopSignals::Finish() {
  if (!watcher_.joinable()) return;
  pthread_kill(watcher_.native_handle(), kFinishSignal);
  watcher_.join();
}

}  // namespace vantrel::cli
