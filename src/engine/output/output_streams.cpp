// The streams of an output and their encoder contexts. The codec and every
// value that can be refused are settled before the stream is added, so a
// refused stream leaves no half-made stream behind.
#include <cstring>

#include "binding/helpers.h"
#include "binding/message_format.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

// The supported rate nearest to the wanted one; the first of equals wins.
AVRational NearestFrameRate(const AVRational* Rates, AVRational Rate) {
  const AVRational* best = nullptr;
  AVRational bestDiff{0, 1};
  for (const AVRational* r = Rates; r->den != 0; ++r) {
    AVRational diff = SubRational(*r, Rate);
    if (diff.num < 0) diff.num = -diff.num;
    if (!best || CompareRational(diff, bestDiff) < 0) {
      best = r;
      bestDiff = diff;
    }
  }
  return best ? *best : Rate;
}

// Reads one bound of an override entry: at least one character of a number
// and a separator after it, which is skipped.
bool ReadOverrideBound(const char*& p, int& Value) {
  char* end = nullptr;
  const long v = lav::strtol(p, &end, 10);
  if (end == p || *end == '\0') return false;
  Value = int(v);
  p = end + 1;
  return true;
}

// "start,end,q" entries separated by "/"; q > 0 is a quantiser, q <= 0 a
// quality factor in percent.
std::vector<RcOverride> ParseRcOverride(const char* Text) {
  std::vector<RcOverride> entries;
  const char* p = Text;
  for (;;) {
    RcOverride o{};
    if (!ReadOverrideBound(p, o.start_frame) || !ReadOverrideBound(p, o.end_frame))
      throw FFMpegException("error parsing rc_override");
    const int q = int(lav::strtol(p, nullptr, 10));
    o.qscale = q > 0 ? q : 0;
    o.quality_factor = q > 0 ? 1.0f : float(-q) / 100.0f;
    entries.push_back(o);
    p = std::strchr(p, '/');
    if (!p) return entries;
    ++p;
  }
}

template <typename T, typename End>
bool Listed(const T* List, T Value, End Terminator) {
  for (const T* v = List; *v != Terminator; ++v)
    if (*v == Value) return true;
  return false;
}

AVRational AspectToSar(float Aspect, int Width, int Height) {
  const double sar = Width * Height != 0 ? double(Aspect) * Height / Width : double(Aspect) * 3 / 4;
  return DoubleToRational(sar, 255);
}

}  // namespace

AVCodecContext* TEngineJob::NewOutputStream(AVFormatContext* oc, int FileIndex, AVMediaType Type, AVCodecID Id,
                                               bool Copy, BitstreamFilterPtr& PendingFilters) {
  if (oc->nb_streams >= unsigned(MAX_STREAMS))
    throw FFMpegException(Format("Too many streams in one output file (at most %d)", MAX_STREAMS));
  AVStream* st = lav::avformat_new_stream(oc, nullptr);
  if (!st) throw FFMpegException("Could not alloc stream");
  const AVCodec* encoder = Copy ? nullptr : lav::avcodec_find_encoder(Id);
  // The stream is already in the output: keep the tables in step with it.
  OutputCodecs[FileIndex].emplace_back(lav::avcodec_alloc_context3(encoder));
  AVCodecContext* enc = OutputCodecs[FileIndex].back().get();
  OutputStreamCopy[FileIndex].push_back(Copy);
  OutputEncoderOptions[FileIndex].emplace_back();
  BitstreamFilters[FileIndex][st->index] = std::move(PendingFilters);
  if (!enc) throw FFMpegException("Could not alloc stream");
  enc->codec_type = Type;
  if (!Copy) enc->codec_id = Id;
  st->codecpar->codec_type = Type;
  if (ThreadCount > 1) enc->thread_count = ThreadCount;
  return enc;
}

