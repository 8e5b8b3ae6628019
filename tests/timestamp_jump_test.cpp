// A transport stream whose time stamps jump 30 s forward in the middle,
// re-encoded to the phone codec sets, and the muxing order behind it: every
// output stream's decode times increase, and a muxer's refusal says why.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "output_rig.h"
#include "build_paths.h"

namespace vantrel::test {
namespace {

struct TCodecSet {
  const char* vcodec;
  const char* acodec;
  const char* extra;
};

// The ffprobe duration of a file in seconds, NAN when it has none.
double ProbedDuration(const std::string& file) {
  std::string out;
  RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'", out);
  return out.empty() ? NAN : std::atof(out.c_str());
}

TEST(TimestampJump, ReencodedToBothPhoneCodecSetsGivesAValidFile) {
  const std::string input = Fixture("ts_jump.ts");
  ASSERT_TRUE(std::filesystem::exists(input)) << "fixture missing: " << input;
  TempDir dir;
  // Without frame-rate sync ("-vsync 0", at the input's rate) the pictures
  // take the input clock, which runs back a frame after the jump.
  for (const TCodecSet set : {TCodecSet{"h263", "libopencore_amrnb", ""},
                              TCodecSet{"mpeg4", "libopencore_amrnb", ""},
                              TCodecSet{"mpeg4", "libopencore_amrnb", " -vsync 0 -r 25"}}) {
    SCOPED_TRACE(std::string(set.vcodec) + set.extra);
    const std::string out = dir / (std::string(set.vcodec) + (*set.extra ? "_vsync0" : "") + ".3gp");
    std::string log;
    const int rc = RunCommand(std::string(VANTREL_CLI_PATH) + " -i '" + input + "' -vcodec " + set.vcodec +
                                  " -acodec " + set.acodec +
                                  " -s 176x144 -r 15 -b 40000 -ab 12200 -ar 8000 -ac 1" + set.extra + " '" + out + "'",
                              log);
    ASSERT_EQ(rc, 0) << log;
    EXPECT_EQ(log.find("non monotonically increasing dts"), std::string::npos) << log;
    EXPECT_EQ(log.find("Queue input is backward in time"), std::string::npos) << log;
    std::string decodeErrors;
    EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error -i '" + out + "' -f null -", decodeErrors), 0);
    EXPECT_EQ(decodeErrors, "");
    // 10 s of content; the 30 s jump is taken out.
    EXPECT_NEAR(ProbedDuration(out), 10.0, 0.5);
  }
}

// Three encoder packets of a stream, the last two late: they are moved just
// after the one before them, the warning comes once, and the muxer takes all.
TEST(TimestampJump, LatePacketsAreMovedUpAndAMuxingErrorSaysWhy) {
  TOutputRig rig;
  ASSERT_TRUE(rig.NewEncoder("rawvideo"));
  rig.SetVideo(16, 16, AVRational{1, 25}, 16, 16);
  rig.Open("framecrc", "out.crc");
  rig.Engine.OutputStreams.resize(1);
  rig.Engine.OutputStreams[0].Stream = rig.Oc->streams[0];
  const int64_t sent[][2] = {{10, 12}, {10, 10}, {7, 9}};  // dts, pts
  for (const auto& t : sent) {
    PacketPtr pkt = MakePacket();
    ASSERT_GE(lav::av_new_packet(pkt.get(), 4), 0);
    std::memset(pkt->data, 0, 4);
    pkt->dts = t[0];
    pkt->pts = t[1];
    pkt->stream_index = 0;
    rig.Engine.WritePacket(rig.Oc, pkt.get(), rig.Enc, nullptr);
  }
  int warnings = 0;
  for (const std::string& line : rig.Engine.Lines) warnings += line.rfind("Non-increasing decode time", 0) == 0;
  EXPECT_EQ(warnings, 1);

  // A packet for a stream the file does not have: the library's own reason.
  PacketPtr stray = MakePacket();
  ASSERT_GE(lav::av_new_packet(stray.get(), 4), 0);
  stray->stream_index = 5;
  try {
    rig.Engine.WritePacket(rig.Oc, stray.get(), rig.Enc, nullptr);
    ADD_FAILURE() << "the muxer took a packet of a stream it does not have";
  } catch (const FFMpegException& e) {
    EXPECT_STREQ(e.what(), "av_interleaved_write_frame(): Invalid argument");
  }
  rig.Engine.OutputStreams.clear();
  rig.Finish();
  const auto packets = ReadFrameCrc(rig.Path);
  ASSERT_EQ(packets.size(), 3u);
  EXPECT_EQ(packets[0].dts, 10);
  EXPECT_EQ(packets[1].dts, 11);
  EXPECT_EQ(packets[1].pts, 11) << "the presentation time follows a moved decode time";
  EXPECT_EQ(packets[2].dts, 12);
  EXPECT_EQ(packets[2].pts, 12);
}

}  // namespace
}  // namespace vantrel::test
