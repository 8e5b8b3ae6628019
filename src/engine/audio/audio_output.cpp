// Audio output: each decoded block is brought in step with the input clock,
// converted to the encoder's rate, format and layout, queued in the FIFO and
// encoded in frames of the encoder's frame size.
#include <algorithm>
#include <cmath>

#include "binding/helpers.h"
#include "binding/message_format.h"
#include "engine/audio_frames.h"
#include "engine/job/engine_job.h"

namespace vantrel {

void TEngineJob::SetUpAudioEncoding(TOutputStreamState& ost, TInputStreamState& ist) {
  const AVCodecContext* enc = ost.Encoder;
  const AVCodecContext* dec = ist.Decoder;
  ost.AudioResample = enc->sample_rate != dec->sample_rate || AudioSyncMethod > 1 ||
                      enc->ch_layout.nb_channels != dec->ch_layout.nb_channels;
}

void TEngineJob::StartAudioEncoding(TOutputStreamState& ost, TInputStreamState& ist) {
  const AVCodecContext* enc = ost.Encoder;
  const AVCodecContext* dec = ist.Decoder;
  ost.Fifo.reset(lav::av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels,
                                          std::max(enc->frame_size, 1024)));
  if (!ost.Fifo) throw FFMpegException("av_fifo_init fail");
  OpenResampler(ost, dec->sample_fmt, dec->sample_rate, dec->ch_layout);
}

void TEngineJob::EncodeAudio(AVFormatContext* os, TOutputStreamState& ost, TInputStreamState& ist,
                                const AVFrame* samples) {
  if (!ost.Fifo || samples->nb_samples <= 0) return;
  // The decoder may deliver another kind of block than it announced.
  if (samples->format != ost.ResampleInFormat || samples->sample_rate != ost.ResampleInRate ||
      samples->ch_layout.nb_channels != ost.ResampleInChannels)
    OpenResampler(ost, AVSampleFormat(samples->format), samples->sample_rate, samples->ch_layout);
  if (ost.SyncOpts >= TicksBeforeRecordingEnd(AVRational{1, ost.Encoder->sample_rate})) return;
  TAudioBlock block;
  block.Count = samples->nb_samples;
  if (AudioSyncMethod != 0) {
    if (!CorrectAudioClock(ost, ist, samples, block)) return;
  } else {
    FollowInputClock(ost);
  }
  if (!QueueAudio(ost, samples, block)) return;
  EncodeQueuedAudio(os, ost);
}

// Without audio sync the FIFO's first sample takes its time from the input
// clock: forward, so that a gap in the input stays a gap, but never back.
// Ahead of the block now arriving are the samples queued in the FIFO and
// those the resampler still holds back; the clock counts both, or every
// block of a resampled stream would push the time stamps ahead of the
// samples the encoder really got.
// Samples already queued keep the times they were given, and after a jump
// the input clock may land a little before them (the file's new offset comes
// from whichever stream saw the jump first); going back would hand the
// encoder overlapping frames and the muxer decreasing time stamps.
void TEngineJob::FollowInputClock(TOutputStreamState& ost) {
  const int rate = ost.Encoder->sample_rate;
  const int64_t held = ost.Resampler ? std::max<int64_t>(0, lav::swr_get_delay(ost.Resampler.get(), rate)) : 0;
  const int64_t anchored =
      SatSub(SatRound(SyncInputTime(ost) * rate), SatAdd(lav::av_audio_fifo_size(ost.Fifo.get()), held));
  if (!ost.AudioClockSet || anchored > ost.SyncOpts) ost.SyncOpts = anchored;
  ost.AudioClockSet = true;
}

void TEngineJob::EncodeFifoFrame(AVFormatContext* os, TOutputStreamState& ost, int Count) {
  AVCodecContext* enc = ost.Encoder;
  if (!EnsureFrameCapacity(ost.AudioFrame, ost.AudioFrameCapacity, Count, enc->frame_size, enc->sample_fmt,
                           enc->ch_layout, enc->sample_rate))
    throw FFMpegException("Audio encoding failed");
  AVFrame* f = ost.AudioFrame.get();
  lav::av_audio_fifo_read(ost.Fifo.get(), reinterpret_cast<void**>(f->extended_data), Count);
  f->pts = lav::av_rescale_q(ost.SyncOpts, AVRational{1, enc->sample_rate}, enc->time_base);
  if (EncodeAndWrite(os, ost, f) < 0) throw FFMpegException("Audio encoding failed");
  ost.SyncOpts += Count;
}

void TEngineJob::EncodeQueuedAudio(AVFormatContext* os, TOutputStreamState& ost) {
  AVAudioFifo* fifo = ost.Fifo.get();
  const int frameSize = ost.Encoder->frame_size;
  const int64_t limit = TicksBeforeRecordingEnd(AVRational{1, ost.Encoder->sample_rate});
  if (frameSize > 1) {
    while (lav::av_audio_fifo_size(fifo) >= frameSize && ost.SyncOpts < limit) EncodeFifoFrame(os, ost, frameSize);
  } else if (lav::av_audio_fifo_size(fifo) > 0 && ost.SyncOpts < limit) {
    // Sample-per-frame codecs (PCM): the whole block is one packet, cut at the recording time.
    EncodeFifoFrame(os, ost, int(std::min<int64_t>(lav::av_audio_fifo_size(fifo), limit - ost.SyncOpts)));
  }
}

void TEngineJob::FlushAudioEncoder(AVFormatContext* os, TOutputStreamState& ost) {
  AVCodecContext* enc = ost.Encoder;
  // What the resampler still holds belongs to the end of the stream.
  if (ost.Fifo && ost.Resampler) ConvertIntoFifo(ost, nullptr, 0);
  EncodeQueuedAudio(os, ost);
  const int left = ost.Fifo ? lav::av_audio_fifo_size(ost.Fifo.get()) : 0;
  const bool smallLast =
      enc->codec && (enc->codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE));
  const int64_t room = SatSub(TicksBeforeRecordingEnd(AVRational{1, enc->sample_rate}), ost.SyncOpts);
  if (left > 0 && smallLast && room > 0) EncodeFifoFrame(os, ost, int(std::min<int64_t>(left, room)));
  if (EncodeAndWrite(os, ost, nullptr) < 0) throw FFMpegException("Audio encoding failed");
}

}  // namespace vantrel
