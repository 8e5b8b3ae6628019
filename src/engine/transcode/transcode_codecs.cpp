// Transcode set-up: what each output stream does with its source (copy or
// re-encode), the two-pass statistics files, and opening the codecs.
#include <algorithm>

#include "binding/message_format.h"
#include "engine/engine.h"

namespace vantrel {
namespace {

void TakeLanguageAndDisposition(AVStream* Out, const AVStream* In) {
  const AVDictionaryEntry* own = lav::av_dict_get(Out->metadata, "language", nullptr, 0);
  const AVDictionaryEntry* source = lav::av_dict_get(In->metadata, "language", nullptr, 0);
  if ((!own || !own->value[0]) && source && source->value[0])
    lav::av_dict_set(&Out->metadata, "language", std::string(source->value).substr(0, 3).c_str(), 0);
  Out->disposition = In->disposition;
}

}  // namespace

void TCustomFFmpeg::SetUpStreamCodecs() {
  for (size_t n = 0; n < OutputStreams.size(); ++n) {
    TOutputStreamState& ost = OutputStreams[n];
    TInputStreamState& ist = InputStreams[size_t(ost.SourceIndex)];
    TakeLanguageAndDisposition(ost.Stream, ist.Stream);
    if (ost.Copy)
      SetUpCopiedStream(ost, ist);
    else
      SetUpEncodedStream(ost, ist);
    if (ost.EncodingNeeded && (ost.Encoder->flags & (AV_CODEC_FLAG_PASS1 | AV_CODEC_FLAG_PASS2)))
      OpenTwoPassLog(ost, int(n));
  }
}

void TCustomFFmpeg::SetUpEncodedStream(TOutputStreamState& ost, TInputStreamState& ist) {
  switch (ost.Encoder->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      SetUpAudioEncoding(ost, ist);
      break;
    case AVMEDIA_TYPE_VIDEO:
      SetUpVideoEncoding(ost, ist);
      FilterError.clear();
      if (UsingFilters && !SetUpFilterGraph(ist, ost))
        throw FFMpegException(FilterError.empty() ? std::string("Error opening filters!")
                                                  : "Error opening filters: " + FilterError);
      break;
    case AVMEDIA_TYPE_SUBTITLE:
      break;
    default:
      throw FFMpegException("invalid codec_type of output stream");
  }
  ost.EncodingNeeded = true;
  ist.DecodingNeeded = true;
}

void TCustomFFmpeg::OpenTwoPassLog(TOutputStreamState& ost, int Position) {
  std::string name = Format("%s-%d.log", PassLogFileName.empty() ? "ffmpeg2pass" : PassLogFileName, Position);
  if (name.size() > 1023) name.resize(1023);
  if (ost.Encoder->flags & AV_CODEC_FLAG_PASS1) {
    FILE* f = lav::fopen(name.c_str(), "w");
    if (!f) throw FFMpegException("creat file fail: " + name);
    ost.LogFile.reset(f);
    return;
  }
  FilePtr f(lav::fopen(name.c_str(), "r"));
  if (!f) throw FFMpegException("creat open fail: " + name);
  lav::fseek(f.get(), 0, SEEK_END);
  const long size = std::max(0L, lav::ftell(f.get()));
  lav::fseek(f.get(), 0, SEEK_SET);
  AvBufferPtr<char> text(static_cast<char*>(lav::av_malloc(size_t(size) + 1)));
  if (!text) throw FFMpegException("Could not allocate log buffer");
  const size_t got = lav::fread(text.get(), 1, size_t(size), f.get());
  text.get()[got] = '\0';
  ost.StatsIn = std::move(text);
  ost.Encoder->stats_in = ost.StatsIn.get();
}

void TCustomFFmpeg::OpenEncoders() {
  for (TOutputStreamState& ost : OutputStreams) {
    if (!ost.EncodingNeeded) continue;
    AVCodecContext* enc = ost.Encoder;
    const AVCodec* codec = enc->codec ? enc->codec : lav::avcodec_find_encoder(enc->codec_id);
    if (!codec)
      throw FFMpegException(Format("Unsupported codec for output stream #%d.%d", ost.FileIndex, ost.StreamIndex));
    {
      std::lock_guard<std::mutex> lock(CodecLock());
      if (lav::avcodec_open2(enc, codec, nullptr) < 0)
        throw FFMpegException(Format("Error while opening codec for output stream #%d.%d - maybe incorrect "
                                     "parameters such as bit_rate, rate, width or height",
                                     ost.FileIndex, ost.StreamIndex));
      OpenedEncoders.insert(OpenedEncoders.begin(), enc);
    }
    ExtraSize += enc->extradata_size;
    // The muxer learns the stream from the opened encoder.
    if (lav::avcodec_parameters_from_context(ost.Stream->codecpar, enc) < 0)
      throw FFMpegException("av_mallocz fail");
    ost.Stream->time_base = enc->time_base;
    if (enc->codec_type == AVMEDIA_TYPE_VIDEO) ost.Stream->avg_frame_rate = enc->framerate;
    if (enc->codec_type == AVMEDIA_TYPE_AUDIO) StartAudioEncoding(ost, InputStreams[size_t(ost.SourceIndex)]);
  }
}

void TCustomFFmpeg::OpenDecoders() {
  for (TInputStreamState& ist : InputStreams) {
    if (!ist.DecodingNeeded) continue;
    AVCodecContext* dec = ist.Decoder;
    const AVCodec* codec = dec ? (dec->codec ? dec->codec : lav::avcodec_find_decoder(dec->codec_id)) : nullptr;
    if (!codec)
      throw FFMpegException(Format("Unsupported codec (id=%d) for input stream #%d.%d",
                                   int(ist.Stream->codecpar->codec_id), ist.FileIndex, ist.StreamIndex));
    {
      std::lock_guard<std::mutex> lock(CodecLock());
      if (lav::avcodec_open2(dec, codec, nullptr) < 0)
        throw FFMpegException(
            Format("Error while opening codec for input stream #%d.%d", ist.FileIndex, ist.StreamIndex));
      OpenedDecoders.insert(OpenedDecoders.begin(), dec);
    }
    ist.Frame = MakeFrame();
    if (!ist.Frame) throw FFMpegException("av_mallocz fail");
  }
}

}  // namespace vantrel
