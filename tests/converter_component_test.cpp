// The converter component's own promises: what a running job refuses, whose
// thread a worker is, where library lines go when several components live,
// and how adding, removing and setting up tasks leave the list.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "binding/av_binding.h"
#include "build_paths.h"
#include "converter/apply_options.h"
#include "converter/bront_converter.h"
#include "engine/options/option_record.h"
#include "phone_profile.h"
#include "media_probe.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kBatchLimit = 180s;

struct Line {
  int index;
  TLogLevel level;
  std::string text;
  TThreadID thread;
};

// A component on a main loop of its own that records its log lines and
// whether its batch has ended.
class Component {
 public:
  Component() : converter(&loop) {  // the loop is declared first
    converter.OnLog = [this](int index, TLogLevel level, const std::string& text) {
      std::lock_guard<std::mutex> lock(m);
      lines.push_back({index, level, text, CurrentThreadID()});
    };
    converter.OnTerminate = [this](int index, bool finished, bool exception, const std::string& message) {
      std::lock_guard<std::mutex> lock(m);
      if (index == -1) ended = true;
      else if (!finished || exception) failures.push_back(message.empty() ? "not finished" : message);
      loop.Wake();
    };
  }

  int Add(const std::string& input, const std::string& output, const std::string& inputOptions = "") {
    TInputOptions in;
    InitInputOptions(in);
    in.ExtOptions = inputOptions;
    const int index = converter.AddTask(input, &in);
    EXPECT_GE(index, 0) << converter.LastErrMsg();
    TOutputOptions o = PhoneProfile();
    EXPECT_TRUE(converter.SetOutputFile(index, output, &o)) << converter.LastErrMsg();
    return index;
  }
  bool Ended() {
    std::lock_guard<std::mutex> lock(m);
    return ended;
  }
  bool RunToEnd() { return loop.RunUntil([this] { return Ended(); }, kBatchLimit); }
  // The lines whose text holds Part.
  std::vector<Line> LinesWith(const std::string& part) {
    std::lock_guard<std::mutex> lock(m);
    std::vector<Line> found;
    for (const Line& l : lines)
      if (l.text.find(part) != std::string::npos) found.push_back(l);
    return found;
  }

  TSimpleMainLoop loop;
  std::mutex m;
  std::vector<Line> lines;
  std::vector<std::string> failures;
  bool ended = false;
  TBrontConverter converter;
};

// The libraries loaded and the shared log callback installed, as a
// program's LoadAVLib leaves them; the callback and threshold put back.
class ComponentFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FixturesAvailable());
    EnsureLibrariesLoaded();
    savedThreshold_ = LibraryLogThreshold();
    savedLibraryLevel_ = lav::av_log_get_level();
  }
  void TearDown() override {
    EnsureLibrariesLoaded();
    lav::av_log_set_callback(lav::av_log_default_callback);
    lav::av_log_set_level(savedLibraryLevel_);
    SetLibraryLogThreshold(savedThreshold_);
    ClearLogBuffers();
  }
  TempDir dir;

 private:
  int savedThreshold_ = 1;
  int savedLibraryLevel_ = AV_LOG_INFO;
};

using ConverterComponentJob = ComponentFixture;
using ConverterComponent = ComponentFixture;

// "video codec,width,height" and "audio codec" of a file, as ffprobe sees them.
std::string StreamSummary(const std::string& file) {
  std::string out;
  RunCommand("ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 '" + file + "'", out);
  return out;
}

