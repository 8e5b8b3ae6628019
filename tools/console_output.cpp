#include "console_output.h"

#include "library_log.h"

namespace vantrel::cli {

void ConsoleOutput::Progress(const std::string& line, bool last) {
  // A count of repeated library lines belongs before the report, not after
  // the reports that followed them.
  FlushLibraryLog();
  std::lock_guard<std::mutex> lock(m_);
  if (terminal_) {
    std::fprintf(out_, "%s\r", line.c_str());
    progress_ = last ? std::string() : line;
    if (last) std::fputc('\n', out_);
  } else {
    std::fprintf(out_, "%s\n", line.c_str());
  }
  std::fflush(out_);
}

void ConsoleOutput::Line(std::string msg) {
  std::lock_guard<std::mutex> lock(m_);
  while (!msg.empty() && (msg.back() == '\n' || msg.back() == '\r')) msg.pop_back();
  EndProgress();
  std::fprintf(out_, "%s\n", msg.c_str());
  std::fflush(out_);
}

void ConsoleOutput::LibraryText(const std::string& text) {
  std::lock_guard<std::mutex> lock(m_);
  if (progress_.empty() || text.empty() || text.back() != '\n') {
    EndProgress();
    std::fputs(text.c_str(), out_);
  } else {
    // Over the progress line: what is longer than the library line's first
    // line is blanked out, then the progress line comes back underneath.
    const size_t firstEnd = text.find('\n');
    const size_t blank = progress_.size() > firstEnd ? progress_.size() - firstEnd : 0;
    std::fprintf(out_, "\r%s%s%s%s\r", text.substr(0, firstEnd).c_str(), std::string(blank, ' ').c_str(),
                 text.substr(firstEnd).c_str(), progress_.c_str());
  }
  std::fflush(out_);
}

void ConsoleOutput::EndProgress() {
  if (!progress_.empty()) std::fputc('\n', out_);
  progress_.clear();
}

}  // namespace vantrel::cli
