// The option table and the generic option mechanism.
#include "engine/engine.h"

namespace vantrel {

void TCustomFFmpeg::SetOption(const std::string& Name, const std::string&) {
  throw FFMpegException("Unknown option: " + Name);
}

bool TCustomFFmpeg::ApplyGenericOption(const std::string&, const std::string&) { return false; }

bool TCustomFFmpeg::OptionTakesNoValue(const std::string&) { return false; }

bool TCustomFFmpeg::ApplyGenericOptionInt(const std::string& Name, int Value) {
  return ApplyGenericOption(Name, std::to_string(Value));
}

}  // namespace vantrel
