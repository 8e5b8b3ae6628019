// The job: set-up, main loop, flush, trailers and closing.
#include "engine/engine.h"

namespace vantrel {

void TCustomFFmpeg::Transcode() {
  throw FFMpegException("Transcoding is not available in this build yet");
}

}  // namespace vantrel
