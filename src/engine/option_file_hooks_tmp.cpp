// Temporary stand-ins for the output-file side, replaced when it is merged.
#include "engine/engine.h"

namespace vantrel {

void TCustomFFmpeg::SetTarget(const std::string&) { throw FFMpegException("not available yet"); }
void TCustomFFmpeg::NewVideoStreamOption() { throw FFMpegException("not available yet"); }
void TCustomFFmpeg::NewAudioStreamOption() { throw FFMpegException("not available yet"); }
void TCustomFFmpeg::NewSubtitleStreamOption() { throw FFMpegException("not available yet"); }

}  // namespace vantrel
