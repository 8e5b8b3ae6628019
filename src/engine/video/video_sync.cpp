// Frame-rate sync of the video output: pictures are dropped or repeated so
// that the output keeps the encoder's frame rate against the input clock.
#include <algorithm>
#include <cmath>

#include "binding/helpers.h"
#include "binding/message_format.h"
#include "engine/engine.h"

namespace vantrel {
namespace {

constexpr double kDropThreshold = -1.1;  // frames
constexpr double kDupThreshold = 1.1;
// Time bases finer than this are taken as a variable frame rate: no sync by default.
constexpr double kFineTimeBase = 0.001;

// The next picture takes the input clock's frame number, but never one the
// encoder has had: after the input's time stamps jump back (or two pictures
// round to one number) the encoder would refuse it.
void FollowInputFrames(TOutputStreamState& ost, double inputFrames) {
  const int64_t wanted = SatRound(inputFrames);
  ost.SyncOpts = ost.FrameNumber > 0 ? std::max(ost.SyncOpts, wanted) : wanted;
}

}  // namespace

int TCustomFFmpeg::VideoFramesToEncode(TOutputStreamState& ost) {
  const double tb = av_q2d(ost.Encoder->time_base);
  const double inputFrames = SyncInputTime(ost) / tb;
  if (!(VideoSyncMethod > 0 || (VideoSyncMethod != 0 && tb > kFineTimeBase))) {
    FollowInputFrames(ost, inputFrames);
    return 1;
  }
  const double vdelta = inputFrames - double(ost.SyncOpts);
  int n = 1;
  if (vdelta < kDropThreshold)
    n = 0;
  else if (VideoSyncMethod == 2)
    FollowInputFrames(ost, inputFrames);
  else if (vdelta > kDupThreshold)
    n = int(std::lrint(std::fmin(vdelta, 1e9)));
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
