// Which decoded pictures go to the hooks, and handing them over: the
// before-hook handler or the time ranges decide for the plug-in hooks; a
// custom hook handler, when assigned, takes every picture as a bitmap.
#include <algorithm>
#include <cstring>

#include "binding/message_format.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

constexpr AVPixelFormat kHookPixelFormat = AV_PIX_FMT_BGR24;

std::string ExceptionText(std::exception_ptr Error) {
  try {
    std::rethrow_exception(Error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown exception";
  }
}

}  // namespace

void TEngineJob::StopHooking() {
  HookAction = haStop;
  FrameHooksActive = false;
}

// The search starts at the current range; ranges before it are done with.
void TEngineJob::DecideByRanges(int64_t HookTime) {
  HookAction = haIgnore;
  for (int i = HookRangeIndex; i < HookRangeCount; ++i) {
    const THookRange& r = HookRanges[size_t(i)];
    if (r.start <= HookTime && HookTime <= r.end) {
      HookRangeIndex = i;
      HookAction = haContinue;
      return;
    }
    if (i == HookRangeCount - 1 && r.end < HookTime) StopHooking();
  }
}

void TEngineJob::DecideHookAction(int64_t HookTime) {
  if (OnBeforeHook) {
    try {
      OnBeforeHook(Owner, HookTime, HookAction);
    } catch (...) {
      if (LogAssigned()) Log(0, "Error occurs OnBeforeHook: " + ExceptionText(std::current_exception()));
      HookAction = haStop;
    }
    if (HookAction == haStop) StopHooking();
  } else if (HookRangeCount > 0) {
    DecideByRanges(HookTime);
  }
}

bool TEngineJob::PictureHooksWanted(int64_t HookTime) {
  if (OnCustomHook) return true;
  if (!FrameHooksActive) return false;
  DecideHookAction(HookTime);
  return FrameHooksActive && HookAction == haContinue;
}

void TEngineJob::RunPictureHooks(TInputStreamState&, AVFrame* picture, int64_t HookTime) {
  if (OnCustomHook)
    RunCustomHook(picture, HookTime);
  else
    RunFrameHooks(FrameHooks, picture, HookTime);
}

// The picture in the bitmap's pixel format: the picture itself when it is
// in that format already, else the cached RGB picture scaled from it.
AVFrame* TEngineJob::HookRgbPicture(AVFrame* picture) {
  if (picture->format == kHookPixelFormat) return picture;
  AVFrame* rgb = HookRgbFrame.get();
  if (!rgb || rgb->width != picture->width || rgb->height != picture->height) {
    HookRgbFrame = MakeFrame();
    rgb = HookRgbFrame.get();
    if (!rgb) return nullptr;
    rgb->format = kHookPixelFormat;
    rgb->width = picture->width;
    rgb->height = picture->height;
    if (lav::av_frame_get_buffer(rgb, 0) < 0) {
      HookRgbFrame.reset();
      return nullptr;
    }
  }
  ToRgbScaler.reset(lav::sws_getCachedContext(ToRgbScaler.release(), picture->width, picture->height,
                                              AVPixelFormat(picture->format), rgb->width, rgb->height,
                                              kHookPixelFormat, SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!ToRgbScaler) return nullptr;
  lav::sws_scale(ToRgbScaler.get(), picture->data, picture->linesize, 0, picture->height, rgb->data, rgb->linesize);
  return rgb;
}

bool TEngineJob::ScaleBackFromRgb(const AVFrame* rgb, AVFrame* picture) {
  FromRgbScaler.reset(lav::sws_getCachedContext(FromRgbScaler.release(), rgb->width, rgb->height, kHookPixelFormat,
                                                picture->width, picture->height, AVPixelFormat(picture->format),
                                                SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!FromRgbScaler) return false;
  lav::sws_scale(FromRgbScaler.get(), rgb->data, rgb->linesize, 0, rgb->height, picture->data, picture->linesize);
  return true;
}

void TEngineJob::RunCustomHook(AVFrame* picture, int64_t HookTime) {
  if (!HookBitmap) HookBitmap = std::make_unique<THookBitmap>();
  THookBitmap& bitmap = *HookBitmap;
  AVFrame* rgb = HookRgbPicture(picture);
  if (!rgb) {
    Log(0, "Cannot initialize the toRGB conversion context");
    StopCustomHook();
    return;
  }
  bool update = true, stop = false;
  {
    std::lock_guard<THookBitmap> locked(bitmap);
    if (bitmap.Width() != rgb->width || bitmap.Height() != rgb->height) bitmap.SetSize(rgb->width, rgb->height);
    const size_t row = size_t(std::min(rgb->width * THookBitmap::kBytesPerPixel, bitmap.Stride()));
    for (int y = 0; y < rgb->height; ++y)
      std::memcpy(bitmap.ScanLine(y), rgb->data[0] + ptrdiff_t(y) * rgb->linesize[0], row);
    try {
      OnCustomHook(Owner, bitmap, HookFrameCount, HookTime, update, stop);
    } catch (...) {
      if (LogAssigned()) Log(0, "Error occurs OnCustomHook: " + ExceptionText(std::current_exception()));
      update = false;
    }
    if (update) {
      for (int y = 0; y < rgb->height; ++y)
        std::memcpy(rgb->data[0] + ptrdiff_t(y) * rgb->linesize[0], bitmap.ScanLine(y), row);
    }
  }
  if (update && rgb != picture && !ScaleBackFromRgb(rgb, picture)) {
    Log(0, "Cannot initialize the fromRGB conversion context");
    stop = true;
  }
  if (stop) StopCustomHook();
}

// The handler is let go for the rest of the job; the one running now has
// returned, so dropping it is safe.
void TEngineJob::StopCustomHook() {
  OnCustomHook = nullptr;
  StopHooking();
}

}  // namespace vantrel
