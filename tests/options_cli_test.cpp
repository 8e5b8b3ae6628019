// vantrel-cli applies options in argument order and ends on a refusal.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "options_test_engine.h"
#include "test_support.h"
#include "build_paths.h"

namespace vantrel {
namespace {

std::string Cli(const std::string& args) { return std::string(VANTREL_CLI_PATH) + " " + args + " 2>&1"; }

TEST(OptionCli, RefusedOptionEndsTheRun) {
  std::string out;
  EXPECT_EQ(test::RunCommand(Cli("-qscale 300 out.mp4"), out), 1);
  EXPECT_EQ(out, "vantrel-cli: qscale must be > 0.0 and <= 255\n");
  EXPECT_EQ(test::RunCommand(Cli("-ar 22050 -ar fast out.mp4"), out), 1);
  EXPECT_EQ(out, "vantrel-cli: Invalid value 'fast' for option '-ar'\n");
  EXPECT_EQ(test::RunCommand(Cli("-vtag DIVX5 out.mp4"), out), 1);
  EXPECT_EQ(out, "vantrel-cli: video tag parameter must be 4 chars\n");
}

struct RefusedValue {
  const char* option;
  const char* value;
  const char* message;
};

// Values that are no number, duration, size or rate of their option, or
// that are zero or negative where that means nothing; the window's own
// values (kbit/s and Hz lists, frame rates) are among the accepted below.
constexpr RefusedValue kRefusedValues[] = {
    {"ab", "foo", "Invalid value 'foo' for option '-ab'"},
    {"ab", "-5", "Invalid value '-5' for option '-ab'"},
    {"b", "foo", "Invalid value 'foo' for option '-b'"},
    {"b", "0", "Invalid value '0' for option '-b'"},
    {"vb", "0k", "Invalid value '0k' for option '-vb'"},
    {"ar", "0", "Invalid value '0' for option '-ar'"},
    {"ar", "-1", "Invalid value '-1' for option '-ar'"},
    {"ar", "8kHz", "Invalid value '8kHz' for option '-ar'"},
    {"ac", "0", "Invalid value '0' for option '-ac'"},
    {"t", "-5", "Invalid value '-5' for option '-t'"},
    {"t", "0", "Invalid value '0' for option '-t'"},
    {"t", "soon", "Invalid value 'soon' for option '-t'"},
    {"ss", "-1", "Invalid value '-1' for option '-ss'"},
    {"r", "0", "Invalid value '0' for option '-r'"},
    {"r", "-25", "Invalid value '-25' for option '-r'"},
    {"s", "big", "Invalid value 'big' for option '-s'"},
    {"fs", "1MB", "Invalid value '1MB' for option '-fs'"},
    {"vframes", "many", "Invalid value 'many' for option '-vframes'"},
    {"muxdelay", "-1", "Invalid value '-1' for option '-muxdelay'"},
    {"g", "many", "Invalid value 'many' for option '-g'"},
};

// The engine refuses through SetOption and its check alike, leaving the
// command line nothing of its own to decide: vantrel-cli prints the same
// words, exits 1 and has opened no file (the input's description would be
// printed) nor created the output.
TEST(OptionCli, RefusedValuesThroughTheEngineAndTheCommandLine) {
  const std::string in = test::Fixture("fps25_10s.avi");
  ASSERT_TRUE(std::filesystem::exists(in)) << in;
  test::TempDir dir;
  test::OptionEngine e;
  for (const RefusedValue& row : kRefusedValues) {
    EXPECT_EQ(test::Refusal([&] { e.SetOption(row.option, row.value); }), row.message) << row.option;
    EXPECT_EQ(test::Refusal([&] { e.CheckOptionValue(row.option, row.value); }), row.message) << row.option;
    std::string out;
    const std::string args = "-i " + in + " -" + row.option + " " + row.value + " " + (dir / "out.mp4");
    EXPECT_EQ(test::RunCommand(Cli(args), out), 1) << args;
    EXPECT_EQ(out, "vantrel-cli: " + std::string(row.message) + "\n") << args;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "out.mp4"));
}

TEST(OptionCli, WindowAndBoundaryValuesAreAccepted) {
  test::OptionEngine e;
  const std::pair<const char*, const char*> accepted[] = {
      {"b", "40000"}, {"b", "512k"}, {"ab", "4750"}, {"ab", "96000"}, {"ar", "8000"},  {"ar", "48000"},
      {"ac", "1"},    {"r", "15"},   {"r", "30000/1001"}, {"t", "0.5"}, {"ss", "0"}, {"itsoffset", "-2"},
      {"muxdelay", "0"}, {"fs", "-1"}, {"g", "12"}};
  for (const auto& [option, value] : accepted) {
    EXPECT_NO_THROW(e.CheckOptionValue(option, value)) << option << " " << value;
    EXPECT_NO_THROW(e.SetOption(option, value)) << option << " " << value;
  }
  EXPECT_EQ(e.Options().AudioSampleRate, 48000);
}

// The encoders' own options are names of the option language like the
// library holders' ones: known by name, their values checked against the
// encoders that have them, all before anything is opened.
TEST(OptionCli, EncoderOptionsAreCheckedLikeTheOthers) {
  const std::string in = test::Fixture("fps25_10s.avi");
  test::TempDir dir;
  test::OptionEngine e;
  EXPECT_TRUE(e.KnowsOption("preset"));
  EXPECT_TRUE(e.KnowsOption("x264-params"));
  EXPECT_FALSE(e.KnowsOption("presetx"));
  EXPECT_FALSE(TCustomFFmpeg::OptionTakesNoValue("crf"));
  EXPECT_NO_THROW(e.CheckOptionValue("crf", "23"));
  // A name the codec context also has, with a value only libx264's own option takes.
  EXPECT_NO_THROW(e.CheckOptionValue("profile", "baseline"));
  EXPECT_EQ(e.SetOption("profile", "baseline"), TCustomFFmpeg::TOptionResult::Applied);
  EXPECT_EQ(e.SetOption("presetx", "fast"), TCustomFFmpeg::TOptionResult::UnknownName);
  const std::pair<const char*, const char*> refused[] = {{"crf", "-5"}, {"crf", "abc"}, {"aq-mode", "many"}};
  for (const auto& [option, value] : refused) {
    const std::string message = "Invalid value '" + std::string(value) + "' for option '-" + option + "'";
    EXPECT_EQ(test::Refusal([&] { e.CheckOptionValue(option, value); }), message);
    EXPECT_EQ(test::Refusal([&] { e.SetOption(option, value); }), message);
    std::string out;
    const std::string args = "-i " + in + " -vcodec libx264 -" + option + " " + value + " " + (dir / "out.mp4");
    EXPECT_EQ(test::RunCommand(Cli(args), out), 1) << args;
    EXPECT_EQ(out, "vantrel-cli: " + message + "\n") << args;
  }
  std::string out;
  EXPECT_EQ(test::RunCommand(Cli("-i " + in + " -vcodec libx264 -presetx fast " + (dir / "out.mp4")), out), 2);
  EXPECT_EQ(out.rfind("vantrel-cli: Unrecognized option '-presetx'\n", 0), 0u) << out;
  EXPECT_EQ(test::RunCommand(Cli("-i " + in + " -vcodec libx264 -encode_threads 0 " + (dir / "out.mp4")), out), 1);
  EXPECT_NE(out.find("vantrel-cli: Value 0 for option encode_threads is out of range: it must lie between 1 and 16\n"),
            std::string::npos)
      << out;
  EXPECT_FALSE(std::filesystem::exists(dir / "out.mp4"));
  EXPECT_EQ(e.Options().EncoderOptions, (std::vector<std::pair<std::string, std::string>>{{"profile", "baseline"}}));
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
