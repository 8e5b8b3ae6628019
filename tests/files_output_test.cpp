// Creating outputs and their streams, and that an output never touches the
// disk before the job writes it.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/output/staging_file.h"
#include "files_support.h"

namespace vantrel::test {
namespace {

using OutputFileTest = FilesTest;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

const AVCodecContext* Encoder(const TEngineJob& e, int file, int stream) {
  return e.OutputCodecs[file].at(size_t(stream)).get();
}

TEST_F(OutputFileTest, StreamsFollowTheInputsAndTheFormat) {
  ASSERT_TRUE(engine.OpenInputFile(Fixture("mp4.mp4")));
  ASSERT_TRUE(engine.OpenOutputFile(tmp / "both.3gp")) << engine.LastError;
  AVFormatContext* oc = engine.OutputFiles[0].get();
  ASSERT_EQ(oc->nb_streams, 2u);
  ASSERT_EQ(engine.OutputCodecs[0].size(), 2u);
  EXPECT_EQ(Encoder(engine, 0, 0)->codec_id, AV_CODEC_ID_H263);
  EXPECT_EQ(Encoder(engine, 0, 0)->width, 320);
  EXPECT_EQ(Encoder(engine, 0, 0)->time_base.den, 25);
  EXPECT_EQ(Encoder(engine, 0, 1)->codec_id, AV_CODEC_ID_AMR_NB);
  EXPECT_EQ(Encoder(engine, 0, 1)->sample_rate, 44100);
  EXPECT_EQ(engine.OutputFileNames[0], tmp / "both.3gp");
  EXPECT_FALSE(engine.OutputFileWritten[0]);

}

TEST_F(OutputFileTest, AudioOnlyInputGivesNoVideoStream) {
  ASSERT_TRUE(engine.OpenInputFile(Fixture("audio_only.wav")));
  ASSERT_TRUE(engine.OpenOutputFile(tmp / "a.3gp")) << engine.LastError;
  ASSERT_EQ(engine.OutputFiles[0]->nb_streams, 1u);
  EXPECT_EQ(engine.OutputFiles[0]->streams[0]->codecpar->codec_type, AVMEDIA_TYPE_AUDIO);
  EXPECT_EQ(Encoder(engine, 0, 0)->codec_id, AV_CODEC_ID_AMR_NB);
}

TEST_F(OutputFileTest, RefusalsAreWordForWordAndLeaveNothingBehind) {
  struct Case {
    std::function<void()> setUp;
    std::string file;
    std::string message;
  };
  const std::string noFormat = tmp / "out.nosuchextension";
  const std::string noFolder = tmp / "no/such/folder/out.mp4";
  const Case cases[] = {
      {[&] { engine.VideoCodecName = "nosuchenc"; }, tmp / "o.mp4",
       "new_video_stream fail: Unknown encoder 'nosuchenc'"},
      {[&] { engine.VideoCodecName = "aac"; }, tmp / "o.mp4",
       "new_video_stream fail: Invalid encoder type 'aac'"},
      {[&] { engine.AudioCodecName = "mpeg4"; }, tmp / "o.mp4",
       "new_audio_stream fail: Invalid encoder type 'mpeg4'"},
      {[&] { engine.VideoRcOverride = "x,1,2"; }, tmp / "o.mp4",
       "new_video_stream fail: error parsing rc_override"},
      {[&] {
         engine.VideoFilters = "hflip";
         engine.FrameCropTop = 2;
       },
       tmp / "o.mp4", "Cannot enable crop options and filters at the same time."},
      {[&] {
         engine.VideoFilters = "hflip,Scale=320:240";
         engine.FramePadTop = 8;
       },
       tmp / "o.mp4",
       "Cannot enable pad options and the filters which resize frame at the same time. (crop, rotate, scale, "
       "transpose, etc.)"},
      {[] {}, noFormat, "Unable to find a suitable output format for '" + noFormat + "'"},
      {[] {}, noFolder, "Could not open '" + noFolder + "'"},
  };
  ASSERT_TRUE(engine.OpenInputFile(Fixture("mp4.mp4")));
  for (const Case& c : cases) {
    c.setUp();
    engine.OutputFormat = lav::av_guess_format("mp4", nullptr, nullptr);
    if (c.file == noFormat) engine.OutputFormat = nullptr;
    EXPECT_FALSE(engine.OpenOutputFile(c.file));
    EXPECT_EQ(engine.LastError, c.message);
    EXPECT_EQ(engine.OutputFileCount, 0);
    EXPECT_TRUE(engine.OutputCodecs[0].empty());
    EXPECT_EQ(engine.OutputFormat, nullptr);
    EXPECT_EQ(engine.VideoCodecName, "");
    engine.VideoFilters.clear();
    engine.FrameCropTop = engine.FramePadTop = 0;
    engine.VideoRcOverride.reset();
  }
  EXPECT_FALSE(std::filesystem::exists(tmp / "no"));
  EXPECT_FALSE(std::filesystem::exists(tmp / "o.mp4"));
}

TEST_F(OutputFileTest, PaddingGoesWithFiltersThatKeepTheSize) {
  engine.VideoFilters = "hflip,negate";
  engine.FramePadTop = 8;
  EXPECT_TRUE(engine.OpenOutputFile(tmp / "o.mp4")) << engine.LastError;
  EXPECT_TRUE(engine.UsingFilters);
}

TEST_F(OutputFileTest, StreamCopyTakesTheInputAspectAndNoEncoder) {
  ASSERT_TRUE(engine.OpenInputFile(Fixture("mp4.mp4")));
  engine.FrameAspectRatio = 16.0f / 9.0f;
  engine.VideoStreamCopy = 1;
  ASSERT_TRUE(engine.OpenOutputFile(tmp / "copy.mkv")) << engine.LastError;
  ASSERT_EQ(engine.OutputStreamCopy[0].size(), 2u);
  EXPECT_TRUE(engine.OutputStreamCopy[0][0]);
  EXPECT_FALSE(engine.OutputStreamCopy[0][1]);
  EXPECT_EQ(Encoder(engine, 0, 0)->codec, nullptr);
  EXPECT_EQ(Encoder(engine, 0, 0)->codec_type, AVMEDIA_TYPE_VIDEO);
  const AVRational sar = engine.OutputFiles[0]->streams[0]->sample_aspect_ratio;
  EXPECT_EQ(sar.num, 4);
  EXPECT_EQ(sar.den, 3);
  EXPECT_EQ(engine.VideoStreamCopy, 0);
}

TEST_F(OutputFileTest, FrameRateIsTheNearestTheEncoderSupports) {
  struct Case {
    AVRational wanted, timeBase;
  };
  const Case cases[] = {{{30000, 1001}, {1001, 30000}}, {{29, 1}, {1001, 30000}}, {{25, 1}, {1, 25}}};
  int file = 0;
  for (const Case& c : cases) {
    engine.FrameRate = c.wanted;
    engine.VideoCodecName = "mpeg2video";
    ASSERT_TRUE(engine.OpenOutputFile(tmp / ("r" + std::to_string(file) + ".mpg"))) << engine.LastError;
    const AVRational tb = Encoder(engine, file, 0)->time_base;
    EXPECT_EQ(av_cmp_q(tb, c.timeBase), 0) << c.wanted.num << "/" << c.wanted.den << " gave " << tb.num << "/"
                                           << tb.den;
    ++file;
  }
}

TEST_F(OutputFileTest, EncoderValuesFollowTheOptions) {
  engine.FrameWidth = 720;
  engine.FrameHeight = 576;
  engine.FrameAspectRatio = 16.0f / 9.0f;
  engine.FramePixFmt = AV_PIX_FMT_RGB24;  // mpeg4 cannot take it
  engine.VideoQScale = 3;
  engine.DoPass = 1;
  engine.AudioSampleFmt = AV_SAMPLE_FMT_S16;
  engine.AudioChannels = 1;
  engine.AudioLanguage = "english";
  engine.IntraMatrix.emplace();
  ASSERT_TRUE(engine.OpenOutputFile(tmp / "o.mp4")) << engine.LastError;
  const AVCodecContext* v = Encoder(engine, 0, 0);
  EXPECT_EQ(v->sample_aspect_ratio.num, 64);
  EXPECT_EQ(v->sample_aspect_ratio.den, 45);
  EXPECT_EQ(v->pix_fmt, AV_PIX_FMT_YUV420P);
  EXPECT_TRUE(v->flags & AV_CODEC_FLAG_QSCALE);
  EXPECT_EQ(v->global_quality, 3 * 118);
  EXPECT_TRUE(v->flags & AV_CODEC_FLAG_PASS1);
  EXPECT_TRUE(v->flags & AV_CODEC_FLAG_GLOBAL_HEADER) << "mp4 wants global headers";
  ASSERT_NE(v->intra_matrix, nullptr);
  EXPECT_NE(v->intra_matrix, engine.IntraMatrix->data()) << "the encoder frees its own copy";
  const AVCodecContext* a = Encoder(engine, 0, 1);
  EXPECT_EQ(a->sample_fmt, AV_SAMPLE_FMT_FLTP) << "the aac encoder's own format";
  EXPECT_EQ(a->ch_layout.nb_channels, 1);
  AVDictionaryEntry* lang = lav::av_dict_get(engine.OutputFiles[0]->streams[1]->metadata, "language", nullptr, 0);
  ASSERT_NE(lang, nullptr);
  EXPECT_STREQ(lang->value, "eng");
  EXPECT_TRUE(engine.AudioLanguage.empty());
}

TEST_F(OutputFileTest, RateControlOverrides) {
  struct Case {
    const char* text;
    std::vector<RcOverride> entries;
  };
  const Case cases[] = {
      {"0,100,2/200,300,-50", {{0, 100, 2, 1.0f}, {200, 300, 0, 0.5f}}},
      {"0-100-2", {{0, 100, 2, 1.0f}}},
  };
  int file = 0;
  for (const Case& c : cases) {
    engine.VideoRcOverride = c.text;
    ASSERT_TRUE(engine.OpenOutputFile(tmp / ("o" + std::to_string(file) + ".mp4"))) << engine.LastError;
    const AVCodecContext* v = Encoder(engine, file++, 0);
    ASSERT_EQ(v->rc_override_count, int(c.entries.size())) << c.text;
    for (size_t i = 0; i < c.entries.size(); ++i) {
      EXPECT_EQ(v->rc_override[i].start_frame, c.entries[i].start_frame);
      EXPECT_EQ(v->rc_override[i].end_frame, c.entries[i].end_frame);
      EXPECT_EQ(v->rc_override[i].qscale, c.entries[i].qscale);
      EXPECT_FLOAT_EQ(v->rc_override[i].quality_factor, c.entries[i].quality_factor);
    }
    engine.VideoRcOverride.reset();
  }
}

TEST_F(OutputFileTest, NewStreamsGoToTheLastOutput) {
  try {
    engine.NewAudioStreamOption();
    FAIL() << "no output yet";
  } catch (const FFMpegException& e) {
    EXPECT_STREQ(e.what(), "At least one output file must be specified");
  }
  ASSERT_TRUE(engine.OpenOutputFile(tmp / "o.mkv")) << engine.LastError;
  const unsigned before = engine.OutputFiles[0]->nb_streams;
  engine.AudioCodecName = "nosuchenc";
  EXPECT_THROW(engine.NewAudioStreamOption(), FFMpegException);
  EXPECT_EQ(engine.OutputFiles[0]->nb_streams, before) << "a refused stream is not left half-made";
  engine.AudioCodecName = "mp2";
  engine.NewAudioStreamOption();
  ASSERT_EQ(engine.OutputFiles[0]->nb_streams, before + 1);
  EXPECT_EQ(engine.OutputCodecs[0].size(), before + 1);
  EXPECT_EQ(engine.OutputCodecs[0].back()->codec_id, AV_CODEC_ID_MP2);
  // The tables hold 20 streams per output.
  while (engine.OutputFiles[0]->nb_streams < unsigned(MAX_STREAMS)) engine.NewVideoStreamOption();
  try {
    engine.NewVideoStreamOption();
    FAIL() << "a 21st stream";
  } catch (const FFMpegException& e) {
    EXPECT_STREQ(e.what(), "Too many streams in one output file (at most 20)");
  }
  EXPECT_EQ(engine.OutputCodecs[0].size(), size_t(MAX_STREAMS));
}

TEST_F(OutputFileTest, SubtitleStreamsTakeTheFormatsCodecWhenNoneIsNamed) {
  ASSERT_TRUE(engine.OpenOutputFile(tmp / "o.mkv")) << engine.LastError;
  engine.SubtitleLanguage = "fre";
  engine.NewSubtitleStreamOption();
  const AVCodecContext* s = engine.OutputCodecs[0].back().get();
  EXPECT_EQ(s->codec_type, AVMEDIA_TYPE_SUBTITLE);
  EXPECT_EQ(s->codec_id, engine.OutputFiles[0]->oformat->subtitle_codec);
  EXPECT_TRUE(engine.SubtitleLanguage.empty());
  engine.SubtitleCodecName = "mpeg4";
  try {
    engine.NewSubtitleStreamOption();
    FAIL() << "a video encoder for a subtitle stream";
  } catch (const FFMpegException& e) {
    EXPECT_STREQ(e.what(), "Invalid encoder type 'mpeg4'");
  }
  EXPECT_EQ(engine.SubtitleCodecName, "");
}

TEST_F(OutputFileTest, TheOldAacEncoderNameMapsToTheBuiltInOne) {
  std::vector<std::pair<int, std::string>> lines;
  engine.OnLog = [&](TCustomFFmpeg*, int level, const std::string& m) { lines.emplace_back(level, m); };
  engine.AudioCodecName = "libfaac";
  ASSERT_TRUE(engine.OpenOutputFile(tmp / "o.m4a")) << engine.LastError;
  EXPECT_EQ(engine.OutputCodecs[0].back()->codec_id, AV_CODEC_ID_AAC);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].first, 1);
  EXPECT_EQ(lines[0].second, "Encoder 'libfaac' is not available, using 'aac' instead");
}

