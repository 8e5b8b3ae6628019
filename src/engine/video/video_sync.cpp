// Frame-rate sync of the video output: pictures are dropped or repeated so
// that the output keeps the encoder's frame rate against the input clock.
#include <algorithm>
#include <cmath>

#include "binding/helpers.h"
#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/video_sync.h"

namespace vantrel {
namespace {

constexpr double kDropThreshold = -1.1;  // frames
constexpr double kDupThreshold = 1.1;
// Time bases finer than this are taken as a variable frame rate: no sync by default.
constexpr double kFineTimeBase = 0.001;

// The next picture takes the input clock's frame number, but never one the
// encoder has had: after the input's time stamps jump back (or two pictures
// round to one number) the encoder would refuse it.
void FollowInputFrames(int64_t& syncOpts, int32_t frameNumber, double inputFrames) {
  const int64_t wanted = SatRound(inputFrames);
  syncOpts = frameNumber > 0 ? std::max(syncOpts, wanted) : wanted;
}

}  // namespace

int SyncCopies(int64_t& syncOpts, int32_t frameNumber, double inputFrames, double timeBase, int method) {
  if (!(method > 0 || (method != 0 && timeBase > kFineTimeBase))) {
    FollowInputFrames(syncOpts, frameNumber, inputFrames);
    return 1;
  }
  const double vdelta = inputFrames - double(syncOpts);
  if (vdelta < kDropThreshold) return 0;
  if (method == 2) {
    FollowInputFrames(syncOpts, frameNumber, inputFrames);
    return 1;
  }
  return vdelta > kDupThreshold ? int(std::lrint(std::fmin(vdelta, 1e9))) : 1;
}

int TEngineJob::VideoFramesToEncode(TOutputStreamState& ost) {
  const double tb = av_q2d(ost.Encoder->time_base);
  const int n = SyncCopies(ost.SyncOpts, ost.FrameNumber, SyncInputTime(ost) / tb, tb, VideoSyncMethod);
  if (n == 0) {
    ++DropFrames;
    if (Verbose > 2) Log(1, "*** drop!");
  } else if (n > 1) {
    DupFrames += n - 1;
    if (Verbose > 2) Log(1, Format("*** %d dup!", n - 1));
  }
  return n;
}

}  // namespace vantrel
