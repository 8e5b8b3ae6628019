// Cores a batch leaves idle go to the decoders: when fewer files are
// converted at once than the machine has cores, each file's video decoder
// gets its share of them as frame or slice threads.
#pragma once

namespace vantrel::app {

inline constexpr int kMaxDecoderThreads = 16;

// cores / min(parallel, files), at least 1 and at most kMaxDecoderThreads;
// 1 when the cores are unknown (0) or every core already runs a file.
int DecoderThreads(int parallel, int files, unsigned cores);

}  // namespace vantrel::app
