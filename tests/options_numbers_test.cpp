// Conversions of option values to numbers and the table entries that use them.
#include <gtest/gtest.h>

#include <clocale>

#include "engine/option_numbers.h"
#include "options_test_engine.h"

namespace vantrel {
namespace {

TEST(OptionNumbers, IntegersInDecimalAndHexadecimal) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt("  -42"), -42);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("$1F"), 31);
  EXPECT_EQ(StrToInt("x10"), 16);
  EXPECT_EQ(StrToInt("X10"), 16);
  EXPECT_EQ(StrToInt("0x10"), 16);
  EXPECT_EQ(StrToInt("0XfF"), 255);
  EXPECT_EQ(StrToInt("-$10"), -16);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt("2147483647"), INT32_MAX);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(StrToInt64("$7FFFFFFFFFFFFFFF"), INT64_MAX);
}

TEST(OptionNumbers, RefusedIntegersNameTheText) {
  for (const char* bad : {"", " ", "12 ", "1.5", "abc", "0x", "$", "--1", "2147483648", "$100000000"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.what(), "'" + std::string(bad) + "' is not a valid integer value");
    }
  }
  EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
  EXPECT_EQ(StrToIntDef("x", 5), 5);
}

TEST(OptionNumbers, FloatsIgnoreTheLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // may be missing; the test holds either way
  EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(StrToFloat(" -2.5e1 "), -25.0);
  EXPECT_DOUBLE_EQ(StrToFloat(".5"), 0.5);
  std::setlocale(LC_NUMERIC, saved.c_str());
  for (const char* bad : {"", "1,5", "inf", "nan", "1.5x", "e5"}) {
    try {
      StrToFloat(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.what(), "'" + std::string(bad) + "' is not a valid floating point value");
    }
  }
  EXPECT_THROW(StrToSingle("1e39"), EConvertError);
}

TEST(OptionTable, NumericOptionsKeepTheirValueOnAConversionError) {
  test::OptionEngine e;
  e.SetOption("ar", "22050");
  EXPECT_EQ(e.Options().AudioSampleRate, 22050);
  for (const char* bad : {"0", "-8000", "fast", ""})
    EXPECT_EQ(test::Refusal([&] { e.SetOption("ar", bad); }), "Invalid value '" + std::string(bad) + "' for option '-ar'");
  EXPECT_EQ(e.Options().AudioSampleRate, 22050);
  e.SetOption("fs", "0x100000000");
  EXPECT_EQ(e.Options().LimitFileSize, 4294967296LL);
  EXPECT_EQ(test::Refusal([&] { e.SetOption("muxdelay", "0,3"); }), "Invalid value '0,3' for option '-muxdelay'");
  EXPECT_FLOAT_EQ(e.Options().MuxMaxDelay, 0.7f);
  e.SetOption("muxdelay", "0.3");
  EXPECT_FLOAT_EQ(e.Options().MuxMaxDelay, 0.3f);
}

TEST(OptionTable, IgnoredWordsFlagsAndRefusals) {
  test::OptionEngine e;
  for (const char* name : {"i", "y", "h", "L", "version", "formats", "benchmark", "apre", "vpre", "spre"}) {
    e.SetOption(name, "x");
    EXPECT_TRUE(e.Logged(std::string("Do nothing: option - ") + name)) << name;
  }
  e.SetOption("sameq", "ignored");
  e.SetOption("an", "");
  EXPECT_EQ(e.Options().SameQuality, 1);
  EXPECT_EQ(e.Options().AudioDisable, 1);
  EXPECT_EQ(test::Refusal([&] { e.SetOption("threads", "4"); }),
            "Option '-threads' is not supported: audio and subtitles are coded on one thread each here. "
            "Use -decode_threads N (1 to 16) to decode video on N threads and -encode_threads N to encode it on N");
  EXPECT_EQ(e.Options().ThreadCount, 1);
  // Exact and case-sensitive: neither is an option of the table or a library.
  e.SetOption("-vcodec", "mpeg4");
  e.SetOption("VCODEC", "mpeg4");
  EXPECT_EQ(e.Options().VideoCodecName, "");
  EXPECT_TRUE(e.Options().GenericOptionNames.empty());
  e.SetOption("title", "A");
  e.SetOption("title", "");
  EXPECT_EQ(e.Options().Title, "A");
}

TEST(OptionTable, OptionsWithoutValues) {
  for (const char* name : {"dump", "hex", "re", "copyts", "vn", "an", "sn", "newvideo", "newaudio",
                           "newsubtitle", "benchmark", "y", "vstats"})
    EXPECT_TRUE(TCustomFFmpeg::OptionTakesNoValue(name)) << name;
  for (const char* name : {"vcodec", "b", "map", "v", "threads", "vstats_file", "unknown_word"})
    EXPECT_FALSE(TCustomFFmpeg::OptionTakesNoValue(name)) << name;
}

}  // namespace
}  // namespace vantrel
