#include "app/output_check.h"

#include <QFile>
#include <cstdlib>

#include "converter/av_probe.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace vantrel::app {

bool OutputReadable(const QString& path, int64_t convertedMs) {
  TAVProbe probe;
  if (!probe.OpenFile(QFile::encodeName(path).toStdString())) return false;
  TAVFileInfo info{};
  probe.GetInfo(info);
  if (info.Duration == AV_NOPTS_VALUE || info.Duration < 0) return false;
  if (convertedMs < 0) return true;
  return std::llabs(info.Duration / 1000 - convertedMs) <= kOutputDurationToleranceMs;
}

}  // namespace vantrel::app
