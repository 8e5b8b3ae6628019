// The converter component running real batches: one task at a time from the
// main loop, several at once on workers, stopping, freeing tasks that run,
// and many start/stop cycles (also under ThreadSanitizer).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "converter/bront_converter.h"
#include "phone_profile.h"
#include "media_probe.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kBatchLimit = 180s;

struct Notice {
  int index;
  bool finished, exception;
  std::string message;
  TThreadID thread;
};

// A component on the test's own main loop, with every end notice recorded.
class Batch {
 public:
  Batch() : converter(&loop) {  // the loop is declared first
    EnsureLibrariesLoaded();
    converter.OnTerminate = [this](int index, bool finished, bool exception, const std::string& message) {
      std::lock_guard<std::mutex> lock(m);
      notices.push_back({index, finished, exception, message, CurrentThreadID()});
      loop.Wake();
    };
  }

  // Realtime: the input is read at its own frame rate, so the job surely
  // still runs when the test acts on it.
  void Add(const std::string& input, const std::string& output, bool realtime = false) {
    TInputOptions in;
    InitInputOptions(in);
    if (realtime) in.ExtOptions = "re";
    const int index = converter.AddTask(input, &in);
    ASSERT_GE(index, 0) << converter.LastErrMsg();
    TOutputOptions o = PhoneProfile();
    ASSERT_TRUE(converter.SetOutputFile(index, output, &o)) << converter.LastErrMsg();
  }
  bool EndOfBatchSeen() {
    std::lock_guard<std::mutex> lock(m);
    return std::any_of(notices.begin(), notices.end(), [](const Notice& n) { return n.index == -1; });
  }
  bool RunToEnd() { return loop.RunUntil([this] { return EndOfBatchSeen(); }, kBatchLimit); }
  std::vector<Notice> Notices() {
    std::lock_guard<std::mutex> lock(m);
    return notices;
  }

  TSimpleMainLoop loop;
  std::mutex m;
  std::vector<Notice> notices;
  TBrontConverter converter;
};

class ConverterBatchJob : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(FixturesAvailable()); }
  TempDir dir;
};

TEST_F(ConverterBatchJob, OneAtATimeRunsEachTaskFromAFreshLoopTurn) {
  Batch b;
  const char* inputs[] = {"fps10.avi", "mp4.mp4", "asf.asf"};
  for (int i = 0; i < 3; ++i) b.Add(Fixture(inputs[i]), dir / ("out" + std::to_string(i) + ".3gp"));
  b.converter.StartConvert(0);
  // Nothing has run yet: the first task waits for the loop.
  EXPECT_TRUE(b.Notices().empty());
  EXPECT_EQ(b.converter.TaskState(0)->ThreadID, 0u);
  ASSERT_TRUE(b.RunToEnd());

  const std::vector<Notice> n = b.Notices();
  ASSERT_EQ(n.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(n[i].index, i);
    EXPECT_TRUE(n[i].finished) << n[i].message;
    EXPECT_FALSE(n[i].exception) << n[i].message;
    // Run synchronously on the thread that runs the loop.
    EXPECT_EQ(n[i].thread, CurrentThreadID());
    EXPECT_EQ(b.converter.TaskState(i)->ThreadID, CurrentThreadID());
    std::string errors;
    EXPECT_TRUE(DecodesCleanly(dir / ("out" + std::to_string(i) + ".3gp"), errors)) << errors;
  }
  EXPECT_EQ(n[3].index, -1);
  EXPECT_TRUE(n[3].finished);
  EXPECT_FALSE(n[3].exception);
  EXPECT_EQ(n[3].message, "");
}

