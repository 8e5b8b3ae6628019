// The two free-text fields of the records: option lines and hook ranges.
#include <optional>

#include "converter/apply_options.h"
#include "engine/option_numbers.h"

namespace vantrel {
namespace {

std::string WithLineFeeds(const std::string& Text) {
  std::string out;
  out.reserve(Text.size());
  for (size_t i = 0; i < Text.size(); ++i) {
    if (Text[i] != '\r') {
      out += Text[i];
      continue;
    }
    out += '\n';
    if (i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
  }
  return out;
}

// Milliseconds text as microseconds; -1 ms when it is no number or the
// microseconds would not fit.
int64_t Microseconds(const std::string& Text) {
  int64_t ms = -1;
  try {
    ms = StrToInt64(Text);
  } catch (const EConvertError&) {
  }
  if (ms > INT64_MAX / 1000 || ms < INT64_MIN / 1000) ms = -1;
  return ms * 1000;
}

THookRange RangeOf(const std::string& Piece) {
  const size_t dash = Piece.find('-');
  if (dash == std::string::npos) return {Microseconds(Piece), Microseconds("")};
  return {Microseconds(TrimText(Piece.substr(0, dash))), Microseconds(Piece.substr(dash + 1))};
}

}  // namespace

void ApplyOptionText(TCustomFFmpeg& Engine, const std::string& Text) {
  const std::string text = WithLineFeeds(TrimText(Text));
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(begin, end - begin);
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
      Engine.SetOption(line, "");
    else
      Engine.SetOption(line.substr(0, eq), line.substr(eq + 1));
    begin = end + 1;
  }
}

std::vector<THookRange> ParseHookRangeText(const std::string& Text) {
  std::vector<THookRange> ranges;
  const std::string text = TrimText(Text);
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find(',', begin);
    if (end == std::string::npos) end = text.size();
    const THookRange r = RangeOf(TrimText(text.substr(begin, end - begin)));
    if (r.end >= r.start && r.end >= 0) ranges.push_back(r);
    begin = end + 1;
  }
  return ranges;
}

void ParseHookRanges(TCustomFFmpeg& Engine, const std::string& Text) {
  Engine.SetHookRanges(ParseHookRangeText(Text));
}

}  // namespace vantrel
