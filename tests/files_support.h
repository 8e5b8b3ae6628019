// Shared by the input and output file tests: a reset engine whose library
// log stays quiet, and the fixture manifest.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/job/engine_job.h"
#include "test_support.h"

namespace vantrel::test {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureLibrariesLoaded();
    ASSERT_TRUE(FixturesAvailable());
    savedLevel_ = lav::av_log_get_level();
    lav::av_log_set_level(AV_LOG_QUIET);
    engine.ResetEngine();
  }
  void TearDown() override {
    engine.FreeResources();
    if (savedLevel_ != kUnset) lav::av_log_set_level(savedLevel_);
  }
  int StreamCount(int File, AVMediaType Type) const {
    int n = 0;
    for (const CodecContextPtr& c : engine.InputCodecs[File]) n += c->codec_type == Type;
    return n;
  }

  TEngineJob engine;
  TempDir tmp;

 private:
  static constexpr int kUnset = -1000;
  int savedLevel_ = kUnset;
};

// One row of tests/fixtures_manifest.txt, by column name.
using ManifestRow = std::map<std::string, std::string>;
std::map<std::string, ManifestRow> ReadManifest();

}  // namespace vantrel::test
