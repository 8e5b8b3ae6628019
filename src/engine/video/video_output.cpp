// Video output: the re-encoding set-up of a stream, and each decoded picture
// cropped, scaled, padded, encoded as often as the frame-rate sync asks.
#include <algorithm>

#include "binding/helpers.h"
#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/picture_ops.h"

namespace vantrel {
namespace {

bool AllocatePicture(FramePtr& pic, const AVCodecContext* enc) {
  pic = MakeFrame();
  if (!pic) return false;
  pic->format = enc->pix_fmt;
  pic->width = enc->width;
  pic->height = enc->height;
  return lav::av_frame_get_buffer(pic.get(), 0) >= 0;
}

}  // namespace

void TEngineJob::SetUpVideoEncoding(TOutputStreamState& ost, TInputStreamState& ist) {
  const AVCodecContext* enc = ost.Encoder;
  const AVCodecContext* dec = ist.Decoder;
  const int ct = FrameCropTop, cb = FrameCropBottom, cl = FrameCropLeft, cr = FrameCropRight;
  const int pt = FramePadTop, pb = FramePadBottom, pl = FramePadLeft, pr = FramePadRight;
  ost.VideoCrop = cl + cr + ct + cb != 0;
  ost.VideoPad = pl + pr + pt + pb != 0;
  ost.VideoResample = !(dec->width + pl + pr - cl - cr == enc->width &&
                        dec->height + pt + pb - ct - cb == enc->height && dec->pix_fmt == enc->pix_fmt);
  ost.TopBand = ct;
  ost.LeftBand = cl;
  ost.BottomBand = cb;
  ost.RightBand = cr;
  if (ost.VideoPad) {
    ost.PadTop = pt;
    ost.PadBottom = pb;
    ost.PadLeft = pl;
    ost.PadRight = pr;
    if (!ost.VideoResample && !AllocatePicture(ost.ResamplePicture, enc)) throw FFMpegException("avpicture_alloc fail");
  }
  if (ost.VideoResample) {
    if (!AllocatePicture(ost.ResamplePicture, enc))
      throw FFMpegException("Cannot allocate temp picture, check pix fmt");
    int64_t flags = 0;
    if (ScalerOptions && lav::av_opt_get_int(ScalerOptions.get(), "sws_flags", 0, &flags) >= 0) SwsFlags = int32_t(flags);
    ost.ResampleHeight = UsingFilters ? dec->height : dec->height - ct - cb;
    // A decoder that learns its picture format only from the first picture
    // gets its scaler then.
    if (dec->pix_fmt != AV_PIX_FMT_NONE && dec->width > 0 && dec->height > 0) {
      ost.ScalerInWidth = dec->width - cl - cr;
      ost.ScalerInHeight = dec->height - ct - cb;
      ost.ScalerInFormat = dec->pix_fmt;
      ost.Scaler.reset(lav::sws_getContext(ost.ScalerInWidth, ost.ScalerInHeight, dec->pix_fmt, enc->width - pl - pr,
                                           enc->height - pt - pb, enc->pix_fmt, SwsFlags, nullptr, nullptr, nullptr));
      if (!ost.Scaler) throw FFMpegException("Cannot get resampling context");
    }
  }
  ost.CropFrame = MakeFrame();
  ost.EncodeFrame = MakeFrame();
  if (!ost.CropFrame || !ost.EncodeFrame) throw FFMpegException("Cannot allocate temp picture, check pix fmt");
}

void TEngineJob::PictureFormatError(const char* Msg) {
  if (ExitOnError) throw FFMpegException(Msg);
  Log(0, Msg);
}

// The source halved while it stays at least twice the scaled size both
// ways; the source itself when halving is off or does not apply.
const AVFrame* TEngineJob::HalvedForScaling(TOutputStreamState& ost, const AVFrame* source) {
  if (!PrescaleHalving || !CanHalvePicture(source->format)) return source;
  const AVCodecContext* enc = ost.Encoder;
  const int outWidth = enc->width - ost.PadLeft - ost.PadRight, outHeight = enc->height - ost.PadTop - ost.PadBottom;
  for (FramePtr& half : ost.HalfPictures) {
    if (source->width / 2 < 2 * outWidth || source->height / 2 < 2 * outHeight) break;
    AVFrame* h = WritablePicture(half, source->format, source->width / 2, source->height / 2);
    if (!h) throw FFMpegException("Cannot allocate temp picture, check pix fmt");
    if (!HalvePicture(h, source)) break;
    source = h;
  }
  return source;
}

// False when the pad bands split what the picture format keeps per pixel.
bool TEngineJob::ScaleIntoTarget(TOutputStreamState& ost, const AVFrame* original, AVFrame* target) {
  const AVFrame* source = HalvedForScaling(ost, original);
  // A decoder may change the picture size or format mid-stream: the scaler
  // follows instead of reading past the picture it was made for.
  if (source->width != ost.ScalerInWidth || source->height != ost.ScalerInHeight ||
      source->format != ost.ScalerInFormat) {
    const AVCodecContext* enc = ost.Encoder;
    SwsContext* s = lav::sws_getCachedContext(
        ost.Scaler.release(), source->width, source->height, AVPixelFormat(source->format),
        enc->width - ost.PadLeft - ost.PadRight, enc->height - ost.PadTop - ost.PadBottom, enc->pix_fmt, SwsFlags,
        nullptr, nullptr, nullptr);
    ost.Scaler.reset(s);
    if (!s) throw FFMpegException("Cannot get resampling context");
    ost.ScalerInWidth = source->width;
    ost.ScalerInHeight = source->height;
    ost.ScalerInFormat = source->format;
    ost.ResampleHeight = source->height;
  }
  uint8_t* dst[4] = {target->data[0], target->data[1], target->data[2], target->data[3]};
  if (ost.VideoPad && !InnerRectangle(target, ost.PadTop, ost.PadLeft, dst)) return false;
  lav::sws_scale(ost.Scaler.get(), source->data, source->linesize, 0, std::min(ost.ResampleHeight, source->height),
                 dst, target->linesize);
  return true;
}

AVFrame* TEngineJob::ComposeVideoPicture(TOutputStreamState& ost, AVFrame* picture) {
  AVFrame* formatted = picture;
  if (ost.VideoCrop && !UsingFilters) {
    AVFrame* view = ost.CropFrame.get();
    if (!MakeCropView(view, picture, ost.TopBand, ost.LeftBand, picture->width - ost.LeftBand - ost.RightBand,
                      picture->height - ost.TopBand - ost.BottomBand)) {
      PictureFormatError("error cropping picture");
      return nullptr;
    }
    formatted = view;
  }
  // A picture that does not fit the encoder as it was announced is scaled
  // rather than handed to the encoder, which would read past it.
  const AVCodecContext* enc = ost.Encoder;
  if (!ost.VideoResample && !UsingFilters &&
      (formatted->width + ost.PadLeft + ost.PadRight != enc->width ||
       formatted->height + ost.PadTop + ost.PadBottom != enc->height || formatted->format != enc->pix_fmt)) {
    if (!ost.ResamplePicture && !AllocatePicture(ost.ResamplePicture, enc))
      throw FFMpegException("Cannot allocate temp picture, check pix fmt");
    ost.VideoResample = true;
  }
  const bool scale = ost.VideoResample && !UsingFilters;
  if (!ost.VideoPad && !scale) return formatted;
  AVFrame* target = ost.ResamplePicture.get();
  // The encoder may still hold the last picture: write into a fresh buffer then.
  if (lav::av_frame_make_writable(target) < 0) throw FFMpegException("Cannot allocate temp picture, check pix fmt");
  if (scale) {
    if (!ScaleIntoTarget(ost, formatted, target)) {
      PictureFormatError("error padding picture");
      return nullptr;
    }
  } else {
    uint8_t* inner[4];
    const int w = target->width - ost.PadLeft - ost.PadRight, h = target->height - ost.PadTop - ost.PadBottom;
    if (formatted->width != w || formatted->height != h || formatted->format != target->format ||
        !InnerRectangle(target, ost.PadTop, ost.PadLeft, inner)) {
      PictureFormatError("error padding picture");
      return nullptr;
    }
    lav::av_image_copy(inner, target->linesize, const_cast<const uint8_t**>(formatted->data), formatted->linesize,
                       AVPixelFormat(target->format), w, h);
  }
  const int color[3] = {PadColorY, PadColorU, PadColorV};
  if (ost.VideoPad && !FillPadBands(target, ost.PadTop, ost.PadBottom, ost.PadLeft, ost.PadRight, color)) {
    PictureFormatError("error padding picture");
    return nullptr;
  }
  return target;
}

void TEngineJob::EncodeVideoCopies(AVFormatContext* os, TOutputStreamState& ost, TInputStreamState& ist,
                                      const AVFrame* picture, AVFrame* composed, int copies, int& frameSize) {
  AVFrame* frame = ost.EncodeFrame.get();
  if (lav::av_frame_ref(frame, composed) < 0) throw FFMpegException("Video encoding failed");
  frame->interlaced_frame = picture->interlaced_frame;
  const AVCodecContext* defaults = CodecOptions[AVMEDIA_TYPE_VIDEO].get();
  if (defaults && (defaults->flags & (AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME)))
    frame->top_field_first = TopFieldFirst != -1 ? TopFieldFirst : picture->top_field_first;
  frame->quality = SameQuality ? int(std::lrint(ist.Quality)) : ost.Encoder->global_quality;
  if (MeThreshold == 0) frame->pict_type = AV_PICTURE_TYPE_NONE;
  for (int i = 0; i < copies && !StopRequested; ++i) {
    frame->pts = ost.SyncOpts;
    const int size = EncodeAndWrite(os, ost, frame);
    if (size < 0) {
      lav::av_frame_unref(frame);
      throw FFMpegException("Video encoding failed");
    }
    if (size > 0) frameSize = size;
    ++ost.SyncOpts;
    ++ost.FrameNumber;
  }
  lav::av_frame_unref(frame);
}

void TEngineJob::EncodeVideo(AVFormatContext* os, TOutputStreamState& ost, TInputStreamState& ist,
                                AVFrame* picture, int& frameSize) {
  frameSize = 0;
  int copies = VideoFramesToEncode(ost);
  copies = int(std::min<int64_t>(copies, int64_t(MaxFrames[AVMEDIA_TYPE_VIDEO]) - ost.FrameNumber));
  copies = int(std::min<int64_t>(copies, SatSub(TicksBeforeRecordingEnd(ost.Encoder->time_base), ost.SyncOpts)));
  if (copies <= 0) return;
  AVFrame* composed = ComposeVideoPicture(ost, picture);
  if (composed) EncodeVideoCopies(os, ost, ist, picture, composed, copies, frameSize);
  // The decoded picture goes back to its decoder as soon as possible.
  if (ost.CropFrame) lav::av_frame_unref(ost.CropFrame.get());
}

void TEngineJob::FlushVideoEncoder(AVFormatContext* os, TOutputStreamState& ost) {
  if (EncodeAndWrite(os, ost, nullptr) < 0) throw FFMpegException("Video encoding failed");
}

}  // namespace vantrel
