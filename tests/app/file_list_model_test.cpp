// The file list: the row texts made at Add, the list actions with their
// selection rules, and the status texts a batch sets, all under Qt's model
// checker.
#include "app/file_list_model.h"
#include "app/profiles.h"

#include <QAbstractItemModelTester>
#include <QTest>

#include "app_tests.h"

using namespace vantrel::app;

namespace {

QStringList Names(const FileListModel& model) {
  QStringList names;
  for (int row = 0; row < model.rowCount(); ++row)
    names << model.index(row, FileListModel::InputNameColumn).data().toString();
  return names;
}

QString Status(const FileListModel& model, int row) {
  return model.index(row, FileListModel::StatusColumn).data().toString();
}

}  // namespace

class FileListModelTest : public QObject {
  Q_OBJECT

 private:
  FileListModel* model_ = nullptr;
  QAbstractItemModelTester* tester_ = nullptr;

  void fill(const QStringList& names) {
    for (const QString& name : names)
      model_->append(MakeFileRow(QStringLiteral("/in/") + name + QStringLiteral(".avi"), 4'000'000, name));
  }

 private slots:
  // Every test works on a model under the checker, which fails the test on
  // any inconsistent signal or index.
  void init() {
    model_ = new FileListModel(this);
    tester_ = new QAbstractItemModelTester(model_, QAbstractItemModelTester::FailureReportingMode::QtTest, this);
  }
  void cleanup() {
    delete tester_;
    delete model_;
  }

