// Decoding at reduced size: a decoder that can deliver its pictures at 1/2,
// 1/4 or 1/8 of their stored size ("lowres") saves most of its work when the
// output is a phone-sized picture anyway. The factor is chosen per file
// when its task is made, and the choice is said in words for the row's
// tooltip and vantrel-batch --verbose.
#pragma once

#include <QString>

namespace vantrel::app {

inline constexpr int kMaxLowres = 3;

// The largest f in 0..min(maxLowres, 3) with (width >> f) >= outWidth and
// (height >> f) >= outHeight: the decoded picture is never smaller than the
// output in either direction. 0 when the decoder offers no reduced size
// (maxLowres 0) or a size is unknown (0 or less).
int LowresFactor(int maxLowres, int width, int height, int outWidth, int outHeight);

struct Decoder {
  QString name;       // the library's decoder name; empty when there is none
  int maxLowres = 0;  // the largest factor it offers
};
// The decoder the library would pick for codecId (an AVCodecID).
Decoder DecoderFor(int codecId);

// How one file's pictures are decoded.
struct DecodeChoice {
  int factor = 0;
  // Skip the in-loop deblocking of pictures no other picture is predicted
  // from: for a decoder without reduced sizes when the output has at most a
  // quarter of the input's pixels, where the scaler hides the difference.
  bool skipNonReferenceDeblocking = false;
  // Leave undecoded the pictures no other picture is predicted from when the
  // output's frame rate drops them anyway: the output is the same, for a
  // decoder without reduced sizes (the others hand their pictures out in a
  // way the look-ahead does not follow).
  bool skipDroppedPictures = false;
  // Halve the decoded picture by 2x2 averages before the scaler while it is
  // at least four times the output both ways: the scaler's cost falls to a
  // quarter and the output keeps the picture.
  bool halveBeforeScaling = false;
  QString note;  // empty when the file has no video
};

// In plain words: "Fast decoding: reads the picture at half size, which is
// still larger than 176x144", or why the picture is read at full size
// ("Full-size decoding: this kind of video cannot be read at a reduced
// size", "Full-size decoding: at a reduced size the picture would be smaller
// than 176x144", "Fast decoding is off"). Skipped deblocking adds ", leaves
// out a smoothing step the smaller picture does not show", skipped pictures
// ", skips the pictures the frame rate leaves out", halving ", then halves
// the picture before resizing it".
DecodeChoice ChooseDecoding(const Decoder& decoder, int width, int height, int outWidth, int outHeight,
                            bool fastDecoding);

}  // namespace vantrel::app
