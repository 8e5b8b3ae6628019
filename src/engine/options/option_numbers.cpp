// Number conversions of option values. They never consult the locale, so a
// user's decimal comma cannot change what an option means.
#include "engine/option_numbers.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <optional>

#include "binding/message_format.h"

namespace vantrel {
namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The magnitude of the digits of [p, end) in the given base; nothing when a
// character is not a digit, there is none, or the value exceeds Limit.
std::optional<uint64_t> ParseDigits(const char* p, const char* end, int base, uint64_t Limit) {
  if (p == end) return std::nullopt;
  uint64_t v = 0;
  for (; p != end; ++p) {
    const int d = HexDigit(*p);
    if (d < 0 || d >= base) return std::nullopt;
    if (v > (Limit - d) / base) return std::nullopt;
    v = v * base + d;
  }
  return v;
}

// Signed integer of Bits bits (32 or 64), nothing when Text is not one.
std::optional<int64_t> ParseInteger(const std::string& Text, int Bits) {
  const char* p = Text.data();
  const char* end = p + Text.size();
  while (p != end && *p == ' ') ++p;
  bool negative = false;
  if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  int base = 10;
  if (p != end && (*p == '$' || *p == 'x' || *p == 'X')) {
    base = 16;
    ++p;
  } else if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    base = 16;
    p += 2;
  }
  const uint64_t signedMax = Bits == 64 ? uint64_t(INT64_MAX) : uint64_t(INT32_MAX);
  // Hexadecimal is a bit pattern: the full unsigned range of the width.
  const uint64_t limit = base == 16 ? (Bits == 64 ? UINT64_MAX : UINT32_MAX)
                                    : signedMax + (negative ? 1 : 0);
  const auto magnitude = ParseDigits(p, end, base, limit);
  if (!magnitude) return std::nullopt;
  uint64_t bits = negative ? 0 - *magnitude : *magnitude;
  if (Bits == 32) return int64_t(int32_t(uint32_t(bits)));
  return int64_t(bits);
}

std::optional<double> ParseFloat(const std::string& Text) {
  const std::string t = TrimText(Text);
  const char* p = t.data();
  const char* end = p + t.size();
  bool negative = false;
  if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
  // Only digits or a point may start the number: no "inf", "nan", no sign twice.
  if (p == end || !((*p >= '0' && *p <= '9') || *p == '.')) return std::nullopt;
  double v = 0;
  const auto r = std::from_chars(p, end, v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != end || !std::isfinite(v)) return std::nullopt;
  return negative ? -v : v;
}

}  // namespace

std::string TrimText(const std::string& Text) {
  size_t b = 0, e = Text.size();
  while (b < e && IsBlank(Text[b])) ++b;
  while (e > b && IsBlank(Text[e - 1])) --e;
  return Text.substr(b, e - b);
}

int32_t StrToInt(const std::string& Text) {
  const auto v = ParseInteger(Text, 32);
  if (!v) throw EConvertError(Format("'%s' is not a valid integer value", Text));
  return int32_t(*v);
}

int64_t StrToInt64(const std::string& Text) {
  const auto v = ParseInteger(Text, 64);
  if (!v) throw EConvertError(Format("'%s' is not a valid integer value", Text));
  return *v;
}

int32_t StrToIntDef(const std::string& Text, int32_t Default) {
  const auto v = ParseInteger(Text, 32);
  return v ? int32_t(*v) : Default;
}

double StrToFloat(const std::string& Text) {
  const auto v = ParseFloat(Text);
  if (!v) throw EConvertError(Format("'%s' is not a valid floating point value", Text));
  return *v;
}

float StrToSingle(const std::string& Text) {
  const double v = StrToFloat(Text);
  if (std::fabs(v) > double(FLT_MAX))
    throw EConvertError(Format("'%s' is not a valid floating point value", Text));
  return float(v);
}

double StrToFloatDef(const std::string& Text, double Default) {
  const auto v = ParseFloat(Text);
  return v ? *v : Default;
}

}  // namespace vantrel
