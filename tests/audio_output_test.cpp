// The audio output on real encoders: frames of the encoder's size, the one
// resampler, the "async" clock and its caps, PCM blocks and refusals.
#include <gtest/gtest.h>

#include "output_rig.h"

namespace vantrel::test {
namespace {

int64_t OptionOf(SwrContext* swr, const char* name) {
  int64_t v = -1;
  lav::av_opt_get_int(swr, name, 0, &v);
  return v;
}

std::string TextOptionOf(SwrContext* swr, const char* name) {
  uint8_t* v = nullptr;
  if (lav::av_opt_get(swr, name, 0, &v) < 0 || !v) return {};
  std::string text(reinterpret_cast<char*>(v));
  lav::av_free(v);
  return text;
}

// pcm_s16le into a raw file: one packet per block, the bytes as they were given.
void OpenPcm(TOutputRig& rig, const char* muxer = "s16le", const char* name = "out.raw") {
  ASSERT_TRUE(rig.NewEncoder("pcm_s16le"));
  rig.SetAudio(AV_SAMPLE_FMT_S16, 44100, 2, AV_SAMPLE_FMT_S16, 44100, 2);
  rig.Open(muxer, name);
}

TEST(AudioEncode, StereoAt44100PassesToAacInFramesOf1024) {
  TOutputRig rig;
  ASSERT_TRUE(rig.NewEncoder("aac"));
  rig.Enc->bit_rate = 128000;
  rig.SetAudio(AV_SAMPLE_FMT_FLTP, 44100, 2, AV_SAMPLE_FMT_FLTP, 44100, 2);
  rig.Open("framecrc", "out.crc");
  EXPECT_FALSE(rig.Ost.Resampler) << "nothing to convert";
  ASSERT_EQ(rig.Enc->frame_size, 1024);
  for (int i = 0; i < 10; ++i) {
    FramePtr block = MakeSamples(1152, 44100, 2, AV_SAMPLE_FMT_FLTP, i * 1152);
    rig.Block(block.get(), int64_t(i) * 1152 * 1000000 / 44100);
    EXPECT_EQ(rig.Ost.SyncOpts % 1024, 0);
    EXPECT_EQ(rig.Ost.SyncOpts + lav::av_audio_fifo_size(rig.Ost.Fifo.get()), (i + 1) * 1152);
  }
  EXPECT_EQ(rig.Ost.SyncOpts, 11 * 1024);
  EXPECT_GT(rig.Engine.AudioSize, 0);
  rig.Finish();
  EXPECT_EQ(lav::av_audio_fifo_size(rig.Ost.Fifo.get()), 0) << "the rest goes out as a small last frame";
  const auto packets = ReadFrameCrc(rig.Path);
  ASSERT_GE(packets.size(), 12u);
  for (size_t i = 0; i + 1 < packets.size(); ++i) EXPECT_EQ(packets[i].duration, 1024);
}

TEST(AudioEncode, SixteenBitInputGetsAFormatConverterOnly) {
  TOutputRig rig;
  ASSERT_TRUE(rig.NewEncoder("aac"));
  rig.SetAudio(AV_SAMPLE_FMT_FLTP, 44100, 2, AV_SAMPLE_FMT_S16, 44100, 2);
  rig.Open("framecrc", "out.crc");
  EXPECT_FALSE(rig.Ost.AudioResample);
  ASSERT_TRUE(rig.Ost.Resampler);
  EXPECT_EQ(OptionOf(rig.Ost.Resampler.get(), "in_sample_fmt"), AV_SAMPLE_FMT_S16);
  EXPECT_EQ(OptionOf(rig.Ost.Resampler.get(), "out_sample_fmt"), AV_SAMPLE_FMT_FLTP);
}

TEST(AudioEncode, StereoAt48000ToMonoAmrAt8000) {
  TOutputRig rig;
  if (!rig.NewEncoder("libopencore_amrnb")) GTEST_SKIP() << "no AMR-NB encoder";
  rig.Enc->bit_rate = 10200;
  rig.SetAudio(AV_SAMPLE_FMT_S16, 8000, 1, AV_SAMPLE_FMT_S16, 48000, 2);
  rig.Open("framecrc", "out.crc");
  EXPECT_TRUE(rig.Ost.AudioResample);
  SwrContext* swr = rig.Ost.Resampler.get();
  ASSERT_TRUE(swr);
  EXPECT_EQ(OptionOf(swr, "in_sample_rate"), 48000);
  EXPECT_EQ(OptionOf(swr, "out_sample_rate"), 8000);
  EXPECT_EQ(TextOptionOf(swr, "in_chlayout"), "stereo");
  EXPECT_EQ(TextOptionOf(swr, "out_chlayout"), "mono");
  for (int i = 0; i < 50; ++i) {
    FramePtr block = MakeSamples(960, 48000, 2, AV_SAMPLE_FMT_S16, i * 960);
    rig.Block(block.get(), int64_t(i) * 20000);
  }
  // One second in: frames of 160 samples, short of a second only by the resampler's delay.
  EXPECT_LT(lav::av_audio_fifo_size(rig.Ost.Fifo.get()), 160);
  EXPECT_GE(rig.Ost.SyncOpts + lav::av_audio_fifo_size(rig.Ost.Fifo.get()), 8000 - 160);
  rig.Finish();
  const auto packets = ReadFrameCrc(rig.Path);
  EXPECT_GE(packets.size(), 49u);
  for (size_t i = 0; i + 1 < packets.size(); ++i) EXPECT_EQ(packets[i].duration, 160);
}

TEST(AudioEncode, PcmWritesOnePacketPerBlockUnchanged) {
  TOutputRig rig;
  OpenPcm(rig, "framecrc", "out.crc");
  for (int i = 0; i < 5; ++i) {
    FramePtr block = MakeSamples(1152, 44100, 2, AV_SAMPLE_FMT_S16, i * 1152);
    rig.Block(block.get(), int64_t(i) * 1152 * 1000000 / 44100);
    EXPECT_EQ(rig.Ost.SyncOpts, (i + 1) * 1152);
  }
  rig.Finish();
  const auto packets = ReadFrameCrc(rig.Path);
  ASSERT_EQ(packets.size(), 5u);
  for (const auto& p : packets) EXPECT_EQ(p.size, 1152 * 4);
  EXPECT_EQ(rig.Engine.AudioSize, 5 * 1152 * 4);
}

TEST(AudioEncode, PcmBytesAreTheInputBytes) {
  TOutputRig rig;
  OpenPcm(rig);
  FramePtr block = MakeSamples(4410, 44100, 2);
  rig.Block(block.get(), 0);
  rig.Finish();
  const auto bytes = ReadBytes(rig.Path);
  ASSERT_EQ(bytes.size(), 4410u * 4);
  EXPECT_EQ(0, std::memcmp(bytes.data(), block->data[0], bytes.size()));
}

TEST(AudioEncode, ResamplerThatCannotBeMadeIsRefused) {
  TOutputRig rig;
  ASSERT_TRUE(rig.NewEncoder("pcm_s16le"));
  rig.SetAudio(AV_SAMPLE_FMT_S16, 44100, 2, AV_SAMPLE_FMT_S16, 0, 2);
  try {
    rig.Open("s16le", "out.raw");
    FAIL() << "no exception";
  } catch (const FFMpegException& e) {
    EXPECT_STREQ(e.what(), "Can not resample 2 channels @ 0 Hz to 2 channels @ 44100 Hz");
  }
}

class AudioClock : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.Engine.AudioSyncMethod = 1;
    rig.Engine.Verbose = 3;
    OpenPcm(rig);
  }
  TOutputRig rig;
};

