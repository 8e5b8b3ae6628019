// The component's life, the libraries, and making and removing tasks.
#include "converter/bront_converter.h"

#include "binding/av_binding.h"
#include "converter/apply_options.h"

namespace vantrel {

TCustomBrontConverter::TCustomBrontConverter(TMainLoop* MainLoop)
    : mainLoop_(MainLoop), self_(std::make_shared<TCustomBrontConverter*>(this)) {
  RegisterLogRoute(this);
}

TCustomBrontConverter::~TCustomBrontConverter() { Shutdown(); }

void TCustomBrontConverter::Shutdown() {
  if (closing_.exchange(true)) return;
  self_.reset();
  UnregisterLogRoute(this);
  // An event being delivered on another thread completes first.
  FEvents.Run(FEvents.Take(), [] {});
  // Each task stops and waits for its thread; one that still ends reports
  // through the dispatchers, which need FLock alive: it goes last.
  ClearTasks();
}

std::string TCustomBrontConverter::Version() { return VANTREL_VERSION; }

// ---- libraries ----

bool TCustomBrontConverter::LoadAVLib(const std::string& APath, bool AVersioned) {
  if (!LoadLibraries(APath, AVersioned)) {
    FLastErrMsg = GetLoadError();
    return false;
  }
  lav::av_log_set_callback(LibLogCallback);
  lav::av_log_set_level(EngineLogLevel(FLogLevel));
  SetLibraryLogThreshold(lav::av_log_get_level());
  return true;
}

void TCustomBrontConverter::UnloadAVLib() { UnloadLibraries(); }

void TCustomBrontConverter::SetLogLevel(TLogLevel Value) {
  FLogLevel = Value;
  if (!LibrariesLoaded()) return;
  lav::av_log_set_level(EngineLogLevel(Value));
  SetLibraryLogThreshold(lav::av_log_get_level());
}

void TCustomBrontConverter::SetProgressInterval(int Value) { FProgressInterval = Value <= 100 ? 100 : Value; }

// ---- tasks ----

void TCustomBrontConverter::ResetTask(TFFmpeg& Task) {
  Task.SetOnLog([this](TCustomFFmpeg* Sender, int ALevel, const std::string& AMsg) {
    HandleLog(static_cast<TFFmpeg*>(Sender), ALevel, AMsg);
  });
  Task.ResetEngine();
  Task.SetVerbose(EngineLogLevel(FLogLevel));
}

bool TCustomBrontConverter::ApplyAndOpenInput(TFFmpeg& Task, const std::string& AFileName,
                                              TInputOptions* AInputOptions, std::string& AError) {
  if (AInputOptions) {
    if (AInputOptions->FileName.empty()) AInputOptions->FileName = AFileName;
    Task.InputOptions = *AInputOptions;
    ApplyInputOptions(Task, Task.InputOptions);
  }
  if (!Task.OpenInputFile(AFileName)) {
    AError = Task.LastError();
    return false;
  }
  Task.Probe.AttachContext(Task.LastInputContext());
  ConnectEvents(Task);
  return true;
}

int TCustomBrontConverter::AddTask(const std::string& AFileName, TInputOptions* AInputOptions) {
  auto task = std::make_unique<TFFmpeg>();
  try {
    ResetTask(*task);
    if (!ApplyAndOpenInput(*task, AFileName, AInputOptions, FLastErrMsg)) {
      task->SetOnLog(nullptr);
      return -1;
    }
  } catch (const std::exception& e) {
    FLastErrMsg = e.what();
    return -1;
  }
  // The list changes under the lock its readers hold (a library line
  // looking up its task, a task's end).
  std::lock_guard<std::recursive_mutex> lock(FLock);
  return FTasks.Add(std::move(task))->Index;
}

void TCustomBrontConverter::ConnectEvents(TFFmpeg& Task) {
  Task.SetOnProgress([this](TCustomFFmpeg* Sender, int AFrameNumber, int AFPS, int ACurrentDuration, float AQuality,
                           float ABitRate, int64_t ACurrentSize, int ATotalOutputDuration) {
    HandleProgress(static_cast<TFFmpeg*>(Sender), AFrameNumber, AFPS, ACurrentDuration, AQuality, ABitRate,
                   ACurrentSize, ATotalOutputDuration);
  });
  Task.SetOnTerminate([this](TCustomFFmpeg* Sender) { HandleTerminate(static_cast<TFFmpeg*>(Sender)); });
}

bool TCustomBrontConverter::SetOutputFile(int AIndex, const std::string& AFileName, TOutputOptions* AOutputOptions) {
  TFFmpeg* task = FTasks.Items(AIndex);
  if (!task) {
    FLastErrMsg = "No task at index " + std::to_string(AIndex);
    return false;
  }
  try {
    return ApplyAndOpenOutput(*task, AFileName, AOutputOptions);
  } catch (const std::exception& e) {
    FLastErrMsg = e.what();
    return false;
  }
}

bool TCustomBrontConverter::ApplyAndOpenOutput(TFFmpeg& Task, const std::string& AFileName,
                                               TOutputOptions* AOutputOptions) {
  if (AOutputOptions) {
    if (AOutputOptions->FileName.empty()) AOutputOptions->FileName = AFileName;
    Task.OutputOptions = *AOutputOptions;
    ApplyOutputOptions(Task, Task.OutputOptions);
    ConnectHooks(Task, Task.OutputOptions);
  }
  if (Task.OpenOutputFile(AFileName)) return true;
  FLastErrMsg = Task.LastError();
  return false;
}

// Exactly one of the three: the custom hook, the before-hook, or the ranges.
void TCustomBrontConverter::ConnectHooks(TFFmpeg& Task, const TOutputOptions& Options) {
  if (Options.UseCustomHook) {
    Task.SetOnCustomHook([this](TCustomFFmpeg* Sender, THookBitmap& ABitmap, int AFrameNumber, int64_t APTS,
                               bool& AUpdate, bool& AStopHook) {
      HandleCustomHook(static_cast<TFFmpeg*>(Sender), ABitmap, AFrameNumber, APTS, AUpdate, AStopHook);
    });
  } else if (Options.UseBeforeHook) {
    Task.SetOnBeforeHook([this](TCustomFFmpeg* Sender, int64_t APTS, THookAction& AHookAction) {
      HandleBeforeHook(static_cast<TFFmpeg*>(Sender), APTS, AHookAction);
    });
  } else {
    ParseHookRanges(Task, Options.HookRanges);
  }
}

std::unique_ptr<TFFmpeg> TCustomBrontConverter::TakeTask(int AIndex) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  return FTasks.Extract(AIndex);
}

