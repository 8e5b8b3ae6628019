// Whether a finished conversion left a file the user can play: it must open
// with the format library and last about as long as what was converted.
#pragma once

#include <QString>
#include <cstdint>

namespace vantrel::app {

// How far the output's duration may be from the converted time.
inline constexpr int64_t kOutputDurationToleranceMs = 1000;

// False when the file cannot be opened and analysed, states no duration,
// or its duration differs from convertedMs by more than the tolerance.
// A negative convertedMs (nothing known) checks only that it opens.
bool OutputReadable(const QString& path, int64_t convertedMs);

}  // namespace vantrel::app
