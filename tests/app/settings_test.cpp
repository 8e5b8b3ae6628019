// The settings file: where it lies, its exact text, what a stored value
// gives back, and the output folder made at start-up. Each test runs with a
// fresh home and configuration folder.
#include "app/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app_tests.h"

using namespace vantrel::app;

class SettingsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir* dir_ = nullptr;
  QByteArray savedHome_, savedConfig_;

  QString path(const QString& relative) const { return dir_->filePath(relative); }

  void writeFile(const QString& file, const QByteArray& text) {
    QVERIFY(QDir().mkpath(QFileInfo(file).absolutePath()));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(text);
  }

 private slots:
  void init() {
    dir_ = new QTemporaryDir();
    QVERIFY(dir_->isValid());
    savedHome_ = qgetenv("HOME");
    savedConfig_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", path(QStringLiteral("home")).toUtf8());
    qputenv("XDG_CONFIG_HOME", path(QStringLiteral("config")).toUtf8());
  }
  void cleanup() {
    qputenv("HOME", savedHome_);
    qputenv("XDG_CONFIG_HOME", savedConfig_);
    delete dir_;
  }

  void fileLocation() {
    QCOMPARE(SettingsFilePath(), path(QStringLiteral("config/Vantrel/Options.ini")));
    for (const char* unusable : {"", "relative/config"}) {
      qputenv("XDG_CONFIG_HOME", unusable);
      QCOMPARE(SettingsFilePath(), path(QStringLiteral("home/.config/Vantrel/Options.ini")));
    }
  }

  void defaultsWithoutFile() {
    const Settings settings = ReadSettings(SettingsFilePath());
    QCOMPARE(settings.outputFolder, path(QStringLiteral("home/My 3GP Files/")));
    QCOMPARE(settings.output, OutputChoice());
    QCOMPARE(settings.output.videoSize, 1);
    QCOMPARE(settings.parallelTasks(), 2);
    QVERIFY(settings.overwrite);
    QVERIFY(!settings.shutdownAfterCompleted);
    QVERIFY(!QFile::exists(SettingsFilePath()));
  }

  // Written where no folder exists yet, in the exact text and key order,
  // and read back to the same settings.
  void writtenAndReadBack() {
    Settings settings = DefaultSettings();
    settings.outputFolder = QStringLiteral("/srv/phone clips/");
    SelectProfile(settings.output, 3);
    settings.output.videoSize = 5;
    settings.output.audioBitrate = 7;
    settings.output.frameRate = 9;
    settings.thread = 4;
    settings.overwrite = false;
    settings.shutdownAfterCompleted = true;
    settings.fastDecoding = false;
    settings.lastAddFolder = QStringLiteral("/home/ann/Videos");
    QString error;
    QVERIFY2(WriteSettings(settings, SettingsFilePath(), &error), qPrintable(error));

    QFile in(SettingsFilePath());
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(in.readAll()),
             QStringLiteral("[Options]\nOutputPath=/srv/phone clips/\nProfile=3\nVideoSize=5\nAudioChannels=0\n"
                            "VideoBitrate=0\nAudioBitrate=7\nFrameRate=9\nAudioSampleRate=0\nThread=4\n"
                            "Overwrite=False\nShutdownAfterCompleted=True\nFastDecoding=False\n"
                            "LastAddFolder=/home/ann/Videos\n"));
    QCOMPARE(ReadSettings(SettingsFilePath()), settings);

    // The H.264 profiles came later: their own lists' indexes go through
    // the same keys and come back.
    for (const int profile : {5, 6}) {
      SelectProfile(settings.output, profile);
      settings.output.videoSize = 2;
      settings.output.videoBitrate = 2;
      settings.output.audioSampleRate = 1;
      QVERIFY(IsValid(settings.output));
      QVERIFY(WriteSettings(settings, SettingsFilePath()));
      QCOMPARE(ReadSettings(SettingsFilePath()), settings);
    }

    // A folder with blanks at its ends survives the trip too.
    settings.outputFolder = QStringLiteral(" clips /");
    QVERIFY(WriteSettings(settings, SettingsFilePath()));
    QCOMPARE(ReadSettings(SettingsFilePath()).outputFolder, settings.outputFolder);
  }

  // A file an older version wrote with its last profile means what it
  // meant: the same items, though profiles and lists were added since.
  void olderFileReadUnchanged() {
    writeFile(SettingsFilePath(), "[Options]\nOutputPath=/m/\nProfile=4\nVideoSize=5\nAudioChannels=0\n"
                                  "VideoBitrate=4\nAudioBitrate=13\nFrameRate=9\nAudioSampleRate=5\nThread=1\n"
                                  "Overwrite=True\nShutdownAfterCompleted=False\n");
    const OutputChoice c = ReadSettings(SettingsFilePath()).output;
    const OutputValues v = ValuesOf(c);
    QCOMPARE(c.profile, 4);
    QCOMPARE(ProfileAt(c.profile).videoCodec, std::string_view("mpeg4"));
    QCOMPARE(v.frameSize, std::string("704x576"));
    QCOMPARE(v.videoBitrate, 512000);
    QCOMPARE(v.frameRate, std::string("30000/1001"));
    QCOMPARE(v.audioChannels, 1);
    QCOMPARE(v.audioBitrate, 320000);
    QCOMPARE(v.audioSampleRate, 48000);
  }

  void storedValues_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("expected");
    QTest::newRow("amr bitrate 7") << QByteArray("[Options]\nProfile=1\nAudioBitrate=7\n") << "audioBitrate" << 7;
    QTest::newRow("aac bitrate 7") << QByteArray("[Options]\nProfile=0\nAudioBitrate=7\n") << "audioBitrate" << 7;
    // Valid in the AAC list, outside the AMR-NB one of the stored profile.
    QTest::newRow("amr bitrate 13") << QByteArray("[Options]\nProfile=1\nAudioBitrate=13\n") << "audioBitrate" << 0;
    QTest::newRow("amr stereo") << QByteArray("[Options]\nProfile=3\nAudioChannels=1\n") << "audioChannels" << 0;
    QTest::newRow("aac stereo") << QByteArray("[Options]\nProfile=2\nAudioChannels=1\n") << "audioChannels" << 1;
    QTest::newRow("profile 9") << QByteArray("[Options]\nProfile=9\n") << "profile" << 0;
    QTest::newRow("size 6") << QByteArray("[Options]\nVideoSize=6\n") << "videoSize" << 1;
    // 1920x1080 in the smartphone list; beyond the Baseline one.
    QTest::newRow("h264 size 4") << QByteArray("[Options]\nProfile=5\nVideoSize=4\n") << "videoSize" << 4;
    QTest::newRow("baseline size 4") << QByteArray("[Options]\nProfile=6\nVideoSize=4\n") << "videoSize" << 1;
    QTest::newRow("size text") << QByteArray("[Options]\nVideoSize=big\n") << "videoSize" << 1;
    QTest::newRow("frame rate 11") << QByteArray("[Options]\r\nFrameRate = 11\r\n") << "frameRate" << 11;
    QTest::newRow("thread 5") << QByteArray("[Options]\nThread=5\n") << "thread" << 1;
    QTest::newRow("key case") << QByteArray("[options]\nPROFILE=2\n") << "profile" << 2;
    QTest::newRow("other section") << QByteArray("[Other]\nProfile=2\n[Options]\n") << "profile" << 0;
    QTest::newRow("overwrite lower case") << QByteArray("[Options]\nOverwrite=true\n") << "overwrite" << 0;
    QTest::newRow("shutdown yes") << QByteArray("[Options]\nShutdownAfterCompleted=yes\n") << "shutdown" << 0;
    QTest::newRow("fast decoding absent") << QByteArray("[Options]\nProfile=2\n") << "fastDecoding" << 1;
    QTest::newRow("fast decoding off") << QByteArray("[Options]\nFastDecoding=False\n") << "fastDecoding" << 0;
    QTest::newRow("fast decoding on") << QByteArray("[Options]\nfastdecoding=True\n") << "fastDecoding" << 1;
  }
  void storedValues() {
    QFETCH(QByteArray, text);
    QFETCH(QString, field);
    QFETCH(int, expected);
    writeFile(SettingsFilePath(), text);
    const Settings s = ReadSettings(SettingsFilePath());
    const QHash<QString, int> fields = {
        {QStringLiteral("profile"), s.output.profile},
        {QStringLiteral("videoSize"), s.output.videoSize},
        {QStringLiteral("frameRate"), s.output.frameRate},
        {QStringLiteral("audioChannels"), s.output.audioChannels},
        {QStringLiteral("audioBitrate"), s.output.audioBitrate},
        {QStringLiteral("thread"), s.thread},
        {QStringLiteral("overwrite"), int(s.overwrite)},
        {QStringLiteral("shutdown"), int(s.shutdownAfterCompleted)},
        {QStringLiteral("fastDecoding"), int(s.fastDecoding)},
    };
    QVERIFY(fields.contains(field));
    QCOMPARE(fields.value(field), expected);
    QVERIFY(IsValid(s.output));
  }

  void storedFolder() {
    writeFile(SettingsFilePath(), "[Options]\nOutputPath=/data/Out\n");
    QCOMPARE(ReadSettings(SettingsFilePath()).outputFolder, QStringLiteral("/data/Out/"));
    // An empty folder plus "/" would be the root: the default folder instead.
    writeFile(SettingsFilePath(), "[Options]\nOutputPath=\n");
    QCOMPARE(ReadSettings(SettingsFilePath()).outputFolder, path(QStringLiteral("home/My 3GP Files/")));
  }

  // A file in the way of the configuration folder: the write fails with a
  // reason and nothing is left half written.
  void writeFailureReported() {
    writeFile(path(QStringLiteral("config")), "not a folder");
    QString error;
    QVERIFY(!WriteSettings(DefaultSettings(), SettingsFilePath(), &error));
    QVERIFY(!error.isEmpty());
  }
};

int RunSettingsTests(int argc, char** argv) {
  SettingsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "settings_test.moc"
