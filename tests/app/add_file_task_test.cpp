// Add: which files become rows and what they show, the output names a row
// gets (taken by the disk, by an earlier row, or the input itself), and the
// tasks left behind.
#include "app/add_file_task.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QSize>
#include <QTest>
#include <memory>

#include "app/decode_size.h"
#include "app/decoder_threads.h"
#include "app/file_list_model.h"
#include "app_fixtures.h"
#include "app_tests.h"

using namespace vantrel::app;
using namespace vantrel::app::test;

class AddFileTaskTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<vantrel::TBrontConverter> converter_;

  QString outputFolder() const { return dir_->filePath(QStringLiteral("out/")); }
  AddFileSettings settings(bool overwrite, int profile = 4) const {
    AddFileSettings s;
    SelectProfile(s.choice, profile);
    s.outputFolder = outputFolder();
    s.overwrite = overwrite;
    return s;
  }
  static void touch(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("old");
  }
  QStringList outputNames(const FileListModel& model) const {
    QStringList names;
    for (int row = 0; row < model.size(); ++row) names << model.fileRow(row).outputName;
    return names;
  }

 private slots:
  void initTestCase() { LoadCodecLibraries(); }
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(QDir().mkpath(outputFolder()));
    converter_ = std::make_unique<vantrel::TBrontConverter>();
  }
  void cleanup() {
    converter_.reset();
    dir_.reset();
  }

  // Three files of which the second is not media: two rows with the
  // probed duration, the type and the output name; one message naming the
  // refused file; no task left once Add is done.
  void refusedFileGetsNoRow() {
    FileListModel model;
    RecordingReporter reporter;
    const QStringList files{Fixture("avi_mpeg4.avi"), Fixture("text.avi"), Fixture("mp4.mp4")};
    QCOMPARE(AddFilesToList(*converter_, settings(false), files, model, reporter), 2);
    QCOMPARE(model.size(), 2);
    QCOMPARE(model.fileRow(0).path, files[0]);
    QCOMPARE(model.fileRow(0).durationText, QStringLiteral("00:00:04"));
    QCOMPARE(model.fileRow(0).type, QStringLiteral("AVI"));
    QCOMPARE(model.fileRow(1).path, files[2]);
    QCOMPARE(outputNames(model), (QStringList{QStringLiteral("avi_mpeg4"), QStringLiteral("mp4")}));
    QVERIFY(model.fileRow(1).estimatedBytes.has_value());
    QCOMPARE(reporter.messages.size(), 1);
    QCOMPARE(reporter.messages[0].first, MessageKind::Refusal);
    QCOMPARE(reporter.messages[0].second,
             QStringLiteral("Convertion of file \"") + files[1] + QStringLiteral("\" is not supported."));
    QCOMPARE(converter_->TaskCount(), 0);
    // The check leaves nothing on disk, not even a hidden staging file.
    QCOMPARE(QDir(outputFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{});
  }

  // A name on disk is taken unless overwriting; a name given to an earlier
  // row is taken always, so the same file twice never shares an output.
  void outputNamesAvoidTakenFiles_data() {
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<QStringList>("onDisk");
    QTest::addColumn<QStringList>("expected");
    const QString clip = QStringLiteral("avi_mpeg4");
    const QString clip1 = QStringLiteral("avi_mpeg4(1)");
    const QString clip2 = QStringLiteral("avi_mpeg4(2)");
    const QString clip3 = QStringLiteral("avi_mpeg4(3)");
    QTest::newRow("free, twice") << false << QStringList{} << QStringList{clip, clip1};
    QTest::newRow("free, twice, overwrite") << true << QStringList{} << QStringList{clip, clip1};
    QTest::newRow("on disk") << false << QStringList{clip} << QStringList{clip1, clip2};
    QTest::newRow("on disk with (1)") << false << QStringList{clip, clip1} << QStringList{clip2, clip3};
    QTest::newRow("on disk, overwrite") << true << QStringList{clip, clip1} << QStringList{clip, clip1};
  }
  void outputNamesAvoidTakenFiles() {
    QFETCH(bool, overwrite);
    QFETCH(QStringList, onDisk);
    QFETCH(QStringList, expected);
    for (const QString& name : onDisk) touch(outputFolder() + name + QStringLiteral(".mp4"));
    FileListModel model;
    RecordingReporter reporter;
    const QString input = Fixture("avi_mpeg4.avi");
    QCOMPARE(AddFilesToList(*converter_, settings(overwrite), {input, input}, model, reporter), 2);
    QCOMPARE(outputNames(model), expected);
    // A later Add counts the rows already listed.
    QCOMPARE(AddFilesToList(*converter_, settings(overwrite), {input}, model, reporter), 1);
    QVERIFY(!expected.contains(model.fileRow(2).outputName));
    QVERIFY(reporter.messages.isEmpty());
  }

  // The factor of reduced-size decoding: the largest that keeps the decoded
  // picture at least the output's size both ways, none for decoders without
  // it, never beyond 1/8.
  void lowresFactorTable_data() {
    QTest::addColumn<int>("codec");
    QTest::addColumn<QSize>("input");
    QTest::addColumn<QSize>("output");
    QTest::addColumn<int>("factor");
    QTest::newRow("mpeg4 VGA to QCIF") << int(AV_CODEC_ID_MPEG4) << QSize(640, 480) << QSize(176, 144) << 1;
    QTest::newRow("mpeg4 VGA to 160x120") << int(AV_CODEC_ID_MPEG4) << QSize(640, 480) << QSize(160, 120) << 2;
    QTest::newRow("mpeg4 720p, height limits") << int(AV_CODEC_ID_MPEG4) << QSize(1280, 720) << QSize(160, 120) << 2;
    QTest::newRow("mpeg4 16CIF to QCIF") << int(AV_CODEC_ID_MPEG4) << QSize(1408, 1152) << QSize(176, 144) << 3;
    QTest::newRow("mjpeg capped at 1/8") << int(AV_CODEC_ID_MJPEG) << QSize(2816, 2304) << QSize(128, 96) << 3;
    QTest::newRow("mpeg2 PAL to QCIF") << int(AV_CODEC_ID_MPEG2VIDEO) << QSize(720, 576) << QSize(176, 144) << 2;
    QTest::newRow("h263 CIF to QCIF") << int(AV_CODEC_ID_H263) << QSize(352, 288) << QSize(176, 144) << 1;
    QTest::newRow("one pixel short") << int(AV_CODEC_ID_MPEG4) << QSize(350, 290) << QSize(176, 144) << 0;
    QTest::newRow("same size") << int(AV_CODEC_ID_MPEG4) << QSize(176, 144) << QSize(176, 144) << 0;
    QTest::newRow("size unknown") << int(AV_CODEC_ID_MPEG4) << QSize(0, 0) << QSize(176, 144) << 0;
    QTest::newRow("h264 has none") << int(AV_CODEC_ID_H264) << QSize(1280, 720) << QSize(176, 144) << 0;
    QTest::newRow("hevc has none") << int(AV_CODEC_ID_HEVC) << QSize(1920, 1080) << QSize(176, 144) << 0;
    QTest::newRow("vp8 has none") << int(AV_CODEC_ID_VP8) << QSize(1280, 720) << QSize(128, 96) << 0;
  }
  void lowresFactorTable() {
    QFETCH(int, codec);
    QFETCH(QSize, input);
    QFETCH(QSize, output);
    QFETCH(int, factor);
    const Decoder decoder = DecoderFor(codec);
    QVERIFY(!decoder.name.isEmpty());
    QCOMPARE(LowresFactor(decoder.maxLowres, input.width(), input.height(), output.width(), output.height()), factor);
  }

  // Halving before the scaler, after any reduced-size decoding, while the
  // picture stays twice the output both ways; never with fast decoding off.
  void halvingTable_data() {
    QTest::addColumn<int>("codec");
    QTest::addColumn<QSize>("input");
    QTest::addColumn<QSize>("output");
    QTest::addColumn<bool>("fast");
    QTest::addColumn<bool>("halved");
    QTest::newRow("h264 720p to QCIF") << int(AV_CODEC_ID_H264) << QSize(1280, 720) << QSize(176, 144) << true << true;
    QTest::newRow("h264 720p, fast off") << int(AV_CODEC_ID_H264) << QSize(1280, 720) << QSize(176, 144) << false
                                         << false;
    QTest::newRow("h264 VGA to QCIF") << int(AV_CODEC_ID_H264) << QSize(640, 480) << QSize(176, 144) << true << false;
    QTest::newRow("hevc 1080p to QCIF") << int(AV_CODEC_ID_HEVC) << QSize(1920, 1080) << QSize(176, 144) << true
                                        << true;
    QTest::newRow("vp8 exactly four times") << int(AV_CODEC_ID_VP8) << QSize(512, 384) << QSize(128, 96) << true
                                            << true;
    QTest::newRow("mpeg4 VGA after lowres") << int(AV_CODEC_ID_MPEG4) << QSize(640, 480) << QSize(176, 144) << true
                                            << false;
    QTest::newRow("mjpeg after 1/8") << int(AV_CODEC_ID_MJPEG) << QSize(2816, 2304) << QSize(128, 96) << true
                                     << false;
  }
  void halvingTable() {
    QFETCH(int, codec);
    QFETCH(QSize, input);
    QFETCH(QSize, output);
    QFETCH(bool, fast);
    QFETCH(bool, halved);
    const DecodeChoice choice =
        ChooseDecoding(DecoderFor(codec), input.width(), input.height(), output.width(), output.height(), fast);
    QCOMPARE(choice.halveBeforeScaling, halved);
    QCOMPARE(choice.note.endsWith(QStringLiteral(", halving the picture before scaling")), halved);
  }

  // The choice made at Add is the row's tooltip, with the reason for a full
  // size; turning fast decoding off keeps every file at full size.
  void decodingChoiceShownInTheRow() {
    FileListModel model;
    RecordingReporter reporter;
    AddFileSettings s = settings(false);
    s.choice.videoSize = 4;  // 160x120
    const QStringList files{Fixture("avi_mpeg4.avi"), Fixture("mp4.mp4"), Fixture("audio_only.wav")};
    QCOMPARE(AddFilesToList(*converter_, s, files, model, reporter), 3);
    QCOMPARE(model.fileRow(0).decodingNote, QStringLiteral("decoding at 1/2 size (lowres 1)"));
    // A quarter of the input's pixels: the deblocking of non-reference pictures is skipped.
    QCOMPARE(model.fileRow(1).decodingNote, QStringLiteral("decoding at full size (h264 has no reduced-size decoding), "
                                                           "without deblocking non-reference pictures, skipping the "
                                                           "non-reference pictures the frame rate drops"));
    QCOMPARE(model.fileRow(2).decodingNote, QString());
    QCOMPARE(model.data(model.index(0, FileListModel::InputNameColumn), Qt::ToolTipRole).toString(),
             model.fileRow(0).decodingNote);

    s.fastDecoding = false;
    TakenOutputs taken;
    const std::optional<AddedTask> off = AddFileTask(*converter_, s, files[0], taken, reporter);
    QVERIFY(off);
    QCOMPARE(off->decoding.factor, 0);
    QCOMPARE(off->decoding.note, QStringLiteral("decoding at full size (fast decoding is off)"));
    s.choice.videoSize = 3;  // 320x240: the whole picture
    s.fastDecoding = true;
    const std::optional<AddedTask> whole = AddFileTask(*converter_, s, files[0], taken, reporter);
    QVERIFY(whole);
    QCOMPARE(whole->decoding.note, QStringLiteral("decoding at full size (the output needs the whole picture)"));
    s.choice.videoSize = 1;  // 176x144: more than a quarter of 320x240
    const std::optional<AddedTask> h264 = AddFileTask(*converter_, s, files[1], taken, reporter);
    QVERIFY(h264);
    QVERIFY(!h264->decoding.skipNonReferenceDeblocking);
    QVERIFY(h264->decoding.skipDroppedPictures);
    QCOMPARE(h264->decoding.note, QStringLiteral("decoding at full size (h264 has no reduced-size decoding), skipping "
                                                 "the non-reference pictures the frame rate drops"));
    QVERIFY(!whole->decoding.skipDroppedPictures);  // a decoder with reduced sizes
    s.fastDecoding = false;
    const std::optional<AddedTask> h264Off = AddFileTask(*converter_, s, files[1], taken, reporter);
    QVERIFY(h264Off);
    QVERIFY(!h264Off->decoding.skipDroppedPictures && !h264Off->decoding.skipNonReferenceDeblocking);
  }

  // The cores a batch leaves idle go to the decoders of the files running.
  void decoderThreadsForSpareCores() {
    QCOMPARE(DecoderThreads(2, 1, 2), 2);   // one file on two cores
    QCOMPARE(DecoderThreads(2, 8, 2), 1);   // every core runs a file
    QCOMPARE(DecoderThreads(1, 8, 8), 8);
    QCOMPARE(DecoderThreads(3, 8, 8), 2);   // 8 / 3 rounded down
    QCOMPARE(DecoderThreads(4, 2, 8), 4);   // only two files to run
    QCOMPARE(DecoderThreads(2, 1, 0), 1);   // cores unknown
    QCOMPARE(DecoderThreads(1, 1, 64), kMaxDecoderThreads);
    QCOMPARE(DecoderThreads(0, 0, 4), 4);
  }

  // Overwriting an output that is the input itself, directly or through a
  // link to its folder, would destroy the file being read: refused with a
  // reason, no task left. Without overwrite the name simply moves on.
  void outputThatIsItsInputIsRefused() {
    const QString input = outputFolder() + QStringLiteral("clip.mp4");
    QVERIFY(QFile::copy(Fixture("mp4.mp4"), input));
    const QString linkedFolder = dir_->filePath(QStringLiteral("linked/"));
    QVERIFY(QFile::link(outputFolder(), dir_->filePath(QStringLiteral("linked"))));

    for (const QString& folder : {outputFolder(), linkedFolder}) {
      RecordingReporter reporter;
      TakenOutputs taken;
      AddFileSettings s = settings(true);
      s.outputFolder = folder;
      QVERIFY(!AddFileTask(*converter_, s, input, taken, reporter));
      QCOMPARE(reporter.messages.size(), 1);
      QVERIFY2(reporter.messages[0].second.contains(QStringLiteral("would replace its own input")),
               qPrintable(reporter.messages[0].second));
      QCOMPARE(converter_->TaskCount(), 0);
    }
    RecordingReporter reporter;
    TakenOutputs taken;
    const std::optional<AddedTask> added = AddFileTask(*converter_, settings(false), input, taken, reporter);
    QVERIFY(added);
    QCOMPARE(added->outputName, QStringLiteral("clip(1)"));
    QCOMPARE(added->taskIndex, 0);
  }
};

int RunAddFileTaskTests(int argc, char** argv) {
  AddFileTaskTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "add_file_task_test.moc"
