// The product's power-off: systemd-logind's PowerOff over the system bus.
// Kept out of the application library, which needs Qt Core only.
#pragma once

#include "app/shutdown_requester.h"

namespace vantrel::app {

class LogindShutdown final : public ShutdownRequester {
 public:
  // Interactive: logind may ask for authorisation (polkit) when the user may
  // not power off on their own. The answer is not awaited.
  void RequestPowerOff() override;
};

}  // namespace vantrel::app
