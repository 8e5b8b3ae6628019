// Broken and hostile inputs through vantrel-cli with both phone codec sets:
// each ends with an output the reference tools decode or with a clear
// refusal, within 30 s, and without a sanitizer report.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "media_probe.h"
#include "build_paths.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

enum class Outcome { Converts, Refused };

struct THostileCase {
  const char* name;
  const char* file;
  Outcome outcome;
  // Refused: what follows "vantrel-cli: FILE" in the message.
  const char* reason;
  // Converts: the range of the output's duration, in seconds.
  double minDuration, maxDuration;
};

// The reasons are the engine's own words; a front end may add to them.
constexpr THostileCase kCases[] = {
    {"ZeroBytes", "empty.avi", Outcome::Refused, ": I/O error occurred", 0, 0},
    {"RandomBytes", "random.avi", Outcome::Refused, ": Unknown format", 0, 0},
    {"TextNamedAsVideo", "text.avi", Outcome::Refused, ": Unknown format", 0, 0},
    {"FolderNamedAsVideo", "dir.avi", Outcome::Refused, "", 0, 0},
    {"Mp4WithoutIndex", "truncated.mp4", Outcome::Refused, ": Error while parsing header", 0, 0},
    // The headers of these state the whole length; the data stops early.
    {"TruncatedAvi", "truncated.avi", Outcome::Converts, nullptr, 0.05, 3.5},
    {"TruncatedMp4", "truncated_faststart.mp4", Outcome::Converts, nullptr, 1, 3.5},
    {"CorruptMiddleAvi", "corrupt_middle.avi", Outcome::Converts, nullptr, 3.8, 4.2},
    {"CorruptMiddleMp4", "corrupt_middle.mp4", Outcome::Converts, nullptr, 3.8, 4.2},
    // An audio stream in the header and not one packet of it.
    {"PacketlessStreamAvi", "empty_stream.avi", Outcome::Converts, nullptr, 1.8, 2.2},
    {"PacketlessStreamMp4", "empty_stream.mp4", Outcome::Converts, nullptr, 1.8, 2.2},
    // The 10 s of content, not the 40 s its time stamps span.
    {"TimestampJump", "ts_jump.ts", Outcome::Converts, nullptr, 9.5, 10.5},
};

struct TCodecSet {
  const char* name;
  const char* ext;
  const char* options;
  const char* vcodec;
};

constexpr TCodecSet kCodecSets[] = {
    {"H263Amr", "3gp", "-vcodec h263 -acodec libopencore_amrnb -s 176x144 -r 15 -b 40000 -ab 12200 -ar 8000 -ac 1",
     "h263"},
    {"Mpeg4Aac", "mp4", "-vcodec mpeg4 -acodec libfaac -s 176x144 -r 15 -b 40000 -ab 96000 -ar 32000 -ac 2",
     "mpeg4"},
};

constexpr int kTimeLimitSeconds = 30;
// What timeout(1) returns when it had to end the command.
constexpr int kTimedOut = 124;

class HostileInput : public ::testing::TestWithParam<std::tuple<int, int>> {};

void ExpectNoSanitizerReport(const std::string& log) {
  for (const char* report : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                             "WARNING: ThreadSanitizer"})
    EXPECT_EQ(log.find(report), std::string::npos) << report << "\n" << log;
}

TEST_P(HostileInput, EndsWithAValidOutputOrAClearError) {
  const THostileCase& c = kCases[std::get<0>(GetParam())];
  const TCodecSet& set = kCodecSets[std::get<1>(GetParam())];
  const std::string input = Fixture(c.file);
  ASSERT_TRUE(fs::exists(input)) << input << " missing: cmake --build BUILD --target fixtures";
  TempDir dir;
  const std::string output = dir / (std::string("out.") + set.ext);

  const auto start = std::chrono::steady_clock::now();
  std::string log;
  const int rc = RunCommand("timeout -k 5 " + std::to_string(kTimeLimitSeconds) + " " + VANTREL_CLI_PATH +
                                " -i '" + input + "' " + set.options + " '" + output + "'",
                            log);
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
  ASSERT_NE(rc, kTimedOut) << "no end after " << kTimeLimitSeconds << " s\n" << log;
  EXPECT_LT(seconds, kTimeLimitSeconds);
  ExpectNoSanitizerReport(log);

  if (c.outcome == Outcome::Refused) {
    EXPECT_EQ(rc, 1) << log;
    EXPECT_NE(log.find("vantrel-cli: " + input + c.reason), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(output)) << "a refused input leaves no output";
    return;
  }
  ASSERT_EQ(rc, 0) << log;
  std::string errors;
  EXPECT_TRUE(DecodesCleanly(output, errors)) << errors;
  const Probe p = ProbeFile(output);
  EXPECT_EQ(p.videoCodec, set.vcodec);
  EXPECT_GT(p.videoPackets, 0);
  EXPECT_GE(p.duration, c.minDuration);
  EXPECT_LE(p.duration, c.maxDuration);
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
  return std::string(kCodecSets[std::get<1>(info.param)].name) + "_" + kCases[std::get<0>(info.param)].name;
}

INSTANTIATE_TEST_SUITE_P(Table, HostileInput,
                         ::testing::Combine(::testing::Range(0, int(std::size(kCases))),
                                            ::testing::Range(0, int(std::size(kCodecSets)))),
                         CaseName);

}  // namespace
}  // namespace vantrel::test
