// The window's controls, placed at their positions of the minimum client
// area, the layout users know from the program's earlier versions; a larger
// window gives the room to the list and the output folder. The keys of the
// buttons and the order of the Tab key are set here too.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QAbstractItemView>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>
#include <algorithm>
#include <iterator>

#include "app/file_list_model.h"
#include "app/main_window.h"

// The icon is compiled into this static library; its resources are
// registered by hand, outside any namespace as Qt requires.
static void InitWindowResources() { Q_INIT_RESOURCE(vantrel_window); }

namespace vantrel::app {
namespace {

constexpr int kComboHeight = 21;
constexpr QSize kMinimumClientSize(653, 448);
// "42% Completed" in the window's font.
constexpr int kNarrowestStatus = 80;

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// A label with only its position given takes the size of its text. Its
// "&" key puts the focus on buddy.
QLabel* MakeLabel(const char* text, QWidget* parent, int left, int top, const char* name = nullptr,
                  QWidget* buddy = nullptr) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  if (name) label->setObjectName(QString::fromLatin1(name));
  label->setBuddy(buddy);
  label->adjustSize();
  label->move(left, top);
  return label;
}

// Alt+Up and Alt+Down belong to a combo box that has the focus (the second
// opens its list): the window's keys for moving rows must not take them.
class ComboKeys final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride) {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->modifiers() == Qt::AltModifier && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
        event->accept();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

// Status takes what the other columns leave of the list's width, more in a
// larger window; when they leave too little it keeps the width of a status
// text and the list scrolls sideways, so no column is ever out of reach.
class StatusColumnFit final : public QObject {
 public:
  explicit StatusColumnFit(QTableView* view) : QObject(view), view_(view) {
    view->viewport()->installEventFilter(this);
    connect(view->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column) {
      if (column != FileListModel::StatusColumn) fit();
    });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize) fit();
    return QObject::eventFilter(watched, event);
  }

 private:
  void fit() {
    int others = 0;
    for (int column = 0; column < FileListModel::ColumnCount; ++column)
      if (column != FileListModel::StatusColumn) others += view_->columnWidth(column);
    view_->setColumnWidth(FileListModel::StatusColumn,
                          std::max(kNarrowestStatus, view_->viewport()->width() - others));
  }

  QTableView* view_;
};

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
  setWindowFlags(Qt::Window);
  // The places below are those of the smallest window; resizeEvent moves
  // them for a larger one.
  setMinimumSize(kMinimumClientSize);
  resize(kMinimumClientSize);
  // The fixed places were laid out for a small 8-point font; the desktop's
  // usual 10 points would run labels into the lists beside them.
  setFont(WindowFont());
  setAcceptDrops(true);

  // The one-line summary of the list; its text is the list's to give.
  lblSummary_ = Named(new QLabel(this), "LblSummary");
  lblSummary_->setGeometry(8, 12, 553, 17);
  createList();
  btnAdd_ = MakeButton("BtnAdd", "&Add", this, {568, 40, 80, 27});
  btnRemove_ = MakeButton("BtnRemove", "&Remove", this, {568, 72, 80, 27});
  btnClear_ = MakeButton("BtnClear", "C&lear", this, {568, 104, 80, 27});
  btnMoveUp_ = MakeButton("BtnMoveUp", "Move &Up", this, {568, 152, 80, 27});
  btnMoveDown_ = MakeButton("BtnMoveDown", "Move &Down", this, {568, 184, 80, 27});

  edtOutputFolder_ = Named(new QLineEdit(this), "EdtOutputFolder");
  edtOutputFolder_->setReadOnly(true);
  edtOutputFolder_->setGeometry(80, 232, 537, 19);
  MakeLabel("Output &Folder: ", this, 8, 234, "Label1", edtOutputFolder_);
  btnChangeOutputFolder_ = MakeButton("BtnChangeOutputFolder", "...", this, {624, 232, 25, 19});

  createOutputGroup();
  createOtherGroup();

  lblProgress_ = Named(new QLabel(this), "LblProgress");
  lblProgress_->setGeometry(11, 424, 358, 13);
  lblProgress_->hide();
  btnStart_ = MakeButton("BtnStart", "Con&vert", this, {392, 414, 80, 27});
  btnAbout_ = MakeButton("BtnAbout", "A&bout", this, {480, 414, 80, 27});
  btnHelp_ = MakeButton("BtnHelp", "&Help", this, {568, 414, 80, 27});

  anchorControls();
  createShortcuts();
  setTabOrderOfControls();
}

