#include "app/window_anchors.h"

#include <algorithm>

namespace vantrel::app {

void ControlAnchors::add(QWidget* control, int follow) { controls_.push_back({control, control->geometry(), follow}); }

void ControlAnchors::apply(QSize extra) const {
  // Never smaller than placed, should the window be shrunk past its minimum.
  const int dx = std::max(0, extra.width()), dy = std::max(0, extra.height());
  for (const Anchored& anchored : controls_) {
    if (!anchored.control) continue;
    QRect place = anchored.base;
    if (anchored.follow & Right) place.translate(dx, 0);
    if (anchored.follow & Bottom) place.translate(0, dy);
    if (anchored.follow & Wider) place.setWidth(place.width() + dx);
    if (anchored.follow & Taller) place.setHeight(place.height() + dy);
    anchored.control->setGeometry(place);
  }
}

}  // namespace vantrel::app
