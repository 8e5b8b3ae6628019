// The window's controls, placed at fixed positions on a fixed client area:
// the layout users know from the program's earlier versions.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "app/file_list_model.h"
#include "app/main_window.h"

// The icon is compiled into this static library; its resources are
// registered by hand, outside any namespace as Qt requires.
static void InitWindowResources() { Q_INIT_RESOURCE(vantrel_window); }

namespace vantrel::app {
namespace {

constexpr int kComboHeight = 21;

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// A label with only its position given takes the size of its text.
QLabel* MakeLabel(const char* text, QWidget* parent, int left, int top, const char* name = nullptr) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  if (name) label->setObjectName(QString::fromLatin1(name));
  label->adjustSize();
  label->move(left, top);
  return label;
}

QPushButton* MakeButton(const char* name, const char* text, QWidget* parent, QRect geometry) {
  auto* button = Named(new QPushButton(QString::fromLatin1(text), parent), name);
  button->setGeometry(geometry);
  button->setAutoDefault(false);
  return button;
}

QComboBox* MakeCombo(const char* name, QWidget* parent, int left, int top, int width) {
  auto* combo = Named(new QComboBox(parent), name);
  combo->setEditable(false);  // the user can only pick an item
  combo->setGeometry(left, top, width, kComboHeight);
  return combo;
}

QCheckBox* MakeCheck(const char* name, const char* text, QWidget* parent, int left, int top) {
  auto* check = Named(new QCheckBox(QString::fromLatin1(text), parent), name);
  check->adjustSize();
  check->move(left, top);
  return check;
}

}  // namespace

QFont WindowFont() {
  QFont font = QApplication::font();
  font.setPointSizeF(8);
  // Narrow where the family has a narrow cut (DejaVu Sans Condensed).
  font.setStretch(QFont::SemiCondensed);
  return font;
}

void TForm1::createControls() {
  InitWindowResources();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Vantrel " VANTREL_VERSION));
  setWindowIcon(QIcon(QStringLiteral(":/vantrel/vantrel.svg")));
  // Minimize and close, no maximize: the client area is fixed.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(653, 448);
  // The fixed places were laid out for a small 8-point font; the desktop's
  // usual 10 points would run labels into the lists beside them.
  setFont(WindowFont());
  setAcceptDrops(true);

  createList();
  btnAdd_ = MakeButton("BtnAdd", "Add", this, {568, 40, 80, 27});
  btnRemove_ = MakeButton("BtnRemove", "Remove", this, {568, 72, 80, 27});
  btnClear_ = MakeButton("BtnClear", "Clear", this, {568, 104, 80, 27});
  btnMoveUp_ = MakeButton("BtnMoveUp", "Move Up", this, {568, 152, 80, 27});
  btnMoveDown_ = MakeButton("BtnMoveDown", "Move Down", this, {568, 184, 80, 27});

  MakeLabel("Output Folder: ", this, 8, 234, "Label1");
  edtOutputFolder_ = Named(new QLineEdit(this), "EdtOutputFolder");
  edtOutputFolder_->setReadOnly(true);
  edtOutputFolder_->setGeometry(80, 232, 537, 19);
  btnChangeOutputFolder_ = MakeButton("BtnChangeOutputFolder", "...", this, {624, 232, 25, 19});

  createOutputGroup();
  createOtherGroup();

  lblProgress_ = Named(new QLabel(this), "LblProgress");
  lblProgress_->setGeometry(11, 424, 358, 13);
  lblProgress_->hide();
  btnStart_ = MakeButton("BtnStart", "Convert", this, {392, 414, 80, 27});
  btnAbout_ = MakeButton("BtnAbout", "About", this, {480, 414, 80, 27});
  btnHelp_ = MakeButton("BtnHelp", "Help", this, {568, 414, 80, 27});
}

