// The window's controls are placed for its minimum size, the layout users
// know; when the window grows, each control keeps its distance to the edges
// it is anchored to and stretches where it is told to. At the minimum size
// every control is exactly where it was placed.
#pragma once

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <vector>

namespace vantrel::app {

class ControlAnchors {
 public:
  enum Follow {
    Right = 1,        // moves with the right edge
    Bottom = 2,       // moves with the bottom edge
    Wider = 4,        // stretches with the width
    Taller = 8,       // stretches with the height
  };

  // Records control's present geometry as its place at the minimum size.
  void add(QWidget* control, int follow);
  // Places every control for a window extra pixels larger than its minimum.
  void apply(QSize extra) const;

 private:
  struct Anchored {
    QPointer<QWidget> control;
    QRect base;
    int follow;
  };
  std::vector<Anchored> controls_;
};

}  // namespace vantrel::app
