// Handlers of the picture geometry and of the pixel and sample formats.
extern "C" {
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/option_numbers.h"

namespace vantrel {
namespace {

struct SideNames {
  const char* side;
  bool vertical;
};

SideNames SideOf(const std::string& Name, const char* prefix) {
  const std::string side = Name.substr(std::string(prefix).size());
  if (side == "top") return {"Top", true};
  if (side == "bottom") return {"Bottom", true};
  if (side == "left") return {"Left", false};
  return {"Right", false};
}

}  // namespace

void TEngineJob::OptFrameRate(const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  if (lav::av_parse_video_rate(&FrameRate, Value.c_str()) < 0) throw FFMpegException("Incorrect frame rate");
}

void TEngineJob::OptFrameSize(const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  int w = 0, h = 0;
  if (lav::av_parse_video_size(&w, &h, Value.c_str()) < 0) throw FFMpegException("Incorrect frame size");
  FrameWidth = w;
  FrameHeight = h;
  if (w % 2 != 0 || h % 2 != 0) throw FFMpegException("Frame size must be a multiple of 2");
}

void TEngineJob::OptFrameAspectRatio(const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  double ratio = 0;
  const size_t colon = Value.find(':');
  if (colon != std::string::npos) {
    const int32_t x = StrToIntDef(Value.substr(0, colon), 0);
    const int32_t y = StrToIntDef(Value.substr(colon + 1), 0);
    if (y > 0) ratio = double(x) / double(y);
  } else {
    ratio = StrToFloatDef(Value, 0);
  }
  // A float variable cannot hold more; such a ratio is no aspect ratio anyway.
  if (ratio == 0 || ratio > 3.0e38 || ratio < -3.0e38)
    throw FFMpegException("Incorrect aspect ratio specification.");
  FrameAspectRatio = float(ratio);
}

void TEngineJob::OptFrameCrop(const std::string& Name, int Value) {
  RefuseWhileRunning();
  if (Value < 0) return;
  const SideNames s = SideOf(Name, "crop");
  if (Value % 2 != 0) throw FFMpegException(Format("%s crop size must be a multiple of 2", s.side));
  // The value counts pixels of the input as it is stored; a picture decoded
  // at reduced size loses the same region when the value shrinks with it,
  // kept even for the half-size chroma planes.
  Value = (Value >> InputLowres) & ~1;
  int32_t& dimension = s.vertical ? FrameHeight : FrameWidth;
  if (Value >= dimension)
    throw FFMpegException(Format("%s crop dimensions are outside the range of the original image.\n"
                                 "Remember to crop first and scale second.",
                                 s.vertical ? "Vertical" : "Horizontal"));
  int32_t& crop = Name == "croptop" ? FrameCropTop
                  : Name == "cropbottom" ? FrameCropBottom
                  : Name == "cropleft"   ? FrameCropLeft
                                         : FrameCropRight;
  crop = Value;
  dimension -= Value;
}

void TEngineJob::OptFramePad(const std::string& Name, int Value) {
  RefuseWhileRunning();
  if (Value < 0) return;
  const SideNames s = SideOf(Name, "pad");
  if (Value % 2 != 0) throw FFMpegException(Format("%s pad size must be a multiple of 2", s.side));
  int32_t& pad = Name == "padtop" ? FramePadTop
                 : Name == "padbottom" ? FramePadBottom
                 : Name == "padleft"   ? FramePadLeft
                                       : FramePadRight;
  pad = Value;
}

// The colour arrives as 0x00BBGGRR. The products are taken in 32 unsigned
// bits, so a negative chroma intermediate keeps its low 8 bits, which are all
// the padding uses.
void TEngineJob::OptPadColor(int Value) {
  RefuseWhileRunning();
  const uint32_t c = uint32_t(Value);
  const uint32_t r = c & 255, g = (c >> 8) & 255, b = (c >> 16) & 255;
  PadColorY = int32_t((307 * r + 602 * g + 117 * b + 512) >> 10);
  PadColorU = int32_t(((0u - 173 * r - 340 * g + 512 * b + 511) >> 10) + 128);
  PadColorV = int32_t(((512 * r - 429 * g - 84 * b + 511) >> 10) + 128);
}

// "list" names every pixel format of the installed libraries, one line each
// after a heading, through OnLog at level 1.
void TEngineJob::OptPixFmt(const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  if (Value != "list") {
    FramePixFmt = lav::av_get_pix_fmt(Value.c_str());
    return;
  }
  if (!LogAssigned()) return;
  Log(1, "name             nb_components bits_per_pixel");
  for (const AVPixFmtDescriptor* d = lav::av_pix_fmt_desc_next(nullptr); d;
       d = lav::av_pix_fmt_desc_next(d))
    Log(1, TrimText(Format("%-16s %13d %14d", d->name, int(d->nb_components),
                           lav::av_get_bits_per_pixel(d))));
}

void TEngineJob::OptSampleFmt(const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  if (Value != "list") {
    AudioSampleFmt = lav::av_get_sample_fmt(Value.c_str());
    return;
  }
  if (!LogAssigned()) return;
  Log(1, "name   depth");
  for (int f = 0; f < AV_SAMPLE_FMT_NB; ++f)
    Log(1, TrimText(Format("%-6s %5d", lav::av_get_sample_fmt_name(AVSampleFormat(f)),
                           8 * lav::av_get_bytes_per_sample(AVSampleFormat(f)))));
}

}  // namespace vantrel
