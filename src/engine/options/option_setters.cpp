// Direct setters through which the converter component fills option
// variables; each leaves the variable alone outside its accepted range.
#include "engine/engine.h"

namespace vantrel {
namespace {

void SetIfNotEmpty(std::string& var, const std::string& value) {
  if (!value.empty()) var = value;
}

}  // namespace

void TCustomFFmpeg::SetAudioVolume(int Value) {
  RefuseWhileRunning();
  if (Value >= 0) AudioVolume = Value;
}
void TCustomFFmpeg::SetAudioSyncMethod(int Value) { RefuseWhileRunning(); AudioSyncMethod = Value; }
void TCustomFFmpeg::SetVideoSyncMethod(int Value) { RefuseWhileRunning(); VideoSyncMethod = Value; }
// Both become microseconds in a 32-bit integer of the muxer.
void TCustomFFmpeg::SetMuxMaxDelay(float Value) {
  RefuseWhileRunning();
  if (Value > 0 && double(Value) * 1000000 <= INT32_MAX) MuxMaxDelay = Value;
}
void TCustomFFmpeg::SetMuxPreload(float Value) {
  RefuseWhileRunning();
  if (Value > 0 && double(Value) * 1000000 <= INT32_MAX) MuxPreload = Value;
}
void TCustomFFmpeg::SetYear(int Value) {
  RefuseWhileRunning();
  if (Value > 0) Year = Value;
}
void TCustomFFmpeg::SetTrack(int Value) {
  RefuseWhileRunning();
  if (Value > 0) Track = Value;
}
void TCustomFFmpeg::SetStartTime(int64_t Microseconds) {
  RefuseWhileRunning();
  if (Microseconds > 0) StartTime = Microseconds;
}
void TCustomFFmpeg::SetProgramId(int Value) {
  RefuseWhileRunning();
  if (Value >= 0) ProgramId = Value;
}

// Durations too long for the 64-bit microsecond clock or the 32-bit progress
// total are held at the largest value rather than wrapping negative.
void TCustomFFmpeg::SetRecordingTimeMs(int64_t Milliseconds) {
  RefuseWhileRunning();
  if (Milliseconds <= 0) return;
  RecordingTime = Milliseconds > INT64_MAX / 1000 ? INT64_MAX : Milliseconds * 1000;
  DurationMs = Milliseconds > INT32_MAX ? INT32_MAX : int32_t(Milliseconds);
}

void TCustomFFmpeg::SetTitle(const std::string& Value) { RefuseWhileRunning(); SetIfNotEmpty(Title, Value); }
void TCustomFFmpeg::SetAuthor(const std::string& Value) { RefuseWhileRunning(); SetIfNotEmpty(Author, Value); }
void TCustomFFmpeg::SetCopyright(const std::string& Value) { RefuseWhileRunning(); SetIfNotEmpty(Copyright, Value); }
void TCustomFFmpeg::SetComment(const std::string& Value) { RefuseWhileRunning(); SetIfNotEmpty(Comment, Value); }
void TCustomFFmpeg::SetGenre(const std::string& Value) { RefuseWhileRunning(); SetIfNotEmpty(Genre, Value); }
void TCustomFFmpeg::SetAlbum(const std::string& Value) { RefuseWhileRunning(); SetIfNotEmpty(Album, Value); }

}  // namespace vantrel
