// Conversions whose results the reference tools must read back as the
// option language describes them: re-encoded subtitles, resampled audio in
// strict containers, muxer options, two-pass statistics and the final report.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

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

}  // namespace
}  // namespace vantrel::test
