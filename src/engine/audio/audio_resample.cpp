// One resampler per re-encoded audio stream does what the decoded blocks need
// on their way into the FIFO: sample rate, sample format and channel layout.
#include <algorithm>

#include "binding/message_format.h"
#include "engine/audio_frames.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

// A layout that names only a channel count is taken as the usual layout of
// that many channels, which is what the resampler can mix.
void UsableLayout(AVChannelLayout& out, const AVChannelLayout& in) {
  if (in.order == AV_CHANNEL_ORDER_UNSPEC || in.order == AV_CHANNEL_ORDER_CUSTOM)
    lav::av_channel_layout_default(&out, in.nb_channels);
  else
    lav::av_channel_layout_copy(&out, &in);
}

}  // namespace

bool EnsureFrameCapacity(FramePtr& frame, int32_t& capacity, int needed, int minimum, AVSampleFormat format,
                         const AVChannelLayout& layout, int rate) {
  if (!frame) {
    frame = MakeFrame();
    capacity = 0;
    if (!frame) return false;
  }
  AVFrame* f = frame.get();
  if (needed > capacity) {
    lav::av_frame_unref(f);
    f->format = format;
    f->sample_rate = rate;
    if (lav::av_channel_layout_copy(&f->ch_layout, &layout) < 0) return false;
    f->nb_samples = std::max(needed, minimum);
    if (lav::av_frame_get_buffer(f, 0) < 0) {
      capacity = 0;
      return false;
    }
    capacity = f->nb_samples;
  }
  // A reference the encoder still holds is left to it; the full capacity is kept.
  f->nb_samples = capacity;
  if (lav::av_frame_make_writable(f) < 0) return false;
  f->nb_samples = needed;
  return true;
}

void TEngineJob::OpenResampler(TOutputStreamState& ost, AVSampleFormat InFormat, int InRate,
                                  const AVChannelLayout& InLayout) {
  const AVCodecContext* enc = ost.Encoder;
  ost.ResampleInFormat = InFormat;
  ost.ResampleInRate = InRate;
  ost.ResampleInChannels = InLayout.nb_channels;
  if (InLayout.nb_channels != enc->ch_layout.nb_channels) ost.AudioResample = true;
  ost.Resampler.reset();
  if (!ost.AudioResample && InFormat == enc->sample_fmt) return;
  AVChannelLayout inLayout{}, outLayout{};
  UsableLayout(inLayout, InLayout);
  UsableLayout(outLayout, enc->ch_layout);
  SwrContext* swr = nullptr;
  int ret = lav::swr_alloc_set_opts2(&swr, &outLayout, enc->sample_fmt, enc->sample_rate, &inLayout, InFormat, InRate,
                                     0, nullptr);
  ost.Resampler.reset(swr);
  lav::av_channel_layout_uninit(&inLayout);
  lav::av_channel_layout_uninit(&outLayout);
  if (ret >= 0) ret = lav::swr_init(swr);
  if (ret >= 0) return;
  ost.Resampler.reset();
  if (ost.AudioResample)
    throw FFMpegException(Format("Can not resample %d channels @ %d Hz to %d channels @ %d Hz", InLayout.nb_channels,
                                 InRate, enc->ch_layout.nb_channels, enc->sample_rate));
  const char* from = lav::av_get_sample_fmt_name(InFormat);
  const char* to = lav::av_get_sample_fmt_name(enc->sample_fmt);
  throw FFMpegException(Format("Cannot convert %s sample format to %s sample format", from ? from : "none",
                               to ? to : "none"));
}

bool TEngineJob::ConvertIntoFifo(TOutputStreamState& ost, const uint8_t* const* planes, int Count) {
  const uint8_t* const* out = planes;
  int produced = Count;
  SwrContext* swr = ost.Resampler.get();
  if (swr) {
    const AVCodecContext* enc = ost.Encoder;
    const int room = lav::swr_get_out_samples(swr, Count);
    if (room < 0 || !EnsureFrameCapacity(ost.ConvertFrame, ost.ConvertCapacity, std::max(room, 1), 1024,
                                         enc->sample_fmt, enc->ch_layout, enc->sample_rate))
      return false;
    produced = lav::swr_convert(swr, ost.ConvertFrame->extended_data, room, const_cast<const uint8_t**>(planes), Count);
    if (produced < 0) {
      if (ExitOnError) throw FFMpegException("av_audio_convert() failed");
      Log(0, "av_audio_convert() failed");
      return false;
    }
    out = ost.ConvertFrame->extended_data;
  }
  if (produced > 0 &&
      lav::av_audio_fifo_write(ost.Fifo.get(), reinterpret_cast<void**>(const_cast<uint8_t**>(out)),
                               produced) < produced)
    throw FFMpegException("av_fifo_realloc2() failed");
  return true;
}

bool TEngineJob::QueueSilence(TOutputStreamState& ost, const AVFrame* samples, int Count) {
  FramePtr& silence = ost.SilenceFrame;
  const bool fits = silence && silence->format == samples->format && silence->nb_samples >= Count &&
                    silence->ch_layout.nb_channels == samples->ch_layout.nb_channels;
  if (!fits) {
    if (!silence) silence = MakeFrame();
    if (!silence) return false;
    lav::av_frame_unref(silence.get());
    silence->format = samples->format;
    silence->sample_rate = samples->sample_rate;
    silence->nb_samples = Count;
    if (lav::av_channel_layout_copy(&silence->ch_layout, &samples->ch_layout) < 0 ||
        lav::av_frame_get_buffer(silence.get(), 0) < 0)
      return false;
    lav::av_samples_set_silence(silence->extended_data, 0, Count, silence->ch_layout.nb_channels,
                                AVSampleFormat(silence->format));
  }
  return ConvertIntoFifo(ost, silence->extended_data, Count);
}

bool TEngineJob::QueueAudio(TOutputStreamState& ost, const AVFrame* samples, const TAudioBlock& block) {
  if (block.Silence > 0 && !QueueSilence(ost, samples, block.Silence)) return false;
  const AVSampleFormat format = AVSampleFormat(samples->format);
  const int bytes = lav::av_get_bytes_per_sample(format);
  const int channels = samples->ch_layout.nb_channels;
  const bool planar = lav::av_sample_fmt_is_planar(format);
  const int planeCount = planar ? channels : 1;
  if (planeCount > AV_NUM_DATA_POINTERS * 8) return false;
  const uint8_t* planes[AV_NUM_DATA_POINTERS * 8];
  const ptrdiff_t skip = ptrdiff_t(block.Skip) * bytes * (planar ? 1 : channels);
  for (int p = 0; p < planeCount; ++p) planes[p] = samples->extended_data[p] + skip;
  return ConvertIntoFifo(ost, planes, block.Count - block.Skip);
}

}  // namespace vantrel
