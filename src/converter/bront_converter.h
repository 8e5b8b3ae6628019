// The converter component: a list of conversion tasks, one per input file,
// started one after another on the user-interface thread or several at once
// on worker threads, with their log, progress, hook and end events forwarded
// with the task's index. It also loads the codec libraries for the program.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "converter/av_probe.h"
#include "converter/event_order.h"
#include "converter/ffmpeg_task.h"
#include "converter/log_level.h"
#include "converter/log_routing.h"
#include "converter/main_loop.h"
#include "converter/planned_task.h"
#include "converter/task_options.h"
#include "engine/engine.h"

namespace vantrel {

// A task of the list as it is at the moment it is asked for.
struct TTaskState {
  int Index = -1;
  TThreadID ThreadID = 0;  // the thread that runs or ran it; 0 before it started
  bool Running = false;
  TJobResult Result;  // as it stands once the job is not running; empty while it runs
  TInputOptions InputOptions;  // as given to AddTask (unset values without a record)
  int64_t ReportIntervalUs = 0;
  size_t HookRangeCount = 0;
};

class TCustomBrontConverter : protected TLogRoute {
 public:
  using TBeforeHookEvent = std::function<void(int AIndex, int64_t APTS, THookAction& AHookAction)>;
  using TCustomHookEvent = std::function<void(int AIndex, THookBitmap& ABitmap, int AFrameNumber, int64_t APTS,
                                              bool& AUpdate, bool& AStopHook)>;
  using TLogEvent = std::function<void(int AIndex, TLogLevel ALogLevel, const std::string& AMsg)>;
  using TProgressEvent = std::function<void(int AIndex, int AFrameNumber, int AFPS, int ACurrentDuration,
                                            float AQuality, float ABitRate, int64_t ACurrentSize,
                                            int ATotalOutputDuration)>;
  using TTerminateEvent =
      std::function<void(int AIndex, bool AFinished, bool AException, const std::string& AMessage)>;
  // Makes the task of plan APlan ready through ATask (its input and its
  // output). Returns "" when the task can run, else why it cannot, which
  // becomes the task's error. Called on the worker that will run the task,
  // with no lock held; calls for different plans may overlap.
  using TPlanTaskEvent = std::function<std::string(int APlan, TPlannedTask& ATask)>;

  // MainLoop runs the next task of a one-at-a-time batch from a fresh turn
  // of the user-interface loop; it must outlive the component. Without one,
  // only parallel batches can run.
  explicit TCustomBrontConverter(TMainLoop* MainLoop = nullptr);
  virtual ~TCustomBrontConverter();
  TCustomBrontConverter(const TCustomBrontConverter&) = delete;
  TCustomBrontConverter& operator=(const TCustomBrontConverter&) = delete;

  // ---- libraries ----
  bool LoadAVLib(const std::string& APath, bool AVersioned);
  void UnloadAVLib();

  // ---- tasks ----
  // The task's index, or -1 with LastErrMsg set. An empty FileName of the
  // given record is filled with AFileName.
  int AddTask(const std::string& AFileName, TInputOptions* AInputOptions = nullptr);
  bool SetOutputFile(int AIndex, const std::string& AFileName, TOutputOptions* AOutputOptions = nullptr);
  void RemoveTask(int AIndex);
  void ClearTasks();
  int TaskCount() const;
  // The task at AIndex in list order; nothing when there is none.
  std::optional<TTaskState> TaskState(int AIndex) const;

  // ---- the batch ----
  // AParallel tasks at once on worker threads; 0 or less: one at a time on
  // the user-interface thread.
  void StartConvert(int AParallel);
  // Every task still gives exactly one end notice, then the batch its own.
  // In a planned batch the tasks never made give none.
  void StopConvert();
  // ACount planned tasks, AParallel (at least 1) at once on worker threads.
  // A task is made only when its turn comes: on its own worker, APlan opens
  // its input and output, and the task is freed once it has ended. So a
  // long list costs no engine and no open file per waiting task, and the
  // caller's thread never waits for a file to open. The events carry the
  // plan's number as the task's index; TaskCount and Task see only the
  // tasks alive at the moment.
  void StartPlannedConvert(int ACount, int AParallel, TPlanTaskEvent APlan);
  // The file the task of plan AIndex wrote, under the name it finally took;
  // for the termination handler, while the task still exists. Empty when
  // there is no such task.
  std::string TaskOutputFile(int AIndex) const;

  const std::string& LastErrMsg() const { return FLastErrMsg; }
  TAVProbe& Probe() { return FProbe; }

  // ---- properties ----
  std::string About;
  TLogLevel LogLevel() const { return FLogLevel; }
  void SetLogLevel(TLogLevel Value);
  int ProgressInterval() const { return FProgressInterval; }
  // Values of 100 ms or less are stored as 100.
  void SetProgressInterval(int Value);
  TConvertPriority ThreadPriority = tpNormal;
  static std::string Version();  // the program's, as "3.6"

  // ---- events, raised on the thread that runs the task, one at a time and
  // in order, with no lock of the component held: a handler may call the
  // component ----
  TBeforeHookEvent OnBeforeHook;
  TCustomHookEvent OnCustomHook;
  TLogEvent OnLog;
  TProgressEvent OnProgress;
  TTerminateEvent OnTerminate;

