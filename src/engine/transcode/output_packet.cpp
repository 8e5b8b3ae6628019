// One input packet on its way out: decoded (send/receive) and handed to the
// encoding output streams it feeds, or copied to the copying ones.
#include <algorithm>
#include <chrono>
#include <thread>

#include "binding/helpers.h"
#include "binding/message_format.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

// The decoded subtitle is released on every way out: a refused packet may
// leave part of one behind, and an encoder error or a refused write raises.
struct DecodedSubtitle {
  AVSubtitle sub{};
  ~DecodedSubtitle() { lav::avsubtitle_free(&sub); }
};

}  // namespace

// Rate emulation ("re"): the input is read no faster than it plays. The
// target is the stream's own time since its first packet, so audio-only
// inputs are paced as well as video. The wait is cut into slices so that a
// stop request is not held up.
void TEngineJob::EmulateRate(TInputStreamState& ist) {
  if (!ist.RateEmu) return;
  if (ist.FirstPts == AV_NOPTS_VALUE) ist.FirstPts = ist.Pts;
  const int64_t target = SatSub(ist.Pts, ist.FirstPts);
  int64_t ahead = SatSub(target, lav::av_gettime() - ist.Start);
  if (ahead > 50000) {
    while (ahead >= 1000 && !StopRequested) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(ahead / 1000, 100)));
      ahead = SatSub(target, lav::av_gettime() - ist.Start);
    }
  }
  ++ist.FrameCount;
}

bool TEngineJob::PastStartTime(const TInputStreamState& ist) const {
  return StartTime == 0 || ist.Pts >= StartTime;
}

void TEngineJob::CopyToOutputs(TInputStreamState& ist, int IstIndex, const AVPacket* pkt) {
  if (!PastStartTime(ist)) return;
  for (TOutputStreamState& ost : OutputStreams)
    if (ost.SourceIndex == IstIndex && !ost.EncodingNeeded) CopyPacket(ost, ist, pkt);
}

// The predicted time of the next packet of a copied stream.
void TEngineJob::AdvanceCopiedTime(TInputStreamState& ist, const AVPacket* pkt) {
  const AVCodecParameters* par = ist.Stream->codecpar;
  if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
    if (par->frame_size > 0 && par->sample_rate > 0)
      ist.NextPts = SatAdd(ist.NextPts, int64_t(1000000) * par->frame_size / par->sample_rate);
    else if (pkt->duration > 0)
      ist.NextPts = SatAdd(ist.NextPts, SatRescale(pkt->duration, ist.Stream->time_base, AV_TIME_BASE_Q));
  } else if (par->codec_type == AVMEDIA_TYPE_VIDEO && ist.Decoder && ist.Decoder->time_base.num != 0) {
    ist.NextPts = SatAdd(ist.NextPts, int64_t(1000000) * ist.Decoder->time_base.num / ist.Decoder->time_base.den);
  }
}

void TEngineJob::HandleDecodedFrame(TInputStreamState& ist, int IstIndex, AVFrame* frame) {
  const AVCodecContext* dec = ist.Decoder;
  const bool video = dec->codec_type == AVMEDIA_TYPE_VIDEO;
  // A decoder on frame threads hands each picture out as many packets late
  // as it has threads more than one: the time of the latest packet would
  // put the picture that much late, so the picture's own time stands in.
  if (video && (dec->active_thread_type & FF_THREAD_FRAME) && frame->best_effort_timestamp != AV_NOPTS_VALUE)
    ist.NextPts = SatRescale(frame->best_effort_timestamp, ist.Stream->time_base, AV_TIME_BASE_Q);
  ist.Pts = ist.NextPts;
  if (video) {
    NotePictureOut(ist, frame);
    ist.Quality = float(frame->quality);
    if (dec->time_base.num != 0)
      ist.NextPts = SatAdd(ist.NextPts, int64_t(1000000) * dec->time_base.num / dec->time_base.den);
    PrepareVideoFrame(ist, frame);
  } else {
    if (dec->sample_rate > 0) ist.NextPts = SatAdd(ist.NextPts, int64_t(1000000) * frame->nb_samples / dec->sample_rate);
    if (AudioVolume != 256) ApplyVolume(frame, AudioVolume);
  }
  EmulateRate(ist);
  if (!PastStartTime(ist)) return;
  for (TOutputStreamState& ost : OutputStreams) {
    if (ost.SourceIndex != IstIndex || !ost.EncodingNeeded) continue;
    AVFormatContext* os = OutputFiles[ost.FileIndex].get();
    if (video && ost.FilterGraph) {
      EncodeFilteredPictures(os, ost, ist, frame);
    } else if (video) {
      EncodePicture(os, ost, ist, frame);
    } else {
      EncodeAudio(os, ost, ist, frame);
    }
  }
}

