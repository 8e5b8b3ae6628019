// A whole job through vantrel-cli: the progress line, the summary, a
// refusal, and an interrupt in the middle of a conversion.
#include <gtest/gtest.h>

#include <sstream>

#include "media_probe.h"
#include "build_paths.h"

namespace vantrel {
namespace {

std::string Cli() { return VANTREL_CLI_PATH; }

class TranscodeCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::FixturesAvailable());
  }
  test::TempDir dir;
};

int CountLines(const std::string& text, const std::string& piece) {
  std::istringstream lines(text);
  int n = 0;
  for (std::string line; std::getline(lines, line);) n += line.find(piece) != std::string::npos;
  return n;
}

TEST_F(TranscodeCliTest, OffATerminalEachReportIsALineAndTheSummaryComesOnce) {
  std::string out;
  const int rc = test::RunCommand(Cli() + " -i '" + test::Fixture("fps25_10s.avi") +
                                      "' -vcodec copy -acodec copy '" + (dir / "out.avi") + "'", out);
  ASSERT_EQ(rc, 0) << out;
  EXPECT_EQ(out.find('\r'), std::string::npos);
  EXPECT_GE(CountLines(out, "frame="), 1) << out;
  EXPECT_EQ(CountLines(out, "frame=  250 fps="), 1) << out;
  EXPECT_EQ(CountLines(out, "muxing overhead"), 1) << out;
  EXPECT_EQ(CountLines(out, "Stream mapping:"), 1) << out;
}

TEST_F(TranscodeCliTest, VolumeOnACopiedAudioStreamIsRefused) {
  std::string out;
  const int rc = test::RunCommand(Cli() + " -i '" + test::Fixture("avi_mpeg4.avi") +
                                      "' -vol 512 -vcodec copy -acodec copy '" + (dir / "out.avi") + "'", out);
  EXPECT_EQ(rc, 1);
  EXPECT_NE(out.find("vantrel-cli: -acodec copy and -vol are incompatible (frames are not decoded)"),
            std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(dir / "out.avi"));
}

TEST_F(TranscodeCliTest, InterruptEndsPromptlyWithACompleteFile) {
  const std::string out = dir / "out.mp4";
  // Rate emulation makes the 10 s copy take 10 s; it is interrupted once a
  // report says more than a second was written.
  const std::string script = "log=$(mktemp); " + Cli() + " -re -i '" + test::Fixture("fps25_10s.avi") +
                             "' -vcodec copy -acodec copy '" + out + "' 2>\"$log\" & pid=$!; " +
                             test::kWaitForOneSecondReported +
                             "t0=$(date +%s%N); kill -INT $pid; wait $pid; rc=$?; t1=$(date +%s%N); rm -f \"$log\"; "
                             "echo \"rc=$rc ms=$(( (t1 - t0) / 1000000 ))\"";
  std::string result;
  test::RunCommand("bash -c '" + std::string([&] {
                     std::string s;
                     for (char c : script) s += c == '\'' ? std::string("'\\''") : std::string(1, c);
                     return s;
                   }()) + "'",
                   result);
  int rc = -1, ms = -1;
  ASSERT_EQ(std::sscanf(result.c_str() + result.find("rc="), "rc=%d ms=%d", &rc, &ms), 2) << result;
  EXPECT_EQ(rc, 130);
  EXPECT_LT(ms, 1000);
  std::string errors;
  EXPECT_TRUE(test::DecodesCleanly(out, errors)) << errors;
  EXPECT_GT(test::ProbeFile(out).duration, 1.0);
}

}  // namespace
}  // namespace vantrel
