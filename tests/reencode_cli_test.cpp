// Real conversions with vantrel-cli: every input type of the open dialog with
// the settings of each application profile, checked with the reference tools.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "test_support.h"
#include "build_paths.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

struct TProfile {
  const char* name;
  const char* ext;
  const char* options;
  const char* vcodec;
  const char* acodec;
  int sampleRate;
  int channels;
};

constexpr TProfile kProfiles[] = {
    {"Mpeg4AacMp4", "mp4", "-vcodec mpeg4 -acodec libfaac -s 176x144 -b 40000 -r 15 -ab 96000 -ar 32000 -ac 2",
     "mpeg4", "aac", 32000, 2},
    {"Mpeg4Aac3gp", "3gp", "-vcodec mpeg4 -acodec libfaac -s 176x144 -b 40000 -r 15 -ab 96000 -ar 32000 -ac 2",
     "mpeg4", "aac", 32000, 2},
    {"Mpeg4Aac3g2", "3g2", "-vcodec mpeg4 -acodec libfaac -s 176x144 -b 40000 -r 15 -ab 96000 -ar 32000 -ac 2",
     "mpeg4", "aac", 32000, 2},
    {"H263Amr3gp", "3gp", "-vcodec h263 -acodec libopencore_amrnb -s 176x144 -b 40000 -r 15 -ab 10200 -ar 8000 -ac 1",
     "h263", "amr_nb", 8000, 1},
    {"H263Amr3g2", "3g2", "-vcodec h263 -acodec libopencore_amrnb -s 176x144 -b 40000 -r 15 -ab 10200 -ar 8000 -ac 1",
     "h263", "amr_nb", 8000, 1},
};

// One input of each type the open dialog offers.
const char* const kInputs[] = {"avi_mpeg4.avi", "divx.avi", "xvid.avi",     "mpeg_ps.mpg", "wmv.wmv",
                               "asf.asf",       "rm.rm",    "vcd.dat",      "quicktime.mov", "swf.swf"};

// ffprobe's "key=value" lines of one stream ("v:0", "a:0") or of the format.
std::map<std::string, std::string> Probe(const std::string& file, const std::string& select) {
  std::string out;
  const std::string what = select.empty() ? "-show_entries format=duration"
                                          : "-select_streams " + select +
                                                " -show_entries stream=codec_name,width,height,avg_frame_rate,"
                                                "sample_rate,channels,start_time,duration,nb_frames,nb_read_frames";
  RunCommand("ffprobe -v error " + std::string(select == "v:0" ? "-count_frames " : "") + what +
                 " -of default=noprint_wrappers=1 '" + file + "'",
             out);
  std::map<std::string, std::string> values;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return values;
}

double Number(const std::map<std::string, std::string>& v, const std::string& key) {
  const auto it = v.find(key);
  return it == v.end() ? NAN : std::atof(it->second.c_str());
}

// The content length of a fixture, as the fixture script made it.
double ManifestDuration(const std::string& name) {
  std::ifstream in(std::string(VANTREL_SOURCE_DIR) + "/tests/fixtures_manifest.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(name + "\t", 0) != 0) continue;
    return std::atof(line.substr(line.rfind('\t') + 1).c_str());
  }
  return NAN;
}

// The time of the first decoded frame of a stream ("v:0", "a:0"), in seconds.
double FirstFrameTime(const std::string& file, const std::string& select) {
  std::string out;
  RunCommand("ffprobe -v error -select_streams " + select +
                 " -read_intervals %+#20 -show_entries frame=pts_time -of csv=p=0 '" + file + "'",
             out);
  return std::atof(out.c_str());
}

int Convert(const std::string& input, const std::string& options, const std::string& output, std::string& log) {
  return RunCommand(std::string(VANTREL_CLI_PATH) + " -v 0 -i '" + input + "' " + options + " '" + output + "'",
                    log);
}

class ProfileConversion : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(ProfileConversion, DecodesCleanlyWithTheRequestedStreams) {
  ASSERT_TRUE(FixturesAvailable());
  const TProfile& p = kProfiles[std::get<0>(GetParam())];
  const std::string input = Fixture(kInputs[std::get<1>(GetParam())]);
  TempDir dir;
  const std::string output = dir / (std::string("out.") + p.ext);
  std::string log;
  ASSERT_EQ(Convert(input, p.options, output, log), 0) << log;

  std::string errors;
  EXPECT_EQ(RunCommand("ffmpeg -v error -i '" + output + "' -f null -", errors), 0);
  EXPECT_EQ(errors, "") << "full decode";

  const auto v = Probe(output, "v:0");
  const auto a = Probe(output, "a:0");
  EXPECT_EQ(v.at("codec_name"), p.vcodec);
  EXPECT_EQ(v.at("width"), "176");
  EXPECT_EQ(v.at("height"), "144");
  EXPECT_EQ(a.at("codec_name"), p.acodec);
  EXPECT_EQ(Number(a, "sample_rate"), p.sampleRate);
  EXPECT_EQ(Number(a, "channels"), p.channels);
  double inDuration = Number(Probe(input, ""), "duration");
  if (!(inDuration > 0)) inDuration = ManifestDuration(kInputs[std::get<1>(GetParam())]);  // SWF states none
  const double outDuration = Number(Probe(output, ""), "duration");
  EXPECT_NEAR(outDuration, inDuration, 0.2);
  const double frames = Number(v, "nb_read_frames");
  EXPECT_NEAR(frames / 15.0, inDuration, 0.2) << "frames at 15 fps";
  // Audio and video start together, as far as the input's own decoded streams do.
  const double inGap = FirstFrameTime(input, "a:0") - FirstFrameTime(input, "v:0");
  const double outGap = FirstFrameTime(output, "a:0") - FirstFrameTime(output, "v:0");
  EXPECT_NEAR(outGap, inGap, 0.05) << "audio and video start together";
}

