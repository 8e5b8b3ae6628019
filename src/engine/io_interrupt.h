// Lets a stop request interrupt the blocking I/O of a format context.
#pragma once

#include "engine/engine.h"

namespace vantrel {

inline AVIOInterruptCB StopRequestInterrupt(TCustomFFmpeg* Engine) {
  return AVIOInterruptCB{
      [](void* opaque) -> int { return static_cast<TCustomFFmpeg*>(opaque)->StopRequested.load() ? 1 : 0; },
      Engine};
}

}  // namespace vantrel
