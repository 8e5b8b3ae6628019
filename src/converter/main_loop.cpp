#include "converter/main_loop.h"

#include <algorithm>

namespace vantrel {

void TSimpleMainLoop::Post(std::chrono::milliseconds Delay, std::function<void()> Call) {
  {
    std::lock_guard<std::mutex> lock(m_);
    posted_.push_back({Clock::now() + Delay, next_++, std::move(Call)});
  }
  cv_.notify_all();
}

void TSimpleMainLoop::Wake() {
  { std::lock_guard<std::mutex> lock(m_); }
  cv_.notify_all();
}

// Takes the earliest call that is due, or waits until one is, something is
// posted or woken, or the limit passes. Returns false when nothing was taken.
bool TSimpleMainLoop::TakeDue(std::unique_lock<std::mutex>& lock, Clock::time_point limit,
                              std::function<void()>& call) {
  auto first = std::min_element(posted_.begin(), posted_.end(), [](const TPosted& a, const TPosted& b) {
    return a.due != b.due ? a.due < b.due : a.order < b.order;
  });
  const Clock::time_point now = Clock::now();
  if (first != posted_.end() && first->due <= now) {
    call = std::move(first->call);
    posted_.erase(first);
    return true;
  }
  const Clock::time_point until = first != posted_.end() ? std::min(first->due, limit) : limit;
  cv_.wait_until(lock, until);
  return false;
}

bool TSimpleMainLoop::RunUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout) {
  const Clock::time_point limit = Clock::now() + Timeout;
  while (!Done()) {
    if (Clock::now() >= limit) return false;
    std::function<void()> call;
    bool taken;
    {
      std::unique_lock<std::mutex> lock(m_);
      taken = TakeDue(lock, limit, call);
    }
    // Outside the lock: the call may post again.
    if (taken) call();
  }
  return true;
}

}  // namespace vantrel
