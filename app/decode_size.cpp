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

// After decoding at the factor: halved while the picture stays at least
// twice the output both ways.
void ChooseHalving(DecodeChoice& choice, int width, int height, int outWidth, int outHeight, bool fastDecoding) {
  const int w = width >> choice.factor, h = height >> choice.factor;
  choice.halveBeforeScaling = fastDecoding && outWidth > 0 && outHeight > 0 && w / 2 >= 2 * outWidth &&
                              h / 2 >= 2 * outHeight;
  if (choice.halveBeforeScaling) choice.note += QStringLiteral(", halving the picture before scaling");
}

DecodeChoice ChooseDecodeSize(const Decoder& decoder, int width, int height, int outWidth, int outHeight,
                              bool fastDecoding) {
  DecodeChoice choice;
  const QString full = QStringLiteral("decoding at full size (");
  if (decoder.maxLowres <= 0) {
    const QString name = decoder.name.isEmpty() ? QStringLiteral("the decoder") : decoder.name;
    choice.note = full + name + QStringLiteral(" has no reduced-size decoding)");
    choice.skipNonReferenceDeblocking =
        fastDecoding && outWidth > 0 && outHeight > 0 && int64_t(outWidth) * outHeight * 4 <= int64_t(width) * height;
    if (choice.skipNonReferenceDeblocking) choice.note += QStringLiteral(", without deblocking non-reference pictures");
    choice.skipDroppedPictures = fastDecoding;
    if (choice.skipDroppedPictures)
      choice.note += QStringLiteral(", skipping the non-reference pictures the frame rate drops");
    return choice;
  }
  const int factor = LowresFactor(decoder.maxLowres, width, height, outWidth, outHeight);
  if (factor == 0) {
    choice.note = full + QStringLiteral("the output needs the whole picture)");
  } else if (!fastDecoding) {
    choice.note = full + QStringLiteral("fast decoding is off)");
  } else {
    choice.factor = factor;
    choice.note = QStringLiteral("decoding at 1/%1 size (lowres %2)").arg(1 << factor).arg(factor);
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
