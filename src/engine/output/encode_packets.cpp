// The send/receive exchange with an encoder, shared by video, audio and the
// flush: one frame in, every packet that is ready out to the writer.
#include "engine/coded_quality.h"
#include "engine/job/engine_job.h"

namespace vantrel {

// The quality and plane errors of each coded picture, and the pass-1
// statistics, are taken by the packet writer; the picture type is kept here.
void TEngineJob::NoteEncodedPacket(TOutputStreamState& ost, const AVPacket* pkt) {
  const TCodedPictureStats stats = ReadCodedPictureStats(pkt);
  if (stats.PictType >= 0)
    ost.LastPictType = stats.PictType;
  else
    ost.LastPictType = (pkt->flags & AV_PKT_FLAG_KEY) ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
}

int TEngineJob::EncodeAndWrite(AVFormatContext* os, TOutputStreamState& ost, const AVFrame* frame) {
  AVCodecContext* enc = ost.Encoder;
  int ret = lav::avcodec_send_frame(enc, frame);
  // A second end of stream is no error: the encoder is already drained.
  if (ret == AVERROR_EOF && !frame) return 0;
  if (ret < 0) return ret;
  if (!EncodedPacket) EncodedPacket = MakePacket();
  AVPacket* pkt = EncodedPacket.get();
  if (!pkt) return AVERROR(ENOMEM);
  int lastSize = 0;
  for (;;) {
    ret = lav::avcodec_receive_packet(enc, pkt);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) break;
    if (ret < 0) return ret;
    const bool video = enc->codec_type == AVMEDIA_TYPE_VIDEO;
    if (video)
      NoteEncodedPacket(ost, pkt);
    else
      pkt->flags |= AV_PKT_FLAG_KEY;
    lastSize = pkt->size;
    (video ? VideoSize : AudioSize) += pkt->size;
    pkt->stream_index = ost.StreamIndex;
    lav::av_packet_rescale_ts(pkt, enc->time_base, ost.Stream->time_base);
    WritePacket(os, pkt, enc, BitstreamFilters[ost.FileIndex][ost.StreamIndex].get());
  }
  return lastSize;
}

}  // namespace vantrel