int TEngineJob::DecodeSubtitle(TInputStreamState& ist, int IstIndex, const AVPacket* pkt) {
  if (!pkt) return 0;
  ist.Pts = ist.NextPts;
  DecodedSubtitle decoded;
  int got = 0;
  if (lav::avcodec_decode_subtitle2(ist.Decoder, &decoded.sub, &got, const_cast<AVPacket*>(pkt)) < 0) return -1;
  if (!got || !PastStartTime(ist)) return 0;
  for (TOutputStreamState& ost : OutputStreams)
    if (ost.SourceIndex == IstIndex && ost.EncodingNeeded)
      EncodeSubtitle(OutputFiles[ost.FileIndex].get(), ost, ist, &decoded.sub, pkt->pts);
  return 0;
}

// Sends the packet (nullptr: end of input) and serves every frame that
// comes out. -1 when the decoder refuses the data.
int TEngineJob::DecodePacket(TInputStreamState& ist, int IstIndex, const AVPacket* pkt) {
  AVCodecContext* dec = ist.Decoder;
  if (dec->codec_type == AVMEDIA_TYPE_SUBTITLE) return DecodeSubtitle(ist, IstIndex, pkt);
  if (dec->codec_type != AVMEDIA_TYPE_VIDEO && dec->codec_type != AVMEDIA_TYPE_AUDIO) return -1;
  ChooseSkipFrame(ist, IstIndex, pkt);
  int sent = lav::avcodec_send_packet(dec, pkt);
  for (int count = 0;;) {
    const int ret = lav::avcodec_receive_frame(dec, ist.Frame.get());
    if (ret == AVERROR(EAGAIN)) {
      // Room again for a packet the decoder could not take before.
      if (sent != AVERROR(EAGAIN)) break;
      sent = lav::avcodec_send_packet(dec, pkt);
      continue;
    }
    if (ret == AVERROR_EOF) break;
    if (ret < 0) return -1;
    if (count++ > 0 && pkt && Verbose > 0 && LogAssigned())
      Log(0, Format("Multiple frames in a packet from stream %d", pkt->stream_index));
    HandleDecodedFrame(ist, IstIndex, ist.Frame.get());
    lav::av_frame_unref(ist.Frame.get());
  }
  if (sent < 0 && sent != AVERROR_EOF && sent != AVERROR(EAGAIN)) return -1;
  return 0;
}

void TEngineJob::FlushEncoders(int IstIndex) {
  for (TOutputStreamState& ost : OutputStreams) {
    if (ost.SourceIndex != IstIndex || !ost.EncodingNeeded) continue;
    AVFormatContext* os = OutputFiles[ost.FileIndex].get();
    if (ost.Encoder->codec_type == AVMEDIA_TYPE_VIDEO) {
      // What the filters still hold comes out before the encoder drains.
      if (ost.FilterGraph) EncodeFilteredPictures(os, ost, InputStreams[size_t(IstIndex)], nullptr);
      FlushVideoEncoder(os, ost);
    } else if (ost.Encoder->codec_type == AVMEDIA_TYPE_AUDIO) {
      FlushAudioEncoder(os, ost);
    }
  }
}

int TEngineJob::OutputPacket(TInputStreamState& ist, int IstIndex, const AVPacket* pkt) {
  if (ist.NextPts == AV_NOPTS_VALUE) ist.NextPts = ist.Pts;
  if (pkt && pkt->dts != AV_NOPTS_VALUE) {
    ist.NextPts = ist.Pts = SatRescale(pkt->dts, ist.Stream->time_base, AV_TIME_BASE_Q);
    ist.HasDts = true;
  }
  if (!ist.DecodingNeeded) {
    if (!pkt) return 0;
    ist.Pts = ist.NextPts;
    AdvanceCopiedTime(ist, pkt);
    EmulateRate(ist);
    CopyToOutputs(ist, IstIndex, pkt);
    return 0;
  }
  if (DecodePacket(ist, IstIndex, pkt) < 0) return -1;
  if (pkt) {
    CopyToOutputs(ist, IstIndex, pkt);
    return 0;
  }
  FlushEncoders(IstIndex);
  return 0;
}

}  // namespace vantrel