void TEngineJob::SetVideoEncoding(AVStream* st, AVCodecContext* enc, std::vector<RcOverride>& Overrides) {
  const AVRational rate = FrameRate.num != 0 ? FrameRate : AVRational{25, 1};
  const AVCodec* codec = enc->codec;
  const AVRational chosen = codec && codec->supported_framerates ? NearestFrameRate(codec->supported_framerates, rate)
                                                                 : rate;
  enc->time_base = AVRational{chosen.den, chosen.num};
  enc->framerate = chosen;
  st->time_base = enc->time_base;
  enc->width = FrameWidth + FramePadLeft + FramePadRight;
  enc->height = FrameHeight + FramePadTop + FramePadBottom;
  enc->sample_aspect_ratio = st->sample_aspect_ratio = AspectToSar(FrameAspectRatio, enc->width, enc->height);
  enc->pix_fmt = AVPixelFormat(FramePixFmt);
  if (codec && codec->pix_fmts && !Listed(codec->pix_fmts, enc->pix_fmt, AV_PIX_FMT_NONE))
    enc->pix_fmt = codec->pix_fmts[0];
  if (IntraOnly) enc->gop_size = 0;
  if (VideoQScale != 0 || SameQuality) {
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = int(VideoQScale * FF_QP2LAMBDA);
  }
  // The encoder frees its matrices with itself: it gets copies.
  if (IntraMatrix) enc->intra_matrix = static_cast<uint16_t*>(lav::av_memdup(IntraMatrix->data(), 64 * sizeof(uint16_t)));
  if (InterMatrix) enc->inter_matrix = static_cast<uint16_t*>(lav::av_memdup(InterMatrix->data(), 64 * sizeof(uint16_t)));
  enc->thread_count = VideoEncoderThreads > 1 ? VideoEncoderThreads : ThreadCount;
  if (!Overrides.empty()) {
    enc->rc_override = static_cast<RcOverride*>(lav::av_malloc(Overrides.size() * sizeof(RcOverride)));
    if (enc->rc_override) {
      std::memcpy(enc->rc_override, Overrides.data(), Overrides.size() * sizeof(RcOverride));
      enc->rc_override_count = int(Overrides.size());
    }
  }
  if (enc->rc_initial_buffer_occupancy == 0) enc->rc_initial_buffer_occupancy = enc->rc_buffer_size * 3 / 4;
  enc->intra_dc_precision = IntraDcPrecision - 8;
  if (DoPsnr) enc->flags |= AV_CODEC_FLAG_PSNR;
  if (DoPass == 1) enc->flags |= AV_CODEC_FLAG_PASS1;
  if (DoPass == 2) enc->flags |= AV_CODEC_FLAG_PASS2;
}

