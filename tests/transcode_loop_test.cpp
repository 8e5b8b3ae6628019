// The main loop: limits, time stamp corrections, several inputs, stopping,
// bit-stream filters, and the volume applied to decoded audio.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "transcode_job_support.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;
using test::HandMadeJob;

constexpr auto V = AVMEDIA_TYPE_VIDEO;
constexpr auto A = AVMEDIA_TYPE_AUDIO;

class TranscodeLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::FixturesAvailable());
  }
  void RunOk(HandMadeJob& job) {
    job.Run();
    ASSERT_FALSE(job.ErrorOccurred) << job.ErrorMessage;
  }
  test::TempDir dir;
};

TEST_F(TranscodeLoopTest, VideoFrameLimitGivesExactlyThatManyFrames) {
  HandMadeJob job;
  job.AddInput(test::Fixture("fps25_10s.avi"));
  job.AddOutput(dir / "out.avi", {{V, true}, {A, true}});
  job.MaxFrames[0] = 100;
  RunOk(job);
  EXPECT_TRUE(job.Completed);
  EXPECT_EQ(test::ProbeFile(dir / "out.avi").videoPackets, 100);
}

TEST_F(TranscodeLoopTest, RecordingTimeCutsTheOutput) {
  HandMadeJob job;
  job.AddInput(test::Fixture("fps25_10s.avi"));
  job.AddOutput(dir / "out.mkv", {{V, true}, {A, true}});
  job.RecordingTime = 3000000;
  RunOk(job);
  const test::Probe p = test::ProbeFile(dir / "out.mkv");
  EXPECT_NEAR(p.duration, 3.0, 0.045);
  EXPECT_NEAR(p.videoPackets, 75, 1);
}

TEST_F(TranscodeLoopTest, ClockJumpInATransportStreamIsTakenOut) {
  HandMadeJob job;
  job.AddInput(test::Fixture("ts_jump.ts"));
  job.AddOutput(dir / "out.ts", {{V, true}, {A, true}});
  RunOk(job);
  EXPECT_NEAR(test::ProbeFile(dir / "out.ts").duration, 10.0, 0.3);
}

TEST_F(TranscodeLoopTest, CopyTsKeepsTheClockJump) {
  HandMadeJob job;
  job.AddInput(test::Fixture("ts_jump.ts"));
  job.AddOutput(dir / "out.ts", {{V, true}, {A, true}});
  job.CopyTs = true;
  RunOk(job);
  EXPECT_GT(test::ProbeFile(dir / "out.ts").duration, 35.0);
}

// Video from a 4 s file, audio from a 10 s file.
void TwoInputs(HandMadeJob& job, const std::string& out) {
  job.AddInput(test::Fixture("video_only.avi"));
  job.AddInput(test::Fixture("fps25_10s.avi"));
  job.AddOutput(out, {{V, true}, {A, true}});
  job.StreamMaps[0] = TStreamMapEntry{0, 0, 0, 0};
  job.StreamMaps[1] = TStreamMapEntry{1, 1, 1, 1};
  job.StreamMapCount = 2;
}

TEST_F(TranscodeLoopTest, WithoutShortestTheLongerInputGoesOn) {
  HandMadeJob job;
  TwoInputs(job, dir / "out.mkv");
  RunOk(job);
  EXPECT_NEAR(test::ProbeFile(dir / "out.mkv").duration, 10.0, 0.2);
}

TEST_F(TranscodeLoopTest, ShortestEndsAtTheFirstEndOfFile) {
  HandMadeJob job;
  TwoInputs(job, dir / "out.mkv");
  job.Shortest = 1;
  RunOk(job);
  EXPECT_TRUE(job.Completed);
  EXPECT_NEAR(test::ProbeFile(dir / "out.mkv").duration, 4.0, 0.3);
}

TEST_F(TranscodeLoopTest, StopDuringARunStillWritesTheTrailer) {
  HandMadeJob job;
  job.AddInput(test::Fixture("fps25_10s.avi"), true);
  job.AddOutput(dir / "out.mp4", {{V, true}, {A, true}});
  std::atomic<bool> ended{false};
  job.OnTerminate = [&](TCustomFFmpeg*) { ended = true; };
  auto thread = job.StartJob(true);
  ASSERT_NE(thread, nullptr);
  thread->Resume();
  std::this_thread::sleep_for(1500ms);
  const auto asked = std::chrono::steady_clock::now();
  job.RequestStop();
  while (!ended && std::chrono::steady_clock::now() - asked < 5s) std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(ended);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 1s);
  EXPECT_FALSE(job.Completed);
  EXPECT_FALSE(job.ErrorOccurred) << job.ErrorMessage;
  EXPECT_EQ(job.CountLogged("muxing overhead"), 1);
  std::string errors;
  EXPECT_TRUE(test::DecodesCleanly(dir / "out.mp4", errors)) << errors;
  const double d = test::ProbeFile(dir / "out.mp4").duration;
  EXPECT_GT(d, 1.0);
  EXPECT_LT(d, 3.0);
}