TEST_F(AudioClock, OutputAheadAtTheStartDropsFromTheFront) {
  rig.Ost.SyncOpts = 22050;  // half a second ahead of the input
  FramePtr small = MakeSamples(1152, 44100, 2);
  rig.Block(small.get(), 0);
  EXPECT_EQ(rig.Engine.AudioSize, 0) << "the whole block is dropped";
  EXPECT_TRUE(rig.Ist.IsStart);
  FramePtr block = MakeSamples(44100, 44100, 2);
  rig.Block(block.get(), 0);
  EXPECT_TRUE(rig.Engine.Logged("discarding 22050 audio samples"));
  EXPECT_FALSE(rig.Ist.IsStart);
  EXPECT_EQ(rig.Engine.AudioSize, 22050 * 4);
  EXPECT_EQ(rig.Ost.SyncOpts, 44100);
  rig.Finish();
  // What is left is the second half of the block.
  const auto bytes = ReadBytes(rig.Path);
  ASSERT_EQ(bytes.size(), 22050u * 4);
  EXPECT_EQ(0, std::memcmp(bytes.data(), block->data[0] + 22050 * 4, bytes.size()));
}

TEST_F(AudioClock, LateStartInsertsSilenceCappedPerBlock) {
  FramePtr block = MakeSamples(1152, 44100, 2);
  rig.Block(block.get(), 5000000);
  // At most 131072 bytes of 16-bit stereo, silence included.
  EXPECT_EQ(rig.Engine.AudioSize, 131072);
  EXPECT_TRUE(rig.Ist.IsStart) << "more silence follows";
  EXPECT_TRUE(rig.Engine.Logged("adding 220500 audio samples of silence"));
  rig.Block(block.get(), 5000000 + 26122);
  EXPECT_EQ(rig.Engine.AudioSize, 2 * 131072);
  EXPECT_TRUE(rig.Ist.IsStart);
  rig.Finish();
  const auto bytes = ReadBytes(rig.Path);
  ASSERT_EQ(bytes.size(), 2u * 131072);
  const size_t silence = (32768 - 1152) * 4;
  for (size_t i = 0; i < silence; ++i) ASSERT_EQ(bytes[i], 0) << i;
  EXPECT_EQ(0, std::memcmp(bytes.data() + silence, block->data[0], 1152 * 4));
}

