// The window without a batch: start-up with and without the libraries, the
// controls and their defaults, the open dialog and drops, the folder
// chooser, the message boxes and the error handler, About and Help.
#include <QClipboard>
#include <QComboBox>
#include <QCheckBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QDir>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <stdexcept>

#include "app/about_box.h"
#include "app/help_window.h"
#include "build_paths.h"
#include "app/completion_dialog.h"
#include "app/file_list_model.h"
#include "app/open_dialog.h"
#include "app/settings.h"
#include "binding/av_binding.h"
#include "control_table.h"
#include "engine/engine.h"
#include "gui_support.h"
#include "gui_tests.h"

using namespace vantrel::app;
using namespace vantrel::app::test;

namespace {

// An object whose every event fails, as a slot that throws would.
class Thrower final : public QObject {
 public:
  std::function<void()> fail;
  bool event(QEvent*) override {
    fail();
    return true;
  }
};

QStringList ComboItems(QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items.append(combo->itemText(i));
  return items;
}

}  // namespace

class WindowControlsTest : public QObject {
  Q_OBJECT

 private:
  FakeDialogs dialogs_;
  std::unique_ptr<TForm1> window_;

  void openWindow() {
    window_ = MakeWindow(dialogs_);
    QVERIFY(window_->open());
    window_->show();
  }

 private slots:
  // Runs first, while no library is loaded: a folder without them is
  // reported with the loader's reason, and the settings file is left alone.
  void missingLibrariesEndStartUp() {
    WindowServices services;
    services.dialogs = &dialogs_;
    services.libraryFolder = "/nonexistent/LibAV";
    {
      TForm1 window(services);
      QVERIFY(!window.open());
      window.close();
    }
    QCOMPARE(dialogs_.messages.size(), 1);
    const MessageBoxText& box = dialogs_.messages[0];
    QCOMPARE(box.caption, QStringLiteral("Error"));
    QCOMPARE(box.icon, QMessageBox::Information);
    QVERIFY2(box.text.startsWith(QStringLiteral("Load libraray ")), qPrintable(box.text));
    QVERIFY(box.text.contains(QStringLiteral("/nonexistent/LibAV")));
    QVERIFY(box.text.endsWith(QStringLiteral(" Please re-install the program and try it again.")));
    QVERIFY(!QFileInfo::exists(SettingsFilePath()));
    QVERIFY(!vantrel::LibrariesLoaded());
  }

  // Several tests add fixtures to the list: the whole class needs them, so
  // that a new test cannot forget to ask.
  void init() {
    VANTREL_REQUIRE_FIXTURES();
    dialogs_ = FakeDialogs();
  }
  void cleanup() {
    if (window_) window_->close();
    window_.reset();
    QFile::remove(SettingsFilePath());
  }

  // A first start: every control where users expect it, the defaults of a
  // missing settings file, the list view's columns, a centred window at its
  // minimum size.
  void firstStartShowsTheDefaults() {
    openWindow();
    TForm1& w = *window_;
    CheckControlTable(w, false);
    QCOMPARE(w.windowTitle(), QStringLiteral("Vantrel 3.6"));
    QCOMPARE(w.size(), QSize(653, 448));
    QCOMPARE(w.minimumSize(), QSize(653, 448));
    QVERIFY(w.maximumSize().width() > 653 && w.maximumSize().height() > 448);
    const QPoint offCentre = w.frameGeometry().center() - w.screen()->availableGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 2, qPrintable(QStringLiteral("%1 %2 / %3 %4").arg(offCentre.x()).arg(offCentre.y()).arg(w.frameGeometry().center().x()).arg(w.screen()->availableGeometry().width())));

    QCOMPARE(Control<QLineEdit>(w, "EdtOutputFolder")->text(), QDir::homePath() + QStringLiteral("/My 3GP Files/"));
    QVERIFY(Control<QLineEdit>(w, "EdtOutputFolder")->isReadOnly());
    QVERIFY(Control<QCheckBox>(w, "ChkOverwrite")->isChecked());
    QVERIFY(!Control<QCheckBox>(w, "ChkShutdown")->isChecked());
    const QStringList expected[] = {
        {QStringLiteral("3GPP - Video codec: MPEG-4, Audio codec: AAC LC (*.3gp)"),
         QStringLiteral("3GPP - Video codec: H.263, Audio codec: AMR-NB (*.3gp)"),
         QStringLiteral("3GPP2 - Video codec: MPEG-4, Audio codec: AAC LC (*.3g2)"),
         QStringLiteral("3GPP2 - Video codec: H.263, Audio codec: AMR-NB (*.3g2)"),
         QStringLiteral("MPEG4 - Video codec: MPEG-4, Audio codec: AAC LC (*.mp4)"),
         QStringLiteral("MP4 - Video codec: H.264, Audio codec: AAC LC (*.mp4)"),
         QStringLiteral("MP4 - Video codec: H.264 Baseline, Audio codec: AAC LC (*.mp4)")},
        QStringLiteral("128x96 176x144 352x288 320x240 160x120 704x576").split(u' '),
        QStringLiteral("40kbps 80kbps 120kbps 256kbps 512kbps").split(u' '),
        QStringLiteral("Auto 5fps 8fps 10fps 12fps 15fps 20fps 23.97fps 25fps 29.97fps 30fps 60fps").split(u' '),
        {QStringLiteral("1 (Mono)"), QStringLiteral("2 (Stereo)")},
        QStringLiteral("32kbps 40kbps 48kbps 56kbps 64kbps 80kbps 96kbps 112kbps 128kbps 160kbps 192kbps "
                       "224kbps 256kbps 320kbps")
            .split(u' '),
        QStringLiteral("8000Hz 16000Hz 22050Hz 32000Hz 44100Hz 48000Hz").split(u' '),
        QStringLiteral("1 2 3 4 5").split(u' '),
    };
    const char* combos[] = {"CboProfiles",      "CboVideoSize",    "CboVideoBitrate",    "CboFrameRate",
                            "CboAudioChannels", "CboAudioBitrate", "CboAudioSampleRate", "CboThread"};
    const char* selected[] = {"3GPP - Video codec: MPEG-4, Audio codec: AAC LC (*.3gp)",
                              "176x144", "40kbps", "Auto", "1 (Mono)", "32kbps", "8000Hz", "2"};
    for (size_t i = 0; i < std::size(combos); ++i) {
      auto* combo = Control<QComboBox>(w, combos[i]);
      QCOMPARE(ComboItems(combo), expected[i]);
      QCOMPARE(combo->currentText(), QString::fromLatin1(selected[i]));
      QVERIFY(!combo->isEditable());
    }

