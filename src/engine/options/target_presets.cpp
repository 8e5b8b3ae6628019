// The "target" presets: whole groups of output options for VCD, SVCD, DVD
// and DV, in the PAL, NTSC or film norm.
#include <cmath>

#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/option_numbers.h"

namespace vantrel {
namespace {

enum TNorm { nmPal, nmNtsc, nmFilm };

// A rate in thousandths of a frame per second, rounded to nearest (ties to even).
int Millirate(int64_t Num, int64_t Den) { return int(std::nearbyint(double(Num) * 1000.0 / double(Den))); }

int NormOfRate(int Millirate) {
  if (Millirate == 29970 || Millirate == 23976) return nmNtsc;
  if (Millirate == 25000) return nmPal;
  return -1;
}

struct TPreset {
  const char* kind;
  const char* vcodec;  // nullptr: unchanged
  const char* acodec;
  const char* format;
  const char* palSize;
  const char* ntscSize;
  bool gop;
  const char* bitrate;
  const char* maxrate;
  const char* minrate;
  const char* bufsize;
  const char* flags;
  const char* audioBitrate;
  int sampleRate;
  const char* packetSize;
  const char* muxRate;
  const char* aspect;  // when no aspect was set
};

constexpr TPreset kPresets[] = {
    {"vcd", "mpeg1video", "mp2", "vcd", "352x288", "352x240", true, "1150000", "1150000", "1150000", "327680",
     nullptr, "224000", 44100, "2324", "1411200", "4:3"},
    {"svcd", "mpeg2video", "mp2", "svcd", "480x576", "480x480", true, "2040000", "2516000", "0", "1835008",
     "+scan_offset", "224000", 44100, "2324", nullptr, "4:3"},
    {"dvd", "mpeg2video", "ac3", "dvd", "720x576", "720x480", true, "6000000", "9000000", "0", "1835008", nullptr,
     "448000", 48000, "2048", "10080000", "16:9"},
    {"dv", nullptr, nullptr, "dv", "720x576", "720x480", false, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
     48000, nullptr, nullptr, nullptr},
    {"dv50", nullptr, nullptr, "dv", "720x576", "720x480", false, nullptr, nullptr, nullptr, nullptr, nullptr,
     nullptr, 48000, nullptr, nullptr, nullptr},
};

}  // namespace

int TEngineJob::DetectTargetNorm(const std::string& Norm, const std::string& FallbackNorm) {
  if (Norm == "pal") return nmPal;
  if (Norm == "ntsc") return nmNtsc;
  if (Norm == "film") return nmFilm;
  if (FrameRate.den == 0) throw FFMpegException("frame_rate is invalid.");
  int norm = NormOfRate(Millirate(FrameRate.num, FrameRate.den));
  for (int i = 0; norm < 0 && i < InputFileCount; ++i) {
    for (const CodecContextPtr& dec : InputCodecs[i]) {
      if (!dec || dec->codec_type != AVMEDIA_TYPE_VIDEO || dec->time_base.num == 0) continue;
      norm = NormOfRate(Millirate(dec->time_base.den, dec->time_base.num));
      if (norm >= 0) break;
    }
  }
  if (norm < 0) norm = FallbackNorm == "film" ? nmFilm : FallbackNorm == "ntsc" ? nmNtsc : nmPal;
  if (Verbose > 0 && LogAssigned()) Log(1, Format("Assuming %s for target.", norm == nmPal ? "PAL" : "NTSC"));
  return norm;
}

void TEngineJob::SetTarget(const std::string& Kind, const std::string& Norm, const std::string& FallbackNorm) {
  RefuseWhileRunning();
  const int norm = DetectTargetNorm(Norm, FallbackNorm);
  const bool pal = norm == nmPal;
  const TPreset* preset = nullptr;
  for (const TPreset& p : kPresets)
    if (Kind == p.kind) preset = &p;
  if (!preset) throw FFMpegException("Unknown target type");
  const TPreset& p = *preset;
  if (p.vcodec) SetOption("vcodec", p.vcodec);
  if (p.acodec) SetOption("acodec", p.acodec);
  SetOption("f", p.format);
  SetOption("s", pal ? p.palSize : p.ntscSize);
  SetOption("r", pal ? "25" : norm == nmNtsc ? "30000/1001" : "24000/1001");
  if (Kind == "dv50") SetOption("pix_fmt", "yuv422p");
  if (Kind == "dv") SetOption("pix_fmt", pal ? "yuv420p" : "yuv411p");
  // The installed libraries call the group-of-pictures size "g".
  if (p.gop) ApplyGenericOption("g", pal ? "15" : "18");
  if (p.bitrate) ApplyGenericOption("b", p.bitrate);
  if (p.maxrate) ApplyGenericOption("maxrate", p.maxrate);
  if (p.minrate) ApplyGenericOption("minrate", p.minrate);
  if (p.bufsize) ApplyGenericOption("bufsize", p.bufsize);
  if (p.flags) ApplyGenericOption("flags", p.flags);
  if (p.audioBitrate) ApplyGenericOption("ab", p.audioBitrate);
  AudioSampleRate = p.sampleRate;
  if (Kind == "vcd" || Kind == "dv" || Kind == "dv50" || AudioChannels == 1) AudioChannels = 2;
  if (p.packetSize) ApplyGenericOption("packetsize", p.packetSize);
  if (p.muxRate) ApplyGenericOption("muxrate", p.muxRate);
  if (Kind == "vcd") MuxPreload = 0.44f;
  if (p.aspect && FrameAspectRatio == 0) {
    SetOption("aspect", p.aspect);
    if (LogAssigned()) Log(1, Format("Assuming %s for aspect ratio", p.aspect));
  }
}

void TEngineJob::ParseTarget(const std::string& Value) {
  const std::string v = TrimText(Value);
  for (const char* norm : {"pal", "ntsc", "film"}) {
    const std::string prefix = std::string(norm) + "-";
    if (v.rfind(prefix, 0) == 0) return SetTarget(v.substr(prefix.size()), norm, "ntsc");
  }
  SetTarget(v, "auto", "ntsc");
}

void TEngineJob::SetTarget(const std::string& Value) { RefuseWhileRunning(); ParseTarget(Value); }

}  // namespace vantrel