// The list and the output folder take the room a larger window gives; the
// buttons beside them stay at the right edge, everything below them at the
// bottom, the group of other settings and the buttons under it to the right.
void TForm1::anchorControls() {
  using A = ControlAnchors;
  anchors_.add(lblSummary_, A::Wider);
  anchors_.add(lvw_, A::Wider | A::Taller);
  for (QWidget* button : {btnAdd_, btnRemove_, btnClear_, btnMoveUp_, btnMoveDown_}) anchors_.add(button, A::Right);
  anchors_.add(findChild<QLabel*>(QStringLiteral("Label1")), A::Bottom);
  anchors_.add(edtOutputFolder_, A::Bottom | A::Wider);
  anchors_.add(btnChangeOutputFolder_, A::Bottom | A::Right);
  anchors_.add(gbOutput_, A::Bottom);
  anchors_.add(gbOther_, A::Bottom | A::Right);
  anchors_.add(lblProgress_, A::Bottom);
  for (QWidget* button : {btnStart_, btnAbout_, btnHelp_}) anchors_.add(button, A::Bottom | A::Right);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  anchors_.apply(size() - kMinimumClientSize);
}

// Each key does what its button does, and only while the button can be
// pressed: during a batch only Stop (Ctrl+Return) and closing (Ctrl+Q) act.
void TForm1::createShortcuts() {
  const auto press = [this](QKeySequence keys, QPushButton* button) {
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, button, [button] {
      if (button->isEnabled()) button->click();
    });
  };
  press(QKeySequence(Qt::Key_Insert), btnAdd_);
  press(QKeySequence(Qt::CTRL | Qt::Key_O), btnAdd_);
  press(QKeySequence(Qt::Key_Delete), btnRemove_);
  press(QKeySequence(Qt::ALT | Qt::Key_Up), btnMoveUp_);
  press(QKeySequence(Qt::ALT | Qt::Key_Down), btnMoveDown_);
  press(QKeySequence(Qt::CTRL | Qt::Key_Return), btnStart_);
  press(QKeySequence(QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Enter)), btnStart_);
  press(QKeySequence(Qt::Key_F1), btnHelp_);
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this), &QShortcut::activated, this, &QWidget::close);
  auto* comboKeys = new ComboKeys(this);
  for (QComboBox* box : findChildren<QComboBox*>()) box->installEventFilter(comboKeys);
}

// The list first: it is what the window is for. Tab leaves it rather than
// walking its cells.
void TForm1::setTabOrderOfControls() {
  lvw_->setTabKeyNavigation(false);
  QWidget* const order[] = {lvw_,           btnAdd_,          btnRemove_,         btnClear_,        btnMoveUp_,
                            btnMoveDown_,   edtOutputFolder_, btnChangeOutputFolder_, cboProfiles_, cboVideoSize_,
                            cboAudioChannels_, cboVideoBitrate_, cboAudioBitrate_, cboFrameRate_, cboAudioSampleRate_,
                            chkOverwrite_,  chkShutdown_,     cboThread_,         chkFastDecoding_, btnStart_,
                            btnAbout_,      btnHelp_};
  for (size_t i = 0; i + 1 < std::size(order); ++i)
    setTabOrder(order[i], order[i + 1]);
  lvw_->setFocus();
}

void TForm1::markEncodableSizes(int profile) {
  auto* items = qobject_cast<QStandardItemModel*>(cboVideoSize_->model());
  for (int i = 0; items && i < cboVideoSize_->count(); ++i) {
    const std::string note = UnencodableSizeNote(profile, cboVideoSize_->itemText(i).toStdString());
    // Greyed out rather than left out: the settings file stores the index.
    items->item(i)->setEnabled(note.empty());
    cboVideoSize_->setItemData(i, note.empty() ? QVariant() : QVariant(QString::fromStdString(note)),
                               Qt::ToolTipRole);
  }
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
  // The five visible columns fill the list at its smallest; a column made
  // wider must not push the others out of reach.
  lvw_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
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
  new StatusColumnFit(lvw_);
}

