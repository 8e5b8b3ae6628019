// Each typed setter hands its value to the job's handler unchanged.
#include "engine/options/option_record.h"

#include "engine/job/engine_job.h"

namespace vantrel {

TOptionRecord::TOptionRecord(TCustomFFmpeg& Engine) : engine_(Engine), job_(*Engine.job_) {}

TEngineOptions& TOptionRecord::Fields() const { return job_; }

TCustomFFmpeg::TOptionResult TOptionRecord::SetOption(const std::string& Name, const std::string& Value) {
  return job_.SetOption(Name, Value);
}
bool TOptionRecord::ApplyGenericOptionInt(const std::string& Name, int Value) {
  return job_.ApplyGenericOptionInt(Name, Value);
}
void TOptionRecord::SetInputFormat(const std::string& Name) { job_.SetInputFormat(Name); }
void TOptionRecord::SetOutputFormat(const std::string& Name) { job_.SetOutputFormat(Name); }
void TOptionRecord::SetTarget(const std::string& Kind, const std::string& Norm, const std::string& FallbackNorm) {
  job_.SetTarget(Kind, Norm, FallbackNorm);
}
void TOptionRecord::SetAudioVolume(int Value) { job_.SetAudioVolume(Value); }
void TOptionRecord::SetAudioSyncMethod(int Value) { job_.SetAudioSyncMethod(Value); }
void TOptionRecord::SetVideoSyncMethod(int Value) { job_.SetVideoSyncMethod(Value); }
void TOptionRecord::SetMuxMaxDelay(float Value) { job_.SetMuxMaxDelay(Value); }
void TOptionRecord::SetMuxPreload(float Value) { job_.SetMuxPreload(Value); }
void TOptionRecord::SetYear(int Value) { job_.SetYear(Value); }
void TOptionRecord::SetTrack(int Value) { job_.SetTrack(Value); }
void TOptionRecord::SetStartTime(int64_t Microseconds) { job_.SetStartTime(Microseconds); }
void TOptionRecord::SetProgramId(int Value) { job_.SetProgramId(Value); }
void TOptionRecord::SetRecordingTimeMs(int64_t Milliseconds) { job_.SetRecordingTimeMs(Milliseconds); }
void TOptionRecord::SetTitle(const std::string& Value) { job_.SetTitle(Value); }
void TOptionRecord::SetAuthor(const std::string& Value) { job_.SetAuthor(Value); }
void TOptionRecord::SetCopyright(const std::string& Value) { job_.SetCopyright(Value); }
void TOptionRecord::SetComment(const std::string& Value) { job_.SetComment(Value); }
void TOptionRecord::SetGenre(const std::string& Value) { job_.SetGenre(Value); }
void TOptionRecord::SetAlbum(const std::string& Value) { job_.SetAlbum(Value); }
void TOptionRecord::OptFrameRate(const std::string& Value) { job_.OptFrameRate(Value); }
void TOptionRecord::OptFrameSize(const std::string& Value) { job_.OptFrameSize(Value); }
void TOptionRecord::OptFrameAspectRatio(const std::string& Value) { job_.OptFrameAspectRatio(Value); }
void TOptionRecord::OptFrameCrop(const std::string& Name, int Value) { job_.OptFrameCrop(Name, Value); }
void TOptionRecord::OptFramePad(const std::string& Name, int Value) { job_.OptFramePad(Name, Value); }
void TOptionRecord::OptPadColor(int Value) { job_.OptPadColor(Value); }
void TOptionRecord::OptCodecName(const std::string& Name, const std::string& Value) { job_.OptCodecName(Name, Value); }
void TOptionRecord::OptCodecTag(const std::string& Name, const std::string& Value) { job_.OptCodecTag(Name, Value); }

}  // namespace vantrel
