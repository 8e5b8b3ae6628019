#include "app/power/power_off_log.h"

#include <QFile>

#include "app/power/logind_shutdown.h"

namespace vantrel::app {

void PowerOffLog::RequestPowerOff() {
  QFile log(path_);
  // Appended, so that a test sees every request a run made, not the last.
  if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text) ||
      log.write(QByteArray(kPowerOffLogLine) + '\n') < 0)
    qWarning("Cannot write the power-off request to %s: %s", qPrintable(path_), qPrintable(log.errorString()));
}

std::unique_ptr<ShutdownRequester> PowerOffForEnvironment() {
  const QString log = qEnvironmentVariable(kPowerOffLogVariable);
  if (!log.isEmpty()) return std::make_unique<PowerOffLog>(log);
  return std::make_unique<LogindShutdown>();
}

}  // namespace vantrel::app
