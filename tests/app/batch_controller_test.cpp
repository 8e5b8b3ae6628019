// Whole batches on real fixtures: rows converted two at once, a stop in the
// middle, rows that fail before or while converting, a batch with nothing
// to convert, and a stopped batch's late notices meeting the next batch.
#include "app/batch_controller.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/file_list_model.h"
#include "app/output_check.h"
#include "app/qt_main_loop.h"
#include "app_fixtures.h"
#include "app_tests.h"

using namespace vantrel::app;
using namespace vantrel::app::test;

namespace {

constexpr int kBatchTimeoutMs = 240000;

// Sizes and rates that keep the encoder busy for seconds, so a stop surely
// meets running tasks.
void MakeSlow(OutputChoice& choice) {
  choice.videoSize = IndexOfItem(OptionList::VideoSize, choice.profile, "704x576");
  choice.frameRate = IndexOfItem(OptionList::FrameRate, choice.profile, "60fps");
  choice.videoBitrate = IndexOfItem(OptionList::VideoBitrate, choice.profile, "512kbps");
}

}  // namespace

class BatchControllerTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<QObject> loopContext_;
  std::unique_ptr<QtMainLoop> loop_;
  std::unique_ptr<vantrel::TBrontConverter> converter_;
  std::unique_ptr<FileListModel> model_;
  std::unique_ptr<RecordingReporter> reporter_;
  std::unique_ptr<CountingShutdown> shutdown_;
  std::unique_ptr<BatchController> batch_;
  QList<BatchEnd> ends_;
  int completions_ = 0;

  BatchSettings settings(int parallel, bool slow = false) const {
    BatchSettings s;
    SelectProfile(s.files.choice, 4);
    if (slow) MakeSlow(s.files.choice);
    s.files.outputFolder = dir_->filePath(QStringLiteral("out/"));
    s.files.overwrite = false;
    s.parallelTasks = parallel;
    s.shutdownAfterCompleted = true;
    return s;
  }
  void addRows(const QStringList& files, const BatchSettings& s) {
    const qsizetype before = reporter_->messages.size();
    const int added = AddFilesToList(s.files, files, *model_, *reporter_);
    QVERIFY2(reporter_->messages.size() == before, qPrintable(reporter_->messages.value(before).second));
    QCOMPARE(added, int(files.size()));
  }
  RowStatus status(int row) const { return model_->fileRow(row).status; }
  bool anyConverting() const {
    for (int row = 0; row < model_->size(); ++row)
      if (status(row) == RowStatus::Converting) return true;
    return false;
  }
  QString copyOf(const char* fixture, const QString& name) const {
    const QString path = dir_->filePath(name);
    if (!QFile::copy(Fixture(fixture), path)) qFatal("cannot copy %s", fixture);
    return path;
  }

 private slots:
  void initTestCase() { LoadCodecLibraries(); }
  void init() {
    VANTREL_REQUIRE_FIXTURES();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(QDir().mkpath(dir_->filePath(QStringLiteral("out"))));
    loopContext_ = std::make_unique<QObject>();
    loop_ = std::make_unique<QtMainLoop>(loopContext_.get());
    converter_ = std::make_unique<vantrel::TBrontConverter>(loop_.get());
    model_ = std::make_unique<FileListModel>();
    reporter_ = std::make_unique<RecordingReporter>();
    shutdown_ = std::make_unique<CountingShutdown>();
    batch_ = std::make_unique<BatchController>(*converter_, *model_, *reporter_, shutdown_.get());
    ends_.clear();
    completions_ = 0;
    connect(batch_.get(), &BatchController::ended, this, [this](BatchEnd how) { ends_.append(how); });
    connect(batch_.get(), &BatchController::completed, this, [this] { ++completions_; });
  }
  void cleanup() {
    batch_.reset();
    converter_.reset();
    loop_.reset();
    loopContext_.reset();
    model_.reset();
    dir_.reset();
  }

  // A size the profile cannot encode is said once, before anything runs:
  // at Add nothing is added, at Start the rows stay as they were.
  void sizeTheProfileCannotEncodeIsRefusedUpFront() {
    BatchSettings s = settings(2);
    addRows({Fixture("avi_mpeg4.avi")}, s);
    SelectProfile(s.files.choice, 1);
    s.files.choice.videoSize = IndexOfItem(OptionList::VideoSize, 1, "320x240");
    QCOMPARE(AddFilesToList(s.files, {Fixture("xvid.avi"), Fixture("wmv.wmv")}, *model_, *reporter_), 0);
    QCOMPARE(reporter_->messages.size(), 1);
    QVERIFY(reporter_->messages[0].second.startsWith(QStringLiteral("H.263 can encode only")));
    batch_->start(s);
    QVERIFY(!batch_->running());
    QCOMPARE(reporter_->messages.size(), 2);
    QCOMPARE(reporter_->messages[1].first, MessageKind::Refusal);
    QCOMPARE(model_->size(), 1);
    QCOMPARE(status(0), RowStatus::None);
    QVERIFY(ends_.isEmpty());
    QCOMPARE(converter_->TaskCount(), 0);
  }

  // What a finished conversion must leave before its row says "Completed".
  void outputReadableOnlyWhenItOpensAndLastsWhatWasConverted() {
    const QString good = Fixture("avi_mpeg4.avi");  // 4.05 s
    QVERIFY(OutputReadable(good, 4049));
    QVERIFY(OutputReadable(good, 3100));
    QVERIFY(OutputReadable(good, -1));
    QVERIFY(!OutputReadable(good, 2000));
    QVERIFY(!OutputReadable(good, 5100));
    QVERIFY(!OutputReadable(Fixture("text.avi"), -1));
    QVERIFY(!OutputReadable(Fixture("truncated.mp4"), -1));
    QVERIFY(!OutputReadable(dir_->filePath(QStringLiteral("missing.3gp")), -1));
  }

  // Three rows two at a time: all "Completed", each with its own output on
  // disk, one completion and one power-off request.
  void threeRowsTwoAtOnceComplete() {
    const BatchSettings s = settings(2);
    addRows({Fixture("avi_mpeg4.avi"), Fixture("xvid.avi"), Fixture("avi_mpeg4.avi")}, s);
    QSignalSpy busy(batch_.get(), &BatchController::runningChanged);
    QSignalSpy lines(batch_.get(), &BatchController::progressLineChanged);
    batch_->startOrStop(s);
    QVERIFY(batch_->running());
    QTRY_VERIFY_WITH_TIMEOUT(!batch_->running(), kBatchTimeoutMs);
    for (int row = 0; row < 3; ++row) {
      QCOMPARE(status(row), RowStatus::Completed);
      QVERIFY2(QFileInfo(batch_->outputPath(row)).size() > 0, qPrintable(batch_->outputPath(row)));
    }
    QCOMPARE(model_->fileRow(2).outputName, QStringLiteral("avi_mpeg4(1)"));
    QCOMPARE(batch_->finishedCount(), 3);
    // Two at once, the line counts the batch, the last one all three; the
    // batch's own time left follows it once a rate is known.
    QVERIFY2(batch_->progressLine().startsWith(QStringLiteral("3 of 3 files done, 100% of the batch")),
             qPrintable(batch_->progressLine()));
    const QRegularExpression withTimeLeft(QStringLiteral("^[0-3] of 3 files done, \\d+% of the batch  \\(\\d+:\\d\\d left\\)$"));
    bool timeLeftShown = false;
    for (const QList<QVariant>& line : lines) timeLeftShown |= withTimeLeft.match(line.at(0).toString()).hasMatch();
    QVERIFY2(timeLeftShown, qPrintable(lines.last().at(0).toString()));
    QCOMPARE(ends_, QList<BatchEnd>{BatchEnd::Completed});
    QCOMPARE(completions_, 1);
    QCOMPARE(shutdown_->requests, 1);
    QCOMPARE(busy.size(), 2);
    QVERIFY(reporter_->messages.isEmpty());
  }

  // Stopped while the first two rows convert: those are "Stopped" and
  // leave nothing (an existing output of the first keeps its bytes, with
  // overwriting on), the third never started keeps " "; no completion, no
  // power-off, also after the stopped tasks' notices have been delivered.
  void stopMarksRunningRowsOnly() {
    BatchSettings s = settings(2, true);
    s.files.overwrite = true;
    addRows({Fixture("fps25_40s.avi"), Fixture("fps25_40s.avi"), Fixture("fps25_40s.avi")}, s);
    const QString existing = s.files.outputFolder + QStringLiteral("fps25_40s.mp4");
    {
      QFile f(existing);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("precious");
    }
    batch_->start(s);
    QTRY_VERIFY_WITH_TIMEOUT(anyConverting(), kBatchTimeoutMs);
    batch_->startOrStop(s);
    // The window is free at once; the rows follow as the tasks report.
    QVERIFY(!batch_->running());
    QTRY_COMPARE_WITH_TIMEOUT(ends_, QList<BatchEnd>{BatchEnd::Stopped}, kBatchTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(status(0), RowStatus::Stopped, kBatchTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(status(1), RowStatus::Stopped, kBatchTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(converter_->TaskCount(), 0, kBatchTimeoutMs);
    QCOMPARE(status(2), RowStatus::Queued);
    QCOMPARE(model_->data(model_->index(2, FileListModel::StatusColumn)).toString(), QStringLiteral(" "));
    for (int row = 0; row < 3; ++row) QVERIFY(batch_->outputPath(row).isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(
        QDir(s.files.outputFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList{QStringLiteral("fps25_40s.mp4")}, kBatchTimeoutMs);
    QFile kept(existing);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("precious"));
    QCOMPARE(ends_, QList<BatchEnd>{BatchEnd::Stopped});
    QCOMPARE(completions_, 0);
    QCOMPARE(shutdown_->requests, 0);
  }

  // The stopped batch's task ends and end-of-batch notice are still queued
  // when the next batch starts: they must neither end it nor touch its rows.
  void staleNoticesLeaveTheNextBatchAlone() {
    addRows({Fixture("fps25_40s.avi"), Fixture("fps25_40s.avi")}, settings(2, true));
    batch_->start(settings(2, true));
    QTRY_VERIFY_WITH_TIMEOUT(anyConverting(), kBatchTimeoutMs);
    batch_->stop();
    batch_->start(settings(2));
    QVERIFY(batch_->running());
    QTRY_VERIFY_WITH_TIMEOUT(!batch_->running(), kBatchTimeoutMs);
    QCOMPARE(ends_, (QList<BatchEnd>{BatchEnd::Stopped, BatchEnd::Completed}));
    QCOMPARE(status(0), RowStatus::Completed);
    QCOMPARE(status(1), RowStatus::Completed);
    QCOMPARE(completions_, 1);
  }

  // A row whose file went bad after Add gets no task: it is "Failed" with
  // the refusal as its reason, and the rows after it still get their own
  // statuses (task numbers do not shift rows).
  void rowWithoutTaskDoesNotShiftOthers() {
    const QString bad = copyOf("avi_mpeg4.avi", QStringLiteral("bad.avi"));
    const BatchSettings s = settings(1);
    addRows({Fixture("mp4.mp4"), bad, Fixture("xvid.avi")}, s);
    {
      QFile f(bad);
      QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      f.write("not a movie any more");
    }
    batch_->start(s);
    QTRY_VERIFY_WITH_TIMEOUT(!batch_->running(), kBatchTimeoutMs);
    QCOMPARE(status(0), RowStatus::Completed);
    QCOMPARE(status(1), RowStatus::Failed);
    QCOMPARE(model_->fileRow(1).failureReason,
             QStringLiteral("Convertion of file \"") + bad +
                 QStringLiteral("\" is not supported. It is not a video or audio file that the libraries can read."));
    QVERIFY(batch_->outputPath(1).isEmpty());
    QCOMPARE(status(2), RowStatus::Completed);
    QCOMPARE(completions_, 1);
  }

  // A conversion that fails while running keeps the engine's reason, is
  // reported once, and the batch still ends.
  void failingConversionKeepsReasonAndBatchEnds() {
    BatchSettings s = settings(2);
    s.files.overwrite = true;
    addRows({Fixture("avi_mpeg4.avi"), Fixture("xvid.avi")}, s);
    // The second row's output is a folder that is not empty: the converted
    // file cannot take its place.
    const QString blocked = s.files.outputFolder + QStringLiteral("xvid.mp4");
    QVERIFY(QDir().mkpath(blocked + QStringLiteral("/inside")));
    batch_->start(s);
    QTRY_VERIFY_WITH_TIMEOUT(!batch_->running(), kBatchTimeoutMs);
    QCOMPARE(status(0), RowStatus::Completed);
    QCOMPARE(status(1), RowStatus::Failed);
    QVERIFY2(model_->fileRow(1).failureReason.contains(QStringLiteral("Could not")) &&
                 model_->fileRow(1).failureReason.contains(blocked),
             qPrintable(model_->fileRow(1).failureReason));
    QCOMPARE(reporter_->messages.size(), 1);
    QCOMPARE(reporter_->messages[0].first, MessageKind::TaskError);
    QCOMPARE(reporter_->messages[0].second, model_->fileRow(1).failureReason);
    QCOMPARE(ends_, QList<BatchEnd>{BatchEnd::Completed});
    QCOMPARE(batch_->finishedCount(), 1);
  }

  // Nothing to convert: an empty list only says so; a list whose rows all
  // fail at start returns to idle at once, without completion.
  void batchWithoutTasksReturnsToIdle() {
    batch_->start(settings(2));
    QVERIFY(!batch_->running());
    QCOMPARE(reporter_->messages.size(), 1);
    QCOMPARE(reporter_->messages[0].second, QStringLiteral("Please select files to be converted."));
    QVERIFY(ends_.isEmpty());

    const QString gone = copyOf("mp4.mp4", QStringLiteral("gone.mp4"));
    addRows({gone}, settings(2));
    QVERIFY(QFile::remove(gone));
    batch_->start(settings(2));
    QVERIFY(!batch_->running());
    QCOMPARE(status(0), RowStatus::Failed);
    QCOMPARE(model_->fileRow(0).failureReason,
             QStringLiteral("Convertion of file \"") + gone + QStringLiteral("\" is not supported. No such file."));
    QCOMPARE(ends_, QList<BatchEnd>{BatchEnd::Empty});
    QCOMPARE(completions_, 0);
    QCOMPARE(shutdown_->requests, 0);
  }
};

int RunBatchControllerTests(int argc, char** argv) {
  BatchControllerTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "batch_controller_test.moc"
