// The video output on real encoders: frame-rate sync, frame limit, crop view,
// padding, scaling into the padded picture, statistics and refusals.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "engine/picture_ops.h"
#include "output_rig.h"

namespace vantrel::test {
namespace {

constexpr int W = 176, H = 144;

// mpeg4 into framecrc: every written packet is listed with its times.
void OpenMpeg4(TOutputRig& rig, AVRational tb) {
  ASSERT_TRUE(rig.NewEncoder("mpeg4"));
  rig.SetVideo(W, H, tb, W, H);
  rig.Open("framecrc", "out.crc");
}

TEST(VideoSync, HalvingTheRateDropsEverySecondPictureAfterTheFirstThree) {
  TOutputRig rig;
  rig.Engine.Verbose = 3;
  OpenMpeg4(rig, AVRational{2, 25});
  FramePtr pic = MakePicture(W, H);
  std::vector<int> encodedAs;
  for (int i = 0; i < 20; ++i) encodedAs.push_back(rig.Picture(pic.get(), i * 40000));
  for (int i = 0; i < 20; ++i) EXPECT_EQ(encodedAs[i], i < 3 || i % 2 == 0 ? 1 : 0) << "picture " << i;
  EXPECT_EQ(rig.Engine.DropFrames, 9);
  EXPECT_EQ(rig.Engine.DupFrames, 0);
  EXPECT_TRUE(rig.Engine.Logged("*** drop!"));
  rig.Finish();
  EXPECT_EQ(ReadFrameCrc(rig.Path).size(), 11u);
}

TEST(VideoSync, RaisingTheRateDuplicatesWithConsecutiveTimes) {
  TOutputRig rig;
  rig.Engine.Verbose = 3;
  OpenMpeg4(rig, AVRational{1, 25});
  FramePtr pic = MakePicture(W, H);
  std::vector<int> encodedAs;
  for (int i = 0; i < 5; ++i) encodedAs.push_back(rig.Picture(pic.get(), i * 100000));
  // vdelta 0, 1.5, 2, 2.5, 3: rounded to even on ties.
  EXPECT_EQ(encodedAs, (std::vector<int>{1, 2, 2, 2, 3}));
  EXPECT_EQ(rig.Engine.DupFrames, 5);
  EXPECT_TRUE(rig.Engine.Logged("*** 2 dup!"));
  rig.Finish();
  const auto packets = ReadFrameCrc(rig.Path);
  ASSERT_EQ(packets.size(), 10u);
  for (size_t i = 0; i < packets.size(); ++i) EXPECT_EQ(packets[i].pts, int64_t(i));
}

TEST(VideoSync, MethodZeroFollowsTheInputClockWithoutDropsOrDuplicates) {
  TOutputRig rig;
  rig.Engine.VideoSyncMethod = 0;
  OpenMpeg4(rig, AVRational{1, 25});
  FramePtr pic = MakePicture(W, H);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(rig.Picture(pic.get(), i * 100000), 1);
  EXPECT_EQ(rig.Engine.DupFrames + rig.Engine.DropFrames, 0);
  rig.Finish();
  const auto packets = ReadFrameCrc(rig.Path);
  ASSERT_EQ(packets.size(), 10u);
  const int64_t expected[10] = {0, 2, 5, 8, 10, 12, 15, 18, 20, 22};  // 2.5 i, ties to even
  for (int i = 0; i < 10; ++i) EXPECT_EQ(packets[i].pts, expected[i]);
}

TEST(VideoSync, MethodTwoJumpsToTheInputTimeInsteadOfDuplicating) {
  TOutputRig rig;
  rig.Engine.VideoSyncMethod = 2;
  OpenMpeg4(rig, AVRational{1, 25});
  FramePtr pic = MakePicture(W, H);
  EXPECT_EQ(rig.Picture(pic.get(), 0), 1);
  EXPECT_EQ(rig.Picture(pic.get(), 40000), 1);
  EXPECT_EQ(rig.Picture(pic.get(), 400000), 1);
  EXPECT_EQ(rig.Engine.DupFrames, 0);
  EXPECT_EQ(rig.Ost.SyncOpts, 11);
  rig.Finish();
  const auto packets = ReadFrameCrc(rig.Path);
  ASSERT_EQ(packets.size(), 3u);
  EXPECT_EQ(packets[2].pts, 10);
}

TEST(VideoSync, FrameLimitCutsADuplicateBurst) {
  TOutputRig rig;
  rig.Engine.MaxFrames[0] = 10;
  OpenMpeg4(rig, AVRational{1, 25});
  FramePtr pic = MakePicture(W, H);
  for (int i = 0; i < 9; ++i) rig.Picture(pic.get(), i * 40000);
  ASSERT_EQ(rig.Ost.FrameNumber, 9);
  EXPECT_EQ(rig.Picture(pic.get(), 12 * 40000), 1);  // asks for 3
  EXPECT_EQ(rig.Picture(pic.get(), 13 * 40000), 0);
  rig.Finish();
  EXPECT_EQ(ReadFrameCrc(rig.Path).size(), 10u);
}

TEST(VideoSync, StopRequestEndsADuplicateBurst) {
  TOutputRig rig;
  OpenMpeg4(rig, AVRational{1, 25});
  FramePtr pic = MakePicture(W, H);
  rig.Picture(pic.get(), 0);
  rig.Engine.RequestStop();
  EXPECT_EQ(rig.Picture(pic.get(), 5 * 40000), 0);
}

TEST(VideoEncode, RefusedPictureIsVideoEncodingFailed) {
  TOutputRig rig;
  rig.Engine.VideoSyncMethod = 0;
  OpenMpeg4(rig, AVRational{1, 25});
  FramePtr pic = MakePicture(W, H);
  rig.Picture(pic.get(), 40000);
  // The clock set back by hand (the engine itself never hands out a time
  // twice): the encoder refuses a picture that does not advance.
  rig.Ost.SyncOpts = 1;
  try {
    rig.Picture(pic.get(), 40000);
    FAIL() << "no exception";
  } catch (const FFMpegException& e) {
    EXPECT_STREQ(e.what(), "Video encoding failed");
  }
}

TEST(CropView, MovesPlanePointersIntoTheDecodedBuffer) {
  FramePtr src = MakePicture(W, H);
  FramePtr view = MakeFrame();
  ASSERT_TRUE(MakeCropView(view.get(), src.get(), 8, 16, W - 32, H - 16));
  EXPECT_EQ(view->data[0], src->data[0] + 8 * src->linesize[0] + 16);
  EXPECT_EQ(view->data[1], src->data[1] + 4 * src->linesize[1] + 8);
  EXPECT_EQ(view->data[2], src->data[2] + 4 * src->linesize[2] + 8);
  EXPECT_EQ(view->buf[0]->buffer, src->buf[0]->buffer);  // shared, not copied
  EXPECT_EQ(view->width, W - 32);
  EXPECT_EQ(view->height, H - 16);
  // Odd bands would split a chroma sample; bands beyond the picture are refused.
  EXPECT_FALSE(MakeCropView(view.get(), src.get(), 3, 0, W, H - 3));
  EXPECT_FALSE(MakeCropView(view.get(), src.get(), 8, 0, W, H));
}

// Raw pictures into a raw file: the output shows exactly what was encoded.
TEST(CropView, EncodedPictureStartsEightLinesDown) {
  TOutputRig rig;
  rig.Engine.FrameCropTop = 8;
  ASSERT_TRUE(rig.NewEncoder("rawvideo"));
  rig.SetVideo(W, H - 8, AVRational{1, 25}, W, H);
  rig.Open("rawvideo", "out.yuv");
  EXPECT_TRUE(rig.Ost.VideoCrop);
  EXPECT_FALSE(rig.Ost.VideoResample);
  EXPECT_FALSE(rig.Ost.ResamplePicture);
  FramePtr pic = MakePicture(W, H);
  rig.Picture(pic.get(), 0);
  EXPECT_FALSE(rig.Ost.CropFrame->buf[0]) << "the view is let go after encoding";
  rig.Finish();
  const auto bytes = ReadBytes(rig.Path);
  ASSERT_EQ(bytes.size(), size_t(W * (H - 8) * 3 / 2));
  for (int y = 0; y < H - 8; ++y)
    ASSERT_EQ(0, std::memcmp(&bytes[y * W], pic->data[0] + (y + 8) * pic->linesize[0], W)) << "line " << y;
}

TEST(Padding, SixteenLinesTopAndBottomInThePadColour) {
  TOutputRig rig;
  rig.Engine.FramePadTop = rig.Engine.FramePadBottom = 16;
  ASSERT_TRUE(rig.NewEncoder("rawvideo"));
  rig.SetVideo(W, H, AVRational{1, 25}, W, H - 32);
  rig.Open("rawvideo", "out.yuv");
  EXPECT_TRUE(rig.Ost.VideoPad);
  EXPECT_FALSE(rig.Ost.VideoResample);
  EXPECT_FALSE(rig.Ost.Scaler);
  FramePtr pic = MakePicture(W, H - 32);
  rig.Picture(pic.get(), 0);
  rig.Finish();
  const auto bytes = ReadBytes(rig.Path);
  ASSERT_EQ(bytes.size(), size_t(W * H * 3 / 2));
  const uint8_t* y = bytes.data();
  const uint8_t* u = y + W * H;
  const uint8_t* v = u + W * H / 4;
  for (int row = 0; row < H; ++row) {
    if (row < 16 || row >= H - 16) {
      for (int x = 0; x < W; ++x) ASSERT_EQ(y[row * W + x], 16) << row << "," << x;
    } else {
      ASSERT_EQ(0, std::memcmp(y + row * W, pic->data[0] + (row - 16) * pic->linesize[0], W)) << row;
    }
  }
  for (int row = 0; row < H / 2; ++row) {
    const bool band = row < 8 || row >= H / 2 - 8;
    for (int x = 0; x < W / 2; ++x) {
      if (band) {
        ASSERT_EQ(u[row * W / 2 + x], 128);
        ASSERT_EQ(v[row * W / 2 + x], 128);
      } else {
        ASSERT_EQ(u[row * W / 2 + x], pic->data[1][(row - 8) * pic->linesize[1] + x]);
      }
    }
  }
}

TEST(Padding, ScalerWritesIntoTheInnerRectangle) {
  TOutputRig rig;
  rig.Engine.FramePadTop = rig.Engine.FramePadBottom = 16;
  rig.Engine.PadColorY = 0;
  ASSERT_TRUE(rig.NewEncoder("rawvideo"));
  rig.SetVideo(W, H, AVRational{1, 25}, 2 * W, 2 * (H - 32));
  rig.Open("rawvideo", "out.yuv");
  EXPECT_TRUE(rig.Ost.VideoResample);
  EXPECT_EQ(rig.Ost.ResampleHeight, 2 * (H - 32));
  FramePtr pic = MakePicture(2 * W, 2 * (H - 32));
  rig.Picture(pic.get(), 0);
  rig.Picture(pic.get(), 40000);
  rig.Finish();
  const auto bytes = ReadBytes(rig.Path);
  ASSERT_EQ(bytes.size(), size_t(W * H * 3 / 2) * 2);
  for (int row = 0; row < H; ++row) {
    const bool band = row < 16 || row >= H - 16;
    int padded = 0;
    for (int x = 0; x < W; ++x) padded += bytes[row * W + x] == 0;
    if (band)
      EXPECT_EQ(padded, W) << row;
    else
      EXPECT_EQ(padded, 0) << row;  // the pattern never reaches 0
  }
}

TEST(Padding, PadSizesAloneNeedNoScaler) {
  TOutputRig rig;
  rig.Engine.FramePadLeft = rig.Engine.FramePadRight = 8;
  ASSERT_TRUE(rig.NewEncoder("rawvideo"));
  rig.SetVideo(W, H, AVRational{1, 25}, W - 16, H);
  rig.Open("rawvideo", "out.yuv");
  EXPECT_FALSE(rig.Ost.Scaler);
  ASSERT_TRUE(rig.Ost.ResamplePicture);
  EXPECT_EQ(rig.Ost.ResamplePicture->width, W);
}

TEST(Scaling, CropBandsShrinkTheScalerInput) {
  TOutputRig rig;
  rig.Engine.FrameCropTop = rig.Engine.FrameCropBottom = 10;
  ASSERT_TRUE(rig.NewEncoder("rawvideo"));
  rig.SetVideo(320, 240, AVRational{1, 25}, 640, 480);
  rig.Open("rawvideo", "out.yuv");
  EXPECT_TRUE(rig.Ost.VideoResample);
  EXPECT_EQ(rig.Ost.ScalerInWidth, 640);
  EXPECT_EQ(rig.Ost.ScalerInHeight, 460);
  EXPECT_EQ(rig.Ost.ResampleHeight, 460);
  // A decoder that changes its picture size mid-stream gets a scaler for the new size.
  FramePtr pic = MakePicture(320, 240);
  rig.Picture(pic.get(), 0);
  EXPECT_EQ(rig.Ost.ScalerInHeight, 220);
}

TEST(Scaling, PictureOfAnotherSizeThanAnnouncedIsScaled) {
  TOutputRig rig;
  ASSERT_TRUE(rig.NewEncoder("rawvideo"));
  rig.SetVideo(W, H, AVRational{1, 25}, W, H);
  rig.Dec->pix_fmt = AV_PIX_FMT_NONE;  // not known before the first picture
  rig.Open("rawvideo", "out.yuv");
  EXPECT_TRUE(rig.Ost.VideoResample);
  EXPECT_FALSE(rig.Ost.Scaler);
  FramePtr pic = MakePicture(2 * W, 2 * H);
  rig.Picture(pic.get(), 0);
  EXPECT_TRUE(rig.Ost.Scaler);
  rig.Finish();
  EXPECT_EQ(ReadBytes(rig.Path).size(), size_t(W * H * 3 / 2));
}

TEST(Scaling, LargerPictureWithoutAnnouncedScalingIsScaledToo) {
  TOutputRig rig;
  ASSERT_TRUE(rig.NewEncoder("rawvideo"));
  rig.SetVideo(W, H, AVRational{1, 25}, W, H);
  rig.Open("rawvideo", "out.yuv");
  EXPECT_FALSE(rig.Ost.VideoResample);
  FramePtr pic = MakePicture(2 * W, 2 * H);
  rig.Picture(pic.get(), 0);
  EXPECT_TRUE(rig.Ost.VideoResample);
  rig.Finish();
  EXPECT_EQ(ReadBytes(rig.Path).size(), size_t(W * H * 3 / 2));
}

TEST(VideoStats, OneLinePerPictureInTheStatisticsFormat) {
  TOutputRig rig;
  const std::string stats = rig.Dir / "vstats.log";
  rig.Engine.VStatsFileName = stats;
  OpenMpeg4(rig, AVRational{1, 25});
  FramePtr pic = MakePicture(W, H);
  for (int i = 0; i < 3; ++i) {
    rig.Ist.Pts = i * 40000;
    int size = 0;
    rig.Engine.EncodeVideo(rig.Oc, rig.Ost, rig.Ist, pic.get(), size);
    ASSERT_GT(size, 0);
    rig.Engine.WriteVideoStats(rig.Oc, rig.Ost, size);
  }
  rig.Engine.VStatsFile.reset();
  std::ifstream in(stats);
  std::string line;
  const std::regex format(
      R"(frame= [ \d]{4}\d q= \d+\.\d f_size= [ \d]{5}\d s_size= [ \d]{7}\dkB time= \d\.\d{3} br= [ \d]{4}\d\.\dkbits/s avg_br= [ \d]{4}\d\.\dkbits/s type= [IP])");
  int lines = 0;
  while (std::getline(in, line)) {
    ++lines;
    EXPECT_TRUE(std::regex_match(line, format)) << line;
  }
  EXPECT_EQ(lines, 3);
}

TEST(VideoStats, UnwritableFileIsRefusedWithItsName) {
  TOutputRig rig;
  rig.Engine.VStatsFileName = "/nonexistent-dir/vstats.log";
  OpenMpeg4(rig, AVRational{1, 25});
  try {
    rig.Engine.WriteVideoStats(rig.Oc, rig.Ost, 100);
    FAIL() << "no exception";
  } catch (const FFMpegException& e) {
    EXPECT_STREQ(e.what(), "fopen fail: /nonexistent-dir/vstats.log");
  }
}

TEST(PrepareVideoFrame, DeinterlacingReplacesThePictureAndCountsIt) {
  TRigEngine engine;
  engine.DoDeinterlace = 1;
  TInputStreamState ist;
  ist.Pts = 1234;
  FramePtr pic = MakePicture(32, 16);
  for (int y = 0; y < 16; ++y) std::memset(pic->data[0] + y * pic->linesize[0], y % 2 ? 200 : 100, 32);
  pic->pts = 77;
  uint8_t* decoded = pic->data[0];
  engine.PrepareVideoFrame(ist, pic.get());
  EXPECT_EQ(engine.HookFrameCount, 1);
  EXPECT_NE(pic->data[0], decoded);
  EXPECT_EQ(pic->pts, 77);
  EXPECT_EQ(pic->data[0][2 * pic->linesize[0]], 100);  // first field kept
  EXPECT_EQ(pic->data[0][5 * pic->linesize[0]], 100);  // second field from its neighbours
  // Without deinterlacing or hooks the picture is left alone.
  engine.DoDeinterlace = 0;
  uint8_t* kept = pic->data[0];
  engine.PrepareVideoFrame(ist, pic.get());
  EXPECT_EQ(pic->data[0], kept);
  EXPECT_EQ(engine.HookFrameCount, 2);
}

}  // namespace
}  // namespace vantrel::test
