// A loaded frame-hook plug-in (see frame_hook_api.h) and the calls that
// load, run and release them. The libraries themselves are loaded once per
// process and stay loaded; a hook record owns only its context.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "binding/av_functions.h"
#include "engine/frame_hook_api.h"

namespace vantrel {

struct TFrameHook {
  VantrelHookConfigureFn Configure = nullptr;
  VantrelHookProcessFn Process = nullptr;
  VantrelHookReleaseFn Release = nullptr;  // set once Configure succeeded
  void* Context = nullptr;
  // The words Configure was given; a plug-in may keep pointers into them.
  std::vector<std::string> Words;

  TFrameHook() = default;
  TFrameHook(const TFrameHook&) = delete;
  TFrameHook& operator=(const TFrameHook&) = delete;
  ~TFrameHook() {
    if (Release) Release(Context);
  }
};

using TFrameHookList = std::vector<std::unique_ptr<TFrameHook>>;

// Loads the library named by the first word and appends its hook: 0, or -1
// (the library cannot be loaded), -2 (no words, or an entry point missing),
// -12 (out of memory), -22 (Configure failed). The reason goes to the codec
// library's log.
int AddFrameHook(TFrameHookList& List, const std::vector<std::string>& Words);
// Each hook's Process in list order, on the picture in place.
void RunFrameHooks(const TFrameHookList& List, AVFrame* Picture, int64_t Time);

}  // namespace vantrel
