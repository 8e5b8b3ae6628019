// The user-interface thread's event loop, as the converter sees it: a place
// to run a call later, from a fresh turn of the loop. The GUI gives its own
// loop; tests and command-line tools use TSimpleMainLoop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace vantrel {

class TMainLoop {
 public:
  virtual ~TMainLoop() = default;
  // Runs Call on the loop's thread once Delay has passed, after the current
  // call chain has returned. May be called from any thread.
  virtual void Post(std::chrono::milliseconds Delay, std::function<void()> Call) = 0;
};

// A loop of the program's own: calls posted to it run on the thread that
// runs the loop, in the order they fall due.
class TSimpleMainLoop final : public TMainLoop {
 public:
  using Clock = std::chrono::steady_clock;

  void Post(std::chrono::milliseconds Delay, std::function<void()> Call) override;
  // Runs due calls until Done() is true after a call (checked before the
  // first wait too) or Timeout has passed; false on timeout.
  bool RunUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout);
  // Wakes a RunUntil whose Done may have become true on another thread.
  void Wake();

 private:
  struct TPosted {
    Clock::time_point due;
    unsigned long long order;
    std::function<void()> call;
  };
  bool TakeDue(std::unique_lock<std::mutex>& lock, Clock::time_point limit, std::function<void()>& call);

  std::mutex m_;
  std::condition_variable cv_;
  std::vector<TPosted> posted_;
  unsigned long long next_ = 0;
};

}  // namespace vantrel
