// The per-frame video statistics file ("vstats"): one line per encoded picture.
#include <algorithm>
#include <cmath>
#include <string>

#include "engine/coded_quality.h"
#include "engine/job/engine_job.h"

namespace vantrel {
void TEngineJob::WriteVideoStats(AVFormatContext*, TOutputStreamState& ost, int frameSize) {
  if (VStatsFileName.empty() || frameSize == 0) return;
  if (!VStatsFile) {
    VStatsFile.reset(lav::fopen(VStatsFileName.c_str(), "w"));
    if (!VStatsFile) throw FFMpegException(std::string("fopen fail: ") + VStatsFileName);
  }
  const AVCodecContext* enc = ost.Encoder;
  if (enc->codec_type != AVMEDIA_TYPE_VIDEO) return;
  FILE* f = VStatsFile.get();
  lav::fprintf(f, "frame= %5d q= %2.1f ", ost.FrameNumber, double(ost.CodedQuality) / FF_QP2LAMBDA);
  if (enc->flags & AV_CODEC_FLAG_PSNR)
    lav::fprintf(f, "PSNR= %6.2f ", Psnr(double(ost.CodedError[0]) / (double(enc->width) * enc->height * 255.0 * 255.0)));
  lav::fprintf(f, "f_size= %6d ", frameSize);
  const double tb = av_q2d(enc->time_base);
  const double time = std::max(double(ost.SyncOpts) * tb, 0.01);
  const double bitrate = frameSize * 8 / tb / 1000.0;
  const double avgBitrate = double(VideoSize) * 8 / time / 1000.0;
  lav::fprintf(f, "s_size= %8.0fkB time= %0.3f br= %7.1fkbits/s avg_br= %7.1fkbits/s ", double(VideoSize) / 1024,
               time, bitrate, avgBitrate);
  lav::fprintf(f, "type= %c\n", lav::av_get_picture_type_char(AVPictureType(ost.LastPictType)));
}

}  // namespace vantrel
