// Transcode set-up: the checks that refuse a job before anything is
// written, the choice of sources, two-pass files and the stream mapping.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "transcode_job_support.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;
using test::HandMadeJob;

constexpr auto V = AVMEDIA_TYPE_VIDEO;
constexpr auto A = AVMEDIA_TYPE_AUDIO;

class TranscodeSetUpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::FixturesAvailable());
  }
  // Runs the job and expects it to end with Message, with no codec left
  // open and no output file on disk.
  void ExpectRefused(HandMadeJob& job, const std::string& Message) {
    job.Run();
    EXPECT_TRUE(job.ErrorOccurred);
    EXPECT_EQ(job.ErrorMessage, Message);
    EXPECT_TRUE(job.OpenedEncoders.empty());
    EXPECT_TRUE(job.OpenedDecoders.empty());
    EXPECT_TRUE(job.InputStreams.empty());
    EXPECT_TRUE(job.OutputStreams.empty());
    EXPECT_FALSE(fs::exists(out));
  }
  void AddMap(HandMadeJob& job, int file, int stream, int syncFile, int syncStream) {
    job.StreamMaps[job.StreamMapCount++] = TStreamMapEntry{file, stream, syncFile, syncStream};
  }
  test::TempDir dir;
  std::string out = dir / "out.avi";
};

TEST_F(TranscodeSetUpTest, RefusesAnOutputWithoutStreams) {
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(out, {});
  ExpectRefused(job, "Output file does not contain any stream");
}

TEST_F(TranscodeSetUpTest, RefusesMapsForSomeStreamsOnly) {
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(out, {{V, true}, {A, true}});
  AddMap(job, 0, 0, 0, 0);
  ExpectRefused(job, "Number of stream maps must match number of output streams");
}

TEST_F(TranscodeSetUpTest, RefusesMapsPastTheStreamsOfTheFile) {
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(out, {{V, true}, {A, true}});
  AddMap(job, 0, 0, 0, 0);
  AddMap(job, 0, 2, 0, 2);
  ExpectRefused(job, "Could not find input stream #0.2");
}

TEST_F(TranscodeSetUpTest, RefusesASyncStreamThatDoesNotExist) {
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(out, {{V, true}});
  AddMap(job, 0, 0, 1, 0);
  ExpectRefused(job, "Could not find sync stream #1.0");
}

TEST_F(TranscodeSetUpTest, RefusesAMapOfAnotherMediaType) {
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(out, {{V, true}, {A, true}});
  AddMap(job, 0, 1, 0, 1);
  AddMap(job, 0, 0, 0, 0);
  ExpectRefused(job, "Codec type mismatch for mapping #0.1 -> #0.0");
}

TEST_F(TranscodeSetUpTest, RefusesAnOutputStreamWithoutASource) {
  HandMadeJob job;
  job.AddInput(test::Fixture("video_only.avi"));
  job.AddOutput(out, {{V, true}, {A, true}});
  ExpectRefused(job, "Could not find input stream matching output stream #0.1");
}

TEST_F(TranscodeSetUpTest, RefusesVolumeOnACopiedAudioStream) {
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(out, {{V, true}, {A, true}});
  job.AudioVolume = 512;
  ExpectRefused(job, "-acodec copy and -vol are incompatible (frames are not decoded)");
}

TEST_F(TranscodeSetUpTest, RefusesFrameHooksOnACopiedVideoStream) {
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(out, {{V, true}});
  job.UsingVhook = true;
  ExpectRefused(job, "-vcodec copy and -vhook are incompatible (frames are not decoded)");
}

TEST_F(TranscodeSetUpTest, RefusesACustomHookOnACopiedVideoStream) {
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(out, {{V, true}});
  job.OnCustomHook = [](TCustomFFmpeg*, THookBitmap&, int, int64_t, bool&, bool&) {};
  ExpectRefused(job, "-vcodec copy and CustomHook are incompatible (frames are not decoded)");
}

