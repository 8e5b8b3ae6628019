// vantrel-cli as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "binding/av_binding.h"
#include "converter/bront_converter.h"
#include "cli_arguments.h"
#include "library_log.h"
#include "test_support.h"
#include "build_paths.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

int RunCli(const std::string& args, std::string& out) {
  return test::RunCommand(std::string(VANTREL_CLI_PATH) + " " + args, out);
}

// Every place that says the version says the project's: the component once
// said a version of its own.
TEST(CliTest, ToolsAndComponentSayTheProjectVersion) {
  EXPECT_EQ(TBrontConverter::Version(), VANTREL_PROJECT_VERSION);
  std::string out;
  EXPECT_EQ(test::RunCommand(VANTREL_BATCH_PATH " --version", out), 0);
  EXPECT_EQ(out, "vantrel-batch " VANTREL_PROJECT_VERSION "\n");
  // Like --help, it needs no file and checks no value.
  EXPECT_EQ(test::RunCommand(VANTREL_BATCH_PATH " --version --size 1x1", out), 0) << out;
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
  EXPECT_EQ(RunCli("-ar 8000", out), 1);
  EXPECT_EQ(out, "vantrel-cli: Must supply at least one output file\n");
}

TEST(CliTest, UsageErrorsHelpAndVersion) {
  std::string out;
  EXPECT_EQ(RunCli("", out), 2);  // no arguments at all
  EXPECT_EQ(out.rfind("usage: vantrel-cli", 0), 0u) << out;
  EXPECT_EQ(RunCli("--bogus", out), 2);
  EXPECT_NE(out.find("usage: vantrel-cli"), std::string::npos);
  EXPECT_EQ(RunCli("-i", out), 2);
  for (const char* help : {"-h", "-help", "--help"}) {
    EXPECT_EQ(RunCli(help, out), 0) << help;
    EXPECT_NE(out.find("[--libdir DIR] [--unversioned]"), std::string::npos);
    EXPECT_NE(out.find("extension picks the container"), std::string::npos);
  }
  for (const char* version : {"-version", "--version"}) {
    EXPECT_EQ(RunCli(version, out), 0) << version;
    EXPECT_EQ(out.rfind("vantrel-cli " VANTREL_PROJECT_VERSION "\n", 0), 0u) << out;
    EXPECT_NE(out.find("libavcodec     59."), std::string::npos) << out;
    EXPECT_NE(out.find("libswresample  4."), std::string::npos) << out;
  }
}

// The five phone profiles of --help are ready to copy: each converts and
// gives the codecs it names in the container its extension names.
TEST(CliTest, HelpProfilesConvert) {
  const std::string in = test::Fixture("fps25_10s.avi");
  ASSERT_TRUE(fs::exists(in)) << in;
  std::string help;
  ASSERT_EQ(RunCli("--help", help), 0);
  test::TempDir dir;
  std::istringstream lines(help);
  std::string line;
  int profiles = 0;
  while (std::getline(lines, line)) {
    const auto at = line.find("vantrel-cli -i movie.avi ");
    if (at == std::string::npos) continue;
    std::string args = line.substr(at + std::string("vantrel-cli -i movie.avi ").size());
    const auto outAt = args.rfind(" out.");
    ASSERT_NE(outAt, std::string::npos) << line;
    const std::string out = dir / ("p" + std::to_string(profiles++) + args.substr(outAt + 4));
    args = "-i " + in + " " + args.substr(0, outAt) + " -t 1 " + out;
    std::string log;
    ASSERT_EQ(RunCli(args, log), 0) << args << "\n" << log;
    std::string probe;
    test::RunCommand("ffprobe -v error -show_entries stream=codec_name -of csv=p=0 '" + out + "'", probe);
    const bool amr = args.find("libopencore_amrnb") != std::string::npos;
    const bool h264 = args.find("libx264") != std::string::npos;
    EXPECT_EQ(probe, amr ? "h263\namr_nb\n" : h264 ? "h264\naac\n" : "mpeg4\naac\n") << args;
  }
  EXPECT_EQ(profiles, 7);
}

