// Starting, running, stopping and ending a job.
#include <algorithm>

#include "binding/av_binding.h"
#include "engine/job/engine_job.h"
#include "engine/log_threshold.h"

namespace vantrel {

void TEngineJob::WorkerGate::Enter() {
  std::lock_guard<std::mutex> lock(m);
  active = true;
}

void TEngineJob::WorkerGate::Leave() {
  std::lock_guard<std::mutex> lock(m);
  active = false;
  cv.notify_all();
}

void TEngineJob::WorkerGate::Wait() {
  std::unique_lock<std::mutex> lock(m);
  // The worker itself may end up here (a terminate handler that destroys the
  // engine): it must not wait for itself.
  if (id == std::this_thread::get_id()) return;
  cv.wait(lock, [this] { return !active; });
}

void TEngineJob::Log(int ALevel, const std::string& AMsg) {
  if (OnLog) OnLog(Owner, ALevel, AMsg);
}

std::shared_ptr<TFFmpegThread> TEngineJob::Thread() const {
  std::lock_guard<std::mutex> lock(stateLock_);
  return thread_;
}

void TEngineJob::SetThread(std::shared_ptr<TFFmpegThread> t) {
  std::lock_guard<std::mutex> lock(stateLock_);
  thread_ = std::move(t);
}

void TEngineJob::FailStart(const std::string& Msg) {
  ReleaseResources();
  Log(-1, Msg);
  ErrorOccurred = true;
  ErrorMessage = Msg;
  DoTerminate();
}

std::shared_ptr<TFFmpegThread> TEngineJob::StartJob(bool Threaded, TConvertPriority Priority) {
  if (Running || Finished || terminatePending_) return nullptr;
  if (OutputFileCount == 0) {
    FailStart("Must supply at least one output file");
    return nullptr;
  }
  if (InputFileCount == 0) {
    FailStart("Must supply at least one input file");
    return nullptr;
  }
  Running = true;
  // A stop asked for before the start stands (ResetEngine clears it): the
  // job then ends at once.
  Completed = false;
  Finished = false;
  if (!Threaded) {
    RunJob();
    return nullptr;
  }
  auto thread = TFFmpegThread::Create(this);
  thread->SetPriority(Priority);
  gate_->Enter();
  SetThread(thread);
  return thread;
}

void TEngineJob::RunOnWorker(void (TEngineJob::*Body)()) {
  // Keep the gate alive on our own: the engine may be gone once the body has
  // reported the end.
  std::shared_ptr<WorkerGate> gate = gate_;
  {
    std::lock_guard<std::mutex> lock(gate->m);
    gate->id = std::this_thread::get_id();
  }
  (this->*Body)();
  gate->Leave();
}

void TEngineJob::WorkerRun() { RunOnWorker(&TEngineJob::RunJob); }
void TEngineJob::WorkerTerminate() { RunOnWorker(&TEngineJob::DoTerminate); }

void TEngineJob::RunJob() {
  const TScopedLogThreshold threshold(Verbose);
  Completed = false;
  auto fail = [this](const std::string& Msg) {
    Log(-1, Msg);
    ErrorOccurred = true;
    ErrorMessage = Msg;
  };
  bool ended = false;
  try {
    Transcode();
    ended = true;
  } catch (const std::exception& e) {
    fail(e.what());
  }
  CloseListedCodecs();
  // Only here is the outcome known: the outputs of a job that ended take
  // their names; FreeResources deletes those of a job that failed.
  if (ended) {
    if (std::string failure = KeepFinishedOutputs(); !failure.empty()) {
      Completed = false;
      fail(failure);
    }
  }
  ReleaseResources();
  DoTerminate();
}

void TEngineJob::CloseListedCodecs() {
  OpenedEncoders.CloseAll();
  OpenedDecoders.CloseAll();
}

void TEngineJob::DoTerminate() {
  Running = false;
  Finished = true;
  terminatePending_ = false;
  SetThread(nullptr);
  // A copy, so that a handler which destroys the engine does not destroy
  // itself while it runs. Nothing touches the engine after the call.
  if (TTerminateHandler handler = OnTerminate) handler(Owner);
}

void TEngineJob::RequestStop() {
  StopRequested = true;
  if (auto t = Thread(); t && t->Suspended()) t->Resume();
}

void TEngineJob::StopJob() {
  if (Running) {
    RequestStop();
    return;
  }
  if (Finished) return;
  // Configured but never started: report its end from another thread, once.
  bool expected = false;
  if (!terminatePending_.compare_exchange_strong(expected, true)) return;
  auto thread = TDoTerminateThread::Create(this);
  thread->SetPriority(tpIdle);
  gate_->Enter();
  thread->Resume();
}

void TEngineJob::SetHookRanges(const std::vector<THookRange>& Ranges) {
  RefuseWhileRunning();
  HookRanges = Ranges;
  HookRangeCount = int32_t(HookRanges.size());
  HookRangeIndex = 0;
  std::sort(HookRanges.begin(), HookRanges.end(),
            [](const THookRange& a, const THookRange& b) { return a.end < b.end; });
}

}  // namespace vantrel
