#include "binding/helpers.h"

#include <sys/stat.h>

#include <climits>
#include <cmath>

#include "binding/av_functions.h"

namespace vantrel {

void ExtractToken(std::string& S, const std::string& Delimiter, bool Remove, std::string& Head) {
  const size_t at = Delimiter.empty() ? std::string::npos : S.find(Delimiter);
  if (at == std::string::npos) {
    Head = S;
    if (Remove) S.clear();
    return;
  }
  Head = S.substr(0, at);
  if (Remove) S.erase(0, at + Delimiter.size());
}

int64_t FileSizeOf(const std::string& FileName) {
  struct stat st;
  if (FileName.empty() || ::stat(FileName.c_str(), &st) != 0) return -1;
  return int64_t(st.st_size);
}

int CompareRational(AVRational a, AVRational b) {
  const int64_t d = int64_t(a.num) * b.den - int64_t(b.num) * a.den;
  return d > 0 ? 1 : d < 0 ? -1 : 0;
}

double RationalToDouble(AVRational a) { return double(a.num) / double(a.den); }

AVRational SubRational(AVRational a, AVRational b) {
  AVRational r;
  lav::av_reduce(&r.num, &r.den, int64_t(a.num) * b.den - int64_t(b.num) * a.den,
                 int64_t(a.den) * b.den, INT_MAX);
  return r;
}

AVRational DoubleToRational(double d, int max) {
  if (std::isnan(d)) return AVRational{0, 0};
  if (std::isinf(d)) return AVRational{d < 0 ? -1 : 1, 0};
  int exponent = int(std::nearbyint(std::log(std::fabs(d) + 1e-20) / std::log(2.0)));
  if (exponent < 0) exponent = 0;
  // Beyond 2^61 the value no longer fits the 64-bit numerator: take it whole.
  if (exponent > 61) exponent = 61;
  const int64_t den = int64_t(1) << (61 - exponent);
  const double scaled = d * double(den) + 0.5;
  const int64_t num = scaled >= 9.2e18 ? INT64_MAX : scaled <= -9.2e18 ? INT64_MIN + 1 : int64_t(scaled);
  AVRational r;
  lav::av_reduce(&r.num, &r.den, num, den, max);
  return r;
}

int64_t SatRescale(int64_t a, AVRational from, AVRational to) {
  const int64_t r = lav::av_rescale_q(a, from, to);
  if (r != INT64_MIN) return r;
  // Only an overflow gives INT64_MIN: its direction is the sign of the result.
  const bool negative = (a < 0) != ((int64_t(from.num) * to.den < 0) != (int64_t(to.num) * from.den < 0));
  return negative ? -INT64_MAX : INT64_MAX;
}

int64_t SatRound(double x) {
  const double r = std::nearbyint(x);
  if (std::isnan(r)) return 0;
  // 2^63 is the first double beyond the range; the cast below is exact then.
  if (r >= 9223372036854775808.0) return INT64_MAX;
  if (r <= -9223372036854775808.0) return -INT64_MAX;
  return SatClamp(int64_t(r));
}

std::string LibraryErrorText(int Code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  lav::av_strerror(Code, text, sizeof text);
  return text;
}

}  // namespace vantrel
