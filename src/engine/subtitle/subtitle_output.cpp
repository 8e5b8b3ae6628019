// Subtitle output: each decoded subtitle is encoded and written once; DVB
// subtitles twice, one packet to show it and an empty one to clear it.
#include "binding/message_format.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

constexpr int kSubtitleBufferSize = 65536;

}  // namespace

void TEngineJob::EncodeSubtitle(AVFormatContext* os, TOutputStreamState& ost, TInputStreamState& ist,
                                   const AVSubtitle* sub, int64_t pts) {
  if (pts == AV_NOPTS_VALUE) {
    if (ExitOnError) throw FFMpegException("Subtitle packets must have a pts");
    Log(0, "Subtitle packets must have a pts");
    return;
  }
  AVCodecContext* enc = ost.Encoder;
  const bool dvb = enc->codec_id == AV_CODEC_ID_DVB_SUBTITLE;
  if (!EncodedPacket) EncodedPacket = MakePacket();
  AVPacket* pkt = EncodedPacket.get();
  if (!pkt) throw FFMpegException("Subtitle encoding failed");
  const AVRational streamTb = ost.Stream->time_base;
  const int64_t start = lav::av_rescale_q(pts, ist.Stream->time_base, streamTb);
  for (int round = 0; round < (dvb ? 2 : 1); ++round) {
    AVSubtitle shown = *sub;
    if (round == 1) shown.num_rects = 0;  // the clearing packet shows nothing
    if (lav::av_new_packet(pkt, kSubtitleBufferSize) < 0) throw FFMpegException("Subtitle encoding failed");
    const int size = lav::avcodec_encode_subtitle(enc, pkt->data, kSubtitleBufferSize, &shown);
    if (size < 0) {
      lav::av_packet_unref(pkt);
      throw FFMpegException("Subtitle encoding failed");
    }
    pkt->size = size;
    pkt->stream_index = ost.StreamIndex;
    pkt->pts = start;
    if (dvb) {
      const uint32_t shift = round == 0 ? sub->start_display_time : sub->end_display_time;
      pkt->pts += lav::av_rescale_q(shift, AVRational{1, 1000}, streamTb);
    } else if (sub->end_display_time > sub->start_display_time) {
      // Text cues end with their packet: the muxers take the display span from it.
      pkt->duration =
          lav::av_rescale_q(int64_t(sub->end_display_time - sub->start_display_time), AVRational{1, 1000}, streamTb);
    }
    pkt->dts = pkt->pts;
    WritePacket(os, pkt, enc, BitstreamFilters[ost.FileIndex][ost.StreamIndex].get());
  }
}

}  // namespace vantrel
