#include "app/about_box.h"

#include "app/desktop_links.h"
#include "app/main_window.h"

#include <QLabel>
#include <QPushButton>

namespace vantrel::app {
namespace {

// A label that acts like a link: hand cursor, a click runs onClick.
class LinkLabel final : public QLabel {
 public:
  LinkLabel(const QString& text, std::function<void()> onClick, QWidget* parent)
      : QLabel(text, parent), onClick_(std::move(onClick)) {
    setCursor(Qt::PointingHandCursor);
  }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QLabel::mouseReleaseEvent(event);
    onClick_();
  }

 private:
  std::function<void()> onClick_;
};

// The address lines have fixed widths; a long address gets a smaller font
// rather than being cut off.
void FitText(QLabel* label) {
  QFont font = label->font();
  while (font.pointSizeF() > 5 && QFontMetrics(font).horizontalAdvance(label->text()) > label->width()) {
    font.setPointSizeF(font.pointSizeF() - 0.5);
  }
  label->setFont(font);
}

QLabel* Place(QLabel* label, const char* name, QRect geometry, Qt::Alignment alignment) {
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(geometry);
  label->setAlignment(alignment);
  FitText(label);
  return label;
}

}  // namespace

TFrmAbout::TFrmAbout(WindowDialogs& dialogs, QWidget* parent) : QDialog(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("FrmAbout"));
  setWindowTitle(QStringLiteral("About Vantrel"));
  setFixedSize(301, 233);
  setFont(WindowFont());
  // A dialog of a window with an icon would inherit it; this one has none.
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(QIcon());

  auto* image = new QLabel(this);
  image->setObjectName(QStringLiteral("Image1"));
  image->setGeometry(24, 32, 32, 32);
  image->setPixmap(QIcon(QStringLiteral(":/vantrel/vantrel.svg")).pixmap(32, 32));

  const Qt::Alignment centred = Qt::AlignHCenter | Qt::AlignTop;
  Place(new QLabel(QStringLiteral("Vantrel V" VANTREL_VERSION), this), "Label1", {56, 32, 209, 17}, centred);
  Place(new QLabel(QStringLiteral("Phone video converter"), this), "Label2", {48, 50, 201, 23}, centred);
  Place(new QLabel(QStringLiteral("3GP, 3G2 and MP4 movies"), this), "Label3", {48, 72, 185, 20}, centred);
  Place(new LinkLabel(QStringLiteral("Website: ") + QString::fromLatin1(kWebsite), [this] { openWebsite(); }, this),
        "LblWebsite", {64, 152, 177, 25}, Qt::AlignLeft | Qt::AlignVCenter);
  Place(new LinkLabel(QStringLiteral("Support Email: ") + QString::fromLatin1(kSupportEmail),
                      [this] { writeEmail(); }, this),
        "LblEmail", {56, 176, 193, 25}, Qt::AlignLeft | Qt::AlignVCenter);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("BtnOk"));
  ok->setGeometry(112, 200, 80, 27);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void TFrmAbout::openWebsite() { OpenWithDesktop(dialogs_, this, QUrl(QString::fromLatin1(kWebsite))); }

void TFrmAbout::writeEmail() {
  OpenWithDesktop(dialogs_, this, QUrl(QStringLiteral("mailto:") + QString::fromLatin1(kSupportEmail)));
}

}  // namespace vantrel::app
