// Progress reports: the values handed to the handler, the text line, the
// report interval and the summary at the end.
#include <gtest/gtest.h>

#include <fstream>
#include <mutex>

#include "transcode_job_support.h"

namespace vantrel {
namespace {

using test::HandMadeJob;

struct Report {
  int frame, fps, duration;
  float quality, bitrate;
  int64_t size;
  int total;
};

void RecordReports(TEngineJob& job, std::vector<Report>& reports, std::mutex& m) {
  job.OnProgress = [&](TCustomFFmpeg*, int frame, int fps, int duration, float quality, float bitrate, int64_t size,
                       int total) {
    std::lock_guard<std::mutex> lock(m);
    reports.push_back(Report{frame, fps, duration, quality, bitrate, size, total});
  };
}

TEST(ProgressTest, AudioOnlyJobReportsNoFramesAndAdvances) {
  ASSERT_TRUE(test::FixturesAvailable());
  test::TempDir dir;
  HandMadeJob job;
  job.AddInput(test::Fixture("audio_only.wav"), true);
  job.AddOutput(dir / "out.wav", {{AVMEDIA_TYPE_AUDIO, true}});
  job.RecordingTime = 2000000;
  job.ReportInterval = 250000;
  job.DurationMs = 4000;
  std::vector<Report> reports;
  std::mutex m;
  RecordReports(job, reports, m);
  job.Run();
  ASSERT_FALSE(job.ErrorOccurred) << job.ErrorMessage;
  // About every 250 ms over 2 s, and the last one.
  EXPECT_GE(reports.size(), 6u);
  EXPECT_LE(reports.size(), 10u);
  for (size_t i = 0; i < reports.size(); ++i) {
    const Report& r = reports[i];
    EXPECT_EQ(r.frame, -1);
    EXPECT_EQ(r.fps, -1);
    EXPECT_FLOAT_EQ(r.quality, -1.0f);
    EXPECT_EQ(r.total, 4000);
    if (i > 0) {
      EXPECT_GE(r.duration, reports[i - 1].duration);
      EXPECT_GE(r.size, reports[i - 1].size);
    }
  }
  // Bytes still in the output buffer count as written.
  EXPECT_GT(reports[reports.size() / 2].size, 100000);
  EXPECT_NEAR(reports.back().duration, 2000, 50);
  EXPECT_GT(reports.back().size, 300000);
  EXPECT_NEAR(reports.back().bitrate, 1411.2, 30);  // 44.1 kHz, 16-bit stereo
}

TEST(ProgressTest, LogShowsTheLineAndTheSummaryOnce) {
  ASSERT_TRUE(test::FixturesAvailable());
  test::TempDir dir;
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(dir / "out.avi", {{AVMEDIA_TYPE_VIDEO, true}, {AVMEDIA_TYPE_AUDIO, true}});
  job.Run();
  ASSERT_FALSE(job.ErrorOccurred) << job.ErrorMessage;
  EXPECT_EQ(job.CountLogged("muxing overhead"), 1);
  // The copied video gives no quality; the last line is marked.
  EXPECT_TRUE(job.Logged("frame=  100 fps="));
  EXPECT_TRUE(job.Logged(" q=-1.0 Lsize="));
  EXPECT_TRUE(job.Logged("kbits/s"));
}

TEST(ProgressTest, ProgressLineHookTakesTheLineInsteadOfTheLog) {
  ASSERT_TRUE(test::FixturesAvailable());
  test::TempDir dir;
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(dir / "out.avi", {{AVMEDIA_TYPE_VIDEO, true}});
  std::vector<std::pair<std::string, bool>> lines;
  job.OnProgressLine = [&](TCustomFFmpeg*, const std::string& line, bool last) { lines.emplace_back(line, last); };
  job.Run();
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(lines.back().second);
  EXPECT_EQ(lines.back().first.rfind("frame=  100 ", 0), 0u) << lines.back().first;
  EXPECT_FALSE(job.Logged("frame="));
  EXPECT_EQ(job.CountLogged("muxing overhead"), 1);
}

// A job with one copied video stream, set up by hand and never run.
class ProgressArithmeticTest : public ::testing::Test {
 protected:
  void SetUp() override {
    job.AddOutput(dir / "out.avi", {{AVMEDIA_TYPE_VIDEO, true}});
    job.BuildOutputTable();
    ost().Stream->time_base = AVRational{1, 25};
    job.JobStartTime = lav::av_gettime();
    RecordReports(job, reports, m);
  }
  TOutputStreamState& ost() { return job.OutputStreams[0]; }
  // An output of exactly Size bytes on disk, open for the report to measure.
  void OutputOfSize(int64_t Size) {
    std::ofstream(dir / "out.avi", std::ios::binary) << std::string(size_t(Size), 'x');
    AVDictionary* keep = nullptr;
    lav::av_dict_set(&keep, "truncate", "0", 0);
    const int ret = lav::avio_open2(&job.OutputFiles[0]->pb, (dir / "out.avi").c_str(), AVIO_FLAG_READ_WRITE, nullptr,
                                    &keep);
    lav::av_dict_free(&keep);
    ASSERT_GE(ret, 0);
  }
  test::TempDir dir;
  HandMadeJob job;
  std::vector<Report> reports;
  std::mutex m;
};

TEST_F(ProgressArithmeticTest, NothingBeforeTheFirstPicture) {
  job.OnProgress = nullptr;
  job.ReportProgress(true);
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(job.logs.empty());
}

TEST_F(ProgressArithmeticTest, FramesPerSecondAreRounded) {
  ost().FrameNumber = 250;
  ost().ShownEnd = 255;
  job.JobStartTime = lav::av_gettime() - 10200000;
  job.ReportProgress(false);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].frame, 250);
  EXPECT_EQ(reports[0].fps, 25);
  EXPECT_EQ(reports[0].duration, 10200);
  EXPECT_FLOAT_EQ(reports[0].quality, -1.0f);
}

TEST_F(ProgressArithmeticTest, FirstSecondHasNoRateAndTimeHasAFloor) {
  OutputOfSize(1000);
  ost().FrameNumber = 3;
  job.ReportProgress(false);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].fps, 0);
  EXPECT_EQ(reports[0].duration, 10);
  EXPECT_EQ(reports[0].size, 1000);
  EXPECT_FLOAT_EQ(reports[0].bitrate, 800.0f);  // size * 0.8 kbit/s at 0.01 s
}

TEST_F(ProgressArithmeticTest, SummaryGivesSizesAndOverhead) {
  OutputOfSize(1130000);
  job.OnProgress = nullptr;
  ost().FrameNumber = 10;
  job.VideoSize = 1048576;
  job.AudioSize = 102400;
  job.ExtraSize = 1024;
  job.ReportProgress(true);
  EXPECT_TRUE(job.Logged("video:1024kB audio:100kB global headers:1kB muxing overhead -1.91%\r\n"));
}

TEST_F(ProgressArithmeticTest, SummaryOfAnOutputWithoutPayloadShowsNoOverhead) {
  OutputOfSize(5000);
  job.OnProgress = nullptr;
  ost().FrameNumber = 1;
  job.ReportProgress(true);
  EXPECT_TRUE(job.Logged("video:0kB audio:0kB global headers:0kB muxing overhead 0.00%\r\n"));
}

}  // namespace
}  // namespace vantrel