TEST_F(ConverterBatchJob, TwoAtOnceRunFiveTasksOnWorkers) {
  Batch b;
  for (int i = 0; i < 5; ++i) b.Add(Fixture("fps10.avi"), dir / ("out" + std::to_string(i) + ".3gp"));
  b.converter.StartConvert(2);
  // How many jobs run at once, sampled while the batch goes on.
  int most = 0;
  ASSERT_TRUE(b.loop.RunUntil(
      [&] {
        int running = 0;
        for (int i = 0; i < b.converter.TaskCount(); ++i) running += b.converter.TaskState(i)->Running ? 1 : 0;
        most = std::max(most, running);
        return b.EndOfBatchSeen();
      },
      kBatchLimit));
  EXPECT_LE(most, 2);

  const std::vector<Notice> n = b.Notices();
  ASSERT_EQ(n.size(), 6u);
  std::vector<int> seen;
  for (int i = 0; i < 5; ++i) {
    seen.push_back(n[i].index);
    EXPECT_TRUE(n[i].finished && !n[i].exception) << n[i].message;
    EXPECT_NE(n[i].thread, CurrentThreadID());
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(n[5].index, -1);
  // Each worker's id was known before it ran and is kept after.
  for (int i = 0; i < 5; ++i) EXPECT_NE(b.converter.TaskState(i)->ThreadID, 0u);
  for (int i = 0; i < 5; ++i) {
    std::string errors;
    EXPECT_TRUE(DecodesCleanly(dir / ("out" + std::to_string(i) + ".3gp"), errors)) << errors;
  }
}

TEST_F(ConverterBatchJob, AtMostTheParallelCountRunsAtOnce) {
  Batch b;
  for (int i = 0; i < 4; ++i) b.Add(Fixture("fps25_10s.avi"), dir / ("out" + std::to_string(i) + ".3gp"));
  std::atomic<int> running{0}, most{0};
  b.converter.OnProgress = [&](int, int, int, int, float, float, int64_t, int) {
    int now = 0;
    for (int i = 0; i < b.converter.TaskCount(); ++i) now += b.converter.TaskState(i)->Running ? 1 : 0;
    running = now;
    most = std::max(most.load(), now);
  };
  b.converter.StartConvert(2);
  ASSERT_TRUE(b.RunToEnd());
  EXPECT_EQ(most.load(), 2);
  for (const Notice& n : b.Notices()) EXPECT_TRUE(n.finished && !n.exception) << n.index << ": " << n.message;
}

TEST_F(ConverterBatchJob, AnEmptyListRaisesNothing) {
  for (int parallel : {0, 2}) {
    Batch b;
    b.converter.StartConvert(parallel);
    EXPECT_FALSE(b.loop.RunUntil([&] { return !b.Notices().empty(); }, 400ms));
    EXPECT_TRUE(b.Notices().empty());
  }
}

TEST_F(ConverterBatchJob, StopGivesOneNoticePerTaskThenTheBatchAndKeepsTrailers) {
  Batch b;
  for (int i = 0; i < 4; ++i)
    b.Add(Fixture("fps25_10s.avi"), dir / ("out" + std::to_string(i) + ".3gp"), /*realtime=*/true);
  std::atomic<int> reports{0};
  b.converter.OnProgress = [&](int, int, int, int, float, float, int64_t, int) {
    ++reports;
    b.loop.Wake();
  };
  b.converter.StartConvert(2);
  ASSERT_TRUE(b.loop.RunUntil([&] { return reports > 0; }, kBatchLimit));
  b.converter.StopConvert();
  ASSERT_TRUE(b.RunToEnd());
  // A late notice would come shortly after; give it the chance.
  b.loop.RunUntil([] { return false; }, 300ms);

  const std::vector<Notice> n = b.Notices();
  ASSERT_EQ(n.size(), 5u);
  std::vector<int> seen;
  for (int i = 0; i < 4; ++i) seen.push_back(n[i].index);
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(n[4].index, -1);
  // Stopped jobs are not finished; never-started ones report without error.
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(n[i].finished);
    EXPECT_FALSE(n[i].exception) << n[i].message;
  }
  // An output that was started still has its trailer.
  int started = 0;
  for (int i = 0; i < 4; ++i) {
    const std::string out = dir / ("out" + std::to_string(i) + ".3gp");
    if (!std::filesystem::exists(out)) continue;
    ++started;
    std::string errors;
    EXPECT_TRUE(DecodesCleanly(out, errors)) << out << ": " << errors;
  }
  EXPECT_GE(started, 1);
}

TEST_F(ConverterBatchJob, ARemovedRunningTaskRaisesNothingAfterwards) {
  Batch b;
  b.Add(Fixture("fps10.avi"), dir / "kept.3gp");
  b.Add(Fixture("fps25_10s.avi"), dir / "gone.3gp", /*realtime=*/true);
  std::atomic<bool> removed{false}, lateEvent{false};
  std::atomic<int> reports{0};
  b.converter.OnProgress = [&](int index, int, int, int, float, float, int64_t, int) {
    if (removed && index != 0) lateEvent = true;
    if (index == 1) ++reports;
    b.loop.Wake();
  };
  b.converter.OnLog = [&](int index, TLogLevel, const std::string&) {
    if (removed && index != 0 && index != -1) lateEvent = true;
  };
  b.converter.StartConvert(2);
  ASSERT_TRUE(b.loop.RunUntil([&] { return reports > 0; }, kBatchLimit));
  b.converter.RemoveTask(1);
  removed = true;
  ASSERT_TRUE(b.RunToEnd());
  EXPECT_FALSE(lateEvent);
  // The removed task gave its one notice while it was being removed.
  const std::vector<Notice> n = b.Notices();
  ASSERT_EQ(n.size(), 3u);
  EXPECT_EQ(std::count_if(n.begin(), n.end(), [](const Notice& x) { return x.index == 1; }), 1);
  EXPECT_EQ(std::count_if(n.begin(), n.end(), [](const Notice& x) { return x.index == 0 && x.finished; }), 1);
  EXPECT_EQ(n[2].index, -1);
  std::string errors;
  EXPECT_TRUE(DecodesCleanly(dir / "kept.3gp", errors)) << errors;
}

