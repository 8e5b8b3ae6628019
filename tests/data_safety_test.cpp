// The batch never loses a file: vantrel-batch (the window's batch logic
// without the window) run on real fixtures against every way a user's file
// could be replaced, truncated, left half-written or made readable to
// others, one row per case.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "test_support.h"
#include "build_paths.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

double Duration(const fs::path& file) {
  std::string out;
  if (test::RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + file.string() + "'", out) != 0)
    return -1;
  return std::atof(out.c_str());
}

// Hidden temporary files of a conversion left in a folder.
int Leftovers(const fs::path& folder) {
  int n = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind(".vantrel-", 0) == 0) ++n;
  return n;
}

// What every case's script can use: B runs vantrel-batch with its own
// settings and a time limit, run the same as a process of its own to send
// signals to, slow makes a conversion last seconds, and
// waitwrite waits until a conversion in folder $1 has written pictures.
std::string Preamble(const test::TempDir& dir) {
  return "cd '" + dir.path().string() + "' && F='" + test::FixturesDir() +
         "' && B() { XDG_CONFIG_HOME=\"$PWD/config\" timeout 120 " VANTREL_BATCH_PATH
         " \"$@\" </dev/null; }; "
         "run() { XDG_CONFIG_HOME=\"$PWD/config\" exec " VANTREL_BATCH_PATH " \"$@\" </dev/null; }; "
         "slow='--profile 4 --size 704x576 --frame-rate 60 --video-bitrate 512'; "
         "waitwrite() { for i in $(seq 1200); do for f in \"$1\"/.vantrel-*; do "
         "[ -f \"$f\" ] && [ $(stat -c %s \"$f\") -ge 1000 ] && return 0; done; sleep 0.05; done; return 1; }; "
         "echo precious > precious.txt; ";
}

struct Case {
  const char* name;
  std::string script;
  std::function<void(const fs::path& dir, int status, const std::string& output)> check;
};

void ExpectConverted(const fs::path& file, double seconds) {
  EXPECT_NEAR(Duration(file), seconds, 0.6) << file;
}

