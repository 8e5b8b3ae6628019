#include "control_table.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

namespace vantrel::app::test {
namespace {

enum Kind { Button, Label, Edit, Group, Check, Combo, List };
enum Busy { StaysOn, TurnsOff, ShownOnlyBusy };

struct ControlRow {
  const char* name;
  Kind kind;
  const char* text;    // without its "&" key; nullptr: not compared here
  const char* parent;  // object name of the parent
  int left, top, width, height;  // -1: taken from the content
  Busy busy;
};

// Left, top, width and height in pixels of the parent's client area.
constexpr ControlRow kControls[] = {
    {"LblSummary", Label, nullptr, "Form1", 8, 12, 553, 17, StaysOn},
    {"Lvw", List, nullptr, "Form1", 8, 40, 553, 177, StaysOn},
    {"BtnAdd", Button, "Add", "Form1", 568, 40, 80, 27, TurnsOff},
    {"BtnRemove", Button, "Remove", "Form1", 568, 72, 80, 27, TurnsOff},
    {"BtnClear", Button, "Clear", "Form1", 568, 104, 80, 27, TurnsOff},
    {"BtnMoveUp", Button, "Move Up", "Form1", 568, 152, 80, 27, TurnsOff},
    {"BtnMoveDown", Button, "Move Down", "Form1", 568, 184, 80, 27, TurnsOff},
    {"Label1", Label, "Output Folder: ", "Form1", 8, 234, -1, -1, StaysOn},
    {"EdtOutputFolder", Edit, nullptr, "Form1", 80, 232, 537, 19, StaysOn},
    {"BtnChangeOutputFolder", Button, "...", "Form1", 624, 232, 25, 19, TurnsOff},
    {"GBOutput", Group, "Output Settings", "Form1", 8, 264, 417, 145, TurnsOff},
    {"GBOther", Group, "Other Settings", "Form1", 432, 264, 217, 145, TurnsOff},
    {"ChkOverwrite", Check, "Overwrite existing files", "GBOther", 8, 24, -1, -1, TurnsOff},
    {"ChkShutdown", Check, "Shut down computer when completed", "GBOther", 8, 48, -1, -1, TurnsOff},
    {"Label8", Label, "Convert ", "GBOther", 8, 83, -1, -1, TurnsOff},
    {"CboThread", Combo, nullptr, "GBOther", 52, 80, 53, -1, TurnsOff},
    {"Label9", Label, "files simultaneously", "GBOther", 112, 83, -1, -1, TurnsOff},
    {"LblProgress", Label, nullptr, "Form1", 11, 424, 358, 13, ShownOnlyBusy},
    {"BtnStart", Button, nullptr, "Form1", 392, 414, 80, 27, StaysOn},
    {"BtnAbout", Button, "About", "Form1", 480, 414, 80, 27, TurnsOff},
    {"BtnHelp", Button, "Help", "Form1", 568, 414, 80, 27, TurnsOff},
    {"Label2", Label, "Profiles: ", "GBOutput", 8, 28, -1, -1, TurnsOff},
    {"CboProfiles", Combo, nullptr, "GBOutput", 56, 24, 353, -1, TurnsOff},
    {"Label3", Label, "Video Size: ", "GBOutput", 8, 59, -1, -1, TurnsOff},
    {"CboVideoSize", Combo, nullptr, "GBOutput", 68, 56, 113, -1, TurnsOff},
    {"Label4", Label, "Audio Channels: ", "GBOutput", 208, 60, -1, -1, TurnsOff},
    {"CboAudioChannels", Combo, nullptr, "GBOutput", 296, 56, 113, -1, TurnsOff},
    {"Label5", Label, "Video Bitrate: ", "GBOutput", 8, 91, -1, -1, TurnsOff},
    {"CboVideoBitrate", Combo, nullptr, "GBOutput", 76, 88, 105, -1, TurnsOff},
    {"Label6", Label, "Audio Bitrate: ", "GBOutput", 224, 91, -1, -1, TurnsOff},
    {"CboAudioBitrate", Combo, nullptr, "GBOutput", 292, 88, 105, -1, TurnsOff},
    {"Label7", Label, "Video Frame Rate: ", "GBOutput", 8, 123, -1, -1, TurnsOff},
    {"CboFrameRate", Combo, nullptr, "GBOutput", 108, 120, 69, -1, TurnsOff},
    {"Label10", Label, "Audio Sample Rate: ", "GBOutput", 200, 123, -1, -1, TurnsOff},
    {"CboAudioSampleRate", Combo, nullptr, "GBOutput", 300, 120, 93, -1, TurnsOff},
};

const char* KindClass(Kind kind) {
  switch (kind) {
    case Button:
      return "QPushButton";
    case Label:
      return "QLabel";
    case Edit:
      return "QLineEdit";
    case Group:
      return "QGroupBox";
    case Check:
      return "QCheckBox";
    case Combo:
      return "QComboBox";
    case List:
      break;
  }
  return "QTableView";
}

// The text as the user reads it: the "&" that marks the key is not shown.
QString TextOf(QWidget* widget) {
  QString text;
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) text = button->text();
  if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
  if (auto* group = qobject_cast<QGroupBox*>(widget)) text = group->title();
  return text.remove(QLatin1Char('&'));
}

void CheckRow(QWidget& window, const ControlRow& row, bool busy) {
  const QString name = QString::fromLatin1(row.name);
  auto* widget = window.findChild<QWidget*>(name);
  QVERIFY2(widget, row.name);
  QVERIFY2(widget->inherits(KindClass(row.kind)), row.name);
  QCOMPARE(widget->parentWidget()->objectName(), QString::fromLatin1(row.parent));
  if (row.text) QCOMPARE(TextOf(widget), QString::fromLatin1(row.text));
  const QRect at = widget->geometry();
  QVERIFY2(at.topLeft() == QPoint(row.left, row.top), row.name);
  if (row.width >= 0) QVERIFY2(at.width() == row.width, row.name);
  if (row.height >= 0) QVERIFY2(at.height() == row.height, row.name);
  // A label that takes its size from its text must show all of it.
  if (row.width < 0 && row.text) QVERIFY2(at.width() >= widget->sizeHint().width(), row.name);
  const bool enabled = row.busy != TurnsOff || !busy;
  QVERIFY2(widget->isEnabled() == enabled, row.name);
  const bool visible = row.busy != ShownOnlyBusy || busy;
  QVERIFY2(widget->isVisibleTo(&window) == visible, row.name);
}

}  // namespace

void CheckControlTable(QWidget& window, bool busy) {
  QCOMPARE(window.objectName(), QStringLiteral("Form1"));
  for (const ControlRow& row : kControls) {
    CheckRow(window, row, busy);
    if (QTest::currentTestFailed()) return;
  }
  const QString start = TextOf(window.findChild<QWidget*>(QStringLiteral("BtnStart")));
  QCOMPARE(start, busy ? QStringLiteral("Stop") : QStringLiteral("Convert"));
}

}  // namespace vantrel::app::test
