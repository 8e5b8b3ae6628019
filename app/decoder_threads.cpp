#include "app/decoder_threads.h"

#include <algorithm>

namespace vantrel::app {

int DecoderThreads(int parallel, int files, unsigned cores) {
  const int jobs = std::max(1, std::min(parallel, files));
  const int available = int(std::min(cores, unsigned(kMaxDecoderThreads) * unsigned(jobs)));
  return std::clamp(available / jobs, 1, kMaxDecoderThreads);
}

}  // namespace vantrel::app