 protected:
  // The dispatchers each task's engine calls; Sender nullptr for lines and
  // ends that belong to no task.
  virtual void HandleBeforeHook(TFFmpeg* Sender, int64_t APTS, THookAction& AHookAction);
  virtual void HandleCustomHook(TFFmpeg* Sender, THookBitmap& ABitmap, int AFrameNumber, int64_t APTS,
                                bool& AUpdate, bool& AStopHook);
  virtual void HandleLog(TFFmpeg* Sender, int ALevel, const std::string& AMsg);
  virtual void HandleProgress(TFFmpeg* Sender, int AFrameNumber, int AFPS, int ACurrentDuration, float AQuality,
                              float ABitRate, int64_t ACurrentSize, int ATotalOutputDuration);
  virtual void HandleTerminate(TFFmpeg* Sender);

  void DispatchLibLog(TThreadID AThreadID, int ALevel, const std::string& ALine) override;

  // Stops every task and waits for its thread, after which no event is
  // raised any more. The workers call the dispatchers above through the
  // object's virtual table, which each destructor rewrites on entry: so the
  // most derived class's destructor calls this first (every class of this
  // file does; a class derived further must do the same). Idempotent.
  void Shutdown();

 private:
  friend class TPlannedTask;
  // What a task's end leads to, decided with its count.
  struct TNextStart {
    int Index = -1;  // the task to start, -1 for none
    bool Planned = false;
  };
  // A fresh engine for a task, its log connected.
  void ResetTask(TFFmpeg& Task);
  // AddTask's work on a task made by ResetTask; throws what the engine throws.
  bool ApplyAndOpenInput(TFFmpeg& Task, const std::string& AFileName, TInputOptions* AInputOptions,
                         std::string& AError);
  bool ApplyAndOpenOutput(TFFmpeg& Task, const std::string& AFileName, TOutputOptions* AOutputOptions);
  void ConnectEvents(TFFmpeg& Task);
  void ConnectHooks(TFFmpeg& Task, const TOutputOptions& Options);
  // Under FLock: counts the next task of the batch as started (and its
  // launch as pending, for ClearTasks); StartNext then starts it, with no
  // lock held, since a start may end the task at once and report it.
  TNextStart TakeNextTask();
  void StartNext(const TNextStart& ANext);
  void StartTask(int AIndex);
  void LaunchDone();
  // The events go out through here: Raise runs Call in its turn unless the
  // component is closing.
  void Raise(TEventOrder::TTurn ATurn, const std::function<void()>& ACall);
  void RaiseLog(int AIndex, int ALevel, const std::string& AMsg);
  // The planned batch: a worker per task, counted so that clearing can wait
  // for the last one.
  void LaunchPlannedTask(int APlan);
  void RunPlannedTask(int APlan);
  TFFmpeg* MakePlannedTask(int APlan, TPlanTaskEvent& APlanMaker, std::string& AError);
  void EndPlannedTask(TFFmpeg* ATask);
  void WaitForPlannedTasks();
  void EndOfBatch(TEventOrder::TTurn ATurn);
  // Takes tasks out of the list under FLock, so a library line never looks
  // a task up while the list changes; they are freed after it is released,
  // since a stopping task may still log.
  std::unique_ptr<TFFmpeg> TakeTask(int AIndex);

  std::string FLastErrMsg;
  int FNextIndex = -1;
  int FParallel = 0;
  TLogLevel FLogLevel = llInfo;
  int FProgressInterval = 500;
  TAVProbe FProbe;
  TFFmpegList FTasks;
  // Guards the list, the counting of the batch and the turns of its events;
  // held only briefly and never while a handler or a job runs. Re-entrant:
  // an engine may log while a task is being set up under it.
  mutable std::recursive_mutex FLock;
  // The order of OnLog, OnProgress and OnTerminate.
  TEventOrder FEvents;
  int FFinished = 0;
  int FPending = 0;
  // Set while the batch is a planned one: its plan maker and the number of
  // tasks made so far, which is what the batch waits for after a stop.
  TPlanTaskEvent FPlan;
  int FStarted = 0;
  bool FPlanStopped = false;
  // Workers of planned tasks still running, and starts of tasks on workers
  // still under way; guarded by their own lock, which is never held while
  // anything else is called.
  std::mutex FLaunchLock;
  std::condition_variable FLaunchDone;
  int FLaunched = 0;
  // Counts batches (StartConvert, ClearTasks): a start posted for an earlier
  // batch that fires late must not start a task of this one.
  int batch_ = 0;
  TMainLoop* mainLoop_;
  // Lets a posted start that fires after the component is gone do nothing.
  std::shared_ptr<TCustomBrontConverter*> self_;
  // Set when destruction begins: from then on no event reaches the owner's
  // handlers, which may belong to an object that is already half gone.
  std::atomic<bool> closing_{false};
};

class TBrontConverter : public TCustomBrontConverter {
 public:
  using TCustomBrontConverter::TCustomBrontConverter;
  ~TBrontConverter() override { Shutdown(); }
};

}  // namespace vantrel