TEST_F(OutputFileTest, ATwentyFirstOutputIsRefused) {
  engine.AudioDisable = engine.VideoDisable = 1;
  for (int i = 0; i < MAX_FILES; ++i) ASSERT_TRUE(engine.OpenOutputFile(tmp / "o.mp4")) << i;
  EXPECT_FALSE(engine.OpenOutputFile(tmp / "o.mp4"));
  EXPECT_EQ(engine.LastError, tmp / "o.mp4" + ": too many output files (at most 20)");
  EXPECT_EQ(engine.OutputFileCount, MAX_FILES);
}

TEST_F(OutputFileTest, AnExistingFileIsUntouchedUntilTheJobWrites) {
  const std::string existing = tmp / "existing.mp4";
  std::ofstream(existing) << "precious";
  ASSERT_TRUE(engine.OpenInputFile(Fixture("mp4.mp4")));
  ASSERT_TRUE(engine.OpenOutputFile(existing)) << engine.LastError;
  EXPECT_EQ(ReadAll(existing), "precious");
  engine.FreeResources();
  EXPECT_EQ(ReadAll(existing), "precious");

  // A read-only file cannot be written: refused at once, left as it is.
  engine.ResetEngine();
  std::filesystem::permissions(existing, std::filesystem::perms::owner_read);
  if (::access(existing.c_str(), W_OK) != 0) {
    EXPECT_FALSE(engine.OpenOutputFile(existing));
    EXPECT_EQ(engine.LastError, "Could not open '" + existing + "'");
  }
  EXPECT_EQ(ReadAll(existing), "precious");
}

