// What vantrel-cli prints on stderr: the engine's log lines, the libraries'
// lines and the progress line share it.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace vantrel::cli {

// On a terminal the progress line is rewritten in place ('\r'); elsewhere (a
// pipe, a file) each report is a line of its own. The engine hands the
// progress line to Progress, so it never has to be recognised among the log
// lines by its text. Safe to call from several threads.
class ConsoleOutput {
 public:
  explicit ConsoleOutput(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}
  void Progress(const std::string& line, bool last);
  // An engine line: it ends an open progress line and follows it.
  void Line(std::string msg);
  // Library text as it is to be written. Whole lines take the place of an
  // open progress line, which is drawn again below them; an unfinished
  // piece ends it instead.
  void LibraryText(const std::string& text);

 private:
  void EndProgress();

  std::mutex m_;
  std::FILE* const out_;
  const bool terminal_;
  std::string progress_;  // the progress line on screen, empty when none is open
};

}  // namespace vantrel::cli
