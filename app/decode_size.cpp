#include "app/decode_size.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <mutex>

#include "binding/av_binding.h"

namespace vantrel::app {

int LowresFactor(int maxLowres, int width, int height, int outWidth, int outHeight) {
  if (width <= 0 || height <= 0 || outWidth <= 0 || outHeight <= 0) return 0;
  for (int f = std::min(maxLowres, kMaxLowres); f > 0; --f)
    if ((width >> f) >= outWidth && (height >> f) >= outHeight) return f;
  return 0;
}

// Looked up once per codec: every row's plan is made again whenever a
// choice changes, and the library walks its whole codec list each time.
Decoder DecoderFor(int codecId) {
  static std::mutex lock;
  static std::map<int, Decoder> known;
  std::lock_guard<std::mutex> guard(lock);
  if (const auto it = known.find(codecId); it != known.end()) return it->second;
  Decoder decoder;
  if (const AVCodec* codec = lav::avcodec_find_decoder(AVCodecID(codecId)))
    decoder = {QString::fromUtf8(codec->name), std::max(0, int(codec->max_lowres))};
  known.emplace(codecId, decoder);
  return decoder;
}

namespace {

QString SizeText(int width, int height) { return QStringLiteral("%1x%2").arg(width).arg(height); }

QString FractionText(int factor) {
  switch (factor) {
    case 1:
      return QStringLiteral("half size");
    case 2:
      return QStringLiteral("a quarter of its size");
    default:
      break;
  }
  return QStringLiteral("an eighth of its size");
}

// After decoding at the factor: halved while the picture stays at least
// twice the output both ways.
void ChooseHalving(DecodeChoice& choice, int width, int height, int outWidth, int outHeight, bool fastDecoding) {
  const int w = width >> choice.factor, h = height >> choice.factor;
  choice.halveBeforeScaling = fastDecoding && outWidth > 0 && outHeight > 0 && w / 2 >= 2 * outWidth &&
                              h / 2 >= 2 * outHeight;
  if (choice.halveBeforeScaling) choice.note += QStringLiteral(", then halves the picture before resizing it");
}

// The notes are read by users in the list's tooltips and in vantrel-batch
// --verbose: they say what happens, not how the decoder is told to do it.
DecodeChoice FullSizeChoice(int width, int height, int outWidth, int outHeight, bool fastDecoding) {
  DecodeChoice choice;
  choice.note = QStringLiteral("Full-size decoding: this kind of video cannot be read at a reduced size");
  choice.skipNonReferenceDeblocking =
      fastDecoding && outWidth > 0 && outHeight > 0 && int64_t(outWidth) * outHeight * 4 <= int64_t(width) * height;
  if (choice.skipNonReferenceDeblocking)
    choice.note += QStringLiteral(", leaves out a smoothing step the smaller picture does not show");
  choice.skipDroppedPictures = fastDecoding;
  if (choice.skipDroppedPictures) choice.note += QStringLiteral(", skips the pictures the frame rate leaves out");
  return choice;
}

DecodeChoice ChooseDecodeSize(const Decoder& decoder, int width, int height, int outWidth, int outHeight,
                              bool fastDecoding) {
  if (decoder.maxLowres <= 0) return FullSizeChoice(width, height, outWidth, outHeight, fastDecoding);
  DecodeChoice choice;
  const int factor = LowresFactor(decoder.maxLowres, width, height, outWidth, outHeight);
  const QString output = SizeText(outWidth, outHeight);
  if (factor == 0) {
    choice.note = QStringLiteral("Full-size decoding: at a reduced size the picture would be smaller than ") + output;
  } else if (!fastDecoding) {
    choice.note = QStringLiteral("Fast decoding is off");
  } else {
    choice.factor = factor;
    const bool larger = (width >> factor) > outWidth || (height >> factor) > outHeight;
    choice.note = QStringLiteral("Fast decoding: reads the picture at ") + FractionText(factor) +
                  (larger ? QStringLiteral(", which is still larger than ") : QStringLiteral(", which is exactly ")) +
                  output;
  }
  return choice;
}

}  // namespace

DecodeChoice ChooseDecoding(const Decoder& decoder, int width, int height, int outWidth, int outHeight,
                            bool fastDecoding) {
  DecodeChoice choice = ChooseDecodeSize(decoder, width, height, outWidth, outHeight, fastDecoding);
  ChooseHalving(choice, width, height, outWidth, outHeight, fastDecoding);
  return choice;
}

}  // namespace vantrel::app
