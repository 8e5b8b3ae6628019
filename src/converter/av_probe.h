// The media probe: opens a file with the format library, lets it analyse the
// streams and reports the container's times, bit rate, creation time, tags
// and a summary of its streams by kind. It can also look at a context that
// someone else opened (a task's input) without taking it over.
#pragma once

#include <cstdint>
#include <string>

#include "binding/av_ptr.h"

namespace vantrel {

// What GetInfo reports. The text fields always end in a NUL and are zero
// filled after it.
struct TAVFileInfo {
  static constexpr int kTagSize = 512;
  static constexpr int kGenreSize = 32;

  int64_t StartTime;  // microseconds; AV_NOPTS_VALUE when the file states none
  int64_t Duration;   // microseconds; AV_NOPTS_VALUE when unknown
  int32_t BitRate;    // bit/s, 0 when unknown
  int64_t Timestamp;  // creation time, Unix seconds (UTC); 0 when the file has none
  char Title[kTagSize];
  char Author[kTagSize];
  char Copyright[kTagSize];
  char Comment[kTagSize];
  char Album[kTagSize];
  int32_t Year;   // 0 when the file has none
  int32_t Track;  // 0 when the file has none
  char Genre[kGenreSize];
};

// The first video stream: its codec id (an AVCodecID), stored picture size,
// the shape of its pixels and its frame rate (0/0 when the file does not
// say: square pixels, rate unknown).
struct TAVVideoInfo {
  int32_t CodecId;
  int32_t Width;
  int32_t Height;
  int32_t SarNum, SarDen;
  int32_t FrameRateNum, FrameRateDen;
};

class TAVProbe {
 public:
  TAVProbe();
  ~TAVProbe();
  TAVProbe(const TAVProbe&) = delete;
  TAVProbe& operator=(const TAVProbe&) = delete;

  // Opens and analyses AFileName, with the demuxer AFormatName when that is
  // not empty. Returns false and leaves the reason in LastErrMsg(): an unknown
  // format name (the file is not touched), the open error of the file, or
  // that its streams could not be analysed; the probe is empty then.
  // Throws like CheckLibraries, changing nothing. Takes no lock a job
  // holds: a probe never waits for a job on another thread.
  bool OpenFile(const std::string& AFileName, const std::string& AFormatName = std::string());
  // Looks at AContext from now on without owning it: CloseFile and the
  // destructor leave it open for its owner. Throws like CheckLibraries.
  void AttachContext(AVFormatContext* AContext);
  // Closes the context when the probe opened it, forgets it otherwise.
  void CloseFile();
  // Fills AInfo from the context. Without one every number is -1 and every
  // text empty, and "file not loaded." goes to the library log.
  void GetInfo(TAVFileInfo& AInfo) const;
  // Fills AInfo from the first video stream; false, with every number 0,
  // without a context or a video stream.
  bool GetVideoInfo(TAVVideoInfo& AInfo) const;
  // Throws std::runtime_error naming the first of the codec, format, utility
  // and scaling libraries that is not bound.
  static void CheckLibraries();

  // -1 each while no context is held; the first-stream indexes are also -1
  // when the file has no stream of that kind.
  int StreamCount() const { return streamCount_; }
  int ProgramCount() const { return programCount_; }
  int AudioCount() const { return audioCount_; }
  int VideoCount() const { return videoCount_; }
  int SubtitleCount() const { return subtitleCount_; }
  int FirstAudio() const { return firstAudio_; }
  int FirstVideo() const { return firstVideo_; }
  int FirstSubtitle() const { return firstSubtitle_; }

  // OpenFile takes its name as a local path, never a protocol address
  // ("cache:x.avi" is a file of that name), and neither it nor anything the
  // file names (playlist entries) may be opened through another protocol
  // than the local file one: no connection is ever attempted.
  bool LocalFileOnly = false;

  // Why the last OpenFile failed; success and CloseFile leave it as it is.
  const std::string& LastErrMsg() const { return lastErrMsg_; }
  // The format name the open file was forced to, empty when it was not.
  const std::string& FormatName() const { return formatName_; }

 private:
  void RefreshSummary();

  AVFormatContext* context_ = nullptr;
  OpenedInput owned_;  // set when context_ is the probe's own
  std::string lastErrMsg_;
  std::string formatName_;
  int streamCount_ = -1;
  int programCount_ = -1;
  int audioCount_ = -1;
  int videoCount_ = -1;
  int subtitleCount_ = -1;
  int firstAudio_ = -1;
  int firstVideo_ = -1;
  int firstSubtitle_ = -1;
};

}  // namespace vantrel