// A task's engine, set up from the records as the component does, on a
// worker of its own: while its job runs, nothing of it can change.
TEST_F(ConverterComponentJob, RunningJobRefusesEveryChangeAndEndsUntouched) {
  TFFmpeg task;
  task.ResetEngine();
  TInputOptions in;
  InitInputOptions(in);
  in.ExtOptions = "re";  // read at its own pace, so the job surely runs while the calls are made
  ApplyInputOptions(task, in);
  ASSERT_TRUE(task.OpenInputFile(Fixture("fps25_10s.avi"))) << task.LastError();
  ApplyOutputOptions(task, PhoneProfile());
  ASSERT_TRUE(task.OpenOutputFile(dir / "out.3gp")) << task.LastError();
  std::atomic<int> reports{0};
  std::atomic<bool> ended{false};
  task.SetOnProgress([&](TCustomFFmpeg*, int, int, int, float, float, int64_t, int) { ++reports; });
  task.SetOnTerminate([&](TCustomFFmpeg*) { ended = true; });
  const auto thread = task.StartJob(true);
  ASSERT_TRUE(thread);
  thread->Resume();
  const auto waitUntil = [](const std::function<bool()>& done) {
    for (auto limit = std::chrono::steady_clock::now() + kBatchLimit; !done();) {
      if (std::chrono::steady_clock::now() > limit) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  };
  ASSERT_TRUE(waitUntil([&] { return reports > 0; }));

  const std::pair<const char*, std::function<void()>> calls[] = {
      {"SetOption", [&] { task.SetOption("s", "320x240"); }},
      {"SetOption of a library option", [&] { task.SetOption("b", "900000"); }},
      {"setter", [&] { TOptionRecord(task).SetAudioVolume(512); }},
      {"handler", [&] { TOptionRecord(task).OptCodecName("vcodec", "mpeg4"); }},
      {"ResetEngine", [&] { task.ResetEngine(); }},
      {"FreeResources", [&] { task.FreeResources(); }},
      {"OpenInputFile", [&] { task.OpenInputFile(Fixture("mp4.mp4")); }},
      {"OpenOutputFile", [&] { task.OpenOutputFile(dir / "other.3gp"); }},
  };
  ASSERT_TRUE(task.Running());
  for (const auto& [name, call] : calls) {
    try {
      call();
      ADD_FAILURE() << name << " was accepted while the job ran";
    } catch (const FFMpegException& e) {
      EXPECT_STREQ(e.what(), "The job is running: its options and files cannot change until it ends") << name;
    }
  }
  // Otherwise the refusals above were not made during the job.
  EXPECT_TRUE(task.Running());

  ASSERT_TRUE(waitUntil([&] { return ended.load(); }));
  EXPECT_TRUE(task.Result().Completed) << task.Result().ErrorMessage;
  std::string errors;
  EXPECT_TRUE(DecodesCleanly(dir / "out.3gp", errors)) << errors;
  EXPECT_EQ(StreamSummary(dir / "out.3gp"), "h263,176,144\namr_nb\n");
  EXPECT_NEAR(ProbeFile(dir / "out.3gp").duration, 10.0, 0.5);
  EXPECT_FALSE(std::filesystem::exists(dir / "other.3gp"));
}

TEST_F(ConverterComponentJob, WorkerIdIsKnownBeforeResumeAndIsTheThreadOfItsLines) {
  TFFmpeg task;
  task.ResetEngine();
  task.SetVerbose(1);
  std::mutex m;
  std::condition_variable cv;
  std::vector<TThreadID> lineThreads;
  TThreadID endThread = 0;
  task.SetOnLog([&](TCustomFFmpeg*, int, const std::string&) {
    std::lock_guard<std::mutex> lock(m);
    lineThreads.push_back(CurrentThreadID());
  });
  task.SetOnTerminate([&](TCustomFFmpeg*) {
    std::lock_guard<std::mutex> lock(m);
    endThread = CurrentThreadID();
    cv.notify_all();
  });
  ASSERT_TRUE(task.OpenInputFile(Fixture("fps10.avi"))) << task.LastError();
  ApplyOutputOptions(task, PhoneProfile());
  ASSERT_TRUE(task.OpenOutputFile(dir / "out.3gp")) << task.LastError();
  {
    std::lock_guard<std::mutex> lock(m);
    lineThreads.clear();  // the opening's lines came from this thread
  }

  auto thread = task.StartJob(true);
  ASSERT_TRUE(thread);
  EXPECT_TRUE(thread->Suspended());
  const TThreadID id = thread->ThreadID();
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, CurrentThreadID());
  thread->Resume();
  thread.reset();

  std::unique_lock<std::mutex> lock(m);
  ASSERT_TRUE(cv.wait_for(lock, kBatchLimit, [&] { return endThread != 0; }));
  EXPECT_EQ(endThread, id);
  ASSERT_FALSE(lineThreads.empty());
  for (TThreadID t : lineThreads) EXPECT_EQ(t, id);
  EXPECT_TRUE(task.Result().Completed) << task.Result().ErrorMessage;
}

