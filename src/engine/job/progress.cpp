// Progress of a running job: the seven values for the progress handler, the
// text line for the log, and the byte summary at the end.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "binding/message_format.h"
#include "engine/coded_quality.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

constexpr double kLambdaPerQp = FF_QP2LAMBDA;  // 118

// The text line grows piece by piece in a fixed buffer, with the C library's
// formatting.
class LineBuffer {
 public:
  template <typename... Args>
  void Append(const char* Fmt, Args... args) {
    const size_t len = std::strlen(text_);
    if (len + 1 < sizeof text_) lav::snprintf(text_ + len, sizeof text_ - len, Fmt, args...);
  }
  const char* Text() const { return text_; }

 private:
  char text_[1024] = {};
};

float StreamQuality(const TOutputStreamState& ost) {
  if (!ost.EncodingNeeded) return -1.0f;
  return float(ost.CodedQuality / kLambdaPerQp);
}

void AppendQpHistogram(LineBuffer& Line, int32_t (&Histogram)[52], const TOutputStreamState& ost) {
  const int qp = int(std::nearbyint(ost.CodedQuality / kLambdaPerQp));
  if (qp >= 0 && qp < 52) ++Histogram[qp];
  for (int j = 0; j < 32; ++j) Line.Append("%X", int(std::nearbyint(std::log2(double(Histogram[j]) + 1))));
}

// With Last the encoder's totals over the job, else the last frame's errors.
void AppendPsnr(LineBuffer& Line, const TOutputStreamState& ost, int FrameNumber, bool Last) {
  const AVCodecContext* enc = ost.Encoder;
  double errorSum = 0, scaleSum = 0;
  Line.Append("PSNR=");
  for (int j = 0; j < 3; ++j) {
    double error = double(Last ? enc->error[j] : ost.CodedError[j]);
    double scale = double(enc->width) * enc->height * 255.0 * 255.0 * (Last ? FrameNumber : 1);
    if (j > 0) scale /= 4;
    errorSum += error;
    scaleSum += scale;
    Line.Append("%c:%2.2f ", "YUV"[j], Psnr(error / scale));
  }
  Line.Append("*:%2.2f ", Psnr(errorSum / scaleSum));
}

}  // namespace

int64_t TEngineJob::ProgressSize() const {
  if (OutputFileCount == 0 || !OutputFiles[0] || !OutputFiles[0]->pb) return 0;
  AVIOContext* pb = OutputFiles[0]->pb;
  // The size on disk lags behind what the muxer has written into the I/O
  // buffer (it can stay 0 for a good while); the write position does not,
  // but falls back when a muxer seeks back to patch a header.
  const int64_t size = lav::avio_size(pb);
  const int64_t position = lav::avio_seek(pb, 0, SEEK_CUR);
  return std::max(size, position);
}

void TEngineJob::ReportProgress(bool last) {
  const int64_t totalSize = ProgressSize();
  LineBuffer line;
  double outputTime = 1e10;
  int frameNumber = -1, fps = -1;
  float quality = -1.0f;
  bool videoSeen = false;
  for (const TOutputStreamState& ost : OutputStreams) {
    if (ost.Encoder->codec_type == AVMEDIA_TYPE_VIDEO) {
      if (videoSeen) {
        line.Append("q=%2.1f ", double(StreamQuality(ost)));
      } else {
        const float elapsed = float(lav::av_gettime() - JobStartTime) / 1000000.0f;
        frameNumber = ost.FrameNumber;
        // Nothing to tell before the first picture.
        if (frameNumber < 1) return;
        fps = elapsed > 1 ? int(float(frameNumber) / elapsed + 0.5f) : 0;
        quality = StreamQuality(ost);
        line.Append("frame=%5d fps=%3d q=%3.1f ", frameNumber, fps, double(quality));
        if (last) line.Append("L");
        if (QpHist) AppendQpHistogram(line, QpHistogram, ost);
        if (ost.EncodingNeeded && (ost.Encoder->flags & AV_CODEC_FLAG_PSNR))
          AppendPsnr(line, ost, frameNumber, last);
        videoSeen = true;
      }
    }
    const double t = ost.ShownEnd == AV_NOPTS_VALUE ? 0 : double(ost.ShownEnd) * av_q2d(ost.Stream->time_base);
    if (t < outputTime && t > 0) outputTime = t;
  }
  // Nothing muxed yet counts as no time at all.
  if (outputTime < 0.01 || outputTime >= 1e10) outputTime = 0.01;
  if (OnProgress || Verbose > 0 || last) {
    const double bitrate = double(totalSize) * 8 / outputTime / 1000;
    line.Append("size=%8.0fkB time=%0.2f bitrate=%6.1fkbits/s", double(totalSize) / 1024, outputTime, bitrate);
    if (Verbose > 1) line.Append(" dup=%d drop=%d", DupFrames, DropFrames);
    if (OnProgress)
      OnProgress(Owner, frameNumber, fps, int(outputTime * 1000), quality, float(bitrate), totalSize, DurationMs);
    else if (OnProgressLine && Verbose >= 0)
      OnProgressLine(Owner, line.Text(), last);
    else if (Verbose >= 0 && LogAssigned())
      Log(1, line.Text());
  }
  if (last && Verbose >= 0 && LogAssigned()) LogSummary(totalSize);
}

void TEngineJob::LogSummary(int64_t TotalSize) {
  const int64_t raw = AudioSize + VideoSize + ExtraSize;
  // An output without a single byte of payload has no overhead to speak of.
  const double overhead = raw > 0 ? double(TotalSize - raw) * 100.0 / double(raw) : 0.0;
  Log(1, Format("video:%1.0fkB audio:%1.0fkB global headers:%1.0fkB muxing overhead %f%%\r\n",
                double(VideoSize) / 1024, double(AudioSize) / 1024, double(ExtraSize) / 1024, overhead));
}

}  // namespace vantrel
