// The caller's face of the engine: each operation hands over to the job.
#include "engine/job/engine_job.h"

namespace vantrel {

TCustomFFmpeg::TCustomFFmpeg() : job_(std::make_unique<TEngineJob>(this)) {}
TCustomFFmpeg::~TCustomFFmpeg() = default;

void TCustomFFmpeg::ResetEngine() { job_->ResetEngine(); }
void TCustomFFmpeg::FreeResources() { job_->FreeResources(); }

TCustomFFmpeg::TOptionResult TCustomFFmpeg::SetOption(const std::string& Name, const std::string& Value) {
  return job_->SetOption(Name, Value);
}
void TCustomFFmpeg::CheckOptionValue(const std::string& Name, const std::string& Value) const {
  job_->CheckOptionValue(Name, Value);
}
bool TCustomFFmpeg::KnowsOption(const std::string& Name) const { return job_->KnowsOption(Name); }
bool TCustomFFmpeg::OptionTakesNoValue(const std::string& Name) { return TEngineJob::OptionTakesNoValue(Name); }
const TEngineOptions& TCustomFFmpeg::Options() const { return *job_; }

bool TCustomFFmpeg::OpenInputFile(const std::string& FileName) { return job_->OpenInputFile(FileName); }
bool TCustomFFmpeg::OpenOutputFile(const std::string& FileName) { return job_->OpenOutputFile(FileName); }
std::string TCustomFFmpeg::LastError() const { return job_->LastError; }

void TCustomFFmpeg::SetOutputCollision(TOutputCollision Collision) { job_->OutputCollision = Collision; }
void TCustomFFmpeg::SetKeepStoppedOutput(bool Keep) { job_->KeepStoppedOutput = Keep; }
void TCustomFFmpeg::SetLocalInputsOnly(bool LocalOnly) { job_->LocalInputsOnly = LocalOnly; }
void TCustomFFmpeg::SetReportInterval(int64_t Microseconds) { job_->ReportInterval = Microseconds; }
int64_t TCustomFFmpeg::ReportInterval() const { return job_->ReportInterval; }
void TCustomFFmpeg::SetHookRanges(const std::vector<THookRange>& Ranges) { job_->SetHookRanges(Ranges); }
const std::vector<THookRange>& TCustomFFmpeg::HookRanges() const { return job_->HookRanges; }
void TCustomFFmpeg::SetVerbose(int Level) { job_->SetVerbose(Level); }
void TCustomFFmpeg::SetFailure(const std::string& Message) {
  job_->ErrorOccurred = true;
  job_->ErrorMessage = Message;
}

std::shared_ptr<TFFmpegThread> TCustomFFmpeg::StartJob(bool Threaded, TConvertPriority Priority) {
  return job_->StartJob(Threaded, Priority);
}
void TCustomFFmpeg::RequestStop() { job_->RequestStop(); }
void TCustomFFmpeg::StopJob() { job_->StopJob(); }
void TCustomFFmpeg::StopAndWait() { job_->StopAndWait(); }
std::shared_ptr<TFFmpegThread> TCustomFFmpeg::Thread() const { return job_->Thread(); }
bool TCustomFFmpeg::Running() const { return job_->Running; }
bool TCustomFFmpeg::StopRequested() const { return job_->StopRequested; }

void TCustomFFmpeg::SetOnLog(TLogHandler Handler) { job_->OnLog = std::move(Handler); }
void TCustomFFmpeg::SetOnProgress(TProgressHandler Handler) { job_->OnProgress = std::move(Handler); }
void TCustomFFmpeg::SetOnProgressLine(TProgressLineHandler Handler) { job_->OnProgressLine = std::move(Handler); }
void TCustomFFmpeg::SetOnTerminate(TTerminateHandler Handler) { job_->OnTerminate = std::move(Handler); }
void TCustomFFmpeg::SetOnBeforeHook(TBeforeHookHandler Handler) { job_->OnBeforeHook = std::move(Handler); }
void TCustomFFmpeg::SetOnCustomHook(TCustomHookHandler Handler) { job_->OnCustomHook = std::move(Handler); }

TJobResult TCustomFFmpeg::Result() const {
  return {job_->Completed, job_->Finished, job_->ErrorOccurred, job_->ErrorMessage, job_->DurationMs};
}
std::string TCustomFFmpeg::FinalOutputName(int FileIndex) const { return job_->FinalOutputName(FileIndex); }
int32_t TCustomFFmpeg::DecodedPictures() const { return job_->DecodedPictures(); }
AVFormatContext* TCustomFFmpeg::LastInputContext() const { return job_->LastInputContext(); }

}  // namespace vantrel
