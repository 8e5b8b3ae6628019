// The batch: starting tasks one after another or several at once, counting
// their ends, and passing the engines' events on with the task's index.
#include "converter/bront_converter.h"

namespace vantrel {
namespace {

int IndexOf(const TFFmpeg* Sender) { return Sender ? Sender->Index.load() : -1; }

}  // namespace

void TCustomBrontConverter::StartConvert(int AParallel) {
  ClearLogBuffers();
  // Held while starting: a worker that ends at once counts and starts the
  // next task under the same lock, so the counters stay consistent.
  std::lock_guard<std::recursive_mutex> lock(FLock);
  ++batch_;
  FPlan = nullptr;
  FNextIndex = 0;
  FFinished = 0;
  FParallel = AParallel;
  FPending = FTasks.Count();
  int n = FParallel;
  while (FPending > 0) {
    StartNextTask();
    if (--n <= 0) break;
  }
}

void TCustomBrontConverter::StartNextTask() {
  if (FPending <= 0) return;
  --FPending;
  const int index = FNextIndex++;
  if (FPlan) {
    ++FStarted;
    LaunchPlannedTask(index);
    return;
  }
  if (FParallel > 0 || !mainLoop_) {
    StartTask(index);
    return;
  }
  // From a fresh turn of the user-interface loop, after the call chain that
  // asked for it (possibly the previous task's end) has returned.
  std::weak_ptr<TCustomBrontConverter*> alive = self_;
  mainLoop_->Post(std::chrono::milliseconds(100), [alive, index, batch = batch_] {
    auto self = alive.lock();
    if (self && (*self)->batch_ == batch) (*self)->StartTask(index);
  });
}

void TCustomBrontConverter::StartTask(int AIndex) {
  TFFmpeg* task = FTasks.Items(AIndex);
  if (!task) return;
  task->SetReportInterval(int64_t(FProgressInterval) * 1000);
  task->SetVerbose(EngineLogLevel(FLogLevel));
  if (FParallel <= 0) {
    task->ThreadID = CurrentThreadID();
    task->StartJob(false);
    return;
  }
  if (auto thread = task->StartJob(true, ThreadPriority)) {
    // Known before the worker runs, so its first log line finds the task.
    task->ThreadID = thread->ThreadID();
    thread->Resume();
  } else {
    task->ThreadID = 0;
  }
}

void TCustomBrontConverter::HandleTerminate(TFFmpeg* Sender) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (closing_) return;
  if (!Sender) {
    EndOfBatch();
    return;
  }
  if (OnTerminate) {
    const TJobResult result = Sender->Result();
    OnTerminate(IndexOf(Sender), result.Completed, result.ErrorOccurred, result.ErrorMessage);
  }
  ++FFinished;
  // A planned batch is over when every task it made has ended: after a
  // stop the others are never made.
  if (FPending > 0)
    StartNextTask();
  else if (FFinished >= (FPlan ? FStarted : FTasks.Count()))
    EndOfBatch();
}

void TCustomBrontConverter::EndOfBatch() {
  if (OnTerminate) OnTerminate(-1, true, false, std::string());
  ClearLogBuffers();
}

void TCustomBrontConverter::StopConvert() {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  FPending = 0;
  FPlanStopped = true;
  // A planned task reports its own end, also when it is stopped while being
  // made: asking it to stop is enough.
  for (int i = 0; i < FTasks.Count(); ++i) {
    if (FPlan)
      FTasks.Items(i)->RequestStop();
    else
      FTasks.Items(i)->StopJob();
  }
}

// ---- events ----

void TCustomBrontConverter::HandleBeforeHook(TFFmpeg* Sender, int64_t APTS, THookAction& AHookAction) {
  if (OnBeforeHook && !closing_) OnBeforeHook(IndexOf(Sender), APTS, AHookAction);
}

void TCustomBrontConverter::HandleCustomHook(TFFmpeg* Sender, THookBitmap& ABitmap, int AFrameNumber, int64_t APTS,
                                             bool& AUpdate, bool& AStopHook) {
  if (OnCustomHook && !closing_) OnCustomHook(IndexOf(Sender), ABitmap, AFrameNumber, APTS, AUpdate, AStopHook);
}

void TCustomBrontConverter::HandleLog(TFFmpeg* Sender, int ALevel, const std::string& AMsg) {
  if (!OnLog || closing_) return;
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (closing_) return;
  OnLog(IndexOf(Sender), MapLogLevel(ALevel), AMsg);
}

void TCustomBrontConverter::HandleProgress(TFFmpeg* Sender, int AFrameNumber, int AFPS, int ACurrentDuration,
                                           float AQuality, float ABitRate, int64_t ACurrentSize,
                                           int ATotalOutputDuration) {
  if (!OnProgress || closing_) return;
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (closing_) return;
  OnProgress(IndexOf(Sender), AFrameNumber, AFPS, ACurrentDuration, AQuality, ABitRate, ACurrentSize,
             ATotalOutputDuration);
}

void TCustomBrontConverter::DispatchLibLog(TThreadID AThreadID, int ALevel, const std::string& ALine) {
  HandleLog(FTasks.FindByThreadID(AThreadID), ALevel, ALine);
}

}  // namespace vantrel
