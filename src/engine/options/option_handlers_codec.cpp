// Handlers of container formats, codec names and tags, quality settings and
// quantiser matrices.
#include <cstring>

#include "binding/message_format.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

constexpr int kMatrixSize = 64;

}  // namespace

// "pgmyuv" was folded into the image sequence format.
std::string TEngineJob::ImageFormatName(const std::string& Name) {
  if (Name != "pgmyuv") return Name;
  PgmyuvCompat = 1;
  if (LogAssigned()) Log(1, "pgmyuv format is deprecated, use image2");
  return "image2";
}

void TEngineJob::SetInputFormat(const std::string& Name) {
  RefuseWhileRunning();
  if (Name.empty()) return;
  const std::string name = ImageFormatName(Name);
  InputFormat = lav::av_find_input_format(name.c_str());
  if (!InputFormat) throw FFMpegException(Format("Unknown input format: %s", name));
}

void TEngineJob::SetOutputFormat(const std::string& Name) {
  RefuseWhileRunning();
  if (Name.empty()) return;
  const std::string name = ImageFormatName(Name);
  OutputFormat = lav::av_guess_format(name.c_str(), nullptr, nullptr);
  if (!OutputFormat) throw FFMpegException(Format("Unknown output format: %s", name));
}

void TEngineJob::SetFormat(const std::string& Name) {
  RefuseWhileRunning();
  if (Name.empty()) return;
  const std::string name = ImageFormatName(Name);
  InputFormat = lav::av_find_input_format(name.c_str());
  OutputFormat = lav::av_guess_format(name.c_str(), nullptr, nullptr);
  if (!InputFormat && !OutputFormat) throw FFMpegException(Format("Unknown input or output format: %s", name));
}

void TEngineJob::OptQScale(float Value) {
  RefuseWhileRunning();
  if (!(Value > 0) || Value > 255) throw FFMpegException("qscale must be > 0.0 and <= 255");
  VideoQScale = Value;
}

void TEngineJob::OptPass(int Value) {
  RefuseWhileRunning();
  if (Value != 1 && Value != 2) throw FFMpegException("pass number can be only 1 or 2");
  DoPass = Value;
}

void TEngineJob::OptCodecName(const std::string& Name, const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  std::string& codecName = Name == "vcodec" ? VideoCodecName : Name == "acodec" ? AudioCodecName : SubtitleCodecName;
  int32_t* streamCopy = Name == "vcodec"   ? &VideoStreamCopy
                        : Name == "acodec" ? &AudioStreamCopy
                                           : &SubtitleStreamCopy;
  codecName.clear();
  if (Value == "copy")
    *streamCopy = 1;
  else
    codecName = Value;
}

void TEngineJob::OptCodecTag(const std::string& Name, const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  const bool video = Name == "vtag";
  if (Value.size() != 4)
    throw EAssertionFailed(video ? "video tag parameter must be 4 chars" : "audio tag parameter must be 4 chars");
  const auto byte = [&Value](int i) { return uint32_t(uint8_t(Value[i])); };
  const uint32_t tag = byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
  (video ? VideoCodecTag : AudioCodecTag) = int32_t(tag);
}

// The new block replaces the previous one at once, so a syntax error leaves
// the coefficients read so far installed.
void TEngineJob::OptMatrix(const std::string& Name, const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  std::optional<std::array<uint16_t, 64>>& installed = Name == "intra_matrix" ? IntraMatrix : InterMatrix;
  static_assert(kMatrixSize == 64);
  uint16_t* matrix = installed.emplace().data();
  const char* p = Value.c_str();
  for (int i = 0; i < kMatrixSize; ++i) {
    matrix[i] = uint16_t(lav::strtol(p, nullptr, 10));
    if (i == kMatrixSize - 1) break;
    p = std::strchr(p, ',');
    if (!p) throw FFMpegException(Format("Syntax error in matrix \"%s\" at coeff %d", Value, i));
    ++p;
  }
}

}  // namespace vantrel
