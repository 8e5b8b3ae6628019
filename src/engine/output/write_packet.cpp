// The last step of every packet: the stream's bit-stream filter chain, then
// the interleaving writer.
#include <algorithm>

#include "binding/helpers.h"
#include "binding/message_format.h"
#include "engine/coded_quality.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

// Frees the packet's reference on every way out, also when a write raises.
struct PacketUnref {
  AVPacket* pkt;
  ~PacketUnref() { lav::av_packet_unref(pkt); }
};

// The quality and per-plane errors each coded picture carries on its packet.
void TakeQualityStats(TOutputStreamState& ost, const AVPacket* pkt) {
  const TCodedPictureStats stats = ReadCodedPictureStats(pkt);
  if (!stats.HasQuality) return;
  ost.CodedQuality = stats.Quality;
  for (int j = 0; j < stats.ErrorCount; ++j) ost.CodedError[j] = stats.Error[j];
}

}  // namespace

TOutputStreamState* TEngineJob::FindOutputStream(const AVFormatContext* s, int StreamIndex) {
  if (StreamIndex < 0 || unsigned(StreamIndex) >= s->nb_streams) return nullptr;
  const AVStream* st = s->streams[StreamIndex];
  for (TOutputStreamState& ost : OutputStreams)
    if (ost.Stream == st) return &ost;
  return nullptr;
}

// What the loop and the reports need of a packet that goes to the muxer:
// how far its stream reaches, and the pass-1 statistics of its encoder.
void TEngineJob::NoteWrittenPacket(TOutputStreamState& ost, const AVPacket* pkt, AVCodecContext* enc) {
  const int64_t t = pkt->dts != AV_NOPTS_VALUE ? pkt->dts : pkt->pts;
  if (t != AV_NOPTS_VALUE) {
    const int64_t end = SatAdd(t, pkt->duration > 0 ? pkt->duration : 0);
    if (ost.MuxedPts == AV_NOPTS_VALUE || end > ost.MuxedPts) ost.MuxedPts = end;
  }
  // The report tells how much was written: up to the end of the packet shown
  // last, which for reordered video is not the packet muxed last. An encoder
  // that leaves the duration open made one frame of its time base.
  if (pkt->pts != AV_NOPTS_VALUE) {
    int64_t duration = pkt->duration;
    const bool encodedVideo = ost.EncodingNeeded && enc && enc->codec_type == AVMEDIA_TYPE_VIDEO;
    if (duration <= 0 && encodedVideo && enc->time_base.num > 0)
      duration = lav::av_rescale_q(1, enc->time_base, ost.Stream->time_base);
    const int64_t end = SatAdd(pkt->pts, std::max<int64_t>(duration, 0));
    if (ost.ShownEnd == AV_NOPTS_VALUE || end > ost.ShownEnd) ost.ShownEnd = end;
  }
  TakeQualityStats(ost, pkt);
  if (ost.LogFile && enc && enc->stats_out) lav::fprintf(ost.LogFile.get(), "%s", enc->stats_out);
}

// Muxers refuse a decode time that does not increase, which a time stamp
// jump in the input or an encoder's rounding can give: such a packet is
// moved just after the one before it, and its presentation time with it
// when that would come before its decode time.
void TEngineJob::KeepDtsIncreasing(TOutputStreamState& ost, AVPacket* pkt) {
  if (pkt->dts == AV_NOPTS_VALUE) return;
  if (ost.MuxedDts != AV_NOPTS_VALUE && pkt->dts <= ost.MuxedDts) {
    if (!ost.DtsMoveReported && LogAssigned())
      Log(0, Format("Non-increasing decode time in output stream #%d.%d: %d after %d; such packets are moved "
                    "up, their timing may be off",
                    ost.FileIndex, ost.StreamIndex, pkt->dts, ost.MuxedDts));
    ost.DtsMoveReported = true;
    pkt->dts = SatAdd(ost.MuxedDts, 1);
  }
  if (pkt->pts != AV_NOPTS_VALUE && pkt->pts < pkt->dts) pkt->pts = pkt->dts;
  ost.MuxedDts = pkt->dts;
}

void TEngineJob::MuxPacket(AVFormatContext* s, AVPacket* pkt, AVCodecContext* enc) {
  if (TOutputStreamState* ost = FindOutputStream(s, pkt->stream_index)) {
    KeepDtsIncreasing(*ost, pkt);
    NoteWrittenPacket(*ost, pkt, enc);
  }
  const int ret = lav::av_interleaved_write_frame(s, pkt);
  if (ret < 0) throw FFMpegException("av_interleaved_write_frame(): " + LibraryErrorText(ret));
}

void TEngineJob::ReportFilterError(AVBSFContext* bsf, int StreamIndex, AVCodecContext* enc, int Code) {
  const bool copy = !enc || !lav::avcodec_is_open(enc);
  const std::string msg =
      FormatOpenError(Format("%s failed for stream %d, codec %s", bsf->filter ? bsf->filter->name : "bsf",
                             StreamIndex, copy ? "copy" : (enc->codec ? enc->codec->name : "copy")),
                      Code);
  if (ExitOnError) throw FFMpegException(msg);
  Log(0, msg);
}

void TEngineJob::WritePacket(AVFormatContext* s, AVPacket* pkt, AVCodecContext* enc, AVBSFContext* bsf) {
  PacketUnref guard{pkt};
  if (!bsf) {
    MuxPacket(s, pkt, enc);
    return;
  }
  const int streamIndex = pkt->stream_index;
  // A packet the chain refuses goes out as it is.
  if (int ret = lav::av_bsf_send_packet(bsf, pkt); ret < 0) {
    ReportFilterError(bsf, streamIndex, enc, ret);
    MuxPacket(s, pkt, enc);
    return;
  }
  DrainBitstreamFilter(s, bsf, streamIndex, enc);
}

void TEngineJob::DrainBitstreamFilter(AVFormatContext* s, AVBSFContext* bsf, int StreamIndex,
                                         AVCodecContext* enc) {
  if (!FilteredPacket) FilteredPacket = MakePacket();
  AVPacket* out = FilteredPacket.get();
  if (!out) throw FFMpegException("av_malloc fail");
  for (;;) {
    const int ret = lav::av_bsf_receive_packet(bsf, out);
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    if (ret < 0) {
      ReportFilterError(bsf, StreamIndex, enc, ret);
      return;
    }
    out->stream_index = StreamIndex;
    PacketUnref guard{out};
    MuxPacket(s, out, enc);
  }
}

// Filters that hold packets back give them up at the end.
void TEngineJob::FlushBitstreamFilters() {
  for (TOutputStreamState& ost : OutputStreams) {
    AVBSFContext* bsf = BitstreamFilters[ost.FileIndex][ost.StreamIndex].get();
    if (!bsf) continue;
    if (lav::av_bsf_send_packet(bsf, nullptr) < 0) continue;
    DrainBitstreamFilter(OutputFiles[ost.FileIndex].get(), bsf, ost.StreamIndex, ost.Encoder);
  }
}

}  // namespace vantrel
