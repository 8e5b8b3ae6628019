// A reset engine that keeps what it logs, for the option tests.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "engine/job/engine_job.h"
#include "test_support.h"

namespace vantrel::test {

class OptionEngine : public TEngineJob {
 public:
  OptionEngine() {
    EnsureLibrariesLoaded();
    ResetEngine();
    OnLog = [this](TCustomFFmpeg*, int level, const std::string& msg) { log.emplace_back(level, msg); };
  }
  bool Logged(const std::string& msg) const {
    for (const auto& entry : log)
      if (entry.second == msg) return true;
    return false;
  }
  std::vector<std::pair<int, std::string>> log;
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
