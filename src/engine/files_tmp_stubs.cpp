// Stand-in until the option language lands on this branch.
#include "engine/engine.h"

namespace vantrel {

void TCustomFFmpeg::ApplyContextOptions(void*, void*, int) {}

}  // namespace vantrel
