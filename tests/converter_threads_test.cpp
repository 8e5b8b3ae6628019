// What one task of the component does to the others and to the window's
// thread: a probe never waits for a job, and each task's log level holds
// for its own lines only.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "binding/av_binding.h"
#include "converter/bront_converter.h"
#include "engine/codec_lock.h"
#include "phone_profile.h"
#include "test_support.h"

namespace vantrel::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Line {
  int index;
  TLogLevel level;
  std::string text;
  bool underCodecLock;  // the handler ran while its thread held the codec lock
};

// A component on a main loop of its own, recording its library lines and
// the end of its batch.
struct Component {
  Component() : converter(&loop) {
    converter.OnLog = [this](int index, TLogLevel level, const std::string& text) {
      std::lock_guard<std::mutex> lock(m);
      lines.push_back({index, level, text, CodecLockHeldHere()});
    };
    converter.OnTerminate = [this](int index, bool, bool, const std::string&) {
      std::lock_guard<std::mutex> lock(m);
      if (index == -1) ended = true;
      loop.Wake();
    };
  }
  bool RunToEnd() {
    return loop.RunUntil(
        [this] {
          std::lock_guard<std::mutex> lock(m);
          return ended;
        },
        180s);
  }
  // The library lines (they start with "[item @ address]") of a task.
  std::vector<Line> LibraryLines(int index) {
    std::lock_guard<std::mutex> lock(m);
    std::vector<Line> found;
    for (const Line& l : lines)
      if (l.index == index && !l.text.empty() && l.text[0] == '[') found.push_back(l);
    return found;
  }

  TSimpleMainLoop loop;
  std::mutex m;
  std::vector<Line> lines;
  bool ended = false;
  TBrontConverter converter;
};

class ConverterThreads : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(FixturesAvailable());
    EnsureLibrariesLoaded();
    savedThreshold_ = LibraryLogThreshold();
  }
  void TearDown() override {
    lav::av_log_set_callback(lav::av_log_default_callback);
    SetLibraryLogThreshold(savedThreshold_);
    ClearLogBuffers();
  }
  TempDir dir;

 private:
  int savedThreshold_ = 1;
};

// Feeds a file into a named pipe: the first Head bytes as soon as a reader
// opens it, the rest only once Release() is called (or after Limit).
class StalledPipe {
 public:
  StalledPipe(const std::string& pipe, const std::string& source, size_t head, std::chrono::seconds limit) {
    std::ifstream in(source, std::ios::binary);
    data_.assign(std::istreambuf_iterator<char>(in), {});
    head_ = std::min(head, data_.size());
    feeder_ = std::thread([=, this] { Feed(pipe, limit); });
  }
  ~StalledPipe() {
    Release();
    feeder_.join();
  }
  bool WaitForReader(std::chrono::seconds limit) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, limit, [this] { return attached_; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(m_);
    released_ = true;
    cv_.notify_all();
  }
  bool Released() {
    std::lock_guard<std::mutex> lock(m_);
    return released_;
  }

 private:
  void Feed(const std::string& pipe, std::chrono::seconds limit) {
    const int fd = open(pipe.c_str(), O_WRONLY);  // waits for the reader
    {
      std::lock_guard<std::mutex> lock(m_);
      attached_ = true;
      cv_.notify_all();
    }
    if (fd < 0) return;
    WriteAll(fd, data_.data(), head_);
    {
      std::unique_lock<std::mutex> lock(m_);
      cv_.wait_for(lock, limit, [this] { return released_; });
    }
    WriteAll(fd, data_.data() + head_, data_.size() - head_);
    close(fd);
  }
  static void WriteAll(int fd, const char* p, size_t n) {
    while (n > 0) {
      const ssize_t w = write(fd, p, n);
      if (w <= 0) return;
      p += w;
      n -= size_t(w);
    }
  }

