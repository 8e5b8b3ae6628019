// The libraries' log lines on stderr, a run of identical lines collapsed.
#pragma once

#include <functional>
#include <mutex>
#include <string>

namespace vantrel::cli {

// Collapses a run of identical lines: the first is written, the repeats are
// counted and reported as "Last message repeated N times" when a different
// line comes or at Flush. Safe to call from several threads.
class RepeatCollapser {
 public:
  explicit RepeatCollapser(std::function<void(const std::string&)> write) : write_(std::move(write)) {}
  // One piece of text; only whole lines (ending in '\n') count as repeats.
  void Add(const std::string& text);
  void Flush();

 private:
  void FlushLocked();

  std::function<void(const std::string&)> write_;
  std::mutex m_;
  std::string last_;
  int repeats_ = 0;
};

// Installs the libraries' log callback shared with the converter and
// registers the tool as a receiver of its lines: they go to Write (stderr
// when empty) as whole lines, filtered by the library log threshold and
// collapsed; while muted nothing is written. Write must stay valid until the
// process ends.
void InstallLibraryLog(std::function<void(const std::string&)> Write = {});
void SetLibraryLogMuted(bool muted);
void FlushLibraryLog();
// The tool has always shown the libraries' warnings and information lines
// (the reports of opened files among them) from verbosity 0 up, where an
// engine's threshold of 0 keeps their errors only. Its one engine's
// verbosity is the process's: the threshold of the threads where the engine
// works and of the libraries' own threads alike. Call after anything that
// may have set the verbosity.
void FollowEngineVerbosity(int Verbose);

}  // namespace vantrel::cli
