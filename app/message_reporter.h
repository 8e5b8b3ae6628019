// Where the application logic sends what the user must be told: the window
// shows each message in a message box, vantrel-batch prints it.
#pragma once

#include <QString>

namespace vantrel::app {

enum class MessageKind {
  // A file refused at Add or at the start of a batch; the window's box has
  // the caption "Error" and the information icon.
  Refusal,
  // A task that ended with an error; caption "Vantrel", warning icon.
  TaskError,
  // Caption "Information", information icon.
  Information,
};

class MessageReporter {
 public:
  virtual ~MessageReporter() = default;
  virtual void Report(MessageKind kind, const QString& text) = 0;
};

}  // namespace vantrel::app
