// The window with real conversions: adding and arranging rows, a batch
// stopped in its second row, complete batches with the power-off countdown
// run out and cancelled, and closing during a batch with the settings
// coming back in the next window.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QTableView>
#include <QTemporaryDir>

#include "app/file_list_model.h"
#include "app/settings.h"
#include "binding/av_binding.h"
#include "control_table.h"
#include "gui_support.h"
#include "gui_tests.h"

using namespace vantrel::app;
using namespace vantrel::app::test;

namespace {

// Qt Test waits twice as long again after a timed-out wait and ends a test
// function after five minutes: one wait stays well below that.
constexpr int kStepTimeoutMs = 90000;
constexpr int kCountdownSeconds = 2;

}  // namespace

class WindowBatchTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  FakeDialogs dialogs_;
  CountingShutdown powerOff_;
  RecordingNotifier notifier_;
  std::unique_ptr<TForm1> window_;

  QString outFolder() const { return dir_->filePath(QStringLiteral("out/")); }
  void openWindow(bool chooseFolder = true) {
    window_ = MakeWindow(dialogs_, &powerOff_, kCountdownSeconds, &notifier_);
    QVERIFY(window_->open());
    window_->show();
    if (!chooseFolder) return;
    dialogs_.folderToChoose = outFolder();
    click("BtnChangeOutputFolder");
  }
  // The countdown once it holds the keyboard, above everything else.
  ShutdownCountdown* activeCountdown() {
    const QList<ShutdownCountdown*> countdowns = window_->findChildren<ShutdownCountdown*>();
    if (countdowns.size() != 1) return nullptr;
    if (!QTest::qWaitForWindowActive(countdowns[0])) return nullptr;
    if (QApplication::activeModalWidget() != countdowns[0]) return nullptr;
    return countdowns[0];
  }
  void click(const char* button) { Control<QPushButton>(*window_, button)->click(); }
  QComboBox* combo(const char* name) { return Control<QComboBox>(*window_, name); }
  void pick(const char* name, const char* item) {
    QComboBox* box = combo(name);
    const int index = box->findText(QString::fromLatin1(item));
    QVERIFY2(index >= 0, item);
    box->setCurrentIndex(index);
    emit box->activated(index);
  }
  void add(const QStringList& files) {
    dialogs_.filesToChoose = files;
    click("BtnAdd");
    QTRY_VERIFY_WITH_TIMEOUT(!window_->adding(), kStepTimeoutMs);
  }
  QString status(int row) const {
    return window_->model().data(window_->model().index(row, FileListModel::StatusColumn)).toString();
  }
  QString statuses() const {
    QStringList list;
    for (int row = 0; row < window_->model().size(); ++row) list.append(QLatin1Char('[') + status(row) + QLatin1Char(']'));
    return list.join(QLatin1Char(' ')) + QStringLiteral(" busy=") + QString::number(window_->busy()) +
           QStringLiteral(" line=") + Control<QLabel>(*window_, "LblProgress")->text();
  }
  RowStatus rowStatus(int row) const { return window_->model().fileRow(row).status; }
  QStringList names() const {
    QStringList list;
    for (int row = 0; row < window_->model().size(); ++row) list.append(window_->model().fileRow(row).inputName);
    return list;
  }
  int selected() const {
    const QModelIndexList rows = Control<QTableView>(*window_, "Lvw")->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows[0].row() : -1;
  }
  void select(int row) {
    auto* lvw = Control<QTableView>(*window_, "Lvw");
    if (row < 0)
      lvw->clearSelection();
    else
      lvw->selectRow(row);
  }

 private slots:
  void initTestCase() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
  }
  void init() {
    VANTREL_REQUIRE_FIXTURES();
    QFile::remove(SettingsFilePath());
    QDir(outFolder()).removeRecursively();
    QVERIFY(QDir().mkpath(outFolder()));
    dialogs_ = FakeDialogs();
    powerOff_.requests = 0;
    notifier_.notes.clear();
    openWindow();
  }
  void cleanup() {
    if (window_) window_->close();
    window_.reset();
  }

  // Three files, the second not a movie: two rows and one refusal. Then
  // the list actions on three rows, the moved row staying selected.
  void addAndArrangeRows() {
    const QString text = Fixture("text.avi");
    add({Fixture("avi_mpeg4.avi"), text, Fixture("mp4.mp4")});
    QCOMPARE(names(), (QStringList{QStringLiteral("avi_mpeg4"), QStringLiteral("mp4")}));
    QCOMPARE(dialogs_.messages.size(), 1);
    const QString summary = Control<QLabel>(*window_, "LblSummary")->text();
    QVERIFY2(summary.startsWith(QStringLiteral("2 files, 00:00:")) && summary.contains(QStringLiteral(" of output")),
             qPrintable(summary));
    QCOMPARE(dialogs_.messages[0],
             (MessageBoxText{QStringLiteral("Error"),
                             QStringLiteral("Convertion of file \"") + text +
                                 QStringLiteral("\" is not supported. It is not a video or audio file that the "
                                                "libraries can read."),
                             QMessageBox::Information}));
    const FileListModel& model = window_->model();
    QCOMPARE(model.data(model.index(0, FileListModel::TypeColumn)).toString(), QStringLiteral("AVI"));
    QCOMPARE(model.data(model.index(0, FileListModel::DurationColumn)).toString(), QStringLiteral("00:00:04"));
    QCOMPARE(model.data(model.index(1, FileListModel::PathColumn)).toString(), Fixture("mp4.mp4"));
    QCOMPARE(status(0), QString());

    add({Fixture("xvid.avi")});
    const QString a = QStringLiteral("avi_mpeg4"), b = QStringLiteral("mp4"), c = QStringLiteral("xvid");
    select(0);
    click("BtnMoveDown");
    QCOMPARE(names(), (QStringList{b, a, c}));
    QCOMPARE(selected(), 1);
    click("BtnMoveDown");
    QCOMPARE(names(), (QStringList{b, c, a}));
    QCOMPARE(selected(), 2);
    click("BtnMoveDown");
    QCOMPARE(names(), (QStringList{b, c, a}));
    QCOMPARE(selected(), 2);
    click("BtnMoveUp");
    QCOMPARE(names(), (QStringList{b, a, c}));
    QCOMPARE(selected(), 1);
    select(0);
    click("BtnMoveUp");
    QCOMPARE(names(), (QStringList{b, a, c}));
    select(-1);
    click("BtnMoveUp");
    click("BtnMoveDown");
    click("BtnRemove");
    QCOMPARE(names(), (QStringList{b, a, c}));
    select(1);
    click("BtnRemove");
    QCOMPARE(names(), (QStringList{b, c}));
    click("BtnClear");
    QCOMPARE(window_->model().size(), 0);
    QCOMPARE(dialogs_.messages.size(), 1);
  }

  // A thousand files: Add returns at once, the rows appear while the files
  // are looked at on workers with the count shown, and the window never
  // stops answering for more than 100 ms (the longest gap between the
  // ticks of a 5 ms timer). Then a change of choice plans every row again.
  void thousandFilesKeepTheWindowResponsive() {
    QStringList files;
    const QString folder = dir_->filePath(QStringLiteral("many"));
    QVERIFY(QDir().mkpath(folder));
    for (int i = 0; i < 1000; ++i) {
      const QString path = folder + QStringLiteral("/clip%1.avi").arg(i);
      QVERIFY(QFile::link(Fixture("avi_mpeg4.avi"), path));
      files << path;
    }
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer ticks;
    ticks.setInterval(5);
    connect(&ticks, &QTimer::timeout, this, [&] {
      longest = std::max(longest, clock.elapsed() - last);
      last = clock.elapsed();
    });
    QStringList progress;
    auto* label = Control<QLabel>(*window_, "LblProgress");
    dialogs_.filesToChoose = files;
    clock.start();
    ticks.start();
    click("BtnAdd");
    const qint64 addReturned = clock.elapsed();
    QVERIFY(window_->adding());
    QVERIFY(!Control<QPushButton>(*window_, "BtnStart")->isEnabled());
    while (window_->adding() && clock.elapsed() < kStepTimeoutMs) {
      QTest::qWait(20);
      if (label->isVisible()) progress << label->text();
    }
    ticks.stop();
    longest = std::max(longest, clock.elapsed() - last);
    QVERIFY(!window_->adding());
    QCOMPARE(window_->model().size(), 1000);
    qInfo("Add returned after %lld ms; 1000 rows in %lld ms; longest stall %lld ms", addReturned, clock.elapsed(),
          longest);
    QVERIFY2(longest <= 100, qPrintable(QString::number(longest)));
    QVERIFY2(progress.size() > 1 && progress.first().startsWith(QStringLiteral("Adding files: ")),
             qPrintable(progress.join(QLatin1Char('|'))));
    QVERIFY(Control<QPushButton>(*window_, "BtnStart")->isEnabled());
    QVERIFY(!label->isVisible());
    QVERIFY(dialogs_.messages.isEmpty());

    const std::optional<int64_t> before = window_->model().fileRow(999).estimatedBytes;
    pick("CboVideoBitrate", "512kbps");
    QVERIFY(window_->model().fileRow(999).estimatedBytes.value_or(0) > before.value_or(0));

    // Clear while the files are still being looked at: none of them turns
    // up in the emptied list, and Convert is back.
    click("BtnAdd");
    QVERIFY(window_->adding());
    click("BtnClear");
    QVERIFY(!window_->adding());
    QTest::qWait(300);
    QCOMPARE(window_->model().size(), 0);
    QVERIFY(Control<QPushButton>(*window_, "BtnStart")->isEnabled());
    QVERIFY(!label->isVisible());
  }

  // One file at a time, stopped while the second converts: "Completed",
  // "Stopped", " "; the busy set off and the progress line shown only
  // while it runs; no completion and no power-off.
  void stopDuringSecondRow() {
    pick("CboThread", "1");
    // Big pictures at a high rate keep each file busy for seconds, so the
    // second is surely caught converting.
    pick("CboVideoSize", "704x576");
    pick("CboFrameRate", "60fps");
    pick("CboVideoBitrate", "512kbps");
    Control<QCheckBox>(*window_, "ChkShutdown")->setChecked(true);
    add({Fixture("avi_mpeg4.avi"), Fixture("fps25_40s.avi"), Fixture("fps25_40s.avi")});
    QCOMPARE(window_->model().size(), 3);
    click("BtnStart");
    QVERIFY(window_->busy());
    CheckControlTable(*window_, true);
    if (QTest::currentTestFailed()) return;
    QTRY_VERIFY2_WITH_TIMEOUT(rowStatus(1) == RowStatus::Converting, qPrintable(statuses()), kStepTimeoutMs);
    QVERIFY(Control<QLabel>(*window_, "LblProgress")->text().startsWith(QStringLiteral("Current Frame=")));
    QVERIFY(status(1).endsWith(QStringLiteral("% Completed")));
    // The keys of the buttons a batch switches off do nothing; Ctrl+Return
    // is Stop.
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    select(1);
    const std::pair<Qt::Key, Qt::KeyboardModifiers> idle[] = {
        {Qt::Key_Insert, Qt::NoModifier}, {Qt::Key_O, Qt::ControlModifier}, {Qt::Key_Delete, Qt::NoModifier},
        {Qt::Key_Up, Qt::AltModifier},    {Qt::Key_L, Qt::AltModifier}};
    for (const auto& [key, modifiers] : idle) QTest::keyClick(window_.get(), key, modifiers);
    QTest::qWait(200);  // a mnemonic presses its button after a short delay
    QCOMPARE(dialogs_.filesAsked, 1);
    QCOMPARE(names(), (QStringList{QStringLiteral("avi_mpeg4"), QStringLiteral("fps25_40s"), QStringLiteral("fps25_40s")}));
    QVERIFY(window_->busy());
    QTest::keyClick(window_.get(), Qt::Key_Return, Qt::ControlModifier);
    QVERIFY(!window_->busy());
    CheckControlTable(*window_, false);
    if (QTest::currentTestFailed()) return;
    QCOMPARE(status(0), QStringLiteral("Completed"));
    QTRY_COMPARE_WITH_TIMEOUT(status(1), QStringLiteral("Stopped"), kStepTimeoutMs);
    QCOMPARE(status(2), QStringLiteral(" "));
    QCOMPARE(dialogs_.completions, 0);
    QVERIFY(window_->findChildren<ShutdownCountdown*>().isEmpty());
    QCOMPARE(powerOff_.requests, 0);
    QVERIFY(dialogs_.messages.isEmpty());
  }

  // Three files converted: three "Completed" and, instead of the
  // completion message, a countdown that is the active modal window, says
  // the batch finished and whose end sends one power-off request. Run
  // again, Escape cancels it and nothing is sent.
  void completeBatchPowersOffAfterCountdown() {
    Control<QCheckBox>(*window_, "ChkShutdown")->setChecked(true);
    add({Fixture("avi_mpeg4.avi"), Fixture("xvid.avi"), Fixture("mp4.mp4")});
    click("BtnStart");
    QTRY_VERIFY_WITH_TIMEOUT(!window_->busy(), kStepTimeoutMs);
    for (int row = 0; row < 3; ++row) QCOMPARE(status(row), QStringLiteral("Completed"));
    QVERIFY(dialogs_.messages.isEmpty());
    for (const char* name : {"avi_mpeg4.3gp", "xvid.3gp", "mp4.3gp"})
      QVERIFY2(QFileInfo(outFolder() + QString::fromLatin1(name)).size() > 0, name);
    ShutdownCountdown* countdown = activeCountdown();
    QVERIFY(countdown);
    QCOMPARE(dialogs_.completions, 0);
    QVERIFY(Control<QLabel>(*countdown, "LblCountdown")->text().startsWith(QStringLiteral("File conversion process finished.")));
    QVERIFY(Control<QPushButton>(*countdown, "BtnCancel")->isDefault());
    QCOMPARE(powerOff_.requests, 0);
    QTRY_COMPARE_WITH_TIMEOUT(powerOff_.requests, 1, (kCountdownSeconds + 3) * 1000);
    QTRY_VERIFY(window_->findChildren<ShutdownCountdown*>().isEmpty());

    click("BtnStart");
    QTRY_VERIFY_WITH_TIMEOUT(!window_->busy(), kStepTimeoutMs);
    countdown = activeCountdown();
    QVERIFY(countdown);
    QTest::keyClick(countdown, Qt::Key_Escape);
    QTRY_VERIFY(window_->findChildren<ShutdownCountdown*>().isEmpty());
    QTest::qWait((kCountdownSeconds + 1) * 1000);
    QCOMPARE(powerOff_.requests, 1);
    QCOMPARE(dialogs_.completions, 0);
  }

  // The output folder is made by the batch, parents included, never by
  // opening the window. A batch that completes while the user is in
  // another program tells the desktop; one watched from the window does
  // not. Two files at once, the progress line counts the batch.
  void batchMakesFolderAndTellsAnAbsentUser() {
    const QString folder = dir_->filePath(QStringLiteral("made/at/start/"));
    cleanup();
    Settings stored = DefaultSettings();  // two files at once
    stored.outputFolder = folder;
    QVERIFY(WriteSettings(stored, SettingsFilePath()));
    openWindow(false);
    QVERIFY(!QFileInfo::exists(folder));
    add({Fixture("avi_mpeg4.avi"), Fixture("fps25_40s.avi")});
    QVERIFY(!QFileInfo::exists(folder));

    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    QTRY_VERIFY(elsewhere.isActiveWindow());
    QStringList lines;
    connect(&window_->batch(), &BatchController::progressLineChanged, &elsewhere,
            [&lines](const QString& line) { lines.append(line); });
    click("BtnStart");
    QVERIFY(QFileInfo(folder).isDir());
    QTRY_VERIFY_WITH_TIMEOUT(!window_->busy(), kStepTimeoutMs);
    QCOMPARE(dialogs_.completions, 1);
    QCOMPARE(notifier_.notes, QStringList{QStringLiteral("Vantrel|File conversion process finished.")});
    QVERIFY(!lines.isEmpty());
    const QRegularExpression batchLine(QStringLiteral("^[0-2] of 2 files done, \\d+% of the batch( |$)"));
    for (const QString& line : lines) QVERIFY2(batchLine.match(line).hasMatch(), qPrintable(line));
    QVERIFY2(lines.last().startsWith(QStringLiteral("1 of 2 files done")) ||
                 lines.last().startsWith(QStringLiteral("2 of 2 files done")),
             qPrintable(lines.last()));

    window_->activateWindow();
    QTRY_VERIFY(window_->isActiveWindow());
    click("BtnStart");
    QTRY_VERIFY_WITH_TIMEOUT(!window_->busy(), kStepTimeoutMs);
    QCOMPARE(dialogs_.completions, 2);
    QCOMPARE(notifier_.notes.size(), 1);
  }

  // Every choice made in the window comes back in the next one. Closed
  // during a batch, the window stops it, nothing more reaches it, and the
  // libraries are unloaded.
  void closeDuringBatchSavesAndRestores() {
    pick("CboProfiles", "3GPP - Video codec: H.263, Audio codec: AMR-NB (*.3gp)");
    pick("CboAudioBitrate", "12.2kbps");
    pick("CboVideoSize", "704x576");
    pick("CboVideoBitrate", "512kbps");
    pick("CboFrameRate", "60fps");
    pick("CboThread", "4");
    Control<QCheckBox>(*window_, "ChkOverwrite")->setChecked(false);
    Control<QCheckBox>(*window_, "ChkShutdown")->setChecked(true);
    Control<QCheckBox>(*window_, "ChkFastDecoding")->setChecked(false);
    add({Fixture("fps25_40s.avi")});
    const Settings chosen = window_->currentSettings();
    QVERIFY(!chosen.fastDecoding);
    QCOMPARE(chosen.outputFolder, outFolder());
    QCOMPARE(chosen.lastAddFolder, QFileInfo(Fixture("fps25_40s.avi")).absolutePath());
    // Closed from the event loop's next turn once the row converts: a
    // short file on a fast machine may be done before a polling wait looks,
    // and even before the window has closed.
    bool closeAsked = false;
    const QMetaObject::Connection watch =
        connect(&window_->model(), &FileListModel::dataChanged, this, [this, &closeAsked] {
          if (closeAsked || rowStatus(0) != RowStatus::Converting) return;
          closeAsked = true;
          QTimer::singleShot(0, window_.get(), [this] { window_->close(); });
        });
    click("BtnStart");
    QTRY_VERIFY2_WITH_TIMEOUT(closeAsked, qPrintable(statuses()), kStepTimeoutMs);
    disconnect(watch);
    QSignalSpy changes(&window_->model(), &FileListModel::dataChanged);
    QTRY_VERIFY_WITH_TIMEOUT(!window_->isVisible(), kStepTimeoutMs);
    QCOMPARE(rowStatus(0), RowStatus::Converting);
    QVERIFY(!vantrel::LibrariesLoaded());
    QTest::qWait(1000);
    QCOMPARE(changes.size(), 0);
    QCOMPARE(dialogs_.completions, 0);
    QVERIFY(dialogs_.messages.isEmpty());
    QCOMPARE(ReadSettings(SettingsFilePath()), chosen);
    window_.reset();

    openWindow(false);
    QCOMPARE(window_->currentSettings(), chosen);
    QCOMPARE(combo("CboAudioBitrate")->currentText(), QStringLiteral("12.2kbps"));
    QCOMPARE(combo("CboAudioChannels")->count(), 1);
    QCOMPARE(combo("CboFrameRate")->currentText(), QStringLiteral("60fps"));
    QCOMPARE(combo("CboThread")->currentText(), QStringLiteral("4"));
    QVERIFY(!Control<QCheckBox>(*window_, "ChkOverwrite")->isChecked());
    QVERIFY(Control<QCheckBox>(*window_, "ChkShutdown")->isChecked());
    QVERIFY(!Control<QCheckBox>(*window_, "ChkFastDecoding")->isChecked());
    QCOMPARE(Control<QLineEdit>(*window_, "EdtOutputFolder")->text(), outFolder());
  }
};

int RunWindowBatchTests(int argc, char** argv) {
  WindowBatchTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_batch_test.moc"
