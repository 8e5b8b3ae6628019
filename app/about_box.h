// The About box: made when asked for, shown modally, gone when closed.
#pragma once

#include <QDialog>
#include <QUrl>

namespace vantrel::app {

inline constexpr char kWebsite[] = "https://vantrel.example.org/";
inline constexpr char kSupportEmail[] = "support@vantrel.example.org";

class TFrmAbout final : public QDialog {
  Q_OBJECT

 public:
  explicit TFrmAbout(QWidget* parent = nullptr);

 private:
  void openWebsite();
  void writeEmail();
};

}  // namespace vantrel::app
