#include "app/h264_output.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace vantrel::app {
namespace {

// The standard's table of levels (Annex A): macroblocks per second, per
// frame, and the bit rate of the video layer in 1000 bit/s. Level 1b is left
// out: no encoder setting of ours needs it.
constexpr std::array<H264Level, 16> kLevels = {{
    {10, "1.0", 1485, 99, 64},
    {11, "1.1", 3000, 396, 192},
    {12, "1.2", 6000, 396, 384},
    {13, "1.3", 11880, 396, 768},
    {20, "2.0", 11880, 396, 2000},
    {21, "2.1", 19800, 792, 4000},
    {22, "2.2", 20250, 1620, 4000},
    {30, "3.0", 40500, 1620, 10000},
    {31, "3.1", 108000, 3600, 14000},
    {32, "3.2", 216000, 5120, 20000},
    {40, "4.0", 245760, 8192, 20000},
    {41, "4.1", 245760, 8192, 50000},
    {42, "4.2", 522240, 8704, 50000},
    {50, "5.0", 589824, 22080, 135000},
    {51, "5.1", 983040, 36864, 240000},
    {52, "5.2", 2073600, 36864, 240000},
}};

int Even(double value) { return std::max(2, 2 * int(std::lround(value / 2))); }

int64_t Macroblocks(int pixels) { return (int64_t{pixels} + 15) / 16; }

}  // namespace

PictureSize ParsePictureSize(std::string_view text) {
  PictureSize size;
  char tail = 0;
  const std::string s(text);
  if (std::sscanf(s.c_str(), "%dx%d%c", &size.width, &size.height, &tail) != 2 || size.width <= 0 ||
      size.height <= 0)
    return {};
  return size;
}

std::string PictureSizeText(PictureSize size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

SourcePicture SourceOf(const TAVVideoInfo& video) {
  SourcePicture source;
  source.width = video.Width;
  source.height = video.Height;
  if (video.SarNum > 0 && video.SarDen > 0) source.pixelAspect = double(video.SarNum) / video.SarDen;
  // A stated aspect beyond any real one is a broken header: square pixels.
  if (source.pixelAspect < 0.1 || source.pixelAspect > 10) source.pixelAspect = 1.0;
  if (video.FrameRateNum > 0 && video.FrameRateDen > 0) source.frameRate = double(video.FrameRateNum) / video.FrameRateDen;
  return source;
}

PictureSize FitPicture(const SourcePicture& source, PictureSize box) {
  if (source.width <= 0 || source.height <= 0) return box;
  const double shownWidth = source.width * source.pixelAspect;
  const double shownHeight = source.height;
  // Pixels made square by narrowing a side, never by widening the other:
  // the shown picture fitted in the stored one.
  const double scaleToSource = std::min(source.width / shownWidth, source.height / shownHeight);
  double limitWidth = shownWidth * scaleToSource, limitHeight = shownHeight * scaleToSource;
  if (box.width > 0 && box.height > 0) {
    const bool upright = shownHeight > shownWidth;
    const double boxWidth = upright ? std::min(box.width, box.height) : std::max(box.width, box.height);
    const double boxHeight = upright ? std::max(box.width, box.height) : std::min(box.width, box.height);
    const double scale = std::min({1.0, boxWidth / limitWidth, boxHeight / limitHeight});
    limitWidth *= scale;
    limitHeight *= scale;
  }
  return {Even(limitWidth), Even(limitHeight)};
}

const H264Level* LevelFor(PictureSize size, double frameRate, int64_t bitsPerSecond, bool highProfile) {
  const int64_t wide = Macroblocks(size.width), high = Macroblocks(size.height);
  const int64_t frame = wide * high;
  const double perSecond = double(frame) * std::max(frameRate, 1.0);
  const double kilobits = double(bitsPerSecond) / 1000 / (highProfile ? 1.25 : 1.0);
  for (const H264Level& level : kLevels) {
    // Neither side may pass the square root of eight frames' worth.
    const double side = std::sqrt(8.0 * double(level.maxFrameMacroblocks));
    if (frame <= level.maxFrameMacroblocks && double(wide) <= side && double(high) <= side &&
        perSecond <= double(level.maxMacroblocksPerSecond) && kilobits <= double(level.maxKilobitsPerSecond))
      return &level;
  }
  return nullptr;
}

const H264Level& LevelNamed(std::string_view name) {
  for (const H264Level& level : kLevels)
    if (level.name == name) return level;
  return kLevels.back();
}

}  // namespace vantrel::app
