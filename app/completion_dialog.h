// The message that ends a completed batch. Its text can be selected and
// copied; Ctrl+C with nothing selected copies the whole box as plain text,
// framed by dashed lines, as support requests like to quote it.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

namespace vantrel::app {

inline constexpr char kCompletionText[] = "File conversion process finished.";

// Dashed line, caption, dashed line, text, dashed line, the buttons three
// spaces apart, dashed line; CR LF between lines, none after the last.
QString BoxClipboardText(const QString& caption, const QString& text, const QStringList& buttons);

class CompletionDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit CompletionDialog(QWidget* parent = nullptr);
  // Puts BoxClipboardText of this box on the clipboard.
  void copyToClipboard() const;
};

}  // namespace vantrel::app
