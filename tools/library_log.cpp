#include "library_log.h"

#include <atomic>
#include <cstdio>

#include "binding/av_binding.h"
#include "converter/log_routing.h"
#include "engine/engine.h"
#include "engine/log_threshold.h"

namespace vantrel::cli {
namespace {

std::atomic<bool> gMuted{false};

std::function<void(const std::string&)>& Writer() {
  static std::function<void(const std::string&)> write = [](const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
  };
  return write;
}

RepeatCollapser& Collapser() {
  static RepeatCollapser collapser([](const std::string& text) { Writer()(text); });
  return collapser;
}

class ToolLogRoute final : public TLogRoute {
 public:
  void DispatchLibLog(TThreadID, int, const std::string& ALine) override {
    if (!gMuted) Collapser().Add(ALine + "\n");
  }
};

}  // namespace

void RepeatCollapser::Add(const std::string& text) {
  if (text.empty()) return;
  std::lock_guard<std::mutex> lock(m_);
  const bool whole = text.back() == '\n';
  if (whole && text == last_) {
    ++repeats_;
    return;
  }
  FlushLocked();
  last_ = whole ? text : std::string();
  write_(text);
}

void RepeatCollapser::Flush() {
  std::lock_guard<std::mutex> lock(m_);
  FlushLocked();
  last_.clear();
}

void RepeatCollapser::FlushLocked() {
  if (repeats_ > 0) write_("    Last message repeated " + std::to_string(repeats_) + " times\n");
  repeats_ = 0;
}

void InstallLibraryLog(std::function<void(const std::string&)> Write) {
  // Set before the callback exists, so no library line sees it change.
  if (Write) Writer() = std::move(Write);
  // Registered for the rest of the process: library threads may log until
  // it ends.
  static ToolLogRoute route;
  RegisterLogRoute(&route);
  lav::av_log_set_callback(LibLogCallback);
}
void SetLibraryLogMuted(bool muted) { gMuted = muted; }
void FlushLibraryLog() { Collapser().Flush(); }

namespace {
int ShownFromVerbosityZero(int Verbose) { return Verbose == 0 ? 1 : Verbose; }
}  // namespace

void FollowEngineVerbosity(int Verbose) {
  SetVerbosityThresholdMap(ShownFromVerbosityZero);
  SetLibraryLogThreshold(ShownFromVerbosityZero(Verbose));
}

}  // namespace vantrel::cli
