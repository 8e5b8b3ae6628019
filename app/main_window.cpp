#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QUrl>

#include "app/about_box.h"
#include "app/add_file_task.h"
#include "app/completion_dialog.h"
#include "app/file_list_model.h"
#include "app/guarded_application.h"
#include "app/help_window.h"
#include "app/open_dialog.h"
#include "app/qt_main_loop.h"
#include "converter/bront_converter.h"

namespace vantrel::app {
namespace {

QString WithTrailingSlash(QString folder) {
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

}  // namespace

TForm1::TForm1(const WindowServices& services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      loop_(std::make_unique<QtMainLoop>(this)),
      converter_(std::make_unique<TBrontConverter>(loop_.get())),
      model_(std::make_unique<FileListModel>()),
      countdown_(services.powerOff ? std::make_unique<CountdownShutdown>(this, *services.powerOff,
                                                                         services.shutdownCountdownSeconds)
                                   : nullptr),
      batch_(std::make_unique<BatchController>(*converter_, *model_, static_cast<MessageReporter&>(*this),
                                             countdown_.get())),
      adder_(std::make_unique<FileAdder>(*model_)) {
  createControls();
  connectControls();
}

TForm1::~TForm1() {
  if (auto* application = dynamic_cast<GuardedApplication*>(QCoreApplication::instance()))
    application->setErrorHandler(nullptr);
  // Tasks still running must not report to a window being torn down, nor
  // files being looked at.
  adder_.reset();
  batch_.reset();
}

void TForm1::connectControls() {
  connect(btnAdd_, &QPushButton::clicked, this, &TForm1::add);
  connect(btnRemove_, &QPushButton::clicked, this, &TForm1::remove);
  connect(btnClear_, &QPushButton::clicked, this, &TForm1::clear);
  connect(btnMoveUp_, &QPushButton::clicked, this, &TForm1::moveUp);
  connect(btnMoveDown_, &QPushButton::clicked, this, &TForm1::moveDown);
  connect(btnChangeOutputFolder_, &QPushButton::clicked, this, &TForm1::changeOutputFolder);
  connect(btnStart_, &QPushButton::clicked, this, &TForm1::startOrStop);
  connect(btnAbout_, &QPushButton::clicked, this, &TForm1::about);
  connect(btnHelp_, &QPushButton::clicked, this, &TForm1::help);
  // Activated, not changed: picking the profile already shown resets the
  // audio lists too.
  connect(cboProfiles_, &QComboBox::activated, this, &TForm1::profileSelected);
  connect(cboVideoSize_, &QComboBox::activated, this, &TForm1::warnOfCertainFailure);
  // Every choice a row's plan depends on makes the plans again at once.
  for (OptionList list : kOptionLists) connect(combo(list), &QComboBox::activated, this, &TForm1::replanRows);
  connect(cboProfiles_, &QComboBox::activated, this, &TForm1::replanRows);
  connect(chkFastDecoding_, &QCheckBox::toggled, this, &TForm1::replanRows);
  connect(adder_.get(), &FileAdder::progress, this, &TForm1::showAddProgress);
  connect(adder_.get(), &FileAdder::finished, this, &TForm1::addingEnded);

  connect(batch_.get(), &BatchController::runningChanged, this, &TForm1::setBusy);
  connect(batch_.get(), &BatchController::progressLineChanged, lblProgress_, &QLabel::setText);
  connect(batch_.get(), &BatchController::completed, this, &TForm1::batchCompleted);
  connectSummary();
}

// The summary follows every change of the rows: added, removed, cleared,
// moved, planned again.
void TForm1::connectSummary() {
  const auto update = [this] { lblSummary_->setText(model_->summary()); };
  connect(model_.get(), &QAbstractItemModel::rowsInserted, this, update);
  connect(model_.get(), &QAbstractItemModel::rowsRemoved, this, update);
  connect(model_.get(), &QAbstractItemModel::modelReset, this, update);
  connect(model_.get(), &QAbstractItemModel::dataChanged, this, update);
  update();
}

// The frame's size is known once the window is shown.
void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (centred_) return;
  centred_ = true;
  centreOnScreen();
}

void TForm1::centreOnScreen() {
  const QScreen* screen = this->screen();
  if (!screen) return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

bool TForm1::open() {
  // First of all, so that whatever goes wrong from here on is shown.
  if (auto* application = dynamic_cast<GuardedApplication*>(QCoreApplication::instance()))
    application->setErrorHandler(
        [this](const QString& message, bool engineError) { showUncaughtError(message, engineError); });
  if (!converter_->LoadAVLib(services_.libraryFolder, true)) {
    services_.dialogs->showMessage(
        this, {QStringLiteral("Error"),
               QString::fromStdString(converter_->LastErrMsg()) +
                   QStringLiteral(" Please re-install the program and try it again."),
               QMessageBox::Information});
    closed_ = true;  // nothing to save or unload
    return false;
  }
  opened_ = true;
  // The output folder is made when a batch starts, not here: opening the
  // window leaves no trace on the disk.
  applySettings(LoadStartUpSettings());
  return true;
}

bool TForm1::busy() const { return batch_ && batch_->running(); }

void TForm1::Report(MessageKind kind, const QString& text) {
  services_.dialogs->showMessage(this, MessageBoxFor(kind, text));
}

void TForm1::showUncaughtError(const QString& message, bool engineError) {
  services_.dialogs->showMessage(this, UncaughtErrorBox(message, engineError));
}

// ---- option lists ----

QComboBox* TForm1::combo(OptionList list) const {
  switch (list) {
    case OptionList::VideoSize:
      return cboVideoSize_;
    case OptionList::VideoBitrate:
      return cboVideoBitrate_;
    case OptionList::FrameRate:
      return cboFrameRate_;
    case OptionList::AudioChannels:
      return cboAudioChannels_;
    case OptionList::AudioBitrate:
      return cboAudioBitrate_;
    case OptionList::AudioSampleRate:
      break;
  }
  return cboAudioSampleRate_;
}

void TForm1::fillList(OptionList list, int profile) {
  QComboBox* box = combo(list);
  box->clear();
  for (std::string_view item : Items(list, profile))
    box->addItem(QString::fromUtf8(item.data(), qsizetype(item.size())));
}

void TForm1::fillAudioLists(int profile) {
  for (OptionList list : {OptionList::AudioChannels, OptionList::AudioBitrate, OptionList::AudioSampleRate}) {
    fillList(list, profile);
    combo(list)->setCurrentIndex(SelectedAfterProfileChange(list, profile));
  }
}

// The first five profiles share their video lists and keep the choice made
// in them; a profile with other lists gets its own, at their defaults.
void TForm1::fillVideoLists(int profile) {
  for (OptionList list : {OptionList::VideoSize, OptionList::VideoBitrate}) {
    const auto items = Items(list, profile);
    QComboBox* box = combo(list);
    bool same = size_t(box->count()) == items.size();
    for (int i = 0; same && i < box->count(); ++i) same = box->itemText(i).toStdString() == items[size_t(i)];
    if (same) continue;
    fillList(list, profile);
    box->setCurrentIndex(SelectedAfterProfileChange(list, profile));
  }
  const bool quality = QualityOf(ItemText(OptionList::VideoBitrate, profile, 0)).has_value();
  if (auto* label = findChild<QLabel*>(QStringLiteral("Label5"))) {
    label->setText(quality ? QStringLiteral("Video Quali&ty: ") : QStringLiteral("Video Bi&trate: "));
    label->adjustSize();
  }
}

void TForm1::profileSelected(int profile) {
  fillVideoLists(profile);
  fillAudioLists(profile);
  markEncodableSizes(profile);
  warnOfCertainFailure();
}

// Said when the choice is made, not only when Start refuses it: the rows
// already in the list would all fail.
void TForm1::warnOfCertainFailure() {
  if (model_->size() == 0) return;
  const std::string reason = PreflightReason(cboProfiles_->currentIndex(), cboVideoSize_->currentText().toStdString());
  if (!reason.empty()) Report(MessageKind::Refusal, QString::fromStdString(reason));
}

void TForm1::applySettings(const Settings& settings) {
  edtOutputFolder_->setText(WithTrailingSlash(settings.outputFolder));
  cboProfiles_->setCurrentIndex(settings.output.profile);
  fillVideoLists(settings.output.profile);
  fillAudioLists(settings.output.profile);
  for (OptionList list : kOptionLists) combo(list)->setCurrentIndex(settings.output.index(list));
  markEncodableSizes(settings.output.profile);
  lastAddFolder_ = settings.lastAddFolder;
  cboThread_->setCurrentIndex(settings.thread);
  chkOverwrite_->setChecked(settings.overwrite);
  chkShutdown_->setChecked(settings.shutdownAfterCompleted);
  chkFastDecoding_->setChecked(settings.fastDecoding);
}

Settings TForm1::currentSettings() const {
  Settings settings;
  settings.outputFolder = WithTrailingSlash(edtOutputFolder_->text());
  settings.output.profile = cboProfiles_->currentIndex();
  for (OptionList list : kOptionLists) settings.output.index(list) = combo(list)->currentIndex();
  settings.thread = cboThread_->currentIndex();
  settings.overwrite = chkOverwrite_->isChecked();
  settings.shutdownAfterCompleted = chkShutdown_->isChecked();
  settings.fastDecoding = chkFastDecoding_->isChecked();
  settings.lastAddFolder = lastAddFolder_;
  return settings;
}

// ---- list actions ----

AddFileSettings TForm1::addSettings() const {
  const Settings settings = currentSettings();
  AddFileSettings files{settings.output, settings.outputFolder, settings.overwrite};
  files.fastDecoding = settings.fastDecoding;
  return files;
}

// Returns at once: the rows appear as their files have been looked at.
void TForm1::addFiles(const QStringList& paths) {
  if (paths.isEmpty() || busy()) return;
  const AddFileSettings files = addSettings();
  if (const QString refusal = AddRefusal(files); !refusal.isEmpty()) {
    Report(MessageKind::Refusal, refusal);
    return;
  }
  adder_->add(paths, files);
}

void TForm1::showAddProgress(int done, int total) {
  btnStart_->setEnabled(false);
  lblProgress_->setText(QStringLiteral("Adding files: %1 of %2").arg(done).arg(total));
  lblProgress_->setVisible(true);
}

// One message for many refusals: a box per file would bury the window.
void TForm1::addingEnded(const std::vector<RefusedFile>& refused) {
  if (!adder_->adding()) {
    btnStart_->setEnabled(true);
    if (!busy()) lblProgress_->setVisible(false);
    // Choices changed while the files were looked at count for every row.
    replanRows();
  }
  constexpr size_t kSeparateMessages = 3, kListed = 20;
  if (refused.size() <= kSeparateMessages) {
    for (const RefusedFile& file : refused) Report(MessageKind::Refusal, file.message);
    return;
  }
  QString text = QStringLiteral("%1 files were not added:\n").arg(refused.size());
  for (size_t i = 0; i < refused.size() && i < kListed; ++i) text += QLatin1Char('\n') + refused[i].message;
  if (refused.size() > kListed) text += QStringLiteral("\n... and %1 more.").arg(refused.size() - kListed);
  Report(MessageKind::Refusal, text);
}

void TForm1::replanRows() {
  if (!busy()) model_->replan(addSettings());
}

// The dialog opens where it was left last time, also in a later run.
void TForm1::add() {
  const ChosenFiles chosen = services_.dialogs->chooseFiles(this, lastAddFolder_);
  if (!chosen.folder.isEmpty()) lastAddFolder_ = chosen.folder;
  addFiles(chosen.files);
}

int TForm1::selectedRow() const {
  const QModelIndexList rows = lvw_->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void TForm1::selectRow(int row) {
  if (row < 0) return;
  lvw_->selectionModel()->setCurrentIndex(model_->index(row, 0),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  lvw_->scrollTo(model_->index(row, 0));
}

void TForm1::remove() {
  QList<int> rows;
  for (const QModelIndex& index : lvw_->selectionModel()->selectedRows()) rows.append(index.row());
  model_->removeSelected(rows);
}

// Clear also drops the files still being looked at: none may turn up in
// the list the user just emptied.
void TForm1::clear() {
  if (adder_->adding()) {
    adder_->cancel();
    addingEnded({});
  }
  model_->clear();
}

void TForm1::moveUp() { selectRow(model_->moveUp(selectedRow())); }

void TForm1::moveDown() { selectRow(model_->moveDown(selectedRow())); }

void TForm1::changeOutputFolder() {
  const QString folder = services_.dialogs->chooseFolder(this, edtOutputFolder_->text());
  if (folder.isEmpty()) return;
  edtOutputFolder_->setText(WithTrailingSlash(folder));
  replanRows();  // the rows' tooltips name their output files
}

// ---- batch ----

void TForm1::startOrStop() {
  if (!batch_) return;  // closed
  const Settings settings = currentSettings();
  BatchSettings batch;
  batch.files = {settings.output, settings.outputFolder, settings.overwrite};
  batch.files.fastDecoding = settings.fastDecoding;
  batch.parallelTasks = settings.parallelTasks();
  batch.shutdownAfterCompleted = settings.shutdownAfterCompleted;
  batch_->startOrStop(batch);
}

void TForm1::setBusy(bool busy) {
  // Asked before a countdown or a message of the batch's end takes the focus.
  if (!busy) awayAtBatchEnd_ = !holdsActiveWindow();
  for (QWidget* control : std::initializer_list<QWidget*>{btnAdd_, btnRemove_, btnClear_, btnMoveUp_, btnMoveDown_,
                                                           btnChangeOutputFolder_, btnAbout_, btnHelp_, gbOutput_,
                                                           gbOther_})
    control->setEnabled(!busy);
  lblProgress_->setText(QString());
  lblProgress_->setVisible(busy);
  btnStart_->setText(busy ? QStringLiteral("&Stop") : QStringLiteral("Con&vert"));
}

bool TForm1::holdsActiveWindow() const {
  for (const QWidget* active = QApplication::activeWindow(); active; active = active->parentWidget())
    if (active == this) return true;
  return false;
}

void TForm1::batchCompleted(bool poweringOff) {
  if (awayAtBatchEnd_ && services_.notifier) {
    QString body = QString::fromLatin1(kCompletionText);
    if (poweringOff)
      body += QStringLiteral(" The computer shuts down in %1 seconds unless you cancel it in Vantrel.")
                  .arg(services_.shutdownCountdownSeconds);
    services_.notifier->notify(QString::fromLatin1(kApplicationTitle), body);
  }
  // The countdown says it already, and nothing may cover it.
  if (!poweringOff) services_.dialogs->showCompletion(this);
}

// ---- about and help ----

void TForm1::about() {
  TFrmAbout box(*services_.dialogs, this);
  box.exec();
}

QString HelpPagePath(const QString& programFolder) {
  const QString beside = programFolder + QStringLiteral("/help/index.html");
  if (QFileInfo::exists(beside)) return beside;
  return QDir::cleanPath(programFolder + QStringLiteral("/../share/vantrel/help/index.html"));
}

// One help window, kept where the user left it: Help again only brings it
// to the front.
void TForm1::help() {
  if (!helpWindow_) {
    helpWindow_ = new HelpWindow(*services_.dialogs, this);
    helpWindow_->showPage(HelpPagePath(QCoreApplication::applicationDirPath()));
  }
  helpWindow_->show();
  helpWindow_->raise();
  helpWindow_->activateWindow();
}

// ---- drops ----

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (!busy() && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.append(url.toLocalFile());
  if (paths.isEmpty() || busy()) return;
  event->acceptProposedAction();
  addFiles(ExpandDroppedPaths(paths));
}

// ---- close ----

void TForm1::closeEvent(QCloseEvent* event) {
  saveAndUnload();
  event->accept();
}

// No question is asked: a running batch is stopped. The controller goes
// first, detaching the converter's events, so nothing reaches the window
// once it closes.
void TForm1::saveAndUnload() {
  if (closed_) return;
  closed_ = true;
  // The files being looked at use the libraries that go below.
  adder_.reset();
  batch_.reset();
  converter_->StopConvert();
  converter_->UnloadAVLib();
  if (!opened_) return;
  QString error;
  if (!WriteSettings(currentSettings(), SettingsFilePath(), &error))
    services_.dialogs->showMessage(
        this, {QStringLiteral("Error"), QStringLiteral("Cannot save the settings: ") + error, QMessageBox::Warning});
}

}  // namespace vantrel::app