TEST_F(AudioClock, LateStartWithinTheCapEndsTheStart) {
  FramePtr block = MakeSamples(1152, 44100, 2);
  rig.Block(block.get(), 100000);  // 4410 samples late
  EXPECT_FALSE(rig.Ist.IsStart);
  EXPECT_EQ(rig.Engine.AudioSize, (4410 + 1152) * 4);
}

TEST_F(AudioClock, DriftOfExactlyFiftySamplesIsLeftAlone) {
  rig.Ost.SyncOpts = 44100 - 50;
  FramePtr block = MakeSamples(1152, 44100, 2);
  rig.Block(block.get(), 1000000);
  EXPECT_TRUE(rig.Engine.Lines.empty());
  EXPECT_EQ(rig.Engine.AudioSize, 1152 * 4);
  EXPECT_TRUE(rig.Ist.IsStart);
}

TEST(AudioClockSoft, SmallDriftAfterTheStartIsCompensated) {
  TOutputRig rig;
  rig.Engine.AudioSyncMethod = 100;
  rig.Engine.Verbose = 3;
  OpenPcm(rig);
  EXPECT_TRUE(rig.Ost.AudioResample) << "compensation needs the resampler";
  ASSERT_TRUE(rig.Ost.Resampler);
  rig.Ist.IsStart = false;
  rig.Ost.SyncOpts = 44100 - 80;
  FramePtr block = MakeSamples(4410, 44100, 2);
  rig.Block(block.get(), 1000000);
  EXPECT_TRUE(rig.Engine.Logged("compensating audio timestamp drift:80.00 compensation:80 in:44100"));
  EXPECT_FALSE(rig.Engine.LoggedPrefix("discarding"));
  EXPECT_FALSE(rig.Engine.LoggedPrefix("adding"));
  // Nothing dropped or added: the block comes out stretched by at most the compensation.
  const int64_t produced = rig.Ost.SyncOpts + lav::av_audio_fifo_size(rig.Ost.Fifo.get()) - (44100 - 80);
  EXPECT_NEAR(double(produced), 4410, 100);
}

TEST(AudioClockSoft, LargeDriftAfterTheStartIsCorrectedHard) {
  TOutputRig rig;
  rig.Engine.AudioSyncMethod = 100;
  rig.Engine.Verbose = 3;
  OpenPcm(rig);
  rig.Ist.IsStart = false;
  rig.Ost.SyncOpts = 44100 + 5000;  // beyond the 0.1 s drift threshold
  FramePtr block = MakeSamples(8820, 44100, 2);
  rig.Block(block.get(), 1000000);
  EXPECT_TRUE(rig.Engine.Logged("discarding 5000 audio samples"));
}

}  // namespace
}  // namespace vantrel::test
