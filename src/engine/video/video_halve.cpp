// Halving a picture by averaging each 2x2 block of pixels: the first step
// of a large downscale. The scaler's filter for a k-fold reduction reads
// about 4k pixels per output pixel on every input line, so a 1280x720
// picture scaled to 176x144 costs more than decoding it; halved first, the
// scaler reads a quarter of that, and the average is cheaper than any
// filter. A 2x2 average passes the frequencies the output can show almost
// untouched (over 97 % at the output's limit when it is twice as far
// away), so the output keeps the picture's detail.
#include <algorithm>

#include "engine/job/engine_job.h"
#include "engine/picture_ops.h"

namespace vantrel {
namespace {

void HalvePlane(uint8_t* dst, int dstStride, int dstWidth, int dstHeight, const uint8_t* src, int srcStride,
                int srcWidth, int srcHeight) {
  // Pairs of source columns inside the plane; an odd last column pairs with itself.
  const int pairs = std::min(dstWidth, srcWidth / 2);
  for (int y = 0; y < dstHeight; ++y) {
    const uint8_t* r0 = src + ptrdiff_t(std::min(2 * y, srcHeight - 1)) * srcStride;
    const uint8_t* r1 = src + ptrdiff_t(std::min(2 * y + 1, srcHeight - 1)) * srcStride;
    uint8_t* out = dst + ptrdiff_t(y) * dstStride;
    for (int x = 0; x < pairs; ++x)
      out[x] = uint8_t((r0[2 * x] + r0[2 * x + 1] + r1[2 * x] + r1[2 * x + 1] + 2) >> 2);
    for (int x = pairs; x < dstWidth; ++x) {
      const int x0 = std::min(2 * x, srcWidth - 1), x1 = std::min(2 * x + 1, srcWidth - 1);
      out[x] = uint8_t((r0[x0] + r0[x1] + r1[x0] + r1[x1] + 2) >> 2);
    }
  }
}

bool EightBitPlanar(const AVPixFmtDescriptor* desc) {
  if (!desc || (desc->flags & (AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL))) return false;
  if (!(desc->flags & AV_PIX_FMT_FLAG_PLANAR) && desc->nb_components != 1) return false;
  for (int c = 0; c < desc->nb_components; ++c)
    if (desc->comp[c].depth != 8 || desc->comp[c].step != 1) return false;
  return true;
}

}  // namespace

bool CanHalvePicture(int format) { return EightBitPlanar(lav::av_pix_fmt_desc_get(AVPixelFormat(format))); }

bool HalvePicture(AVFrame* dst, const AVFrame* src) {
  const AVPixFmtDescriptor* desc = lav::av_pix_fmt_desc_get(AVPixelFormat(src->format));
  if (!EightBitPlanar(desc) || dst->format != src->format || dst->width != src->width / 2 ||
      dst->height != src->height / 2 || dst->width <= 0 || dst->height <= 0)
    return false;
  int planes = 0;
  for (int c = 0; c < desc->nb_components; ++c) planes = std::max(planes, desc->comp[c].plane + 1);
  for (int p = 0; p < planes; ++p) {
    const bool chroma = p == 1 || p == 2;
    const int sx = chroma ? desc->log2_chroma_w : 0, sy = chroma ? desc->log2_chroma_h : 0;
    HalvePlane(dst->data[p], dst->linesize[p], AV_CEIL_RSHIFT(dst->width, sx), AV_CEIL_RSHIFT(dst->height, sy),
               src->data[p], src->linesize[p], AV_CEIL_RSHIFT(src->width, sx), AV_CEIL_RSHIFT(src->height, sy));
  }
  return true;
}

}  // namespace vantrel
