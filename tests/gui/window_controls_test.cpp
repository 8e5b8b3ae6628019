// The window without a batch: start-up with and without the libraries, the
// controls and their defaults, the open dialog and drops, the folder
// chooser, the message boxes and the error handler, About and Help.
#include <QClipboard>
#include <QComboBox>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <stdexcept>

#include "app/about_box.h"
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

// Receives the addresses the window asks the desktop to open.
class UrlRecorder : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> urls;
 public slots:
  void open(const QUrl& url) { urls.append(url); }
};

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
  // missing settings file, the list view's columns, a fixed centred window.
  void firstStartShowsTheDefaults() {
    openWindow();
    TForm1& w = *window_;
    CheckControlTable(w, false);
    QCOMPARE(w.windowTitle(), QStringLiteral("Vantrel 3.6"));
    QCOMPARE(w.size(), QSize(653, 448));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
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
         QStringLiteral("MPEG4 - Video codec: MPEG-4, Audio codec: AAC LC (*.mp4)")},
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
    const int widths[] = {150, 80, 80, 150, 93, 0};
    const char* titles[] = {"Input Filename", "Duration", "Type", "Output Filename", "Status", "Path"};
    QCOMPARE(lvw->model()->columnCount(), 6);
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

    // With rows in the list, a choice that H.263 cannot encode is said at
    // once, whichever of the two lists made it.
    auto* size = Control<QComboBox>(*window_, "CboVideoSize");
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
    QCOMPARE(filters.size(), 12);
    QCOMPARE(filters.first(), QStringLiteral("All supported Media Format (*.avi *.divX *.div *.xvid *.mpeg *.mpg "
                                             "*.wmv *.asf *.rm *.rmvb *.dat *.mov *.swf)"));
    QCOMPARE(filters[2], QStringLiteral("DivX(*.divx *.div)"));
    QCOMPARE(filters[7], QStringLiteral("Real Video(*.rm *.rmvb)"));
    QCOMPARE(filters.last(), QStringLiteral("All Files(*)"));
    QCOMPARE(dialog->selectedNameFilter(), filters.first());

    QTemporaryDir dir;
    QVERIFY(QFile::copy(Fixture("avi_mpeg4.avi"), dir.filePath(QStringLiteral("CLIP.AVI"))));
    QVERIFY(QFile::copy(Fixture("mp4.mp4"), dir.filePath(QStringLiteral("b.MoV"))));
    QVERIFY(QFile::copy(Fixture("mp4.mp4"), dir.filePath(QStringLiteral("notes.txt"))));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("sub.avi")));
    QVERIFY(QFile::copy(Fixture("mp4.mp4"), dir.filePath(QStringLiteral("sub.avi/inner.avi"))));
    QCOMPARE(ExpandDroppedPaths({dir.path()}),
             (QStringList{dir.filePath(QStringLiteral("b.MoV")), dir.filePath(QStringLiteral("CLIP.AVI"))}));

    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dir.path()), QUrl::fromLocalFile(Fixture("xvid.avi"))});
    QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window_.get(), &drop);
    QTRY_VERIFY(!window_->adding());
    FileListModel& model = window_->model();
    QCOMPARE(model.size(), 3);
    QCOMPARE(model.fileRow(0).inputName, QStringLiteral("b"));
    QCOMPARE(model.fileRow(0).type, QStringLiteral("MOV"));
    QCOMPARE(model.fileRow(1).inputName, QStringLiteral("CLIP"));
    QCOMPARE(model.fileRow(2).path, Fixture("xvid.avi"));
    QVERIFY(dialogs_.messages.isEmpty());

    // The Add button takes what the dialog gives, in its order.
    dialogs_.filesToChoose = {Fixture("mp4.mp4")};
    Control<QPushButton>(*window_, "BtnAdd")->click();
    QTRY_VERIFY(!window_->adding());
    QCOMPARE(model.size(), 4);
    dialogs_.filesToChoose.clear();
    Control<QPushButton>(*window_, "BtnAdd")->click();
    QCOMPARE(model.size(), 4);
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

  // About opens a fresh box each time and leaves none behind; its links and
  // Help go to the desktop: the help page exists and explains the statuses.
  void aboutAndHelp() {
    openWindow();
    UrlRecorder recorder;
    for (const char* scheme : {"file", "https", "mailto"})
      QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &recorder, "open");
    const auto unset = qScopeGuard([] {
      for (const char* scheme : {"file", "https", "mailto"}) QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    });
    QStringList seen;
    for (int round = 0; round < 2; ++round) {
      QTimer::singleShot(0, this, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box) return;
        seen.append(box->windowTitle());
        QCOMPARE(box->size(), QSize(301, 233));
        QCOMPARE(Control<QLabel>(*box, "Label1")->text(), QStringLiteral("Vantrel V3.6"));
        QCOMPARE(Control<QLabel>(*box, "Label1")->geometry(), QRect(56, 32, 209, 17));
        QVERIFY(!Control<QLabel>(*box, "Image1")->pixmap().isNull());
        auto* website = Control<QLabel>(*box, "LblWebsite");
        QVERIFY(website->text().startsWith(QStringLiteral("Website: ")));
        QCOMPARE(website->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(website, Qt::LeftButton);
        QTest::mouseClick(Control<QLabel>(*box, "LblEmail"), Qt::LeftButton);
        Control<QPushButton>(*box, "BtnOk")->click();
      });
      Control<QPushButton>(*window_, "BtnAbout")->click();
    }
    QCOMPARE(seen, (QStringList{QStringLiteral("About Vantrel"), QStringLiteral("About Vantrel")}));
    QVERIFY(window_->findChildren<TFrmAbout*>().isEmpty());
    QCOMPARE(recorder.urls.size(), 4);
    QCOMPARE(recorder.urls[0], QUrl(QString::fromLatin1(kWebsite)));
    QCOMPARE(recorder.urls[1].toString(), QStringLiteral("mailto:") + QString::fromLatin1(kSupportEmail));

    Control<QPushButton>(*window_, "BtnHelp")->click();
    QCOMPARE(recorder.urls.size(), 5);
    QCOMPARE(recorder.urls[4], QUrl::fromLocalFile(HelpPagePath(QCoreApplication::applicationDirPath())));
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
};

int RunWindowControlsTests(int argc, char** argv) {
  WindowControlsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "window_controls_test.moc"
