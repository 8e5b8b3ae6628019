// vantrel-cli applies options in argument order and ends on a refusal.
#include <gtest/gtest.h>

#include "test_support.h"

namespace vantrel {
namespace {

std::string Cli(const std::string& args) { return std::string(VANTREL_CLI_PATH) + " " + args + " 2>&1"; }

TEST(OptionCli, RefusedOptionEndsTheRun) {
  std::string out;
  EXPECT_EQ(test::RunCommand(Cli("-qscale 300 out.mp4"), out), 1);
  EXPECT_EQ(out, "vantrel-cli: qscale must be > 0.0 and <= 255\n");
  EXPECT_EQ(test::RunCommand(Cli("-ar 22050 -ar fast out.mp4"), out), 1);
  EXPECT_EQ(out, "vantrel-cli: 'fast' is not a valid integer value\n");
  EXPECT_EQ(test::RunCommand(Cli("-vtag DIVX5 out.mp4"), out), 1);
  EXPECT_EQ(out, "vantrel-cli: video tag parameter must be 4 chars\n");
}

TEST(OptionCli, ListsPixelFormats) {
  std::string out;
  test::RunCommand(Cli("-pix_fmt list"), out);
  EXPECT_EQ(out.rfind("name", 0), 0u);
  EXPECT_NE(out.find("\nyuv420p "), std::string::npos);
  EXPECT_NE(out.find("\nrgb24 "), std::string::npos);
}

}  // namespace
}  // namespace vantrel