TEST_F(TranscodeLoopTest, PacketsPassTheStreamsFilterChain) {
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(dir / "out.avi", {{V, true}, {A, true}});
  job.SetFilterChain(0, 0, "null,null");
  RunOk(job);
  EXPECT_EQ(test::ProbeFile(dir / "out.avi").videoPackets, test::VideoPacketsFromFirstKey(test::Fixture("avi_mpeg4.avi")));
}

TEST_F(TranscodeLoopTest, AFilterThatRefusesTheStreamNamesItself) {
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(dir / "out.avi", {{V, true}, {A, true}});
  job.SetFilterChain(0, 0, "h264_mp4toannexb");
  job.Run();
  EXPECT_TRUE(job.ErrorOccurred);
  EXPECT_EQ(job.ErrorMessage.rfind("h264_mp4toannexb failed for stream 0, codec copy: ", 0), 0u) << job.ErrorMessage;
}

TEST_F(TranscodeLoopTest, FileSizeLimitEndsTheJob) {
  HandMadeJob job;
  job.AddInput(test::Fixture("fps25_10s.avi"));
  job.AddOutput(dir / "out.avi", {{V, true}, {A, true}});
  job.LimitFileSize = 200000;
  RunOk(job);
  EXPECT_TRUE(job.Completed);
  const double d = test::ProbeFile(dir / "out.avi").duration;
  EXPECT_GT(d, 1.0);
  EXPECT_LT(d, 8.0);
  EXPECT_LT(std::filesystem::file_size(dir / "out.avi"), 300000u);
}

TEST_F(TranscodeLoopTest, DecodedMp3FramesAdvanceTheStreamTime) {
  HandMadeJob job;
  job.AddInput(test::Fixture("audio_only.mp3"));
  job.BuildInputTables();
  TInputStreamState& ist = job.InputStreams[0];
  ist.Discard = false;
  ist.DecodingNeeded = true;
  job.OpenDecoders();
  ASSERT_EQ(job.OpenedDecoders.size(), 1u);
  PacketPtr pkt = MakePacket();
  int64_t lastStep = 0;
  for (int i = 0; i < 20 && lav::av_read_frame(job.InputFiles[0].get(), pkt.get()) >= 0; ++i) {
    // Without its decode time the packet's time is the prediction.
    pkt->dts = pkt->pts = AV_NOPTS_VALUE;
    ASSERT_EQ(job.OutputPacket(ist, 0, pkt.get()), 0);
    lav::av_packet_unref(pkt.get());
    if (ist.NextPts != ist.Pts) lastStep = ist.NextPts - ist.Pts;
  }
  EXPECT_EQ(lastStep, 26122);  // 1152 samples at 44100 Hz, truncated
  EXPECT_EQ(job.OutputPacket(ist, 0, nullptr), 0);
  job.CloseCodecs();
  EXPECT_TRUE(job.OpenedDecoders.empty());
}

// ---- volume on decoded audio ----

FramePtr AudioFrame(AVSampleFormat format, int channels, int samples) {
  FramePtr f = MakeFrame();
  f->format = format;
  f->nb_samples = samples;
  lav::av_channel_layout_default(&f->ch_layout, channels);
  EXPECT_GE(lav::av_frame_get_buffer(f.get(), 0), 0);
  return f;
}

TEST(AudioVolumeTest, SixteenBitSamplesRoundAndClip) {
  test::EnsureLibrariesLoaded();
  FramePtr f = AudioFrame(AV_SAMPLE_FMT_S16, 2, 2);
  int16_t* s = reinterpret_cast<int16_t*>(f->data[0]);
  s[0] = 1000, s[1] = -1000, s[2] = 20000, s[3] = -20000;
  TEngineJob::ApplyVolume(f.get(), 384);
  EXPECT_EQ(s[0], 1500);
  EXPECT_EQ(s[1], -1500);
  EXPECT_EQ(s[2], 30000);
  EXPECT_EQ(s[3], -30000);
  TEngineJob::ApplyVolume(f.get(), 512);
  EXPECT_EQ(s[2], 32767);
  EXPECT_EQ(s[3], -32768);
  EXPECT_EQ(s[0], 3000);
  TEngineJob::ApplyVolume(f.get(), 1);  // (3000 * 1 + 128) >> 8
  EXPECT_EQ(s[0], 12);
}

TEST(AudioVolumeTest, PlanarFloatAndUnsignedFormats) {
  test::EnsureLibrariesLoaded();
  FramePtr f = AudioFrame(AV_SAMPLE_FMT_FLTP, 2, 3);
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < 3; ++i) reinterpret_cast<float*>(f->extended_data[c])[i] = 0.5f;
  TEngineJob::ApplyVolume(f.get(), 128);
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(reinterpret_cast<float*>(f->extended_data[c])[i], 0.25f);

  FramePtr u = AudioFrame(AV_SAMPLE_FMT_U8, 1, 3);
  u->data[0][0] = 128, u->data[0][1] = 228, u->data[0][2] = 0;
  TEngineJob::ApplyVolume(u.get(), 512);
  EXPECT_EQ(u->data[0][0], 128);  // silence stays silence
  EXPECT_EQ(u->data[0][1], 255);
  EXPECT_EQ(u->data[0][2], 0);
}

}  // namespace
}  // namespace vantrel
