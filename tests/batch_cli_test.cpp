// vantrel-batch end to end: every profile, bad files among good ones, the
// same file twice, existing outputs, the settings file as defaults, usage
// errors, and Ctrl-C in the middle of a batch.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"
#include "build_paths.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// Runs vantrel-batch with its own settings folder, so the user's settings
// never leak into a test.
struct Batch {
  test::TempDir dir;
  std::string output;

  int Run(const std::string& args) {
    return test::RunCommand("cd " + Quoted(dir.path()) + " && XDG_CONFIG_HOME=" + Quoted(dir / "config") +
                                " " VANTREL_BATCH_PATH " " + args + " </dev/null",
                            output);
  }
  std::string Out(const std::string& name) const { return dir / ("out/" + name); }
  // The [Options] section of the settings file holds lines.
  void Store(const std::string& lines) {
    fs::create_directories(dir / "config/Vantrel");
    std::ofstream(dir / "config/Vantrel/Options.ini") << "[Options]\n" << lines;
  }
};

// "codec,width,height" per stream, as ffprobe sees the file.
std::string Streams(const std::string& file) {
  std::string out;
  test::RunCommand("ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 " + Quoted(file), out);
  return out;
}

double Duration(const std::string& file) {
  std::string out;
  if (test::RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quoted(file), out) != 0)
    return -1;
  return std::atof(out.c_str());
}

