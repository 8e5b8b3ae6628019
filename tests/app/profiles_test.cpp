// The profiles and option lists: what a choice becomes in a task's output
// options, how a profile change rebuilds the audio lists, the pre-flight
// check and the size estimate.
#include "app/profiles.h"

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
};

int RunProfilesTests(int argc, char** argv) {
  ProfilesTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "profiles_test.moc"