TEST_F(ConverterBatchJob, HundredStartStopCyclesOfTwoTasks) {
  Batch b;
  for (int cycle = 0; cycle < 100; ++cycle) {
    b.converter.ClearTasks();
    {
      std::lock_guard<std::mutex> lock(b.m);
      b.notices.clear();
    }
    b.Add(Fixture("fps10.avi"), dir / "a.3gp");
    b.Add(Fixture("mp4.mp4"), dir / "b.3gp");
    b.converter.StartConvert(2);
    if (cycle % 2) std::this_thread::sleep_for(std::chrono::milliseconds(cycle % 20));
    b.converter.StopConvert();
    ASSERT_TRUE(b.RunToEnd()) << "cycle " << cycle;
    const std::vector<Notice> n = b.Notices();
    ASSERT_EQ(n.size(), 3u) << "cycle " << cycle;
    EXPECT_EQ(n[2].index, -1);
  }
}

TEST_F(ConverterBatchJob, DestroyingTheComponentMidBatchStopsItQuietly) {
  // The component goes while two workers convert: it stops and awaits them
  // before its own members go (ASan catches a worker that outlives it).
  struct Owner {
    TSimpleMainLoop loop;
    std::mutex m;
    std::vector<int> events;
    TBrontConverter converter{&loop};
  };
  auto owner = std::make_unique<Owner>();
  auto record = [o = owner.get()](int index) {
    std::lock_guard<std::mutex> lock(o->m);
    o->events.push_back(index);
    o->loop.Wake();
  };
  owner->converter.OnProgress = [record](int index, int, int, int, float, float, int64_t, int) { record(index); };
  owner->converter.OnLog = [record](int index, TLogLevel, const std::string&) { record(index); };
  owner->converter.OnTerminate = [record](int index, bool, bool, const std::string&) { record(index); };
  for (int i = 0; i < 3; ++i) {
    TInputOptions in;
    InitInputOptions(in);
    in.ExtOptions = "re";
    const int index = owner->converter.AddTask(Fixture("fps25_10s.avi"), &in);
    ASSERT_GE(index, 0);
    TOutputOptions o = PhoneProfile();
    ASSERT_TRUE(owner->converter.SetOutputFile(index, dir / ("out" + std::to_string(i) + ".3gp"), &o));
  }
  owner->converter.StartConvert(2);
  ASSERT_TRUE(owner->loop.RunUntil(
      [&] {
        std::lock_guard<std::mutex> lock(owner->m);
        return std::count(owner->events.begin(), owner->events.end(), 0) > 0;
      },
      kBatchLimit));
  owner.reset();
}

TEST_F(ConverterBatchJob, AStartPostedForAClearedBatchStartsNothingLater) {
  Batch b;
  b.Add(Fixture("fps10.avi"), dir / "old.3gp");
  b.converter.StartConvert(0);  // its first start now waits in the loop
  b.converter.ClearTasks();
  b.Add(Fixture("fps10.avi"), dir / "new.3gp");
  EXPECT_FALSE(b.loop.RunUntil([&] { return !b.Notices().empty(); }, 400ms));
  EXPECT_EQ(b.converter.TaskState(0)->ThreadID, 0u);
  EXPECT_FALSE(b.converter.TaskState(0)->Result.Finished);
}

TEST(ConverterTaskList, LinesOfTheUserInterfaceThreadGoToTheTaskRunningThere) {
  TFFmpegList list;
  for (int i = 0; i < 3; ++i) list.Add(std::make_unique<TFFmpeg>());
  const TThreadID ui = CurrentThreadID();
  list.Items(0)->ThreadID = ui;  // ran before, one at a time
  list.Items(1)->ThreadID = ui;
  EXPECT_EQ(list.FindByThreadID(ui), list.Items(0));
  // Runs now: started on a worker that is held until it is stopped.
  TempDir dir;
  EnsureLibrariesLoaded();
  TFFmpeg& running = *list.Items(1);
  running.ResetEngine();
  ASSERT_TRUE(running.OpenInputFile(Fixture("fps10.avi"))) << running.LastError();
  ASSERT_TRUE(running.OpenOutputFile(dir / "o.3gp")) << running.LastError();
  ASSERT_NE(running.StartJob(true), nullptr);
  EXPECT_EQ(list.FindByThreadID(ui), list.Items(1));
  EXPECT_EQ(list.FindByThreadID(ui + 1), nullptr);
  list.Delete(0);
  EXPECT_EQ(list.Items(0)->Index, 0);
  EXPECT_EQ(list.Items(1)->Index, 1);
}

}  // namespace
}  // namespace vantrel::test

