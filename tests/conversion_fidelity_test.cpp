// Conversions whose results the reference tools must read back as the
// option language describes them: re-encoded subtitles, resampled audio in
// strict containers, muxer options, two-pass statistics and the final report.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"
#include "build_paths.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

int RunCli(const std::string& args, std::string& out) {
  return RunCommand(std::string(VANTREL_CLI_PATH) + " " + args, out);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

// The subtitle cues of a file as ffprobe decodes them: one line per cue
// with its display span and text.
std::vector<std::string> SubtitleCues(const std::string& file, std::string& codec) {
  std::string out;
  RunCommand("ffprobe -v error -select_streams s:0 -show_entries stream=codec_name -of csv=p=0 '" + file + "'", out);
  codec = out.substr(0, out.find_first_of("\r\n"));
  RunCommand("ffmpeg -v error -nostdin -i '" + file + "' -map 0:s:0 -c:s srt -f srt -", out);
  std::vector<std::string> cues;
  std::string time;
  for (const std::string& line : Lines(out)) {
    if (line.find(" --> ") != std::string::npos)
      time = line;
    else if (!time.empty() && line.find_first_not_of("0123456789") != std::string::npos)
      cues.push_back(time + " " + line);
  }
  return cues;
}

TEST(ConversionFidelityTest, ReencodedSubtitlesKeepTheirCues) {
  const std::string in = Fixture("srt_sub.mkv");
  ASSERT_TRUE(fs::exists(in)) << in;
  std::string codec;
  const std::vector<std::string> source = SubtitleCues(in, codec);
  ASSERT_EQ(source.size(), 3u);
  ASSERT_EQ(codec, "subrip");
  TempDir dir;
  struct Case {
    const char* out;
    const char* options;
    const char* codec;
  };
  const Case cases[] = {{"a.mkv", "", "ass"}, {"b.mp4", "-scodec mov_text", "mov_text"}};
  for (const Case& c : cases) {
    std::string log;
    ASSERT_EQ(RunCli("-i " + in + " " + c.options + " " + (dir / c.out), log), 0) << c.out << "\n" << log;
    EXPECT_EQ(SubtitleCues(dir / c.out, codec), source) << c.out;
    EXPECT_EQ(codec, c.codec) << c.out;
  }
}

// DV takes a fixed count of audio samples with every picture and refuses a
// picture whose samples have not all arrived: audio time stamps that run
// ahead of the samples, or a stream that ends later than the other, fail.
TEST(ConversionFidelityTest, DvTargetsFromResampledAndNativeRates) {
  struct Source {
    const char* name;
    int sampleRate;
  };
  const Source sources[] = {{"avi_mpeg4.avi", 44100}, {"mpeg_ps.mpg", 48000}};
  TempDir dir;
  for (const Source& src : sources) {
    const std::string in = Fixture(src.name);
    ASSERT_TRUE(fs::exists(in)) << in;
    std::string rate;
    RunCommand("ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate -of csv=p=0 '" + in + "'", rate);
    ASSERT_EQ(std::atoi(rate.c_str()), src.sampleRate) << src.name;
    for (const char* target : {"pal-dv", "ntsc-dv", "pal-dv50"}) {
      for (const char* limit : {"", "-t 2"}) {
        const std::string what = std::string(src.name) + " " + target + " " + limit;
        const std::string out = dir / "out.dv";
        fs::remove(out);
        std::string log;
        ASSERT_EQ(RunCli("-i " + in + " " + limit + " -target " + target + " -y " + out, log), 0) << what << "\n"
                                                                                                   << log;
        std::string errors;
        EXPECT_EQ(RunCommand("ffmpeg -v error -nostdin -i '" + out + "' -f null -", errors), 0) << what;
        EXPECT_EQ(errors, "") << what;
        std::string duration;
        RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + out + "'", duration);
        // A whole picture short of the limit at most: NTSC pictures do not end on 2 s.
        const double expected = *limit ? 2.0 : 4.0;
        EXPECT_NEAR(std::atof(duration.c_str()), expected, 0.05) << what;
        if (*limit) {
          EXPECT_LE(std::atof(duration.c_str()), 2.0 + 1e-6) << what;
        }
      }
    }
  }
}

// The mux rate (in units of 50 bytes/s) of the first pack header of an MPEG
// program stream, MPEG-1 or MPEG-2 pack; -1 when the file starts otherwise.
int FirstPackMuxRate(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char b[14] = {};
  if (!in.read(reinterpret_cast<char*>(b), sizeof b)) return -1;
  if (b[0] != 0 || b[1] != 0 || b[2] != 1 || b[3] != 0xBA) return -1;
  if ((b[4] & 0xF0) == 0x20) return ((b[9] & 0x7F) << 15) | (b[10] << 7) | (b[11] >> 1);
  if ((b[4] & 0xC0) == 0x40) return (b[10] << 14) | (b[11] << 6) | (b[12] >> 2);
  return -1;
}