void TForm1::createOutputGroup() {
  gbOutput_ = Named(new QGroupBox(QStringLiteral("Output Settings"), this), "GBOutput");
  gbOutput_->setGeometry(8, 264, 417, 145);
  cboProfiles_ = MakeCombo("CboProfiles", gbOutput_, 56, 24, 353);
  MakeLabel("&Profiles: ", gbOutput_, 8, 28, "Label2", cboProfiles_);
  cboVideoSize_ = MakeCombo("CboVideoSize", gbOutput_, 68, 56, 113);
  MakeLabel("Video Si&ze: ", gbOutput_, 8, 59, "Label3", cboVideoSize_);
  cboAudioChannels_ = MakeCombo("CboAudioChannels", gbOutput_, 296, 56, 113);
  MakeLabel("Audio &Channels: ", gbOutput_, 208, 60, "Label4", cboAudioChannels_);
  cboVideoBitrate_ = MakeCombo("CboVideoBitrate", gbOutput_, 76, 88, 105);
  MakeLabel("Video Bi&trate: ", gbOutput_, 8, 91, "Label5", cboVideoBitrate_);
  cboAudioBitrate_ = MakeCombo("CboAudioBitrate", gbOutput_, 292, 88, 105);
  MakeLabel("Audio B&itrate: ", gbOutput_, 224, 91, "Label6", cboAudioBitrate_);
  cboFrameRate_ = MakeCombo("CboFrameRate", gbOutput_, 108, 120, 69);
  MakeLabel("Video Fra&me Rate: ", gbOutput_, 8, 123, "Label7", cboFrameRate_);
  cboAudioSampleRate_ = MakeCombo("CboAudioSampleRate", gbOutput_, 300, 120, 93);
  MakeLabel("Audio Sampl&e Rate: ", gbOutput_, 200, 123, "Label10", cboAudioSampleRate_);

  for (const Profile& profile : Profiles())
    cboProfiles_->addItem(QString::fromUtf8(profile.text.data(), qsizetype(profile.text.size())));
  // The later profiles' names are longer than the box: the opened list
  // shows them whole.
  int widest = 0;
  for (int i = 0; i < cboProfiles_->count(); ++i)
    widest = std::max(widest, cboProfiles_->fontMetrics().horizontalAdvance(cboProfiles_->itemText(i)));
  cboProfiles_->view()->setMinimumWidth(widest + 2 * cboProfiles_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) +
                                        cboProfiles_->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
  for (OptionList list : {OptionList::VideoSize, OptionList::VideoBitrate, OptionList::FrameRate})
    fillList(list, 0);
}

void TForm1::createOtherGroup() {
  gbOther_ = Named(new QGroupBox(QStringLiteral("Other Settings"), this), "GBOther");
  gbOther_->setGeometry(432, 264, 217, 145);
  chkOverwrite_ = MakeCheck("ChkOverwrite", "Over&write existing files", gbOther_, 8, 24);
  chkShutdown_ = MakeCheck("ChkShutdown", "Shut dow&n computer when completed", gbOther_, 8, 48);
  cboThread_ = MakeCombo("CboThread", gbOther_, 52, 80, 53);
  MakeLabel("C&onvert ", gbOther_, 8, 83, "Label8", cboThread_);
  for (int n = 1; n <= kParallelChoices; ++n) cboThread_->addItem(QString::number(n));
  MakeLabel("files simultaneously", gbOther_, 112, 83, "Label9");
  // Decoding at a reduced size where the decoder offers it: much faster for
  // phone-sized outputs, and the same picture once scaled down.
  chkFastDecoding_ = MakeCheck("ChkFastDecoding", "Fast decodin&g", gbOther_, 8, 112);
  chkFastDecoding_->setToolTip(QStringLiteral(
      "Reads large videos at half, a quarter or an eighth of their size when that is still larger than the "
      "output: much faster, and the same picture once made smaller"));
}

}  // namespace vantrel::app
