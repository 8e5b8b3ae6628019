#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <string>

#include "converter/apply_options.h"
#include "engine/options/option_record.h"
#include "phone_profile.h"
#include "test_support.h"

namespace vantrel {
namespace {

// The message of the exception the call raises, or "" without one.
template <typename F>
std::string Refusal(F&& f) {
  try {
    f();
  } catch (const FFMpegException& e) {
    return e.what();
  }
  return "";
}

// A reset engine, as the converter makes one for each task.
class OptionEngine : public TCustomFFmpeg {
 public:
  OptionEngine() {
    test::EnsureLibrariesLoaded();
    ResetEngine();
  }
};

TOutputOptions FreshOutput() {
  TOutputOptions o;
  InitOutputOptions(o);
  return o;
}

TInputOptions FreshInput() {
  TInputOptions o;
  InitInputOptions(o);
  return o;
}

// The option state a record can reach, as text per field.
std::map<std::string, std::string> OptionState(const TCustomFFmpeg& engine) {
  const TEngineOptions& e = engine.Options();
  const auto s = [](auto v) { return std::to_string(v); };
  const auto str = [](const std::string& p) { return p.empty() ? std::string("(none)") : p; };
  std::string generic;
  for (const std::string& n : e.GenericOptionNames) generic += n + ",";
  return {
      {"InputFormat", e.InputFormat ? e.InputFormat->name : "(none)"},
      {"OutputFormat", e.OutputFormat ? e.OutputFormat->name : "(none)"},
      {"Frame", s(e.FrameWidth) + "x" + s(e.FrameHeight) + " " + s(e.FrameRate.num) + "/" + s(e.FrameRate.den) +
                    " aspect " + s(e.FrameAspectRatio)},
      {"Crop", s(e.FrameCropTop) + s(e.FrameCropBottom) + s(e.FrameCropLeft) + s(e.FrameCropRight)},
      {"Pad", s(e.FramePadTop) + s(e.FramePadBottom) + s(e.FramePadLeft) + s(e.FramePadRight)},
      {"PadColor", s(e.PadColorY) + "," + s(e.PadColorU) + "," + s(e.PadColorV)},
      {"Codecs", str(e.VideoCodecName) + " " + str(e.AudioCodecName) + " " + str(e.SubtitleCodecName) + " " +
                     s(e.VideoStreamCopy) + s(e.AudioStreamCopy) + s(e.SubtitleStreamCopy)},
      {"Tags", s(e.VideoCodecTag) + " " + s(e.AudioCodecTag)},
      {"Disable", s(e.VideoDisable) + s(e.AudioDisable) + s(e.SubtitleDisable)},
      {"Audio", s(e.AudioSampleRate) + " " + s(e.AudioChannels) + " vol " + s(e.AudioVolume)},
      {"AudioLanguage", e.AudioLanguage},
      {"SubtitleLanguage", e.SubtitleLanguage},
      {"AudioSyncMethod", s(e.AudioSyncMethod)},
      {"VideoSyncMethod", s(e.VideoSyncMethod)},
      {"CopyTs", s(e.CopyTs)},
      {"VideoFilters", e.VideoFilters},
      {"Mux", s(e.MuxPreload) + " " + s(e.MuxMaxDelay)},
      {"Times", s(e.RecordingTime) + " " + s(engine.Result().DurationMs) + " " + s(e.StartTime) + " " + s(e.RecTimestamp)},
      {"Metadata", e.Title + "|" + e.Author + "|" + e.Copyright + "|" + e.Comment + "|" + e.Album + "|" + e.Genre +
                       "|" + s(e.Year) + "|" + s(e.Track)},
      {"ProgramId", s(e.ProgramId)},
      {"Generic", generic},
      {"Hooks", s(engine.HookRanges().size())},
  };
}

// Sets TZ for the lifetime of the object.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) {
      old_ = old;
      had_ = true;
    }
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ScopedTimeZone() {
    if (had_)
      setenv("TZ", old_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::string old_;
  bool had_ = false;
};

TEST(ConverterRecords, UnsetRecordChangesOnlyTheAlwaysAssignedFields) {
  OptionEngine e;
  for (const auto& [name, value] :
       {std::pair{"alang", "eng"}, {"slang", "fre"}, {"async", "1"}, {"vsync", "2"}, {"copyts", ""},
        {"padcolor", "255"}, {"title", "kept"}, {"ac", "1"}, {"s", "320x240"}, {"acodec", "mp2"},
        {"ab", "64000"}, {"ss", "5"}, {"vfilters", "null"}})
    e.SetOption(name, value);
  auto expected = OptionState(e);
  expected["AudioLanguage"] = "";
  expected["SubtitleLanguage"] = "";
  expected["AudioSyncMethod"] = "0";
  expected["VideoSyncMethod"] = "-1";
  expected["CopyTs"] = "0";
  expected["PadColor"] = "0,128,128";  // black

  ApplyOutputOptions(e, FreshOutput());
  EXPECT_EQ(OptionState(e), expected);

  OptionEngine fresh;
  const auto before = OptionState(fresh);
  ApplyInputOptions(fresh, FreshInput());
  EXPECT_EQ(OptionState(fresh), before);
}

TEST(ConverterRecords, FreeOptionLinesComeFirstAndKeepEverythingAfterTheFirstEquals) {
  OptionEngine e;
  TOutputOptions o = FreshOutput();
  o.ExtOptions = "  vfilters=scale=320:240,crop=iw-2:ih\r\ntitle=a=b\rauthor=\n\ncopyts\ns=640x480  ";
  o.FrameSize = "176x144";
  ApplyOutputOptions(e, o);
  EXPECT_EQ(e.Options().VideoFilters, "scale=320:240,crop=iw-2:ih");
  EXPECT_EQ(e.Options().Title, "a=b");
  EXPECT_EQ(e.Options().Author, "");
  // The record's own CopyTimestamps (False) is applied after the lines.
  EXPECT_FALSE(e.Options().CopyTs);
  EXPECT_EQ(e.Options().FrameWidth, 176);
  EXPECT_EQ(e.Options().FrameHeight, 144);
}

TEST(ConverterRecords, InputStartTimeProgramAndFormat) {
  OptionEngine e;
  TInputOptions in = FreshInput();
  in.ExtOptions = "ss=3\nprogramid=4";
  for (int32_t unset : {0, -1}) {
    in.StartTime = unset;
    ApplyInputOptions(e, in);
    EXPECT_EQ(e.Options().StartTime, 3000000) << unset;
    EXPECT_EQ(e.Options().ProgramId, 4);
  }
  in.StartTime = 1500;
  in.ProgramID = 0;
  in.FileFormat = "avi";
  ApplyInputOptions(e, in);
  EXPECT_EQ(e.Options().StartTime, 1500000);
  EXPECT_EQ(e.Options().ProgramId, 0);
  ASSERT_NE(e.Options().InputFormat, nullptr);
  EXPECT_STREQ(e.Options().InputFormat->name, "avi");
}

TEST(ConverterRecords, HookRangesKeepOnlyPiecesWithAValidEnd) {
  const auto ranges = ParseHookRangeText("1000-2000,5000");
  ASSERT_EQ(ranges.size(), 1u);
  EXPECT_EQ(ranges[0].start, 1000000);
  EXPECT_EQ(ranges[0].end, 2000000);

  const auto mixed = ParseHookRangeText(" 7000 - 9000 , x-100,50-20, 10-y,1-,-5, 9999999999999999-99999999999999999");
  ASSERT_EQ(mixed.size(), 3u);
  EXPECT_EQ(mixed[0].start, 7000000);
  EXPECT_EQ(mixed[0].end, 9000000);
  EXPECT_EQ(mixed[1].start, -1000);  // a start that is no number
  EXPECT_EQ(mixed[1].end, 100000);
  EXPECT_EQ(mixed[2].start, -1000);  // "-5": no start at all
  EXPECT_EQ(mixed[2].end, 5000);
  EXPECT_TRUE(ParseHookRangeText("  ").empty());

  OptionEngine e;
  ParseHookRanges(e, "7000-9000,300-400");
  ASSERT_EQ(e.HookRanges().size(), 2u);
  EXPECT_EQ(e.HookRanges()[0].end, 400000);
}

TEST(ConverterRecords, TargetNormsAndFallback) {
  struct Case {
    int32_t norm, fallback;
    const char* rate;
    int height;
  } cases[] = {
      {7, 0, "25", 288},  // any other norm detects: 25 fps is PAL
      {7, 0, "10", 240},  // nothing to detect from: fallback 0 is NTSC
      {0, 1, "10", 288},
      {2, 1, "25", 240},
      {1, 0, "10", 288},
  };
  for (const Case& c : cases) {
    OptionEngine e;
    TOutputOptions o = FreshOutput();
    o.TargetType = 1;
    o.TargetNorm = c.norm;
    o.TargetFallbackNorm = c.fallback;
    o.FrameRate = c.rate;
    ApplyOutputOptions(e, o);
    EXPECT_EQ(e.Options().FrameHeight, c.height) << c.norm << " " << c.fallback << " " << c.rate;
    ASSERT_NE(e.Options().OutputFormat, nullptr);
    EXPECT_STREQ(e.Options().OutputFormat->name, "vcd");
  }
  for (int32_t type : {0, 4, -1}) {
    OptionEngine e;
    TOutputOptions o = FreshOutput();
    o.TargetType = type;
    ApplyTarget(e, o);
    EXPECT_EQ(e.Options().OutputFormat, nullptr) << type;
  }
}

TEST(ConverterRecords, TimestampsAndTheStandardTimeOffset) {
  {
    ScopedTimeZone utc("UTC0");
    OptionEngine e;
    TOutputOptions o = FreshOutput();
    TOptionRecord(e).Fields().RecTimestamp = 42;
    ApplyOutputOptions(e, o);
    EXPECT_EQ(e.Options().RecTimestamp, 42);

    o.Timestamp = 0;
    ApplyOutputOptions(e, o);
    EXPECT_NEAR(double(e.Options().RecTimestamp), double(std::time(nullptr)), 5);

    o.Timestamp = 25569.5;  // noon, 1 January 1970
    ApplyOutputOptions(e, o);
    EXPECT_EQ(e.Options().RecTimestamp, 43200);
    o.Timestamp = 1.0;  // 31 December 1899, before the Unix epoch
    ApplyOutputOptions(e, o);
    EXPECT_EQ(e.Options().RecTimestamp, -25568LL * 86400);

    o.Timestamp = 3.0e6;  // beyond the year 9999
    EXPECT_EQ(Refusal([&] { ApplyOutputOptions(e, o); }),
              "Invalid date specification for timestamp: 10000-01-01 00:00:00Z");
  }
  {
    // Summer all year round: "now" is still the clock's own UTC time, not an
    // hour off through the standard-time offset.
    ScopedTimeZone summer("STD0DST-1,J1/0,J365/25");
    OptionEngine e;
    TOutputOptions o = FreshOutput();
    o.Timestamp = 0;
    ApplyOutputOptions(e, o);
    EXPECT_NEAR(double(e.Options().RecTimestamp), double(std::time(nullptr)), 5);
  }
  // One hour east in winter, two in summer: only the winter hour is taken off.
  ScopedTimeZone cet("CET-1CEST,M3.5.0,M10.5.0/3");
  EXPECT_EQ(DateTimeToUnixUTC(25569.5), 43200 - 3600);
  EXPECT_EQ(DateTimeToUnixUTC(45474.5), 1719835200 - 3600);  // 1 July 2024, noon
}

TEST(ConverterRecords, RefusedValueEndsTheApplyAtItsField) {
  struct Case {
    const char* what;
    std::function<void(TOutputOptions&)> set;
    const char* message;
  } cases[] = {
      {"odd crop", [](TOutputOptions& o) { o.CropTop = 3; }, "Top crop size must be a multiple of 2"},
      {"odd pad", [](TOutputOptions& o) { o.PadRight = 5; }, "Right pad size must be a multiple of 2"},
      {"3-letter tag", [](TOutputOptions& o) { o.AudioTag = "abc"; }, "audio tag parameter must be 4 chars"},
      {"frame size", [](TOutputOptions& o) { o.FrameSize = "huge"; }, "Incorrect frame size"},
      {"frame rate", [](TOutputOptions& o) { o.FrameRate = "fast"; }, "Incorrect frame rate"},
      {"format", [](TOutputOptions& o) { o.FileFormat = "nosuch"; }, "Unknown output format: nosuch"},
  };
  for (const Case& c : cases) {
    OptionEngine e;
    TOutputOptions o = FreshOutput();
    o.SubtitleLanguage = "ger";  // a field after all of the refused ones
    o.Year = 1999;
    c.set(o);
    std::string message;
    try {
      ApplyOutputOptions(e, o);
    } catch (const std::exception& x) {
      message = x.what();
    }
    EXPECT_EQ(message, c.message) << c.what;
    EXPECT_EQ(e.Options().SubtitleLanguage, "") << c.what;
    EXPECT_EQ(e.Options().Year, 0) << c.what;
  }
}

// The H.263/AMR-NB 3GP profile, from the records to a finished file.
TEST(ConverterRecords, ThreeGppProfileConvertsEndToEnd) {
  ASSERT_TRUE(test::FixturesAvailable());
  test::TempDir dir;
  const std::string out = dir / "out.3gp";
  OptionEngine e;
  TInputOptions in = FreshInput();
  in.FileName = test::Fixture("avi_mpeg4.avi");
  ApplyInputOptions(e, in);
  ASSERT_TRUE(e.OpenInputFile(in.FileName)) << e.LastError();

  TOutputOptions o = test::PhoneProfile();
  o.FileName = out;
  ApplyOutputOptions(e, o);
  ASSERT_TRUE(e.OpenOutputFile(o.FileName)) << e.LastError();
  e.StartJob(false);
  EXPECT_TRUE(e.Result().Completed);
  EXPECT_FALSE(e.Result().ErrorOccurred) << e.Result().ErrorMessage;

  std::string probe;
  test::RunCommand("ffprobe -v error -show_entries stream=codec_name,width,height,sample_rate,channels "
                   "-of compact=p=0:nk=1 '" + out + "'",
                   probe);
  EXPECT_EQ(probe, "h263|176|144\namr_nb|8000|1\n");
}

}  // namespace
}  // namespace vantrel
