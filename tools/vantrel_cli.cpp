// vantrel-cli: one conversion job from the command line.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "binding/av_binding.h"
#include "cli_arguments.h"
#include "engine/engine.h"

namespace {

using vantrel::TCustomFFmpeg;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

int Fail(const std::string& msg) {
  std::fprintf(stderr, "vantrel-cli: %s\n", msg.c_str());
  return kExitFailed;
}

// Waits for the single end of the job.
class Termination {
 public:
  void Signal() {
    std::lock_guard<std::mutex> lock(m_);
    ended_ = true;
    cv_.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return ended_; });
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool ended_ = false;
};

// SIGINT and SIGTERM are taken by one thread with sigwait, which asks the
// job to stop; the job still writes its trailer before it ends.
class StopSignals {
 public:
  StopSignals() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGINT);
    sigaddset(&set_, SIGTERM);
    sigaddset(&set_, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &set_, nullptr);
  }
  void Watch(TCustomFFmpeg& engine) {
    watcher_ = std::thread([this, &engine] {
      int sig = 0;
      while (sigwait(&set_, &sig) == 0) {
        if (sig == SIGUSR1) return;  // the job is over
        received_ = true;
        engine.RequestStop();
      }
    });
  }
  void Finish() {
    if (!watcher_.joinable()) return;
    pthread_kill(watcher_.native_handle(), SIGUSR1);
    watcher_.join();
  }
  bool Received() const { return received_; }

 private:
  sigset_t set_;
  std::thread watcher_;
  std::atomic<bool> received_{false};
};

// Log lines and the progress line share stderr. On a terminal the progress
// line is rewritten in place ('\r'); any other line first ends it. Elsewhere
// (a pipe, a file) each report is a line of its own. The engine hands the
// progress line to OnProgressLine, so it never has to be recognised among
// the log lines by its text.
class ConsoleOutput {
 public:
  ConsoleOutput() : terminal_(isatty(STDERR_FILENO) == 1) {}
  void Progress(const std::string& line, bool last) {
    std::lock_guard<std::mutex> lock(m_);
    if (terminal_) {
      std::fprintf(stderr, "%s\r", line.c_str());
      open_ = !last;
      if (last) std::fputc('\n', stderr);
    } else {
      std::fprintf(stderr, "%s\n", line.c_str());
    }
    std::fflush(stderr);
  }
  void Line(std::string msg) {
    std::lock_guard<std::mutex> lock(m_);
    while (!msg.empty() && (msg.back() == '\n' || msg.back() == '\r')) msg.pop_back();
    if (open_) std::fputc('\n', stderr);
    open_ = false;
    std::fprintf(stderr, "%s\n", msg.c_str());
  }

 private:
  std::mutex m_;
  const bool terminal_;
  bool open_ = false;
};

// The libraries' lines go to stderr as the engine's verbosity allows: from
// 0 up the format reports of opened files show, 2 adds debug lines. The
// verbosity, not the libraries' own level, decides.
int LibraryLogLimit(int verbose) {
  if (verbose < 0) return AV_LOG_QUIET;
  if (verbose < 2) return AV_LOG_INFO;
  return verbose == 2 ? AV_LOG_DEBUG : AV_LOG_TRACE;
}

void PrintLibraryLine(void* avcl, int level, const char* fmt, va_list vl) {
  if (level > LibraryLogLimit(vantrel::CurrentLogLevel())) return;
  static thread_local int printPrefix = 1;
  char line[2048];
  lav::av_log_format_line2(avcl, level, fmt, vl, line, sizeof line, &printPrefix);
  std::fputs(line, stderr);
}

int ApplySteps(TCustomFFmpeg& engine, const vantrel::cli::Arguments& args) {
  for (const auto& step : args.steps) {
    switch (step.kind) {
      case vantrel::cli::Step::Input:
        if (!engine.OpenInputFile(step.value)) return Fail(engine.LastError);
        break;
      case vantrel::cli::Step::Output:
        if (!engine.OpenOutputFile(step.value)) return Fail(engine.LastError);
        break;
      case vantrel::cli::Step::Option:
        try {
          engine.SetOption(step.name, step.value);
        } catch (const std::exception& e) {
          return Fail(e.what());
        }
        break;
    }
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  vantrel::cli::Arguments args;
  try {
    args = vantrel::cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc),
                                        &TCustomFFmpeg::OptionTakesNoValue);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "vantrel-cli: %s\n%s", e.what(), vantrel::cli::kUsage);
    return kExitUsage;
  }
  if (args.help) {
    std::fputs(vantrel::cli::kUsage, stdout);
    return kExitOk;
  }
  if (!vantrel::LoadLibraries(args.libDir, !args.unversioned)) return Fail(vantrel::GetLoadError());

  lav::av_log_set_callback(PrintLibraryLine);
  StopSignals signals;
  Termination termination;
  ConsoleOutput console;
  int status = kExitOk;
  {
    TCustomFFmpeg engine;
    engine.ResetEngine();
    engine.OnLog = [&console](TCustomFFmpeg*, int level, const std::string& msg) {
      // The error that ends the job is printed once, as the tool's own message.
      if (level >= 0) console.Line(msg);
    };
    engine.OnProgressLine = [&console](TCustomFFmpeg*, const std::string& line, bool last) {
      console.Progress(line, last);
    };
    engine.OnTerminate = [&termination](TCustomFFmpeg*) { termination.Signal(); };
    status = ApplySteps(engine, args);
    if (status == kExitOk) {
      signals.Watch(engine);
      if (auto thread = engine.StartJob(true, vantrel::tpNormal)) thread->Resume();
      termination.Wait();
      signals.Finish();
      if (signals.Received() && !engine.ErrorOccurred) status = kExitInterrupted;
      else if (engine.ErrorOccurred) status = Fail(engine.ErrorMessage);
      else if (!engine.Completed) status = kExitInterrupted;
    }
  }
  // The libraries stay loaded until the process ends: unloading them at exit
  // gains nothing, and unmapping them turns their own process-lifetime
  // allocations into leaks in the eyes of the leak checker.
  return status;
}
