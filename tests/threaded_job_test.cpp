// Real conversions on worker threads, for the ThreadSanitizer run too: two
// engines converting at once in one process, and a stop arriving from
// another thread at each stage of a job.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "media_probe.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

using Options = std::vector<std::pair<std::string, std::string>>;

const Options kMpeg4Aac = {{"vcodec", "mpeg4"}, {"acodec", "libfaac"}, {"s", "176x144"}, {"r", "15"},
                           {"b", "40000"},      {"ab", "96000"},       {"ar", "32000"},  {"ac", "2"}};
const Options kH263Amr = {{"vcodec", "h263"}, {"acodec", "libopencore_amrnb"}, {"s", "176x144"}, {"r", "15"},
                          {"b", "40000"},     {"ab", "12200"},                 {"ar", "8000"},  {"ac", "1"}};

constexpr auto kJobLimit = 120s;

// One meeting of the worker and the test thread: the worker, inside a
// handler, says it has reached a stage and waits there until the test
// thread has done its part.
class Rendezvous {
 public:
  void ArriveAndWait() {
    std::unique_lock<std::mutex> lock(m_);
    if (reached_) return;  // only the first time the stage is reached
    reached_ = true;
    cv_.notify_all();
    cv_.wait_for(lock, kJobLimit, [this] { return released_; });
  }
  bool WaitForArrival() {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, kJobLimit, [this] { return reached_; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(m_);
    released_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool reached_ = false, released_ = false;
};

// An engine with one input and one phone output, counting the ends it reports.
class PhoneJob {
 public:
  PhoneJob(const std::string& input, const Options& profile, const std::string& output) {
    EnsureLibrariesLoaded();
    engine.ResetEngine();
    engine.SetOnTerminate([this](TCustomFFmpeg*) {
      std::lock_guard<std::mutex> lock(m_);
      ++ends_;
      cv_.notify_all();
    });
    engine.SetOnLog([this](TCustomFFmpeg*, int, const std::string& msg) {
      if (msg == "Stream mapping:" && setUp) setUp->ArriveAndWait();
    });
    engine.SetOnProgressLine([this](TCustomFFmpeg*, const std::string&, bool last) {
      Rendezvous* stage = last ? trailer : loop;
      if (stage) stage->ArriveAndWait();
    });
    engine.SetReportInterval(0);  // a report after each packet, so the loop surely makes one
    EXPECT_TRUE(engine.OpenInputFile(input)) << engine.LastError();
    for (const auto& [name, value] : profile) engine.SetOption(name, value);
    EXPECT_TRUE(engine.OpenOutputFile(output)) << engine.LastError();
  }

  void Start() {
    auto thread = engine.StartJob(true);
    ASSERT_NE(thread, nullptr);
    thread->Resume();
  }
  // Waits for the first end, then a little longer for a second one.
  int EndsReported() {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait_for(lock, kJobLimit, [this] { return ends_ > 0; });
    cv_.wait_for(lock, 100ms, [this] { return ends_ > 1; });
    return ends_;
  }

  // Set before Start: the stage at which the worker waits for the test.
  Rendezvous* setUp = nullptr;
  Rendezvous* loop = nullptr;
  Rendezvous* trailer = nullptr;
  TCustomFFmpeg engine;

 private:
  std::mutex m_;
  std::condition_variable cv_;
  int ends_ = 0;
};

void ExpectPlayable(const std::string& file, const char* vcodec) {
  std::string errors;
  EXPECT_TRUE(DecodesCleanly(file, errors)) << file << ": " << errors;
  const Probe p = ProbeFile(file);
  EXPECT_EQ(p.videoCodec, vcodec) << file;
  EXPECT_GT(p.videoPackets, 0) << file;
}

class ThreadedJobTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(FixturesAvailable()); }
  TempDir dir;
};

