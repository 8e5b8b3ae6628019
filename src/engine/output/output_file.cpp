// Creating an output: container choice, which streams it carries, metadata
// and muxer settings. The file on disk is only checked here; it is created
// when the job starts writing (OpenOutputIO, output_on_disk.cpp).
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>

#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/log_threshold.h"
#include "engine/io_interrupt.h"
#include "engine/local_file.h"

namespace vantrel {
namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

bool NamesResizingFilter(const std::string& Filters) {
  std::string rest = Lower(Filters);
  for (;;) {
    const size_t comma = rest.find(',');
    std::string item = rest.substr(0, comma);
    const std::string name = item.substr(0, item.find('='));
    if (std::string(",crop,rotate,scale,transpose,").find("," + name + ",") != std::string::npos) return true;
    if (comma == std::string::npos) return false;
    rest.erase(0, comma + 1);
  }
}

// Whether the file could be created or overwritten, without touching it.
// Names with a protocol are left to the library.
bool CanCreateFile(const std::string& FileName) {
  namespace fs = std::filesystem;
  if (FileName.find("://") != std::string::npos || FileName.rfind("pipe:", 0) == 0) return true;
  std::string local = FileName.rfind("file:", 0) == 0 ? FileName.substr(5) : FileName;
  std::error_code ec;
  const fs::path path(local);
  if (fs::exists(path, ec)) return !fs::is_directory(path, ec) && ::access(local.c_str(), W_OK) == 0;
  fs::path dir = path.parent_path();
  if (dir.empty()) dir = ".";
  return fs::is_directory(dir, ec) && ::access(dir.c_str(), W_OK | X_OK) == 0;
}

void SetMetadata(AVFormatContext* oc, const char* Key, const std::string& Value, size_t Size) {
  if (!Value.empty()) lav::av_dict_set(&oc->metadata, Key, Value.substr(0, Size - 1).c_str(), 0);
}

std::string CreationTime(int64_t Seconds) {
  const std::time_t t = std::time_t(Seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000000Z", &tm);
  return text;
}

}  // namespace

std::string TEngineJob::VideoFilterConflict() const {
  if (VideoFilters.empty()) return {};
  if (FrameCropLeft + FrameCropRight + FrameCropTop + FrameCropBottom != 0)
    return "Cannot enable crop options and filters at the same time.";
  if (FramePadTop + FramePadBottom + FramePadLeft + FramePadRight != 0 && NamesResizingFilter(VideoFilters))
    return "Cannot enable pad options and the filters which resize frame at the same time. "
           "(crop, rotate, scale, transpose, etc.)";
  return {};
}

void TEngineJob::check_audio_video_sub_inputs(bool& HasVideo, bool& HasAudio, bool& HasSubtitle) {
  HasVideo = HasAudio = HasSubtitle = false;
  for (int i = 0; i < InputFileCount; ++i) {
    for (unsigned s = 0; s < InputFiles[i]->nb_streams; ++s) {
      const AVMediaType type = InputFiles[i]->streams[s]->codecpar->codec_type;
      if (type < AVMEDIA_TYPE_UNKNOWN || type >= AVMEDIA_TYPE_NB)
        throw FFMpegException("invalid codec_type of input file");
      HasVideo |= type == AVMEDIA_TYPE_VIDEO;
      HasAudio |= type == AVMEDIA_TYPE_AUDIO;
      HasSubtitle |= type == AVMEDIA_TYPE_SUBTITLE;
    }
  }
}

void TEngineJob::ChooseOutputStreams(AVFormatContext* oc, int FileIndex) {
  const AVOutputFormat* fmt = oc->oformat;
  bool video = VideoStreamCopy || fmt->video_codec != AV_CODEC_ID_NONE || !VideoCodecName.empty();
  bool audio = AudioStreamCopy || fmt->audio_codec != AV_CODEC_ID_NONE || !AudioCodecName.empty();
  bool subtitle = SubtitleStreamCopy || fmt->subtitle_codec != AV_CODEC_ID_NONE || !SubtitleCodecName.empty();
  if (InputFileCount > 0) {
    bool hasVideo, hasAudio, hasSubtitle;
    try {
      check_audio_video_sub_inputs(hasVideo, hasAudio, hasSubtitle);
    } catch (const FFMpegException& e) {
      throw FFMpegException(Format("check_audio_video_sub_inputs fail: %s", e.what()));
    }
    video = video && hasVideo;
    audio = audio && hasAudio;
    subtitle = subtitle && hasSubtitle;
  }
  if (AudioDisable) audio = false;
  if (VideoDisable) video = false;
  if (SubtitleDisable) subtitle = false;
  struct Creator {
    bool wanted;
    void (TEngineJob::*make)(AVFormatContext*, int);
    const char* failure;
  };
  const Creator creators[] = {{video, &TEngineJob::new_video_stream, "new_video_stream fail: %s"},
                              {audio, &TEngineJob::new_audio_stream, "new_audio_stream fail: %s"},
                              {subtitle, &TEngineJob::new_subtitle_stream, "new_subtitle_stream fail: %s"}};
  for (const Creator& c : creators) {
    if (!c.wanted) continue;
    try {
      (this->*c.make)(oc, FileIndex);
    } catch (const FFMpegException& e) {
      throw FFMpegException(Format(c.failure, e.what()));
    }
  }
}

// The metadata variables are not consumed: they apply to every later output.
void TEngineJob::CopyOutputMetadata(AVFormatContext* oc) {
  if (RecTimestamp != 0) lav::av_dict_set(&oc->metadata, "creation_time", CreationTime(RecTimestamp).c_str(), 0);
  SetMetadata(oc, "title", Title, 512);
  SetMetadata(oc, "author", Author, 512);
  SetMetadata(oc, "copyright", Copyright, 512);
  SetMetadata(oc, "comment", Comment, 512);
  SetMetadata(oc, "album", Album, 512);
  if (Year > 0) SetMetadata(oc, "date", std::to_string(Year), 512);
  if (Track > 0) SetMetadata(oc, "track", std::to_string(Track), 512);
  SetMetadata(oc, "genre", Genre, 32);
}

void TEngineJob::ApplyMuxerSettings(AVFormatContext* oc) {
  // The options refuse what does not fit; a value set directly is held at the ends.
  oc->max_delay = int(std::clamp(double(MuxMaxDelay) * 1000000, double(INT_MIN), double(INT_MAX)));
  // Preload and loop count are options of the muxers that know them.
  if (oc->priv_data) {
    lav::av_opt_set_int(oc->priv_data, "preload", int64_t(std::clamp(double(MuxPreload) * 1000000, -9.2e18, 9.2e18)), 0);
    lav::av_opt_set_int(oc->priv_data, "loop", LoopOutput, 0);
  }
  ApplyContextOptions(oc, FormatOptions.get(), AV_OPT_FLAG_ENCODING_PARAM);
  ApplyMuxerOptions(oc);
}

void TEngineJob::DiscardOutput(OutputContextPtr& oc, int FileIndex) {
  if (FileIndex < 0 || FileIndex >= MAX_FILES) return;
  OutputCodecs[FileIndex].clear();
  OutputStreamCopy[FileIndex].clear();
  OutputEncoderOptions[FileIndex].clear();
  for (BitstreamFilterPtr& bsf : BitstreamFilters[FileIndex]) bsf.reset();
  oc.reset();
}

bool TEngineJob::OpenOutputFile(const std::string& FileName) {
  RefuseWhileRunning();
  const TScopedLogThreshold threshold(Verbose);
  OutputContextPtr oc;
  const int index = OutputFileCount;
  auto fail = [&](const std::string& Msg) {
    LastError = Msg;
    DiscardOutput(oc, index);
    OutputFormat = nullptr;
    InputFormat = nullptr;
    return false;
  };
  if (index >= MAX_FILES) return fail(Format("%s: too many output files (at most %d)", FileName, MAX_FILES));
  if (std::string refusal = SameFileAsInput(FileName); !refusal.empty()) return fail(refusal);
  if (std::string conflict = VideoFilterConflict(); !conflict.empty()) return fail(conflict);
  if (std::string refusal = CheckFilterText(VideoFilters); !refusal.empty()) return fail(refusal);
  UsingFilters = !VideoFilters.empty();
  if (!OutputFormat) OutputFormat = lav::av_guess_format(nullptr, FileName.c_str(), nullptr);
  if (!OutputFormat) return fail(Format("Unable to find a suitable output format for '%s'", FileName));
  AVFormatContext* made = nullptr;
  const int made_result = lav::avformat_alloc_output_context2(&made, OutputFormat, nullptr, FileName.c_str());
  oc.reset(made);
  if (made_result < 0 || !oc) return fail(FormatOpenError(FileName, AVERROR(ENOMEM)));
  oc->interrupt_callback = StopRequestInterrupt(this);
  try {
    ChooseOutputStreams(oc.get(), index);
  } catch (const FFMpegException& e) {
    return fail(e.what());
  }
  CopyOutputMetadata(oc.get());
  if ((oc->oformat->flags & AVFMT_NEEDNUMBER) && lav::av_filename_number_test(FileName.c_str()) == 0)
    return fail(FormatOpenError(FileName, kImageNumberExpected));
  if (!(oc->oformat->flags & AVFMT_NOFILE) && !CanCreateFile(FileName))
    return fail(Format("Could not open '%s'", FileName));
  ApplyMuxerSettings(oc.get());
  OutputFiles[index] = std::move(oc);
  OutputFileNames[index] = FileName;
  // A new set of outputs: the names a finished job reported are history.
  if (index == 0)
    for (std::string& name : FinalOutputNames) name.clear();
  FinalOutputNames[index] = FileName;
  OutputFileWritten[index] = false;
  ++OutputFileCount;
  OutputFormat = nullptr;
  InputFormat = nullptr;
  return true;
}

bool TEngineJob::OpenOutputIO(int FileIndex) {
  if (FileIndex < 0 || FileIndex >= OutputFileCount || !OutputFiles[FileIndex]) {
    LastError = Format("Invalid output file index %d", FileIndex);
    return false;
  }
  AVFormatContext* oc = OutputFiles[FileIndex].get();
  if ((oc->oformat->flags & AVFMT_NOFILE) || oc->pb) return true;
  const std::string& name = OutputFileNames[FileIndex];
  if (std::string refusal = RefuseTakenName(FileIndex); !refusal.empty()) {
    LastError = refusal;
    return false;
  }
  const bool staged = StageOutput(FileIndex);
  // Writing in place could replace a file, which only Replace allows.
  if (!staged && OutputCollision != TOutputCollision::Replace && !LocalFilePath(name).empty()) {
    LastError = Format("Could not open '%s'", name);
    return false;
  }
  const std::string written = staged ? oc->url : name;
  if (lav::avio_open2(&oc->pb, written.c_str(), AVIO_FLAG_WRITE, &oc->interrupt_callback, nullptr) < 0) {
    DiscardUnfinishedOutput(FileIndex);
    LastError = Format("Could not open '%s'", name);
    return false;
  }
  OutputFileWritten[FileIndex] = true;
  return true;
}

// "newvideo", "newaudio", "newsubtitle": one more stream on the last output.
void TEngineJob::NewVideoStreamOption() {
  RefuseWhileRunning();
  if (OutputFileCount == 0) throw FFMpegException("At least one output file must be specified");
  new_video_stream(OutputFiles[OutputFileCount - 1].get(), OutputFileCount - 1);
}

void TEngineJob::NewAudioStreamOption() {
  RefuseWhileRunning();
  if (OutputFileCount == 0) throw FFMpegException("At least one output file must be specified");
  new_audio_stream(OutputFiles[OutputFileCount - 1].get(), OutputFileCount - 1);
}

void TEngineJob::NewSubtitleStreamOption() {
  RefuseWhileRunning();
  if (OutputFileCount == 0) throw FFMpegException("At least one output file must be specified");
  new_subtitle_stream(OutputFiles[OutputFileCount - 1].get(), OutputFileCount - 1);
}

}  // namespace vantrel