TEST_F(TranscodeSetUpTest, RefusesAMetadataMapToAMissingOutput) {
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(out, {{V, true}});
  job.MetadataMaps[job.MetadataMapCount++] = TMetadataMapEntry{3, 0};
  job.Run();
  EXPECT_EQ(job.ErrorMessage, "Invalid output file index 3 map_meta_data(3,0)");
  EXPECT_TRUE(job.OpenedEncoders.empty());
}

TEST_F(TranscodeSetUpTest, TwoOutputsShareTheOnlyVideoStream) {
  HandMadeJob job;
  job.AddInput(test::Fixture("video_only.avi"));
  job.AddOutput(out, {{V, true}});
  job.AddOutput(dir / "second.avi", {{V, true}});
  job.BuildInputTables();
  job.CheckStreamMaps();
  job.BuildOutputTable();
  job.ChooseSources();
  ASSERT_EQ(job.OutputStreams.size(), 2u);
  EXPECT_EQ(job.OutputStreams[0].SourceIndex, 0);
  EXPECT_EQ(job.OutputStreams[1].SourceIndex, 0);
  EXPECT_EQ(job.OutputStreams[1].SyncStream, &job.InputStreams[0]);
}

TEST_F(TranscodeSetUpTest, ProgramIdChoosesFromThatProgramOnly) {
  for (int program : {1, 7}) {
    HandMadeJob job;
    job.AddInput(test::Fixture("ts.ts"));
    job.AddOutput(out, {{V, true}});
    job.ProgramId = program;
    job.BuildInputTables();
    job.CheckStreamMaps();
    job.BuildOutputTable();
    if (program == 1) {
      job.ChooseSources();
      EXPECT_EQ(job.InputStreams[size_t(job.OutputStreams[0].SourceIndex)].Stream->codecpar->codec_type, V);
    } else {
      EXPECT_THROW(job.ChooseSources(), FFMpegException);
    }
  }
}

TEST_F(TranscodeSetUpTest, StreamMappingNamesSourcesAndSyncStreams) {
  HandMadeJob job;
  job.AddInput(test::Fixture("avi_mpeg4.avi"));
  job.AddOutput(out, {{V, true}, {A, true}});
  AddMap(job, 0, 0, 0, 1);
  AddMap(job, 0, 1, 0, 1);
  job.Run();
  ASSERT_FALSE(job.ErrorOccurred) << job.ErrorMessage;
  EXPECT_TRUE(job.Logged("Stream mapping:"));
  EXPECT_TRUE(job.Logged("  Stream #0.0 -> #0.0"));
  EXPECT_TRUE(job.Logged("  Stream #0.1 -> #0.1"));
  EXPECT_EQ(job.CountLogged(" [sync #0.1]"), 1);
}

TEST_F(TranscodeSetUpTest, TwoPassStatisticsFiles) {
  HandMadeJob job;
  job.PassLogFileName = dir / "clip";
  AVCodecContext* enc = lav::avcodec_alloc_context3(nullptr);
  TOutputStreamState ost;
  ost.Encoder = enc;

  enc->flags = AV_CODEC_FLAG_PASS2;
  try {
    job.OpenTwoPassLog(ost, 1);
    ADD_FAILURE() << "a missing pass-1 file must be refused";
  } catch (const FFMpegException& e) {
    EXPECT_EQ(std::string(e.what()), "creat open fail: " + (dir / "clip-1.log"));
  }

  enc->flags = AV_CODEC_FLAG_PASS1;
  job.OpenTwoPassLog(ost, 1);
  EXPECT_TRUE(ost.LogFile);
  EXPECT_TRUE(fs::exists(dir / "clip-1.log"));
  ost.LogFile.reset();

  std::ofstream(dir / "clip-1.log") << "in:0 out:0 type:1 q:236;\n";
  enc->flags = AV_CODEC_FLAG_PASS2;
  job.OpenTwoPassLog(ost, 1);
  ASSERT_NE(enc->stats_in, nullptr);
  EXPECT_STREQ(enc->stats_in, "in:0 out:0 type:1 q:236;\n");
  enc->stats_in = nullptr;
  lav::avcodec_free_context(&enc);
}

}  // namespace
}  // namespace vantrel
