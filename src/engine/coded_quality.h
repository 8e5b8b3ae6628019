// What an encoder tells of each coded picture: the quality, the picture type
// and the per-plane errors it attaches to the packet, and the PSNR of an error.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "binding/av_functions.h"

namespace vantrel {

struct TCodedPictureStats {
  bool HasQuality = false;
  int32_t Quality = 0;  // lambda units
  int PictType = -1;    // -1: not given
  int ErrorCount = 0;   // leading entries of Error that were given
  int64_t Error[3] = {};
};

// The side data is laid out as 32-bit quality, picture type, error count,
// two spare bytes, then the 64-bit errors, all little-endian.
inline TCodedPictureStats ReadCodedPictureStats(const AVPacket* pkt) {
  TCodedPictureStats stats;
  size_t size = 0;
  const uint8_t* data = lav::av_packet_get_side_data(pkt, AV_PKT_DATA_QUALITY_STATS, &size);
  if (!data || size < 4) return stats;
  stats.HasQuality = true;
  stats.Quality = int32_t(uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                          uint32_t(data[3]) << 24);
  if (size >= 5) stats.PictType = data[4];
  const int count = size >= 6 ? data[5] : 0;
  for (int j = 0; j < 3 && j < count && 8 + size_t(j + 1) * 8 <= size; ++j) {
    uint64_t e = 0;
    for (int b = 7; b >= 0; --b) e = e << 8 | data[8 + j * 8 + b];
    stats.Error[j] = int64_t(e);
    stats.ErrorCount = j + 1;
  }
  return stats;
}

// d: the summed squared error over the largest possible one.
inline double Psnr(double d) { return -10.0 * std::log10(d); }

}  // namespace vantrel
