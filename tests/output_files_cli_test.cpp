// What vantrel-cli leaves on disk: an output that is one of the inputs is
// refused without touching anything, an existing file is replaced only by a
// job that ended well, and the output's report shows what is written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "media_probe.h"
#include "build_paths.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

std::string Cli() { return VANTREL_CLI_PATH; }

std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The bytes and the modification time of a file, to tell that nothing touched it.
struct FileState {
  std::string bytes;
  int64_t mtimeNs = -1;
  bool operator==(const FileState&) const = default;
};

FileState StateOf(const std::string& path) {
  FileState s;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return s;
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  s.bytes = ss.str();
  s.mtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return s;
}

// An old file whose time stamp a rewrite cannot repeat.
void MakeOldFile(const std::string& path, const std::string& from) {
  fs::copy_file(from, path, fs::copy_options::overwrite_existing);
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(48));
}

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class OutputFilesCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::FixturesAvailable()) << "fixtures not made (cmake --build . --target fixtures)";
  }
  test::TempDir dir;
};

TEST_F(OutputFilesCliTest, AnOutputThatIsAnInputIsRefusedAndNothingChanges) {
  const std::string movie = dir / "movie.mp4";
  MakeOldFile(movie, test::Fixture("mp4.mp4"));
  fs::create_symlink(movie, dir / "link.mp4");
  fs::create_directory(dir / "sub");
  const FileState before = StateOf(movie);
  const std::string other = Quoted(test::Fixture("fps25_10s.avi"));
  struct Case {
    std::string args;    // run in the test folder
    std::string output;  // as named on the command line
    std::string input;
  };
  const Case cases[] = {
      {"-i movie.mp4 -vcodec mpeg4 movie.mp4", "movie.mp4", "movie.mp4"},
      {"-i movie.mp4 -vcodec mpeg4 link.mp4", "link.mp4", "movie.mp4"},
      {"-i movie.mp4 -vcodec mpeg4 " + Quoted(movie), movie, "movie.mp4"},
      {"-i " + Quoted(movie) + " -vcodec mpeg4 sub/../movie.mp4", "sub/../movie.mp4", movie},
      {"-i file:movie.mp4 -vcodec mpeg4 ./movie.mp4", "./movie.mp4", "file:movie.mp4"},
      // The input comes after the output: only the start of the job sees it.
      {"-i " + other + " -vcodec mpeg4 movie.mp4 -i link.mp4", "movie.mp4", "link.mp4"},
  };
  for (const Case& c : cases) {
    std::string out;
    const int rc = test::RunCommand("cd " + Quoted(dir.path()) + " && " + Cli() + " -y " + c.args, out);
    EXPECT_EQ(rc, 1) << c.args << "\n" << out;
    EXPECT_NE(out.find("vantrel-cli: Output file '" + c.output + "' is the same file as input file '" + c.input +
                       "'"),
              std::string::npos)
        << c.args << "\n" << out;
    EXPECT_TRUE(StateOf(movie) == before) << c.args;
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"link.mp4", "movie.mp4", "sub"})) << c.args;
  }
}

TEST_F(OutputFilesCliTest, AFailingJobLeavesTheOldFileAsItWasAndNoBrokenFile) {
  const std::string old = dir / "out.mp4";
  MakeOldFile(old, test::Fixture("mp4.mp4"));
  const FileState before = StateOf(old);
  // A file size limit makes the writes fail once the output has been opened,
  // as a full disk would; the signal it raises is ignored so the write reports it.
  auto run = [&](const std::string& output, std::string& out) {
    const std::string script = "ulimit -f 16; trap '' XFSZ; " + Cli() + " -y -i " +
                               Quoted(test::Fixture("fps25_10s.avi")) + " -vcodec mpeg4 -b 800000 " +
                               Quoted(output);
    return test::RunCommand("bash -c " + Quoted(script), out);
  };
  std::string out;
  EXPECT_EQ(run(old, out), 1) << out;
  EXPECT_TRUE(StateOf(old) == before);
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"out.mp4"});

  // Without an old file, nothing is left at all.
  EXPECT_EQ(run(dir / "new.mp4", out), 1) << out;
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"out.mp4"});
}

