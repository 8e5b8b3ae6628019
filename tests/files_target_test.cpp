// The "target" presets and vantrel-cli's handling of files.
#include "files_support.h"
#include "build_paths.h"

namespace vantrel::test {
namespace {

using TargetTest = FilesTest;

// The presets set frame size, rate and codecs through the option table; on a
// build without it only the norm and kind handling can be seen.
bool OptionTableAvailable(TEngineJob& e) {
  try {
    e.SetOption("s", "16x16");
    e.FrameWidth = e.FrameHeight = 0;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string Thrown(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

TEST_F(TargetTest, NormAndKindRefusals) {
  EXPECT_EQ(Thrown([&] { engine.SetTarget("vcd"); }), "frame_rate is invalid.");
  EXPECT_EQ(Thrown([&] { engine.SetTarget("pal-vhs"); }), "Unknown target type");
}

TEST_F(TargetTest, NormIsDetectedAndAnnounced) {
  struct Case {
    AVRational rate;
    const char* fallback;
    const char* announced;
  };
  const Case cases[] = {{{30000, 1001}, "pal", "Assuming NTSC for target."},
                        {{24000, 1001}, "pal", "Assuming NTSC for target."},
                        {{25, 1}, "ntsc", "Assuming PAL for target."},
                        {{15, 1}, "ntsc", "Assuming NTSC for target."},
                        {{15, 1}, "film", "Assuming NTSC for target."},
                        {{15, 1}, "auto", "Assuming PAL for target."}};
  std::vector<std::string> lines;
  engine.OnLog = [&](TCustomFFmpeg*, int, const std::string& m) { lines.push_back(m); };
  for (const Case& c : cases) {
    lines.clear();
    engine.FrameRate = c.rate;
    Thrown([&] { engine.SetTarget("nosuch", "auto", c.fallback); });
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], c.announced) << c.rate.num << "/" << c.rate.den << " " << c.fallback;
  }
}

TEST_F(TargetTest, InputVideoDecidesTheNormWhenTheRateDoesNot) {
  ASSERT_TRUE(engine.OpenInputFile(Fixture("vcd.dat")));
  engine.FrameRate = AVRational{15, 1};
  std::vector<std::string> lines;
  engine.OnLog = [&](TCustomFFmpeg*, int, const std::string& m) { lines.push_back(m); };
  Thrown([&] { engine.SetTarget("nosuch", "auto", "pal"); });
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "Assuming NTSC for target.");
}

TEST_F(TargetTest, PalDvd) {
  if (!OptionTableAvailable(engine)) GTEST_SKIP() << "option table not in this build";
  engine.SetTarget("pal-dvd");
  EXPECT_EQ(engine.FrameWidth, 720);
  EXPECT_EQ(engine.FrameHeight, 576);
  EXPECT_EQ(av_cmp_q(engine.FrameRate, AVRational{25, 1}), 0);
  EXPECT_EQ(engine.CodecOptions[AVMEDIA_TYPE_VIDEO]->gop_size, 15);
  EXPECT_EQ(engine.AudioSampleRate, 48000);
  EXPECT_NEAR(engine.FrameAspectRatio, 16.0 / 9.0, 1e-4);
  EXPECT_EQ(engine.VideoCodecName, "mpeg2video");
  EXPECT_STREQ(engine.OutputFormat->name, "dvd");
}

TEST_F(TargetTest, VcdWithAnNtscInput) {
  if (!OptionTableAvailable(engine)) GTEST_SKIP() << "option table not in this build";
  ASSERT_TRUE(engine.OpenInputFile(Fixture("xvid.avi")));
  engine.SetTarget("vcd");
  EXPECT_EQ(engine.FrameWidth, 352);
  EXPECT_EQ(engine.FrameHeight, 240);
  EXPECT_EQ(engine.CodecOptions[AVMEDIA_TYPE_VIDEO]->gop_size, 18);
  EXPECT_EQ(av_cmp_q(engine.FrameRate, AVRational{30000, 1001}), 0);
  EXPECT_FLOAT_EQ(engine.MuxPreload, 0.44f);
  EXPECT_EQ(engine.AudioSampleRate, 44100);
}

TEST_F(TargetTest, SvcdKeepsThePreload) {
  if (!OptionTableAvailable(engine)) GTEST_SKIP() << "option table not in this build";
  engine.MuxPreload = 0.9f;
  engine.AudioChannels = 1;
  engine.SetTarget("ntsc-svcd");
  EXPECT_FLOAT_EQ(engine.MuxPreload, 0.9f);
  EXPECT_EQ(engine.AudioChannels, 2);
}

int RunCli(const std::string& args, std::string& output) {
  return RunCommand(std::string(VANTREL_CLI_PATH) + " " + args, output);
}

TEST_F(TargetTest, CliReportsOpenFailuresAndShowsFormatReports) {
  std::string out;
  const std::string missing = tmp / "missing.avi";
  EXPECT_EQ(RunCli("-i " + missing + " " + (tmp / "o.mp4"), out), 1);
  EXPECT_NE(out.find("vantrel-cli: " + missing + ": no such file or directory"), std::string::npos) << out;

  const std::string noFolder = tmp / "nodir/o.mp4";
  EXPECT_EQ(RunCli("-i " + Fixture("mp4.mp4") + " " + noFolder, out), 1);
  EXPECT_NE(out.find("vantrel-cli: Could not open '" + noFolder + "'"), std::string::npos) << out;
  EXPECT_NE(out.find("Input #0"), std::string::npos) << "the input's format report: " << out;

  // Verbosity 0 still shows the reports; -1 silences them.
  RunCli("-v 0 -i " + Fixture("mp4.mp4") + " " + noFolder, out);
  if (out.find("Unknown option") != std::string::npos) GTEST_SKIP() << "option table not in this build";
  EXPECT_NE(out.find("Input #0"), std::string::npos) << out;
  RunCli("-v -1 -i " + Fixture("mp4.mp4") + " " + noFolder, out);
  EXPECT_EQ(out.find("Input #0"), std::string::npos) << out;
}

}  // namespace
}  // namespace vantrel::test
