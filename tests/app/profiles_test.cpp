// The profiles and option lists: what a choice becomes in a task's output
// options, how a profile change rebuilds the audio lists, the pre-flight
// check and the size estimate.
#include "app/profiles.h"

#include "app/h264_output.h"

#include <QTest>
#include <climits>

#include "app_tests.h"

using namespace vantrel;
using namespace vantrel::app;

namespace {

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

class ProfilesTest : public QObject {
  Q_OBJECT

 private slots:
  // The H.263 profiles leave the codecs to the container; an index outside
  // 0-3 is the MP4 profile; every field a task needs is filled.
  void optionsOfEachProfile() {
    TOutputOptions options;
    OutputChoice choice;
    SelectProfile(choice, 1);
    choice.frameRate = 9;  // 29.97fps
    FillOutputOptions(choice, options);
    QCOMPARE(options.FileExt, std::string(".3gp"));
    QVERIFY(options.VideoCodec.empty());
    QVERIFY(options.AudioCodec.empty());
    QCOMPARE(options.FrameSize, std::string("176x144"));
    QCOMPARE(options.VideoBitrate, 40000);
    QCOMPARE(options.FrameRate, std::string("30000/1001"));
    QCOMPARE(options.AudioChannels, 1);
    QCOMPARE(options.AudioBitrate, 10200);
    QCOMPARE(options.AudioSampleRate, 8000);
    QVERIFY(options.CopyTimestamps);
    QCOMPARE(options.Timestamp, 0.0);
    QVERIFY(options.FileName.empty());

    for (int index : {-1, 4, 7}) {
      choice = OutputChoice();
      choice.profile = index;
      FillOutputOptions(choice, options);
      QCOMPARE(options.FileExt, std::string(".mp4"));
      QCOMPARE(options.VideoCodec, std::string("mpeg4"));
      QCOMPARE(options.AudioCodec, std::string("libfaac"));
    }
  }

  // Every pick of the profile rebuilds the three audio lists and forgets
  // their choice, also when the same profile is picked again; the video
  // lists keep theirs.
  void profileChangeRebuildsAudioLists() {
    OutputChoice choice;
    choice.videoSize = 5;
    choice.videoBitrate = 4;
    choice.frameRate = 11;
    SelectProfile(choice, 0);
    choice.audioChannels = 0;
    choice.audioBitrate = 13;
    choice.audioSampleRate = 5;

    SelectProfile(choice, 1);
    QCOMPARE(Items(OptionList::AudioChannels, 1).size(), size_t(1));
    QCOMPARE(Items(OptionList::AudioSampleRate, 1).size(), size_t(1));
    QCOMPARE(Q(ItemText(OptionList::AudioChannels, 1, choice.audioChannels)), QStringLiteral("1 (Mono)"));
    QCOMPARE(Q(ItemText(OptionList::AudioBitrate, 1, choice.audioBitrate)), QStringLiteral("10.2kbps"));
    QCOMPARE(Q(ItemText(OptionList::AudioSampleRate, 1, choice.audioSampleRate)), QStringLiteral("8000Hz"));
    QVERIFY(IsValid(choice));

    choice.audioBitrate = 0;
    SelectProfile(choice, 1);
    QCOMPARE(choice.audioBitrate, 6);

    SelectProfile(choice, 0);
    QCOMPARE(Q(ItemText(OptionList::AudioChannels, 0, choice.audioChannels)), QStringLiteral("2 (Stereo)"));
    QCOMPARE(Q(ItemText(OptionList::AudioBitrate, 0, choice.audioBitrate)), QStringLiteral("96kbps"));
    QCOMPARE(Q(ItemText(OptionList::AudioSampleRate, 0, choice.audioSampleRate)), QStringLiteral("32000Hz"));
    QCOMPARE(choice.videoSize, 5);
    QCOMPARE(choice.videoBitrate, 4);
    QCOMPARE(choice.frameRate, 11);

    // A stereo choice carried into an AMR-NB profile would not be valid.
    choice.audioChannels = 1;
    choice.profile = 3;
    QVERIFY(!IsValid(choice));
  }

