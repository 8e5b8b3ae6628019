// The order in which the component's events reach its owner. Each event is
// given its turn while the component's state is locked (so the turns follow
// the state's order: a task's end before the batch's), and runs on the
// thread that raised it once every earlier turn has run, with no lock held:
// a handler may call the component, and the window's thread never waits for
// a handler of another thread to take a lock the component needs.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace vantrel {

class TEventOrder {
 public:
  using TTurn = uint64_t;

  // The next turn; every turn taken must be passed to Run exactly once. An
  // event raised by a handler on its own thread gets no turn of its own: it
  // runs at once, inside the handler's, as a nested call would.
  TTurn Take();
  // Waits for the turn, runs Call and passes the turn on (also when Call
  // throws).
  void Run(TTurn Turn, const std::function<void()>& Call);

 private:
  static constexpr TTurn kNested = ~TTurn(0);

  std::mutex m_;
  std::condition_variable cv_;
  TTurn next_ = 0;
  TTurn serving_ = 0;
  std::thread::id runner_;
};

}  // namespace vantrel
