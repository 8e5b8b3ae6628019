// Conversions between the records' local date and time and Unix seconds.
#include <cmath>
#include <ctime>

#include "converter/apply_options.h"

namespace vantrel {
namespace {

constexpr double kUnixEpochDay = 25569;  // 1 January 1970
constexpr double kSecondsPerDay = 86400;

}  // namespace

int64_t DateTimeToUnixUTC(TDateTime DateTime) {
  tzset();
  // timezone: seconds west of UTC outside daylight-saving time.
  const double offsetDays = -double(timezone) / kSecondsPerDay;
  const double seconds = std::nearbyint((DateTime - kUnixEpochDay - offsetDays) * kSecondsPerDay);
  // Far outside any real date; held at the limits instead of overflowing.
  if (std::isnan(seconds)) return 0;
  if (seconds > 9.2e18) return INT64_MAX;
  if (seconds < -9.2e18) return INT64_MIN;
  return int64_t(seconds);
}

TDateTime NowAsDateTime() {
  tzset();
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  const double seconds = double(now.tv_sec) + double(local.tm_gmtoff) + double(now.tv_nsec) / 1e9;
  return kUnixEpochDay + seconds / kSecondsPerDay;
}

}  // namespace vantrel