TEST(ConversionFidelityTest, MuxerOptionsReachTheMuxer) {
  const std::string in = Fixture("avi_mpeg4.avi");
  ASSERT_TRUE(fs::exists(in)) << in;
  TempDir dir;
  struct Case {
    const char* out;
    const char* options;
    int muxRate;
  };
  // The presets' rates, and a rate given by name after the preset.
  const Case cases[] = {{"vcd.mpg", "-target pal-vcd", 1411200 / 400},
                        {"dvd.mpg", "-target pal-dvd", 10080000 / 400},
                        {"own.mpg", "-target pal-vcd -muxrate 2000000", 2000000 / 400}};
  for (const Case& c : cases) {
    std::string log;
    ASSERT_EQ(RunCli("-i " + in + " -t 1 " + c.options + " " + (dir / c.out), log), 0) << c.out << "\n" << log;
    EXPECT_EQ(FirstPackMuxRate(dir / c.out), c.muxRate) << c.out;
  }
  // A value the muxer refuses is refused when given.
  std::string log;
  EXPECT_NE(RunCli("-i " + in + " -t 1 -muxrate many " + (dir / "bad.mpg"), log), 0) << log;
  EXPECT_FALSE(fs::exists(dir / "bad.mpg"));
}

// libx264 keeps its own statistics: the pass log name must reach it, or it
// writes them into the current folder, where two jobs overwrite each other's.
TEST(ConversionFidelityTest, TwoPassWithEncoderKeptStatistics) {
  const std::string in = Fixture("avi_mpeg4.avi");
  ASSERT_TRUE(fs::exists(in)) << in;
  TempDir cwd, logs, outs;
  const std::string prefix = logs / "clip";
  const std::string common = "-i " + in + " -vcodec libx264 -b 300000 -an -passlogfile " + prefix + " -y ";
  std::string log;
  const std::string cd = "cd '" + cwd.path().string() + "' && ";
  ASSERT_EQ(RunCommand(cd + VANTREL_CLI_PATH + " " + common + "-pass 1 " + (outs / "p1.mp4"), log), 0) << log;
  ASSERT_TRUE(fs::exists(prefix + "-0.log"));
  EXPECT_GT(fs::file_size(prefix + "-0.log"), 1000u);
  EXPECT_TRUE(fs::exists(prefix + "-0.log.mbtree"));
  ASSERT_EQ(RunCommand(cd + VANTREL_CLI_PATH + " " + common + "-pass 2 " + (outs / "p2.mp4"), log), 0) << log;
  EXPECT_TRUE(fs::is_empty(cwd.path())) << "the current folder stays untouched";
  std::string rate;
  RunCommand("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,bit_rate -of csv=p=0 '" +
                 (outs / "p2.mp4") + "'",
             rate);
  ASSERT_EQ(rate.substr(0, 5), "h264,") << rate;
  EXPECT_NEAR(std::atof(rate.substr(5).c_str()), 300000, 300000 * 0.05) << rate;
  // Pass 2 reads the statistics from where pass 1 left them.
  fs::remove(prefix + "-0.log");
  EXPECT_NE(RunCommand(cd + VANTREL_CLI_PATH + " " + common + "-pass 2 " + (outs / "p3.mp4"), log), 0) << log;
  EXPECT_NE(log.find("creat open fail: " + prefix + "-0.log"), std::string::npos) << log;
}

// The final report tells where the output ends: the end of the last packet,
// not its start, whatever the container does with the decode times.
TEST(ConversionFidelityTest, FinalProgressTimeIsTheOutputsEnd) {
  const std::string in = Fixture("fps25_10s.avi");
  ASSERT_TRUE(fs::exists(in)) << in;
  TempDir dir;
  struct Case {
    const char* name;
    bool videoDuration;  // whether ffprobe tells the video stream's duration
  };
  for (const Case& c : {Case{"out.avi", true}, Case{"out.mp4", true}, Case{"out.mpg", false}}) {
    std::string log;
    ASSERT_EQ(RunCli("-i " + in + " " + (dir / c.name), log), 0) << c.name << "\n" << log;
    const size_t at = log.rfind("time=");
    ASSERT_NE(at, std::string::npos) << log;
    const double reported = std::atof(log.c_str() + at + 5);
    // Half a frame: the start of the last picture is a whole frame short.
    EXPECT_NEAR(reported, 10.0, 0.02) << c.name;
    if (!c.videoDuration) continue;
    std::string duration;
    RunCommand("ffprobe -v error -select_streams v:0 -show_entries stream=duration -of csv=p=0 '" + (dir / c.name) +
                   "'",
               duration);
    EXPECT_NEAR(reported, std::atof(duration.c_str()), 0.041) << c.name;
  }
  // Quiet: not even the last line.
  std::string log;
  ASSERT_EQ(RunCli("-v -1 -i " + in + " -y " + (dir / "out.avi"), log), 0) << log;
  EXPECT_EQ(log.find("time="), std::string::npos) << log;
}

}  // namespace
}  // namespace vantrel::test
