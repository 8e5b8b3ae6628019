// A stop at any stage: before the job starts, while an input is being
// opened, while the job runs.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "test_support.h"
#include "build_paths.h"

extern char** environ;

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Stopped {
  int status = -1;
  double seconds = 0;  // from the signal to the exit
};

// Runs vantrel-cli, sends the signal after the delay and waits for the exit.
Stopped RunAndSignal(const std::vector<std::string>& args, std::chrono::milliseconds delay, int sig) {
  std::vector<std::string> all{VANTREL_CLI_PATH};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  Stopped result;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return result;
  std::this_thread::sleep_for(delay);
  const auto sent = Clock::now();
  kill(pid, sig);
  int status = 0;
  // A hung child is killed after 10 s so the test fails instead of hanging.
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() - sent > 10s) kill(pid, SIGKILL);
    std::this_thread::sleep_for(5ms);
  }
  result.seconds = std::chrono::duration<double>(Clock::now() - sent).count();
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

TEST(CliStop, CtrlCWhileAnInputIsOpenedEndsAtOnceWithoutAFile) {
  test::TempDir dir;
  const std::string fifo = dir / "in.avi";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string out = dir / "out.mp4";
  // Nobody ever opens the other end: opening the input blocks in the system.
  Stopped s = RunAndSignal({"-i", fifo, out}, 700ms, SIGINT);
  EXPECT_EQ(s.status, 130);
  EXPECT_LT(s.seconds, 1.0);
  EXPECT_FALSE(fs::exists(out));

  // A writer that never writes: reading the header blocks.
  std::thread holder([&] {
    const int fd = open(fifo.c_str(), O_WRONLY);
    std::this_thread::sleep_for(2500ms);
    if (fd >= 0) close(fd);
  });
  s = RunAndSignal({"-i", fifo, out}, 700ms, SIGINT);
  holder.join();
  EXPECT_EQ(s.status, 130);
  EXPECT_LT(s.seconds, 1.0);
  EXPECT_FALSE(fs::exists(out));
}

TEST(CliStop, HangupDuringARunLeavesAPlayableFile) {
  const std::string in = test::Fixture("fps25_10s.avi");
  ASSERT_TRUE(fs::exists(in)) << in;
  test::TempDir dir;
  const std::string out = dir / "out.3gp";
  const Stopped s = RunAndSignal({"-re", "-i", in, "-s", "176x144", "-ab", "12200", "-ar", "8000", "-ac", "1", out},
                                 2500ms, SIGHUP);
  EXPECT_EQ(s.status, 130);
  EXPECT_LT(s.seconds, 1.0);
  std::string probe;
  EXPECT_EQ(test::RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + out + "'", probe), 0)
      << probe;
  EXPECT_GT(std::atof(probe.c_str()), 0.5) << probe;
}

TEST(CliStop, StopBeforeTheStartEndsTheJobWithoutAFile) {
  test::EnsureLibrariesLoaded();
  const std::string in = test::Fixture("fps25_10s.avi");
  ASSERT_TRUE(fs::exists(in)) << in;
  test::TempDir dir;
  TCustomFFmpeg e;
  e.ResetEngine();
  ASSERT_TRUE(e.OpenInputFile(in)) << e.LastError();
  ASSERT_TRUE(e.OpenOutputFile(dir / "out.mp4")) << e.LastError();
  e.RequestStop();
  e.StartJob(false);
  EXPECT_TRUE(e.Result().Finished);
  EXPECT_FALSE(e.Result().Completed);
  EXPECT_FALSE(e.Result().ErrorOccurred) << e.Result().ErrorMessage;
  EXPECT_FALSE(fs::exists(dir / "out.mp4"));
}

}  // namespace
}  // namespace vantrel
