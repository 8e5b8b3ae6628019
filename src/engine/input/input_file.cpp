// Opening an input file: probing its streams, one decoder context per
// stream, and the stream properties later options and outputs depend on.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>

#include "binding/helpers.h"
#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/log_threshold.h"
#include "engine/input_open_error.h"
#include "engine/io_interrupt.h"
#include "engine/local_input.h"

namespace vantrel {
namespace {

constexpr AVDiscard kDiscardAll = AVDISCARD_ALL;

bool ValidRate(AVRational r) { return r.num > 0 && r.den > 0; }

// RealMedia decoders may leave the pixel format open; the files are 4:2:0.
bool IsRealMediaName(const std::string& FileName) {
  std::string ext = std::filesystem::path(FileName).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext.size() >= 2 && std::string(".rmvb").compare(0, ext.size(), ext) == 0;
}

}  // namespace

// The library reports a file it cannot read the header of like one no
// demuxer recognises, and an empty file like both: tell them apart.
std::string InputOpenError(const std::string& FileName, const AVInputFormat* Forced, int Code) {
  if (Code != AVERROR_INVALIDDATA) return FormatOpenError(FileName, Code);
  if (FileSizeOf(FileName) == 0) return FormatOpenError(FileName, AVERROR(EIO));
  if (Forced) return FormatOpenError(FileName, AVERROR(EINVAL));
  size_t n = 0;
  std::vector<unsigned char> head(4096 + AVPROBE_PADDING_SIZE, 0);
  {
    const FilePtr f(lav::fopen(FileName.c_str(), "rb"));
    if (!f) return FormatOpenError(FileName, Code);
    n = lav::fread(head.data(), 1, 4096, f.get());
  }
  AVProbeData pd{};
  pd.filename = "";
  pd.buf = head.data();
  pd.buf_size = int(n);
  int score = AVPROBE_SCORE_RETRY;
  const bool known = lav::av_probe_input_format2(&pd, 1, &score) != nullptr;
  return FormatOpenError(FileName, known ? AVERROR(EINVAL) : Code);
}

// What one opening consumes, so that options given for one input do not
// leak into the next.
void TEngineJob::ConsumeFileOptions() {
  InputFormat = nullptr;
  OutputFormat = nullptr;
  VideoChannel = 0;
  RateEmu = 0;
  VideoCodecName.clear();
  AudioCodecName.clear();
  SubtitleCodecName.clear();
}

// The demuxer options standing for the old format parameter block; only
// values that are set are passed, so demuxers keep their own defaults.
AVDictionary* TEngineJob::InputFormatParameters() const {
  AVDictionary* d = nullptr;
  if (ValidRate(FrameRate))
    lav::av_dict_set(&d, "framerate", Format("%d/%d", FrameRate.num, FrameRate.den).c_str(), 0);
  const int width = FrameWidth + FramePadLeft + FramePadRight;
  const int height = FrameHeight + FramePadTop + FramePadBottom;
  if (width > 0 && height > 0) lav::av_dict_set(&d, "video_size", Format("%dx%d", width, height).c_str(), 0);
  if (AudioSampleRate > 0) lav::av_dict_set(&d, "sample_rate", std::to_string(AudioSampleRate).c_str(), 0);
  if (AudioChannels > 0) lav::av_dict_set(&d, "channels", std::to_string(AudioChannels).c_str(), 0);
  if (FramePixFmt >= 0) {
    if (const char* name = lav::av_get_pix_fmt_name(AVPixelFormat(FramePixFmt)))
      lav::av_dict_set(&d, "pixel_format", name, 0);
  }
  if (VideoChannel != 0) lav::av_dict_set(&d, "channel", std::to_string(VideoChannel).c_str(), 0);
  if (VideoStandard) lav::av_dict_set(&d, "standard", VideoStandard->c_str(), 0);
  return d;
}

bool TEngineJob::ForceInputDecoders(AVFormatContext* ic, AVCodecID& VideoId, AVCodecID& AudioId) {
  if (!CheckCodecName(CodecNameOrNull(VideoCodecName), AVMEDIA_TYPE_VIDEO, VideoId, false)) return false;
  if (!CheckCodecName(CodecNameOrNull(AudioCodecName), AVMEDIA_TYPE_AUDIO, AudioId, false)) return false;
  if (PgmyuvCompat) VideoId = AV_CODEC_ID_PGMYUV;
  ApplyContextOptions(ic, FormatOptions.get(), AV_OPT_FLAG_DECODING_PARAM);
  AVCodecID subtitleId = AV_CODEC_ID_NONE;
  if (!CheckCodecName(CodecNameOrNull(VideoCodecName), AVMEDIA_TYPE_VIDEO, ic->video_codec_id, false)) return false;
  if (!CheckCodecName(CodecNameOrNull(AudioCodecName), AVMEDIA_TYPE_AUDIO, ic->audio_codec_id, false)) return false;
  if (!CheckCodecName(CodecNameOrNull(SubtitleCodecName), AVMEDIA_TYPE_SUBTITLE, subtitleId, false)) return false;
  ic->subtitle_codec_id = subtitleId;
  if (PgmyuvCompat) ic->video_codec_id = AV_CODEC_ID_PGMYUV;
  return true;
}

// Stream analysis runs without the codec lock: the decoders it opens for a
// look are opened and closed by the library under a lock of its own, and a
// slow file (a pipe, a network share) must not hold up every other engine
// and the window's probe while it is read.
bool TEngineJob::ProbeInput(AVFormatContext* ic, const std::string& FileName) {
  if (ProgramId != 0) {
    for (unsigned i = 0; i < ic->nb_programs; ++i)
      if (ic->programs[i]->id != ProgramId) ic->programs[i]->discard = kDiscardAll;
  }
  const int ret = lav::avformat_find_stream_info(ic, nullptr);
  if (ret < 0 && Verbose >= 0) {
    LastError = Format("%s: could not find codec parameters", FileName);
    return false;
  }
  return true;
}

// A start time applies to one input only; a failed seek leaves decoding
// where the library left the file.
int64_t TEngineJob::SeekToStartTime(AVFormatContext* ic) {
  int64_t t = StartTime;
  if (ic->start_time != AV_NOPTS_VALUE) t = SatAdd(t, ic->start_time);
  if (StartTime != 0) {
    lav::av_seek_frame(ic, -1, t, AVSEEK_FLAG_BACKWARD);
    StartTime = 0;
  }
  return t;
}

CodecContextPtr TEngineJob::MakeDecoder(AVStream* st) {
  CodecContextPtr dec(lav::avcodec_alloc_context3(lav::avcodec_find_decoder(st->codecpar->codec_id)));
  if (!dec || lav::avcodec_parameters_to_context(dec.get(), st->codecpar) < 0) return nullptr;
  dec->pkt_timebase = st->time_base;
  dec->thread_count = ThreadCount;
  if (dec->codec_type == AVMEDIA_TYPE_VIDEO) {
    // The decoder's frame rate as the stream analysis found it.
    AVRational rate = ValidRate(st->avg_frame_rate) ? st->avg_frame_rate : st->r_frame_rate;
    dec->framerate = rate;
    dec->time_base = ValidRate(rate) ? av_inv_q(rate) : st->time_base;
  } else if (dec->codec_type == AVMEDIA_TYPE_AUDIO && dec->sample_rate > 0) {
    dec->time_base = AVRational{1, dec->sample_rate};
  }
  return dec;
}

void TEngineJob::TakeVideoProperties(AVStream* st, AVCodecContext* dec, const std::string& FileName) {
  ApplyContextOptions(dec, CodecOptions[AVMEDIA_TYPE_VIDEO].get(), AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
  // Frame or slice threads, whichever the decoder offers.
  if (VideoDecoderThreads > 1) dec->thread_count = VideoDecoderThreads;
  ReducePictureSize(dec);
  FrameHeight = dec->height;
  FrameWidth = dec->width;
  FrameAspectRatio = float(st->sample_aspect_ratio.num ? av_q2d(st->sample_aspect_ratio)
                                                       : av_q2d(dec->sample_aspect_ratio));
  if (dec->width * dec->height != 0) {
    FrameAspectRatio = FrameAspectRatio != 0 ? float(dec->width * FrameAspectRatio / dec->height)
                                             : float(dec->width) / float(dec->height);
  } else if (FrameAspectRatio == 0) {
    FrameAspectRatio = 4.0f / 3.0f;
  }
  if (dec->pix_fmt == AV_PIX_FMT_NONE && IsRealMediaName(FileName)) dec->pix_fmt = AV_PIX_FMT_YUV420P;
  FramePixFmt = dec->pix_fmt;
  const AVRational rate = st->r_frame_rate;
  if (MeThreshold != 0) dec->debug |= 32;
  if ((dec->time_base.den != rate.num || dec->time_base.num != rate.den) && Verbose > 0 && LogAssigned()) {
    Log(1, Format("Seems stream %d codec frame rate differs from container frame rate: %2.2f (%d/%d) -> %2.2f (%d/%d)",
                  st->index, dec->time_base.num ? double(dec->time_base.den) / dec->time_base.num : 0.0,
                  dec->time_base.den, dec->time_base.num, rate.den ? double(rate.num) / rate.den : 0.0,
                  rate.num, rate.den));
  }
  FrameRate = rate;
  if (VideoDisable)
    st->discard = kDiscardAll;
  else if (VideoDiscard != 0)
    st->discard = AVDiscard(VideoDiscard);
}

void TEngineJob::ReducePictureSize(AVCodecContext* dec) {
  const int offered = dec->codec ? dec->codec->max_lowres : 0;
  dec->lowres = std::clamp(dec->lowres, 0, offered);
  InputLowres = dec->lowres;
  if (dec->lowres == 0 || dec->width <= 0 || dec->height <= 0) return;
  // The decoder keeps the full size as its coded size and opens at the
  // reduced one instead of reducing again.
  dec->coded_width = dec->width;
  dec->coded_height = dec->height;
  dec->width = AV_CEIL_RSHIFT(dec->width, dec->lowres);
  dec->height = AV_CEIL_RSHIFT(dec->height, dec->lowres);
}

void TEngineJob::TakeAudioProperties(AVStream* st, AVCodecContext* dec) {
  ApplyContextOptions(dec, CodecOptions[AVMEDIA_TYPE_AUDIO].get(), AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
  AudioChannels = dec->ch_layout.nb_channels;
  AudioSampleRate = dec->sample_rate;
  AudioSampleFmt = dec->sample_fmt;
  if (AudioDisable) st->discard = kDiscardAll;
}

void TEngineJob::RecordInput(OpenedInput ic, std::vector<CodecContextPtr>& Decoders, int64_t StartPts,
                                const std::string& FileName) {
  // A container that states no length is measured, so its progress can be shown.
  const int64_t duration = ic->duration != AV_NOPTS_VALUE ? ic->duration : ScanInputDuration(ic.get(), FileName);
  if (duration != AV_NOPTS_VALUE && duration / 1000 > DurationMs)
    DurationMs = int32_t(std::min<int64_t>(duration / 1000, INT32_MAX));
  const int i = InputFileCount;
  InputFiles[i] = std::move(ic);
  InputCodecs[i].swap(Decoders);
  InputRateEmu[i] = RateEmu != 0;
  InputFilesTsOffset[i] = CopyTs ? InputTsOffset : SatSub(InputTsOffset, StartPts);
  if (Verbose >= 0) lav::av_dump_format(InputFiles[i].get(), i, FileName.c_str(), 0);
  ++InputFileCount;
}

bool TEngineJob::TakeStreams(AVFormatContext* ic, std::vector<CodecContextPtr>& Decoders,
                                const std::string& FileName) {
  for (unsigned s = 0; s < ic->nb_streams; ++s) {
    AVStream* st = ic->streams[s];
    Decoders.push_back(MakeDecoder(st));
    AVCodecContext* dec = Decoders.back().get();
    if (!dec) {
      Decoders.pop_back();
      LastError = FormatOpenError(FileName, AVERROR(ENOMEM));
      return false;
    }
    if (dec->codec_type < AVMEDIA_TYPE_UNKNOWN || dec->codec_type >= AVMEDIA_TYPE_NB)
      throw FFMpegException("invalid codec_type");
    if (dec->codec_type == AVMEDIA_TYPE_VIDEO)
      TakeVideoProperties(st, dec, FileName);
    else if (dec->codec_type == AVMEDIA_TYPE_AUDIO)
      TakeAudioProperties(st, dec);
    else if (dec->codec_type == AVMEDIA_TYPE_SUBTITLE && SubtitleDisable)
      st->discard = kDiscardAll;
  }
  return true;
}

AVFormatContext* TEngineJob::OpenInputFormat(const std::string& FileName) {
  FormatContextPtr allocated(lav::avformat_alloc_context());
  if (!allocated) {
    LastError = FormatOpenError(FileName, AVERROR(ENOMEM));
    return nullptr;
  }
  allocated->interrupt_callback = StopRequestInterrupt(this);
  AVCodecID videoId = AV_CODEC_ID_NONE, audioId = AV_CODEC_ID_NONE;
  if (!ForceInputDecoders(allocated.get(), videoId, audioId)) return nullptr;
  AVDictionary* parameters = InputFormatParameters();
  RestrictToLocalFiles(&parameters, LocalInputsOnly);
  // From here the library owns the context and frees it when opening fails.
  AVFormatContext* ic = allocated.release();
  const int ret =
      lav::avformat_open_input(&ic, InputUrl(FileName, LocalInputsOnly).c_str(), InputFormat, &parameters);
  lav::av_dict_free(&parameters);
  if (ret < 0) {
    LastError = InputOpenError(FileName, InputFormat, ret);
    return nullptr;
  }
  return ic;
}

bool TEngineJob::OpenInputFile(const std::string& FileName) {
  RefuseWhileRunning();
  const TScopedLogThreshold threshold(Verbose);
  // Whatever the outcome, the options given for this input are used up.
  struct ConsumeOnExit {
    TEngineJob& engine;
    ~ConsumeOnExit() { engine.ConsumeFileOptions(); }
  } consume{*this};
  if (InputFileCount >= MAX_FILES) {
    LastError = Format("%s: too many input files (at most %d)", FileName, MAX_FILES);
    return false;
  }
  OpenedInput ic(OpenInputFormat(FileName));
  if (!ic || !ProbeInput(ic.get(), FileName)) return false;
  const int64_t startPts = SeekToStartTime(ic.get());
  std::vector<CodecContextPtr> decoders;
  if (!TakeStreams(ic.get(), decoders, FileName)) return false;
  RecordInput(std::move(ic), decoders, startPts, FileName);
  return true;
}

}  // namespace vantrel

namespace vantrel {

AVFormatContext* TEngineJob::LastInputContext() const {
  return InputFileCount > 0 ? InputFiles[InputFileCount - 1].get() : nullptr;
}

}  // namespace vantrel
