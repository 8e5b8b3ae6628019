// Transcode set-up: what each output stream does with its source (copy or
// re-encode), the two-pass statistics files, and opening the codecs.
#include <algorithm>

#include "binding/message_format.h"
#include "engine/codec_lock.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

constexpr const char* kEncoderStatsOption = "stats";

void TakeLanguageAndDisposition(AVStream* Out, const AVStream* In) {
  const AVDictionaryEntry* own = lav::av_dict_get(Out->metadata, "language", nullptr, 0);
  const AVDictionaryEntry* source = lav::av_dict_get(In->metadata, "language", nullptr, 0);
  if ((!own || !own->value[0]) && source && source->value[0])
    lav::av_dict_set(&Out->metadata, "language", std::string(source->value).substr(0, 3).c_str(), 0);
  Out->disposition = In->disposition;
}

}  // namespace

void TEngineJob::SetUpStreamCodecs() {
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

void TEngineJob::SetUpEncodedStream(TOutputStreamState& ost, TInputStreamState& ist) {
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
      SetUpSubtitleEncoding(ost, ist);
      break;
    default:
      throw FFMpegException("invalid codec_type of output stream");
  }
  ost.EncodingNeeded = true;
  ist.DecodingNeeded = true;
}

// Subtitle packets carry times in microseconds, as the decoded subtitles do;
// bitmap subtitles keep the canvas they were drawn for.
void TEngineJob::SetUpSubtitleEncoding(TOutputStreamState& ost, const TInputStreamState& ist) {
  AVCodecContext* enc = ost.Encoder;
  enc->time_base = AV_TIME_BASE_Q;
  const AVCodecParameters* par = ist.Stream->codecpar;
  if (enc->width <= 0 || enc->height <= 0) {
    enc->width = par->width;
    enc->height = par->height;
  }
}

// Encoders that keep their own statistics (libx264's "stats") write them in
// pass 1 and read them in pass 2 under the name they are given, with
// companion files beside it; the engine's own log would compete for the
// name, and without the name the encoder writes into the current folder.
bool TEngineJob::HandOverTwoPassLog(TOutputStreamState& ost, const std::string& Name) {
  void* own = ost.Encoder->priv_data;
  if (!own || !lav::av_opt_find(own, kEncoderStatsOption, nullptr, 0, 0)) return false;
  if (ost.Encoder->flags & AV_CODEC_FLAG_PASS2) {
    const FilePtr f(lav::fopen(Name.c_str(), "r"));
    if (!f) throw FFMpegException("creat open fail: " + Name);
  }
  if (lav::av_opt_set(own, kEncoderStatsOption, Name.c_str(), 0) < 0)
    throw FFMpegException("creat file fail: " + Name);
  return true;
}

void TEngineJob::OpenTwoPassLog(TOutputStreamState& ost, int Position) {
  std::string name = Format("%s-%d.log", PassLogFileName.empty() ? "ffmpeg2pass" : PassLogFileName, Position);
  if (name.size() > 1023) name.resize(1023);
  if (HandOverTwoPassLog(ost, name)) return;
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

void TEngineJob::OpenEncoders() {
  for (TOutputStreamState& ost : OutputStreams)
    if (ost.EncodingNeeded && ost.Encoder->codec_type != AVMEDIA_TYPE_SUBTITLE) OpenEncoder(ost);
}

// A text subtitle encoder takes its styles from the decoder's ASS header,
// which the decoder only makes when it opens; so these encoders open last.
void TEngineJob::OpenSubtitleEncoders() {
  for (TOutputStreamState& ost : OutputStreams) {
    if (!ost.EncodingNeeded || ost.Encoder->codec_type != AVMEDIA_TYPE_SUBTITLE) continue;
    const AVCodecContext* dec = InputStreams[size_t(ost.SourceIndex)].Decoder;
    AVCodecContext* enc = ost.Encoder;
    if (dec && dec->subtitle_header && !enc->subtitle_header) {
      // The encoder context owns and frees the copy.
      enc->subtitle_header = static_cast<uint8_t*>(lav::av_mallocz(size_t(dec->subtitle_header_size) + 1));
      if (!enc->subtitle_header) throw FFMpegException("av_mallocz fail");
      std::copy_n(dec->subtitle_header, dec->subtitle_header_size, enc->subtitle_header);
      enc->subtitle_header_size = dec->subtitle_header_size;
    }
    OpenEncoder(ost);
  }
}

// An encoder that judges its own options only when it opens (libx264's
// "preset") is named with them, as they are the likely cause.
std::string TEngineJob::EncoderOpenError(const TOutputStreamState& ost, const AVCodec* codec) const {
  std::string msg = Format("Error while opening codec for output stream #%d.%d - maybe incorrect parameters such "
                           "as bit_rate, rate, width or height",
                           ost.FileIndex, ost.StreamIndex);
  const std::string given = EncoderOptionsGiven(ost);
  if (!given.empty()) msg += Format(", or the options of encoder %s: %s", codec->name, given);
  return msg;
}

void TEngineJob::OpenEncoder(TOutputStreamState& ost) {
  AVCodecContext* enc = ost.Encoder;
  const AVCodec* codec = enc->codec ? enc->codec : lav::avcodec_find_encoder(enc->codec_id);
  if (!codec)
    throw FFMpegException(Format("Unsupported codec for output stream #%d.%d", ost.FileIndex, ost.StreamIndex));
  {
    const TCodecLockGuard lock;
    if (lav::avcodec_open2(enc, codec, nullptr) < 0) throw FFMpegException(EncoderOpenError(ost, codec));
    OpenedEncoders.Add(enc);
  }
  ExtraSize += enc->extradata_size;
  // The muxer learns the stream from the opened encoder.
  if (lav::avcodec_parameters_from_context(ost.Stream->codecpar, enc) < 0) throw FFMpegException("av_mallocz fail");
  ost.Stream->time_base = enc->time_base;
  if (enc->codec_type == AVMEDIA_TYPE_VIDEO) ost.Stream->avg_frame_rate = enc->framerate;
  if (enc->codec_type == AVMEDIA_TYPE_AUDIO) StartAudioEncoding(ost, InputStreams[size_t(ost.SourceIndex)]);
}

void TEngineJob::OpenDecoders() {
  for (TInputStreamState& ist : InputStreams) {
    if (!ist.DecodingNeeded) continue;
    AVCodecContext* dec = ist.Decoder;
    const AVCodec* codec = dec ? (dec->codec ? dec->codec : lav::avcodec_find_decoder(dec->codec_id)) : nullptr;
    if (!codec)
      throw FFMpegException(Format("Unsupported codec (id=%d) for input stream #%d.%d",
                                   int(ist.Stream->codecpar->codec_id), ist.FileIndex, ist.StreamIndex));
    {
      const TCodecLockGuard lock;
      if (lav::avcodec_open2(dec, codec, nullptr) < 0)
        throw FFMpegException(
            Format("Error while opening codec for input stream #%d.%d", ist.FileIndex, ist.StreamIndex));
      OpenedDecoders.Add(dec);
    }
    ist.Frame = MakeFrame();
    if (!ist.Frame) throw FFMpegException("av_mallocz fail");
  }
}

}  // namespace vantrel
