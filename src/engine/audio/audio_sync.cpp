// The audio clock ("async"): keeps the encoded samples in step with the input
// clock by dropping samples, inserting silence or letting the resampler
// stretch. Counts are in samples; the caps keep the meaning they had in
// bytes of 16-bit interleaved audio.
#include <algorithm>
#include <cmath>

#include "binding/message_format.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

constexpr double kSyncTolerance = 50;        // samples
constexpr int64_t kSilenceBlockBytes = 131072;  // largest block after inserting silence

}  // namespace

bool TEngineJob::CorrectAudioClock(TOutputStreamState& ost, TInputStreamState& ist, const AVFrame* samples,
                                      TAudioBlock& block) {
  const AVCodecContext* enc = ost.Encoder;
  const double queued = lav::av_audio_fifo_size(ost.Fifo.get());
  const double delta = SyncInputTime(ost) * enc->sample_rate - double(ost.SyncOpts) - queued;
  if (std::fabs(delta) <= kSyncTolerance) return true;
  const int inRate = samples->sample_rate > 0 ? samples->sample_rate : enc->sample_rate;
  const int inChannels = std::max(1, samples->ch_layout.nb_channels);
  // The correction in input samples, truncated.
  const double inDelta = std::trunc(delta * inRate / enc->sample_rate);
  if (ist.IsStart || std::fabs(delta) > double(AudioDriftThreshold) * enc->sample_rate) {
    if (inDelta < 0) {
      block.Skip = int(std::min<double>(-inDelta, block.Count));
      if (Verbose > 2 && LogAssigned()) Log(1, Format("discarding %d audio samples", int64_t(-delta)));
      if (block.Skip == block.Count) return false;
      ist.IsStart = false;
    } else {
      const int64_t cap = kSilenceBlockBytes / (2 * inChannels);
      int64_t silence = int64_t(std::min<double>(inDelta, double(cap)));
      if (silence + block.Count <= cap)
        ist.IsStart = false;
      else
        silence = std::max<int64_t>(0, cap - block.Count);
      block.Silence = int(silence);
      if (Verbose > 2 && LogAssigned()) Log(1, Format("adding %d audio samples of silence", int64_t(delta)));
    }
  } else if (AudioSyncMethod > 1) {
    const int comp = int(std::clamp(std::trunc(delta), -double(AudioSyncMethod), double(AudioSyncMethod)));
    if (Verbose > 2 && LogAssigned())
      Log(1, Format("compensating audio timestamp drift:%f compensation:%d in:%d", delta, comp, enc->sample_rate));
    if (ost.Resampler) lav::swr_set_compensation(ost.Resampler.get(), comp, enc->sample_rate);
  }
  return true;
}

}  // namespace vantrel
