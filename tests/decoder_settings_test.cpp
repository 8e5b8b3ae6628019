// The decoder settings the application gives a task, through whole jobs:
// reduced-size ("lowres") decoding, compared with a job that decodes at full
// size, and decoder threads, compared with a job on one thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "video_frames.h"

namespace vantrel::test {
namespace {

// avi_mpeg4.avi: 320x240 MPEG-4 video with MP3 audio, 4 s at 25 pictures a second.
// Each job writes 80x60 raw pictures.
constexpr int kOutW = 80, kOutH = 60;
constexpr size_t kOutBytes = size_t(kOutW) * kOutH * 3 / 2;
constexpr size_t kSourcePictures = 100;

using Options = std::vector<std::pair<std::string, std::string>>;

struct LowresJob {
  RawVideoJob job;
  std::vector<std::string> pictures;

  // Input options before the input, output options after it.
  LowresJob(const std::string& out, const Options& input, const Options& output) {
    job.Options(input);
    EXPECT_TRUE(job.e.OpenInputFile(Fixture("avi_mpeg4.avi"))) << job.e.LastError;
    job.Options(output);
    job.Options({{"an", ""}, {"f", "rawvideo"}, {"vcodec", "rawvideo"}, {"pix_fmt", "yuv420p"}, {"s", "80x60"}});
    EXPECT_TRUE(job.e.OpenOutputFile(out)) << job.e.LastError;
    job.e.StartJob(false);
    EXPECT_TRUE(job.e.Completed) << job.e.ErrorMessage;
    pictures = ReadPictures(out, kOutBytes);
  }
};

double MeanPsnr(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  EXPECT_EQ(a.size(), b.size());
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += Psnr(a[i], b[i]);
  return sum / double(a.size());
}

TEST(LowresDecoding, QuarterSizeDecodingGivesTheFullSizeJobsPicturesAndCropsTheSameRegion) {
  ASSERT_TRUE(FixturesAvailable());
  TempDir dir;
  const Options crop = {{"croptop", "32"}, {"cropbottom", "48"}, {"cropleft", "64"}, {"cropright", "96"}};
  const Options lowres = {{"lowres", "2"}};

  LowresJob full(dir / "full.yuv", {}, {});
  LowresJob reduced(dir / "reduced.yuv", lowres, {});
  LowresJob fullCrop(dir / "full_crop.yuv", {}, crop);
  LowresJob reducedCrop(dir / "reduced_crop.yuv", lowres, crop);

  // Same output size (each file holds whole 80x60 pictures) and count.
  EXPECT_EQ(full.pictures.size(), kSourcePictures);
  EXPECT_EQ(reduced.pictures.size(), full.pictures.size());
  EXPECT_EQ(fullCrop.pictures.size(), full.pictures.size());
  EXPECT_EQ(reducedCrop.pictures.size(), full.pictures.size());

  // The reduced decode shows the same picture; a decoder that ignored the
  // factor, or a scaler fed the wrong size, would not come near.
  EXPECT_GT(MeanPsnr(reduced.pictures, full.pictures), 24.0);
  // The crop in input pixels takes the same region at quarter size, and not
  // four times as much of it.
  const double sameRegion = MeanPsnr(reducedCrop.pictures, fullCrop.pictures);
  EXPECT_GT(sameRegion, 20.0);
  EXPECT_GT(sameRegion, MeanPsnr(reducedCrop.pictures, full.pictures) + 6.0);
  EXPECT_GT(sameRegion, MeanPsnr(reduced.pictures, fullCrop.pictures) + 6.0);

  // The option reaches the video decoder only: the audio decoder would say
  // it cannot decode at reduced size.
  RawVideoJob audio;
  audio.Options(lowres);
  ASSERT_TRUE(audio.e.OpenInputFile(Fixture("avi_mpeg4.avi"))) << audio.e.LastError;
  audio.Options({{"vn", ""}, {"f", "wav"}});
  ASSERT_TRUE(audio.e.OpenOutputFile(dir / "audio.wav")) << audio.e.LastError;
  audio.e.StartJob(false);
  EXPECT_TRUE(audio.e.Completed) << audio.e.ErrorMessage;
  EXPECT_FALSE(audio.Logged("lowres"));
}

TEST(LowresDecoding, AFactorTheDecoderDoesNotOfferDecodesAtFullSize) {
  ASSERT_TRUE(FixturesAvailable());
  TempDir dir;
  RawVideoJob job;
  job.Options({{"lowres", "2"}});
  ASSERT_TRUE(job.e.OpenInputFile(Fixture("mp4.mp4"))) << job.e.LastError;
  job.Options({{"an", ""}, {"f", "rawvideo"}, {"vcodec", "rawvideo"}, {"pix_fmt", "yuv420p"}, {"cropleft", "64"}});
  ASSERT_TRUE(job.e.OpenOutputFile(dir / "out.yuv")) << job.e.LastError;
  job.e.StartJob(false);
  ASSERT_TRUE(job.e.Completed) << job.e.ErrorMessage;
  // H.264 has no reduced-size decoding: 320x240 less the whole crop.
  EXPECT_EQ(ReadPictures(dir / "out.yuv", size_t(256) * 240 * 3 / 2).size(), 100u);
  EXPECT_FALSE(job.Logged("lowres"));
}

// Frame threads hand pictures out later than one thread would; the job
// must still give each its own time, or pictures are dropped and repeated.
TEST(DecoderThreads, FrameThreadsGiveTheSamePicturesAsOneThread) {
  ASSERT_TRUE(FixturesAvailable());
  TempDir dir;
  for (const char* fixture : {"avi_mpeg4.avi", "mp4.mp4"}) {
    SCOPED_TRACE(fixture);
    std::vector<std::string> pictures[2];
    for (int threads : {1, 4}) {
      RawVideoJob job;
      job.Options({{"decode_threads", std::to_string(threads)}});
      ASSERT_TRUE(job.e.OpenInputFile(Fixture(fixture))) << job.e.LastError;
      job.Options({{"an", ""}, {"f", "rawvideo"}, {"vcodec", "rawvideo"}, {"pix_fmt", "yuv420p"}, {"r", "15"}});
      const std::string out = dir / (std::to_string(threads) + ".yuv");
      ASSERT_TRUE(job.e.OpenOutputFile(out)) << job.e.LastError;
      job.e.StartJob(false);
      ASSERT_TRUE(job.e.Completed) << job.e.ErrorMessage;
      pictures[threads == 1 ? 0 : 1] = ReadPictures(out, size_t(320) * 240 * 3 / 2);
    }
    // 4 s at 15 a second; threads may keep the last source picture's time
    // where one thread ends a picture early, so one picture more at the end.
    const size_t common = std::min(pictures[0].size(), pictures[1].size());
    EXPECT_GE(common, 60u);
    EXPECT_LE(std::max(pictures[0].size(), pictures[1].size()) - common, 1u);
    size_t differing = 0;
    for (size_t i = 0; i < common; ++i) differing += pictures[1][i] != pictures[0][i] ? 1 : 0;
    EXPECT_EQ(differing, 0u);
  }
}

TEST(DecoderThreads, CountOutsideOneToSixteenIsRefused) {
  RawVideoJob job;
  for (const char* bad : {"0", "17"}) EXPECT_THROW(job.e.SetOption("decode_threads", bad), FFMpegException) << bad;
  EXPECT_ANY_THROW(job.e.SetOption("decode_threads", "many"));
}

}  // namespace
}  // namespace vantrel::test
