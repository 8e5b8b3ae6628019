// The frame-rate sync's rule, shared by the encoding of a picture and the
// look-ahead that decides which pictures need not be decoded.
#pragma once

#include <cstdint>

namespace vantrel {

// How many times a picture at inputFrames (the input clock in encoder ticks)
// is encoded: 0 drops it. syncOpts is the encoder tick of the next frame and
// follows the input clock where the method says so; frameNumber counts the
// frames encoded so far. method: the "vsync" value (-1 automatic).
int SyncCopies(int64_t& syncOpts, int32_t frameNumber, double inputFrames, double timeBase, int method);

}  // namespace vantrel