namespace vantrel::test {
namespace {

// A planned batch: each task is made on its own worker when its turn comes
// and freed once it has ended. A plan that cannot be made ends as that
// task's error, the others convert, every plan ends once, and no more than
// the parallel count of tasks ever exist at once.
TEST_F(ConverterBatchJob, PlannedTasksAreMadeOnTheirWorkersAndFreedAfter) {
  Batch b;
  const std::string inputs[] = {Fixture("fps10.avi"), Fixture("text.avi"), Fixture("mp4.mp4"), Fixture("asf.asf")};
  std::atomic<int> alive{0}, most{0};
  std::mutex threadsLock;
  std::vector<TThreadID> makers;
  b.converter.StartPlannedConvert(4, 2, [&](int plan, TPlannedTask& task) -> std::string {
    {
      std::lock_guard<std::mutex> lock(threadsLock);
      makers.push_back(CurrentThreadID());
    }
    const int now = ++alive;
    int seen = most.load();
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
    TInputOptions in;
    InitInputOptions(in);
    in.LowRes = 1;  // typed choices reach the decoder as they are
    std::string failure;
    if (!task.OpenInput(inputs[plan], &in)) {
      failure = "refused: " + task.LastErrMsg();
    } else {
      TOutputOptions o = PhoneProfile();
      if (!task.SetOutputFile(dir / ("out" + std::to_string(plan) + ".3gp"), &o)) failure = task.LastErrMsg();
    }
    --alive;
    return failure;
  });
  ASSERT_TRUE(b.RunToEnd());
  const std::vector<Notice> n = b.Notices();
  ASSERT_EQ(n.size(), 5u);
  std::vector<int> ended;
  for (size_t i = 0; i < 4; ++i) {
    ended.push_back(n[i].index);
    SCOPED_TRACE(n[i].index);
    if (n[i].index == 1) {
      EXPECT_TRUE(n[i].exception);
      EXPECT_EQ(n[i].message.rfind("refused: ", 0), 0u) << n[i].message;
    } else {
      EXPECT_TRUE(n[i].finished) << n[i].message;
      EXPECT_FALSE(n[i].exception) << n[i].message;
    }
  }
  std::sort(ended.begin(), ended.end());
  EXPECT_EQ(ended, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(n[4].index, -1);
  EXPECT_LE(most.load(), 2);
  // Made on workers, never on the caller's thread.
  for (TThreadID t : makers) EXPECT_NE(t, CurrentThreadID());
  b.converter.ClearTasks();
  EXPECT_EQ(b.converter.TaskCount(), 0);
}

// Stopped while the first tasks are being made and run: each task made so
// far ends once (none as an error), the others are never made, and the
// batch gives its own end; clearing afterwards waits for every worker.
TEST_F(ConverterBatchJob, StoppingAPlannedBatchEndsTheTasksMadeOnly) {
  Batch b;
  std::atomic<int> made{0};
  std::atomic<bool> stopSeen{false};
  const std::string input = Fixture("fps10.avi");  // the plans are made on the workers
  b.converter.StartPlannedConvert(50, 2, [&](int plan, TPlannedTask& task) -> std::string {
    ++made;
    TInputOptions in;
    InitInputOptions(in);
    in.ExtOptions = "re";  // read in real time: still running when the stop comes
    if (!task.OpenInput(input, &in)) return task.StopRequested() ? "" : task.LastErrMsg();
    TOutputOptions o = PhoneProfile();
    if (!task.SetOutputFile(dir / ("out" + std::to_string(plan) + ".3gp"), &o)) return task.LastErrMsg();
    stopSeen = stopSeen || task.StopRequested();
    return {};
  });
  while (made.load() < 2) std::this_thread::sleep_for(1ms);
  b.converter.StopConvert();
  ASSERT_TRUE(b.RunToEnd());
  b.converter.ClearTasks();
  const std::vector<Notice> n = b.Notices();
  ASSERT_EQ(int(n.size()), made.load() + 1);
  EXPECT_LE(made.load(), 4);
  for (size_t i = 0; i + 1 < n.size(); ++i) {
    EXPECT_FALSE(n[i].exception) << n[i].message;
    EXPECT_FALSE(n[i].finished);
  }
  EXPECT_EQ(n.back().index, -1);
  EXPECT_EQ(b.converter.TaskCount(), 0);
}

}  // namespace
}  // namespace vantrel::test
