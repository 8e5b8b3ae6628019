// The decoder settings the application gives a task, through whole jobs:
// reduced-size ("lowres") decoding, compared with a job that decodes at full
// size, and decoder threads, compared with a job on one thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "engine/picture_ops.h"
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
    EXPECT_TRUE(job.e.OpenInputFile(Fixture("avi_mpeg4.avi"))) << job.e.LastError();
    job.Options(output);
    job.Options({{"an", ""}, {"f", "rawvideo"}, {"vcodec", "rawvideo"}, {"pix_fmt", "yuv420p"}, {"s", "80x60"}});
    EXPECT_TRUE(job.e.OpenOutputFile(out)) << job.e.LastError();
    job.e.StartJob(false);
    EXPECT_TRUE(job.e.Result().Completed) << job.e.Result().ErrorMessage;
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
  ASSERT_TRUE(audio.e.OpenInputFile(Fixture("avi_mpeg4.avi"))) << audio.e.LastError();
  audio.Options({{"vn", ""}, {"f", "wav"}});
  ASSERT_TRUE(audio.e.OpenOutputFile(dir / "audio.wav")) << audio.e.LastError();
  audio.e.StartJob(false);
  EXPECT_TRUE(audio.e.Result().Completed) << audio.e.Result().ErrorMessage;
  EXPECT_FALSE(audio.Logged("lowres"));
}

TEST(LowresDecoding, AFactorTheDecoderDoesNotOfferDecodesAtFullSize) {
  ASSERT_TRUE(FixturesAvailable());
  TempDir dir;
  RawVideoJob job;
  job.Options({{"lowres", "2"}});
  ASSERT_TRUE(job.e.OpenInputFile(Fixture("mp4.mp4"))) << job.e.LastError();
  job.Options({{"an", ""}, {"f", "rawvideo"}, {"vcodec", "rawvideo"}, {"pix_fmt", "yuv420p"}, {"cropleft", "64"}});
  ASSERT_TRUE(job.e.OpenOutputFile(dir / "out.yuv")) << job.e.LastError();
  job.e.StartJob(false);
  ASSERT_TRUE(job.e.Result().Completed) << job.e.Result().ErrorMessage;
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
      ASSERT_TRUE(job.e.OpenInputFile(Fixture(fixture))) << job.e.LastError();
      job.Options({{"an", ""}, {"f", "rawvideo"}, {"vcodec", "rawvideo"}, {"pix_fmt", "yuv420p"}, {"r", "15"}});
      const std::string out = dir / (std::to_string(threads) + ".yuv");
      ASSERT_TRUE(job.e.OpenOutputFile(out)) << job.e.LastError();
      job.e.StartJob(false);
      ASSERT_TRUE(job.e.Result().Completed) << job.e.Result().ErrorMessage;
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


// A job on any fixture into raw pictures of the given size, with the
// decoder's count of the pictures it handed out.
struct DecodedJob {
  RawVideoJob job;
  std::vector<std::string> pictures;
  int decoded = 0;

  DecodedJob(const std::string& fixture, const std::string& out, const Options& input, const Options& output,
             int width, int height) {
    job.Options(input);
    EXPECT_TRUE(job.e.OpenInputFile(Fixture(fixture))) << job.e.LastError();
    job.Options(output);
    job.Options({{"an", ""}, {"f", "rawvideo"}, {"vcodec", "rawvideo"}, {"pix_fmt", "yuv420p"},
                 {"s", std::to_string(width) + "x" + std::to_string(height)}});
    EXPECT_TRUE(job.e.OpenOutputFile(out)) << job.e.LastError();
    job.e.StartJob(false);
    EXPECT_TRUE(job.e.Result().Completed) << job.e.Result().ErrorMessage;
    pictures = ReadPictures(out, size_t(width) * height * 3 / 2);
    decoded = job.e.DecodedPictures();
  }
};

// mp4.mp4 is H.264 with 71 B pictures among its 100, most of them not
// referred to by any other. At 15 pictures a second the sync drops two of
// every five; the non-reference ones among those need not be decoded, and
// the output must not change by a single byte, on one thread or on frame
// threads (which give each picture its own time), from the start or from
// a start time. Where the sync drops nothing, or a hook must see every
// picture, everything is decoded.
TEST(SkipDroppedPictures, TheOutputIsTheSameWithFewerPicturesDecoded) {
  ASSERT_TRUE(FixturesAvailable());
  TempDir dir;
  struct Case {
    const char* rate;
    Options input;  // besides the threads and the skipping
    size_t pictures;
    int skippedAtLeast;  // 0: none skipped
  };
  const Case cases[] = {{"15", {}, 60, 8},
                        {"25", {}, 100, 0},
                        {"15", {{"ss", "1.5"}}, 36, 3},
                        {"25", {{"ss", "1.5"}}, 60, 0}};
  for (const char* threads : {"1", "2"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string("threads ") + threads + ", rate " + c.rate + (c.input.empty() ? "" : ", from 1.5 s"));
      Options input = c.input;
      input.emplace_back("decode_threads", threads);
      DecodedJob all("mp4.mp4", dir / "all.yuv", input, {{"r", c.rate}}, 80, 60);
      input.emplace_back("skip_dropped", "");
      DecodedJob skipped("mp4.mp4", dir / "skipped.yuv", input, {{"r", c.rate}}, 80, 60);
      EXPECT_GE(all.pictures.size(), c.pictures);
      EXPECT_TRUE(skipped.pictures == all.pictures);
      EXPECT_GE(all.decoded, 60);
      if (c.skippedAtLeast > 0)
        EXPECT_LE(skipped.decoded, all.decoded - c.skippedAtLeast);
      else
        EXPECT_EQ(skipped.decoded, all.decoded);
    }
  }
  RawVideoJob hooked;
  int hookCalls = 0;
  hooked.e.SetOnCustomHook([&](TCustomFFmpeg*, THookBitmap&, int, int64_t, bool&, bool&) { ++hookCalls; });
  hooked.Options({{"skip_dropped", ""}});
  ASSERT_TRUE(hooked.e.OpenInputFile(Fixture("mp4.mp4"))) << hooked.e.LastError();
  hooked.Options({{"an", ""}, {"f", "rawvideo"}, {"vcodec", "rawvideo"}, {"pix_fmt", "yuv420p"}, {"r", "15"}});
  ASSERT_TRUE(hooked.e.OpenOutputFile(dir / "hooked.yuv")) << hooked.e.LastError();
  hooked.e.StartJob(false);
  ASSERT_TRUE(hooked.e.Result().Completed) << hooked.e.Result().ErrorMessage;
  EXPECT_EQ(hookCalls, 100);
}

