// What the application tests share: the media fixtures, the libraries
// loaded once, and recording stand-ins for the message boxes and power-off.
#pragma once

#include <QFileInfo>
#include <QList>
#include <QPair>
#include <QString>
#include <QTest>

#include "app/message_reporter.h"
#include "app/shutdown_requester.h"
#include "binding/av_binding.h"

namespace vantrel::app::test {

// A missing fixture fails the test that needs it (never skips).
inline QString Fixture(const char* name) {
  const QString path = QStringLiteral(VANTREL_FIXTURES_DIR "/") + QString::fromUtf8(name);
  if (!QFileInfo::exists(path)) qFatal("missing fixture %s (build the fixtures target)", qPrintable(path));
  return path;
}

inline void LoadCodecLibraries() {
  if (!LoadLibraries("", true)) qFatal("cannot load the codec libraries: %s", GetLoadError().c_str());
}

class RecordingReporter final : public MessageReporter {
 public:
  void Report(MessageKind kind, const QString& text) override { messages.append({kind, text}); }
  QList<QPair<MessageKind, QString>> messages;
};

class CountingShutdown final : public ShutdownRequester {
 public:
  void RequestPowerOff() override { ++requests; }
  int requests = 0;
};

}  // namespace vantrel::app::test
