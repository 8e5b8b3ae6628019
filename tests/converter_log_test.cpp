// Library log lines as the codec libraries write them: through av_log, in
// pieces, from several threads, assembled into whole lines for every route.
#include <gtest/gtest.h>

#include <atomic>
#include <cinttypes>
#include <mutex>
#include <thread>
#include <vector>

#include "binding/av_binding.h"
#include "converter/log_routing.h"
#include "engine/engine.h"

namespace vantrel {
namespace {

const char* ItemName(void*) { return "probe"; }

const AVClass kProbeClass = [] {
  AVClass c{};
  c.class_name = "Probe";
  c.item_name = ItemName;
  c.version = LIBAVUTIL_VERSION_INT;
  return c;
}();

// Laid out as the libraries expect a logging context: the class first.
struct ProbeContext {
  const AVClass* av_class = &kProbeClass;
};

std::string ProbePrefix() {
  char address[32];
  std::snprintf(address, sizeof address, "%08" PRIXPTR, reinterpret_cast<uintptr_t>(&kProbeClass));
  return std::string("[probe @ ") + address + "]";
}

struct Received {
  TThreadID thread;
  int level;
  std::string line;
};

class RecordingRoute final : public TLogRoute {
 public:
  void DispatchLibLog(TThreadID AThreadID, int ALevel, const std::string& ALine) override {
    std::lock_guard<std::mutex> lock(m_);
    lines_.push_back({AThreadID, ALevel, ALine});
    if (order_) order_->push_back(this);
  }
  std::vector<Received> Lines() {
    std::lock_guard<std::mutex> lock(m_);
    return lines_;
  }
  std::vector<std::string> Texts() {
    std::vector<std::string> texts;
    for (const Received& r : Lines()) texts.push_back(r.line);
    return texts;
  }
  void RecordOrderIn(std::vector<TLogRoute*>* order) { order_ = order; }

 private:
  std::mutex m_;
  std::vector<Received> lines_;
  std::vector<TLogRoute*>* order_ = nullptr;
};

// The shared callback installed, the buffers empty and the threshold at
// "information"; everything put back afterwards.
class LogRoutingFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    savedThreshold_ = LibraryLogThreshold();
    SetLibraryLogThreshold(1);
    ClearLogBuffers();
    lav::av_log_set_callback(LibLogCallback);
    RegisterLogRoute(&route_);
  }
  void TearDown() override {
    UnregisterLogRoute(&route_);
    lav::av_log_set_callback(lav::av_log_default_callback);
    ClearLogBuffers();
    SetLibraryLogThreshold(savedThreshold_);
  }

  ProbeContext ctx_;
  RecordingRoute route_;

 private:
  int savedThreshold_ = 1;
};

using LogRoutingTest = LogRoutingFixture;
using LogRoutingThread = LogRoutingFixture;

TEST_F(LogRoutingTest, PiecesAreJoinedAndSplitAtLineFeeds) {
  // An unfinished message and its end: one line, the first prefix only.
  lav::av_log(&ctx_, AV_LOG_INFO, "frame %d ", 7);
  lav::av_log(&ctx_, AV_LOG_WARNING, "is damaged\n");
  // Two line feeds, one inside, one at the end; a carriage return stays.
  lav::av_log(&ctx_, AV_LOG_ERROR, "first\rpart\nsecond\n");
  // The tail was empty: no context, no prefix.
  lav::av_log(nullptr, AV_LOG_INFO, "Input #0, avi\n");
  const std::string p = ProbePrefix();
  EXPECT_EQ(route_.Texts(),
            (std::vector<std::string>{p + "frame 7 is damaged", p + "first\rpart", "second", "Input #0, avi"}));
  for (const Received& r : route_.Lines()) EXPECT_EQ(r.thread, CurrentThreadID());
  EXPECT_EQ(route_.Lines()[0].level, 1);
  EXPECT_EQ(route_.Lines()[1].level, 0);
}

TEST_F(LogRoutingThread, TailsOfTwoThreadsDoNotMix) {
  ProbeContext other;
  lav::av_log(&ctx_, AV_LOG_INFO, "A begins ");
  TThreadID b = 0;
  std::thread([&] {
    b = CurrentThreadID();
    lav::av_log(&other, AV_LOG_INFO, "B whole\n");
  }).join();
  lav::av_log(&ctx_, AV_LOG_INFO, "and ends\n");
  const auto lines = route_.Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].line, ProbePrefix() + "B whole");
  EXPECT_EQ(lines[0].thread, b);
  EXPECT_EQ(lines[1].line, ProbePrefix() + "A begins and ends");
  EXPECT_EQ(lines[1].thread, CurrentThreadID());
  EXPECT_NE(b, CurrentThreadID());
}

