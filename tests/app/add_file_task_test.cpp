// Add: which files become rows and why the others do not, what the rows
// show, the output names a row gets (taken by the disk, by another row's
// output or input), and the plans made again when a choice changes.
#include "app/add_file_task.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QSize>
#include <QTest>
#include <memory>

#include "app/decode_size.h"
#include "app/decoder_threads.h"
#include "app/file_list_model.h"
#include "app/typed_file_names.h"
#include "app_fixtures.h"
#include "app_tests.h"

using namespace vantrel::app;
using namespace vantrel::app::test;

class AddFileTaskTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;

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
  // What the open dialog's file-name field names: quoted or not, relative
  // to the dialog's folder or absolute, existing or not.
  void typedFileNames_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("files");
    const QString home = QDir::homePath();
    QTest::newRow("one name") << "hd.mp4" << QStringList{"/v/hd.mp4"};
    QTest::newRow("blanks belong to a lone name") << " my clip.avi " << QStringList{"/v/my clip.avi"};
    QTest::newRow("two quoted") << "\"hd.mp4\" \"long.avi\"" << QStringList{"/v/hd.mp4", "/v/long.avi"};
    QTest::newRow("quoted absolute") << "\"/a/b c.avi\" \"/d/e.mkv\"" << QStringList{"/a/b c.avi", "/d/e.mkv"};
    QTest::newRow("quoted beside unquoted") << "\"x y.avi\" b.avi  c.avi"
                                            << QStringList{"/v/x y.avi", "/v/b.avi", "/v/c.avi"};
    QTest::newRow("no blank between quotes") << "\"a.avi\"\"b.avi\"" << QStringList{"/v/a.avi", "/v/b.avi"};
    QTest::newRow("unclosed quote") << "\"a.avi\" \"b c.avi" << QStringList{"/v/a.avi", "/v/b c.avi"};
    QTest::newRow("cleaned") << "\"../w/./f.avi\"" << QStringList{"/w/f.avi"};
    QTest::newRow("home") << "~/f.avi" << QStringList{home + "/f.avi"};
    QTest::newRow("nothing") << "  \"\" " << QStringList{};
  }
  void typedFileNames() {
    QFETCH(QString, typed);
    QFETCH(QStringList, files);
    QCOMPARE(TypedFileNames(typed, QStringLiteral("/v")), files);
  }
  void typedPatterns() {
    QVERIFY(IsTypedPattern(QStringLiteral("*.avi")));
    QVERIFY(IsTypedPattern(QStringLiteral("clip?.mp4")));
    QVERIFY(!IsTypedPattern(QStringLiteral("\"what*.avi\" b.avi")));
    QVERIFY(!IsTypedPattern(QStringLiteral("a.avi")));
  }

  void initTestCase() { LoadCodecLibraries(); }
  void init() {
    VANTREL_REQUIRE_FIXTURES();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(QDir().mkpath(outputFolder()));
  }
  void cleanup() { dir_.reset(); }

  // Good files become rows with the probed duration, the type and the
  // output name; each refused file is said with its reason and gets no
  // row; nothing is written to the output folder.
  void refusedFilesSayWhy() {
    const QString missing = dir_->filePath(QStringLiteral("missing.avi"));
    const QString folder = dir_->filePath(QStringLiteral("folder.avi"));
    const QString empty = dir_->filePath(QStringLiteral("empty.avi"));
    const QString fifo = dir_->filePath(QStringLiteral("pipe.avi"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile(empty).open(QIODevice::WriteOnly));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QStringList files{Fixture("avi_mpeg4.avi"), Fixture("text.avi"), missing, folder,
                            empty,                    fifo,                Fixture("mp4.mp4")};
    const QStringList reasons{QStringLiteral("It is not a video or audio file that the libraries can read."),
                              QStringLiteral("No such file."), QStringLiteral("It is a folder."),
                              QStringLiteral("It is an empty file."),
                              QStringLiteral("It is not a regular file (a pipe, a device or a socket).")};
    FileListModel model;
    RecordingReporter reporter;
    QStringList refused;
    QCOMPARE(AddFilesToList(settings(false), files, model, reporter,
                            [&refused](const QString& path, const QString&) { refused << path; }),
             2);
    QCOMPARE(model.size(), 2);
    QCOMPARE(model.fileRow(0).path, files[0]);
    QCOMPARE(model.fileRow(0).durationText, QStringLiteral("00:00:04"));
    QCOMPARE(model.fileRow(0).type, QStringLiteral("AVI"));
    QCOMPARE(model.fileRow(1).path, files[6]);
    QCOMPARE(outputNames(model), (QStringList{QStringLiteral("avi_mpeg4"), QStringLiteral("mp4")}));
    QVERIFY(model.fileRow(1).estimatedBytes.has_value());
    QCOMPARE(refused, files.mid(1, 5));
    QCOMPARE(reporter.messages.size(), reasons.size());
    for (qsizetype i = 0; i < reasons.size(); ++i) {
      QCOMPARE(reporter.messages[i].first, MessageKind::Refusal);
      QCOMPARE(reporter.messages[i].second, QStringLiteral("Convertion of file \"") + files[i + 1] +
                                                QStringLiteral("\" is not supported. ") + reasons[i]);
    }
    // Adding leaves nothing on disk, not even a hidden staging file.
    QCOMPARE(QDir(outputFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{});
  }

  // A file that only root may read is refused for the reason the system
  // gives (root itself reads it, so there it is checked only as a row).
  void unreadableFileSaysPermissionDenied() {
    const QString locked = dir_->filePath(QStringLiteral("locked.avi"));
    QVERIFY(QFile::copy(Fixture("avi_mpeg4.avi"), locked));
    QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    FileListModel model;
    RecordingReporter reporter;
    const int added = AddFilesToList(settings(false), {locked}, model, reporter);
    if (::geteuid() == 0) {
      QCOMPARE(added, 1);
      return;
    }
    QCOMPARE(added, 0);
    QVERIFY2(reporter.messages.value(0).second.endsWith(QStringLiteral(" Permission denied.")),
             qPrintable(reporter.messages.value(0).second));
  }

  // A name from the dialog is a path, whatever it looks like: a file named
  // like a protocol address is that file.
  void protocolLookingNamesAreFiles() {
    const QString dir = dir_->filePath(QStringLiteral("names"));
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(QDir::setCurrent(dir));
    for (const QString& name : {QStringLiteral("cache:x.avi"), QStringLiteral("concat:a|b.avi")})
      QVERIFY(QFile::copy(Fixture("avi_mpeg4.avi"), name));
    FileListModel model;
    RecordingReporter reporter;
    QCOMPARE(AddFilesToList(settings(false), {QStringLiteral("cache:x.avi"), QStringLiteral("concat:a|b.avi")}, model,
                            reporter),
             2);
    QCOMPARE(model.fileRow(0).durationText, QStringLiteral("00:00:04"));
    QCOMPARE(model.fileRow(1).outputName, QStringLiteral("concat:a|b"));
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
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
    QCOMPARE(AddFilesToList(settings(overwrite), {input, input}, model, reporter), 2);
    QCOMPARE(outputNames(model), expected);
    // A later Add counts the rows already listed.
    QCOMPARE(AddFilesToList(settings(overwrite), {input}, model, reporter), 1);
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
    QCOMPARE(choice.note.endsWith(QStringLiteral(", then halves the picture before resizing it")), halved);
  }

  // The choice made at Add is the row's tooltip, with the reason for a full
  // size; a change of choices plans every row again without looking at
  // the files: turning fast decoding off keeps every file at full size, a
  // higher bit rate raises the estimate, a size H.263 cannot encode makes
  // every row say it would fail, and going back clears that.
  void planFollowsTheChoices() {
    FileListModel model;
    RecordingReporter reporter;
    AddFileSettings s = settings(false);
    s.choice.videoSize = 4;  // 160x120
    const QStringList files{Fixture("avi_mpeg4.avi"), Fixture("mp4.mp4"), Fixture("audio_only.wav")};
    QCOMPARE(AddFilesToList(s, files, model, reporter), 3);
    QCOMPARE(model.fileRow(0).decodingNote,
             QStringLiteral("Fast decoding: reads the picture at half size, which is exactly 160x120"));
    // A quarter of the input's pixels: the deblocking of non-reference pictures is skipped.
    QCOMPARE(model.fileRow(1).decodingNote,
             QStringLiteral("Full-size decoding: this kind of video cannot be read at a reduced size, leaves out a "
                            "smoothing step the smaller picture does not show, skips the pictures the frame rate "
                            "leaves out"));
    QCOMPARE(model.fileRow(2).decodingNote, QString());
    AddFileSettings smaller = s;
    smaller.choice.videoSize = 0;  // 128x96
    QCOMPARE(PlanRow(model.fileRow(0).durationUs, model.fileRow(0).video, smaller).decoding.note,
             QStringLiteral("Fast decoding: reads the picture at half size, which is still larger than 128x96"));
    QVERIFY(model.data(model.index(0, FileListModel::InputNameColumn), Qt::ToolTipRole)
                .toString()
                .endsWith(u'\n' + model.fileRow(0).decodingNote));
    const int64_t estimate = model.fileRow(0).estimatedBytes.value_or(-1);
    QVERIFY(estimate > 0);

    s.fastDecoding = false;
    s.choice.videoBitrate = 4;  // 512kbps
    model.replan(s);
    QCOMPARE(model.fileRow(0).decodingNote, QStringLiteral("Fast decoding is off"));
    QVERIFY(model.fileRow(0).estimatedBytes.value_or(-1) > 4 * estimate);
    s.fastDecoding = true;
    s.choice.videoSize = 3;  // 320x240: the whole picture, and no size for H.263
    model.replan(s);
    QCOMPARE(model.fileRow(0).decodingNote,
             QStringLiteral("Full-size decoding: at a reduced size the picture would be smaller than 320x240"));
    for (int row = 0; row < 3; ++row) QVERIFY(model.fileRow(row).verdict.isEmpty());
    SelectProfile(s.choice, 1);
    model.replan(s);
    for (int row = 0; row < 3; ++row) {
      QVERIFY(model.fileRow(row).verdict.startsWith(QStringLiteral("H.263 can encode only")));
      QCOMPARE(model.data(model.index(row, FileListModel::StatusColumn)).toString(), QStringLiteral("Cannot convert"));
      QVERIFY(model.data(model.index(row, FileListModel::OutputNameColumn), Qt::ToolTipRole)
                  .toString()
                  .endsWith(u'\n' + model.fileRow(row).verdict));
    }
    s.choice.videoSize = 1;  // 176x144: more than a quarter of 320x240
    model.replan(s);
    QCOMPARE(model.data(model.index(0, FileListModel::StatusColumn)).toString(), QString());
    const RowPlan h264 = PlanRow(model.fileRow(1).durationUs, model.fileRow(1).video, s);
    QVERIFY(!h264.decoding.skipNonReferenceDeblocking);
    QVERIFY(h264.decoding.skipDroppedPictures);
    QCOMPARE(h264.decoding.note, QStringLiteral("Full-size decoding: this kind of video cannot be read at a reduced "
                                                "size, skips the pictures the frame rate leaves out"));
    // A decoder with reduced sizes never skips pictures.
    QVERIFY(!PlanRow(model.fileRow(0).durationUs, model.fileRow(0).video, s).decoding.skipDroppedPictures);
    s.fastDecoding = false;
    const RowPlan h264Off = PlanRow(model.fileRow(1).durationUs, model.fileRow(1).video, s);
    QVERIFY(!h264Off.decoding.skipDroppedPictures && !h264Off.decoding.skipNonReferenceDeblocking);
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

  // An output never lands on a row's input, however its path is spelled
  // (the same folder, a link to it, a hard link, "./", ".."), with or
  // without overwriting: the name moves on.
  void inputsOfRowsAreNeverOutputs_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("overwrite");
    QTest::newRow("same folder") << QStringLiteral("out/") << true;
    QTest::newRow("same folder, no overwrite") << QStringLiteral("out/") << false;
    QTest::newRow("linked folder") << QStringLiteral("linked/") << true;
    QTest::newRow("dot") << QStringLiteral("out/./") << true;
    QTest::newRow("dot dot") << QStringLiteral("linked/../out/") << true;
  }
  void inputsOfRowsAreNeverOutputs() {
    QFETCH(QString, folder);
    QFETCH(bool, overwrite);
    const QString input = outputFolder() + QStringLiteral("clip.mp4");
    QVERIFY(QFile::copy(Fixture("mp4.mp4"), input));
    QVERIFY(QFile::link(outputFolder(), dir_->filePath(QStringLiteral("linked"))));
    // A hard link to the other input under the name the first would take.
    const QString other = dir_->filePath(QStringLiteral("movie.avi"));
    QVERIFY(QFile::copy(Fixture("avi_mpeg4.avi"), other));
    QCOMPARE(::link(QFile::encodeName(other).constData(), QFile::encodeName(outputFolder() + QStringLiteral("movie.mp4")).constData()), 0);

    AddFileSettings s = settings(overwrite);
    s.outputFolder = dir_->filePath(folder);
    FileListModel model;
    RecordingReporter reporter;
    QCOMPARE(AddFilesToList(s, {input, other}, model, reporter), 2);
    QCOMPARE(outputNames(model), (QStringList{QStringLiteral("clip(1)"), QStringLiteral("movie(1)")}));
  }
};

int RunAddFileTaskTests(int argc, char** argv) {
  AddFileTaskTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "add_file_task_test.moc"
