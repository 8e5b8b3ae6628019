// Powering the computer off after a completed batch, behind an interface so
// that tests can count the requests instead of acting on them.
#pragma once

namespace vantrel::app {

class ShutdownRequester {
 public:
  virtual ~ShutdownRequester() = default;
  // Asks the system to power off, closing the other programs; returns at once.
  virtual void RequestPowerOff() = 0;
};

}  // namespace vantrel::app
