// vantrel-cli applies options in argument order and ends on a refusal.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "test_support.h"

namespace vantrel {
namespace {

std::string Cli(const std::string& args) { return std::string(VANTREL_CLI_PATH) + " " + args + " 2>&1"; }

TEST(OptionCli, RefusedOptionEndsTheRun) {
  std::string out;
  EXPECT_EQ(test::RunCommand(Cli("-qscale 300 out.mp4"), out), 1);
  EXPECT_EQ(out, "vantrel-cli: qscale must be > 0.0 and <= 255\n");
  EXPECT_EQ(test::RunCommand(Cli("-ar 22050 -ar fast out.mp4"), out), 1);
  EXPECT_EQ(out, "vantrel-cli: 'fast' is not a valid integer value\n");
  EXPECT_EQ(test::RunCommand(Cli("-vtag DIVX5 out.mp4"), out), 1);
  EXPECT_EQ(out, "vantrel-cli: video tag parameter must be 4 chars\n");
}

TEST(OptionCli, ListsPixelFormats) {
  std::string out;
  test::RunCommand(Cli("-pix_fmt list"), out);
  EXPECT_EQ(out.rfind("name", 0), 0u);
  EXPECT_NE(out.find("\nyuv420p "), std::string::npos);
  EXPECT_NE(out.find("\nrgb24 "), std::string::npos);
}

// The audio bit rate ffprobe measures in the output.
int AudioBitRate(const std::string& file) {
  std::string out;
  test::RunCommand("ffprobe -v error -select_streams a:0 -show_entries stream=bit_rate -of csv=p=0 '" + file + "'",
                   out);
  return std::atoi(out.c_str());
}

// "b" is the video bit rate only, wherever it stands: the audio keeps what
// "ab" (or a target preset) set.
TEST(OptionCli, VideoBitRateLeavesTheAudioRate) {
  const std::string in = test::Fixture("fps25_10s.avi");
  ASSERT_TRUE(std::filesystem::exists(in)) << in;
  test::TempDir dir;
  std::string out;
  // AMR-NB at 4.75 kb/s: 13-byte frames, 5.2 kb/s in the file; at 40 kb/s
  // the encoder would fall back to 12.2 kb/s.
  ASSERT_EQ(test::RunCommand(Cli("-i " + in + " -t 2 -ab 4750 -ar 8000 -ac 1 -b 40000 " + (dir / "amr.3gp")), out), 0)
      << out;
  EXPECT_EQ(out.find("bitrate not supported"), std::string::npos) << out;
  EXPECT_NEAR(AudioBitRate(dir / "amr.3gp"), 5200, 100);
  for (const char* order : {"-target pal-vcd -b 1150000", "-b 1150000 -target pal-vcd"}) {
    const std::string mpg = dir / (std::string(order).substr(1, 1) + ".mpg");
    ASSERT_EQ(test::RunCommand(Cli("-i " + in + " -t 2 " + order + " " + mpg), out), 0) << order << "\n" << out;
    EXPECT_NEAR(AudioBitRate(mpg), 224000, 1000) << order;
  }
}

}  // namespace
}  // namespace vantrel
