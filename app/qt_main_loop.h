// The converter's view of the user-interface loop, on Qt: a posted call
// hops to the context object's thread first, since a timer can only be
// started there; a call still queued when the context goes is dropped.
#pragma once

#include <QObject>

#include "converter/main_loop.h"

namespace vantrel::app {

class QtMainLoop final : public TMainLoop {
 public:
  // context lives on the thread whose loop runs the calls and outlives the
  // converter that posts to it.
  explicit QtMainLoop(QObject* context) : context_(context) {}
  void Post(std::chrono::milliseconds Delay, std::function<void()> Call) override;

 private:
  QObject* context_;
};

}  // namespace vantrel::app
