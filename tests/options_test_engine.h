// A reset engine that keeps what it logs, for the option tests: OptionEngine
// through the engine's contract (options in, Options() and the log out), and
// OptionJob for the few tests that look at the library option holders.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/job/engine_job.h"
#include "engine/options/option_record.h"
#include "test_support.h"

namespace vantrel::test {

// What an engine logged, by level and text.
struct LogLines {
  bool Logged(const std::string& msg) const {
    for (const auto& entry : log)
      if (entry.second == msg) return true;
    return false;
  }
  std::vector<std::pair<int, std::string>> log;
};

class OptionEngine : public TCustomFFmpeg, public LogLines {
 public:
  OptionEngine() {
    EnsureLibrariesLoaded();
    ResetEngine();
    SetOnLog([this](TCustomFFmpeg*, int level, const std::string& msg) { log.emplace_back(level, msg); });
  }
  // The typed setters and handlers, as the converter's records use them.
  TOptionRecord Record() { return TOptionRecord(*this); }
};

class OptionJob : public TEngineJob, public LogLines {
 public:
  OptionJob() {
    EnsureLibrariesLoaded();
    ResetEngine();
    OnLog = [this](TCustomFFmpeg*, int level, const std::string& msg) { log.emplace_back(level, msg); };
  }
};

// The message of the FFMpegException the call raises, or "" without one.
template <typename F>
std::string Refusal(F&& f) {
  try {
    f();
  } catch (const FFMpegException& e) {
    return e.what();
  }
  return "";
}

}  // namespace vantrel::test
