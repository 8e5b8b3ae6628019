#include "engine/codec_lock.h"

#include <utility>
#include <vector>

#include "engine/engine.h"

namespace vantrel {
namespace {

thread_local int tHeld = 0;
thread_local std::vector<std::function<void()>> tPutOff;

}  // namespace

TCodecLockGuard::TCodecLockGuard() {
  CodecLock().lock();
  ++tHeld;
}

TCodecLockGuard::~TCodecLockGuard() {
  --tHeld;
  CodecLock().unlock();
  if (tHeld > 0) return;
  // A call may log again and put more off; it runs at once now.
  std::vector<std::function<void()>> calls = std::exchange(tPutOff, {});
  for (auto& call : calls) {
    // Runs while the stack may be unwinding from a failed open: nothing
    // may leave here.
    try {
      call();
    } catch (...) {
    }
  }
}

bool CodecLockHeldHere() { return tHeld > 0; }

void RunOutsideCodecLock(std::function<void()> Call) {
  if (tHeld > 0)
    tPutOff.push_back(std::move(Call));
  else
    Call();
}

}  // namespace vantrel
