// Opening inputs: what each container type reports, refusals of broken and
// missing files, and what an opening consumes.
#include <fstream>
#include <sstream>

#include "files_support.h"
#include "build_paths.h"

namespace vantrel::test {

std::map<std::string, ManifestRow> ReadManifest() {
  std::ifstream in(std::string(VANTREL_SOURCE_DIR) + "/tests/fixtures_manifest.txt");
  std::vector<std::string> columns;
  std::map<std::string, ManifestRow> rows;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> cells;
    std::stringstream ss(line.rfind("# ", 0) == 0 ? line.substr(2) : line);
    for (std::string cell; std::getline(ss, cell, '\t');) cells.push_back(cell);
    if (line.rfind("# name", 0) == 0) {
      columns = cells;
    } else if (!line.empty() && line[0] != '#' && cells.size() == columns.size()) {
      ManifestRow row;
      for (size_t i = 0; i < cells.size(); ++i) row[columns[i]] = cells[i];
      rows[cells[0]] = row;
    }
  }
  return rows;
}

namespace {

class InputTypeTest : public FilesTest, public ::testing::WithParamInterface<const char*> {};

AVRational ParseRate(const std::string& text) {
  AVRational r{0, 1};
  EXPECT_GE(lav::av_parse_video_rate(&r, text.c_str()), 0) << text;
  return r;
}

TEST_P(InputTypeTest, ReportsStreamsSizeRateAudioAndDuration) {
  const std::string name = GetParam();
  const ManifestRow row = ReadManifest()[name];
  ASSERT_FALSE(row.empty()) << name << " is not in the manifest";
  ASSERT_TRUE(engine.OpenInputFile(Fixture(name))) << engine.LastError;
  ASSERT_EQ(engine.InputFileCount, 1);
  EXPECT_EQ(engine.InputCodecs[0].size(), engine.InputFiles[0]->nb_streams);
  EXPECT_EQ(StreamCount(0, AVMEDIA_TYPE_VIDEO), row.at("vcodec") == "-" ? 0 : 1);
  EXPECT_EQ(StreamCount(0, AVMEDIA_TYPE_AUDIO), row.at("acodec") == "-" ? 0 : 1);
  if (row.at("vcodec") != "-") {
    EXPECT_EQ(engine.FrameWidth, std::stoi(row.at("width")));
    EXPECT_EQ(engine.FrameHeight, std::stoi(row.at("height")));
    const AVRational fps = ParseRate(row.at("fps"));
    EXPECT_EQ(av_cmp_q(engine.FrameRate, fps), 0)
        << engine.FrameRate.num << "/" << engine.FrameRate.den << " for " << row.at("fps");
    EXPECT_NE(engine.FramePixFmt, -1);
  }
  if (row.at("acodec") != "-") {
    EXPECT_EQ(engine.AudioSampleRate, std::stoi(row.at("sample_rate")));
    EXPECT_EQ(engine.AudioChannels, std::stoi(row.at("channels")));
  }
  EXPECT_NEAR(engine.DurationMs, std::stoi(row.at("duration")) * 1000, 100);
}

// The types of the open dialog, then the other common containers.
INSTANTIATE_TEST_SUITE_P(Containers, InputTypeTest,
                         ::testing::Values("avi_mpeg4.avi", "divx.avi", "xvid.avi", "mpeg_ps.mpg", "wmv.wmv",
                                           "asf.asf", "rm.rm", "vcd.dat", "quicktime.mov", "swf.swf", "mkv.mkv",
                                           "flv.flv", "mp4.mp4", "ts.ts", "audio_only.wav"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string n = info.param;
                           for (char& c : n)
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           return n;
                         });

using InputFileTest = FilesTest;

TEST_F(InputFileTest, BrokenFilesAreRefusedWithTheirReason) {
  struct Case {
    std::string file;
    std::string suffix;
  };
  const Case cases[] = {
      {tmp / "missing.avi", ": no such file or directory"},
      {Fixture("empty.avi"), ": I/O error occurred\r\nUsually that means that input file is truncated and/or corrupted."},
      {Fixture("random.avi"), ": Unknown format"},
      {Fixture("truncated.mp4"), ": Error while parsing header"},
  };
  for (const Case& c : cases) {
    engine.VideoCodecName = "mpeg4";
    EXPECT_FALSE(engine.OpenInputFile(c.file));
    EXPECT_EQ(engine.LastError, c.file + c.suffix);
    EXPECT_EQ(engine.InputFileCount, 0);
    EXPECT_EQ(engine.InputFiles[0].get(), nullptr);
    EXPECT_EQ(engine.VideoCodecName, "") << "a refused input still consumes its options";
  }
}

// The library reads what there is of these; the length shows what is left.
TEST_F(InputFileTest, TruncatedFilesTheLibraryCanReadAreAccepted) {
  ASSERT_TRUE(engine.OpenInputFile(Fixture("truncated.avi"))) << engine.LastError;
  EXPECT_LT(engine.DurationMs, 4000);
  ASSERT_TRUE(engine.OpenInputFile(Fixture("truncated_faststart.mp4"))) << engine.LastError;
  EXPECT_EQ(engine.InputFileCount, 2);
}

TEST_F(InputFileTest, DecoderNamesAreChecked) {
  engine.VideoCodecName = "nosuchdecoder";
  EXPECT_FALSE(engine.OpenInputFile(Fixture("mp4.mp4")));
  EXPECT_EQ(engine.LastError, "Unknown decoder 'nosuchdecoder'");
  engine.AudioCodecName = "h264";
  EXPECT_FALSE(engine.OpenInputFile(Fixture("mp4.mp4")));
  EXPECT_EQ(engine.LastError, "Invalid decoder type 'h264'");
  EXPECT_EQ(engine.AudioCodecName, "");
  engine.SubtitleCodecName = "mp3";
  EXPECT_FALSE(engine.OpenInputFile(Fixture("mp4.mp4")));
  EXPECT_EQ(engine.LastError, "Invalid decoder type 'mp3'");
  EXPECT_EQ(engine.InputFileCount, 0);
  engine.VideoCodecName = "h264";
  EXPECT_TRUE(engine.OpenInputFile(Fixture("mp4.mp4"))) << engine.LastError;
}

TEST_F(InputFileTest, OpeningConsumesPerInputOptions) {
  engine.StartTime = 1000000;
  engine.RateEmu = 1;
  engine.VideoChannel = 3;
  engine.InputFormat = lav::av_find_input_format("avi");
  ASSERT_TRUE(engine.OpenInputFile(Fixture("avi_mpeg4.avi"))) << engine.LastError;
  EXPECT_EQ(engine.StartTime, 0);
  EXPECT_EQ(engine.RateEmu, 0);
  EXPECT_EQ(engine.VideoChannel, 0);
  EXPECT_EQ(engine.InputFormat, nullptr);
  EXPECT_TRUE(engine.InputRateEmu[0]);
  EXPECT_EQ(engine.InputFilesTsOffset[0], -1000000 - engine.InputFiles[0]->start_time);
  // The start time applied to the first input only.
  ASSERT_TRUE(engine.OpenInputFile(Fixture("avi_mpeg4.avi"))) << engine.LastError;
  EXPECT_EQ(engine.InputFilesTsOffset[1], -engine.InputFiles[1]->start_time);
  EXPECT_FALSE(engine.InputRateEmu[1]);
}

TEST_F(InputFileTest, DurationOnlyGrows) {
  engine.DurationMs = 60000;
  ASSERT_TRUE(engine.OpenInputFile(Fixture("mp4.mp4")));
  EXPECT_EQ(engine.DurationMs, 60000);
  ASSERT_TRUE(engine.OpenInputFile(Fixture("fps25_10s.avi")));
  EXPECT_EQ(engine.DurationMs, 60000);
  engine.DurationMs = 1000;
  ASSERT_TRUE(engine.OpenInputFile(Fixture("fps25_10s.avi")));
  EXPECT_NEAR(engine.DurationMs, 10000, 100);
}

TEST_F(InputFileTest, DisabledTypesAreDiscarded) {
  engine.VideoDisable = 1;
  engine.AudioDisable = 1;
  ASSERT_TRUE(engine.OpenInputFile(Fixture("mp4.mp4")));
  for (unsigned s = 0; s < engine.InputFiles[0]->nb_streams; ++s)
    EXPECT_EQ(engine.InputFiles[0]->streams[s]->discard, AVDISCARD_ALL);
  EXPECT_EQ(engine.VideoDisable, 1) << "cleared only when a video stream is created";
}

TEST_F(InputFileTest, AspectComesFromTheStream) {
  ASSERT_TRUE(engine.OpenInputFile(Fixture("mp4.mp4")));
  EXPECT_FLOAT_EQ(engine.FrameAspectRatio, 320.0f / 240.0f);
}

TEST_F(InputFileTest, ATwentyFirstInputIsRefused) {
  for (int i = 0; i < MAX_FILES; ++i) ASSERT_TRUE(engine.OpenInputFile(Fixture("a48k.wav"))) << i;
  EXPECT_FALSE(engine.OpenInputFile(Fixture("a48k.wav")));
  EXPECT_EQ(engine.LastError, Fixture("a48k.wav") + ": too many input files (at most 20)");
  EXPECT_EQ(engine.InputFileCount, MAX_FILES);
}

TEST_F(InputFileTest, FrameRateNoticeIsLoggedWhenRatesDiffer) {
  std::vector<std::string> lines;
  engine.OnLog = [&](TCustomFFmpeg*, int, const std::string& m) { lines.push_back(m); };
  ASSERT_TRUE(engine.OpenInputFile(Fixture("mp4.mp4")));
  for (const std::string& l : lines) EXPECT_EQ(l.find("Seems stream"), std::string::npos) << l;
}

}  // namespace
}  // namespace vantrel::test