  std::vector<char> data_;
  size_t head_ = 0;
  std::thread feeder_;
  std::mutex m_;
  std::condition_variable cv_;
  bool attached_ = false;
  bool released_ = false;
};

// The job's input comes through a pipe that stalls in the middle of the
// stream analysis; the window's probe of another file meanwhile takes no
// longer than a probe alone would, far less than the stall.
TEST_F(ConverterThreads, ProbeNeverWaitsForAJobReadingItsInput) {
  const std::string source = Fixture("mpeg_ps.mpg");
  const std::string probed = Fixture("mp4.mp4");
  const std::string pipe = dir / "input.mpg";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  constexpr auto kStall = 10s;
  StalledPipe feeder(pipe, source, 16 * 1024, kStall);
  Component c;
  const std::string output = dir / "out.3gp";
  c.converter.StartPlannedConvert(1, 1, [&](int, TPlannedTask& task) -> std::string {
    TInputOptions in;
    InitInputOptions(in);
    in.FileFormat = "mpeg";  // no format probing: the stall falls in the analysis
    if (!task.OpenInput(pipe, &in)) return task.LastErrMsg();
    TOutputOptions out = PhoneProfile();
    return task.SetOutputFile(output, &out) ? "" : task.LastErrMsg();
  });
  ASSERT_TRUE(feeder.WaitForReader(30s));
  std::this_thread::sleep_for(500ms);  // the job is reading its stalled input now

  const auto start = Clock::now();
  const bool opened = c.converter.Probe().OpenFile(probed);
  const auto took = Clock::now() - start;
  const bool jobStillStalled = !feeder.Released();
  feeder.Release();

  EXPECT_TRUE(opened) << c.converter.Probe().LastErrMsg();
  EXPECT_TRUE(jobStillStalled);
  EXPECT_LT(took, kStall / 4) << "the probe took "
                              << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
  ASSERT_TRUE(c.RunToEnd());
}

// Two tasks run at once, one at debug level and one quiet ("v" in their
// option lines). The quiet one is made first, so whichever level was set
// last cannot be the one that holds for both. The lines the libraries log
// while a codec opens reach the handler once the codec lock is let go.
TEST_F(ConverterThreads, TwoTasksAtDifferentLogLevelsEachGetTheirOwnLines) {
  const std::string input = Fixture("fps25_10s.avi");
  Component c;
  ASSERT_TRUE(c.converter.LoadAVLib("", true)) << c.converter.LastErrMsg();
  std::mutex m;
  std::condition_variable cv;
  bool quietSetUp = false;
  c.converter.StartPlannedConvert(2, 2, [&](int plan, TPlannedTask& task) -> std::string {
    TInputOptions in;
    InitInputOptions(in);
    in.ExtOptions = plan == 0 ? "v=2" : "v=-1";
    if (plan == 0) {
      std::unique_lock<std::mutex> lock(m);
      cv.wait_for(lock, 60s, [&] { return quietSetUp; });
    }
    const bool ok = task.OpenInput(input, &in);
    if (plan == 1) {
      std::lock_guard<std::mutex> lock(m);
      quietSetUp = true;
      cv.notify_all();
    }
    if (!ok) return task.LastErrMsg();
    TOutputOptions out = PhoneProfile();
    return task.SetOutputFile(dir / ("out" + std::to_string(plan) + ".3gp"), &out) ? "" : task.LastErrMsg();
  });
  ASSERT_TRUE(c.RunToEnd());

  int debugLines = 0;
  for (const Line& l : c.LibraryLines(0)) debugLines += l.level == llDebug;
  EXPECT_GT(debugLines, 0) << "the task at debug level got none of its debug lines";
  for (const Line& l : c.LibraryLines(1)) ADD_FAILURE() << "the quiet task got: " << l.text;
  for (const Line& l : c.LibraryLines(0))
    EXPECT_FALSE(l.underCodecLock) << "delivered under the codec lock: " << l.text;
}

}  // namespace
}  // namespace vantrel::test