TEST_F(OutputFileTest, AnOutputIsWrittenBesideItsNameAndAnUnfinishedOneGoes) {
  const std::string fresh = tmp / "new.mp4", existing = tmp / "existing.mp4";
  std::ofstream(existing) << "precious";
  ASSERT_TRUE(engine.OpenOutputFile(fresh)) << engine.LastError;
  ASSERT_TRUE(engine.OpenOutputFile(existing)) << engine.LastError;
  EXPECT_FALSE(std::filesystem::exists(fresh));
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(engine.OpenOutputIO(i)) << engine.LastError;
    EXPECT_TRUE(engine.OutputFileWritten[i]);
    const std::string temp = engine.StagedOutputs[i].Temp;
    EXPECT_EQ(std::filesystem::path(temp).parent_path(), tmp.path());
    pid_t owner = 0;
    EXPECT_TRUE(IsStagingName(std::filesystem::path(temp).filename().string(), owner)) << temp;
    EXPECT_EQ(owner, ::getpid());
    EXPECT_EQ(std::string(engine.OutputFiles[i]->url), "file:" + temp);
    struct stat st;
    ASSERT_EQ(::stat(temp.c_str(), &st), 0) << temp;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
  }
  EXPECT_NE(engine.StagedOutputs[0].Temp, engine.StagedOutputs[1].Temp);
  EXPECT_FALSE(engine.OpenOutputIO(2));
  EXPECT_FALSE(std::filesystem::exists(fresh));
  EXPECT_EQ(ReadAll(existing), "precious");
  // The job never finished: its temporary files go, the old file stays.
  engine.FreeResources();
  engine.FreeResources();
  EXPECT_FALSE(std::filesystem::exists(fresh));
  EXPECT_EQ(ReadAll(existing), "precious");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()), {}), 1);
}