TEST_F(ThreadedJobTest, TwoRealConversionsRunAtOnceAndBothComplete) {
  const std::string out1 = dir / "one.mp4", out2 = dir / "two.3gp";
  PhoneJob one(Fixture("fps10.avi"), kMpeg4Aac, out1);
  PhoneJob two(Fixture("mp4.mp4"), kH263Amr, out2);
  one.Start();
  two.Start();
  EXPECT_EQ(one.EndsReported(), 1);
  EXPECT_EQ(two.EndsReported(), 1);
  for (PhoneJob* job : {&one, &two}) {
    EXPECT_TRUE(job->engine.Result().Completed);
    EXPECT_FALSE(job->engine.Result().ErrorOccurred) << job->engine.Result().ErrorMessage;
  }
  ExpectPlayable(out1, "mpeg4");
  ExpectPlayable(out2, "h263");
  EXPECT_NEAR(ProbeFile(out1).duration, 4.0, 0.2);
  EXPECT_NEAR(ProbeFile(out2).duration, 4.0, 0.2);
}

TEST_F(ThreadedJobTest, StopBeforeTheStartEndsOnceAndWritesNothing) {
  const std::string out = dir / "out.mp4";
  PhoneJob never(Fixture("fps10.avi"), kMpeg4Aac, out);
  never.engine.StopJob();
  EXPECT_EQ(never.EndsReported(), 1);
  EXPECT_EQ(never.engine.StartJob(true), nullptr) << "a stopped engine starts no job";
  EXPECT_FALSE(fs::exists(out));

  // Started, but its held thread not yet resumed.
  const std::string heldOut = dir / "held.mp4";
  PhoneJob held(Fixture("fps10.avi"), kMpeg4Aac, heldOut);
  ASSERT_NE(held.engine.StartJob(true), nullptr);
  held.engine.StopJob();
  EXPECT_EQ(held.EndsReported(), 1);
  EXPECT_FALSE(held.engine.Result().Completed);
  EXPECT_FALSE(held.engine.Result().ErrorOccurred) << held.engine.Result().ErrorMessage;
}

// Starts the job, stops it from this thread once the worker waits at the
// stage, and lets the worker go on.
void StopAt(PhoneJob& job, Rendezvous& stage) {
  job.Start();
  ASSERT_TRUE(stage.WaitForArrival()) << "the stage was never reached";
  job.engine.StopJob();
  stage.Release();
}

TEST_F(ThreadedJobTest, StopDuringTheSetUpEndsOnce) {
  Rendezvous setUp;
  PhoneJob job(Fixture("fps10.avi"), kMpeg4Aac, dir / "out.mp4");
  job.setUp = &setUp;
  StopAt(job, setUp);
  EXPECT_EQ(job.EndsReported(), 1);
  EXPECT_FALSE(job.engine.Result().Completed);
  EXPECT_FALSE(job.engine.Result().ErrorOccurred) << job.engine.Result().ErrorMessage;
}

TEST_F(ThreadedJobTest, StopInTheLoopEndsOnceWithAPlayableFile) {
  Rendezvous loop;
  const std::string out = dir / "out.3gp";
  PhoneJob job(Fixture("fps10.avi"), kH263Amr, out);
  job.loop = &loop;
  StopAt(job, loop);
  EXPECT_EQ(job.EndsReported(), 1);
  EXPECT_FALSE(job.engine.Result().Completed);
  EXPECT_FALSE(job.engine.Result().ErrorOccurred) << job.engine.Result().ErrorMessage;
  ExpectPlayable(out, "h263");
  EXPECT_LT(ProbeFile(out).duration, 3.0) << "the stop ended the loop early";
}

TEST_F(ThreadedJobTest, StopDuringTheTrailerEndsOnceWithTheWholeFile) {
  Rendezvous trailer;
  const std::string out = dir / "out.mp4";
  PhoneJob job(Fixture("fps10.avi"), kMpeg4Aac, out);
  job.trailer = &trailer;
  StopAt(job, trailer);
  EXPECT_EQ(job.EndsReported(), 1);
  EXPECT_FALSE(job.engine.Result().ErrorOccurred) << job.engine.Result().ErrorMessage;
  ExpectPlayable(out, "mpeg4");
  EXPECT_NEAR(ProbeFile(out).duration, 4.0, 0.2);
}

}  // namespace
}  // namespace vantrel::test
