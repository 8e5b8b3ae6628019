// Closing the contexts a job opened: each close shares the process-wide lock
// with every other open and close.
#include "engine/transcode/opened_codecs.h"

#include <algorithm>

#include "binding/av_binding.h"
#include "engine/codec_lock.h"

namespace vantrel {

void TOpenedCodecs::Close(AVCodecContext* Context) {
  const auto it = std::find(list_.begin(), list_.end(), Context);
  if (it == list_.end()) return;
  const TCodecLockGuard lock;
  lav::avcodec_close(Context);
  list_.erase(it);
}

void TOpenedCodecs::CloseAll() {
  if (list_.empty()) return;
  const TCodecLockGuard lock;
  for (AVCodecContext* c : list_) lav::avcodec_close(c);
  list_.clear();
}

}  // namespace vantrel