void TEngineJob::AddVideoStream(AVFormatContext* oc, int FileIndex) {
  const bool copy = VideoStreamCopy != 0;
  AVCodecID id = AV_CODEC_ID_NONE;
  std::vector<RcOverride> overrides;
  if (!copy) {
    if (VideoCodecName.empty())
      id = lav::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, AVMEDIA_TYPE_VIDEO);
    else if (!CheckCodecName(CodecNameOrNull(VideoCodecName), AVMEDIA_TYPE_VIDEO, id, true))
      throw FFMpegException(LastError);
    if (VideoRcOverride) overrides = ParseRcOverride(VideoRcOverride->c_str());
  }
  AVCodecContext* enc = NewOutputStream(oc, FileIndex, AVMEDIA_TYPE_VIDEO, id, copy, VideoBitstreamFilters);
  AVStream* st = oc->streams[oc->nb_streams - 1];
  if (VideoCodecTag) enc->codec_tag = unsigned(VideoCodecTag);
  AVCodecContext* holder = CodecOptions[AVMEDIA_TYPE_VIDEO].get();
  if ((VideoGlobalHeader & 1) || (VideoGlobalHeader == 0 && (oc->oformat->flags & AVFMT_GLOBALHEADER))) {
    enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (holder) holder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  if (VideoGlobalHeader & 2) {
    enc->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
    if (holder) holder->flags2 |= AV_CODEC_FLAG2_LOCAL_HEADER;
  }
  if (copy) {
    st->sample_aspect_ratio = AspectToSar(FrameAspectRatio, FrameWidth, FrameHeight);
    return;
  }
  ApplyEncoderOptions(enc, FileIndex, AVMEDIA_TYPE_VIDEO, AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
  SetVideoEncoding(st, enc, overrides);
}

void TEngineJob::new_video_stream(AVFormatContext* oc, int FileIndex) {
  try {
    AddVideoStream(oc, FileIndex);
  } catch (const FFMpegException&) {
    VideoCodecName.clear();
    throw;
  }
  VideoDisable = 0;
  VideoCodecName.clear();
  VideoStreamCopy = 0;
}

void TEngineJob::SetStreamLanguage(AVStream* st, std::string& Language) {
  if (Language.empty()) return;
  lav::av_dict_set(&st->metadata, "language", Language.substr(0, 3).c_str(), 0);
  Language.clear();
}

void TEngineJob::AddAudioStream(AVFormatContext* oc, int FileIndex) {
  const bool copy = AudioStreamCopy != 0;
  AVCodecID id = AV_CODEC_ID_NONE;
  if (!copy) {
    id = lav::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, AVMEDIA_TYPE_AUDIO);
    if (!AudioCodecName.empty() && !CheckCodecName(CodecNameOrNull(AudioCodecName), AVMEDIA_TYPE_AUDIO, id, true))
      throw FFMpegException(LastError);
  }
  AVCodecContext* enc = NewOutputStream(oc, FileIndex, AVMEDIA_TYPE_AUDIO, id, copy, AudioBitstreamFilters);
  AVStream* st = oc->streams[oc->nb_streams - 1];
  if (AudioCodecTag) enc->codec_tag = unsigned(AudioCodecTag);
  if (oc->oformat->flags & AVFMT_GLOBALHEADER) {
    enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (CodecOptions[AVMEDIA_TYPE_AUDIO]) CodecOptions[AVMEDIA_TYPE_AUDIO]->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  }
  lav::av_channel_layout_uninit(&enc->ch_layout);
  lav::av_channel_layout_default(&enc->ch_layout, AudioChannels);
  if (!copy) {
    ApplyEncoderOptions(enc, FileIndex, AVMEDIA_TYPE_AUDIO, AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
    if (AudioQScale > -99999) {
      enc->flags |= AV_CODEC_FLAG_QSCALE;
      enc->global_quality = int(AudioQScale * FF_QP2LAMBDA);
    }
    enc->thread_count = ThreadCount;
    enc->sample_fmt = AVSampleFormat(AudioSampleFmt);
    const AVCodec* codec = enc->codec;
    if (codec && codec->sample_fmts && !Listed(codec->sample_fmts, enc->sample_fmt, AV_SAMPLE_FMT_NONE))
      enc->sample_fmt = codec->sample_fmts[0];
  }
  enc->sample_rate = AudioSampleRate;
  enc->time_base = AVRational{1, AudioSampleRate};
  st->time_base = enc->time_base;
  SetStreamLanguage(st, AudioLanguage);
}

void TEngineJob::new_audio_stream(AVFormatContext* oc, int FileIndex) {
  try {
    AddAudioStream(oc, FileIndex);
  } catch (const FFMpegException&) {
    AudioCodecName.clear();
    AudioLanguage.clear();
    throw;
  }
  AudioDisable = 0;
  AudioCodecName.clear();
  AudioStreamCopy = 0;
}

void TEngineJob::AddSubtitleStream(AVFormatContext* oc, int FileIndex) {
  const bool copy = SubtitleStreamCopy != 0;
  AVCodecID id = AV_CODEC_ID_NONE;
  if (!copy) {
    if (!CheckCodecName(CodecNameOrNull(SubtitleCodecName), AVMEDIA_TYPE_SUBTITLE, id, true)) throw FFMpegException(LastError);
    // Without a name the format's own subtitle codec, as for video and audio.
    if (SubtitleCodecName.empty()) id = lav::av_guess_codec(oc->oformat, nullptr, oc->url, nullptr, AVMEDIA_TYPE_SUBTITLE);
  }
  AVCodecContext* enc = NewOutputStream(oc, FileIndex, AVMEDIA_TYPE_SUBTITLE, id, copy, SubtitleBitstreamFilters);
  if (!copy)
    ApplyEncoderOptions(enc, FileIndex, AVMEDIA_TYPE_SUBTITLE, AV_OPT_FLAG_SUBTITLE_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
  SetStreamLanguage(oc->streams[oc->nb_streams - 1], SubtitleLanguage);
}

void TEngineJob::new_subtitle_stream(AVFormatContext* oc, int FileIndex) {
  try {
    AddSubtitleStream(oc, FileIndex);
  } catch (const FFMpegException&) {
    SubtitleCodecName.clear();
    SubtitleLanguage.clear();
    throw;
  }
  SubtitleDisable = 0;
  SubtitleCodecName.clear();
  SubtitleStreamCopy = 0;
}

}  // namespace vantrel
