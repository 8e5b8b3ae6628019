#include "engine/local_input.h"

namespace vantrel {

std::string InputUrl(const std::string& Name, bool LocalOnly) { return LocalOnly ? "file:" + Name : Name; }

void RestrictToLocalFiles(AVDictionary** Options, bool LocalOnly) {
  if (LocalOnly) lav::av_dict_set(Options, "protocol_whitelist", "file", 0);
}

}  // namespace vantrel
