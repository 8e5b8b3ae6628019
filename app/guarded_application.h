// The application object. An error that no handler caught and that would
// otherwise leave the event loop is shown to the user instead, and the
// program goes on.
#pragma once

#include <QApplication>
#include <functional>

namespace vantrel::app {

class GuardedApplication final : public QApplication {
 public:
  // message, and whether the error is one of the engine's own.
  using ErrorHandler = std::function<void(const QString& message, bool engineError)>;

  GuardedApplication(int& argc, char** argv);
  void setErrorHandler(ErrorHandler handler) { handler_ = std::move(handler); }
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  void report(const QString& message, bool engineError);

  ErrorHandler handler_;
};

}  // namespace vantrel::app