std::string ProfileCaseName(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
  std::string input = kInputs[std::get<1>(info.param)];
  for (char& c : input)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return std::string(kProfiles[std::get<0>(info.param)].name) + "_" + input;
}

INSTANTIATE_TEST_SUITE_P(AllInputs, ProfileConversion,
                         ::testing::Combine(::testing::Range(0, int(std::size(kProfiles))),
                                            ::testing::Range(0, int(std::size(kInputs)))),
                         ProfileCaseName);

struct TRate {
  const char* text;
  double value;
};

class FrameRateConversion : public ::testing::TestWithParam<TRate> {};

TEST_P(FrameRateConversion, FrameCountMatchesTheRate) {
  ASSERT_TRUE(FixturesAvailable());
  const std::string input = Fixture("fps25_10s.avi");
  TempDir dir;
  const std::string output = dir / "out.mp4";
  std::string log;
  ASSERT_EQ(Convert(input, std::string("-vcodec mpeg4 -acodec libfaac -s 176x144 -b 40000 -ab 96000 -ar 32000 -ac 2 -r ") +
                               GetParam().text,
                    output, log),
            0)
      << log;
  const auto v = Probe(output, "v:0");
  const double inDuration = Number(Probe(input, "v:0"), "duration");
  EXPECT_NEAR(Number(v, "nb_read_frames"), inDuration * GetParam().value, 1.0) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Rates, FrameRateConversion,
                         ::testing::Values(TRate{"5", 5}, TRate{"12", 12}, TRate{"15", 15},
                                           TRate{"24000/1001", 24000.0 / 1001}, TRate{"30000/1001", 30000.0 / 1001}),
                         [](const ::testing::TestParamInfo<TRate>& info) {
                           return "Rate" + std::to_string(int(std::lround(info.param.value * 1000)));
                         });

TEST(ReencodeRefusal, H263At320x240FailsCleanly) {
  ASSERT_TRUE(FixturesAvailable());
  TempDir dir;
  const std::string output = dir / "out.3gp";
  std::string log;
  EXPECT_EQ(Convert(Fixture("avi_mpeg4.avi"), "-vcodec h263 -acodec libopencore_amrnb -s 320x240 -ar 8000 -ac 1",
                    output, log),
            1);
  EXPECT_NE(log.find("vantrel-cli: Error while opening codec for output stream #0.0 - maybe incorrect parameters "
                     "such as bit_rate, rate, width or height"),
            std::string::npos)
      << log;
  EXPECT_FALSE(fs::exists(output)) << "no empty file is left behind";
}

// libx264 writes the settings it encoded with into the stream (an SEI text:
// "... threads=2 ... subme=2 ... crf=30.0 ..."), so the file tells which of
// them reached it.
std::string FileBytes(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The encoder's own options reach it: a preset, its text profile and level
// (3.1 is the context's whole number 3, which must not win), a quality, and
// the encoder threads.
TEST(EncoderOptions, ReachLibx264WithItsThreads) {
  ASSERT_TRUE(FixturesAvailable());
  TempDir dir;
  const std::string output = dir / "x264.mp4";
  std::string log;
  ASSERT_EQ(Convert(Fixture("fps25_10s.avi"),
                    "-t 2 -vcodec libx264 -preset veryfast -profile baseline -level 3.1 -crf 30 -encode_threads 2 "
                    "-acodec aac",
                    output, log),
            0)
      << log;
  EXPECT_EQ(log.find("WARNING"), std::string::npos) << log;
  std::string out;
  RunCommand("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,profile,level,has_b_frames "
             "-of default=noprint_wrappers=1 '" + output + "'",
             out);
  EXPECT_NE(out.find("codec_name=h264\n"), std::string::npos) << out;
  EXPECT_TRUE(out.find("profile=Constrained Baseline\n") != std::string::npos ||
              out.find("profile=Baseline\n") != std::string::npos)
      << out;
  EXPECT_NE(out.find("level=31\n"), std::string::npos) << out;
  EXPECT_NE(out.find("has_b_frames=0\n"), std::string::npos) << out;
  const std::string bytes = FileBytes(output);
  for (const char* setting : {" threads=2 ", " subme=2 ", " crf=30.0 "})
    EXPECT_NE(bytes.find(setting), std::string::npos) << setting;
}

// A value only the encoder judges fails the job when it opens, naming the
// option and the encoder, with no output left; an option that no encoder of
// the job has only costs a warning.
TEST(EncoderOptions, JudgedByTheEncoderOfTheJob) {
  ASSERT_TRUE(FixturesAvailable());
  TempDir dir;
  const std::string output = dir / "out.mp4";
  std::string log;
  EXPECT_EQ(Convert(Fixture("fps25_10s.avi"), "-t 1 -vcodec libx264 -preset nosuch -acodec aac", output, log), 1);
  EXPECT_NE(log.find("vantrel-cli: Error while opening codec for output stream #0.0"), std::string::npos) << log;
  EXPECT_NE(log.find("encoder libx264: -preset nosuch\n"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(output));
  EXPECT_EQ(fs::directory_iterator(dir.path()), fs::directory_iterator()) << "no temporary file either";

  ASSERT_EQ(Convert(Fixture("fps25_10s.avi"), "-t 1 -vcodec mpeg4 -preset veryfast -acodec aac", output, log), 0)
      << log;
  EXPECT_NE(log.find("WARNING: Option(s) -preset not used"), std::string::npos) << log;
}

}  // namespace
}  // namespace vantrel::test
