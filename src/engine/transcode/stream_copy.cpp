// Stream copy: the output stream takes the input stream's parameters, and
// its packets pass unchanged apart from their time stamps.
#include "binding/helpers.h"
#include "binding/message_format.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

// The input's tag is kept when the container has no tag table, knows the
// tag, or has no tag of its own for the codec.
uint32_t CopiedCodecTag(const AVOutputFormat* Format, const AVCodecParameters* In) {
  const AVCodecTag* const* table = Format->codec_tag;
  if (!table || lav::av_codec_get_id(table, In->codec_tag) != AV_CODEC_ID_NONE ||
      lav::av_codec_get_tag(table, In->codec_id) == 0)
    return In->codec_tag;
  return 0;
}

// A container time base (such as 1/90000) finer than a millisecond gives way
// to the decoder's frame-based one.
AVRational CopiedTimeBase(const AVCodecContext* Dec, const AVStream* In) {
  if (Dec && Dec->time_base.den > 0 && Dec->time_base.num > 0 && av_q2d(Dec->time_base) > av_q2d(In->time_base) &&
      av_q2d(In->time_base) < 0.001)
    return Dec->time_base;
  return In->time_base;
}

}  // namespace

void TEngineJob::SetUpCopiedStream(TOutputStreamState& ost, TInputStreamState& ist) {
  const AVCodecParameters* in = ist.Stream->codecpar;
  AVCodecParameters* par = ost.Stream->codecpar;
  AVCodecContext* enc = ost.Encoder;
  const uint32_t forcedTag = enc->codec_tag;
  switch (in->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      if (AudioVolume != 256) throw FFMpegException("-acodec copy and -vol are incompatible (frames are not decoded)");
      break;
    case AVMEDIA_TYPE_VIDEO:
      if (OnCustomHook) throw FFMpegException("-vcodec copy and CustomHook are incompatible (frames are not decoded)");
      if (UsingVhook) throw FFMpegException("-vcodec copy and -vhook are incompatible (frames are not decoded)");
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      break;
    default:
      throw FFMpegException("invalid codec_type of output stream");
  }
  if (lav::avcodec_parameters_copy(par, in) < 0) throw FFMpegException("av_mallocz fail");
  par->codec_tag = forcedTag ? forcedTag : CopiedCodecTag(OutputFiles[ost.FileIndex]->oformat, in);
  if (par->codec_type == AVMEDIA_TYPE_AUDIO &&
      ((par->block_align == 1 && par->codec_id == AV_CODEC_ID_MP3) || par->codec_id == AV_CODEC_ID_AC3))
    par->block_align = 0;
  // The container's aspect ratio (set when the stream was made) and the
  // codec's must agree, or the muxer refuses the stream.
  if (par->codec_type == AVMEDIA_TYPE_VIDEO && ost.Stream->sample_aspect_ratio.num != 0)
    par->sample_aspect_ratio = ost.Stream->sample_aspect_ratio;
  const AVRational timeBase = CopiedTimeBase(ist.Decoder, ist.Stream);
  ost.Stream->time_base = timeBase;
  if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
    ost.Stream->avg_frame_rate = ist.Stream->avg_frame_rate;
    ost.Stream->r_frame_rate = ist.Stream->r_frame_rate;
  }
  // The encoder context mirrors the stream for the loop and the reports.
  if (lav::avcodec_parameters_to_context(enc, par) < 0) throw FFMpegException("av_mallocz fail");
  enc->time_base = timeBase;
}

void TEngineJob::CopyPacket(TOutputStreamState& ost, TInputStreamState& ist, const AVPacket* pkt) {
  // A copy starts at a key frame: what comes before cannot be decoded.
  if (ost.FrameNumber == 0 && !(pkt->flags & AV_PKT_FLAG_KEY)) return;
  const AVMediaType type = ost.Encoder->codec_type;
  if (type == AVMEDIA_TYPE_AUDIO) {
    AudioSize += pkt->size;
  } else if (type == AVMEDIA_TYPE_VIDEO) {
    VideoSize += pkt->size;
    ++ost.SyncOpts;
  }
  // One packet serves every copy: WritePacket gives its reference back.
  if (!CopiedPacket) CopiedPacket = MakePacket();
  AVPacket* out = CopiedPacket.get();
  if (!out || lav::av_packet_ref(out, pkt) < 0) throw FFMpegException("av_malloc fail");
  const AVRational from = ist.Stream->time_base;
  const AVRational to = ost.Stream->time_base;
  out->stream_index = ost.StreamIndex;
  out->pts = pkt->pts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : SatRescale(pkt->pts, from, to);
  // A packet with a presentation but no decode time (the first pictures of
  // some containers) leaves the decode time to the muxer, which derives it
  // from the presentation times; a prediction could run backwards.
  if (pkt->dts != AV_NOPTS_VALUE)
    out->dts = SatRescale(pkt->dts, from, to);
  else if (pkt->pts == AV_NOPTS_VALUE)
    out->dts = SatRescale(ist.Pts, AV_TIME_BASE_Q, to);
  else
    out->dts = AV_NOPTS_VALUE;
  out->duration = SatRescale(pkt->duration, from, to);
  out->flags = pkt->flags;
  out->pos = -1;
  WritePacket(OutputFiles[ost.FileIndex].get(), out, ost.Encoder, BitstreamFilters[ost.FileIndex][ost.StreamIndex].get());
  ++ost.FrameNumber;
}

}  // namespace vantrel
