// Small types and sizes shared by the engine's public face and its working
// state.
#pragma once

#include <cstdint>

namespace vantrel {

inline constexpr int MAX_FILES = 20;
inline constexpr int MAX_STREAMS = 20;
inline constexpr int MAX_STREAM_MAPS = MAX_FILES * MAX_STREAMS;
inline constexpr int MAX_METADATA_MAPS = 20;

enum THookAction { haContinue, haIgnore, haStop };

// A span of presentation times, in microseconds, in which pictures go to
// the frame hooks.
struct THookRange {
  int64_t start = 0;
  int64_t end = 0;
};

}  // namespace vantrel