    auto* lvw = Control<QTableView>(w, "Lvw");
    QVERIFY(lvw->showGrid());
    QCOMPARE(lvw->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(lvw->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(lvw->editTriggers(), QAbstractItemView::NoEditTriggers);
    // Status takes the rest of the list's width, about its 93 pixels.
    const int rest = lvw->viewport()->width() - (150 + 80 + 80 + 150);
    QVERIFY2(rest >= 85 && rest <= 93, qPrintable(QString::number(rest)));
    const int widths[] = {150, 80, 80, 150, rest, 0};
    const char* titles[] = {"Input Filename", "Duration", "Type", "Output Filename", "Status", "Path"};
    QCOMPARE(lvw->model()->columnCount(), 6);
    QVERIFY(!lvw->horizontalScrollBar()->isVisible());
    for (int column = 0; column < 6; ++column) {
      QCOMPARE(lvw->columnWidth(column), widths[column]);
      QVERIFY(!lvw->isColumnHidden(column));
      QCOMPARE(lvw->model()->headerData(column, Qt::Horizontal).toString(), QString::fromLatin1(titles[column]));
    }
  }

  // Picking a profile rebuilds the audio lists with that profile's
  // defaults, also when it is the profile already shown.
  void profileChoiceRebuildsAudioLists() {
    openWindow();
    auto* profiles = Control<QComboBox>(*window_, "CboProfiles");
    auto* channels = Control<QComboBox>(*window_, "CboAudioChannels");
    auto* bitrate = Control<QComboBox>(*window_, "CboAudioBitrate");
    auto* rate = Control<QComboBox>(*window_, "CboAudioSampleRate");
    auto pick = [profiles](int index) {
      profiles->setCurrentIndex(index);
      emit profiles->activated(index);
    };
    pick(1);
    QCOMPARE(ComboItems(channels), QStringList{QStringLiteral("1 (Mono)")});
    QCOMPARE(ComboItems(rate), QStringList{QStringLiteral("8000Hz")});
    QCOMPARE(bitrate->count(), 8);
    QCOMPARE(bitrate->currentText(), QStringLiteral("10.2kbps"));
    pick(4);
    QCOMPARE(channels->currentText(), QStringLiteral("2 (Stereo)"));
    QCOMPARE(bitrate->currentText(), QStringLiteral("96kbps"));
    QCOMPARE(rate->currentText(), QStringLiteral("32000Hz"));
    bitrate->setCurrentIndex(0);
    pick(4);
    QCOMPARE(bitrate->currentText(), QStringLiteral("96kbps"));

    // The smartphone profile brings its own video lists, at their defaults,
    // and the bit rate list becomes the quality list; the first profiles
    // get theirs back.
    auto* size = Control<QComboBox>(*window_, "CboVideoSize");
    auto* quality = Control<QComboBox>(*window_, "CboVideoBitrate");
    auto* qualityLabel = window_->findChild<QLabel*>(QStringLiteral("Label5"));
    pick(5);
    QCOMPARE(ComboItems(size), QStringLiteral("426x240 640x360 854x480 1280x720 1920x1080").split(u' ')
                                   << QStringLiteral("Same as source"));
    QCOMPARE(size->currentText(), QStringLiteral("1280x720"));
    QCOMPARE(quality->currentText(), QStringLiteral("Balanced"));
    QCOMPARE(qualityLabel->text(), QStringLiteral("Video Quali&ty: "));
    QCOMPARE(ComboItems(channels), QStringList{QStringLiteral("2 (Stereo)")});
    QCOMPARE(bitrate->currentText(), QStringLiteral("128kbps"));
    size->setCurrentIndex(1);
    pick(5);
    QCOMPARE(size->currentText(), QStringLiteral("640x360"));  // same lists: the choice stays
    pick(6);
    QCOMPARE(size->currentText(), QStringLiteral("320x240"));
    QCOMPARE(quality->currentText(), QStringLiteral("256kbps"));
    QCOMPARE(qualityLabel->text(), QStringLiteral("Video Bi&trate: "));
    pick(4);
    QCOMPARE(size->currentText(), QStringLiteral("176x144"));
    QCOMPARE(quality->currentText(), QStringLiteral("40kbps"));
    // The longest profile's text fits the opened list.
    QVERIFY(profiles->view()->minimumWidth() >=
            profiles->fontMetrics().horizontalAdvance(profiles->itemText(6)));

    // With rows in the list, a choice that H.263 cannot encode is said at
    // once, whichever of the two lists made it.
    auto pickSize = [size](const char* text) {
      size->setCurrentIndex(size->findText(QString::fromLatin1(text)));
      emit size->activated(size->currentIndex());
    };
    pickSize("320x240");
    pick(1);
    QVERIFY(dialogs_.messages.isEmpty());  // nothing listed yet
    pick(4);
    dialogs_.filesToChoose = {Fixture("avi_mpeg4.avi")};
    Control<QPushButton>(*window_, "BtnAdd")->click();
    QTRY_VERIFY(!window_->adding());
    QCOMPARE(window_->model().size(), 1);
    pick(1);
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(dialogs_.messages[0].caption, QStringLiteral("Error"));
    QVERIFY(dialogs_.messages[0].text.startsWith(QStringLiteral("H.263 can encode only")));
    pickSize("176x144");
    pickSize("160x120");
    QCOMPARE(dialogs_.messages.size(), 2);
  }

  // The open dialog's title and filters; the types match whatever the
  // case; a dropped folder adds the supported files directly inside it.
  void openDialogAndDrops() {
    openWindow();
    const std::unique_ptr<QFileDialog> dialog = MakeOpenDialog(window_.get());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Choose Files to Convert"));
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
    QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
    const QStringList filters = dialog->nameFilters();
    QCOMPARE(filters.size(), 13);
    const QString todays = QStringLiteral("*.mp4 *.m4v *.mkv *.webm *.flv *.ts *.m2ts *.mts *.3gp *.3g2 *.ogv *.vob");
    QCOMPARE(filters.first(), QStringLiteral("All supported Media Format (*.avi *.divX *.div *.xvid *.mpeg *.mpg "
                                             "*.wmv *.asf *.rm *.rmvb *.dat *.mov *.swf ") + todays + u')');
    QCOMPARE(filters[2], QStringLiteral("DivX(*.divx *.div)"));
    QCOMPARE(filters[7], QStringLiteral("Real Video(*.rm *.rmvb)"));
    QCOMPARE(filters[11], QStringLiteral("All Files(*)"));
    QCOMPARE(filters.last(), QStringLiteral("MP4, MKV, WebM and other containers(") + todays + u')');
    QCOMPARE(dialog->selectedNameFilter(), filters.first());

    QTemporaryDir dir;
    QVERIFY(QFile::copy(Fixture("avi_mpeg4.avi"), dir.filePath(QStringLiteral("CLIP.AVI"))));
    QVERIFY(QFile::copy(Fixture("mp4.mp4"), dir.filePath(QStringLiteral("b.MoV"))));
    QVERIFY(QFile::copy(Fixture("mp4.mp4"), dir.filePath(QStringLiteral("notes.txt"))));
    QVERIFY(QFile::copy(Fixture("mp4.mp4"), dir.filePath(QStringLiteral("phone.MP4"))));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("sub.avi")));
    QVERIFY(QFile::copy(Fixture("mp4.mp4"), dir.filePath(QStringLiteral("sub.avi/inner.avi"))));
    QCOMPARE(ExpandDroppedPaths({dir.path()}),
             (QStringList{dir.filePath(QStringLiteral("b.MoV")), dir.filePath(QStringLiteral("CLIP.AVI")),
                          dir.filePath(QStringLiteral("phone.MP4"))}));

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dir.path()), QUrl::fromLocalFile(Fixture("xvid.avi"))});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_.get(), &drop);
    QTRY_VERIFY(!window_->adding());
    FileListModel& model = window_->model();
    QCOMPARE(model.size(), 4);
    QCOMPARE(model.fileRow(0).inputName, QStringLiteral("b"));
    QCOMPARE(model.fileRow(0).type, QStringLiteral("MOV"));
    QCOMPARE(model.fileRow(1).inputName, QStringLiteral("CLIP"));
    QCOMPARE(model.fileRow(2).type, QStringLiteral("MP4"));
    QCOMPARE(model.fileRow(3).path, Fixture("xvid.avi"));
    QVERIFY(dialogs_.messages.isEmpty());

    // The Add button takes what the dialog gives, in its order.
    dialogs_.filesToChoose = {Fixture("mp4.mp4")};
    Control<QPushButton>(*window_, "BtnAdd")->click();
    QTRY_VERIFY(!window_->adding());
    QCOMPARE(model.size(), 5);
    dialogs_.filesToChoose.clear();
    Control<QPushButton>(*window_, "BtnAdd")->click();
    QCOMPARE(model.size(), 5);
  }

  // The list at its smallest shows its five columns without a scroll bar;
  // a widened column brings one. A larger window gives its room to the list
  // and the folder and keeps the buttons at the right and the bottom; back
  // at its minimum every control is where users know it. Every cell's
  // tooltip names the row's input and output files in full, following the
  // folder and the profile.
  void listGrowsScrollsAndNamesItsFiles() {
    openWindow();
    TForm1& w = *window_;
    dialogs_.filesToChoose = {Fixture("avi_mpeg4.avi")};
    Control<QPushButton>(w, "BtnAdd")->click();
    QTRY_VERIFY(!w.adding());
    auto* lvw = Control<QTableView>(w, "Lvw");
    const QScrollBar* bar = lvw->horizontalScrollBar();
    QTest::qWait(50);
    QVERIFY(!bar->isVisible());
    lvw->horizontalHeader()->resizeSection(FileListModel::InputNameColumn, 400);
    QTRY_VERIFY(bar->isVisible());
    // Status keeps enough of its width to be read once scrolled to.
    QVERIFY(lvw->columnWidth(FileListModel::StatusColumn) >= lvw->fontMetrics().horizontalAdvance(
                                                                QStringLiteral("Completed")));
    lvw->horizontalHeader()->resizeSection(FileListModel::InputNameColumn, 150);
    QTRY_VERIFY(!bar->isVisible());

    const FileListModel& model = w.model();
    auto tip = [&model](int column) { return model.index(0, column).data(Qt::ToolTipRole).toString(); };
    const QString folder = Control<QLineEdit>(w, "EdtOutputFolder")->text();
    for (int column = 0; column < FileListModel::PathColumn; ++column) {
      const QStringList lines = tip(column).split(u'\n');
      QVERIFY2(lines.size() >= 2, qPrintable(tip(column)));
      QCOMPARE(lines[0], QStringLiteral("Input: ") + Fixture("avi_mpeg4.avi"));
      QCOMPARE(lines[1], QStringLiteral("Output: ") + folder + QStringLiteral("avi_mpeg4.3gp"));
    }
    // What the tooltips said before, after the paths.
    QVERIFY(!model.fileRow(0).decodingNote.isEmpty());
    QVERIFY(tip(FileListModel::InputNameColumn).endsWith(u'\n' + model.fileRow(0).decodingNote));
    QVERIFY2(tip(FileListModel::OutputNameColumn).contains(QStringLiteral("\nExpected size: about ")),
             qPrintable(tip(FileListModel::OutputNameColumn)));
    dialogs_.folderToChoose = QStringLiteral("/tmp/Clips");
    Control<QPushButton>(w, "BtnChangeOutputFolder")->click();
    auto* profiles = Control<QComboBox>(w, "CboProfiles");
    profiles->setCurrentIndex(4);
    emit profiles->activated(4);
    QCOMPARE(tip(FileListModel::StatusColumn).split(u'\n').value(1),
             QStringLiteral("Output: /tmp/Clips/avi_mpeg4.mp4"));

    const int dx = 247, dy = 152;
    w.resize(653 + dx, 448 + dy);
    QTRY_COMPARE(w.size(), QSize(653 + dx, 448 + dy));
    QTRY_COMPARE(lvw->geometry(), QRect(8, 40, 553 + dx, 177 + dy));
    // The room goes to Status; the other columns keep their widths.
    QTRY_COMPARE(lvw->columnWidth(FileListModel::StatusColumn), lvw->viewport()->width() - 460);
    QCOMPARE(lvw->columnWidth(FileListModel::InputNameColumn), 150);
    QCOMPARE(Control<QLabel>(w, "LblSummary")->geometry(), QRect(8, 12, 553 + dx, 17));
    QCOMPARE(Control<QPushButton>(w, "BtnMoveDown")->geometry(), QRect(568 + dx, 184, 80, 27));
    QCOMPARE(Control<QLabel>(w, "Label1")->pos(), QPoint(8, 234 + dy));
    QCOMPARE(Control<QLineEdit>(w, "EdtOutputFolder")->geometry(), QRect(80, 232 + dy, 537 + dx, 19));
    QCOMPARE(Control<QPushButton>(w, "BtnChangeOutputFolder")->geometry(), QRect(624 + dx, 232 + dy, 25, 19));
    QCOMPARE(Control<QGroupBox>(w, "GBOutput")->geometry(), QRect(8, 264 + dy, 417, 145));
    QCOMPARE(Control<QGroupBox>(w, "GBOther")->geometry(), QRect(432 + dx, 264 + dy, 217, 145));
    QCOMPARE(Control<QLabel>(w, "LblProgress")->pos(), QPoint(11, 424 + dy));
    QCOMPARE(Control<QPushButton>(w, "BtnStart")->geometry(), QRect(392 + dx, 414 + dy, 80, 27));
    QCOMPARE(Control<QPushButton>(w, "BtnHelp")->geometry(), QRect(568 + dx, 414 + dy, 80, 27));
    w.resize(300, 200);  // held at the minimum
    QTRY_COMPARE(w.size(), QSize(653, 448));
    QTRY_COMPARE(lvw->geometry(), QRect(8, 40, 553, 177));
    CheckControlTable(w, false);
  }

  // The file-name field of the real dialog: quoted and unquoted names,
  // relative and absolute, whatever the filter shows; a folder typed alone
  // is opened; a name that does not exist reaches Add, which says why it
  // cannot take it. The dialog opens where it was left, also in the next
  // run of the program.
  void addDialogTakesTypedNames() {
    openWindow();
    QTemporaryDir dir, other;
    QVERIFY(QFile::copy(Fixture("mp4.mp4"), dir.filePath(QStringLiteral("hd.mp4"))));
    QVERIFY(QFile::copy(Fixture("avi_mpeg4.avi"), dir.filePath(QStringLiteral("long.avi"))));
    const QString far = other.filePath(QStringLiteral("far away.mp4"));
    QVERIFY(QFile::copy(Fixture("mp4.mp4"), far));
    const QString missing = dir.filePath(QStringLiteral("missing.avi"));

    // Each step types into the dialog on screen and presses Open.
    QStringList typed = {QStringLiteral("\"hd.mp4\" long.avi \"") + far + QStringLiteral("\" missing.avi")};
    QList<bool> openEnabled;
    QTimer driver;
    int ticks = 0;
    connect(&driver, &QTimer::timeout, this, [&] {
      auto* dialog = qobject_cast<OpenFilesDialog*>(QApplication::activeModalWidget());
      if (!dialog || typed.isEmpty()) return;
      if (++ticks > 250) dialog->reject();  // a failure, not a hang
      dialog->selectNameFilter(dialog->nameFilters().at(1));  // AVI only
      // Typed, so with the focus: the dialog rewrites the field with what
      // it selects while the field has none.
      auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      dialog->activateWindow();
      edit->setFocus();
      if (!edit->hasFocus()) return;  // on the next tick
      edit->setText(typed.takeFirst());
      auto* open = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open);
      openEnabled.append(open->isEnabled());
      open->click();
    });
    driver.start(20);
    QtWindowDialogs real;
    ChosenFiles chosen = real.chooseFiles(window_.get(), dir.path());
    QCOMPARE(chosen.files, (QStringList{dir.filePath(QStringLiteral("hd.mp4")), dir.filePath(QStringLiteral("long.avi")),
                                        far, missing}));
    QCOMPARE(chosen.folder, dir.path());
    QCOMPARE(openEnabled, QList<bool>{true});
    window_->addFiles(chosen.files);
    QTRY_VERIFY(!window_->adding());
    QCOMPARE(window_->model().size(), 3);
    QCOMPARE(dialogs_.messages.size(), 1);
    QVERIFY2(dialogs_.messages[0].text.contains(missing), qPrintable(dialogs_.messages[0].text));

    typed = {other.path(), QStringLiteral("far away.mp4")};
    chosen = real.chooseFiles(window_.get(), dir.path());
    driver.stop();
    QCOMPARE(chosen.files, QStringList{far});
    QCOMPARE(chosen.folder, other.path());

    // Through the window: the folder is kept in the settings file.
    dialogs_.filesToChoose = {far};
    Control<QPushButton>(*window_, "BtnAdd")->click();
    QCOMPARE(dialogs_.filesAskedIn, QString());  // none yet
    QTRY_VERIFY(!window_->adding());
    window_->close();
    QCOMPARE(ReadSettings(SettingsFilePath()).lastAddFolder, other.path());
    openWindow();
    dialogs_.filesToChoose.clear();
    Control<QPushButton>(*window_, "BtnAdd")->click();
    QCOMPARE(dialogs_.filesAskedIn, other.path());
  }

  // Tab starts at the list and goes round the controls in reading order.
  // Each button has its key and its "&" letter, a label's letter puts the
  // focus on its list; a combo box keeps Alt+Down for its own list. (A
  // batch leaves only Stop and closing: see the batch tests.)
  void keysAndTabOrder() {
    openWindow();
    TForm1& w = *window_;
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* lvw = Control<QTableView>(w, "Lvw");
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(lvw));
    QStringList order;
    for (int i = 0; i < 22; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, QStringLiteral("BtnAdd BtnRemove BtnClear BtnMoveUp BtnMoveDown EdtOutputFolder "
                                   "BtnChangeOutputFolder CboProfiles CboVideoSize CboAudioChannels CboVideoBitrate "
                                   "CboAudioBitrate CboFrameRate CboAudioSampleRate ChkOverwrite ChkShutdown CboThread "
                                   "ChkFastDecoding BtnStart BtnAbout BtnHelp Lvw")
                        .split(u' '));

    const FileListModel& model = w.model();
    auto names = [&model] {
      QStringList list;
      for (int row = 0; row < model.size(); ++row) list << model.fileRow(row).inputName;
      return list.join(u' ');
    };
    dialogs_.filesToChoose = {Fixture("avi_mpeg4.avi"), Fixture("mp4.mp4")};
    QTest::keyClick(&w, Qt::Key_Insert);
    QCOMPARE(dialogs_.filesAsked, 1);
    QTRY_VERIFY(!w.adding());
    dialogs_.filesToChoose = {Fixture("xvid.avi")};
    QTest::keyClick(&w, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(dialogs_.filesAsked, 2);
    QTRY_VERIFY(!w.adding());
    QCOMPARE(names(), QStringLiteral("avi_mpeg4 mp4 xvid"));
    lvw->selectRow(0);
    QTest::keyClick(&w, Qt::Key_Down, Qt::AltModifier);
    QTest::keyClick(&w, Qt::Key_Down, Qt::AltModifier);
    QCOMPARE(names(), QStringLiteral("mp4 xvid avi_mpeg4"));
    QTest::keyClick(&w, Qt::Key_Up, Qt::AltModifier);
    QCOMPARE(names(), QStringLiteral("mp4 avi_mpeg4 xvid"));
    QTest::keyClick(&w, Qt::Key_Delete);
    QCOMPARE(names(), QStringLiteral("mp4 xvid"));

    auto* size = Control<QComboBox>(w, "CboVideoSize");
    QTest::keyClick(&w, Qt::Key_Z, Qt::AltModifier);  // "Video Si&ze: "
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(size));
    lvw->selectRow(0);
    QTest::keyClick(size, Qt::Key_Down, Qt::AltModifier);
    QTRY_VERIFY(size->view()->isVisible());
    size->hidePopup();
    w.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&w));
    QCOMPARE(names(), QStringLiteral("mp4 xvid"));

    QTest::keyClick(&w, Qt::Key_L, Qt::AltModifier);  // "C&lear"
    QTRY_COMPARE(model.size(), 0);
    QTest::keyClick(&w, Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(&w, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    QCOMPARE(dialogs_.messages.size(), 2);
    QCOMPARE(dialogs_.messages[0].text, QStringLiteral("Please select files to be converted."));

    QVERIFY(w.findChildren<HelpWindow*>().isEmpty());
    QTest::keyClick(&w, Qt::Key_F1);
    QCOMPARE(w.findChildren<HelpWindow*>().size(), 1);
    QVERIFY(w.findChild<HelpWindow*>()->isVisible());
    w.findChild<HelpWindow*>()->close();
    w.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&w));

    QVERIFY(!QFileInfo::exists(SettingsFilePath()));
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!w.isVisible());
    QVERIFY(QFileInfo::exists(SettingsFilePath()));
  }

  // An H.263 profile greys out the sizes it cannot encode and says why; the
  // items keep their places, the keys of the closed list pass over them,
  // and a stored choice of one falls back to the default size.
  void h263SizesCannotBePicked() {
    QVERIFY(QDir().mkpath(QFileInfo(SettingsFilePath()).absolutePath()));
    QFile file(SettingsFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Options]\nProfile=3\nVideoSize=3\n");
    file.close();
    openWindow();
    auto* size = Control<QComboBox>(*window_, "CboVideoSize");
    QCOMPARE(Control<QComboBox>(*window_, "CboProfiles")->currentIndex(), 3);
    QCOMPARE(size->currentText(), QStringLiteral("176x144"));
    auto greyed = [size] {
      QStringList items;
      for (int i = 0; i < size->count(); ++i)
        if (!(size->model()->flags(size->model()->index(i, 0)) & Qt::ItemIsEnabled)) items << size->itemText(i);
      return items;
    };
    QCOMPARE(ComboItems(size), QStringLiteral("128x96 176x144 352x288 320x240 160x120 704x576").split(u' '));
    QCOMPARE(greyed(), (QStringList{QStringLiteral("320x240"), QStringLiteral("160x120")}));
    QCOMPARE(size->itemData(3, Qt::ToolTipRole).toString(),
             QStringLiteral("H.263 only encodes 128x96, 176x144, 352x288, 704x576 and 1408x1152"));
    QVERIFY(!size->itemData(2, Qt::ToolTipRole).isValid());
    size->setFocus();
    size->setCurrentIndex(2);
    QTest::keyClick(size, Qt::Key_Down);
    QCOMPARE(size->currentText(), QStringLiteral("704x576"));

    auto* profiles = Control<QComboBox>(*window_, "CboProfiles");
    profiles->setCurrentIndex(0);
    emit profiles->activated(0);
    QVERIFY(greyed().isEmpty());
    QVERIFY(!size->itemData(3, Qt::ToolTipRole).isValid());
    profiles->setCurrentIndex(1);
    emit profiles->activated(1);
    QCOMPARE(greyed().size(), 2);
  }

  // Cancel leaves the folder as it was; a chosen folder gets its "/".
  void folderChooser() {
    openWindow();
    auto* edit = Control<QLineEdit>(*window_, "EdtOutputFolder");
    auto* button = Control<QPushButton>(*window_, "BtnChangeOutputFolder");
    const QString before = edit->text();
    button->click();
    QCOMPARE(dialogs_.folderAskedWith, before);
    QCOMPARE(edit->text(), before);
    dialogs_.folderToChoose = QStringLiteral("/tmp/Clips");
    button->click();
    QCOMPARE(edit->text(), QStringLiteral("/tmp/Clips/"));
    dialogs_.folderToChoose = QStringLiteral("/");
    button->click();
    QCOMPARE(edit->text(), QStringLiteral("/"));
  }

  // Errors nobody caught end in a box with the program's title, the
  // engine's with the warning icon, and the program goes on; the texts of
  // the logic layer's messages get their captions and icons.
  void messageBoxesAndErrorHandler() {
    openWindow();
    Thrower thrower;
    QEvent event(QEvent::User);
    thrower.fail = [] { throw vantrel::FFMpegException("Invalid value"); };
    QCoreApplication::sendEvent(&thrower, &event);
    thrower.fail = [] { throw std::runtime_error("Disk full!"); };
    QCoreApplication::sendEvent(&thrower, &event);
    QCOMPARE(dialogs_.messages.size(), 2);
    QCOMPARE(dialogs_.messages[0],
             (MessageBoxText{QStringLiteral("Vantrel"), QStringLiteral("Invalid value."), QMessageBox::Warning}));
    QCOMPARE(dialogs_.messages[1],
             (MessageBoxText{QStringLiteral("Vantrel"), QStringLiteral("Disk full!"), QMessageBox::Critical}));
    QVERIFY(window_->isVisible());

    const QString unchanged[] = {QString(), QStringLiteral("ends (here)"), QStringLiteral("space "),
                                 QStringLiteral("dot."), QStringLiteral("comma,"), QStringLiteral("dash-")};
    for (const QString& text : unchanged) QCOMPARE(UncaughtErrorBox(text, true).text, text);
    QCOMPARE(UncaughtErrorBox(QStringLiteral("code 9"), true).text, QStringLiteral("code 9."));
    QCOMPARE(UncaughtErrorBox(QStringLiteral("slash/"), false).text, QStringLiteral("slash/."));

    dialogs_.messages.clear();
    Control<QPushButton>(*window_, "BtnStart")->click();
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(dialogs_.messages[0], (MessageBoxText{QStringLiteral("Information"),
                                                   QStringLiteral("Please select files to be converted."),
                                                   QMessageBox::Information}));
    CheckControlTable(*window_, false);
    QCOMPARE(MessageBoxFor(MessageKind::Refusal, QStringLiteral("x")),
             (MessageBoxText{QStringLiteral("Error"), QStringLiteral("x"), QMessageBox::Information}));
    QCOMPARE(MessageBoxFor(MessageKind::TaskError, QStringLiteral("y")),
             (MessageBoxText{QStringLiteral("Vantrel"), QStringLiteral("y"), QMessageBox::Warning}));
  }

  // The completion box: its text selectable, Ctrl+C copying the whole box.
  void completionBoxCopiesItself() {
    openWindow();
    CompletionDialog box(window_.get());
    QCOMPARE(box.windowTitle(), QStringLiteral("Information"));
    auto* label = Control<QLabel>(box, "LblMessage");
    QCOMPARE(label->text(), QStringLiteral("File conversion process finished."));
    QCOMPARE(label->textInteractionFlags(), Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QCOMPARE(Control<QPushButton>(box, "BtnOk")->text(), QStringLiteral("OK"));
    box.show();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(&box, Qt::Key_C, Qt::ControlModifier);
    const QString dashes(27, u'-');
    QCOMPARE(QGuiApplication::clipboard()->text(),
             dashes + QStringLiteral("\r\nInformation\r\n") + dashes +
                 QStringLiteral("\r\nFile conversion process finished.\r\n") + dashes + QStringLiteral("\r\nOK\r\n") +
                 dashes);
    QCOMPARE(BoxClipboardText(QStringLiteral("C"), QStringLiteral("T"), {QStringLiteral("Yes"), QStringLiteral("No")}),
             dashes + QStringLiteral("\r\nC\r\n") + dashes + QStringLiteral("\r\nT\r\n") + dashes +
                 QStringLiteral("\r\nYes   No\r\n") + dashes);
  }

  // About opens a fresh box each time and leaves none behind. Its links go
  // to the desktop; where the desktop has no program for them, the user is
  // told so and finds the address on the clipboard.
  void aboutLinks() {
    openWindow();
    const QUrl website(QString::fromLatin1(kWebsite));
    const QUrl email(QStringLiteral("mailto:") + QString::fromLatin1(kSupportEmail));
    QStringList seen;
    for (bool desktopOpens : {true, false}) {
      dialogs_.desktopOpensUrls = desktopOpens;
      QTimer::singleShot(0, this, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return;
        seen.append(box->windowTitle());
        QCOMPARE(box->size(), QSize(301, 233));
        QCOMPARE(Control<QLabel>(*box, "Label1")->text(), QStringLiteral("Vantrel V3.6"));
        QCOMPARE(Control<QLabel>(*box, "Label1")->geometry(), QRect(56, 32, 209, 17));
        QVERIFY(!Control<QLabel>(*box, "Image1")->pixmap().isNull());
        auto* websiteLine = Control<QLabel>(*box, "LblWebsite");
        QVERIFY(websiteLine->text().startsWith(QStringLiteral("Website: ")));
        QCOMPARE(websiteLine->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(websiteLine, Qt::LeftButton);
        if (!desktopOpens) QCOMPARE(QGuiApplication::clipboard()->text(), website.toString());
        QTest::mouseClick(Control<QLabel>(*box, "LblEmail"), Qt::LeftButton);
        if (!desktopOpens) QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromLatin1(kSupportEmail));
        Control<QPushButton>(*box, "BtnOk")->click();
      });
      Control<QPushButton>(*window_, "BtnAbout")->click();
      QCOMPARE(dialogs_.urlsOpened, (QList<QUrl>{website, email}));
      dialogs_.urlsOpened.clear();
    }
    QCOMPARE(seen, (QStringList{QStringLiteral("About Vantrel"), QStringLiteral("About Vantrel")}));
    QVERIFY(window_->findChildren<TFrmAbout*>().isEmpty());
    const MessageBoxText noBrowser{
        QStringLiteral("Vantrel"),
        QStringLiteral("No web browser was found. The address https://vantrel.example.org/ has been copied to the "
                       "clipboard."),
        QMessageBox::Information};
    const MessageBoxText noMailProgram{
        QStringLiteral("Vantrel"),
        QStringLiteral("No e-mail program was found. The address support@vantrel.example.org has been copied to "
                       "the clipboard."),
        QMessageBox::Information};
    QCOMPARE(dialogs_.messages, (QList<MessageBoxText>{noBrowser, noMailProgram}));
  }

  // Help shows the page in a window of the program's own, not modal and
  // never more than one: Help again brings back the same window where the
  // user left it. Links are followed by keyboard as by mouse: anchors and
  // local pages inside the window, web and e-mail links on the desktop.
  void helpWindow() {
    openWindow();
    Control<QPushButton>(*window_, "BtnHelp")->click();
    auto* help = window_->findChild<HelpWindow*>();
    QVERIFY(help);
    QVERIFY(help->isVisible());
    QVERIFY(help->isWindow());
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(help->windowTitle(), QStringLiteral("Vantrel Help"));
    // The test program has no help page beside it: said plainly, in the window.
    const QString missing = HelpPagePath(QCoreApplication::applicationDirPath());
    QVERIFY(!QFileInfo::exists(missing));
    QCOMPARE(help->toPlainText(), QStringLiteral("The help page %1 is missing. Please re-install the program and try "
                                                 "it again.").arg(missing));
    // The program's own page, as the program finds it beside itself.
    help->showPage(HelpPagePath(QStringLiteral(VANTREL_PROGRAM_DIR)));
    QCOMPARE(help->windowTitle(), QStringLiteral("Vantrel Help"));
    QVERIFY(help->toPlainText().contains(QStringLiteral("What the Status column says")));
    // The page's first link leads to its "Other Settings" part.
    QCOMPARE(help->verticalScrollBar()->value(), 0);
    followLink(*help, 1);
    QCOMPARE(help->source().fragment(), QStringLiteral("other"));
    QVERIFY(help->verticalScrollBar()->value() > 0);
    QVERIFY(dialogs_.urlsOpened.isEmpty());

    Control<QPushButton>(*window_, "BtnHelp")->click();
    QCOMPARE(window_->findChildren<HelpWindow*>(), QList<HelpWindow*>{help});
    QCOMPARE(help->source().fragment(), QStringLiteral("other"));
    QTest::keyClick(help, Qt::Key_Escape);
    QVERIFY(!help->isVisible());
    Control<QPushButton>(*window_, "BtnHelp")->click();
    QCOMPARE(window_->findChildren<HelpWindow*>(), QList<HelpWindow*>{help});
    QVERIFY(help->isVisible());

    QTemporaryDir pages;
    const QString index = pages.filePath(QStringLiteral("index.html"));
    writePage(index, "Contents", "<a href=\"second.html#b\">Second</a> "
                     "<a href=\"https://example.org/more\">Web</a> <a href=\"mailto:help@example.org\">Mail</a> "
                     "<a href=\"gone.html\">Gone</a>");
    writePage(pages.filePath(QStringLiteral("second.html")), "Second page", "<p id=\"b\">B</p>");
    help->showPage(index);
    QCOMPARE(help->windowTitle(), QStringLiteral("Contents"));
    followLink(*help, 1);
    QUrl second = QUrl::fromLocalFile(pages.filePath(QStringLiteral("second.html")));
    second.setFragment(QStringLiteral("b"));
    QCOMPARE(help->source(), second);
    QCOMPARE(help->windowTitle(), QStringLiteral("Second page"));
    help->showPage(index);
    followLink(*help, 2);
    dialogs_.desktopOpensUrls = false;
    followLink(*help, 3);
    QCOMPARE(dialogs_.urlsOpened,
             (QList<QUrl>{QUrl(QStringLiteral("https://example.org/more")), QUrl(QStringLiteral("mailto:help@example.org"))}));
    QCOMPARE(help->source(), QUrl::fromLocalFile(index));
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(dialogs_.messages[0].text, QStringLiteral("No e-mail program was found. The address help@example.org has "
                                                       "been copied to the clipboard."));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("help@example.org"));
    // So is a linked page that is not there.
    followLink(*help, 4);
    QCOMPARE(help->toPlainText(), QStringLiteral("The help page %1 is missing. Please re-install the program and try "
                                                 "it again.").arg(pages.filePath(QStringLiteral("gone.html"))));
    QCOMPARE(help->windowTitle(), QStringLiteral("Vantrel Help"));

    QCOMPARE(HelpPagePath(QStringLiteral("/opt/nowhere/bin")), QStringLiteral("/opt/nowhere/share/vantrel/help/index.html"));
    // The page the program finds beside itself says what users need.
    const QString page = HelpPagePath(QStringLiteral(VANTREL_PROGRAM_DIR));
    QVERIFY2(page.startsWith(QStringLiteral(VANTREL_PROGRAM_DIR "/help/")), qPrintable(page));
    QFile file(page);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(page));
    const QString html = QString::fromUtf8(file.readAll());
    for (const char* word : {"Add", "Completed", "Stopped", "Failed", "% Completed", "Shut down computer",
                             "Overwrite existing files", "MPEG4 - Video codec"})
      QVERIFY2(html.contains(QString::fromLatin1(word)), word);
  }

 private:
  // The nth link from the top of the page, reached with Tab and followed
  // with Return, as a keyboard user does.
  static void followLink(HelpWindow& help, int nth) {
    help.moveCursor(QTextCursor::Start);
    for (int i = 0; i < nth; ++i) QTest::keyClick(&help, Qt::Key_Tab);
    QTest::keyClick(&help, Qt::Key_Return);
  }
  static void writePage(const QString& path, const char* title, const char* body) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("<html><head><title>") + title + "</title></head><body>" + body + "</body></html>");
  }
};

int RunWindowControlsTests(int argc, char** argv) {
  WindowControlsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_controls_test.moc"
