// Lets a stop request interrupt the blocking I/O of a format context.
#pragma once

#include "engine/job/engine_job.h"

namespace vantrel {

inline AVIOInterruptCB StopRequestInterrupt(TEngineJob* Engine) {
  return AVIOInterruptCB{
      [](void* opaque) -> int { return static_cast<TEngineJob*>(opaque)->StopRequested.load() ? 1 : 0; },
      Engine};
}

}  // namespace vantrel
