// The option variables of the transcoder's option language with their
// defaults: what SetOption and the option handlers leave for the next input
// or output. A plain value, so a caller can copy it to look at what the
// options became; the engine resets it to a fresh TEngineOptions.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace vantrel {

struct TEngineOptions {
  // Static descriptors of the library, never freed.
  const AVInputFormat* InputFormat = nullptr;
  const AVOutputFormat* OutputFormat = nullptr;
  int32_t FrameWidth = 0, FrameHeight = 0;
  float FrameAspectRatio = 0;
  int32_t FramePixFmt = -1;
  int32_t AudioSampleFmt = -1;
  int32_t FramePadTop = 0, FramePadBottom = 0, FramePadLeft = 0, FramePadRight = 0;
  int32_t PadColorY = 16, PadColorU = 128, PadColorV = 128;
  int32_t FrameCropTop = 0, FrameCropBottom = 0, FrameCropLeft = 0, FrameCropRight = 0;
  // The reduced-size decoding factor (picture sides divided by 2^factor) of
  // the last video input opened; crop values in input pixels are divided by it.
  int32_t InputLowres = 0;
  // Threads of the video decoders of the inputs opened after it is set; the
  // application gives it the cores its batch leaves idle. 1: the engine's own.
  int32_t VideoDecoderThreads = 1;
  // Threads of the video encoders of the outputs opened after it is set.
  int32_t VideoEncoderThreads = 1;
  // Non-reference pictures the frame-rate sync would drop are not decoded.
  bool SkipDroppedPictures = false;
  // A picture at least four times the scaled size both ways is halved by
  // 2x2 averages (as often as that holds) before the scaler.
  bool PrescaleHalving = false;
  int32_t MaxFrames[4] = {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX};
  AVRational FrameRate = {0, 0};
  float VideoQScale = 0;
  // The 64 coefficients of a quantisation matrix; none: the encoder's own.
  std::optional<std::array<uint16_t, 64>> IntraMatrix;
  std::optional<std::array<uint16_t, 64>> InterMatrix;
  // Set by "rc_override" even to an empty text, which the reader tells from none.
  std::optional<std::string> VideoRcOverride;
  int32_t VideoDisable = 0;
  int32_t VideoDiscard = 0;
  // The codec names: empty for none (the handler ignores an empty value).
  std::string VideoCodecName;
  int32_t VideoCodecTag = 0;
  int32_t SameQuality = 0;
  int32_t DoDeinterlace = 0;
  int32_t TopFieldFirst = -1;
  int32_t MeThreshold = 0;
  int32_t IntraDcPrecision = 8;
  int32_t LoopInput = 0;
  int32_t LoopOutput = -1;
  int32_t QpHist = 0;
  std::string VideoFilters;
  bool UsingFilters = false;
  int32_t IntraOnly = 0;
  int32_t AudioSampleRate = 44100;
  float AudioQScale = -99999.0f;
  int32_t AudioDisable = 0;
  int32_t AudioChannels = 2;
  std::string AudioCodecName;
  int32_t AudioCodecTag = 0;
  std::string AudioLanguage;
  int32_t SubtitleDisable = 0;
  std::string SubtitleCodecName;
  std::string SubtitleLanguage;
  float MuxPreload = 0.5f;
  float MuxMaxDelay = 0.7f;
  int64_t RecordingTime = INT64_MAX;
  int64_t StartTime = 0;
  int64_t RecTimestamp = 0;
  int64_t InputTsOffset = 0;
  std::string Title, Author, Copyright, Comment, Genre, Album;
  int32_t Year = 0, Track = 0;
  int32_t DoHexDump = 0, DoPktDump = 0, DoPsnr = 0;
  int32_t DoPass = 0;
  std::string PassLogFileName;
  int32_t AudioStreamCopy = 0, VideoStreamCopy = 0, SubtitleStreamCopy = 0;
  int32_t VideoSyncMethod = -1;
  int32_t AudioSyncMethod = 0;
  float AudioDriftThreshold = 0.1f;
  bool CopyTs = false;
  int32_t Shortest = 0;
  int32_t VideoGlobalHeader = 0;
  // Empty: no statistics file (the handler ignores an empty name).
  std::string VStatsFileName;
  int32_t ProgramId = 0;
  int32_t RateEmu = 0;
  int32_t VideoChannel = 0;
  // Set by "tvstd" even to an empty text, which goes to the demuxer as given.
  std::optional<std::string> VideoStandard;
  int32_t AudioVolume = 256;
  bool ExitOnError = false;
  bool UsingVhook = false;
  int32_t Verbose = 1;
  int32_t ThreadCount = 1;
  int32_t InputSync = 0;
  int64_t LimitFileSize = 0;
  int32_t PgmyuvCompat = 0;
  float DtsDeltaThreshold = 10.0f;
  int32_t SwsFlags = SWS_BICUBIC;
  // The names of the generic options set so far, in order, for copying
  // them into each new context; their values are in the library holders.
  std::vector<std::string> GenericOptionNames;
  // Options private to some encoders (libx264's "preset", "crf"...) as name
  // and value, in the order first given (a name given again takes its new
  // value in place): set on each new encoder whose own options have the name.
  std::vector<std::pair<std::string, std::string>> EncoderOptions;
};

// A codec name as the library calls take it: nullptr for none.
inline const char* CodecNameOrNull(const std::string& Name) { return Name.empty() ? nullptr : Name.c_str(); }

}  // namespace vantrel
