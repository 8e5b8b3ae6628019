// What values the options of the table can take, checked before a handler
// runs. A value a handler cannot use would otherwise be replaced by a
// default or dropped, and the job would report success for something it
// was not asked to do.
#include <array>

#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/option_numbers.h"

namespace vantrel {
namespace {

using S = const std::string&;

template <auto Parse>
bool Parses(S v) {
  try {
    Parse(v);
    return true;
  } catch (const EConvertError&) {
    return false;
  }
}

constexpr auto IsInteger = Parses<&StrToInt>;
constexpr auto IsInteger64 = Parses<&StrToInt64>;
constexpr auto IsDecimal = Parses<&StrToSingle>;

bool IsPositiveInteger(S v) { return IsInteger(v) && StrToInt(v) > 0; }

bool IsNonNegativeDecimal(S v) { return IsDecimal(v) && StrToSingle(v) >= 0; }

// Durations use the libraries' syntax ("90", "1:30", "1.5", "500ms"), as
// the time handlers do. Empty leaves the setting alone.
bool ParseDuration(S v, int64_t& us) { return lav::av_parse_time(&us, v.c_str(), 1) >= 0; }

bool IsDuration(S v) {
  int64_t us = 0;
  return v.empty() || ParseDuration(v, us);
}

bool IsPositiveDuration(S v) {
  int64_t us = 0;
  return v.empty() || (ParseDuration(v, us) && us > 0);
}

bool IsNonNegativeDuration(S v) {
  int64_t us = 0;
  return v.empty() || (ParseDuration(v, us) && us >= 0);
}

// The library refuses rates that are not positive.
bool IsFrameRate(S v) {
  AVRational rate{0, 1};
  return v.empty() || lav::av_parse_video_rate(&rate, v.c_str()) >= 0;
}

bool IsFrameSize(S v) {
  int w = 0, h = 0;
  return v.empty() || lav::av_parse_video_size(&w, &h, v.c_str()) >= 0;
}

// Read by a fresh codec holder, as SetBitrate's value will be, so "96k"
// passes. 0 is the library's "none given": no encoder can use it as a
// rate asked for.
bool IsBitRate(S v) {
  if (v.empty()) return true;
  const CodecContextPtr holder(lav::avcodec_alloc_context3(nullptr));
  int64_t bits = 0;
  return holder && lav::av_opt_set(holder.get(), "b", v.c_str(), 0) >= 0 &&
         lav::av_opt_get_int(holder.get(), "b", 0, &bits) >= 0 && bits > 0;
}

struct ValueRule {
  const char* name;
  bool (*accepts)(S value);
};

// Options whose value is a number, a duration, a size or a rate.
constexpr auto kValueRules = std::to_array<ValueRule>({
    {"b", IsBitRate},
    {"vb", IsBitRate},
    {"ab", IsBitRate},
    {"t", IsPositiveDuration},
    {"ss", IsNonNegativeDuration},
    {"itsoffset", IsDuration},
    {"fs", IsInteger64},
    {"r", IsFrameRate},
    {"s", IsFrameSize},
    {"ar", IsPositiveInteger},
    {"ac", IsPositiveInteger},
    {"muxdelay", IsNonNegativeDecimal},
    {"muxpreload", IsNonNegativeDecimal},
    {"adrift_threshold", IsDecimal},
    {"dts_delta_threshold", IsDecimal},
    {"qscale", IsDecimal},
    {"aq", IsDecimal},
    {"dframes", IsInteger},
    {"vframes", IsInteger},
    {"aframes", IsInteger},
    {"loop_output", IsInteger},
    {"v", IsInteger},
    {"vsync", IsInteger},
    {"async", IsInteger},
    {"vglobal", IsInteger},
    {"programid", IsInteger},
    {"decode_threads", IsInteger},
    {"encode_threads", IsInteger},
    {"croptop", IsInteger},
    {"cropbottom", IsInteger},
    {"cropleft", IsInteger},
    {"cropright", IsInteger},
    {"padtop", IsInteger},
    {"padbottom", IsInteger},
    {"padleft", IsInteger},
    {"padright", IsInteger},
    {"padcolor", IsInteger},
    {"vdt", IsInteger},
    {"pass", IsInteger},
    {"top", IsInteger},
    {"dc", IsInteger},
    {"me_threshold", IsInteger},
    {"vol", IsInteger},
    {"vc", IsInteger},
});

const ValueRule* FindRule(S Name) {
  for (const ValueRule& rule : kValueRules)
    if (Name == rule.name) return &rule;
  return nullptr;
}

}  // namespace

FFMpegException InvalidOptionValue(const std::string& Name, const std::string& Value) {
  return FFMpegException(Format("Invalid value '%s' for option '-%s'", Value, Name));
}

bool TableValueAccepted(const std::string& Name, const std::string& Value) {
  const ValueRule* rule = FindRule(Name);
  return !rule || rule->accepts(Value);
}

}  // namespace vantrel
