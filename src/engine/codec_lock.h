// Holding the codec lock (CodecLock) around a codec's open or close. The
// libraries may log while it is held; those lines must not reach a log
// handler then, since a handler may be slow, or wait for a thread that is
// about to open a codec itself. So what a thread wants to run "once the
// lock is let go" waits until its outermost guard has released it.
#pragma once

#include <functional>

namespace vantrel {

class TCodecLockGuard {
 public:
  TCodecLockGuard();
  // Releases the lock, then runs what was put off while it was held.
  ~TCodecLockGuard();
  TCodecLockGuard(const TCodecLockGuard&) = delete;
  TCodecLockGuard& operator=(const TCodecLockGuard&) = delete;
};

// Whether this thread holds the codec lock through a guard.
bool CodecLockHeldHere();
// Runs Call now, or, while this thread holds the codec lock, right after
// its guard has released it (in the order given).
void RunOutsideCodecLock(std::function<void()> Call);

}  // namespace vantrel
