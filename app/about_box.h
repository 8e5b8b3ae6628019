// The About box: made when asked for, shown modally, gone when closed. Its
// web and e-mail lines open with the desktop's programs, or end on the
// clipboard where there are none.
#pragma once

#include <QDialog>
#include <QUrl>

namespace vantrel::app {

class WindowDialogs;

inline constexpr char kWebsite[] = "https://vantrel.example.org/";
inline constexpr char kSupportEmail[] = "support@vantrel.example.org";

class TFrmAbout final : public QDialog {
  Q_OBJECT

 public:
  // dialogs must outlive the box.
  explicit TFrmAbout(WindowDialogs& dialogs, QWidget* parent = nullptr);

 private:
  void openWebsite();
  void writeEmail();

  WindowDialogs& dialogs_;
};

}  // namespace vantrel::app
