// Starting, stopping and ending jobs; freeing what an engine holds.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "binding/av_binding.h"
#include "binding/helpers.h"
#include "engine/engine.h"
#include "engine/job/engine_job.h"
#include "test_support.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

// An engine whose job is a stand-in: it runs until asked to stop (or at
// once), so the job machinery can be watched without media.
class FakeJob : public TEngineJob {
 public:
  std::atomic<bool> runUntilStopped{false};
  std::atomic<bool> fail{false};
  std::atomic<int> transcodes{0};
  std::atomic<bool> inJob{false};

 protected:
  void Transcode() override {
    ++transcodes;
    inJob = true;
    while (runUntilStopped && !StopRequested) std::this_thread::sleep_for(1ms);
    if (fail) throw FFMpegException("the job failed");
    Completed = !StopRequested;
  }
};

// Counts terminations and remembers the thread and messages of each.
struct Observer {
  std::atomic<int> terminations{0};
  std::thread::id terminateThread;
  std::vector<std::pair<int, std::string>> logs;
  std::mutex m;

  void Attach(TEngineJob& e) {
    e.OnTerminate = [this](TCustomFFmpeg*) {
      std::lock_guard<std::mutex> lock(m);
      terminateThread = std::this_thread::get_id();
      ++terminations;
    };
    e.OnLog = [this](TCustomFFmpeg*, int level, const std::string& msg) {
      std::lock_guard<std::mutex> lock(m);
      logs.emplace_back(level, msg);
    };
  }
  bool WaitFor(int n, std::chrono::milliseconds limit = 5s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (terminations < n && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(1ms);
    return terminations == n;
  }
};

// Pretends an input and an output were opened.
void Configure(TEngineJob& e) {
  e.ResetEngine();
  e.InputFileCount = 1;
  e.OutputFileCount = 1;
}

TEST(StartJobTest, WithoutOutputReportsTheErrorAndEndsOnce) {
  FakeJob e;
  Observer o;
  o.Attach(e);
  e.ResetEngine();
  e.InputFileCount = 1;
  EXPECT_EQ(e.StartJob(true), nullptr);
  EXPECT_EQ(o.terminations, 1);
  ASSERT_EQ(o.logs.size(), 1u);
  EXPECT_EQ(o.logs[0], std::make_pair(-1, std::string("Must supply at least one output file")));
  EXPECT_TRUE(e.ErrorOccurred);
  EXPECT_EQ(e.ErrorMessage, "Must supply at least one output file");
  EXPECT_EQ(e.Thread(), nullptr);
  EXPECT_EQ(e.transcodes, 0);
  EXPECT_EQ(e.InputFileCount, 0);  // resources were freed
}

TEST(StartJobTest, WithoutInputReportsTheErrorAndEndsOnce) {
  FakeJob e;
  Observer o;
  o.Attach(e);
  e.ResetEngine();
  e.OutputFileCount = 1;
  EXPECT_EQ(e.StartJob(false), nullptr);
  EXPECT_EQ(o.terminations, 1);
  EXPECT_EQ(e.ErrorMessage, "Must supply at least one input file");
}

TEST(StartJobTest, SynchronousRunReturnsAfterTheWholeJobAndItsEnd) {
  FakeJob e;
  Observer o;
  o.Attach(e);
  Configure(e);
  EXPECT_EQ(e.StartJob(false), nullptr);
  EXPECT_EQ(o.terminations, 1);
  EXPECT_EQ(o.terminateThread, std::this_thread::get_id());
  EXPECT_TRUE(e.Completed);
  EXPECT_TRUE(e.Finished);
  EXPECT_FALSE(e.Running);
  EXPECT_FALSE(e.ErrorOccurred);
}

TEST(StartJobTest, ThreadedRunStartsHeldAndEndsOnceOnItsThread) {
  FakeJob e;
  Observer o;
  o.Attach(e);
  Configure(e);
  auto thread = e.StartJob(true, tpLower);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(e.Thread(), thread);
  EXPECT_TRUE(thread->Suspended());
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(e.transcodes, 0);  // held until resumed
  thread->Resume();
  ASSERT_TRUE(o.WaitFor(1));
  EXPECT_NE(o.terminateThread, std::this_thread::get_id());
  EXPECT_EQ(e.Thread(), nullptr);
  EXPECT_TRUE(e.Completed);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(o.terminations, 1);
}

TEST(StartJobTest, FinishedOrRunningEnginesRefuseAnotherStart) {
  FakeJob e;
  Observer o;
  o.Attach(e);
  Configure(e);
  e.runUntilStopped = true;
  auto thread = e.StartJob(true);
  ASSERT_NE(thread, nullptr);
  thread->Resume();
  EXPECT_EQ(e.StartJob(true), nullptr);  // running
  e.StopJob();
  ASSERT_TRUE(o.WaitFor(1));
  EXPECT_FALSE(e.Completed);
  EXPECT_EQ(e.StartJob(true), nullptr);  // finished
  EXPECT_EQ(e.StartJob(false), nullptr);
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(o.terminations, 1);
  EXPECT_EQ(e.transcodes, 1);
}

TEST(StartJobTest, ResetMakesAFinishedEngineUsableAgain) {
  FakeJob e;
  Observer o;
  o.Attach(e);
  Configure(e);
  e.StartJob(false);
  Configure(e);
  EXPECT_FALSE(e.Finished);
  e.StartJob(false);
  EXPECT_EQ(o.terminations, 2);
  EXPECT_EQ(e.transcodes, 2);
}

TEST(RunJobTest, AnExceptionIsReportedAndTheEndStillComes) {
  FakeJob e;
  Observer o;
  o.Attach(e);
  Configure(e);
  e.fail = true;
  e.StartJob(false);
  EXPECT_EQ(o.terminations, 1);
  EXPECT_TRUE(e.ErrorOccurred);
  EXPECT_EQ(e.ErrorMessage, "the job failed");
  ASSERT_FALSE(o.logs.empty());
  EXPECT_EQ(o.logs.back(), std::make_pair(-1, std::string("the job failed")));
  EXPECT_EQ(e.CodecOptions[0].get(), nullptr);  // freed
}

TEST(StopJobTest, NeverStartedEngineReportsItsEndOnceFromAnotherThread) {
  FakeJob e;
  Observer o;
  o.Attach(e);
  Configure(e);
  e.StopJob();
  e.StopJob();  // a second stop must not report a second end
  ASSERT_TRUE(o.WaitFor(1));
  EXPECT_NE(o.terminateThread, std::this_thread::get_id());
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(o.terminations, 1);
  EXPECT_TRUE(e.Finished);
  EXPECT_EQ(e.transcodes, 0);
  e.StopJob();  // finished: nothing more
  std::this_thread::sleep_for(10ms);
  EXPECT_EQ(o.terminations, 1);
}

TEST(StopJobTest, StopOfARunningJobEndsItWithoutCompletion) {
  FakeJob e;
  Observer o;
  o.Attach(e);
  Configure(e);
  e.runUntilStopped = true;
  auto thread = e.StartJob(true);
  thread->Resume();
  while (!e.inJob) std::this_thread::sleep_for(1ms);
  e.StopJob();
  ASSERT_TRUE(o.WaitFor(1));
  EXPECT_FALSE(e.Completed);
  EXPECT_FALSE(e.ErrorOccurred);
}

TEST(DestroyTest, DestroyingARunningEngineStopsItAndWaitsForItsWorker) {
  Observer o;
  {
    FakeJob e;
    o.Attach(e);
    Configure(e);
    e.runUntilStopped = true;
    e.StartJob(true)->Resume();
    while (!e.inJob) std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(o.terminations, 1);
}

TEST(DestroyTest, DestroyingAnEngineWhoseThreadWasNeverResumedRunsNothingHarmful) {
  Observer o;
  {
    FakeJob e;
    o.Attach(e);
    Configure(e);
    e.runUntilStopped = true;
    ASSERT_NE(e.StartJob(true), nullptr);
  }
  EXPECT_EQ(o.terminations, 1);
}

TEST(DestroyTest, TerminateHandlerMayDestroyItsEngine) {
  std::atomic<bool> destroyed{false};
  auto e = std::make_unique<FakeJob>();
  Configure(*e);
  FakeJob* raw = e.get();
  std::unique_ptr<FakeJob> holder = std::move(e);
  raw->OnTerminate = [&](TCustomFFmpeg*) {
    holder.reset();
    destroyed = true;
  };
  raw->StartJob(true)->Resume();
  for (int i = 0; i < 5000 && !destroyed; ++i) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(destroyed);
}

TEST(FreeResourcesTest, SecondCallFreesNothingTwice) {
  FakeJob e;
  e.ResetEngine();
  ASSERT_NE(e.CodecOptions[1].get(), nullptr);
  ASSERT_NE(e.FormatOptions.get(), nullptr);
  ASSERT_NE(e.ScalerOptions.get(), nullptr);
  e.VideoCodecName = "mpeg4";
  e.GenericOptionNames.push_back("g");
  e.IntraMatrix.emplace();
  e.FreeResources();
  EXPECT_EQ(e.CodecOptions[1].get(), nullptr);
  EXPECT_EQ(e.FormatOptions.get(), nullptr);
  EXPECT_EQ(e.ScalerOptions.get(), nullptr);
  EXPECT_EQ(e.VideoCodecName, "");
  EXPECT_FALSE(e.IntraMatrix.has_value());
  EXPECT_TRUE(e.GenericOptionNames.empty());
  e.FreeResources();
}

TEST(FreeResourcesTest, DeletesOnlyEmptyOutputsTheEngineWrote) {
  test::TempDir dir;
  const std::string written = dir / "written.3gp", kept = dir / "kept.3gp", full = dir / "full.3gp";
  std::ofstream(written).close();
  std::ofstream(kept).close();
  std::ofstream(full) << "data";
  FakeJob e;
  e.ResetEngine();
  e.OutputFileNames[0] = written;
  e.OutputFileWritten[0] = true;
  e.OutputFileNames[1] = kept;  // named as an output, never opened for writing
  e.OutputFileNames[2] = full;
  e.OutputFileWritten[2] = true;
  // A device or a pipe the engine wrote to always reads as empty; it stays.
  const std::string fifo = dir / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  e.OutputFileNames[3] = fifo;
  e.OutputFileWritten[3] = true;
  e.OutputFileCount = 4;
  e.FreeResources();
  EXPECT_EQ(FileSizeOf(written), -1);
  EXPECT_EQ(FileSizeOf(kept), 0);
  EXPECT_EQ(FileSizeOf(full), 4);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
  EXPECT_EQ(e.OutputFileCount, 0);
}

TEST(DefaultsTest, FreshEngineHasTheDocumentedDefaults) {
  TCustomFFmpeg e;
  EXPECT_EQ(e.Result().DurationMs, -1);
  const TEngineOptions& o = e.Options();
  EXPECT_EQ(o.MaxFrames[0], INT32_MAX);
  EXPECT_EQ(o.RecordingTime, INT64_MAX);
  EXPECT_EQ(o.AudioSampleRate, 44100);
  EXPECT_EQ(o.AudioChannels, 2);
  EXPECT_EQ(o.PadColorY, 16);
  EXPECT_EQ(o.AudioVolume, 256);
  EXPECT_EQ(o.VideoSyncMethod, -1);
  EXPECT_FLOAT_EQ(o.AudioQScale, -99999.0f);
  EXPECT_FLOAT_EQ(o.MuxMaxDelay, 0.7f);
}

TEST(DefaultsTest, ResetGivesEveryOptionItsDefaultAgain) {
  test::EnsureLibrariesLoaded();
  TCustomFFmpeg e;
  e.ResetEngine();
  e.SetOption("s", "320x240");
  e.SetOption("ar", "22050");
  e.SetOption("vcodec", "mpeg4");
  std::string matrix = "1";
  for (int i = 1; i < 64; ++i) matrix += ",1";
  e.SetOption("intra_matrix", matrix);
  e.SetOption("tvstd", "ntsc");
  const TEngineOptions set = e.Options();  // a copy, kept across the reset
  EXPECT_EQ(set.FrameWidth, 320);
  EXPECT_EQ(set.VideoCodecName, "mpeg4");
  EXPECT_TRUE(set.IntraMatrix.has_value());
  e.ResetEngine();
  const TEngineOptions& o = e.Options();
  EXPECT_EQ(o.FrameWidth, 0);
  EXPECT_EQ(o.AudioSampleRate, 44100);
  EXPECT_EQ(o.VideoCodecName, "");
  EXPECT_FALSE(o.IntraMatrix.has_value());
  EXPECT_FALSE(o.VideoStandard.has_value());
  EXPECT_EQ(set.AudioSampleRate, 22050) << "the copy keeps what the options were";
}

TEST(DefaultsTest, FreshJobHasNoLibraryContextAndTheDefaultReportInterval) {
  TEngineJob e;
  EXPECT_EQ(e.ReportInterval, 500000);
  EXPECT_EQ(e.CodecOptions[0].get(), nullptr);  // no library context before a reset
}

TEST(DefaultsTest, ResetCreatesTheOptionHoldersByMediaType) {
  TEngineJob e;
  e.ResetEngine();
  const AVMediaType types[5] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_DATA,
                                AVMEDIA_TYPE_SUBTITLE, AVMEDIA_TYPE_ATTACHMENT};
  for (int i = 0; i < 5; ++i) {
    ASSERT_NE(e.CodecOptions[i].get(), nullptr);
    EXPECT_EQ(e.CodecOptions[i]->codec_type, types[i]);
  }
}

TEST(HookRangesTest, SortedByEnd) {
  TCustomFFmpeg e;
  e.SetHookRanges({{10, 50}, {0, 20}, {30, 40}});
  const std::vector<THookRange>& r = e.HookRanges();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].end, 20);
  EXPECT_EQ(r[1].end, 40);
  EXPECT_EQ(r[2].end, 50);
}

TEST(OpenErrorTest, TextsByErrorCode) {
  EXPECT_EQ(FormatOpenError("a.avi", AVERROR(ENOENT)), "a.avi: no such file or directory");
  EXPECT_EQ(FormatOpenError("a.avi", AVERROR(EINVAL)), "a.avi: Error while parsing header");
  EXPECT_EQ(FormatOpenError("a.avi", AVERROR(ENOMEM)), "a.avi: memory allocation error occurred");
  EXPECT_EQ(FormatOpenError("a.avi", AVERROR_INVALIDDATA), "a.avi: Unknown format");
  EXPECT_EQ(FormatOpenError("a.avi", AVERROR_DEMUXER_NOT_FOUND), "a.avi: Unknown format");
  EXPECT_EQ(FormatOpenError("a.avi", AVERROR(EIO)),
            "a.avi: I/O error occurred\r\nUsually that means that input file is truncated and/or corrupted.");
  EXPECT_EQ(FormatOpenError("a.avi", -1234), "a.avi: Error while opening file");
  EXPECT_NE(FormatOpenError("img.jpg", kImageNumberExpected).find("use 'img%d.jpg';"), std::string::npos);
}

}  // namespace
}  // namespace vantrel
