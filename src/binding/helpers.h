// Small helpers shared by the engine, the component and the log routing.
#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/rational.h>
}

namespace vantrel {

// Head := S up to the first Delimiter; with Remove, S := the text after it.
// Without a Delimiter in S, Head := S and, with Remove, S becomes empty.
void ExtractToken(std::string& S, const std::string& Delimiter, bool Remove, std::string& Head);

// Size in bytes of an existing file, -1 when there is none.
int64_t FileSizeOf(const std::string& FileName);

// Sign of a - b, computed in 64 bits.
int CompareRational(AVRational a, AVRational b);
double RationalToDouble(AVRational a);
// a - b, reduced to terms of at most 2147483647 (needs the libraries loaded).
AVRational SubRational(AVRational a, AVRational b);
// The nearest fraction with terms of at most max (needs the libraries loaded).
AVRational DoubleToRational(double d, int max);

// Time stamp arithmetic on values read from a file, which may hold any
// 64-bit number: the result is held within +-INT64_MAX instead of wrapping,
// so it never becomes INT64_MIN, the libraries' "no time stamp".
inline int64_t SatClamp(int64_t a) { return a == INT64_MIN ? -INT64_MAX : a; }
inline int64_t SatAdd(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_add_overflow(a, b, &r)) return b > 0 ? INT64_MAX : -INT64_MAX;
  return SatClamp(r);
}
inline int64_t SatSub(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_sub_overflow(a, b, &r)) return b < 0 ? INT64_MAX : -INT64_MAX;
  return SatClamp(r);
}
inline int64_t SatMul(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_mul_overflow(a, b, &r)) return (a < 0) != (b < 0) ? -INT64_MAX : INT64_MAX;
  return SatClamp(r);
}
// a from one time base to another; the library gives INT64_MIN when the
// result does not fit, this gives the nearest end (needs the libraries loaded).
int64_t SatRescale(int64_t a, AVRational from, AVRational to);
// x rounded to the nearest integer, held within +-INT64_MAX; NaN gives 0.
int64_t SatRound(double x);
// a * scale, rounded as SatRound does.
inline int64_t SatScale(int64_t a, double scale) { return SatRound(double(a) * scale); }

// The libraries' own text for an error code (av_strerror).
std::string LibraryErrorText(int Code);

}  // namespace vantrel