void TForm1::createList() {
  lvw_ = Named(new QTableView(this), "Lvw");
  lvw_->setGeometry(8, 40, 553, 177);
  lvw_->setModel(model_.get());
  lvw_->setShowGrid(true);
  lvw_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvw_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvw_->setSelectionMode(QAbstractItemView::SingleSelection);
  lvw_->setWordWrap(false);
  // The five visible columns fill the list exactly.
  lvw_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lvw_->verticalHeader()->hide();
  lvw_->verticalHeader()->setDefaultSectionSize(lvw_->fontMetrics().height() + 4);
  QHeaderView* header = lvw_->horizontalHeader();
  header->setMinimumSectionSize(0);
  header->setHighlightSections(false);
  header->setSectionsClickable(false);
  header->setStretchLastSection(false);
  for (int column = 0; column < FileListModel::ColumnCount; ++column)
    lvw_->setColumnWidth(column, FileListModel::ColumnWidth(column));
  // Zero wide but present: the row's key stays visible to accessibility
  // tools and to anything that reads the view.
  header->setSectionResizeMode(FileListModel::PathColumn, QHeaderView::Fixed);
}

void TForm1::createOutputGroup() {
  gbOutput_ = Named(new QGroupBox(QStringLiteral("Output Settings"), this), "GBOutput");
  gbOutput_->setGeometry(8, 264, 417, 145);
  MakeLabel("Profiles: ", gbOutput_, 8, 28, "Label2");
  cboProfiles_ = MakeCombo("CboProfiles", gbOutput_, 56, 24, 353);
  MakeLabel("Video Size: ", gbOutput_, 8, 59, "Label3");
  cboVideoSize_ = MakeCombo("CboVideoSize", gbOutput_, 68, 56, 113);
  MakeLabel("Audio Channels: ", gbOutput_, 208, 60, "Label4");
  cboAudioChannels_ = MakeCombo("CboAudioChannels", gbOutput_, 296, 56, 113);
  MakeLabel("Video Bitrate: ", gbOutput_, 8, 91, "Label5");
  cboVideoBitrate_ = MakeCombo("CboVideoBitrate", gbOutput_, 76, 88, 105);
  MakeLabel("Audio Bitrate: ", gbOutput_, 224, 91, "Label6");
  cboAudioBitrate_ = MakeCombo("CboAudioBitrate", gbOutput_, 292, 88, 105);
  MakeLabel("Video Frame Rate: ", gbOutput_, 8, 123, "Label7");
  cboFrameRate_ = MakeCombo("CboFrameRate", gbOutput_, 108, 120, 69);
  MakeLabel("Audio Sample Rate: ", gbOutput_, 200, 123, "Label10");
  cboAudioSampleRate_ = MakeCombo("CboAudioSampleRate", gbOutput_, 300, 120, 93);

  for (const Profile& profile : Profiles())
    cboProfiles_->addItem(QString::fromUtf8(profile.text.data(), qsizetype(profile.text.size())));
  for (OptionList list : {OptionList::VideoSize, OptionList::VideoBitrate, OptionList::FrameRate})
    fillList(list, 0);
}

void TForm1::createOtherGroup() {
  gbOther_ = Named(new QGroupBox(QStringLiteral("Other Settings"), this), "GBOther");
  gbOther_->setGeometry(432, 264, 217, 145);
  chkOverwrite_ = MakeCheck("ChkOverwrite", "Overwrite existing files", gbOther_, 8, 24);
  chkShutdown_ = MakeCheck("ChkShutdown", "Shut down computer when completed", gbOther_, 8, 48);
  MakeLabel("Convert ", gbOther_, 8, 83, "Label8");
  cboThread_ = MakeCombo("CboThread", gbOther_, 52, 80, 53);
  for (int n = 1; n <= kParallelChoices; ++n) cboThread_->addItem(QString::number(n));
  MakeLabel("files simultaneously", gbOther_, 112, 83, "Label9");
  // Decoding at a reduced size where the decoder offers it: much faster for
  // phone-sized outputs, and the same picture once scaled down.
  chkFastDecoding_ = MakeCheck("ChkFastDecoding", "Fast decoding", gbOther_, 8, 112);
  chkFastDecoding_->setToolTip(QStringLiteral(
      "Decode at 1/2, 1/4 or 1/8 of the size when the picture still covers the output size"));
}

}  // namespace vantrel::app
