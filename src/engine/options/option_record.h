// The typed option setters and handlers, for a caller that holds its option
// values as numbers and texts of their own types (the converter's option
// records). Each call does exactly what the handler of the option language
// does with that value, without a round trip through text, which could
// change a float. Like SetOption, they refuse while the job runs.
#pragma once

#include <cstdint>
#include <string>

#include "engine/engine.h"
#include "engine/options/engine_options.h"

namespace vantrel {

class TOptionRecord {
 public:
  explicit TOptionRecord(TCustomFFmpeg& Engine);

  TCustomFFmpeg& Engine() const { return engine_; }
  // The option variables themselves, for the switches no handler covers
  // (copying time stamps off, skipping dropped pictures, decoder threads).
  TEngineOptions& Fields() const;

  TCustomFFmpeg::TOptionResult SetOption(const std::string& Name, const std::string& Value);
  // An option of the codec, format or scaler holders, or of a muxer, by name.
  bool ApplyGenericOptionInt(const std::string& Name, int Value);
  // Formats; a refused name raises FFMpegException.
  void SetInputFormat(const std::string& Name);
  void SetOutputFormat(const std::string& Name);
  // The presets vcd, svcd and dvd for a norm ("pal", "ntsc", or anything else
  // to detect it) and the norm to fall back on.
  void SetTarget(const std::string& Kind, const std::string& Norm, const std::string& FallbackNorm);

  // Each stores only under its condition (see the sources).
  void SetAudioVolume(int Value);
  void SetAudioSyncMethod(int Value);
  void SetVideoSyncMethod(int Value);
  void SetMuxMaxDelay(float Value);
  void SetMuxPreload(float Value);
  void SetYear(int Value);
  void SetTrack(int Value);
  void SetStartTime(int64_t Microseconds);
  void SetProgramId(int Value);
  void SetRecordingTimeMs(int64_t Milliseconds);
  void SetTitle(const std::string& Value);
  void SetAuthor(const std::string& Value);
  void SetCopyright(const std::string& Value);
  void SetComment(const std::string& Value);
  void SetGenre(const std::string& Value);
  void SetAlbum(const std::string& Value);

  // The handlers of the option table: each raises FFMpegException (the tag
  // handler EAssertionFailed) with the message the user sees; a text handler
  // ignores an empty value.
  void OptFrameRate(const std::string& Value);
  void OptFrameSize(const std::string& Value);
  void OptFrameAspectRatio(const std::string& Value);
  void OptFrameCrop(const std::string& Name, int Value);
  void OptFramePad(const std::string& Name, int Value);
  void OptPadColor(int Value);
  void OptCodecName(const std::string& Name, const std::string& Value);
  void OptCodecTag(const std::string& Name, const std::string& Value);

 private:
  TCustomFFmpeg& engine_;
  TEngineJob& job_;
};

}  // namespace vantrel
