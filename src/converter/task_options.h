// The two records through which an application describes a conversion task:
// the source file and the output file. Every field has an unset value that
// leaves the engine's own setting alone, so a profile fills only what it needs.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// Days since 30 December 1899, local time; the fraction is the time of day.
using TDateTime = double;
// A colour as 0x00BBGGRR: red in the low byte.
using TColor = uint32_t;

struct TInputOptions {
  std::string FileName;    // filled from the task's file name when empty
  std::string FileFormat;  // forced input format
  int32_t StartTime;       // milliseconds; used when > 0
  int32_t ProgramID;       // program to select; used when >= 0
  std::string ExtOptions;  // free "name=value" lines
  // How the video decoder works; 0 or false leave the engine's own way.
  int32_t LowRes;                // pictures at 1/2^n of their size
  int32_t SkipLoopFilter;        // an AVDiscard: the pictures decoded without deblocking
  bool SkipDroppedPictures;      // leave undecoded what the frame rate drops anyway
  bool HalveBeforeScaling;       // 2x2 averages before the scaler while the picture is large
  int32_t DecoderThreads;        // used when > 1
  // The file name is a path on this machine, never a protocol address, and
  // nothing it names may be fetched from elsewhere.
  bool LocalFileOnly;
};

// What becomes of a finished output when a file already has its name.
enum TExistingOutput : int32_t {
  eoEngineDefault = -1,  // unset: the engine's own rule
  eoReplace = 0,         // the file is replaced
  eoRefuse = 1,          // the task fails and the file stays
  eoNumber = 2,          // the output takes the first free "NAME(n).EXT"
};

struct TOutputOptions {
  std::string FileName;  // filled from the output name when empty
  std::string FileExt;   // carried along, not interpreted
  std::string FileFormat;
  int32_t PacketSize;
  int32_t MuxRate;
  float MuxDelay;    // seconds
  float MuxPreload;  // seconds
  std::string AudioCodec;
  bool DisableAudio;
  int32_t AudioVolume;  // 256 keeps the volume
  int32_t AudioChannels;
  int32_t AudioSampleRate;  // Hz
  int32_t AudioBitrate;     // bit/s
  int32_t AudioBitrateTolerance;
  std::string AudioLanguage;
  int32_t AudioSyncMethod;
  std::string AudioTag;  // exactly 4 characters when given
  std::string VideoCodec;
  bool DisableVideo;
  std::string FrameRate;         // "30000/1001", "29.97"
  std::string FrameSize;         // "176x144"
  std::string FrameAspectRatio;  // "4:3" or a decimal
  int32_t CropTop, CropBottom, CropLeft, CropRight;
  int32_t PadTop, PadBottom, PadLeft, PadRight;
  TColor PadColor;
  int32_t GopSize;
  int32_t VideoBitrate;  // bit/s
  int32_t VideoMaxRate;
  int32_t VideoMinRate;
  int32_t VideoBitrateTolerance;
  int32_t VideoBufSize;
  int32_t VideoSyncMethod;
  std::string VideoTag;  // exactly 4 characters when given
  std::string VideoFilters;
  int32_t EncoderThreads;  // video encoder threads, 1 to 16; used when > 1
  bool DisableSubtitle;
  std::string SubtitleLanguage;
  bool CopyTimestamps;
  int32_t Duration;     // milliseconds
  TDateTime Timestamp;  // 0 now, > 0 that moment, < 0 none
  int32_t Year;
  int32_t Track;
  // NUL-terminated; the text ends at the first NUL or at the array's end.
  char Title[512];
  char Author[512];
  char Copyright[512];
  char Comment[512];
  char Album[512];
  char Genre[32];
  int32_t TargetType;          // 0 none, 1 vcd, 2 svcd, 3 dvd
  int32_t TargetNorm;          // 0 auto, 1 pal, 2 ntsc, other auto
  int32_t TargetFallbackNorm;  // 1 pal, other ntsc
  bool UseCustomHook;
  bool UseBeforeHook;
  std::string HookRanges;  // "start-end,..." in milliseconds
  std::string ExtOptions;  // free "name=value" lines
  TExistingOutput ExistingOutput;
  // A stopped task leaves no file and replaces none (the engine's own rule
  // keeps what a stopped job properly closed).
  bool DiscardStoppedOutput;
};

// Every field to its unset value: strings emptied, character arrays zeroed.
void InitInputOptions(TInputOptions& Options);
void InitOutputOptions(TOutputOptions& Options);

}  // namespace vantrel
