#include "converter/event_order.h"

namespace vantrel {

TEventOrder::TTurn TEventOrder::Take() {
  std::lock_guard<std::mutex> lock(m_);
  return runner_ == std::this_thread::get_id() ? kNested : next_++;
}

void TEventOrder::Run(TTurn Turn, const std::function<void()>& Call) {
  if (Turn == kNested) {
    Call();
    return;
  }
  std::unique_lock<std::mutex> lock(m_);
  cv_.wait(lock, [&] { return serving_ == Turn; });
  runner_ = std::this_thread::get_id();
  lock.unlock();
  struct PassOn {
    TEventOrder& order;
    ~PassOn() {
      std::lock_guard<std::mutex> lock(order.m_);
      order.runner_ = {};
      ++order.serving_;
      order.cv_.notify_all();
    }
  } passOn{*this};
  Call();
}

}  // namespace vantrel
