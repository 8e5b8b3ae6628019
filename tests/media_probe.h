// What ffprobe and ffmpeg say about an output file: the tests' reference
// for what the engine wrote.
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>

#include "test_support.h"

namespace vantrel::test {

// What ffprobe says about a file.
struct Probe {
  std::string videoCodec, audioCodec;
  int videoPackets = 0;
  double duration = 0;
};

inline Probe ProbeFile(const std::string& file) {
  Probe p;
  std::string out;
  RunCommand("ffprobe -v error -count_packets -show_entries stream=codec_type,codec_name,nb_read_packets "
             "-of csv=p=0 '" + file + "'", out);
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string name, type, count;
    std::getline(fields, name, ',');
    std::getline(fields, type, ',');
    std::getline(fields, count, ',');
    if (type == "video" && p.videoCodec.empty()) {
      p.videoCodec = name;
      p.videoPackets = std::atoi(count.c_str());
    } else if (type == "audio" && p.audioCodec.empty()) {
      p.audioCodec = name;
    }
  }
  RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file + "'", out);
  p.duration = std::atof(out.c_str());
  return p;
}

// Video packets of a file from its first key frame on.
inline int VideoPacketsFromFirstKey(const std::string& file) {
  std::string out;
  RunCommand("ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 '" + file + "'", out);
  std::istringstream lines(out);
  int n = 0;
  bool started = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty()) continue;
    started = started || line.find('K') != std::string::npos;
    n += started;
  }
  return n;
}

// A full decode that reports nothing.
inline bool DecodesCleanly(const std::string& file, std::string& errors) {
  return RunCommand("ffmpeg -nostdin -v error -i '" + file + "' -f null -", errors) == 0 && errors.empty();
}

}  // namespace vantrel::test
