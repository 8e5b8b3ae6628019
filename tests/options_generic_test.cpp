// The generic option mechanism: library options reached by name, recorded,
// and copied into newly made contexts.
#include <gtest/gtest.h>

#include "options_test_engine.h"

namespace vantrel {
namespace {

using test::OptionEngine;
using test::OptionJob;

int64_t Get(void* holder, const char* name) {
  int64_t v = -12345;
  EXPECT_GE(lav::av_opt_get_int(holder, name, 0, &v), 0) << name;
  return v;
}

std::vector<std::string> Recorded(const TEngineJob& e) {
  return std::vector<std::string>(e.GenericOptionNames.begin(), e.GenericOptionNames.end());
}

const char kLowBitrate[] = "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s";

TEST(GenericOptions, MediaTypeMasksChooseTheCodecHolders) {
  OptionJob e;
  ASSERT_TRUE(e.ApplyGenericOption("g", "25"));  // a video parameter
  EXPECT_EQ(Get(e.CodecOptions[0].get(), "g"), 25);
  EXPECT_EQ(Get(e.CodecOptions[1].get(), "g"), 12);
  EXPECT_EQ(Get(e.CodecOptions[2].get(), "g"), 25);
  EXPECT_EQ(Get(e.CodecOptions[3].get(), "g"), 12);
  EXPECT_EQ(Get(e.CodecOptions[4].get(), "g"), 25);
  ASSERT_TRUE(e.ApplyGenericOption("cutoff", "8000"));  // an audio parameter
  EXPECT_EQ(Get(e.CodecOptions[0].get(), "cutoff"), 0);
  EXPECT_EQ(Get(e.CodecOptions[1].get(), "cutoff"), 8000);
  EXPECT_EQ(Recorded(e), (std::vector<std::string>{"g", "cutoff"}));
}

TEST(GenericOptions, FormatAndScalerHoldersThenThePrefixRule) {
  OptionJob e;
  EXPECT_TRUE(e.ApplyGenericOption("probesize", "65536"));
  EXPECT_EQ(Get(e.FormatOptions.get(), "probesize"), 65536);
  EXPECT_TRUE(e.ApplyGenericOption("sws_flags", "bilinear"));
  EXPECT_EQ(Get(e.ScalerOptions.get(), "sws_flags"), 2);  // SWS_BILINEAR
  // "vb" and "sbt" are no library options: the rest of the name is set on
  // the holder of the type, and that option's own name is recorded. "ab" is
  // an audio option of its own.
  EXPECT_TRUE(e.ApplyGenericOption("vb", "500000"));
  EXPECT_TRUE(e.ApplyGenericOption("ab", "96000"));
  EXPECT_TRUE(e.ApplyGenericOption("sbt", "1000"));
  EXPECT_EQ(Get(e.CodecOptions[0].get(), "b"), 500000);
  EXPECT_EQ(Get(e.CodecOptions[1].get(), "b"), 96000);
  EXPECT_EQ(Get(e.CodecOptions[3].get(), "bt"), 1000);
  EXPECT_EQ(Get(e.CodecOptions[0].get(), "bt"), 4000000);
  EXPECT_EQ(Recorded(e), (std::vector<std::string>{"probesize", "sws_flags", "b", "ab", "bt"}));
}

TEST(GenericOptions, RefusedNamesAndValuesAreNotRecorded) {
  OptionJob e;
  EXPECT_FALSE(e.ApplyGenericOption("g", "  "));
  EXPECT_FALSE(e.ApplyGenericOption(" ", "1"));
  EXPECT_FALSE(e.ApplyGenericOption("no_such_option", "1"));
  EXPECT_FALSE(e.ApplyGenericOption("g", "many"));
  e.SetOption("no_such_option", "1");  // unknown names pass silently
  EXPECT_TRUE(e.GenericOptionNames.empty());
  EXPECT_TRUE(e.log.empty());
}

TEST(GenericOptions, OldNamesAreMappedWithANotice) {
  OptionJob e;
  EXPECT_TRUE(e.ApplyGenericOptionInt("gop", 48));
  EXPECT_EQ(Get(e.CodecOptions[0].get(), "g"), 48);
  EXPECT_EQ(Recorded(e), std::vector<std::string>{"g"});
  ASSERT_EQ(e.log.size(), 1u);
  EXPECT_EQ(e.log[0].first, 1);
  EXPECT_NE(e.log[0].second.find("gop"), std::string::npos);
}

TEST(GenericOptions, BitrateWarning) {
  OptionJob e;
  e.SetOption("vb", "64000");
  EXPECT_FALSE(e.Logged(kLowBitrate));
  e.SetOption("ab", "64");
  EXPECT_TRUE(e.Logged(kLowBitrate));
  EXPECT_EQ(Get(e.CodecOptions[1].get(), "b"), 64);
  e.log.clear();
  e.SetOption("b", "");
  EXPECT_TRUE(e.log.empty());
}

TEST(GenericOptions, DebugOptionRaisesTheVerbosity) {
  const int saved = lav::av_log_get_level();
  const int processThreshold = LibraryLogThreshold();
  OptionEngine e;
  e.SetVerbose(0);
  e.SetOption("debug", "0");
  EXPECT_EQ(e.Options().Verbose, 0);
  e.SetOption("debug", "mb_type");
  EXPECT_EQ(e.Options().Verbose, 2);
  // The engine's own level: other engines and the process keep theirs.
  EXPECT_EQ(LibraryLogThreshold(), processThreshold);
  OptionEngine f;
  f.SetVerbose(1);
  f.SetOption("fdebug", "ts");
  EXPECT_EQ(f.Options().Verbose, 2);
  f.SetVerbose(1);
  lav::av_log_set_level(saved);
}

TEST(GenericOptions, CopiesRecordedOptionsWithTheAskedFlags) {
  OptionJob e;
  e.SetOption("g", "10");
  e.SetOption("g", "30");  // recorded twice, copied with the last value
  e.SetOption("skip_frame", "nokey");  // a decoding parameter
  e.SetOption("flags", "+global_header");
  EXPECT_EQ(Recorded(e), (std::vector<std::string>{"g", "g", "skip_frame", "flags"}));

  AVCodecContext* encoder = lav::avcodec_alloc_context3(nullptr);
  e.ApplyContextOptions(encoder, e.CodecOptions[0].get(), AV_OPT_FLAG_ENCODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
  EXPECT_EQ(encoder->gop_size, 30);
  EXPECT_EQ(encoder->skip_frame, AVDISCARD_DEFAULT);
  EXPECT_TRUE(encoder->flags & AV_CODEC_FLAG_GLOBAL_HEADER);
  lav::avcodec_free_context(&encoder);

  AVCodecContext* decoder = lav::avcodec_alloc_context3(nullptr);
  e.ApplyContextOptions(decoder, e.CodecOptions[0].get(), AV_OPT_FLAG_DECODING_PARAM | AV_OPT_FLAG_VIDEO_PARAM);
  EXPECT_EQ(decoder->skip_frame, AVDISCARD_NONKEY);
  EXPECT_EQ(decoder->gop_size, 12);
  lav::avcodec_free_context(&decoder);

  // Options of another holder kind are skipped, not misapplied.
  e.SetOption("probesize", "4096");
  AVFormatContext* format = lav::avformat_alloc_context();
  e.ApplyContextOptions(format, e.FormatOptions.get(), AV_OPT_FLAG_DECODING_PARAM);
  EXPECT_EQ(format->probesize, 4096);
  lav::avformat_free_context(format);
}

}  // namespace
}  // namespace vantrel