TEST(DataSafety, NoFileIsEverLost) {
  ASSERT_TRUE(test::FixturesAvailable());
  const std::string original = Contents(test::Fixture("mp4.mp4"));
  const std::string longName(246, 'n');
  const std::vector<Case> cases = {
      {"an output never lands on another row's input, in the same folder",
       "cp $F/avi_mpeg4.avi movie.avi && cp $F/mp4.mp4 movie.mp4 && "
       "B --profile 4 --overwrite --output-folder . movie.avi movie.mp4",
       [&](const fs::path& d, int status, const std::string& out) {
         EXPECT_EQ(status, 0) << out;
         EXPECT_EQ(Contents(d / "movie.mp4"), original);
         ExpectConverted(d / "movie(1).mp4", 4.0);
         EXPECT_GT(Duration(d / "movie(2).mp4"), 0.5);
       }},
      {"... through a link to the folder",
       "cp $F/avi_mpeg4.avi movie.avi && cp $F/mp4.mp4 movie.mp4 && ln -s . link && "
       "B --profile 4 --overwrite --output-folder link movie.avi movie.mp4",
       [&](const fs::path& d, int status, const std::string& out) {
         EXPECT_EQ(status, 0) << out;
         EXPECT_EQ(Contents(d / "movie.mp4"), original);
         ExpectConverted(d / "movie(1).mp4", 4.0);
       }},
      {"... through a hard link",
       "mkdir in out && cp $F/mp4.mp4 in/clip.mp4 && ln in/clip.mp4 out/clip.mp4 && "
       "B --profile 4 --overwrite --output-folder out in/clip.mp4",
       [&](const fs::path& d, int status, const std::string& out) {
         EXPECT_EQ(status, 0) << out;
         EXPECT_EQ(Contents(d / "in/clip.mp4"), original);
         EXPECT_GT(Duration(d / "out/clip(1).mp4"), 0.5);
       }},
      {"... spelled with ./ and ..",
       "mkdir sub && cp $F/avi_mpeg4.avi movie.avi && cp $F/mp4.mp4 movie.mp4 && "
       "B --profile 4 --overwrite --output-folder ./sub/.. ./movie.mp4 sub/../movie.avi",
       [&](const fs::path& d, int status, const std::string& out) {
         EXPECT_EQ(status, 0) << out;
         EXPECT_EQ(Contents(d / "movie.mp4"), original);
         EXPECT_TRUE(fs::exists(d / "movie(1).mp4") && fs::exists(d / "movie(2).mp4")) << out;
       }},
      {"two batches into one folder with the same names",
       "mkdir out && (B --no-overwrite --profile 1 --output-folder out $F/avi_mpeg4.avi > one.txt 2>&1 & "
       "B --no-overwrite --profile 1 --output-folder out $F/avi_mpeg4.avi > two.txt 2>&1; wait) && "
       "cat one.txt two.txt",
       [&](const fs::path& d, int status, const std::string& out) {
         EXPECT_EQ(status, 0) << out;
         ExpectConverted(d / "out/avi_mpeg4.3gp", 4.0);
         ExpectConverted(d / "out/avi_mpeg4(1).3gp", 4.0);
         // Each says the name it really took.
         EXPECT_NE(out.find("-> " + (d / "out/avi_mpeg4.3gp").string()), std::string::npos) << out;
         EXPECT_NE(out.find("-> " + (d / "out/avi_mpeg4(1).3gp").string()), std::string::npos) << out;
       }},
      {"a file made at the output name while converting, without overwrite",
       "mkdir out && (B $slow --no-overwrite --output-folder out $F/fps25_40s.avi > log.txt 2>&1 & "
       "waitwrite out && cp precious.txt out/fps25_40s.mp4; wait) ; cat log.txt",
       [&](const fs::path& d, int status, const std::string& out) {
         EXPECT_EQ(status, 0) << out;
         EXPECT_EQ(Contents(d / "out/fps25_40s.mp4"), "precious\n");
         ExpectConverted(d / "out/fps25_40s(1).mp4", 40.0);
         EXPECT_NE(out.find("-> " + (d / "out/fps25_40s(1).mp4").string()), std::string::npos) << out;
       }},
      {"Ctrl-C with an existing output and overwrite on",
       "mkdir out && cp precious.txt out/fps25_40s.mp4 && "
       "(run $slow --overwrite --output-folder out $F/fps25_40s.avi > log.txt 2>&1 & p=$!; "
       "waitwrite out; kill -INT $p; wait $p; echo status $?) ; cat log.txt",
       [&](const fs::path& d, int, const std::string& out) {
         EXPECT_NE(out.find("status 130"), std::string::npos) << out;
         EXPECT_EQ(Contents(d / "out/fps25_40s.mp4"), "precious\n");
         EXPECT_NE(out.find("Stopped"), std::string::npos) << out;
         EXPECT_EQ(Leftovers(d / "out"), 0);
       }},
      {"a private file replaced keeps its permissions",
       "mkdir out && cp precious.txt out/avi_mpeg4.3gp && chmod 600 out/avi_mpeg4.3gp && "
       "B --profile 1 --overwrite --output-folder out $F/avi_mpeg4.avi",
       [&](const fs::path& d, int status, const std::string& out) {
         EXPECT_EQ(status, 0) << out;
         ExpectConverted(d / "out/avi_mpeg4.3gp", 4.0);
         struct stat st {};
         ASSERT_EQ(::stat((d / "out/avi_mpeg4.3gp").c_str(), &st), 0);
         EXPECT_EQ(st.st_mode & 07777, 0600u);
       }},
      {"a 250-byte output name survives a killed run, whose leftovers the next run removes",
       "mkdir out && cp $F/fps25_40s.avi " + longName + ".avi && cp precious.txt out/" + longName +
           ".mp4 && (run $slow --overwrite --output-folder out " + longName +
           ".avi > log.txt 2>&1 & p=$!; waitwrite out; kill -KILL $p; wait $p; "
           "ls -a out | grep -c '^[.]vantrel-' > killed.txt) ; "
           "sleep 30 & live=$!; touch out/.vantrel-$live-abcdef.part; "
           "B --profile 1 --output-folder out $F/avi_mpeg4.avi; kill $live",
       [&](const fs::path& d, int status, const std::string& out) {
         EXPECT_EQ(status, 0) << out;
         EXPECT_EQ(Contents(d / ("out/" + longName + ".mp4")), "precious\n");
         EXPECT_EQ(Contents(d / "killed.txt"), "1\n") << "the killed run left its temporary file";
         // The dead run's file is gone; the living process's stays.
         EXPECT_EQ(Leftovers(d / "out"), 1);
       }},
      {"a FIFO is refused at Add, the other files convert",
       "mkfifo pipe.avi && B --profile 1 --output-folder out pipe.avi $F/avi_mpeg4.avi",
       [&](const fs::path& d, int status, const std::string& out) {
         EXPECT_EQ(status, 1) << out;
         EXPECT_NE(out.find("not a regular file"), std::string::npos) << out;
         ExpectConverted(d / "out/avi_mpeg4.3gp", 4.0);
       }},
      {"cache:x.avi is a file of that name",
       "cp $F/avi_mpeg4.avi cache:x.avi && B --profile 1 --output-folder out cache:x.avi",
       [&](const fs::path& d, int status, const std::string& out) {
         EXPECT_EQ(status, 0) << out;
         ExpectConverted(d / "out/cache:x.3gp", 4.0);
       }},
      {"a playlist naming a network address fails without connecting",
       "python3 -c 'import socket,sys\n"
       "s=socket.socket(); s.bind((\"127.0.0.1\",0)); s.listen(4); print(s.getsockname()[1], flush=True)\n"
       "s.settimeout(20)\n"
       "try:\n  s.accept(); print(\"connected\", flush=True)\nexcept Exception: pass' > port.txt & l=$!; "
       "for i in $(seq 100); do [ -s port.txt ] && break; sleep 0.05; done; port=$(head -1 port.txt); "
       "printf '#EXTM3U\\n#EXT-X-TARGETDURATION:2\\n#EXTINF:2,\\nhttp://127.0.0.1:%s/x.ts\\n#EXT-X-ENDLIST\\n' $port > "
       "list.avi; printf 'ffconcat version 1.0\\nfile http://127.0.0.1:%s/y.avi\\n' $port > concat.avi; "
       "B --profile 1 --output-folder out list.avi concat.avi; echo status $?; kill $l; wait $l; cat port.txt",
       [&](const fs::path&, int, const std::string& out) {
         EXPECT_NE(out.find("status 1"), std::string::npos) << out;
         EXPECT_EQ(out.find("connected"), std::string::npos) << out;
         EXPECT_NE(out.find("Refused"), std::string::npos) << out;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    std::string output;
    const int status = test::RunCommand(Preamble(dir) + c.script, output);
    c.check(dir.path(), status, output);
  }
}

// A full disk fails the row and keeps the file it would have replaced.
TEST(DataSafety, FullDiskKeepsTheExistingOutput) {
  ASSERT_TRUE(test::FixturesAvailable());
  test::TempDir dir;
  const fs::path small = dir.path() / "small";
  fs::create_directories(small);
  if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "no small file system to fill: mounting a tmpfs needs root (" << std::strerror(errno) << ")";
  std::ofstream(small / "fps25_40s.mp4") << "precious\n";
  std::string output;
  const int status = test::RunCommand(Preamble(dir) + "B --profile 4 --overwrite --output-folder small " +
                                          test::Fixture("fps25_40s.avi"),
                                      output);
  EXPECT_EQ(status, 1) << output;
  EXPECT_EQ(Contents(small / "fps25_40s.mp4"), "precious\n");
  EXPECT_EQ(Leftovers(small), 0);
  ::umount(small.c_str());
}

}  // namespace
}  // namespace vantrel
