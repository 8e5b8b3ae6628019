// "vfilters": whole jobs checked picture by picture against the reference
// tool running the same filter on the same input, and the refusals.
#include <gtest/gtest.h>

#include "test_support.h"
#include "video_frames.h"

namespace vantrel {
namespace {

using test::RawVideoJob;

struct FilterCase {
  std::string filters;
  int width, height;
};

TEST(VideoFilters, PicturesMatchTheReferenceToolWithTheSameFilter) {
  ASSERT_TRUE(test::FixturesAvailable());
  test::TempDir tmp;
  for (const FilterCase& c : {FilterCase{"hflip", 176, 144}, FilterCase{"scale=96:64", 96, 64},
                              FilterCase{"crop=100:80:10:20", 100, 80}}) {
    SCOPED_TRACE(c.filters);
    const size_t bytes = size_t(c.width) * c.height * 3 / 2;
    RawVideoJob job;
    job.Options({{"vfilters", c.filters}});
    ASSERT_TRUE(job.Open(tmp / "ours.yuv")) << job.e.LastError();
    job.e.StartJob(false);
    ASSERT_TRUE(job.e.Result().Completed) << job.e.Result().ErrorMessage;
    std::string out;
    ASSERT_EQ(test::RunCommand("ffmpeg -v error -y -i '" + test::Fixture("fps25_10s.avi") + "' -an -vf '" +
                                   c.filters + "' -pix_fmt yuv420p -f rawvideo '" + (tmp / "ref.yuv") + "'",
                               out),
              0)
        << out;
    const auto ours = test::ReadPictures(tmp / "ours.yuv", bytes);
    const auto ref = test::ReadPictures(tmp / "ref.yuv", bytes);
    ASSERT_EQ(ours.size(), size_t(test::kFixturePictures));
    ASSERT_EQ(ours.size(), ref.size());
    for (size_t i = 0; i < ours.size(); ++i) ASSERT_GE(test::Psnr(ours[i], ref[i]), 40.0) << "picture " << i;
  }
}

TEST(VideoFilters, NullFilterLeavesEveryPictureAsDecoded) {
  ASSERT_TRUE(test::FixturesAvailable());
  test::TempDir tmp;
  const auto plain = test::PlainPictures(tmp / "plain.yuv");
  const auto filtered = test::PlainPictures(tmp / "null.yuv", {{"vfilters", "null"}});
  ASSERT_EQ(plain.size(), size_t(test::kFixturePictures));
  EXPECT_TRUE(plain == filtered);
}

TEST(VideoFilters, RefusalsCarryTheirReasons) {
  ASSERT_TRUE(test::FixturesAvailable());
  test::TempDir tmp;
  {
    SCOPED_TRACE("a text the library cannot parse is refused with the output, before any job");
    RawVideoJob job;
    job.Options({{"vfilters", "hflip,nosuchfilter"}});
    EXPECT_FALSE(job.Open(tmp / "a.yuv"));
    EXPECT_EQ(job.e.LastError().rfind("Error opening filters: ", 0), 0u) << job.e.LastError();
    EXPECT_NE(job.e.LastError().find("hflip,nosuchfilter"), std::string::npos) << job.e.LastError();
    job.Options({{"vfilters", "scale=w=oops"}});
    EXPECT_FALSE(job.Open(tmp / "a.yuv"));
  }
  {
    SCOPED_TRACE("crop bands given after the output was set refuse the graph");
    RawVideoJob job;
    job.Options({{"vfilters", "hflip"}});
    ASSERT_TRUE(job.Open(tmp / "b.yuv")) << job.e.LastError();
    job.Options({{"croptop", "8"}});
    job.e.StartJob(false);
    EXPECT_EQ(job.e.Result().ErrorMessage, "Error opening filters: Cannot enable crop options and filters at the same time.");
  }
  {
    SCOPED_TRACE("pad bands with a filter that changes the size");
    RawVideoJob job;
    job.Options({{"vfilters", "pad=iw+16:ih"}, {"padtop", "16"}});
    ASSERT_TRUE(job.Open(tmp / "c.yuv")) << job.e.LastError();
    job.e.StartJob(false);
    EXPECT_EQ(job.e.Result().ErrorMessage,
              "Error opening filters: Cannot enable pad options and the filters which resize frame at the same "
              "time. (crop, rotate, scale, transpose, etc.)");
  }
  {
    SCOPED_TRACE("pad bands with a filter that keeps the size are padded after it");
    RawVideoJob job;
    job.Options({{"vfilters", "hflip"}, {"padtop", "16"}, {"padbottom", "16"}});
    ASSERT_TRUE(job.Open(tmp / "d.yuv")) << job.e.LastError();
    job.e.StartJob(false);
    EXPECT_TRUE(job.e.Result().Completed) << job.e.Result().ErrorMessage;
    EXPECT_EQ(test::ReadPictures(tmp / "d.yuv", size_t(176) * 176 * 3 / 2).size(), size_t(test::kFixturePictures));
  }
}

}  // namespace
}  // namespace vantrel
