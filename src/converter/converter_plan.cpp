// The planned batch: each task is made on its own worker when its turn
// comes, runs there, and is freed there once it has ended.
#include <exception>
#include <vector>

#include "converter/bront_converter.h"

namespace vantrel {
namespace {

// A worker that makes, runs and frees one planned task.
class TPlannedTaskThread final : public HeldThread {
 public:
  TPlannedTaskThread(TCustomBrontConverter* AConverter, void (TCustomBrontConverter::*ARun)(int), int APlan)
      : converter_(AConverter), run_(ARun), plan_(APlan) {}

 protected:
  void Execute() override { (converter_->*run_)(plan_); }

 private:
  TCustomBrontConverter* converter_;
  void (TCustomBrontConverter::*run_)(int);
  int plan_;
};

}  // namespace

bool TPlannedTask::OpenInput(const std::string& AFileName, TInputOptions* AInputOptions) {
  try {
    return converter_.ApplyAndOpenInput(task_, AFileName, AInputOptions, lastErrMsg_);
  } catch (const std::exception& e) {
    lastErrMsg_ = e.what();
    return false;
  }
}

bool TPlannedTask::SetOutputFile(const std::string& AFileName, TOutputOptions* AOutputOptions) {
  try {
    if (converter_.ApplyAndOpenOutput(task_, AFileName, AOutputOptions)) return true;
    lastErrMsg_ = task_.LastError();
  } catch (const std::exception& e) {
    lastErrMsg_ = e.what();
  }
  return false;
}

bool TPlannedTask::StopRequested() const { return task_.StopRequested(); }

void TCustomBrontConverter::StartPlannedConvert(int ACount, int AParallel, TPlanTaskEvent APlan) {
  ClearLogBuffers();
  std::vector<TNextStart> starts;
  {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    ++batch_;
    FPlan = std::move(APlan);
    FNextIndex = 0;
    FFinished = 0;
    FStarted = 0;
    FPlanStopped = false;
    FParallel = AParallel < 1 ? 1 : AParallel;
    FPending = FPlan ? ACount : 0;
    for (int n = FParallel; n > 0 && FPending > 0; --n) starts.push_back(TakeNextTask());
  }
  for (const TNextStart& next : starts) StartNext(next);
}

// The worker was counted when its task was taken (TakeNextTask), so
// clearing the tasks never misses it.
void TCustomBrontConverter::LaunchPlannedTask(int APlan) {
  auto thread = std::make_shared<TPlannedTaskThread>(this, &TCustomBrontConverter::RunPlannedTask, APlan);
  thread->SetPriority(ThreadPriority);
  thread->Resume();
}

void TCustomBrontConverter::RunPlannedTask(int APlan) {
  TPlanTaskEvent plan;
  std::string failure;
  if (TFFmpeg* task = MakePlannedTask(APlan, plan, failure)) {
    try {
      TPlannedTask planned(*this, *task);
      if (failure.empty()) failure = plan(APlan, planned);
    } catch (const std::exception& e) {
      failure = e.what();
    }
    if (task->StopRequested()) {
      // Stopped while being made: not finished, and no error of its own.
      HandleTerminate(task);
    } else if (!failure.empty()) {
      task->SetFailure(failure);
      HandleTerminate(task);
    } else {
      task->SetReportInterval(int64_t(FProgressInterval) * 1000);
      // The job runs here, on this worker, and reports its own end.
      task->StartJob(false);
    }
    EndPlannedTask(task);
  }
  LaunchDone();
}

// A fresh task in the list under its plan's number, known by this thread's
// id before anything logs, with the batch's plan maker; a stop that came
// first stands. Nothing when the batch is gone.
TFFmpeg* TCustomBrontConverter::MakePlannedTask(int APlan, TPlanTaskEvent& APlanMaker, std::string& AError) {
  auto made = std::make_unique<TFFmpeg>();
  try {
    ResetTask(*made);
  } catch (const std::exception& e) {
    AError = e.what();
  }
  made->Index = APlan;
  made->ThreadID = CurrentThreadID();
  ConnectEvents(*made);
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (!FPlan) return nullptr;
  APlanMaker = FPlan;
  TFFmpeg* task = FTasks.AddNumbered(std::move(made));
  if (FPlanStopped) task->RequestStop();
  return task;
}

void TCustomBrontConverter::EndPlannedTask(TFFmpeg* ATask) {
  std::unique_ptr<TFFmpeg> task;
  {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    task = FTasks.ExtractTask(ATask);
  }
  // Freed outside the locks: freeing the contexts may log.
}

void TCustomBrontConverter::WaitForPlannedTasks() {
  std::unique_lock<std::mutex> count(FLaunchLock);
  FLaunchDone.wait(count, [this] { return FLaunched == 0; });
}

std::string TCustomBrontConverter::TaskOutputFile(int AIndex) const {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  const TFFmpeg* task = FTasks.FindByIndex(AIndex);
  return task ? task->FinalOutputName(0) : std::string();
}

}  // namespace vantrel