TEST(CliTest, ExistingOutputIsReplacedOnlyWithY) {
  const std::string in = test::Fixture("fps25_10s.avi");
  ASSERT_TRUE(fs::exists(in)) << in;
  test::TempDir dir;
  const std::string out = dir / "old.mp4";
  { std::ofstream(out) << "keep me"; }
  std::string log;
  EXPECT_EQ(RunCli("-i " + in + " -t 1 " + out, log), 1);
  EXPECT_EQ(log, "vantrel-cli: File '" + out + "' already exists. Use -y to overwrite.\n");
  EXPECT_EQ(RunCli("-n -i " + in + " -t 1 " + out, log), 1);
  EXPECT_NE(log.find("File '" + out + "' already exists."), std::string::npos) << log;
  EXPECT_EQ(fs::file_size(out), 7u);
  EXPECT_EQ(RunCli("-i " + in + " -t 1 -y " + out, log), 0) << log;
  EXPECT_GT(fs::file_size(out), 1000u);
}

TEST(CliTest, UnknownNamesAndRefusedValues) {
  const std::string in = test::Fixture("fps25_10s.avi");
  ASSERT_TRUE(fs::exists(in)) << in;
  test::TempDir dir;
  std::string log;
  EXPECT_EQ(RunCli("-i " + in + " -vcodex mpeg4 " + (dir / "a.mp4"), log), 2);
  EXPECT_EQ(log.rfind("vantrel-cli: Unrecognized option '-vcodex'\n", 0), 0u) << log;
  EXPECT_EQ(RunCli("-frobnicate 1 " + (dir / "a.mp4"), log), 2);
  EXPECT_EQ(log.rfind("vantrel-cli: Unrecognized option '-frobnicate'\n", 0), 0u) << log;
  // An unknown name takes the next argument along; it is still the name that
  // is reported, even when it took "-i" and the input then stands where an
  // existing output would.
  for (const std::string args : {"-stats -i " + in + " " + (dir / "a.mp4"), "-i " + in + " -stats " + (dir / "a.mp4"),
                                 "-y -stats -i " + in + " " + (dir / "a.mp4")}) {
    EXPECT_EQ(RunCli(args, log), 2) << args;
    EXPECT_EQ(log.rfind("vantrel-cli: Unrecognized option '-stats'\n", 0), 0u) << args << "\n" << log;
  }
  EXPECT_FALSE(fs::exists(dir / "a.mp4"));
  // Last on the line: an unknown name is still unknown; a known one lacks its value.
  EXPECT_EQ(RunCli("-i " + in + " " + (dir / "a.mp4") + " -frobnicate", log), 2);
  EXPECT_EQ(log.rfind("vantrel-cli: Unrecognized option '-frobnicate'\n", 0), 0u) << log;
  EXPECT_EQ(RunCli("-i " + in + " " + (dir / "a.mp4") + " -b", log), 2);
  EXPECT_EQ(log.rfind("vantrel-cli: -b needs a value\n", 0), 0u) << log;
  EXPECT_FALSE(fs::exists(dir / "a.mp4"));
  EXPECT_EQ(RunCli("-i " + in + " -g many " + (dir / "a.mp4"), log), 1);
  // Refused before the input is opened, so it is all the tool says.
  EXPECT_EQ(log, "vantrel-cli: Invalid value 'many' for option '-g'\n");
  EXPECT_FALSE(fs::exists(dir / "a.mp4"));
  // Library names, through the prefix rule and renamed ones still pass.
  EXPECT_EQ(RunCli("-i " + in + " -t 1 -g 12 -gop 12 -vb 64000 -ab 64000 -flags +aic " + (dir / "a.mp4"), log), 0)
      << log;
}

