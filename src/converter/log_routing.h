// Library log lines, routed. The codec libraries log through one
// process-wide callback, in pieces and from any thread; LibLogCallback
// assembles the pieces into whole lines per thread and hands every line to
// every registered route (the converter components, the command-line tool),
// which find the job that wrote it by the thread id.
#pragma once

#include <condition_variable>
#include <cstdarg>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine_thread.h"

namespace vantrel {

// Receives whole library lines, without their line feed, with the level on
// the engines' scale (-1 quiet .. 3 everything). Called on the thread that
// logged, with no lock held: lines of different threads may arrive at once.
class TLogRoute {
 public:
  virtual void DispatchLibLog(TThreadID AThreadID, int ALevel, const std::string& ALine) = 0;

 protected:
  ~TLogRoute() = default;
};

// The live routes in registration order. A line goes to each route without
// any lock held around the route's handler; the registry only counts the
// lines on their way, so that a route that goes away waits for them.
class TConverterRegistry {
 public:
  void Register(TLogRoute* ARoute);
  // Once this returns, no library line is being delivered to ARoute on any
  // other thread. A route may unregister from its own handler.
  void Unregister(TLogRoute* ARoute);
  std::vector<TLogRoute*> Routes() const;
  // Hands the line to ARoute unless it has been unregistered.
  void Deliver(TLogRoute* ARoute, TThreadID AThreadID, int ALevel, const std::string& ALine);

 private:
  struct TDelivery {
    TLogRoute* route;
    std::thread::id thread;
  };
  bool Delivering(TLogRoute* ARoute, std::thread::id AExcept) const;

  mutable std::mutex lock_;
  std::condition_variable done_;
  std::vector<TLogRoute*> routes_;
  std::vector<TDelivery> deliveries_;
};

TConverterRegistry& ConverterRegistry();
void RegisterLogRoute(TLogRoute* ARoute);
void UnregisterLogRoute(TLogRoute* ARoute);

// The unfinished tails of library lines, one node per thread that has
// logged. The head node lives inside the list; the others are chained after
// it and only ever freed all together by Clear, so a node stays put until
// then.
class TLogList {
 public:
  struct TNode {
    TThreadID ThreadID = 0;  // 0: the head node is free
    std::string Text;        // what came after the last line feed
    std::unique_ptr<TNode> Next;
  };

  TLogList() = default;
  TLogList(const TLogList&) = delete;
  TLogList& operator=(const TLogList&) = delete;
  ~TLogList() { Clear(); }

  // The node of AThreadID, made when missing. Call with Guard() held; the
  // node is valid until Clear.
  TNode* GetThreadBuffer(TThreadID AThreadID);
  // Frees every chained node and empties the head. Takes Guard() itself.
  void Clear();
  // The innermost lock of the log path: Clear may run under a component's
  // own lock. Nothing else is locked or called while this is held.
  std::mutex& Guard() { return guard_; }

 private:
  std::mutex guard_;
  TNode head_;
};

TLogList& LogBuffers();
// Discards every unfinished tail (at the start and the end of a batch).
void ClearLogBuffers();

// The engines' level of a library level (AV_LOG_*). The libraries log on a
// scale of their own (-8 quiet, 0 panic .. 56 trace) while the threshold and
// everything after it speak the engines' -1..3; each band is given the
// engine level whose lines it resembles: quiet -1; panic, fatal and error 0;
// warning and info 1; verbose and debug 2; trace and beyond 3.
int EngineLevelOfLibraryLevel(int ALibraryLevel);

// The callback to install with av_log_set_callback. A message whose level
// is above ThreadLogThreshold() (the level of the engine working on the
// thread, else the process's) is dropped before anything else. A line
// begins with "[item @ ADDRESS]" (the context's item name and the address of
// its class, upper-case hex) unless it continues an unfinished tail of the
// same thread; a line longer than the 2048-byte line buffer is cut.
void LibLogCallback(void* avcl, int level, const char* fmt, va_list vl);

}  // namespace vantrel
