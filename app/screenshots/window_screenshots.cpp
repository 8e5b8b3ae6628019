// Pictures of the main window in the middle of a batch, of the About box,
// the help window and the power-off countdown, drawn off screen into PNG
// files:
//   vantrel_screenshots MEDIA_FOLDER WORK_FOLDER PICTURE_FOLDER
// MEDIA_FOLDER holds the test fixtures; their copies under friendlier names
// are converted into WORK_FOLDER. Run with a throw-away HOME and
// XDG_CONFIG_HOME: the window reads and writes its settings as usual.
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <cstdio>
#include <functional>

#include "app/about_box.h"
#include "app/file_list_model.h"
#include "app/guarded_application.h"
#include "app/help_window.h"
#include "app/main_window.h"
#include "app/shutdown_countdown.h"

using namespace vantrel::app;

namespace {

// Messages would stop the run; they are printed instead.
class PrintingDialogs final : public WindowDialogs {
 public:
  void showMessage(QWidget*, const MessageBoxText& box) override {
    std::fprintf(stderr, "%s: %s\n", qPrintable(box.caption), qPrintable(box.text));
  }
  void showCompletion(QWidget*) override {}
  ChosenFiles chooseFiles(QWidget*, const QString& startFolder) override { return {files, startFolder}; }
  QString chooseFolder(QWidget*, const QString&) override { return folder; }
  bool openUrl(const QUrl& url) override {
    std::fprintf(stderr, "open %s\n", qPrintable(url.toString()));
    return true;
  }
  QStringList files;
  QString folder;
};

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  return true;
}

bool Save(QWidget& widget, const QString& path) {
  if (widget.grab().save(path, "PNG")) return true;
  std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return false;
}

template <typename Widget>
Widget* Child(QWidget& window, const char* name) {
  return window.findChild<Widget*>(QString::fromLatin1(name));
}

}  // namespace

int main(int argc, char** argv) {
  GuardedApplication application(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s MEDIA_FOLDER WORK_FOLDER PICTURE_FOLDER\n", argv[0]);
    return 2;
  }
  const QDir media(QString::fromLocal8Bit(argv[1]));
  const QDir work(QString::fromLocal8Bit(argv[2]));
  const QDir pictures(QString::fromLocal8Bit(argv[3]));
  const QString out = work.filePath(QStringLiteral("Phone movies/"));
  if (!QDir().mkpath(out)) return 1;

  PrintingDialogs dialogs;
  const char* inputs[][2] = {{"avi_mpeg4.avi", "Holiday in Rome.avi"},
                             {"fps25_10s.avi", "Birthday party.avi"},
                             {"xvid.avi", "Concert.avi"},
                             {"mp4.mp4", "Skate park.mp4"}};
  for (const auto& input : inputs) {
    const QString copy = work.filePath(QString::fromLatin1(input[1]));
    QFile::remove(copy);
    if (!QFile::copy(media.filePath(QString::fromLatin1(input[0])), copy)) {
      std::fprintf(stderr, "cannot copy %s\n", input[0]);
      return 1;
    }
    dialogs.files.append(copy);
  }
  dialogs.folder = out;

  WindowServices services;
  services.dialogs = &dialogs;
  TForm1 window(services);
  if (!window.open()) return 1;
  window.show();
  Child<QPushButton>(window, "BtnChangeOutputFolder")->click();
  Child<QPushButton>(window, "BtnAdd")->click();
  // One file at a time, big enough to be caught converting the second.
  Child<QComboBox>(window, "CboThread")->setCurrentIndex(0);
  Child<QComboBox>(window, "CboVideoSize")->setCurrentText(QStringLiteral("352x288"));
  const FileListModel& model = window.model();
  // Drawn the moment the second file is seen converting, from the model's
  // own notice: a fast conversion can pass through that state between two
  // looks of a polling wait.
  bool caught = false, saved = false;
  QObject::connect(&model, &QAbstractItemModel::dataChanged, &window, [&] {
    if (caught || model.size() < 2 || model.fileRow(1).status != RowStatus::Converting ||
        model.fileRow(1).percent < 1)
      return;
    caught = true;
    Child<QTableView>(window, "Lvw")->selectRow(1);
    saved = Save(window, pictures.filePath(QStringLiteral("main-window.png")));
  });
  // Files are added in the background, and Convert does nothing until they
  // all have been looked at.
  if (!WaitFor([&] { return !window.adding() && model.size() == int(std::size(inputs)); }, 60000)) {
    std::fprintf(stderr, "the files were not added\n");
    return 1;
  }
  Child<QPushButton>(window, "BtnStart")->click();
  if (!WaitFor([&] { return caught; }, 240000)) {
    std::fprintf(stderr, "the batch did not reach the second file\n");
    return 1;
  }
  // The batch may still run; closing the window stops it.

  TFrmAbout about(dialogs, &window);
  about.show();
  QCoreApplication::processEvents();
  saved = Save(about, pictures.filePath(QStringLiteral("about.png"))) && saved;
  about.close();

  window.help();
  QCoreApplication::processEvents();
  saved = Save(*Child<HelpWindow>(window, "FrmHelp"), pictures.filePath(QStringLiteral("help-window.png"))) && saved;

  // The count a user sees a few seconds after the batch completed.
  ShutdownCountdown countdown(57, &window);
  countdown.show();
  QCoreApplication::processEvents();
  saved = Save(countdown, pictures.filePath(QStringLiteral("shutdown-countdown.png"))) && saved;
  countdown.reject();
  window.close();
  return saved ? 0 : 1;
}
