// Creating an output file and its streams.
#include "engine/engine.h"

namespace vantrel {

bool TCustomFFmpeg::OpenOutputFile(const std::string& FileName) {
  LastError = FileName + ": creating outputs is not available in this build yet";
  return false;
}

}  // namespace vantrel
