// Add: which files become rows and what they show, the output names a row
// gets (taken by the disk, by an earlier row, or the input itself), and the
// tasks left behind.
#include "app/add_file_task.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

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
