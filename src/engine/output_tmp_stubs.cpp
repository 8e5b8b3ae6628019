// Temporary stand-ins of the transcode loop's functions that the output side
// calls, until the loop lands.
#include "engine/engine.h"

namespace vantrel {

void TCustomFFmpeg::WritePacket(AVFormatContext* s, AVPacket* pkt, AVCodecContext*, AVBSFContext*) {
  const int ret = lav::av_interleaved_write_frame(s, pkt);
  lav::av_packet_unref(pkt);
  if (ret < 0) throw FFMpegException(FormatOpenError("av_interleaved_write_frame()", ret));
}

double TCustomFFmpeg::SyncInputTime(const TOutputStreamState& ost) const {
  return double(ost.SyncStream->Pts - StartTime) / 1000000.0;
}

}  // namespace vantrel
