// The main window: a view on the file list model, the option lists and the
// batch controller. It decides nothing the logic layer decides; it turns
// the controls' state into the logic layer's settings and shows what comes
// back (rows, progress line, messages).
#pragma once

#include <QFont>
#include <QWidget>
#include <memory>
#include <string>

#include "app/batch_controller.h"
#include "app/desktop_notifier.h"
#include "app/file_adder.h"
#include "app/message_reporter.h"
#include "app/settings.h"
#include "app/shutdown_countdown.h"
#include "app/window_anchors.h"
#include "app/window_messages.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace vantrel {
class TBrontConverter;
}

namespace vantrel::app {

class FileListModel;
class HelpWindow;
class QtMainLoop;

struct WindowServices {
  WindowDialogs* dialogs = nullptr;       // must outlive the window
  ShutdownRequester* powerOff = nullptr;  // asked when the countdown runs out; may be null
  int shutdownCountdownSeconds = kShutdownCountdownSeconds;
  // Told when a batch completes while the user is in another program; may be null.
  DesktopNotifier* notifier = nullptr;
  // Where the codec libraries are loaded from; empty for the usual search.
  std::string libraryFolder;
};

class TForm1 final : public QWidget, private MessageReporter {
  Q_OBJECT

 public:
  explicit TForm1(const WindowServices& services, QWidget* parent = nullptr);
  ~TForm1() override;

  // Loads the codec libraries and restores the settings. False after the
  // user was told that the libraries do not load: the program then ends
  // without touching the settings file.
  bool open();
  bool busy() const;

  // The application's handler of errors no handler caught.
  void showUncaughtError(const QString& message, bool engineError);

  // ---- the buttons' actions ----
  void addFiles(const QStringList& paths);
  void add();
  void remove();
  void clear();
  void moveUp();
  void moveDown();
  void changeOutputFolder();
  void startOrStop();
  void about();
  void help();

  FileListModel& model() { return *model_; }
  // Files given to Add are still being looked at.
  bool adding() const { return adder_ && adder_->adding(); }
  BatchController& batch() { return *batch_; }
  // The choices of the controls, as the settings file keeps them.
  Settings currentSettings() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Report(MessageKind kind, const QString& text) override;

  void createControls();
  void createOutputGroup();
  void createOtherGroup();
  void createList();
  void anchorControls();
  void createShortcuts();
  void setTabOrderOfControls();
  // Sizes the profile cannot encode stay in the list, greyed out.
  void markEncodableSizes(int profile);
  void connectControls();
  void connectSummary();
  void applySettings(const Settings& settings);
  QComboBox* combo(OptionList list) const;
  void fillList(OptionList list, int profile);
  void fillAudioLists(int profile);
  void fillVideoLists(int profile);
  void profileSelected(int profile);
  void warnOfCertainFailure();
  // The rows' plans made again for the choices on screen.
  void replanRows();
  AddFileSettings addSettings() const;
  void showAddProgress(int done, int total);
  void addingEnded(const std::vector<RefusedFile>& refused);
  void setBusy(bool busy);
  void batchCompleted(bool poweringOff);
  // This window or one of its boxes is the one the user works in.
  bool holdsActiveWindow() const;
  void centreOnScreen();
  int selectedRow() const;
  void selectRow(int row);
  void saveAndUnload();

  WindowServices services_;
  std::unique_ptr<QtMainLoop> loop_;
  std::unique_ptr<TBrontConverter> converter_;
  std::unique_ptr<FileListModel> model_;
  std::unique_ptr<CountdownShutdown> countdown_;
  std::unique_ptr<BatchController> batch_;
  std::unique_ptr<FileAdder> adder_;
  bool opened_ = false;
  bool closed_ = false;
  bool centred_ = false;
  // The user was in another program when the batch ended.
  bool awayAtBatchEnd_ = false;
  // Where the open dialog of Add was left.
  QString lastAddFolder_;
  ControlAnchors anchors_;

  QLabel* lblSummary_ = nullptr;
  QTableView* lvw_ = nullptr;
  QPushButton* btnAdd_ = nullptr;
  QPushButton* btnRemove_ = nullptr;
  QPushButton* btnClear_ = nullptr;
  QPushButton* btnMoveUp_ = nullptr;
  QPushButton* btnMoveDown_ = nullptr;
  QLineEdit* edtOutputFolder_ = nullptr;
  QPushButton* btnChangeOutputFolder_ = nullptr;
  QGroupBox* gbOutput_ = nullptr;
  QGroupBox* gbOther_ = nullptr;
  QComboBox* cboProfiles_ = nullptr;
  QComboBox* cboVideoSize_ = nullptr;
  QComboBox* cboAudioChannels_ = nullptr;
  QComboBox* cboVideoBitrate_ = nullptr;
  QComboBox* cboAudioBitrate_ = nullptr;
  QComboBox* cboFrameRate_ = nullptr;
  QComboBox* cboAudioSampleRate_ = nullptr;
  QCheckBox* chkOverwrite_ = nullptr;
  QCheckBox* chkShutdown_ = nullptr;
  QCheckBox* chkFastDecoding_ = nullptr;
  QComboBox* cboThread_ = nullptr;
  QLabel* lblProgress_ = nullptr;
  QPushButton* btnStart_ = nullptr;
  QPushButton* btnAbout_ = nullptr;
  QPushButton* btnHelp_ = nullptr;
  HelpWindow* helpWindow_ = nullptr;  // made by the first Help, then reused
};

// The font of the window and its boxes.
QFont WindowFont();

// The help page shipped with the program in programFolder: beside it in a
// build tree, under share/vantrel once installed.
QString HelpPagePath(const QString& programFolder);

}  // namespace vantrel::app
