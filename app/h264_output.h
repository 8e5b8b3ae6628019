// The picture of the H.264 profiles: the size chosen in the list is the box
// the source's picture fits in, keeping its shape, rather than a shape forced
// on every file. A phone fits the picture to its own screen when it plays it;
// black bars coded into the picture would stay on screen in every
// orientation and cost bits for nothing. The box turns with the source, so a
// film taken upright on a phone stays upright at the chosen size, and the
// picture is never made larger than the source shows it: a phone enlarges as
// well as we would, and the file stays small.
//
// The level written into the stream is the lowest one whose limits hold the
// picture at its frame rate and bit rate, as the standard's table of levels
// gives them: players check it before they play.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "converter/av_probe.h"

namespace vantrel::app {

struct PictureSize {
  int width = 0;
  int height = 0;
  bool operator==(const PictureSize&) const = default;
};

// "1280x720" -> {1280, 720}; {0, 0} for "Same as source" or anything else.
PictureSize ParsePictureSize(std::string_view text);
std::string PictureSizeText(PictureSize size);

// The picture as it is shown: its stored size with its pixels' shape, and
// its frame rate (0 when unknown).
struct SourcePicture {
  int width = 0;
  int height = 0;
  double pixelAspect = 1.0;
  double frameRate = 0;
};
SourcePicture SourceOf(const TAVVideoInfo& video);

// The output size for the source inside box: its shown shape, the box turned
// to the source's orientation, never larger than the source stores it in
// either direction, even in both (4:2:0 pictures). A box of {0, 0} gives
// the largest such size. The box itself when the source's size is unknown.
PictureSize FitPicture(const SourcePicture& source, PictureSize box);

struct H264Level {
  int idc;                 // 31 for level 3.1
  std::string_view name;   // "3.1"
  int64_t maxMacroblocksPerSecond;
  int64_t maxFrameMacroblocks;
  int64_t maxKilobitsPerSecond;  // Baseline and Main; High may use 1.25 times
};

// The lowest level that holds size at frameRate frames per second and
// bitsPerSecond (0: not bounded, constant quality); nullptr when none does.
const H264Level* LevelFor(PictureSize size, double frameRate, int64_t bitsPerSecond, bool highProfile);
// The level called name ("3.0"), for the profiles' own limits.
const H264Level& LevelNamed(std::string_view name);

}  // namespace vantrel::app