TEST_F(OutputFilesCliTest, ACompletedJobReplacesTheFileKeepingItsPermissionsAndALinkALink) {
  const std::string real = dir / "real.mp4", link = dir / "link.mp4";
  MakeOldFile(real, test::Fixture("mp4.mp4"));
  fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(real, link);
  std::string out;
  const int rc = test::RunCommand(
      Cli() + " -y -i " + Quoted(test::Fixture("avi_mpeg4.avi")) + " -vcodec copy -acodec copy " + Quoted(link), out);
  ASSERT_EQ(rc, 0) << out;
  EXPECT_TRUE(fs::is_symlink(link));
  const test::Probe probe = test::ProbeFile(real);
  EXPECT_EQ(probe.videoCodec, "mpeg4");
  EXPECT_EQ(probe.audioCodec, "mp3");
  struct stat st;
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"link.mp4", "real.mp4"}));
  // The messages name the file as given, never the temporary one.
  EXPECT_NE(out.find("to '" + link + "'"), std::string::npos) << out;
  EXPECT_EQ(out.find("/.link.mp4"), std::string::npos) << out;
  EXPECT_EQ(out.find("/.real.mp4"), std::string::npos) << out;
  EXPECT_EQ(out.find(".vantrel-"), std::string::npos) << out;
}

TEST_F(OutputFilesCliTest, AStoppedJobReplacesTheFileWithAPlayableOne) {
  const std::string old = dir / "out.mp4";
  MakeOldFile(old, test::Fixture("mp4.mp4"));
  const FileState before = StateOf(old);
  // Rate emulation makes the 10 s copy take 10 s; it is interrupted once a
  // report says more than a second was written (a fixed wait is too short on a
  // loaded machine).
  const std::string script = "log=$(mktemp); " + Cli() + " -y -re -i " + Quoted(test::Fixture("fps25_10s.avi")) +
                             " -vcodec copy -acodec copy " + Quoted(old) + " 2>\"$log\" & pid=$!; " +
                             test::kWaitForOneSecondReported + "kill -INT $pid; wait $pid; echo rc=$?; rm -f \"$log\"";
  std::string result;
  test::RunCommand("bash -c " + Quoted(script), result);
  EXPECT_NE(result.find("rc=130"), std::string::npos) << result;
  EXPECT_FALSE(StateOf(old) == before);
  std::string errors;
  EXPECT_TRUE(test::DecodesCleanly(old, errors)) << errors;
  const test::Probe probe = test::ProbeFile(old);
  EXPECT_EQ(probe.videoCodec, "mpeg4");
  EXPECT_GT(probe.duration, 1.0);
  EXPECT_LT(probe.duration, 9.0);
  EXPECT_EQ(Entries(dir.path()), std::vector<std::string>{"out.mp4"});
}

// The lines of the "Output #0" report, up to the next report or mapping.
std::string OutputReport(const std::string& log) {
  const size_t from = log.find("Output #0");
  if (from == std::string::npos) return {};
  std::istringstream lines(log.substr(from));
  std::string report, line;
  std::getline(lines, line);
  report = line + "\n";
  while (std::getline(lines, line) && line.rfind("  ", 0) == 0) report += line + "\n";
  return report;
}

TEST_F(OutputFilesCliTest, TheOutputReportShowsWhatIsWritten) {
  std::string out;
  const int rc = test::RunCommand(Cli() + " -i " + Quoted(test::Fixture("mp4.mp4")) +
                                      " -t 1 -vcodec h263 -acodec libopencore_amrnb -s 176x144 -b 40000 -r 15 "
                                      "-ab 10200 -ar 8000 -ac 1 " + Quoted(dir / "out.3gp"),
                                  out);
  ASSERT_EQ(rc, 0) << out;
  const std::string report = OutputReport(out);
  std::string video, audio;
  std::istringstream lines(report);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("Stream #0:0") != std::string::npos) video = line;
    if (line.find("Stream #0:1") != std::string::npos) audio = line;
  }
  EXPECT_NE(video.find("Video: h263"), std::string::npos) << report;
  EXPECT_NE(video.find("176x144"), std::string::npos) << report;
  EXPECT_NE(video.find("15 fps"), std::string::npos) << report;
  EXPECT_NE(audio.find("Audio: amr_nb"), std::string::npos) << report;
  EXPECT_NE(audio.find("8000 Hz"), std::string::npos) << report;
  EXPECT_NE(audio.find("mono"), std::string::npos) << report;
  EXPECT_EQ(report.find("none"), std::string::npos) << report;
  // The other messages keep their order: the mapping comes before the job's progress.
  EXPECT_LT(out.find("Stream mapping:"), out.find("frame="));
}

}  // namespace
}  // namespace vantrel
