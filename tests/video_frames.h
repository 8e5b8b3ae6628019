// Whole jobs that write raw YUV 4:2:0 pictures, and the pictures read back,
// for the tests that look at what filters and hooks did to each picture.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "test_support.h"

namespace vantrel::test {

// 176x144, 25 pictures a second for 10 s.
inline constexpr int kFixtureWidth = 176, kFixtureHeight = 144, kFixturePictures = 250;
inline constexpr size_t kFixturePictureBytes = size_t(kFixtureWidth) * kFixtureHeight * 3 / 2;

struct RawVideoJob {
  TCustomFFmpeg e;
  std::vector<std::string> logs;
  std::mutex logLock;

  RawVideoJob() {
    EnsureLibrariesLoaded();
    e.ResetEngine();
    e.SetOnLog([this](TCustomFFmpeg*, int, const std::string& msg) {
      std::lock_guard<std::mutex> lock(logLock);
      logs.push_back(msg);
    });
  }
  void Options(const std::vector<std::pair<std::string, std::string>>& options) {
    for (const auto& [name, value] : options) e.SetOption(name, value);
  }
  // Opens the fixture and the raw output; false when the output is refused.
  bool Open(const std::string& out) {
    EXPECT_TRUE(e.OpenInputFile(Fixture("fps25_10s.avi"))) << e.LastError();
    Options({{"an", ""}, {"f", "rawvideo"}, {"vcodec", "rawvideo"}, {"pix_fmt", "yuv420p"}});
    return e.OpenOutputFile(out);
  }
  bool Logged(const std::string& text) {
    std::lock_guard<std::mutex> lock(logLock);
    for (const std::string& l : logs)
      if (l.find(text) != std::string::npos) return true;
    return false;
  }
};

inline std::vector<std::string> ReadPictures(const std::string& path, size_t bytes) {
  std::ifstream in(path, std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> pictures;
  for (size_t at = 0; at + bytes <= all.size(); at += bytes) pictures.push_back(all.substr(at, bytes));
  EXPECT_EQ(all.size() % bytes, 0u) << path;
  return pictures;
}

// Runs a plain job (only the given options) and returns its pictures.
inline std::vector<std::string> PlainPictures(const std::string& out,
                                              const std::vector<std::pair<std::string, std::string>>& options = {}) {
  RawVideoJob job;
  job.Options(options);
  EXPECT_TRUE(job.Open(out)) << job.e.LastError();
  job.e.StartJob(false);
  EXPECT_TRUE(job.e.Result().Completed) << job.e.Result().ErrorMessage;
  return ReadPictures(out, kFixturePictureBytes);
}

inline double Psnr(const std::string& a, const std::string& b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = double(uint8_t(a[i])) - double(uint8_t(b[i]));
    sum += d * d;
  }
  if (sum == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * double(a.size()) / sum);
}

}  // namespace vantrel::test
