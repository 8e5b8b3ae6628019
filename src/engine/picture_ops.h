// Picture operations of the video output that need no engine state: the crop
// view, the inner rectangle of a padded picture, the pad fill and the
// deinterlacing filter. They work on planar pictures of 8-bit components.
#pragma once

#include <cstdint>

#include "binding/av_functions.h"
#include "binding/av_ptr.h"

namespace vantrel {

// view := a reference to src showing the rectangle that starts top lines down
// and left columns in, of width x height. No pixel is copied. False when the
// format cannot be cut that way or the rectangle leaves the picture.
bool MakeCropView(AVFrame* view, const AVFrame* src, int top, int left, int width, int height);

// The plane pointers of the rectangle of pic that starts top lines down and
// left columns in. False when the format cannot be cut that way.
bool InnerRectangle(const AVFrame* pic, int top, int left, uint8_t* data[4]);

// Paints the bands around the inner rectangle of pic with the colour (Y, U, V).
bool FillPadBands(AVFrame* pic, int top, int bottom, int left, int right, const int color[3]);

// dst := src with its second field interpolated from the first (a vertical
// low-pass over five lines). dst has src's format and size and is writable.
bool DeinterlacePicture(AVFrame* dst, const AVFrame* src);

// pic, made or kept as a writable picture of this format and size: its
// buffer is reused when it already is one. nullptr when memory runs out.
AVFrame* WritablePicture(FramePtr& pic, int format, int width, int height);

// Whether HalvePicture takes pictures of this format (8-bit planar).
bool CanHalvePicture(int format);

// dst := src at half its width and height (rounded down), each pixel the
// rounded mean of a 2x2 block. dst has src's format and those sizes.
bool HalvePicture(AVFrame* dst, const AVFrame* src);

}  // namespace vantrel
