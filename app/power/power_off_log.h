// A power-off that only writes down that it was asked for. The program's
// own tests run the real window on a real desktop, and a mistake there must
// never switch the machine off: with VANTREL_POWER_OFF_LOG naming a file,
// every request appends one line to that file instead of reaching logind.
#pragma once

#include <QString>
#include <memory>

#include "app/shutdown_requester.h"

namespace vantrel::app {

inline constexpr char kPowerOffLogVariable[] = "VANTREL_POWER_OFF_LOG";
inline constexpr char kPowerOffLogLine[] = "power-off requested";

class PowerOffLog final : public ShutdownRequester {
 public:
  explicit PowerOffLog(QString path) : path_(std::move(path)) {}
  void RequestPowerOff() override;

 private:
  QString path_;
};

// The log when the environment names one, logind otherwise.
std::unique_ptr<ShutdownRequester> PowerOffForEnvironment();

}  // namespace vantrel::app