  // Every item of every list parses to the value the converter needs; the
  // AMR-NB rates must be exact, since the encoder takes only its modes.
  void everyItemParses() {
    const int amr[] = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
    const auto amrItems = Items(OptionList::AudioBitrate, 1);
    QCOMPARE(amrItems.size(), std::size(amr));
    for (size_t i = 0; i < amrItems.size(); ++i) QCOMPARE(ParseAudioBitrate(amrItems[i]), amr[i]);

    const int aac[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    const auto aacItems = Items(OptionList::AudioBitrate, 0);
    QCOMPARE(aacItems.size(), std::size(aac));
    for (size_t i = 0; i < aacItems.size(); ++i) QCOMPARE(ParseAudioBitrate(aacItems[i]), aac[i] * 1000);

    const char* rates[] = {"", "5", "8", "10", "12", "15", "20", "24000/1001", "25", "30000/1001", "30", "60"};
    const auto rateItems = Items(OptionList::FrameRate, 0);
    QCOMPARE(rateItems.size(), std::size(rates));
    for (size_t i = 0; i < rateItems.size(); ++i) QCOMPARE(ParseFrameRate(rateItems[i]), std::string(rates[i]));

    QCOMPARE(ParseSampleRate(Items(OptionList::AudioSampleRate, 0)[4]), 44100);
    QCOMPARE(IndexOfItem(OptionList::AudioBitrate, 1, "96kbps"), -1);
  }

  // H.263 refuses every size but its five; MPEG-4 takes every listed one.
  void preflightOfSizes() {
    for (int profile = 0; profile < kProfileCount; ++profile) {
      for (std::string_view size : Items(OptionList::VideoSize, profile)) {
        const std::string reason = PreflightReason(profile, size);
        const bool refused = UsesH263(profile) && (size == "320x240" || size == "160x120");
        QVERIFY2(reason.empty() != refused, (std::to_string(profile) + " " + std::string(size)).c_str());
        if (refused) {
          // Only sizes the user can pick: the list has no 1408x1152.
          QVERIFY(reason.find("only 128x96, 176x144, 352x288 and 704x576, not") != std::string::npos);
          QVERIFY(reason.find(std::string(size)) != std::string::npos);
        }
      }
    }
    QVERIFY(PreflightReason(1, "1408x1152").empty());
  }

  void estimatedSize() {
    // 60 s at 40 + 32 kbit/s: 540000 bytes, 3% and the header on top.
    QCOMPARE(EstimatedOutputBytes(60'000'000, 40000, 32000), std::optional<int64_t>(540000 + 16200 + 4096));
    OutputChoice choice;  // 40kbps video, 32kbps audio
    QCOMPARE(EstimatedOutputBytes(60'000'000, choice), EstimatedOutputBytes(60'000'000, 40000, 32000));
    QCOMPARE(EstimatedOutputBytes(-1, choice), std::nullopt);
    QCOMPARE(EstimatedOutputBytes(0, choice), std::nullopt);
    QCOMPARE(EstimatedOutputBytes(INT64_MIN, choice), std::nullopt);
    // A broken file's absurd duration must not wrap around.
    QCOMPARE(EstimatedOutputBytes(INT64_MAX, 512000, 320000), std::nullopt);
  }

  // The H.264 profiles' chosen size is a frame the source's shown picture
  // fits in: its shape kept, the frame turned with the source, never
  // enlarged, even both ways.
  void h264PictureFitsTheSource() {
    const auto fit = [](int w, int h, int sarNum, int sarDen, const char* box) {
      TAVVideoInfo v{};
      v.Width = w, v.Height = h, v.SarNum = sarNum, v.SarDen = sarDen;
      return PictureSizeText(FitPicture(SourceOf(v), ParsePictureSize(box)));
    };
    QCOMPARE(fit(1920, 1080, 1, 1, "1280x720"), std::string("1280x720"));
    QCOMPARE(fit(640, 480, 1, 1, "426x240"), std::string("320x240"));      // 4:3 in a 16:9 frame
    QCOMPARE(fit(640, 480, 1, 1, "1280x720"), std::string("640x480"));     // never enlarged
    QCOMPARE(fit(1080, 1920, 1, 1, "1280x720"), std::string("720x1280"));  // upright stays upright
    QCOMPARE(fit(720, 576, 64, 45, "Same as source"), std::string("720x406"));  // 16:9 PAL, square pixels
    QCOMPARE(fit(720, 576, 16, 15, "854x480"), std::string("640x480"));   // 4:3 PAL
    QCOMPARE(fit(352, 240, 10, 11, "Same as source"), std::string("320x240"));  // VCD: narrower, not taller
    QCOMPARE(fit(1921, 1081, 0, 0, "Same as source"), std::string("1922x1082"));
    QCOMPARE(fit(0, 0, 0, 0, "854x480"), std::string("854x480"));          // unknown source: the frame
    QCOMPARE(fit(100, 50, 1000, 1, "640x360"), std::string("100x50"));     // absurd aspect: square
  }

  // The level is the lowest whose limits hold the picture; the Baseline
  // profile stops at 3.0 and says so before converting, only when the
  // source is known.
  void h264LevelsAndTheirLimits() {
    QCOMPARE(LevelFor({1280, 720}, 30, 0, true)->name, std::string_view("3.1"));
    QCOMPARE(LevelFor({1920, 1080}, 30, 0, true)->name, std::string_view("4.0"));
    QCOMPARE(LevelFor({1920, 1080}, 60, 0, true)->name, std::string_view("4.2"));
    QCOMPARE(LevelFor({854, 480}, 25, 0, true)->name, std::string_view("3.0"));
    QCOMPARE(LevelFor({176, 144}, 15, 40000, false)->name, std::string_view("1.0"));
    QCOMPARE(LevelFor({176, 144}, 15, 256000, false)->name, std::string_view("1.2"));  // by its bit rate
    QCOMPARE(LevelFor({7680, 4320}, 30, 0, true), nullptr);

    OutputChoice choice;
    SelectProfile(choice, 6);
    choice.videoSize = 3;   // 640x360
    choice.frameRate = 11;  // 60fps
    TAVVideoInfo source{};
    source.Width = 1280, source.Height = 720;
    QVERIFY(PreflightReason(choice).empty());
    const std::string reason = PreflightReason(choice, source);
    QVERIFY2(reason.find("640x360 at 60 frames per second is beyond H.264 level 3.0") == 0, reason.c_str());
    QVERIFY(H264ValuesOf(choice, source)->level.empty());
    choice.frameRate = 10;  // 30fps
    QVERIFY(PreflightReason(choice, source).empty());
    QCOMPARE(H264ValuesOf(choice, source)->level, std::string("3.0"));
  }

  // A task of each H.264 profile: the encoder, its own options, the fitted
  // size with square pixels; the other profiles' tasks are untouched.
  void h264TaskOptions() {
    OutputChoice choice;
    SelectProfile(choice, 5);
    QCOMPARE(Q(ItemText(OptionList::VideoSize, 5, choice.videoSize)), QStringLiteral("1280x720"));
    QCOMPARE(Q(ItemText(OptionList::VideoBitrate, 5, choice.videoBitrate)), QStringLiteral("Balanced"));
    TAVVideoInfo source{};
    source.Width = 1920, source.Height = 800, source.FrameRateNum = 24000, source.FrameRateDen = 1001;
    TOutputOptions o;
    FillOutputOptions(choice, o, source);
    QCOMPARE(o.FileExt, std::string(".mp4"));
    QCOMPARE(o.VideoCodec, std::string("libx264"));
    QCOMPARE(o.AudioCodec, std::string("aac"));
    QCOMPARE(o.FrameSize, std::string("1280x534"));
    QCOMPARE(o.FrameAspectRatio, std::string("1280:534"));
    QCOMPARE(o.VideoBitrate, 0);
    QCOMPARE(o.ExtOptions, std::string("preset=veryfast\nprofile=high\nlevel=3.1\ncrf=23\npix_fmt=yuv420p\n"));
    QCOMPARE(o.AudioChannels, 2);
    QCOMPARE(o.AudioBitrate, 128000);
    QCOMPARE(o.AudioSampleRate, 44100);
    // The estimate is a guess from the picture, 0.08 bit per pixel here.
    QVERIFY(EstimateIsGuess(choice));
    QCOMPARE(EstimatedOutputBytes(60'000'000, choice, source),
             EstimatedOutputBytes(60'000'000, int(0.08 * 1280 * 534 * 24000 / 1001), 128000));

    SelectProfile(choice, 6);
    FillOutputOptions(choice, o, source);
    QCOMPARE(o.FrameSize, std::string("320x134"));
    QCOMPARE(o.VideoBitrate, 256000);
    QCOMPARE(o.ExtOptions, std::string("preset=veryfast\nprofile=baseline\nlevel=1.2\npix_fmt=yuv420p\n"));
    QCOMPARE(o.AudioChannels, 2);
    QVERIFY(!EstimateIsGuess(choice));

    // Back to a first profile: its video lists at their defaults again, and
    // nothing of the encoder's own options.
    SelectProfile(choice, 4);
    QCOMPARE(choice.videoSize, 1);
    QCOMPARE(choice.videoBitrate, 0);
    FillOutputOptions(choice, o, source);
    QCOMPARE(o.FrameSize, std::string("176x144"));
    QVERIFY(o.ExtOptions.empty());
    QVERIFY(o.FrameAspectRatio.empty());
  }
};

int RunProfilesTests(int argc, char** argv) {
  ProfilesTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "profiles_test.moc"
