// The codec contexts a job opened and has not closed yet, newest first. The
// contexts themselves belong to the engine's codec tables; this list owns
// their being open: whatever it still holds when the job ends, fails or is
// freed, it closes, under the process-wide codec lock, in one place.
#pragma once

#include <cstddef>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace vantrel {

class TOpenedCodecs {
 public:
  TOpenedCodecs() = default;
  TOpenedCodecs(const TOpenedCodecs&) = delete;
  TOpenedCodecs& operator=(const TOpenedCodecs&) = delete;
  ~TOpenedCodecs() { CloseAll(); }

  // A context just opened; the caller holds CodecLock() for the opening.
  void Add(AVCodecContext* Context) { list_.insert(list_.begin(), Context); }
  // Closes one listed context; one not listed is left alone.
  void Close(AVCodecContext* Context);
  // Closes every listed context, newest first.
  void CloseAll();
  bool empty() const { return list_.empty(); }
  size_t size() const { return list_.size(); }

 private:
  std::vector<AVCodecContext*> list_;
};

}  // namespace vantrel