TEST_F(OutputFileTest, AnOutputThatIsAnOpenedInputIsRefused) {
  const std::string input = tmp / "in.mp4";
  std::filesystem::copy_file(Fixture("mp4.mp4"), input);
  std::filesystem::create_symlink(input, tmp / "link.mp4");
  ASSERT_TRUE(engine.OpenInputFile(input));
  for (const std::string& name : {input, tmp / "link.mp4", "file:" + input, tmp / "x/../in.mp4"}) {
    EXPECT_FALSE(engine.OpenOutputFile(name)) << name;
    EXPECT_EQ(engine.LastError, "Output file '" + name + "' is the same file as input file '" + input + "'");
    EXPECT_EQ(engine.OutputFileCount, 0);
  }
  EXPECT_TRUE(engine.OpenOutputFile(tmp / "other.mp4")) << engine.LastError;
  engine.OutputFormat = lav::av_guess_format("matroska", nullptr, nullptr);
  EXPECT_TRUE(engine.OpenOutputFile("pipe:1")) << engine.LastError;
}

TEST_F(OutputFileTest, MetadataAndMuxerSettings) {
  engine.Title = "A title";
  engine.Year = 2009;
  engine.Genre = std::string(40, 'g');
  engine.MuxMaxDelay = 0.25f;
  ASSERT_TRUE(engine.OpenOutputFile(tmp / "o.mpg")) << engine.LastError;
  AVFormatContext* oc = engine.OutputFiles[0].get();
  EXPECT_STREQ(lav::av_dict_get(oc->metadata, "title", nullptr, 0)->value, "A title");
  EXPECT_STREQ(lav::av_dict_get(oc->metadata, "date", nullptr, 0)->value, "2009");
  EXPECT_EQ(std::string(lav::av_dict_get(oc->metadata, "genre", nullptr, 0)->value).size(), 31u);
  EXPECT_EQ(oc->max_delay, 250000);
  int64_t preload = 0;
  ASSERT_GE(lav::av_opt_get_int(oc->priv_data, "preload", 0, &preload), 0);
  EXPECT_EQ(preload, 500000);
  EXPECT_EQ(engine.Title, "A title") << "metadata applies to later outputs too";
}

}  // namespace
}  // namespace vantrel::test