std::string Contents(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(BatchCli, EachProfileGivesItsContainerAndCodecs) {
  ASSERT_TRUE(test::FixturesAvailable());
  struct Case {
    int profile;
    const char* file;
    const char* video;
    const char* audio;
  };
  const Case cases[] = {{0, "avi_mpeg4.3gp", "mpeg4,176,144", "aac"},
                        {1, "avi_mpeg4.3gp", "h263,176,144", "amr_nb"},
                        {2, "avi_mpeg4.3g2", "mpeg4,176,144", "aac"},
                        {3, "avi_mpeg4.3g2", "h263,176,144", "amr_nb"},
                        {4, "avi_mpeg4.mp4", "mpeg4,176,144", "aac"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    Batch batch;
    ASSERT_EQ(batch.Run("--profile " + std::to_string(c.profile) + " --output-folder out " +
                        test::Fixture("avi_mpeg4.avi")),
              0)
        << batch.output;
    const std::string streams = Streams(batch.Out(c.file));
    EXPECT_NE(streams.find(c.video), std::string::npos) << streams;
    EXPECT_NE(streams.find(c.audio), std::string::npos) << streams;
    EXPECT_NE(batch.output.find("1 of 1 files converted"), std::string::npos) << batch.output;
  }
}

// ffprobe's "key=value" lines for the first stream of a kind ("v:0", "a:0").
std::map<std::string, std::string> StreamValues(const std::string& file, const std::string& select) {
  std::string out;
  test::RunCommand("ffprobe -v error -select_streams " + select +
                       " -show_entries stream=codec_name,profile,level,width,height,has_b_frames,pix_fmt,"
                       "sample_aspect_ratio,channels,sample_rate -of default=noprint_wrappers=1 " + Quoted(file),
                   out);
  std::map<std::string, std::string> values;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);)
    if (const auto eq = line.find('='); eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
  return values;
}

// Every fixture kind that has a picture or a sound, through one of the H.264
// profiles in one batch: each output is H.264 + AAC in MP4 with the
// profile's profile, the level the row was planned with (and that x264
// found the picture within), the picture fitted to the source's shape
// inside the box, the source's length, and a clean full decode.
void ConvertFixturesThroughH264Profile(int profile, const std::string& box, const std::string& h264Profile,
                                       int maxLevel) {
  ASSERT_TRUE(test::FixturesAvailable());
  struct Input {
    const char* file;
    int width, height;  // shown size; 0 for sound only
    double seconds;
  };
  const Input inputs[] = {{"avi_mpeg4.avi", 320, 240, 4}, {"divx.avi", 320, 240, 4}, {"xvid.avi", 320, 240, 4},
                          {"mpeg_ps.mpg", 352, 288, 4},   {"wmv.wmv", 320, 240, 4},  {"asf.asf", 320, 240, 4},
                          {"rm.rm", 320, 240, 4},         {"vcd.dat", 352, 240, 4},  {"quicktime.mov", 320, 240, 4},
                          {"swf.swf", 320, 240, 4},       {"mkv.mkv", 320, 240, 4},  {"flv.flv", 320, 240, 4},
                          {"mp4.mp4", 320, 240, 4},       {"ts.ts", 320, 240, 4},    {"fps10.avi", 176, 144, 4},
                          {"audio_first.mp4", 160, 120, 2}, {"video_only.avi", 320, 240, 4},
                          {"audio_only.mp3", 0, 0, 4}};
  std::string files;
  for (const Input& in : inputs) files += " " + Quoted(test::Fixture(in.file));
  Batch batch;
  ASSERT_EQ(batch.Run("--verbose --parallel 2 --profile " + std::to_string(profile) + " --size " + box +
                      " --output-folder out" + files),
            0)
      << batch.output;
  EXPECT_NE(batch.output.find(std::to_string(std::size(inputs)) + " of " + std::to_string(std::size(inputs)) +
                              " files converted"),
            std::string::npos)
      << batch.output;
  // x264 says so when the stated level does not hold the picture.
  EXPECT_EQ(batch.output.find("level limit"), std::string::npos) << batch.output;
  int boxWidth = 0, boxHeight = 0;
  std::sscanf(box.c_str(), "%dx%d", &boxWidth, &boxHeight);

  for (const Input& in : inputs) {
    SCOPED_TRACE(in.file);
    const std::string out = batch.Out(fs::path(in.file).stem().string() + ".mp4");
    std::string errors;
    EXPECT_EQ(test::RunCommand("ffmpeg -v error -i " + Quoted(out) + " -f null -", errors), 0);
    EXPECT_EQ(errors, "") << "full decode";
    EXPECT_NEAR(Duration(out), in.seconds, 0.25);
    if (std::string(in.file) != "video_only.avi") {
      const auto a = StreamValues(out, "a:0");
      EXPECT_EQ(a.count("codec_name") ? a.at("codec_name") : "", "aac");
    }
    if (in.width == 0) continue;
    const auto v = StreamValues(out, "v:0");
    ASSERT_EQ(v.count("codec_name") ? v.at("codec_name") : "", "h264");
    EXPECT_EQ(v.at("profile"), h264Profile);
    EXPECT_EQ(v.at("pix_fmt"), "yuv420p");
    const int width = std::atoi(v.at("width").c_str()), height = std::atoi(v.at("height").c_str());
    const int level = std::atoi(v.at("level").c_str());
    EXPECT_LE(level, maxLevel);
    // The row's plan said this picture and level.
    char planned[96];
    std::snprintf(planned, sizeof planned, ": Picture: %dx%d, H.264 %s level %d.%d\n", width, height,
                  h264Profile == "High" ? "High" : "Baseline", level / 10, level % 10);
    EXPECT_NE(batch.output.find(test::Fixture(in.file) + planned), std::string::npos) << planned << batch.output;
    EXPECT_EQ(width % 2 + height % 2, 0);
    EXPECT_LE(width, std::min(in.width, boxWidth));
    EXPECT_LE(height, std::min(in.height, boxHeight));
    EXPECT_TRUE(width == std::min(in.width, boxWidth) || height == std::min(in.height, boxHeight))
        << width << "x" << height << ": the picture fills the box or the source one way";
    EXPECT_NEAR(double(width) / height, double(in.width) / in.height, 0.03) << "the source's shape";
    if (h264Profile != "High") {
      EXPECT_EQ(v.at("has_b_frames"), "0");
      std::string types;
      test::RunCommand("ffprobe -v error -select_streams v:0 -show_entries frame=pict_type -of csv=p=0 " +
                           Quoted(out), types);
      EXPECT_EQ(types.find('B'), std::string::npos) << "no B-frames";
    }
  }
}

TEST(BatchCli, SmartphoneProfileConvertsEveryFixtureKind) {
  ConvertFixturesThroughH264Profile(5, "854x480", "High", 51);
}

TEST(BatchCli, SimplePhoneProfileConvertsEveryFixtureKind) {
  ConvertFixturesThroughH264Profile(6, "176x144", "Constrained Baseline", 30);
}

// A file that cannot be converted is named with its reason; the others are
// converted all the same and the exit status says not all went well. The
// same file twice gives two outputs, never one file written twice.
TEST(BatchCli, BadFileAmongGoodOnesAndTheSameFileTwice) {
  ASSERT_TRUE(test::FixturesAvailable());
  Batch batch;
  const std::string good = test::Fixture("avi_mpeg4.avi");
  EXPECT_EQ(batch.Run("--parallel 2 --output-folder out " + good + " " + test::Fixture("text.avi") + " " +
                      test::Fixture("wmv.wmv") + " " + good),
            1)
      << batch.output;
  const double seconds = Duration(good);
  for (const char* name : {"avi_mpeg4.3gp", "avi_mpeg4(1).3gp"}) {
    SCOPED_TRACE(name);
    EXPECT_NEAR(Duration(batch.Out(name)), seconds, 0.2);
  }
  EXPECT_NEAR(Duration(batch.Out("wmv.3gp")), Duration(test::Fixture("wmv.wmv")), 0.2);
  EXPECT_NE(batch.output.find("text.avi       Refused        Convertion of file"), std::string::npos)
      << batch.output;
  EXPECT_NE(batch.output.find("3 of 4 files converted"), std::string::npos) << batch.output;
}

// Overwriting replaces the existing output only once the new one is
// written; without it the existing file is left exactly as it was.
TEST(BatchCli, ExistingOutputWithAndWithoutOverwrite) {
  ASSERT_TRUE(test::FixturesAvailable());
  Batch batch;
  fs::create_directories(batch.dir / "out");
  const std::string existing = batch.Out("avi_mpeg4.3gp");
  std::ofstream(existing) << "an older file of the user";

  const double seconds = Duration(test::Fixture("avi_mpeg4.avi"));
  ASSERT_EQ(batch.Run("--no-overwrite --output-folder out " + test::Fixture("avi_mpeg4.avi")), 0) << batch.output;
  EXPECT_EQ(Contents(existing), "an older file of the user");
  EXPECT_NEAR(Duration(batch.Out("avi_mpeg4(1).3gp")), seconds, 0.2);

  ASSERT_EQ(batch.Run("--overwrite --output-folder out " + test::Fixture("avi_mpeg4.avi")), 0) << batch.output;
  EXPECT_NEAR(Duration(existing), seconds, 0.2);
  EXPECT_FALSE(fs::exists(batch.Out("avi_mpeg4(2).3gp")));
}

int VideoFrames(const std::string& file) {
  std::string out;
  test::RunCommand("ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames -of csv=p=0 " +
                       Quoted(file),
                   out);
  return std::atoi(out.c_str());
}

// Mean PSNR of the video of a against that of b, both decoded by ffmpeg.
double VideoPsnr(const std::string& a, const std::string& b) {
  std::string out;
  test::RunCommand("ffmpeg -hide_banner -nostats -i " + Quoted(a) + " -i " + Quoted(b) +
                       " -lavfi '[0:v][1:v]psnr' -f null - 2>&1 | sed -n 's/.*PSNR.* average:\\([0-9.]*\\).*/\\1/p'",
                   out);
  return std::atof(out.c_str());
}

// Reduced-size decoding where the output allows it, said per file with
// --verbose; the output is that of a full-size decode in size, length and
// picture. Off from the settings file or the command line, which wins.
TEST(BatchCli, FastDecodingIsSaidAndGivesTheFullSizeOutput) {
  ASSERT_TRUE(test::FixturesAvailable());
  const std::string mpeg4 = test::Fixture("avi_mpeg4.avi");
  const std::string h264 = test::Fixture("mp4.mp4");
  const std::string common = "--verbose --profile 4 --size 160x120 --output-folder ";
  Batch batch;
  ASSERT_EQ(batch.Run(common + "fast " + mpeg4 + " " + h264), 0) << batch.output;
  const std::string halfSize = ": Fast decoding: reads the picture at half size, which is exactly 160x120\n";
  EXPECT_NE(batch.output.find(mpeg4 + halfSize), std::string::npos) << batch.output;
  EXPECT_NE(batch.output.find(h264 + ": Full-size decoding: this kind of video cannot be read at a reduced size, "
                                     "leaves out a smoothing step the smaller picture does not show, skips the "
                                     "pictures the frame rate leaves out\n"),
            std::string::npos)
      << batch.output;
  // Only the picture decoder was asked: the audio decoders did not refuse it.
  EXPECT_EQ(batch.output.find("lowres supported"), std::string::npos) << batch.output;

  fs::create_directories(batch.dir / "config/Vantrel");
  std::ofstream(batch.dir / "config/Vantrel/Options.ini") << "[Options]\nFastDecoding=False\n";
  ASSERT_EQ(batch.Run(common + "full " + mpeg4), 0) << batch.output;
  EXPECT_NE(batch.output.find(mpeg4 + ": Fast decoding is off\n"), std::string::npos)
      << batch.output;
  ASSERT_EQ(batch.Run(common + "again --fast-decoding on " + mpeg4), 0) << batch.output;
  EXPECT_NE(batch.output.find(mpeg4 + halfSize), std::string::npos) << batch.output;

  const std::string fast = batch.dir / "fast/avi_mpeg4.mp4", full = batch.dir / "full/avi_mpeg4.mp4";
  EXPECT_EQ(Streams(fast), Streams(full));
  EXPECT_NE(Streams(fast).find("mpeg4,160,120"), std::string::npos) << Streams(fast);
  EXPECT_EQ(VideoFrames(fast), VideoFrames(full));
  EXPECT_GT(VideoFrames(fast), 90);
  EXPECT_GT(VideoPsnr(fast, full), 25.0);

  EXPECT_NE(batch.Run("--fast-decoding maybe " + mpeg4), 0);
  EXPECT_NE(batch.output.find("--fast-decoding takes on or off, not 'maybe'"), std::string::npos) << batch.output;
}

// The window's settings are the defaults, and running never rewrites them.
TEST(BatchCli, SettingsFileGivesTheDefaultsAndIsNotWritten) {
  ASSERT_TRUE(test::FixturesAvailable());
  Batch batch;
  fs::create_directories(batch.dir / "config/Vantrel");
  const std::string ini = batch.dir / "config/Vantrel/Options.ini";
  const std::string text = "[Options]\nOutputPath=" + (batch.dir / "stored") +
                           "/\nProfile=4\nVideoSize=2\nOverwrite=False\nThread=0\n";
  std::ofstream(ini) << text;
  ASSERT_EQ(batch.Run(test::Fixture("wmv.wmv")), 0) << batch.output;
  EXPECT_NE(Streams(batch.dir / "stored/wmv.mp4").find("mpeg4,352,288"), std::string::npos);
  EXPECT_EQ(Contents(ini), text);
}

TEST(BatchCli, UsageErrorsNameTheValueAndTheAllowedOnes) {
  Batch batch;
  EXPECT_EQ(batch.Run("--size 300x200 x.avi"), 2);
  EXPECT_NE(batch.output.find("--size 300x200 is not one of the values of profile 0: 128x96, 176x144"),
            std::string::npos)
      << batch.output;
  EXPECT_EQ(batch.Run("--profile 1 --size 320x240 x.avi"), 2);
  EXPECT_NE(batch.output.find("H.263 can encode only"), std::string::npos) << batch.output;
  EXPECT_EQ(batch.Run("--profile 1 --audio-bitrate 32 x.avi"), 2);
  EXPECT_NE(batch.output.find("4.75kbps, 5.15kbps"), std::string::npos) << batch.output;
  EXPECT_EQ(batch.Run("--parallel 0 x.avi"), 2);
  EXPECT_EQ(batch.Run("--frames 3 x.avi"), 2);
  EXPECT_NE(batch.output.find("unknown option '--frames'"), std::string::npos) << batch.output;
  EXPECT_EQ(batch.Run(""), 2);
  EXPECT_EQ(batch.Run("--help"), 0);
  EXPECT_NE(batch.output.find("4  MPEG4 - Video codec: MPEG-4, Audio codec: AAC LC (*.mp4)"), std::string::npos);
  EXPECT_FALSE(fs::exists(batch.dir / "config"));
}

// Every "WxH" in text.
std::vector<std::string> SizesIn(const std::string& text) {
  static const std::regex size(R"(\d+x\d+)");
  return {std::sregex_token_iterator(text.begin(), text.end(), size), std::sregex_token_iterator()};
}

// The rest of the line of output that follows the first occurrence of
// start; empty when start is not there.
std::string LineAfter(const std::string& output, const std::string& start) {
  const size_t at = output.find(start);
  if (at == std::string::npos) return {};
  const size_t from = at + start.size();
  return output.substr(from, output.find('\n', from) - from);
}

// The sizes --help lists for profile: on the "--size" line for every
// profile or on a "--size with profiles ..." line that names it.
std::vector<std::string> HelpSizes(const std::string& help, int profile) {
  std::istringstream in(help);
  for (std::string line; std::getline(in, line);) {
    const size_t colon = line.find(": ");
    if (!line.starts_with("  --size") || colon == std::string::npos) continue;
    const std::string which = line.substr(0, colon);
    if (which == "  --size" || (which.starts_with("  --size with profiles ") &&
                                std::regex_search(which, std::regex("\\b" + std::to_string(profile) + "\\b"))))
      return SizesIn(line.substr(colon));
  }
  return {};
}

// The lines --verbose prints about the choices in effect, in order.
std::vector<std::string> ChoiceLines(const std::string& output) {
  static const std::regex choice(
      "^(profile|size|frame rate|video bit rate|audio channels|audio bit rate|sample rate|output folder|overwrite): "
      ".*\\[(command line|settings file|default)\\]$");
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);)
    if (std::regex_match(line, choice)) lines.push_back(line);
  return lines;
}

