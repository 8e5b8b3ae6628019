#include "library_log.h"

#include <atomic>
#include <cstdio>

#include "binding/av_binding.h"
#include "engine/engine.h"

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

// From 0 up the format reports of opened files show, 2 adds debug lines. The
// engine's verbosity, not the libraries' own level, decides.
int LibraryLogLimit(int verbose) {
  if (verbose < 0) return AV_LOG_QUIET;
  if (verbose < 2) return AV_LOG_INFO;
  return verbose == 2 ? AV_LOG_DEBUG : AV_LOG_TRACE;
}

void PrintLibraryLine(void* avcl, int level, const char* fmt, va_list vl) {
  if (gMuted || level > LibraryLogLimit(vantrel::LibraryLogThreshold())) return;
  static thread_local int printPrefix = 1;
  char line[2048];
  lav::av_log_format_line2(avcl, level, fmt, vl, line, sizeof line, &printPrefix);
  Collapser().Add(line);
}

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
  lav::av_log_set_callback(PrintLibraryLine);
}
void SetLibraryLogMuted(bool muted) { gMuted = muted; }
void FlushLibraryLog() { Collapser().Flush(); }

}  // namespace vantrel::cli