TEST_F(ConverterComponentJob, LibraryLinesReachEveryComponentWithOnlyItsOwnTaskIndex) {
  Component a, b;
  ASSERT_TRUE(a.converter.LoadAVLib("", true)) << a.converter.LastErrMsg();
  // The engine's own warning while the task is made has no index yet; so
  // has the library's description of the input, written on this thread.
  TInputOptions in;
  InitInputOptions(in);
  in.ExtOptions = "b=40";
  ASSERT_EQ(a.converter.AddTask(Fixture("fps10.avi"), &in), 0) << a.converter.LastErrMsg();
  const std::vector<Line> warning = a.LinesWith("The bitrate parameter is set too low");
  ASSERT_EQ(warning.size(), 1u);
  EXPECT_EQ(warning[0].index, -1);
  EXPECT_EQ(warning[0].level, llInfo);
  for (Component* c : {&a, &b}) {
    const std::vector<Line> input = c->LinesWith("Input #0, avi");
    ASSERT_EQ(input.size(), 1u);
    EXPECT_EQ(input[0].index, -1);
  }

  // A running task's worker carries that task's index in its own component
  // only: the library describes the output from there.
  a.converter.ClearTasks();
  a.Add(Fixture("fps10.avi"), dir / "out.3gp");
  a.converter.StartConvert(2);
  ASSERT_TRUE(a.RunToEnd());
  const TThreadID worker = a.converter.TaskState(0)->ThreadID;
  for (Component* c : {&a, &b}) {
    const std::vector<Line> output = c->LinesWith("Output #0, 3gp");
    ASSERT_EQ(output.size(), 1u);
    EXPECT_EQ(output[0].index, c == &a ? 0 : -1);
    EXPECT_EQ(output[0].thread, worker);
  }
}

TEST_F(ConverterComponent, AddingAndSettingUpTasks) {
  Component c;
  // Without a record the task keeps the unset values.
  ASSERT_EQ(c.converter.AddTask(Fixture("fps10.avi")), 0) << c.converter.LastErrMsg();
  TInputOptions unset;
  InitInputOptions(unset);
  const TInputOptions kept = c.converter.TaskState(0)->InputOptions;
  EXPECT_EQ(kept.FileName, unset.FileName);
  EXPECT_EQ(kept.FileFormat, unset.FileFormat);
  EXPECT_EQ(kept.StartTime, unset.StartTime);
  EXPECT_EQ(kept.ProgramID, unset.ProgramID);
  EXPECT_EQ(kept.ExtOptions, unset.ExtOptions);

  // A file that cannot be opened: the engine's own text, no task.
  const std::string missing = dir / "missing.avi";
  TFFmpeg engine;
  engine.ResetEngine();
  ASSERT_FALSE(engine.OpenInputFile(missing));
  EXPECT_EQ(c.converter.AddTask(missing), -1);
  EXPECT_EQ(c.converter.LastErrMsg(), engine.LastError());
  EXPECT_NE(c.converter.LastErrMsg().find(missing), std::string::npos) << c.converter.LastErrMsg();
  EXPECT_EQ(c.converter.TaskCount(), 1);

  // An odd crop: the handler's refusal, and the task stays for RemoveTask.
  std::string refusal;
  try {
    TOptionRecord(engine).OptFrameCrop("croptop", 3);
  } catch (const FFMpegException& e) {
    refusal = e.what();
  }
  ASSERT_FALSE(refusal.empty());
  TOutputOptions o = PhoneProfile();
  o.CropTop = 3;
  EXPECT_FALSE(c.converter.SetOutputFile(0, dir / "out.3gp", &o));
  EXPECT_EQ(c.converter.LastErrMsg(), refusal);
  EXPECT_EQ(c.converter.TaskCount(), 1);
  EXPECT_EQ(c.converter.TaskState(0)->Index, 0);
}

