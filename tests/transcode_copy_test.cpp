// Stream copy from every kind of input into a container that takes its
// codecs, through the engine's option language as a caller sets it up.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/engine.h"
#include "media_probe.h"
#include "test_support.h"

namespace vantrel {
namespace {

struct CopyCase {
  const char* input;
  const char* output;  // file name; the container follows from it
  // The library's RealMedia muxer writes copied RV10 pictures that its own
  // decoder refuses (ffmpeg -c copy gives the same file): no decode check.
  bool decodable = true;
};

class StreamCopyTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(StreamCopyTest, KeepsCodecsPacketsAndDuration) {
  ASSERT_TRUE(test::FixturesAvailable());
  const std::string in = test::Fixture(GetParam().input);
  test::TempDir dir;
  const std::string out = dir / GetParam().output;
  test::EnsureLibrariesLoaded();
  TCustomFFmpeg e;
  e.ResetEngine();
  ASSERT_TRUE(e.OpenInputFile(in)) << e.LastError();
  e.SetOption("vcodec", "copy");
  e.SetOption("acodec", "copy");
  ASSERT_TRUE(e.OpenOutputFile(out)) << e.LastError();
  e.StartJob(false);
  const TJobResult result = e.Result();
  ASSERT_FALSE(result.ErrorOccurred) << result.ErrorMessage;
  EXPECT_TRUE(result.Completed);

  const test::Probe source = test::ProbeFile(in), copy = test::ProbeFile(out);
  // A container that flags no key frame (SWF) gives no picture a copy may
  // start with.
  const int expectedPackets = test::VideoPacketsFromFirstKey(in);
  EXPECT_EQ(copy.videoCodec, expectedPackets > 0 ? source.videoCodec : "");
  EXPECT_EQ(copy.audioCodec, source.audioCodec);
  EXPECT_EQ(copy.videoPackets, expectedPackets);
  // SWF states no duration; its content lasts 4 s.
  EXPECT_NEAR(copy.duration, source.duration > 0 ? source.duration : 4.0, 0.1);
  std::string errors;
  if (GetParam().decodable) {
    EXPECT_TRUE(test::DecodesCleanly(out, errors)) << errors;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Containers, StreamCopyTest,
    ::testing::Values(CopyCase{"avi_mpeg4.avi", "out.mp4"}, CopyCase{"divx.avi", "out.avi"},
                      CopyCase{"xvid.avi", "out.mkv"}, CopyCase{"mpeg_ps.mpg", "out.ts"},
                      CopyCase{"wmv.wmv", "out.asf"}, CopyCase{"asf.asf", "out.wmv"}, CopyCase{"rm.rm", "out.rm", false},
                      CopyCase{"vcd.dat", "out.mpg"}, CopyCase{"quicktime.mov", "out.mkv"},
                      CopyCase{"quicktime.mov", "out.mp4"}, CopyCase{"swf.swf", "out.flv"},
                      CopyCase{"mkv.mkv", "out.mkv"}, CopyCase{"flv.flv", "out.flv"}, CopyCase{"mp4.mp4", "out.mkv"},
                      CopyCase{"ts.ts", "out.mpg"}),
    [](const ::testing::TestParamInfo<CopyCase>& info) {
      std::string name = std::string(info.param.input) + "_to_" + info.param.output;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

}  // namespace
}  // namespace vantrel