// "-" is standard output and input, as the libraries' "pipe:" is: no file
// of that name is written, nor is one that exists checked or replaced; the
// log stays off the stream.
TEST(CliTest, DashIsStandardOutputAndInput) {
  const std::string in = test::Fixture("fps25_10s.avi");
  ASSERT_TRUE(fs::exists(in)) << in;
  test::TempDir dir;
  const std::string cli = std::string(VANTREL_CLI_PATH);
  const std::string cd = "cd '" + dir.path().string() + "' && ";
  std::string out;
  ASSERT_EQ(test::RunCommand(cd + cli + " -i " + in + " -t 1 -f mpegts - 2>log | ffprobe -v error -show_entries "
                                        "stream=codec_type -of default=nw=1:nk=1 -",
                             out),
            0);
  // The transport stream lists its streams once more under its program.
  EXPECT_EQ(out.rfind("video\naudio\n", 0), 0u) << out;
  EXPECT_FALSE(fs::exists(dir / "-"));
  std::ifstream log(dir / "log");
  EXPECT_NE(std::string(std::istreambuf_iterator<char>(log), {}).find("time="), std::string::npos);

  { std::ofstream(dir / "-") << "keep me"; }
  ASSERT_EQ(test::RunCommand(cd + cli + " -i " + in + " -t 1 -f mpegts - 2>/dev/null | " + cli +
                                 " -i - p.mp4 2>/dev/null && ffprobe -v error -show_entries stream=codec_type -of "
                                 "default=nw=1:nk=1 p.mp4",
                             out),
            0);
  EXPECT_EQ(out, "video\naudio\n");
  EXPECT_EQ(fs::file_size(dir / "-"), 7u);
}

TEST(CliTest, RefusedFilesSayTheSystemsReason) {
  test::TempDir dir;
  std::string log;
  const std::string in = test::Fixture("fps25_10s.avi");
  ASSERT_TRUE(fs::exists(in)) << in;
  EXPECT_EQ(RunCli("-i " + in + " " + dir.path().string() + "/x/y.3gp", log), 1);
  EXPECT_NE(log.find("\nvantrel-cli: Could not open '" + dir.path().string() +
                     "/x/y.3gp': No such file or directory\n"), std::string::npos) << log;
  fs::create_directory(dir / "folder.avi");
  EXPECT_EQ(RunCli("-i " + (dir / "folder.avi") + " " + (dir / "out.3gp"), log), 1);
  EXPECT_NE(log.find("folder.avi"), std::string::npos) << log;
  EXPECT_NE(log.find("it is a folder, not a file"), std::string::npos) << log;
  EXPECT_EQ(RunCli("-i " + (dir / "none.avi") + " " + (dir / "out.3gp"), log), 1);
  EXPECT_EQ(log, "vantrel-cli: " + (dir / "none.avi") + ": no such file or directory\n");
}

TEST(CliTest, LibraryLinesRepeatedInARowAreCollapsed) {
  std::string written;
  cli::RepeatCollapser c([&](const std::string& t) { written += t; });
  c.Add("[h263 @ 0x1] a partial line ");
  for (int i = 0; i < 5; ++i) c.Add("[h263 @ 0x1] bad block\n");
  c.Add("other\n");
  c.Add("other\n");
  c.Flush();
  EXPECT_EQ(written,
            "[h263 @ 0x1] a partial line [h263 @ 0x1] bad block\n    Last message repeated 4 times\n"
            "other\n    Last message repeated 1 times\n");
}

// What a terminal shows for the bytes written to it: '\r' returns to the
// start of the line and what follows overwrites it.
std::vector<std::string> TerminalLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string line;
  size_t column = 0;
  for (char c : bytes) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      lines.push_back(line);
      line.clear();
      column = 0;
    } else {
      if (column < line.size()) line[column] = c;
      else line += c;
      ++column;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// On a terminal a library line that comes while the progress line is drawn
// takes a line of its own, and the progress line is drawn again below it: no
// line shows both, and no stale progress line is left above a library line.
TEST(CliTest, LibraryLinesKeepOffTheProgressLineOnATerminal) {
  const std::string in = test::Fixture("corrupt_middle.avi");
  ASSERT_TRUE(fs::exists(in)) << in;
  test::TempDir dir;
  const std::string cli = std::string(VANTREL_CLI_PATH) + " -re -i " + in + " -y " + (dir / "out.mp4");
  std::string bytes;
  ASSERT_EQ(test::RunCommand("script -qec '" + cli + "' /dev/null", bytes), 0) << bytes;
  const auto lines = TerminalLines(bytes);
  int libraryLines = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("[", 0) != 0 || lines[i].find(" @ ") == std::string::npos) continue;
    ++libraryLines;
    EXPECT_EQ(lines[i].find("frame="), std::string::npos) << lines[i];
    EXPECT_EQ(lines[i].find("size="), std::string::npos) << lines[i];
    if (i > 0) {
      EXPECT_EQ(lines[i - 1].find("frame="), std::string::npos) << lines[i - 1];
    }
  }
  EXPECT_GT(libraryLines, 0) << bytes;
  EXPECT_NE(bytes.find("frame="), std::string::npos) << bytes;
}

