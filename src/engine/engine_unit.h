// What every engine of the process shares: the lock around codec opening and
// closing, the library log threshold, and the texts of failed opens.
#pragma once

#include <mutex>
#include <string>

extern "C" {
#include <libavutil/error.h>
}

namespace vantrel {

// Serialises codec opening and closing and the stream analysis of inputs.
std::mutex& CodecLock();
// The library log threshold, on the engines' scale (-1 quiet .. 3 everything):
// a library line passes when its level is at or below it. One value for the
// whole process, written by whoever loads the libraries, by a converter's
// log level and by every engine's verbosity ("v"); the last write holds for
// all threads. The libraries' log callback reads it. Starts at 1.
int LibraryLogThreshold();
void SetLibraryLogThreshold(int level);

// The text of a failed open, by error code, with the file name filled in.
std::string FormatOpenError(const std::string& FileName, int ErrorCode);
// The code of an image sequence name without a number pattern.
inline constexpr int kImageNumberExpected = AVERROR(EDOM);

}  // namespace vantrel