// 2x2 averages, rounded; an odd last column or line pairs with itself.
TEST(PrescaleHalving, EachPixelIsTheMeanOfItsBlock) {
  EnsureLibrariesLoaded();
  FramePtr src = MakeFrame(), dst = MakeFrame();
  src->format = dst->format = AV_PIX_FMT_YUV420P;
  src->width = 6;
  src->height = 3;
  dst->width = 3;
  dst->height = 1;
  ASSERT_GE(lav::av_frame_get_buffer(src.get(), 0), 0);
  ASSERT_GE(lav::av_frame_get_buffer(dst.get(), 0), 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 6; ++x) src->data[0][y * src->linesize[0] + x] = uint8_t(x + 10 * y);
  for (int p = 1; p < 3; ++p)  // chroma 3x2
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) src->data[p][y * src->linesize[p] + x] = uint8_t(p * 100 + x * 7 + y * 3);
  ASSERT_TRUE(HalvePicture(dst.get(), src.get()));
  EXPECT_EQ(dst->data[0][0], (0 + 1 + 10 + 11 + 2) / 4);
  EXPECT_EQ(dst->data[0][1], (2 + 3 + 12 + 13 + 2) / 4);
  EXPECT_EQ(dst->data[0][2], (4 + 5 + 14 + 15 + 2) / 4);
  // Chroma 2x1 from 3x2: the second sample has only column 2 to average.
  EXPECT_EQ(dst->data[1][0], (100 + 107 + 103 + 110 + 2) / 4);
  EXPECT_EQ(dst->data[1][1], (114 + 114 + 117 + 117 + 2) / 4);
  EXPECT_EQ(dst->data[2][1], (214 + 214 + 217 + 217 + 2) / 4);
  dst->height = 2;  // not half of 3
  EXPECT_FALSE(HalvePicture(dst.get(), src.get()));
  EXPECT_FALSE(CanHalvePicture(AV_PIX_FMT_RGB24));
  EXPECT_FALSE(CanHalvePicture(AV_PIX_FMT_YUV420P10LE));
  EXPECT_TRUE(CanHalvePicture(AV_PIX_FMT_YUVJ420P));
}

// 320x240 to 80x60 is four times both ways: the picture is halved before the
// scaler and the output differs from the direct scale by little. To 160x120
// it is not halved at all.
TEST(PrescaleHalving, AFourfoldDownscaleKeepsThePicture) {
  ASSERT_TRUE(FixturesAvailable());
  TempDir dir;
  DecodedJob direct("avi_mpeg4.avi", dir / "direct.yuv", {}, {}, 80, 60);
  DecodedJob halved("avi_mpeg4.avi", dir / "halved.yuv", {{"prescale_halving", ""}}, {}, 80, 60);
  EXPECT_EQ(halved.pictures.size(), kSourcePictures);
  EXPECT_EQ(direct.pictures.size(), kSourcePictures);
  EXPECT_FALSE(halved.pictures == direct.pictures);
  EXPECT_GT(MeanPsnr(halved.pictures, direct.pictures), 35.0);

  DecodedJob twice("avi_mpeg4.avi", dir / "twice.yuv", {}, {}, 160, 120);
  DecodedJob notHalved("avi_mpeg4.avi", dir / "not_halved.yuv", {{"prescale_halving", ""}}, {}, 160, 120);
  EXPECT_TRUE(notHalved.pictures == twice.pictures);
}

}  // namespace
}  // namespace vantrel::test
