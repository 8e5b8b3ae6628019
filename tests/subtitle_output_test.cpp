// The subtitle output: a DVB subtitle is written twice, shown and cleared.
#include <gtest/gtest.h>

#include "output_rig.h"

namespace vantrel::test {
namespace {

TEST(SubtitleOutput, DvbSubtitleIsShownThenCleared) {
  TOutputRig rig;
  if (!rig.NewEncoder("dvbsub")) GTEST_SKIP() << "no DVB subtitle encoder";
  rig.Enc->codec_type = AVMEDIA_TYPE_SUBTITLE;
  rig.Enc->width = 720;
  rig.Enc->height = 576;
  rig.Enc->time_base = AVRational{1, 90000};
  rig.Open("framecrc", "out.crc");

  uint8_t bitmap[8 * 2] = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 1, 1, 2, 2, 2, 2};
  uint32_t palette[4] = {0x00000000, 0xffffffff, 0xff808080, 0xff000000};
  AVSubtitleRect rect{};
  rect.x = 10;
  rect.y = 20;
  rect.w = 8;
  rect.h = 2;
  rect.nb_colors = 4;
  rect.type = SUBTITLE_BITMAP;
  rect.data[0] = bitmap;
  rect.linesize[0] = 8;
  rect.data[1] = reinterpret_cast<uint8_t*>(palette);
  rect.linesize[1] = 4 * 4;
  AVSubtitleRect* rects[1] = {&rect};
  AVSubtitle sub{};
  sub.start_display_time = 0;
  sub.end_display_time = 2000;
  sub.num_rects = 1;
  sub.rects = rects;
  rig.Engine.EncodeSubtitle(rig.Oc, rig.Ost, rig.Ist, &sub, 90000);
  EXPECT_EQ(sub.num_rects, 1u) << "the caller's subtitle is left as it was";
  rig.Finish();
  const auto packets = ReadFrameCrc(rig.Path);
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0].pts, 90000);
  EXPECT_EQ(packets[1].pts, 90000 + 180000);
  EXPECT_GT(packets[0].size, packets[1].size) << "the second packet clears the region";
}

TEST(SubtitleOutput, SubtitleWithoutTimeIsSkippedOrRefused) {
  TOutputRig rig;
  if (!rig.NewEncoder("dvbsub")) GTEST_SKIP() << "no DVB subtitle encoder";
  rig.Enc->codec_type = AVMEDIA_TYPE_SUBTITLE;
  rig.Enc->time_base = AVRational{1, 90000};
  rig.Open("framecrc", "out.crc");
  AVSubtitle sub{};
  rig.Engine.EncodeSubtitle(rig.Oc, rig.Ost, rig.Ist, &sub, AV_NOPTS_VALUE);
  EXPECT_TRUE(rig.Engine.Logged("Subtitle packets must have a pts"));
  rig.Engine.ExitOnError = true;
  EXPECT_THROW(rig.Engine.EncodeSubtitle(rig.Oc, rig.Ost, rig.Ist, &sub, AV_NOPTS_VALUE), FFMpegException);
}

}  // namespace
}  // namespace vantrel::test
