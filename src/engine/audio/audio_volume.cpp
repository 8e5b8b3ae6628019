// The "vol" option on decoded audio: samples scaled by Volume / 256, integer
// formats rounded the way 16-bit samples always were and clipped to range.
#include <algorithm>
#include <cmath>

#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

template <typename T>
void ScaleIntegers(uint8_t* Data, size_t Count, int Volume, int64_t Low, int64_t High, int64_t Bias) {
  T* s = reinterpret_cast<T*>(Data);
  for (size_t i = 0; i < Count; ++i) {
    const int64_t v = ((int64_t(s[i]) - Bias) * Volume + 128) >> 8;
    s[i] = T(std::clamp<int64_t>(v, Low, High) + Bias);
  }
}

template <typename T>
void ScaleFloats(uint8_t* Data, size_t Count, int Volume) {
  T* s = reinterpret_cast<T*>(Data);
  for (size_t i = 0; i < Count; ++i) s[i] = T(s[i] * Volume / 256.0);
}

void ScalePlane(uint8_t* Data, size_t Count, AVSampleFormat Format, int Volume) {
  switch (Format) {
    case AV_SAMPLE_FMT_U8:
      ScaleIntegers<uint8_t>(Data, Count, Volume, -128, 127, 128);
      break;
    case AV_SAMPLE_FMT_S16:
      ScaleIntegers<int16_t>(Data, Count, Volume, INT16_MIN, INT16_MAX, 0);
      break;
    case AV_SAMPLE_FMT_S32:
      ScaleIntegers<int32_t>(Data, Count, Volume, INT32_MIN, INT32_MAX, 0);
      break;
    case AV_SAMPLE_FMT_S64: {
      int64_t* s = reinterpret_cast<int64_t*>(Data);
      for (size_t i = 0; i < Count; ++i) {
        const long double v = std::nearbyint((long double)s[i] * Volume / 256);
        s[i] = v >= (long double)INT64_MAX ? INT64_MAX : v <= (long double)INT64_MIN ? INT64_MIN : int64_t(v);
      }
      break;
    }
    case AV_SAMPLE_FMT_FLT:
      ScaleFloats<float>(Data, Count, Volume);
      break;
    case AV_SAMPLE_FMT_DBL:
      ScaleFloats<double>(Data, Count, Volume);
      break;
    default:
      break;
  }
}

}  // namespace

void TEngineJob::ApplyVolume(AVFrame* Frame, int Volume) {
  if (Volume == 256 || Frame->nb_samples <= 0) return;
  if (lav::av_frame_make_writable(Frame) < 0) return;
  const AVSampleFormat format = AVSampleFormat(Frame->format);
  const int channels = Frame->ch_layout.nb_channels;
  const bool planar = lav::av_sample_fmt_is_planar(format) != 0;
  const AVSampleFormat packed = !planar                        ? format
                                : format == AV_SAMPLE_FMT_S64P ? AV_SAMPLE_FMT_S64
                                                               : AVSampleFormat(format - AV_SAMPLE_FMT_U8P);
  const int planes = planar ? channels : 1;
  const size_t perPlane = size_t(Frame->nb_samples) * size_t(planar ? 1 : channels);
  for (int p = 0; p < planes; ++p) ScalePlane(Frame->extended_data[p], perPlane, packed, Volume);
}

}  // namespace vantrel
