// State shared by every engine of the process.
#include <cfenv>

#include "binding/av_binding.h"
#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/log_threshold.h"

namespace vantrel {
namespace {

std::atomic<int> gLibraryLogThreshold{1};
// No engine works on the thread: the process's threshold applies.
constexpr int kNoEngine = INT_MIN;
thread_local int tEngineLogThreshold = kNoEngine;
std::atomic<TVerbosityThresholdMap> gVerbosityMap{nullptr};

// Library code must never raise floating-point exceptions: every exception
// is masked for the life of the program and the saved environment is given
// back at the end. The unit's lock is made here too.
struct UnitState {
  std::fenv_t saved{};
  std::mutex codecLock;
  UnitState() {
    std::fegetenv(&saved);
    std::fenv_t masked;
    feholdexcept(&masked);  // masks every exception, clears the flags
  }
  ~UnitState() {
    { std::lock_guard<std::mutex> lock(codecLock); }
    std::fesetenv(&saved);
  }
};

UnitState& Unit() {
  static UnitState unit;
  return unit;
}

// Created at program start like any unit initialisation.
[[maybe_unused]] const bool gUnitReady = (Unit(), true);

}  // namespace

std::mutex& CodecLock() { return Unit().codecLock; }
int LibraryLogThreshold() { return gLibraryLogThreshold.load(); }
void SetLibraryLogThreshold(int level) { gLibraryLogThreshold = level; }

int ThreadLogThreshold() {
  return tEngineLogThreshold == kNoEngine ? LibraryLogThreshold() : tEngineLogThreshold;
}

void SetVerbosityThresholdMap(TVerbosityThresholdMap Map) { gVerbosityMap = Map; }

TScopedLogThreshold::TScopedLogThreshold(int Level) : saved_(tEngineLogThreshold) {
  const TVerbosityThresholdMap map = gVerbosityMap.load();
  tEngineLogThreshold = map ? map(Level) : Level;
}
TScopedLogThreshold::~TScopedLogThreshold() { tEngineLogThreshold = saved_; }

// Below the level of any line, panics included.
TQuietLibraryLog::TQuietLibraryLog() : saved_(tEngineLogThreshold) { tEngineLogThreshold = -1000; }
TQuietLibraryLog::~TQuietLibraryLog() { tEngineLogThreshold = saved_; }

std::string FormatOpenError(const std::string& FileName, int ErrorCode) {
  const char* text;
  switch (ErrorCode) {
    case AVERROR_INVALIDDATA:
    case AVERROR_DEMUXER_NOT_FOUND:
      text = "%s: Unknown format";
      break;
    case kImageNumberExpected:
      text =
          "%s: Incorrect image filename syntax.\r\n"
          "Use '%%d' to specify the image number:\r\n"
          "  for img1.jpg, img2.jpg, ..., use 'img%%d.jpg';\r\n"
          "  for img001.jpg, img002.jpg, ..., use 'img%%03d.jpg'.";
      break;
    case AVERROR(EINVAL):
      text = "%s: Error while parsing header";
      break;
    case AVERROR(ENOMEM):
      text = "%s: memory allocation error occurred";
      break;
    case AVERROR(EIO):
      text = "%s: I/O error occurred\r\nUsually that means that input file is truncated and/or corrupted.";
      break;
    case AVERROR(ENOENT):
      text = "%s: no such file or directory";
      break;
    default:
      text = "%s: Error while opening file";
  }
  return Format(text, FileName);
}

}  // namespace vantrel
