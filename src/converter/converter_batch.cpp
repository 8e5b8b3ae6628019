// The batch: starting tasks one after another or several at once, counting
// their ends, and passing the engines' events on with the task's index.
#include <algorithm>
#include <vector>

#include "converter/bront_converter.h"

namespace vantrel {
namespace {

int IndexOf(const TFFmpeg* Sender) { return Sender ? Sender->Index.load() : -1; }

}  // namespace

void TCustomBrontConverter::StartConvert(int AParallel) {
  ClearLogBuffers();
  std::vector<TNextStart> starts;
  {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    ++batch_;
    FPlan = nullptr;
    FNextIndex = 0;
    FFinished = 0;
    FParallel = AParallel;
    FPending = FTasks.Count();
    for (int n = std::max(FParallel, 1); n > 0 && FPending > 0; --n) starts.push_back(TakeNextTask());
  }
  for (const TNextStart& next : starts) StartNext(next);
}

TCustomBrontConverter::TNextStart TCustomBrontConverter::TakeNextTask() {
  TNextStart next;
  if (FPending <= 0) return next;
  --FPending;
  next.Index = FNextIndex++;
  next.Planned = static_cast<bool>(FPlan);
  if (next.Planned) ++FStarted;
  // A start on a worker is counted until it is under way, so that clearing
  // the tasks never frees one that is being started. One-at-a-time starts
  // run on the clearing thread itself.
  if (next.Planned || FParallel > 0) {
    std::lock_guard<std::mutex> count(FLaunchLock);
    ++FLaunched;
  }
  return next;
}

void TCustomBrontConverter::StartNext(const TNextStart& ANext) {
  if (ANext.Index < 0) return;
  if (ANext.Planned) {
    LaunchPlannedTask(ANext.Index);
    return;
  }
  if (FParallel > 0) {
    StartTask(ANext.Index);
    LaunchDone();
    return;
  }
  if (!mainLoop_) {
    StartTask(ANext.Index);
    return;
  }
  // From a fresh turn of the user-interface loop, after the call chain that
  // asked for it (possibly the previous task's end) has returned.
  std::weak_ptr<TCustomBrontConverter*> alive = self_;
  mainLoop_->Post(std::chrono::milliseconds(100), [alive, index = ANext.Index, batch = batch_] {
    auto self = alive.lock();
    if (self && (*self)->batch_ == batch) (*self)->StartTask(index);
  });
}

void TCustomBrontConverter::LaunchDone() {
  std::lock_guard<std::mutex> count(FLaunchLock);
  if (--FLaunched == 0) FLaunchDone.notify_all();
}

void TCustomBrontConverter::StartTask(int AIndex) {
  TFFmpeg* task;
  {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    task = FTasks.Items(AIndex);
    if (!task) return;
    task->SetReportInterval(int64_t(FProgressInterval) * 1000);
    task->SetVerbose(EngineLogLevel(FLogLevel));
    task->ThreadID = FParallel <= 0 ? CurrentThreadID() : 0;
  }
  // A task that cannot start reports its end from here.
  if (FParallel <= 0) {
    task->StartJob(false);
    return;
  }
  if (auto thread = task->StartJob(true, ThreadPriority)) {
    // Known before the worker runs, so its first log line finds the task.
    task->ThreadID = thread->ThreadID();
    thread->Resume();
  }
}

void TCustomBrontConverter::HandleTerminate(TFFmpeg* Sender) {
  if (!Sender) return;
  const int index = IndexOf(Sender);
  const TJobResult result = Sender->Result();
  TEventOrder::TTurn turn;
  TEventOrder::TTurn endTurn = 0;
  bool last = false;
  TNextStart next;
  {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    if (closing_) return;
    turn = FEvents.Take();
    ++FFinished;
    // A planned batch is over when every task it made has ended: after a
    // stop the others are never made.
    if (FPending > 0) {
      next = TakeNextTask();
    } else if (FFinished >= (FPlan ? FStarted : FTasks.Count())) {
      last = true;
      endTurn = FEvents.Take();
    }
  }
  Raise(turn, [&] {
    if (OnTerminate) OnTerminate(index, result.Completed, result.ErrorOccurred, result.ErrorMessage);
  });
  StartNext(next);
  if (last) EndOfBatch(endTurn);
}

void TCustomBrontConverter::EndOfBatch(TEventOrder::TTurn ATurn) {
  Raise(ATurn, [this] {
    if (OnTerminate) OnTerminate(-1, true, false, std::string());
  });
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

void TCustomBrontConverter::Raise(TEventOrder::TTurn ATurn, const std::function<void()>& ACall) {
  FEvents.Run(ATurn, [&] {
    if (!closing_) ACall();
  });
}

void TCustomBrontConverter::HandleBeforeHook(TFFmpeg* Sender, int64_t APTS, THookAction& AHookAction) {
  if (OnBeforeHook && !closing_) OnBeforeHook(IndexOf(Sender), APTS, AHookAction);
}

void TCustomBrontConverter::HandleCustomHook(TFFmpeg* Sender, THookBitmap& ABitmap, int AFrameNumber, int64_t APTS,
                                             bool& AUpdate, bool& AStopHook) {
  if (OnCustomHook && !closing_) OnCustomHook(IndexOf(Sender), ABitmap, AFrameNumber, APTS, AUpdate, AStopHook);
}

void TCustomBrontConverter::HandleLog(TFFmpeg* Sender, int ALevel, const std::string& AMsg) {
  RaiseLog(IndexOf(Sender), ALevel, AMsg);
}

void TCustomBrontConverter::RaiseLog(int AIndex, int ALevel, const std::string& AMsg) {
  if (!OnLog || closing_) return;
  Raise(FEvents.Take(), [&] {
    if (OnLog) OnLog(AIndex, MapLogLevel(ALevel), AMsg);
  });
}

void TCustomBrontConverter::HandleProgress(TFFmpeg* Sender, int AFrameNumber, int AFPS, int ACurrentDuration,
                                           float AQuality, float ABitRate, int64_t ACurrentSize,
                                           int ATotalOutputDuration) {
  if (!OnProgress || closing_) return;
  const int index = IndexOf(Sender);
  Raise(FEvents.Take(), [&] {
    if (OnProgress)
      OnProgress(index, AFrameNumber, AFPS, ACurrentDuration, AQuality, ABitRate, ACurrentSize, ATotalOutputDuration);
  });
}

// The task is looked up under FLock and only its number is kept: the task
// may end and go while the line is delivered.
void TCustomBrontConverter::DispatchLibLog(TThreadID AThreadID, int ALevel, const std::string& ALine) {
  int index;
  {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    index = IndexOf(FTasks.FindByThreadID(AThreadID));
  }
  RaiseLog(index, ALevel, ALine);
}

}  // namespace vantrel
