// What happens to a decoded picture once, before any output stream sees it:
// the hook counter and time, the working copy, deinterlacing, the hooks.
#include <cmath>
#include <cstring>

#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/picture_ops.h"

namespace vantrel {
namespace {

// Interpolates the lines of the second field from the five nearest lines
// (weights -1 4 2 4 -1, eighths); the first field is kept as it is.
void DeinterlacePlane(uint8_t* dst, int dstStride, const uint8_t* src, int srcStride, int width, int height) {
  auto line = [&](int y) { return src + ptrdiff_t(y < 0 ? 0 : y >= height ? height - 1 : y) * srcStride; };
  for (int y = 0; y < height; ++y) {
    uint8_t* out = dst + ptrdiff_t(y) * dstStride;
    if ((y & 1) == 0) {
      std::memcpy(out, line(y), size_t(width));
      continue;
    }
    const uint8_t *m2 = line(y - 2), *m1 = line(y - 1), *c = line(y), *p1 = line(y + 1), *p2 = line(y + 2);
    for (int x = 0; x < width; ++x) {
      const int v = (-m2[x] + 4 * m1[x] + 2 * c[x] + 4 * p1[x] - p2[x] + 4) >> 3;
      out[x] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
    }
  }
}

}  // namespace

AVFrame* WritablePicture(FramePtr& pic, int format, int width, int height) {
  if (!pic) pic = MakeFrame();
  if (!pic) return nullptr;
  AVFrame* p = pic.get();
  if (p->format != format || p->width != width || p->height != height || !p->buf[0]) {
    lav::av_frame_unref(p);
    p->format = format;
    p->width = width;
    p->height = height;
    if (lav::av_frame_get_buffer(p, 0) < 0) return nullptr;
  }
  return lav::av_frame_make_writable(p) < 0 ? nullptr : p;
}

bool DeinterlacePicture(AVFrame* dst, const AVFrame* src) {
  const AVPixFmtDescriptor* desc = lav::av_pix_fmt_desc_get(AVPixelFormat(src->format));
  if (!desc || !(desc->flags & AV_PIX_FMT_FLAG_PLANAR || desc->nb_components == 1) ||
      (desc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL)))
    return false;
  for (int c = 0; c < desc->nb_components; ++c)
    if (desc->comp[c].depth != 8 || desc->comp[c].step != 1) return false;
  for (int p = 0; p < desc->nb_components; ++p) {
    const bool chroma = p == 1 || p == 2;
    const int w = chroma ? AV_CEIL_RSHIFT(src->width, desc->log2_chroma_w) : src->width;
    const int h = chroma ? AV_CEIL_RSHIFT(src->height, desc->log2_chroma_h) : src->height;
    DeinterlacePlane(dst->data[p], dst->linesize[p], src->data[p], src->linesize[p], w, h);
  }
  return true;
}

void TEngineJob::PrepareVideoFrame(TInputStreamState& ist, AVFrame* picture) {
  ++HookFrameCount;
  const int64_t hookTime = ist.Pts;
  const bool hooks = PictureHooksWanted(hookTime);
  if (!DoDeinterlace && !hooks) return;
  AVFrame* work = WritablePicture(PictureWorkFrame, picture->format, picture->width, picture->height);
  if (!work) {
    Log(0, "hook buf malloc error.");
    return;
  }
  bool copied = false;
  if (DoDeinterlace) {
    copied = DeinterlacePicture(work, picture);
    if (!copied) Log(0, "Deinterlacing failed.");
  }
  // Hooks write into the picture: never into the decoder's own, which it may
  // still refer to for later pictures.
  if (!copied && hooks) copied = lav::av_frame_copy(work, picture) >= 0;
  if (!copied) return;
  if (hooks) RunPictureHooks(ist, work, hookTime);
  // The caller's picture now refers to the working copy, with its own properties.
  if (!PictureSwapFrame) PictureSwapFrame = MakeFrame();
  AVFrame* swap = PictureSwapFrame.get();
  if (!swap || lav::av_frame_ref(swap, work) < 0) return;
  lav::av_frame_copy_props(swap, picture);
  lav::av_frame_unref(picture);
  lav::av_frame_move_ref(picture, swap);
}

}  // namespace vantrel