void TCustomBrontConverter::RemoveTask(int AIndex) {
  if (TFFmpeg* task = FTasks.Items(AIndex)) task->StopAndWait();
  TakeTask(AIndex).reset();
}

void TCustomBrontConverter::ClearTasks() {
  // No task starts another from here on, and once every thread has let go
  // of its task nothing but this thread reads the list.
  {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FPending = 0;
    FPlanStopped = true;
    ++batch_;
    if (FPlan)
      for (int i = 0; i < FTasks.Count(); ++i) FTasks.Items(i)->RequestStop();
  }
  // The workers of a planned batch take their tasks out of the list
  // themselves, and a worker starting the next task is under way; after
  // them the list is this thread's alone.
  WaitForPlannedTasks();
  FPlan = nullptr;
  for (int i = 0; i < FTasks.Count(); ++i) FTasks.Items(i)->StopAndWait();
  std::vector<std::unique_ptr<TFFmpeg>> all;
  {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    all = FTasks.ExtractAll();
  }
  for (auto& task : all) task.reset();
  FLastErrMsg.clear();
  FParallel = 0;
}

int TCustomBrontConverter::TaskCount() const {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  return FTasks.Count();
}
std::optional<TTaskState> TCustomBrontConverter::TaskState(int AIndex) const {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  const TFFmpeg* task = FTasks.Items(AIndex);
  if (!task) return std::nullopt;
  TTaskState state;
  state.Index = task->Index;
  state.ThreadID = task->ThreadID;
  state.Running = task->Running();
  // The worker writes the result while the job runs; it is read once the
  // job has let go of it.
  if (!state.Running) state.Result = task->Result();
  state.InputOptions = task->InputOptions;
  state.ReportIntervalUs = task->ReportInterval();
  state.HookRangeCount = task->HookRanges().size();
  return state;
}

}  // namespace vantrel