// A size is offered (in --help and in refusals) only when the profile can
// encode it, and every size offered is taken. A value the profile cannot
// use is the command line's fault when given there (status 2 with usage)
// and the settings file's when stored there (status 1, the file named, no
// usage). --verbose says each choice and its origin, the same whether the
// profile comes from --profile or from the file. No conversion runs: the
// file to convert does not exist.
TEST(BatchCli, ChoicesOfferOnlyWhatTheProfileCanUseAndSayWhereTheyCameFrom) {
  const std::set<std::string> h263Sizes = {"128x96", "176x144", "352x288", "704x576", "1408x1152"};
  for (const int profile : {1, 3}) {
    SCOPED_TRACE("profile " + std::to_string(profile));
    const std::string chosen = "--profile " + std::to_string(profile);
    Batch batch;
    ASSERT_EQ(batch.Run("--help"), 0) << batch.output;
    const std::vector<std::string> listed = HelpSizes(batch.output, profile);
    ASSERT_GE(listed.size(), 2u) << batch.output;
    EXPECT_EQ(batch.Run(chosen + " --size 320x240 missing.avi"), 2);
    std::vector<std::string> refusal = SizesIn(LineAfter(batch.output, "can encode only "));
    ASSERT_FALSE(refusal.empty()) << batch.output;
    EXPECT_EQ(refusal.back(), "320x240");  // the refused size, named last
    refusal.pop_back();
    EXPECT_EQ(refusal, listed) << batch.output;
    EXPECT_EQ(batch.Run(chosen + " --size 1x1 missing.avi"), 2);
    EXPECT_EQ(SizesIn(LineAfter(batch.output, "values of profile ")), listed) << batch.output;
    for (const std::string& size : listed) {
      SCOPED_TRACE(size);
      EXPECT_TRUE(h263Sizes.count(size));
      EXPECT_EQ(batch.Run(chosen + " --size " + size + " --output-folder out missing.avi"), 1) << batch.output;
      EXPECT_EQ(batch.output.find("usage:"), std::string::npos) << batch.output;
    }
  }

  struct Case {
    const char* name;
    const char* stored;  // the settings file's lines
    const char* args;
    int status;
    const char* said;
  };
  const Case cases[] = {
      {"stored size H.263 cannot encode", "Profile=1\nVideoSize=3\n", "", 1,
       "gives VideoSize 320x240, which profile 1 cannot encode: H.263 can encode only"},
      {"stored size, H.263 profile given", "Profile=0\nVideoSize=4\n", "--profile 3", 1,
       "gives VideoSize 160x120, which profile 3 cannot encode"},
      {"stored index outside its list", "Profile=1\nAudioBitrate=8\n", "", 1,
       "gives AudioBitrate 8, which is not an index from 0 to 7"},
      {"stored profile outside the list", "Profile=7\n", "", 1, "gives Profile 7, which is not an index"},
      {"the same size given", "", "--profile 1 --size 320x240", 2, "--size 320x240: H.263 can encode only"},
      {"the same size given, stored profile", "Profile=1\n", "--size 320x240", 2, "--size 320x240: H.263"},
      {"the same bit rate given", "Profile=1\n", "--audio-bitrate 13", 2, "--audio-bitrate 13 is not one of"},
      {"given values replace bad stored ones", "Profile=9\nVideoSize=3\n", "--profile 1 --size 128x96", 1,
       "missing.avi"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Batch batch;
    batch.Store(c.stored);
    EXPECT_EQ(batch.Run(std::string(c.args) + " --output-folder out missing.avi"), c.status) << batch.output;
    EXPECT_NE(batch.output.find(c.said), std::string::npos) << batch.output;
    EXPECT_EQ(batch.output.find("usage:") != std::string::npos, c.status == 2) << batch.output;
    const bool fileBlamed = std::string(c.said).starts_with("gives");
    EXPECT_EQ(std::regex_search(batch.output,
                                std::regex("vantrel-batch: the settings file \\S*/config/Vantrel/Options.ini gives")),
              fileBlamed)
        << batch.output;
  }

  for (int profile = 0; profile < 5; ++profile) {
    SCOPED_TRACE("profile " + std::to_string(profile));
    Batch batch;
    batch.Store("Profile=" + std::to_string(profile) +
                "\nVideoSize=2\nFrameRate=3\nAudioChannels=0\nAudioBitrate=3\nOverwrite=False\n");
    batch.Run("--verbose --output-folder out missing.avi");
    const std::vector<std::string> stored = ChoiceLines(batch.output);
    ASSERT_EQ(stored.size(), 9u) << batch.output;
    EXPECT_EQ(batch.output.find(stored[0]), 0u) << batch.output;
    batch.Run("--verbose --output-folder out --profile " + std::to_string(profile) + " missing.avi");
    std::vector<std::string> given = ChoiceLines(batch.output);
    ASSERT_EQ(given.size(), 9u) << batch.output;
    EXPECT_TRUE(stored[0].ends_with("[settings file]")) << stored[0];
    EXPECT_TRUE(given[0].ends_with("[command line]")) << given[0];
    given[0] = stored[0];
    EXPECT_EQ(given, stored);
    EXPECT_NE(batch.output.find("audio bit rate: " + std::string(profile == 1 || profile == 3 ? "6.7" : "56") +
                                "kbps [settings file]"),
              std::string::npos)
        << batch.output;
  }

  // Another profile keeps the stored audio values it also has and takes
  // its own for the others.
  Batch batch;
  batch.Store("Profile=0\nAudioChannels=0\nAudioBitrate=3\nAudioSampleRate=0\n");
  batch.Run("--verbose --profile 1 --output-folder out missing.avi");
  EXPECT_NE(batch.output.find("audio channels: 1 (Mono) [settings file]\n"), std::string::npos) << batch.output;
  EXPECT_NE(batch.output.find("sample rate: 8000Hz [settings file]\n"), std::string::npos) << batch.output;
  const std::string bitrate = LineAfter(batch.output, "audio bit rate: ");
  EXPECT_TRUE(bitrate.ends_with("kbps [default]")) << batch.output;
  EXPECT_EQ(bitrate.find("56"), std::string::npos) << batch.output;
}

// Ctrl-C while two files convert: both stop and leave nothing behind (no
// partial file under an ordinary name, no temporary file), the third never
// starts, the summary is printed and the status is 130.
TEST(BatchCli, CtrlCStopsTheRunningFilesCleanly) {
  ASSERT_TRUE(test::FixturesAvailable());
  Batch batch;
  const std::string file = test::Fixture("fps25_40s.avi");
  const std::string log = batch.dir / "log.txt";
  // Slow settings, so the signal surely meets the running files.
  const int status = test::RunCommand(
      "cd " + Quoted(batch.dir.path()) + " && log=" + Quoted(log) + "; XDG_CONFIG_HOME=config " VANTREL_BATCH_PATH
      " --profile 4 --size 704x576 --frame-rate 60 --video-bitrate 512 --parallel 2 --output-folder out " +
          file + " " + file + " " + file +
          " >\"$log\" 2>&1 & pid=$!; "
          "for i in $(seq 300); do [ $(grep -c Converting \"$log\") -ge 2 ] && break; sleep 0.05; done; "
          // Both outputs (still under their temporary names) hold pictures,
          // and neither is near its end: a fixed wait was outrun on a fast day.
          "written() { n=0; for f in out/.vantrel-*.part; do [ -f \"$f\" ] && [ $(stat -c %s \"$f\") -ge 1000 ] && "
          "n=$((n+1)); done; echo $n; }; "
          "for i in $(seq 1000); do [ $(written) -ge 2 ] && break; sleep 0.01; done; "
          "kill -INT $pid; wait $pid",
      batch.output);
  const std::string printed = Contents(log);
  EXPECT_EQ(status, 130) << printed;
  EXPECT_NE(printed.find("Stopped"), std::string::npos) << printed;
  EXPECT_NE(printed.find("Not converted"), std::string::npos) << printed;
  EXPECT_NE(printed.find("0 of 3 files converted"), std::string::npos) << printed;
  std::vector<std::string> left;
  for (const auto& entry : fs::directory_iterator(batch.dir / "out")) left.push_back(entry.path().filename());
  EXPECT_TRUE(left.empty()) << left.front();
}

}  // namespace
}  // namespace vantrel
