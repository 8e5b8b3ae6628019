// vantrel-cli as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "binding/av_binding.h"
#include "cli_arguments.h"
#include "test_support.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

int RunCli(const std::string& args, std::string& out) {
  return test::RunCommand(std::string(VANTREL_CLI_PATH) + " " + args, out);
}

TEST(CliTest, EmptyLibraryFolderNamesTheCodecLibrary) {
  test::TempDir dir;
  std::string out;
  EXPECT_EQ(RunCli("--libdir " + dir.path().string() + " out.3gp", out), 1);
  EXPECT_NE(out.find("vantrel-cli: Load libraray " + LibraryFileName(Library::Codec, true) + " error: "),
            std::string::npos) << out;
}

TEST(CliTest, FolderWithoutTheFilterLibraryNamesIt) {
  test::TempDir dir;
  for (Library lib : {Library::Codec, Library::Format, Library::Util, Library::Scale, Library::Resample}) {
    const std::string name = LibraryFileName(lib, true);
    fs::create_symlink(fs::path("/usr/lib/x86_64-linux-gnu") / name, dir.path() / name);
  }
  std::string out;
  EXPECT_EQ(RunCli("--libdir " + dir.path().string() + " out.3gp", out), 1);
  EXPECT_NE(out.find("vantrel-cli: Load libraray " + LibraryFileName(Library::Filter, true) + " error: "),
            std::string::npos) << out;
}

TEST(CliTest, NoFileAtAllEndsTheJobWithTheOutputMessage) {
  std::string out;
  EXPECT_EQ(RunCli("", out), 1);
  EXPECT_EQ(out, "vantrel-cli: Must supply at least one output file\n");
}

TEST(CliTest, UsageErrorsAndHelp) {
  std::string out;
  EXPECT_EQ(RunCli("--bogus", out), 2);
  EXPECT_NE(out.find("usage: vantrel-cli"), std::string::npos);
  EXPECT_EQ(RunCli("-i", out), 2);
  EXPECT_EQ(RunCli("--help", out), 0);
  EXPECT_NE(out.find("[--libdir DIR] [--unversioned]"), std::string::npos);
}

TEST(CliArgumentsTest, StepsKeepTheirOrderAndFlagsTakeNoValue) {
  auto noValue = [](const std::string& n) { return n == "y" || n == "newaudio"; };
  const auto a = cli::ParseArguments(
      {"--libdir", "/x", "-vcodec", "mpeg4", "-i", "in.avi", "-y", "-newaudio", "out.3gp", "-", "b.mp4"},
      noValue);
  EXPECT_EQ(a.libDir, "/x");
  ASSERT_EQ(a.steps.size(), 7u);
  EXPECT_EQ(a.steps[0].kind, cli::Step::Option);
  EXPECT_EQ(a.steps[0].name, "vcodec");
  EXPECT_EQ(a.steps[0].value, "mpeg4");
  EXPECT_EQ(a.steps[1].kind, cli::Step::Input);
  EXPECT_EQ(a.steps[1].value, "in.avi");
  EXPECT_EQ(a.steps[2].name, "y");
  EXPECT_EQ(a.steps[3].name, "newaudio");
  EXPECT_EQ(a.steps[4].kind, cli::Step::Output);
  EXPECT_EQ(a.steps[5].kind, cli::Step::Output);
  EXPECT_EQ(a.steps[5].value, "-");  // a lone dash is a file name
  EXPECT_EQ(a.steps[6].value, "b.mp4");
  EXPECT_THROW(cli::ParseArguments({"-vcodec"}, noValue), std::invalid_argument);
}

}  // namespace
}  // namespace vantrel