// The line buffer holds 2048 bytes with its terminating NUL: a longer
// message, or one that follows a long tail, is cut, never written past it,
// and the cut ends the line so that the thread's next lines still come.
TEST_F(LogRoutingTest, LongMessagesAreCutToTheLineBuffer) {
  const std::string big(10000, 'x');
  const std::string p = ProbePrefix();
  lav::av_log(&ctx_, AV_LOG_INFO, "%s\n", big.c_str());
  lav::av_log(&ctx_, AV_LOG_INFO, "%s", std::string(2000, 'y').c_str());
  lav::av_log(&ctx_, AV_LOG_INFO, "%s", big.c_str());
  lav::av_log(&ctx_, AV_LOG_INFO, "short\n");
  const auto texts = route_.Texts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], p + std::string(2047 - p.size(), 'x'));
  EXPECT_EQ(texts[1], p + std::string(2000, 'y') + std::string(2047 - 2000 - p.size(), 'x'));
  EXPECT_EQ(texts[2], p + "short");
}

TEST_F(LogRoutingTest, EveryRouteGetsEveryLineInRegistrationOrder) {
  RecordingRoute second;
  std::vector<TLogRoute*> order;
  route_.RecordOrderIn(&order);
  second.RecordOrderIn(&order);
  RegisterLogRoute(&second);
  lav::av_log(&ctx_, AV_LOG_INFO, "one\ntwo\n");
  UnregisterLogRoute(&second);
  lav::av_log(&ctx_, AV_LOG_INFO, "three\n");
  EXPECT_EQ(second.Texts(), (std::vector<std::string>{ProbePrefix() + "one", "two"}));
  EXPECT_EQ(route_.Texts(), (std::vector<std::string>{ProbePrefix() + "one", "two", ProbePrefix() + "three"}));
  EXPECT_EQ(order, (std::vector<TLogRoute*>{&route_, &second, &route_, &second, &route_}));
}

// The libraries' own levels are told on the engines' scale; the threshold
// drops a message before it can leave a tail behind.
TEST_F(LogRoutingTest, ThresholdOnTheEngineScaleDropsBeforeBuffering) {
  const int levels[] = {AV_LOG_QUIET, AV_LOG_PANIC, AV_LOG_FATAL, AV_LOG_ERROR, AV_LOG_WARNING,
                        AV_LOG_INFO,  AV_LOG_VERBOSE, AV_LOG_DEBUG, AV_LOG_TRACE};
  const int expected[] = {-1, 0, 0, 0, 1, 1, 2, 2, 3};
  SetLibraryLogThreshold(3);
  for (int level : levels) lav::av_log(&ctx_, level, "%d\n", level);
  const auto all = route_.Lines();
  ASSERT_EQ(all.size(), std::size(levels));
  for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i].level, expected[i]) << all[i].line;

  for (int threshold : {-1, 0, 1, 2}) {
    SetLibraryLogThreshold(threshold);
    size_t passed = 0;
    const size_t before = route_.Lines().size();
    for (size_t i = 0; i < std::size(levels); ++i) {
      passed += expected[i] <= threshold;
      lav::av_log(&ctx_, levels[i], "%d\n", levels[i]);
    }
    EXPECT_EQ(route_.Lines().size() - before, passed) << "threshold " << threshold;
  }

  SetLibraryLogThreshold(0);
  lav::av_log(&ctx_, AV_LOG_INFO, "dropped ");
  lav::av_log(&ctx_, AV_LOG_ERROR, "kept\n");
  EXPECT_EQ(route_.Texts().back(), ProbePrefix() + "kept");
}

// A route that logs while it handles a line (same thread, nested) and a
// route that leaves: after UnregisterLogRoute returns it is never called.
class EchoRoute final : public TLogRoute {
 public:
  void DispatchLibLog(TThreadID, int, const std::string& ALine) override {
    EXPECT_FALSE(gone.load()) << "called after it left: " << ALine;
    if (ALine.find("echo me") != std::string::npos) lav::av_log(nullptr, AV_LOG_INFO, "echoed\n");
  }
  std::atomic<bool> gone{false};
};

TEST_F(LogRoutingThread, ClearAndLeavingUnderConcurrentLogging) {
  EchoRoute echo;
  RegisterLogRoute(&echo);
  lav::av_log(&ctx_, AV_LOG_INFO, "echo me\n");
  const auto first = route_.Texts();
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(first[1], "echoed");

  std::atomic<bool> stop{false};
  std::vector<std::thread> writers;
  for (int t = 0; t < 3; ++t)
    writers.emplace_back([&, t] {
      ProbeContext ctx;
      for (int i = 0; !stop.load() || i < 200; ++i) {
        lav::av_log(&ctx, AV_LOG_INFO, "writer %d piece %d ", t, i);
        lav::av_log(&ctx, AV_LOG_WARNING, "end\n");
      }
    });
  for (int i = 0; i < 200; ++i) {
    ClearLogBuffers();
    if (i == 100) {
      UnregisterLogRoute(&echo);
      echo.gone = true;
    }
  }
  stop = true;
  for (std::thread& w : writers) w.join();
  // Clearing may cut a line's start away, never mix two threads' text.
  for (const std::string& line : route_.Texts()) {
    if (line.find("writer") == std::string::npos) continue;
    EXPECT_EQ(line.find("writer"), line.rfind("writer")) << line;
  }
}

}  // namespace
}  // namespace vantrel
