// Cropping as a view into the decoded picture, and the pad bands around the
// inner rectangle. Only the padding itself writes pixels.
#include <cstring>

#include "engine/picture_ops.h"

namespace vantrel {
namespace {

// Formats whose planes can be addressed per pixel: no palette, no bit packing,
// no hardware surfaces.
const AVPixFmtDescriptor* CuttableFormat(int format) {
  const AVPixFmtDescriptor* desc = lav::av_pix_fmt_desc_get(AVPixelFormat(format));
  if (!desc || (desc->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL)))
    return nullptr;
  return desc;
}

// Bytes from one pixel to the next in each plane.
void PixelSteps(const AVPixFmtDescriptor* desc, int steps[4]) {
  for (int p = 0; p < 4; ++p) steps[p] = 0;
  for (int c = 0; c < desc->nb_components; ++c)
    if (desc->comp[c].step > steps[desc->comp[c].plane]) steps[desc->comp[c].plane] = desc->comp[c].step;
}

bool IsChromaPlane(const AVPixFmtDescriptor* desc, int plane) {
  return (desc->flags & AV_PIX_FMT_FLAG_PLANAR) && (plane == 1 || plane == 2) &&
         !(desc->flags & AV_PIX_FMT_FLAG_RGB);
}

bool OffsetPlanes(const AVPixFmtDescriptor* desc, uint8_t* const src[4], const int linesize[4], int top, int left,
                  uint8_t* out[4]) {
  int steps[4];
  PixelSteps(desc, steps);
  const int chromaW = desc->log2_chroma_w, chromaH = desc->log2_chroma_h;
  // A band that splits a subsampled chroma pixel cannot be a view.
  if ((top & ((1 << chromaH) - 1)) || (left & ((1 << chromaW) - 1))) return false;
  for (int p = 0; p < 4; ++p) {
    out[p] = nullptr;
    if (!src[p] || steps[p] == 0) continue;
    const bool chroma = IsChromaPlane(desc, p);
    const int y = chroma ? top >> chromaH : top;
    const int x = chroma ? left >> chromaW : left;
    out[p] = src[p] + ptrdiff_t(y) * linesize[p] + ptrdiff_t(x) * steps[p];
  }
  return true;
}

void FillRect(uint8_t* plane, int linesize, int x, int y, int w, int h, int value) {
  if (w <= 0 || h <= 0) return;
  for (int row = 0; row < h; ++row) std::memset(plane + ptrdiff_t(y + row) * linesize + x, value, size_t(w));
}

}  // namespace

bool MakeCropView(AVFrame* view, const AVFrame* src, int top, int left, int width, int height) {
  lav::av_frame_unref(view);
  const AVPixFmtDescriptor* desc = CuttableFormat(src->format);
  if (!desc || top < 0 || left < 0 || width <= 0 || height <= 0 || top + height > src->height ||
      left + width > src->width)
    return false;
  if (lav::av_frame_ref(view, src) < 0) return false;
  uint8_t* planes[4];
  if (!OffsetPlanes(desc, view->data, view->linesize, top, left, planes)) {
    lav::av_frame_unref(view);
    return false;
  }
  for (int p = 0; p < 4; ++p) view->data[p] = planes[p];
  view->width = width;
  view->height = height;
  return true;
}

bool InnerRectangle(const AVFrame* pic, int top, int left, uint8_t* data[4]) {
  const AVPixFmtDescriptor* desc = CuttableFormat(pic->format);
  return desc && OffsetPlanes(desc, pic->data, pic->linesize, top, left, data);
}

bool FillPadBands(AVFrame* pic, int top, int bottom, int left, int right, const int color[3]) {
  const AVPixFmtDescriptor* desc = CuttableFormat(pic->format);
  // Only planar YUV (and grey) pictures know what a Y, U, V pad colour is.
  if (!desc || (desc->flags & AV_PIX_FMT_FLAG_RGB) || !(desc->flags & AV_PIX_FMT_FLAG_PLANAR || desc->nb_components == 1))
    return false;
  for (int c = 0; c < desc->nb_components; ++c)
    if (desc->comp[c].step != 1 || desc->comp[c].depth != 8) return false;
  for (int p = 0; p < 3 && p < desc->nb_components; ++p) {
    const bool chroma = p > 0;
    const int sw = chroma ? desc->log2_chroma_w : 0, sh = chroma ? desc->log2_chroma_h : 0;
    const int w = AV_CEIL_RSHIFT(pic->width, sw), h = AV_CEIL_RSHIFT(pic->height, sh);
    const int t = top >> sh, b = bottom >> sh, l = left >> sw, r = right >> sw;
    uint8_t* plane = pic->data[p];
    const int ls = pic->linesize[p];
    FillRect(plane, ls, 0, 0, w, t, color[p]);
    FillRect(plane, ls, 0, h - b, w, b, color[p]);
    FillRect(plane, ls, 0, t, l, h - t - b, color[p]);
    FillRect(plane, ls, w - r, t, r, h - t - b, color[p]);
  }
  if (desc->nb_components == 4) FillRect(pic->data[3], pic->linesize[3], 0, 0, pic->width, pic->height, 255);
  return true;
}

}  // namespace vantrel
