// Pictures the frame-rate sync would drop need not be decoded. Before a
// video packet goes to its decoder, the sync is run ahead over the pictures
// still inside the decoder and then over this packet's picture; when every
// output stream would drop it, the decoder is told to skip the packet if it
// is a non-reference picture (no later picture is predicted from it, so
// nothing else changes). A reference picture is decoded all the same.
//
// The sync clock of a picture is not its own time stamp but the engine's
// input clock when the picture comes out; the two differ by an offset that
// is steady once the decoder's delay is filled. The offset is learnt from
// the pictures that come out, and nothing is skipped until it has been the
// same for two pictures in a row.
#include <algorithm>
#include <cstdint>

#include "binding/helpers.h"
#include "engine/job/engine_job.h"
#include "engine/video_sync.h"

namespace vantrel {
namespace {

// More pictures than any decoder holds back: a stream whose pictures never
// come out with the times of their packets stops the bookkeeping here.
constexpr size_t kMaxPendingPictures = 64;

int64_t Microseconds(int64_t ts, AVRational timeBase) { return SatRescale(ts, timeBase, AV_TIME_BASE_Q); }

}  // namespace

bool TEngineJob::SyncWouldDrop(const TInputStreamState& ist, int IstIndex, int64_t PictureTime) const {
  // Pictures before the start time are thrown away without the sync; leaving
  // them undecoded moved the first picture after it.
  if (SatAdd(PictureTime, ist.ClockOffset) < StartTime) return false;
  bool encoded = false;
  for (const TOutputStreamState& ost : OutputStreams) {
    if (ost.SourceIndex != IstIndex || !ost.EncodingNeeded) continue;
    if (ost.FilterGraph || ost.SyncStream != &ist) return false;
    encoded = true;
    const double tb = av_q2d(ost.Encoder->time_base);
    const auto inputFrames = [&](int64_t time) {
      return double(SatSub(SatAdd(time, ist.ClockOffset), StartTime)) / 1000000.0 / tb;
    };
    int64_t opts = ost.SyncOpts;
    int32_t frames = ost.FrameNumber;
    for (const int64_t earlier : ist.PendingPictures) {
      if (earlier >= PictureTime) break;
      if (SatAdd(earlier, ist.ClockOffset) < StartTime) continue;
      const int n = SyncCopies(opts, frames, inputFrames(earlier), tb, VideoSyncMethod);
      opts = SatAdd(opts, n);
      // A jump in the time stamps can ask for a huge number of copies.
      frames = int32_t(std::min<int64_t>(int64_t(frames) + n, INT32_MAX));
    }
    if (SyncCopies(opts, frames, inputFrames(PictureTime), tb, VideoSyncMethod) > 0) return false;
  }
  return encoded;
}

void TEngineJob::ChooseSkipFrame(TInputStreamState& ist, int IstIndex, const AVPacket* pkt) {
  AVCodecContext* dec = ist.Decoder;
  if (!SkipDroppedPictures || !pkt || dec->codec_type != AVMEDIA_TYPE_VIDEO) return;
  if (!ist.BaseSkipFrameKnown) {
    ist.BaseSkipFrame = dec->skip_frame;
    ist.BaseSkipFrameKnown = true;
  }
  bool skip = false;
  if (pkt->pts != AV_NOPTS_VALUE) {
    const int64_t time = Microseconds(pkt->pts, ist.Stream->time_base);
    // Hooks and filters see every picture.
    const bool everyPictureSeen = OnCustomHook || FrameHooksActive || UsingFilters;
    skip = !everyPictureSeen && ist.ClockOffset != INT64_MIN && SyncWouldDrop(ist, IstIndex, time);
    auto& pending = ist.PendingPictures;
    if (pending.size() >= kMaxPendingPictures) pending.erase(pending.begin());
    pending.insert(std::upper_bound(pending.begin(), pending.end(), time), time);
  }
  dec->skip_frame = skip ? std::max(AVDiscard(ist.BaseSkipFrame), AVDISCARD_NONREF) : AVDiscard(ist.BaseSkipFrame);
}

void TEngineJob::NotePictureOut(TInputStreamState& ist, const AVFrame* frame) {
  if (!SkipDroppedPictures) return;
  if (frame->best_effort_timestamp == AV_NOPTS_VALUE) {
    ist.ClockOffset = ist.LastClockOffset = INT64_MIN;
    return;
  }
  const int64_t time = Microseconds(frame->best_effort_timestamp, ist.Stream->time_base);
  const int64_t offset = SatSub(ist.Pts, time);
  ist.ClockOffset = offset == ist.LastClockOffset ? offset : INT64_MIN;
  ist.LastClockOffset = offset;
  // This picture and every one before it have left the decoder, or never will.
  auto& pending = ist.PendingPictures;
  pending.erase(pending.begin(), std::upper_bound(pending.begin(), pending.end(), time));
}

}  // namespace vantrel
