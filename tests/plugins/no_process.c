/* A frame-hook library that lacks the Process entry point. */
#include "engine/frame_hook_api.h"

VANTREL_HOOK_EXPORT int Configure(void** ctxp, int argc, char* argv[]) {
  (void)argc;
  (void)argv;
  *ctxp = 0;
  return 0;
}
