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
#include "build_paths.h"

namespace vantrel::app::test {

// The media fixtures: in the folder named by $VANTREL_FIXTURES_DIR when
// set, else in the build tree's.
inline QString FixturesDir() {
  const QString dir = qEnvironmentVariable("VANTREL_FIXTURES_DIR");
  return dir.isEmpty() ? QStringLiteral(VANTREL_FIXTURES_DIR) : dir;
}

inline bool FixturesMade() { return QFileInfo::exists(FixturesDir() + QStringLiteral("/.stamp")); }

// A missing fixture fails the test that needs it (never skips: a green run
// with the media tests skipped would hide that nothing was tried). In the
// init() of every class that uses fixtures, this stops each test before its
// body touches a file that is not there.
#define VANTREL_REQUIRE_FIXTURES() \
  do { \
    if (!::vantrel::app::test::FixturesMade()) \
      QFAIL("media fixtures not made: cmake --build BUILD_DIR --target fixtures"); \
  } while (false)

// A test that forgot VANTREL_REQUIRE_FIXTURES ends the program here, saying
// why, rather than going on with a path to nothing.
inline QString Fixture(const char* name) {
  const QString path = FixturesDir() + QLatin1Char('/') + QString::fromUtf8(name);
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
