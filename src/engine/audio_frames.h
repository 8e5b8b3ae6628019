// The reusable audio frames of an output stream (encoder input, resampler
// output): grown on demand, never shrunk.
#pragma once

#include <cstdint>

#include "binding/av_ptr.h"

namespace vantrel {

// Makes frame hold needed writable samples in the given format, layout and
// rate, allocating at least Minimum samples when it has to grow; capacity
// tracks the size of the buffer. A reference the encoder still holds is left
// to it. False when the library refuses.
bool EnsureFrameCapacity(FramePtr& frame, int32_t& capacity, int needed, int minimum, AVSampleFormat format,
                         const AVChannelLayout& layout, int rate);

}  // namespace vantrel
