// What every engine of the process shares: the lock around codec opening and
// closing, the library log threshold, and the texts of failed opens.
#pragma once

#include <mutex>
#include <string>

extern "C" {
#include <libavutil/error.h>
}

namespace vantrel {

// Serialises the engines' codec opening and closing, and nothing else: a
// file being read or analysed never holds it. Taken through TCodecLockGuard
// (codec_lock.h).
std::mutex& CodecLock();
// The process's library log threshold, on the engines' scale (-1 quiet ..
// 3 everything): a library line passes when its level is at or below it.
// Written by whoever loads the libraries and by a converter's log level; it
// applies to the threads where no engine works, since each engine applies
// its own verbosity ("v") where it works (log_threshold.h). Starts at 1.
int LibraryLogThreshold();
void SetLibraryLogThreshold(int level);

// The text of a failed open, by error code, with the file name filled in.
std::string FormatOpenError(const std::string& FileName, int ErrorCode);
// The code of an image sequence name without a number pattern.
inline constexpr int kImageNumberExpected = AVERROR(EDOM);

}  // namespace vantrel
