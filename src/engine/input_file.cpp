// Opening an input file.
#include "engine/engine.h"

namespace vantrel {

bool TCustomFFmpeg::OpenInputFile(const std::string& FileName) {
  LastError = FileName + ": opening inputs is not available in this build yet";
  return false;
}

}  // namespace vantrel
