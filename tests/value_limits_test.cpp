// Values nobody expects: time stamps at the ends of the 64-bit range, floats
// too large for the integers they become, printf directives with zero
// padding, a pad the picture format cannot hold, and a subtitle whose
// encoding fails. Meant to run under the sanitizers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "binding/helpers.h"
#include "binding/message_format.h"
#include "options_test_engine.h"
#include "output_rig.h"

namespace vantrel::test {
namespace {

constexpr int64_t kMax = INT64_MAX;

TEST(ValueLimits, TimeStampArithmeticSaturates) {
  EnsureLibrariesLoaded();
  EXPECT_EQ(SatAdd(kMax, 1), kMax);
  EXPECT_EQ(SatAdd(AV_NOPTS_VALUE + 1, -1), -kMax) << "never the library's 'no time stamp'";
  EXPECT_EQ(SatSub(-kMax, kMax), -kMax);
  EXPECT_EQ(SatSub(kMax - 1, -2), kMax);
  EXPECT_EQ(SatSub(5, 7), -2);
  EXPECT_EQ(SatMul(kMax / 2, 3), kMax);
  EXPECT_EQ(SatMul(kMax / 2, -3), -kMax);
  EXPECT_EQ(SatRound(1e300), kMax);
  EXPECT_EQ(SatRound(-1e300), -kMax);
  EXPECT_EQ(SatRound(NAN), 0);
  EXPECT_EQ(SatRescale(kMax - 1, AVRational{1, 90000}, AVRational{1, 1000000}), kMax);
  EXPECT_EQ(SatRescale(-kMax, AVRational{1, 90000}, AVRational{1, 1000000}), -kMax);
  EXPECT_EQ(SatRescale(90000, AVRational{1, 90000}, AVRational{1, 1000000}), 1000000);

  // The discontinuity check and the file offset, fed the extremes of a hostile file.
  OptionJob e;
  AVFormatContext* ic = lav::avformat_alloc_context();
  AVStream* st = lav::avformat_new_stream(ic, nullptr);
  st->time_base = AVRational{1, 90000};
  TInputStreamState ist;
  ist.Stream = st;
  ist.HasDts = true;
  const int64_t cases[][3] = {// packet dts, stream's next time, its last time
                              {kMax - 1, -kMax, -kMax},
                              {AV_NOPTS_VALUE + 1, kMax, kMax},
                              {kMax, kMax - 1, kMax - 1},
                              {-kMax, 0, 0}};
  for (const auto& c : cases) {
    e.InputFilesTsOffset[0] = c[0] > 0 ? -kMax : kMax;
    ist.NextPts = c[1];
    ist.Pts = c[2];
    PacketPtr pkt = MakePacket();
    pkt->dts = pkt->pts = c[0];
    e.CorrectDiscontinuity(pkt.get(), ist);
    EXPECT_NE(pkt->dts, AV_NOPTS_VALUE) << c[0];
    EXPECT_NE(pkt->pts, AV_NOPTS_VALUE) << c[0];
    EXPECT_NE(e.InputFilesTsOffset[0], AV_NOPTS_VALUE) << c[0];
    // The copy path's clock follows the packet without wrapping.
    ist.DecodingNeeded = false;
    EXPECT_EQ(e.OutputPacket(ist, 0, pkt.get()), 0);
    EXPECT_NE(ist.NextPts, AV_NOPTS_VALUE);
  }
  lav::avformat_free_context(ic);
}

TEST(ValueLimits, FloatsTooLargeForTheirIntegersAreRefused) {
  OptionEngine e;
  EXPECT_EQ(Refusal([&] { e.SetOption("muxdelay", "1e30"); }),
            "Value 1e30 for option muxdelay is out of range: it must lie between -2147.48 and 2147.48");
  EXPECT_NE(Refusal([&] { e.SetOption("muxpreload", "3000"); }), "");
  EXPECT_NE(Refusal([&] { e.SetOption("dts_delta_threshold", "1e20"); }), "");
  EXPECT_NE(Refusal([&] { e.SetOption("aq", "-3e7"); }), "");
  EXPECT_FLOAT_EQ(e.Options().MuxMaxDelay, 0.7f) << "a refused value leaves the option as it was";
  e.SetOption("muxdelay", "2000");
  e.SetOption("muxpreload", "0.25");
  e.SetOption("dts_delta_threshold", "1e9");
  e.SetOption("aq", "5");
  EXPECT_FLOAT_EQ(e.Options().MuxMaxDelay, 2000.0f);
  EXPECT_FLOAT_EQ(e.Options().MuxPreload, 0.25f);
  e.Record().SetMuxMaxDelay(1e30f);
  e.Record().SetMuxPreload(1e30f);
  EXPECT_FLOAT_EQ(e.Options().MuxMaxDelay, 2000.0f);
  EXPECT_FLOAT_EQ(e.Options().MuxPreload, 0.25f);
}

// The statistics file is named after the clock, each field two digits wide.
TEST(ValueLimits, ZeroPaddedDirectivesAndTheStatisticsFileName) {
  EXPECT_EQ(Format("%02d%02d%02d", 9, 5, 3), "090503");
  EXPECT_EQ(Format("%05d|%-05d|%05d", -42, 7, int64_t(123456)), "-0042|7    |123456");
  EXPECT_EQ(Format("%08.3f|%06x|%+04d|%5s", -3.14159, 255, 7, "ab"), "-003.142|0000ff|+007|   ab");
  EXPECT_EQ(Format("%.3d|%05.1f|%3d", 7, 2.25, 1234), "007|002.2|1234");

  OptionEngine e;
  const auto clock = [] {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d", t.tm_hour, t.tm_min, t.tm_sec);
    return std::string(text);
  };
  const std::string before = clock();
  e.SetOption("vstats", "");
  const std::string after = clock();
  const std::string name = e.Options().VStatsFileName;
  const std::string base = name.substr(name.rfind('/') + 1);
  EXPECT_TRUE(base == "vstats_" + before + ".log" || base == "vstats_" + after + ".log") << name;
}

// yuv410p keeps one chroma sample per 4x4 pixels: a 2-line band splits it.
TEST(ValueLimits, PadTheFormatCannotHoldIsRefusedOnTheScalingPath) {
  TOutputRig rig;
  rig.Engine.FramePadTop = rig.Engine.FramePadBottom = 2;
  ASSERT_TRUE(rig.NewEncoder("rawvideo"));
  rig.SetVideo(64, 64, AVRational{1, 25}, 128, 120, AV_PIX_FMT_YUV410P);
  rig.Open("rawvideo", "out.yuv");
  ASSERT_TRUE(rig.Ost.VideoResample);
  FramePtr pic = MakePicture(128, 120);
  EXPECT_EQ(rig.Picture(pic.get(), 0), 0) << "nothing is encoded";
  EXPECT_TRUE(rig.Engine.Logged("error padding picture"));
  rig.Engine.ExitOnError = true;
  EXPECT_THROW(rig.Picture(pic.get(), 40000), FFMpegException);
}

// A decoded subtitle whose encoding is refused: the decoder's subtitle is
// still released (the leak checker sees it otherwise).
TEST(ValueLimits, SubtitleIsFreedWhenItsEncodingFails) {
  TOutputRig rig;
  const AVCodec* codec = lav::avcodec_find_decoder_by_name("subrip");
  ASSERT_NE(codec, nullptr);
  AVCodecContext* dec = lav::avcodec_alloc_context3(codec);
  ASSERT_GE(lav::avcodec_open2(dec, codec, nullptr), 0);
  rig.Ist.Decoder = dec;
  rig.Engine.ExitOnError = true;
  rig.Engine.OutputStreams.resize(1);
  rig.Engine.OutputStreams[0].EncodingNeeded = true;
  rig.Engine.OutputStreams[0].SourceIndex = 0;
  PacketPtr pkt = MakePacket();
  const char text[] = "A subtitle line";
  ASSERT_GE(lav::av_new_packet(pkt.get(), int(sizeof text - 1)), 0);
  std::memcpy(pkt->data, text, sizeof text - 1);
  pkt->duration = 1000;
  // No presentation time: the encoding side refuses the subtitle.
  EXPECT_THROW(rig.Engine.DecodeSubtitle(rig.Ist, 0, pkt.get()), FFMpegException);
  rig.Engine.OutputStreams.clear();
  lav::avcodec_free_context(&dec);
  rig.Ist.Decoder = rig.Dec;
}

}  // namespace
}  // namespace vantrel::test
