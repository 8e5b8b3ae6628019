// Which library log lines a thread lets through. Each engine applies its own
// verbosity on the threads where it works (opening its files, running its
// job), so two jobs at different levels each get their own lines; a thread
// that works for no engine (a codec's own worker threads, the window) uses
// the process's threshold (LibraryLogThreshold).
#pragma once

namespace vantrel {

// The threshold of the engine working on this thread, else the process's.
int ThreadLogThreshold();

// How this process turns an engine's verbosity into the threshold of the
// threads it works on: unchanged unless a front end shows more (the
// command-line tool shows the libraries' information lines from verbosity 0
// up). Set once at start, before any engine works.
using TVerbosityThresholdMap = int (*)(int Verbose);
void SetVerbosityThresholdMap(TVerbosityThresholdMap Map);

// Applies an engine's verbosity to the calling thread for its lifetime and
// gives the thread back what it had (a job run from another job's handler
// nests).
class TScopedLogThreshold {
 public:
  explicit TScopedLogThreshold(int Level);
  ~TScopedLogThreshold();
  TScopedLogThreshold(const TScopedLogThreshold&) = delete;
  TScopedLogThreshold& operator=(const TScopedLogThreshold&) = delete;

 private:
  int saved_;
};

// Lets no library line through on the calling thread for its lifetime:
// values tried on scratch objects, whose refusal the engine reports itself.
class TQuietLibraryLog {
 public:
  TQuietLibraryLog();
  ~TQuietLibraryLog();
  TQuietLibraryLog(const TQuietLibraryLog&) = delete;
  TQuietLibraryLog& operator=(const TQuietLibraryLog&) = delete;

 private:
  int saved_;
};

}  // namespace vantrel