// The libraries' information lines (the report of an opened input among
// them) show from verbosity 0 up, as they always have; -v -1 hides them.
TEST(CliTest, LibraryInformationShowsFromVerbosityZero) {
  const std::string in = test::Fixture("fps25_10s.avi");
  ASSERT_TRUE(fs::exists(in)) << in;
  test::TempDir dir;
  std::string log;
  for (const char* verbosity : {"0", "1", "-1"}) {
    ASSERT_EQ(RunCli(std::string("-v ") + verbosity + " -i " + in + " -t 1 " + (dir / "a.mp4") + " -y", log), 0)
        << log;
    EXPECT_EQ(log.find("Input #0, avi, from") != std::string::npos, verbosity[0] != '-') << verbosity << "\n" << log;
  }
}

// The example in the header of the script that builds and runs the tool
// converts as written.
TEST(CliTest, ScriptExampleConverts) {
  const std::string in = test::Fixture("fps25_10s.avi");
  ASSERT_TRUE(fs::exists(in)) << in;
  std::ifstream script(std::string(VANTREL_SOURCE_DIR) + "/scripts/vantrel.sh");
  std::string line, example;
  while (std::getline(script, line))
    if (line.find("bash scripts/vantrel.sh cli -i movie.avi") != std::string::npos) example = line;
  ASSERT_FALSE(example.empty());
  std::string args = example.substr(example.find("-i movie.avi") + std::string("-i movie.avi").size());
  ASSERT_EQ(args.substr(args.size() - 10), " movie.3gp");
  test::TempDir dir;
  args = "-i " + in + args.substr(0, args.size() - 10) + " -t 1 " + (dir / "movie.3gp");
  std::string log;
  EXPECT_EQ(RunCli(args, log), 0) << args << "\n" << log;
}

TEST(CliArgumentsTest, StepsKeepTheirOrderAndFlagsTakeNoValue) {
  auto noValue = [](const std::string& n) { return n == "y" || n == "newaudio"; };
  const auto a = cli::ParseArguments(
      {"--libdir", "/x", "-vcodec", "mpeg4", "-i", "in.avi", "-y", "-newaudio", "out.3gp", "-", "b.mp4"},
      noValue);
  EXPECT_EQ(a.libDir, "/x");
  EXPECT_EQ(a.overwrite, cli::Overwrite::Always);  // the tool's own, not a step
  ASSERT_EQ(a.steps.size(), 6u);
  EXPECT_EQ(a.steps[0].kind, cli::Step::Option);
  EXPECT_EQ(a.steps[0].name, "vcodec");
  EXPECT_EQ(a.steps[0].value, "mpeg4");
  EXPECT_EQ(a.steps[1].kind, cli::Step::Input);
  EXPECT_EQ(a.steps[1].value, "in.avi");
  EXPECT_EQ(a.steps[2].name, "newaudio");
  EXPECT_EQ(a.steps[3].kind, cli::Step::Output);
  EXPECT_EQ(a.steps[4].kind, cli::Step::Output);
  EXPECT_EQ(a.steps[4].value, "-");  // a lone dash is a file name
  EXPECT_EQ(a.steps[5].value, "b.mp4");
  EXPECT_EQ(cli::ParseArguments({"-y", "-n", "x.mp4"}, noValue).overwrite, cli::Overwrite::Never);
  EXPECT_THROW(cli::ParseArguments({"-i"}, noValue), std::invalid_argument);
  // The engine's option without its value is kept, for the name to be checked first.
  const auto last = cli::ParseArguments({"-i", "in.avi", "out.mp4", "-vcodec"}, noValue);
  ASSERT_EQ(last.steps.size(), 3u);
  EXPECT_TRUE(last.steps[2].valueMissing);
  EXPECT_EQ(last.steps[2].name, "vcodec");
  EXPECT_FALSE(last.steps[0].valueMissing);
}

}  // namespace
}  // namespace vantrel
