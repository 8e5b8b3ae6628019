// Direct setters through which the converter component fills option
// variables; each leaves the variable alone outside its accepted range.
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

void SetIfNotEmpty(std::string& var, const std::string& value) {
  if (!value.empty()) var = value;
}

}  // namespace

void TEngineJob::SetAudioVolume(int Value) {
  RefuseWhileRunning();
  if (Value >= 0) AudioVolume = Value;
}
void TEngineJob::SetAudioSyncMethod(int Value) { RefuseWhileRunning(); AudioSyncMethod = Value; }
void TEngineJob::SetVideoSyncMethod(int Value) { RefuseWhileRunning(); VideoSyncMethod = Value; }
// Both become microseconds in a 32-bit integer of the muxer.
void TEngineJob::SetMuxMaxDelay(float Value) {
  RefuseWhileRunning();
  if (Value > 0 && double(Value) * 1000000 <= INT32_MAX) MuxMaxDelay = Value;
}
void TEngineJob::SetMuxPreload(float Value) {
  RefuseWhileRunning();
  if (Value > 0 && double(Value) * 1000000 <= INT32_MAX) MuxPreload = Value;
}
void TEngineJob::SetYear(int Value) {
  RefuseWhileRunning();
  if (Value > 0) Year = Value;
}
void TEngineJob::SetTrack(int Value) {
  RefuseWhileRunning();
  if (Value > 0) Track = Value;
}
void TEngineJob::SetStartTime(int64_t Microseconds) {
  RefuseWhileRunning();
  if (Microseconds > 0) StartTime = Microseconds;
}
void TEngineJob::SetProgramId(int Value) {
  RefuseWhileRunning();
  if (Value >= 0) ProgramId = Value;
}

// Durations too long for the 64-bit microsecond clock or the 32-bit progress
// total are held at the largest value rather than wrapping negative.
void TEngineJob::SetRecordingTimeMs(int64_t Milliseconds) {
  RefuseWhileRunning();
  if (Milliseconds <= 0) return;
  RecordingTime = Milliseconds > INT64_MAX / 1000 ? INT64_MAX : Milliseconds * 1000;
  DurationMs = Milliseconds > INT32_MAX ? INT32_MAX : int32_t(Milliseconds);
}

void TEngineJob::SetTitle(const std::string& Value) { RefuseWhileRunning(); SetIfNotEmpty(Title, Value); }
void TEngineJob::SetAuthor(const std::string& Value) { RefuseWhileRunning(); SetIfNotEmpty(Author, Value); }
void TEngineJob::SetCopyright(const std::string& Value) { RefuseWhileRunning(); SetIfNotEmpty(Copyright, Value); }
void TEngineJob::SetComment(const std::string& Value) { RefuseWhileRunning(); SetIfNotEmpty(Comment, Value); }
void TEngineJob::SetGenre(const std::string& Value) { RefuseWhileRunning(); SetIfNotEmpty(Genre, Value); }
void TEngineJob::SetAlbum(const std::string& Value) { RefuseWhileRunning(); SetIfNotEmpty(Album, Value); }

}  // namespace vantrel
