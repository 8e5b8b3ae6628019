// The value parsers and checks behind the handler entries of the option table.
#include <gtest/gtest.h>

#include "options_test_engine.h"

namespace vantrel {
namespace {

using test::OptionEngine;
using test::OptionJob;
using test::Refusal;

TEST(OptionTimes, DurationsStartTimesAndDates) {
  OptionEngine e;
  e.SetOption("t", "01:00:00");
  EXPECT_EQ(e.Options().RecordingTime, 3600000000LL);
  EXPECT_EQ(e.Result().DurationMs, 3600000);
  EXPECT_EQ(Refusal([&] { e.SetOption("t", "0"); }), "Invalid value '0' for option '-t'");
  EXPECT_EQ(e.Options().RecordingTime, 3600000000LL);
  e.SetOption("ss", "1.5");
  EXPECT_EQ(e.Options().StartTime, 1500000);
  e.SetOption("itsoffset", "-2");
  EXPECT_EQ(e.Options().InputTsOffset, -2000000);
  EXPECT_EQ(Refusal([&] { e.SetOption("ss", "soon"); }), "Invalid value 'soon' for option '-ss'");
  EXPECT_EQ(e.Options().StartTime, 1500000);
  e.SetOption("timestamp", "2001-02-03 04:05:06.7");
  EXPECT_EQ(e.Options().RecTimestamp % 60, 7);  // rounded to the nearest second
  EXPECT_EQ(Refusal([&] { e.SetOption("timestamp", "yesterday-ish"); }),
            "Invalid date specification for timestamp: yesterday-ish");
}

TEST(OptionTimes, DirectRecordingTimeSaturates) {
  OptionEngine e;
  e.Record().SetRecordingTimeMs(-5);
  EXPECT_EQ(e.Result().DurationMs, -1);
  e.Record().SetRecordingTimeMs(INT64_MAX / 10);
  EXPECT_EQ(e.Options().RecordingTime, INT64_MAX);
  EXPECT_EQ(e.Result().DurationMs, INT32_MAX);
}

TEST(OptionMaps, StreamMapsWithAndWithoutSync) {
  OptionJob e;
  e.SetOption("map", "0:1");
  e.SetOption("map", "1.0:0.1");
  e.SetOption("map", "0x2:010");
  ASSERT_EQ(e.StreamMapCount, 3);
  const TStreamMapEntry& a = e.StreamMaps[0];
  EXPECT_EQ((std::vector<int>{a.file_index, a.stream_index, a.sync_file_index, a.sync_stream_index}),
            (std::vector<int>{0, 1, 0, 1}));
  const TStreamMapEntry& b = e.StreamMaps[1];
  EXPECT_EQ((std::vector<int>{b.file_index, b.stream_index, b.sync_file_index, b.sync_stream_index}),
            (std::vector<int>{1, 0, 0, 1}));
  EXPECT_EQ(e.StreamMaps[2].file_index, 2);
  EXPECT_EQ(e.StreamMaps[2].stream_index, 8);  // octal after a leading 0
}

TEST(OptionMaps, TablesRefuseEntriesBeyondTheirCapacity) {
  OptionJob e;
  for (int i = 0; i < MAX_STREAM_MAPS; ++i) e.SetOption("map", "0:0");
  EXPECT_EQ(Refusal([&] { e.SetOption("map", "0:0"); }), "Too many stream maps: at most 400 are allowed");
  EXPECT_EQ(e.StreamMapCount, MAX_STREAM_MAPS);
  for (int i = 0; i < MAX_METADATA_MAPS; ++i) e.SetOption("map_meta_data", "0:1");
  EXPECT_EQ(e.MetadataMaps[19].in_file, 1);
  EXPECT_EQ(Refusal([&] { e.SetOption("map_meta_data", "0:0"); }),
            "Too many metadata maps: at most 20 are allowed");
}

TEST(OptionMaps, TimeStampScaleOfTheNextInput) {
  OptionJob e;
  EXPECT_EQ(Refusal([&] { e.SetOption("itsscale", "20:2"); }), "stream index over MAX_STREAMS(20)");
  EXPECT_EQ(Refusal([&] { e.SetOption("itsscale", "-1:2"); }), "stream index over MAX_STREAMS(20)");
  e.SetOption("itsscale", "1:0.5");
  EXPECT_DOUBLE_EQ(e.InputFilesTsScale[0][1], 0.5);
  e.InputFileCount = MAX_FILES;  // no further input can come
  EXPECT_NE(Refusal([&] { e.SetOption("itsscale", "1:2"); }), "");
}

TEST(OptionPicture, RateSizeAndAspect) {
  OptionEngine e;
  e.SetOption("r", "30000/1001");
  EXPECT_EQ(e.Options().FrameRate.num, 30000);
  EXPECT_EQ(e.Options().FrameRate.den, 1001);
  EXPECT_EQ(Refusal([&] { e.SetOption("r", "fast"); }), "Invalid value 'fast' for option '-r'");
  e.SetOption("s", "qcif");
  EXPECT_EQ(e.Options().FrameWidth, 176);
  EXPECT_EQ(Refusal([&] { e.SetOption("s", "big"); }), "Invalid value 'big' for option '-s'");
  EXPECT_EQ(Refusal([&] { e.SetOption("s", "321x240"); }), "Frame size must be a multiple of 2");
  EXPECT_EQ(e.Options().FrameWidth, 321);  // stored before the parity check
  e.SetOption("aspect", "16:9");
  EXPECT_FLOAT_EQ(e.Options().FrameAspectRatio, 16.0f / 9.0f);
  e.SetOption("aspect", "1.7777");
  EXPECT_FLOAT_EQ(e.Options().FrameAspectRatio, 1.7777f);
  for (const char* bad : {"4:0", "0", "wide", ":9"})
    EXPECT_EQ(Refusal([&] { e.SetOption("aspect", bad); }), "Incorrect aspect ratio specification.") << bad;
  EXPECT_FLOAT_EQ(e.Options().FrameAspectRatio, 1.7777f);
}

TEST(OptionPicture, CropIsMeasuredAgainstTheCurrentFrame) {
  OptionEngine e;
  e.SetOption("s", "320x240");
  e.SetOption("croptop", "8");
  EXPECT_EQ(e.Options().FrameHeight, 232);
  EXPECT_EQ(e.Options().FrameCropTop, 8);
  EXPECT_EQ(Refusal([&] { e.SetOption("cropbottom", "232"); }),
            "Vertical crop dimensions are outside the range of the original image.\n"
            "Remember to crop first and scale second.");
  EXPECT_EQ(Refusal([&] { e.SetOption("cropleft", "320"); }),
            "Horizontal crop dimensions are outside the range of the original image.\n"
            "Remember to crop first and scale second.");
  EXPECT_EQ(Refusal([&] { e.SetOption("cropright", "3"); }), "Right crop size must be a multiple of 2");
  e.SetOption("cropleft", "-4");
  e.SetOption("cropright", "16");
  EXPECT_EQ(e.Options().FrameWidth, 304);
  EXPECT_EQ(e.Options().FrameCropLeft, 0);
  EXPECT_EQ(e.Options().FrameCropRight, 16);
}

TEST(OptionPicture, PaddingAndItsColour) {
  OptionEngine e;
  e.SetOption("padleft", "16");
  EXPECT_EQ(e.Options().FramePadLeft, 16);
  EXPECT_EQ(Refusal([&] { e.SetOption("padbottom", "5"); }), "Bottom pad size must be a multiple of 2");
  e.SetOption("padtop", "-2");
  EXPECT_EQ(e.Options().FramePadTop, 0);
  e.SetOption("padcolor", "255");  // pure red in the 0x00BBGGRR layout
  EXPECT_EQ(e.Options().PadColorY, 76);
  EXPECT_EQ(e.Options().PadColorU & 255, 85);
  EXPECT_EQ(e.Options().PadColorV, 255);
  e.SetOption("padcolor", "$FFFFFF");
  EXPECT_EQ(e.Options().PadColorY, 255);
  EXPECT_EQ(e.Options().PadColorU & 255, 128);
  EXPECT_EQ(e.Options().PadColorV & 255, 128);
}

TEST(OptionFormats, PixelAndSampleFormatsAndTheirLists) {
  OptionEngine e;
  e.SetOption("pix_fmt", "yuv420p");
  EXPECT_EQ(e.Options().FramePixFmt, AV_PIX_FMT_YUV420P);
  e.SetOption("pix_fmt", "no_such_format");
  EXPECT_EQ(e.Options().FramePixFmt, AV_PIX_FMT_NONE);
  e.SetOption("sample_fmt", "s16");
  EXPECT_EQ(e.Options().AudioSampleFmt, AV_SAMPLE_FMT_S16);
  e.SetOption("pix_fmt", "gray");
  e.log.clear();
  e.SetOption("pix_fmt", "list");
  EXPECT_EQ(e.Options().FramePixFmt, AV_PIX_FMT_GRAY8);
  ASSERT_GT(e.log.size(), 100u);  // the heading plus every format of the installed libraries
  EXPECT_EQ(e.log[0].second.rfind("name", 0), 0u);
  EXPECT_EQ(e.log[1].second.rfind("yuv420p ", 0), 0u);
  e.log.clear();
  e.SetOption("sample_fmt", "list");
  EXPECT_EQ(e.log.size(), size_t(AV_SAMPLE_FMT_NB) + 1);
  EXPECT_EQ(e.log[2].second, "s16       16");
  EXPECT_EQ(e.Options().AudioSampleFmt, AV_SAMPLE_FMT_S16);
}

TEST(OptionFormats, ContainerFormats) {
  OptionEngine e;
  e.SetOption("f", "mp4");
  EXPECT_NE(e.Options().OutputFormat, nullptr);
  EXPECT_EQ(Refusal([&] { e.SetOption("f", "nonsense"); }), "Unknown input or output format: nonsense");
  EXPECT_EQ(Refusal([&] { e.Record().SetInputFormat("ipod"); }), "Unknown input format: ipod");
  e.SetOption("f", "pgmyuv");
  EXPECT_EQ(e.Options().PgmyuvCompat, 1);
  EXPECT_TRUE(e.Logged("pgmyuv format is deprecated, use image2"));
  EXPECT_STREQ(e.Options().InputFormat->name, "image2");
}

TEST(OptionCodecs, QualityPassNamesAndTags) {
  OptionEngine e;
  EXPECT_EQ(Refusal([&] { e.SetOption("qscale", "0"); }), "qscale must be > 0.0 and <= 255");
  EXPECT_EQ(Refusal([&] { e.SetOption("qscale", "255.5"); }), "qscale must be > 0.0 and <= 255");
  e.SetOption("qscale", "255");
  EXPECT_FLOAT_EQ(e.Options().VideoQScale, 255.0f);
  EXPECT_EQ(Refusal([&] { e.SetOption("pass", "3"); }), "pass number can be only 1 or 2");
  e.SetOption("pass", "2");
  EXPECT_EQ(e.Options().DoPass, 2);
  e.SetOption("vcodec", "mpeg4");
  EXPECT_EQ(e.Options().VideoCodecName, "mpeg4");
  e.SetOption("vcodec", "copy");
  EXPECT_EQ(e.Options().VideoCodecName, "");
  EXPECT_EQ(e.Options().VideoStreamCopy, 1);
  e.SetOption("acodec", "aac");
  e.SetOption("scodec", "copy");
  EXPECT_EQ(e.Options().AudioCodecName, "aac");
  EXPECT_EQ(e.Options().SubtitleStreamCopy, 1);
  e.SetOption("vtag", "XVID");
  EXPECT_EQ(e.Options().VideoCodecTag, int32_t('X' | 'V' << 8 | 'I' << 16 | 'D' << 24));
  EXPECT_THROW(e.SetOption("vtag", "DIVX5"), EAssertionFailed);
  try {
    e.SetOption("atag", "mp4");
  } catch (const EAssertionFailed& err) {
    EXPECT_STREQ(err.what(), "audio tag parameter must be 4 chars");
  }
}

TEST(OptionCodecs, QuantiserMatrices) {
  OptionEngine e;
  std::string values;
  for (int i = 1; i <= 64; ++i) values += std::to_string(i) + (i < 64 ? "," : ",99,100");
  e.SetOption("intra_matrix", values);
  ASSERT_TRUE(e.Options().IntraMatrix.has_value());
  for (int i = 0; i < 64; ++i) EXPECT_EQ((*e.Options().IntraMatrix)[i], i + 1);
  std::string short63 = values.substr(0, values.find(",64"));
  EXPECT_EQ(Refusal([&] { e.SetOption("inter_matrix", short63); }),
            "Syntax error in matrix \"" + short63 + "\" at coeff 62");
  ASSERT_TRUE(e.Options().InterMatrix.has_value());  // installed before the error
  EXPECT_EQ((*e.Options().InterMatrix)[62], 63);
  e.SetOption("inter_matrix", values);  // the earlier block is released (checked by the sanitizer)
  EXPECT_EQ((*e.Options().InterMatrix)[63], 64);
}

TEST(OptionFiles, StatisticsFileAndHooks) {
  OptionEngine e;
  e.SetOption("vstats_file", "/tmp/stats.log");
  EXPECT_EQ(e.Options().VStatsFileName, "/tmp/stats.log");
  e.SetOption("vstats", "");
  const std::string name = e.Options().VStatsFileName;
  EXPECT_NE(name.find("/vstats_"), std::string::npos);
  // The clock's fields are two digits each: "vstats_095303.log", never blanks.
  EXPECT_EQ(name.size() - name.rfind("vstats_"), std::string("vstats_hhmmss.log").size());
  EXPECT_EQ(name.find(' '), std::string::npos) << name;
  e.SetOption("rc_override", "1,10,2");
  e.SetOption("rc_override", "2,20,3");
  e.SetOption("tvstd", "pal");
  e.SetOption("tvstd", "ntsc");
  EXPECT_EQ(e.Options().VideoRcOverride, std::optional<std::string>("2,20,3"));
  EXPECT_EQ(e.Options().VideoStandard, std::optional<std::string>("ntsc"));
  EXPECT_EQ(Refusal([&] { e.SetOption("vhook", "hook.so -a 1"); }),
            "Failed to add video hook function: hook.so -a 1");
  std::string words = "hook.so";
  for (int i = 1; i < 63; ++i) words += " w";
  EXPECT_EQ(Refusal([&] { e.SetOption("vhook", words); }), "Failed to add video hook function: " + words);
  EXPECT_EQ(Refusal([&] { e.SetOption("vhook", words + "|x"); }), "Failed to add video hook function: " + words + "|x");
  EXPECT_EQ(Refusal([&] { e.SetOption("vhook", words + " w"); }),
            "Too many words in video hook specification: at most 63 are allowed");
  EXPECT_FALSE(e.Options().UsingVhook);
}

TEST(OptionTable, TextHandlersIgnoreAnEmptyValue) {
  OptionJob e;
  e.SetOption("s", "320x240");
  e.SetOption("vcodec", "mpeg4");
  e.SetOption("vtag", "XVID");
  for (const char* name : {"f", "map", "map_meta_data", "t", "ss", "itsscale", "timestamp", "r", "s", "aspect",
                           "pix_fmt", "sample_fmt", "vcodec", "acodec", "vtag", "atag", "intra_matrix",
                           "vstats_file", "vhook", "vbsf", "rc_override"})
    EXPECT_NO_THROW(e.SetOption(name, "")) << name;
  EXPECT_EQ(e.FrameWidth, 320);
  EXPECT_EQ(e.VideoCodecName, "mpeg4");
  EXPECT_EQ(e.VideoCodecTag, int32_t('X' | 'V' << 8 | 'I' << 16 | 'D' << 24));
  EXPECT_EQ(e.StreamMapCount, 0);
  EXPECT_EQ(e.RecordingTime, INT64_MAX);
}

}  // namespace
}  // namespace vantrel