// Which handler the pictures reach: a plug-in hook ("vhook") makes the
// before-hook and the ranges matter; a custom hook takes every picture.
TEST_F(ConverterComponent, ExactlyOneHookBranchIsTaken) {
  struct Case {
    bool custom, before;
    bool customCalled, beforeCalled;
    size_t ranges;
  } cases[] = {
      {true, true, true, false, 0},
      {false, true, false, true, 0},
      {false, false, false, false, 1},
  };
  const std::string invertBox = std::string(VANTREL_PLUGIN_DIR) + "/invert_box.so";
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "custom " << k.custom << ", before " << k.before);
    Component c;
    std::atomic<int> customCalls{0}, beforeCalls{0};
    c.converter.OnCustomHook = [&](int, THookBitmap&, int, int64_t, bool&, bool&) { ++customCalls; };
    c.converter.OnBeforeHook = [&](int, int64_t, THookAction&) { ++beforeCalls; };
    ASSERT_EQ(c.converter.AddTask(Fixture("fps10.avi")), 0) << c.converter.LastErrMsg();
    TOutputOptions o = PhoneProfile();
    o.ExtOptions = "vhook=" + invertBox;
    o.UseCustomHook = k.custom;
    o.UseBeforeHook = k.before;
    o.HookRanges = "1000-2000,5000";
    ASSERT_TRUE(c.converter.SetOutputFile(0, dir / "out.3gp", &o)) << c.converter.LastErrMsg();
    EXPECT_EQ(c.converter.TaskState(0)->HookRangeCount, k.ranges);
    c.converter.StartConvert(0);
    ASSERT_TRUE(c.RunToEnd());
    EXPECT_TRUE(c.failures.empty());
    EXPECT_EQ(customCalls > 0, k.customCalled);
    EXPECT_EQ(beforeCalls > 0, k.beforeCalled);
  }
}

TEST_F(ConverterComponent, RemovingTheFirstOfThreeRenumbersTheRest) {
  Component c;
  const std::string files[] = {Fixture("fps10.avi"), Fixture("avi_mpeg4.avi"), Fixture("xvid.avi")};
  for (int i = 0; i < 3; ++i) {
    TInputOptions in;
    InitInputOptions(in);
    ASSERT_EQ(c.converter.AddTask(files[i], &in), i);
  }
  c.converter.RemoveTask(0);
  ASSERT_EQ(c.converter.TaskCount(), 2);
  for (int i = 0; i < 2; ++i) {
    const std::optional<TTaskState> task = c.converter.TaskState(i);
    ASSERT_TRUE(task);
    EXPECT_EQ(task->InputOptions.FileName, files[i + 1]);
    EXPECT_EQ(task->Index, i);
  }
  EXPECT_FALSE(c.converter.TaskState(2));
}

TEST_F(ConverterComponent, ProgressIntervalHasAFloorAndReachesTheEngineInMicroseconds) {
  const struct {
    int set, stored;
    int64_t engine;
  } cases[] = {{50, 100, 100000}, {100, 100, 100000}, {101, 101, 101000}, {2000, 2000, 2000000}};
  for (const auto& k : cases) {
    Component c;
    c.converter.SetProgressInterval(k.set);
    EXPECT_EQ(c.converter.ProgressInterval(), k.stored);
    // No output: the job ends as soon as it starts, having been given the interval.
    ASSERT_EQ(c.converter.AddTask(Fixture("fps10.avi")), 0);
    c.converter.StartConvert(0);
    ASSERT_TRUE(c.RunToEnd());
    EXPECT_EQ(c.converter.TaskState(0)->ReportIntervalUs, k.engine) << k.set;
  }
}

TEST_F(ConverterComponent, LibrariesAndTheLogLevel) {
  // Each level sets the one library threshold, on the engines' scale.
  Component c;
  ASSERT_TRUE(c.converter.LoadAVLib("", true)) << c.converter.LastErrMsg();
  EXPECT_EQ(LibraryLogThreshold(), 1);  // the default llInfo
  const std::pair<TLogLevel, int> levels[] = {{llQuiet, -1}, {llError, 0}, {llAll, 3}, {llDebug, 2}, {llInfo, 1}};
  for (const auto& [level, threshold] : levels) {
    c.converter.SetLogLevel(level);
    EXPECT_EQ(c.converter.LogLevel(), level);
    EXPECT_EQ(LibraryLogThreshold(), threshold) << int(level);
  }

  // A folder without the libraries: the loader's own message.
  UnloadLibraries();
  TempDir empty;
  EXPECT_FALSE(c.converter.LoadAVLib(empty.path().string(), true));
  EXPECT_EQ(c.converter.LastErrMsg(), GetLoadError());
  EXPECT_EQ(c.converter.LastErrMsg().rfind("Load libraray " + LibraryFileName(Library::Codec, true), 0), 0u)
      << c.converter.LastErrMsg();
  EXPECT_FALSE(LibrariesLoaded());
  EnsureLibrariesLoaded();
}

}  // namespace
}  // namespace vantrel::test