  void rowTextsAtAdd() {
    const FileRow row =
        MakeFileRow(QStringLiteral("/media/a.b/movie.final.avi"), 3'725'900'000, QStringLiteral("movie.final(1)"));
    QCOMPARE(row.inputName, QStringLiteral("movie.final"));
    QCOMPARE(row.type, QStringLiteral("AVI"));
    QCOMPARE(row.durationText, QStringLiteral("01:02:05"));
    QCOMPARE(InputBaseName(QStringLiteral("/media/a.b/clip")), QStringLiteral("clip"));
    QCOMPARE(InputType(QStringLiteral("/media/a.b/clip")), QString());
    QCOMPARE(DurationText(59'900'000), QStringLiteral("00:00:59"));
    QCOMPARE(DurationText(36'000'000'000), QStringLiteral("10:00:00"));
    QCOMPARE(DurationText(-1), QString());

    model_->append(row);
    const QStringList expected = {QStringLiteral("movie.final"),
                                  QStringLiteral("01:02:05"),
                                  QStringLiteral("AVI"),
                                  QStringLiteral("movie.final(1)"),
                                  QString(),
                                  QStringLiteral("/media/a.b/movie.final.avi")};
    for (int column = 0; column < FileListModel::ColumnCount; ++column) {
      QCOMPARE(model_->index(0, column).data().toString(), expected[column]);
      QCOMPARE(model_->index(0, column).data(FileListModel::PathRole).toString(), row.path);
    }
    int width = 0;
    for (int column = 0; column < FileListModel::ColumnCount; ++column) width += FileListModel::ColumnWidth(column);
    QCOMPARE(width, 553);
    QCOMPARE(FileListModel::ColumnWidth(FileListModel::PathColumn), 0);
  }

  // The moved row carries all its data and stays the selected one; at the
  // ends and without a selection nothing moves.
  void moveRules() {
    fill({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    model_->setFailed(0, QStringLiteral("why"));
    model_->setEstimatedBytes(0, 1234);

    QCOMPARE(model_->moveDown(0), 1);
    QCOMPARE(Names(*model_), QStringList({QStringLiteral("B"), QStringLiteral("A"), QStringLiteral("C")}));
    QCOMPARE(model_->fileRow(1).failureReason, QStringLiteral("why"));
    QCOMPARE(model_->index(1, 0).data(FileListModel::EstimatedBytesRole).toLongLong(), 1234);
    QCOMPARE(model_->index(1, 0).data(FileListModel::PathRole).toString(), QStringLiteral("/in/A.avi"));
    QCOMPARE(model_->moveDown(1), 2);
    QCOMPARE(Names(*model_), QStringList({QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("A")}));

    QCOMPARE(model_->moveDown(2), 2);
    QCOMPARE(model_->moveUp(0), 0);
    QCOMPARE(model_->moveUp(-1), -1);
    QCOMPARE(model_->moveDown(-1), -1);
    QCOMPARE(Names(*model_), QStringList({QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("A")}));

    QCOMPARE(model_->moveUp(2), 1);
    QCOMPARE(model_->moveUp(1), 0);
    QCOMPARE(Names(*model_), QStringList({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
  }

  void removeAndClear() {
    QVERIFY(!model_->clear());
    fill({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")});
    QVERIFY(!model_->removeSelected({}));
    QCOMPARE(model_->rowCount(), 4);
    // Unsorted, repeated and stale rows: each listed row goes, once.
    QVERIFY(model_->removeSelected({0, 2, 2, 9, -1}));
    QCOMPARE(Names(*model_), QStringList({QStringLiteral("B"), QStringLiteral("D")}));
    // The same file twice is two rows of its own.
    fill({QStringLiteral("B")});
    QCOMPARE(Names(*model_), QStringList({QStringLiteral("B"), QStringLiteral("D"), QStringLiteral("B")}));
    QVERIFY(model_->clear());
    QCOMPARE(model_->rowCount(), 0);
  }

  // The status texts, and the tooltips: both full paths on every column,
  // then what concerns the column.
  void statusTexts() {
    fill({QStringLiteral("A"), QStringLiteral("B")});
    model_->setOutputTarget(QStringLiteral("/out/"), QStringLiteral(".3gp"));
    const QString pathsA = QStringLiteral("Input: /in/A.avi\nOutput: /out/A.3gp");
    const QString pathsB = QStringLiteral("Input: /in/B.avi\nOutput: /out/B.3gp");
    QCOMPARE(model_->index(0, FileListModel::DurationColumn).data(Qt::ToolTipRole).toString(), pathsA);
    QCOMPARE(Status(*model_, 0), QString());
    model_->setFailed(1, QStringLiteral("Unknown format"));
    model_->markAllQueued();
    QCOMPARE(Status(*model_, 0), QStringLiteral(" "));
    QCOMPARE(Status(*model_, 1), QStringLiteral(" "));
    QVERIFY(model_->fileRow(1).failureReason.isEmpty());

    model_->setConverting(0, 61500, 123000, 42);
    QCOMPARE(Status(*model_, 0), QStringLiteral("50% Completed"));
    QCOMPARE(model_->index(0, FileListModel::StatusColumn).data(Qt::ToolTipRole).toString(),
             pathsA + QStringLiteral("\n0:42 left"));
    model_->setConverting(0, 130000, 123000, 0);
    QCOMPARE(Status(*model_, 0), QStringLiteral("105% Completed"));
    // Durations near the 32-bit limit: the percentage must not overflow.
    model_->setConverting(0, 2'000'000'000, 2'100'000'000, std::nullopt);
    QCOMPARE(Status(*model_, 0), QStringLiteral("95% Completed"));
    // An unknown or zero total shows the converted time, never a division.
    model_->setConverting(0, 61500, -1, std::nullopt);
    QCOMPARE(Status(*model_, 0), QStringLiteral("00:01:01 done"));
    model_->setConverting(0, 3'725'000, 0, std::nullopt);
    QCOMPARE(Status(*model_, 0), QStringLiteral("01:02:05 done"));
    model_->setStatus(0, RowStatus::Completed);
    QCOMPARE(Status(*model_, 0), QStringLiteral("Completed"));
    // Once written, the file the batch named.
    model_->setOutputPath(0, QStringLiteral("/out/A(1).3gp"));
    QCOMPARE(model_->index(0, FileListModel::TypeColumn).data(Qt::ToolTipRole).toString(),
             QStringLiteral("Input: /in/A.avi\nOutput: /out/A(1).3gp"));
    QVERIFY(!model_->index(0, 0).data(FileListModel::SecondsLeftRole).isValid());

    model_->setFailed(1, QStringLiteral("output unreadable"));
    QCOMPARE(Status(*model_, 1), QStringLiteral("Failed"));
    for (int column = 0; column < FileListModel::ColumnCount; ++column)
      QCOMPARE(model_->index(1, column).data(Qt::ToolTipRole).toString(), pathsB + QStringLiteral("\noutput unreadable"));
    model_->setStatus(1, RowStatus::Stopped);
    QCOMPARE(Status(*model_, 1), QStringLiteral("Stopped"));
    QCOMPARE(model_->index(1, 0).data(Qt::ToolTipRole).toString(), pathsB);

    // Updates for rows that are gone change nothing.
    model_->setConverting(2, 1, 2, std::nullopt);
    model_->setFailed(-1, QStringLiteral("x"));
    QCOMPARE(model_->rowCount(), 2);
  }

  // The line above the list: count, total length, estimated output; rows
  // of unknown length are said, rows the choices cannot convert add no size.
  void summaryFollowsRowsAndPlans() {
    QVERIFY(model_->summary().startsWith(QStringLiteral("Add ")));
    AddFileSettings settings;
    settings.outputFolder = QStringLiteral("/out/");
    model_->append(MakeFileRow(QStringLiteral("/in/a.avi"), 61'500'000, QStringLiteral("a")));
    model_->append(MakeFileRow(QStringLiteral("/in/b.avi"), 3'000'000, QStringLiteral("b")));
    model_->append(MakeFileRow(QStringLiteral("/in/c.avi"), -1, QStringLiteral("c")));
    model_->replan(settings);
    qint64 bytes = 0;
    for (int row = 0; row < 3; ++row) bytes += model_->index(row, 0).data(FileListModel::EstimatedBytesRole).toLongLong();
    QVERIFY(bytes > 0);
    QCOMPARE(model_->summary(), QStringLiteral("3 files, 00:01:04 in all (1 of unknown length), about ") +
                                    SizeText(bytes) + QStringLiteral(" of output"));

    SelectProfile(settings.choice, 1);  // H.263 at a size it cannot encode
    settings.choice.videoSize = IndexOfItem(OptionList::VideoSize, 1, "320x240");
    model_->replan(settings);
    QCOMPARE(model_->summary(), QStringLiteral("3 files, 00:01:04 in all (1 of unknown length)"));
    model_->removeSelected({0, 2});
    QCOMPARE(model_->summary(), QStringLiteral("1 file, 00:00:03 in all"));
  }

  void timeLeft() {
    QCOMPARE(SecondsLeft(10'000, 25'000, 100'000), std::optional<int64_t>(30));
    QCOMPARE(SecondsLeft(10'000, 0, 100'000), std::nullopt);
    QCOMPARE(SecondsLeft(10'000, 5'000, -1), std::nullopt);
    QCOMPARE(SecondsLeft(10'000, 120'000, 100'000), std::optional<int64_t>(0));
  }
};

int RunFileListModelTests(int argc, char** argv) {
  FileListModelTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "file_list_model_test.moc"
