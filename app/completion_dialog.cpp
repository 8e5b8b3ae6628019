#include "app/completion_dialog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace vantrel::app {

QString BoxClipboardText(const QString& caption, const QString& text, const QStringList& buttons) {
  const QString dashes(27, QLatin1Char('-'));
  const QStringList lines = {dashes, caption, dashes, text, dashes, buttons.join(QStringLiteral("   ")), dashes};
  return lines.join(QStringLiteral("\r\n"));
}

CompletionDialog::CompletionDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmMsg"));
  setWindowTitle(QStringLiteral("Information"));
  setModal(true);
  auto* label = new QLabel(QString::fromLatin1(kCompletionText), this);
  label->setObjectName(QStringLiteral("LblMessage"));
  label->setWordWrap(true);
  label->setFixedWidth(225);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("BtnOk"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  // A selection in the label takes Ctrl+C for itself; otherwise the whole
  // box is copied.
  auto* copy = new QShortcut(QKeySequence::Copy, this);
  connect(copy, &QShortcut::activated, this, &CompletionDialog::copyToClipboard);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CompletionDialog::copyToClipboard() const {
  QGuiApplication::clipboard()->setText(
      BoxClipboardText(windowTitle(), QString::fromLatin1(kCompletionText), {QStringLiteral("OK")}));
}

}  // namespace vantrel::app
