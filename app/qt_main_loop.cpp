#include "app/qt_main_loop.h"

#include <QTimer>

namespace vantrel::app {

void QtMainLoop::Post(std::chrono::milliseconds Delay, std::function<void()> Call) {
  QObject* context = context_;
  QMetaObject::invokeMethod(
      context,
      [context, Delay, Call = std::move(Call)]() mutable { QTimer::singleShot(Delay, context, std::move(Call)); },
      Qt::QueuedConnection);
}

}  // namespace vantrel::app
