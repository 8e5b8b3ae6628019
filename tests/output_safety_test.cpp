// What a job does to the files at its output names, through real small
// conversions: a replaced file keeps its permissions and owner; a failed,
// refused or unwanted stopped output leaves the old file byte for byte and
// no temporary behind, whatever the length of its name; numbering never
// replaces; temporaries of killed runs are cleared and those of living ones
// are not. And inputs that must stay local never open a connection.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "converter/av_probe.h"
#include "engine/engine.h"
#include "engine/output/staging_file.h"
#include "test_support.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;
using Collision = TCustomFFmpeg::TOutputCollision;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::set<std::string> Names(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// A short conversion of a real fixture: half a second of small MPEG-4 video.
// Before() runs once the engine is set up; Progress() at the first report,
// while the output is being written under its temporary name.
struct Conversion {
  Collision collision = Collision::Replace;
  bool keepStopped = true;
  std::vector<std::pair<std::string, std::string>> outputOptions;
  std::function<void(TCustomFFmpeg&)> progress;
};

struct Outcome {
  bool opened = false;
  bool completed = false;
  bool error = false;
  std::string message;
  std::string finalName;
};

Outcome Convert(const std::string& out, const Conversion& c) {
  TCustomFFmpeg e;
  e.ResetEngine();
  e.SetOutputCollision(c.collision);
  e.SetKeepStoppedOutput(c.keepStopped);
  e.SetReportInterval(0);
  bool reported = false;
  e.SetOnProgress([&](TCustomFFmpeg* sender, int, int, int, float, float, int64_t, int) {
    if (!reported && c.progress) c.progress(*sender);
    reported = true;
  });
  Outcome o;
  EXPECT_TRUE(e.OpenInputFile(Fixture("avi_mpeg4.avi"))) << e.LastError();
  for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{{"an", ""}, {"t", "0.5"}, {"s", "64x48"}})
    e.SetOption(name, value);
  for (const auto& [name, value] : c.outputOptions) e.SetOption(name, value);
  o.opened = e.OpenOutputFile(out);
  if (!o.opened) {
    o.message = e.LastError();
    return o;
  }
  e.StartJob(false);
  o.completed = e.Result().Completed;
  o.error = e.Result().ErrorOccurred;
  o.message = e.Result().ErrorMessage;
  o.finalName = e.FinalOutputName(0);
  return o;
}

class OutputSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureLibrariesLoaded();
    ASSERT_TRUE(FixturesAvailable());
  }
  TempDir tmp;
};

// A replaced file keeps what its owner gave it; a new one gets the umask's mode.
TEST_F(OutputSafetyTest, ReplacingKeepsPermissionsAndOwner) {
  struct Case {
    const char* name;
    bool existing;
    mode_t mode;
    uid_t owner;  // (uid_t)-1: the test's own
  };
  const uid_t self = uid_t(-1);
  std::vector<Case> cases = {{"private.avi", true, 0600, self}, {"shared.avi", true, 0754, self}, {"new.avi", false, 0, self}};
  // Giving a file away needs the privilege to do so.
  if (::geteuid() == 0) cases.push_back({"foreign.avi", true, 0640, 4321});
  for (const Case& c : cases) {
    const std::string out = tmp / c.name;
    if (c.existing) {
      WriteFile(out, "old");
      ASSERT_EQ(::chmod(out.c_str(), c.mode), 0);
      if (c.owner != self) {
        ASSERT_EQ(::chown(out.c_str(), c.owner, c.owner), 0);
      }
    }
    const Outcome o = Convert(out, {});
    ASSERT_TRUE(o.completed) << c.name << ": " << o.message;
    EXPECT_GT(fs::file_size(out), 1000u) << c.name;
    EXPECT_EQ(ModeOf(out), c.existing ? c.mode : NewFileMode()) << c.name;
    struct stat st {};
    ASSERT_EQ(::stat(out.c_str(), &st), 0);
    if (c.owner != self) {
      EXPECT_EQ(st.st_uid, c.owner) << c.name;
      EXPECT_EQ(st.st_gid, gid_t(c.owner)) << c.name;
    } else {
      EXPECT_EQ(st.st_uid, ::geteuid()) << c.name;
    }
  }
  std::set<std::string> expected;
  for (const Case& c : cases) expected.insert(c.name);
  EXPECT_EQ(Names(tmp.path()), expected) << "no temporary is left";
}

// Whatever ends a job without a kept output, the file at its name is the old
// one byte for byte and the folder holds nothing else: for a name of 250
// bytes too, whose temporary could not be named after it.
TEST_F(OutputSafetyTest, AnOutputThatIsNotKeptLeavesTheOldFileAndNoTemporary) {
  const std::string longName = std::string(246, 'n') + ".mp4";
  ASSERT_EQ(longName.size(), 250u);
  auto stop = [](TCustomFFmpeg& e) { e.RequestStop(); };
  struct Case {
    const char* what;
    std::string name;
    Conversion conversion;
    bool kept;  // whether the job's output takes the name
    bool completes;
  };
  const std::vector<Case> cases = {
      // MP4 has no tag for raw video: the header, written to the temporary, fails.
      {"header fails, long name", longName, {Collision::Replace, true, {{"vcodec", "rawvideo"}}, {}}, false, false},
      {"header fails", "short.mp4", {Collision::Replace, true, {{"vcodec", "rawvideo"}}, {}}, false, false},
      {"stopped, stopped outputs dropped", "stopped.avi", {Collision::Replace, false, {}, stop}, false, false},
      {"stopped, long name, dropped", std::string(246, 's') + ".avi", {Collision::Replace, false, {}, stop}, false,
       false},
      // The command-line transcoder's way: a stopped job's closed output is kept.
      {"stopped, stopped outputs kept", "kept.avi", {Collision::Replace, true, {}, stop}, true, false},
      {"completed, long name", std::string(246, 'c') + ".avi", {}, true, true},
  };
  const std::string old(5000, 'o');
  for (const Case& c : cases) {
    TempDir dir;
    const std::string out = dir / c.name;
    WriteFile(out, old);
    const Outcome o = Convert(out, c.conversion);
    ASSERT_TRUE(o.opened) << c.what << ": " << o.message;
    EXPECT_EQ(o.completed, c.completes) << c.what;
    if (c.kept) {
      EXPECT_FALSE(o.error) << c.what << ": " << o.message;
      EXPECT_GT(fs::file_size(out), 1000u) << c.what;
      EXPECT_NE(ReadAll(out), old) << c.what;
    } else {
      EXPECT_EQ(ReadAll(out), old) << c.what;
    }
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{c.name}) << c.what;
  }
}

// A file that appears at the name while the job runs: Replace takes the
// name, Refuse fails and keeps it, Number keeps it and takes "(1)".
TEST_F(OutputSafetyTest, AFileThatAppearsDuringTheJobIsKeptUnlessReplacing) {
  struct Case {
    Collision collision;
    bool fails;
    const char* finalName;
  };
  const Case cases[] = {{Collision::Replace, false, "out.avi"}, {Collision::Refuse, true, "out.avi"},
                        {Collision::Number, false, "out(1).avi"}};
  for (const Case& c : cases) {
    TempDir dir;
    const std::string out = dir / "out.avi";
    Conversion conversion;
    conversion.collision = c.collision;
    conversion.progress = [&](TCustomFFmpeg&) { WriteFile(out, "appeared"); };
    const Outcome o = Convert(out, conversion);
    EXPECT_EQ(o.error, c.fails) << int(c.collision) << ": " << o.message;
    EXPECT_EQ(o.completed, !c.fails) << int(c.collision);
    EXPECT_EQ(o.finalName, dir / c.finalName) << int(c.collision);
    if (c.fails) {
      EXPECT_EQ(o.message, "File '" + out + "' already exists");
    }
    if (c.collision == Collision::Replace) {
      EXPECT_NE(ReadAll(out), "appeared");
      EXPECT_EQ(Names(dir.path()), std::set<std::string>{"out.avi"});
    } else {
      EXPECT_EQ(ReadAll(out), "appeared") << int(c.collision);
      std::set<std::string> expected{"out.avi"};
      if (!c.fails) expected.insert(c.finalName);
      EXPECT_EQ(Names(dir.path()), expected) << int(c.collision);
    }
  }
}

// A name taken before the job starts: Refuse fails before writing anything.
TEST_F(OutputSafetyTest, RefuseFailsAtOnceWhenTheNameIsTaken) {
  const std::string out = tmp / "taken.avi";
  WriteFile(out, "mine");
  const Outcome o = Convert(out, {Collision::Refuse, true, {}, {}});
  EXPECT_TRUE(o.error);
  EXPECT_EQ(o.message, "File '" + out + "' already exists");
  EXPECT_EQ(ReadAll(out), "mine");
  EXPECT_EQ(Names(tmp.path()), std::set<std::string>{"taken.avi"});
}

// Numbering counts on from the names that are taken, and from a number the
// name already has, never appending a second one.
TEST_F(OutputSafetyTest, NumberingTakesTheFirstFreeName) {
  struct Step {
    const char* given;
    const char* taken;
  };
  WriteFile(tmp / "clip(7).avi", "seven");
  WriteFile(tmp / "b.c.avi", "dots");
  const Step steps[] = {{"a.avi", "a.avi"},       {"a.avi", "a(1).avi"},       {"a.avi", "a(2).avi"},
                        {"clip(7).avi", "clip(8).avi"}, {"clip(7).avi", "clip(9).avi"}, {"b.c.avi", "b.c(1).avi"},
                        {"noext", "noext"},       {"noext", "noext(1)"}};
  for (const Step& s : steps) {
    Conversion conversion{Collision::Number, true, {}, {}};
    if (std::string(s.given) == "noext") conversion.outputOptions = {{"f", "avi"}};
    const Outcome o = Convert(tmp / s.given, conversion);
    ASSERT_TRUE(o.completed) << s.given << ": " << o.message;
    EXPECT_EQ(o.finalName, tmp / s.taken) << s.given;
    EXPECT_GT(fs::file_size(tmp / s.taken), 1000u) << s.taken;
  }
  EXPECT_EQ(ReadAll(tmp / "clip(7).avi"), "seven");
  EXPECT_EQ(ReadAll(tmp / "b.c.avi"), "dots");
  EXPECT_EQ(Names(tmp.path()).size(), 10u) << "only the outputs and the two old files";
}

// A process that is gone: forked, exited and reaped.
pid_t DeadPid() {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(0);
  ::waitpid(pid, nullptr, 0);
  return pid;
}

std::string StagingName(pid_t pid, const char* letters = "abcdef") {
  return ".vantrel-" + std::to_string(pid) + "-" + letters + ".part";
}

// A child that creates and locks a staging file and keeps it until killed.
pid_t LockingChild(const fs::path& dir) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    const std::string name = (dir / StagingName(::getpid(), "child1")).string();
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd >= 0 && ::flock(fd, LOCK_EX) == 0 && ::write(ready[1], "k", 1) == 1) ::pause();
    ::_exit(1);
  }
  ::close(ready[1]);
  char byte = 0;
  const bool started = ::read(ready[0], &byte, 1) == 1;
  ::close(ready[0]);
  return started ? pid : -1;
}

TEST_F(OutputSafetyTest, LeftoverTemporariesOfDeadRunsGoAndOthersStay) {
  const pid_t dead = DeadPid();
  const pid_t child = LockingChild(tmp.path());
  ASSERT_GT(child, 0);
  struct File {
    std::string name;
    bool removed;
  };
  const std::vector<File> files = {
      {StagingName(dead), true},
      {StagingName(dead, "Z9z9Z9"), true},
      {StagingName(::getpid(), "mine00"), false},  // a living process: this one
      {StagingName(dead, "held00"), false},        // its lock is held (below)
      {StagingName(dead, "abc"), false},           // not the pattern: too short
      {StagingName(dead) + "x", false},
      {"x" + StagingName(dead), false},
      {".vantrel-" + std::to_string(dead) + ".part", false},
      {".vantrel-x" + std::to_string(dead) + "-abcdef.part", false},
      {"movie.avi", false},
  };
  for (const File& f : files) WriteFile(tmp / f.name, "left");
  const UniqueFd held(::open((tmp / StagingName(dead, "held00")).c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(::flock(held.Get(), LOCK_EX), 0);
  // This run's own staging file, locked as a job holds it.
  TStagingFile own = CreateStagingFile(tmp.path());
  ASSERT_FALSE(own.Path.empty());

  const Outcome o = Convert(tmp / "out.avi", {});
  EXPECT_TRUE(o.completed) << o.message;
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);

  const std::set<std::string> left = Names(tmp.path());
  for (const File& f : files) EXPECT_EQ(left.count(f.name), f.removed ? 0u : 1u) << f.name;
  EXPECT_EQ(left.count(StagingName(child, "child1")), 1u) << "the child held its lock while the job ran";
  EXPECT_EQ(left.count(fs::path(own.Path).filename().string()), 1u);
  EXPECT_EQ(left.count("out.avi"), 1u);
  pid_t pid = 0;
  EXPECT_TRUE(IsStagingName(fs::path(own.Path).filename().string(), pid));
  EXPECT_EQ(pid, ::getpid());
}

// The current folder for as long as the object lives.
class InFolder {
 public:
  explicit InFolder(const fs::path& dir) : saved_(fs::current_path()) { fs::current_path(dir); }
  ~InFolder() {
    std::error_code ec;
    fs::current_path(saved_, ec);
  }

 private:
  fs::path saved_;
};

// A listening socket on 127.0.0.1 that tells whether anything connected.
class Listener {
 public:
  Listener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd_.Get(), reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(fd_.Get(), 8) != 0 ||
        ::getsockname(fd_.Get(), reinterpret_cast<sockaddr*>(&a), &len) != 0)
      return;
    port_ = ntohs(a.sin_port);
  }
  int Port() const { return port_; }
  // Whether a connection waits to be accepted, looking for a short while.
  bool Connected() const {
    pollfd p{fd_.Get(), POLLIN, 0};
    return ::poll(&p, 1, 100) > 0;
  }
  void ConnectToIt() const {
    const UniqueFd c(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port_));
    EXPECT_EQ(::connect(c.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  }

 private:
  UniqueFd fd_;
  int port_ = 0;
};

TEST_F(OutputSafetyTest, LocalInputsNeverConnect) {
  Listener listener;
  ASSERT_GT(listener.Port(), 0);
  const std::string address = "127.0.0.1:" + std::to_string(listener.Port());
  WriteFile(tmp / "hls.avi", "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\nhttp://" + address +
                                 "/x.ts\n#EXT-X-ENDLIST\n");
  WriteFile(tmp / "concat.avi", "ffconcat version 1.0\nfile 'http://" + address + "/x.avi'\n");
  const InFolder in(tmp.path());
  const std::string names[] = {"hls.avi", tmp / "hls.avi", "concat.avi", "tcp://" + address,
                               "http://" + address + "/x.avi", "cache:http://" + address + "/x.avi"};
  for (const std::string& name : names) {
    TCustomFFmpeg e;
    e.ResetEngine();
    e.SetLocalInputsOnly(true);
    EXPECT_FALSE(e.OpenInputFile(name)) << name;
    TAVProbe probe;
    probe.LocalFileOnly = true;
    EXPECT_FALSE(probe.OpenFile(name)) << name;
    EXPECT_FALSE(probe.OpenFile(name, "hls")) << name;
    EXPECT_FALSE(listener.Connected()) << name;
  }
  // The listener would have seen one.
  listener.ConnectToIt();
  EXPECT_TRUE(listener.Connected());
}

// Names that look like protocol addresses are files of that name.
TEST_F(OutputSafetyTest, ALocalInputNamedLikeAProtocolOpens) {
  fs::copy_file(Fixture("avi_mpeg4.avi"), tmp / "cache:x.avi");
  // SWF states no length: it is measured by a second open, local as well.
  fs::copy_file(Fixture("swf.swf"), tmp / "http:x.swf");
  const InFolder in(tmp.path());
  struct Case {
    std::string name;
    bool local;
    bool opens;
  };
  const Case cases[] = {{"cache:x.avi", true, true}, {"http:x.swf", true, true}, {"cache:x.avi", false, false}};
  for (const Case& c : cases) {
    TCustomFFmpeg e;
    e.ResetEngine();
    e.SetLocalInputsOnly(c.local);
    EXPECT_EQ(e.OpenInputFile(c.name), c.opens) << c.name << ": " << e.LastError();
    TAVProbe probe;
    probe.LocalFileOnly = c.local;
    EXPECT_EQ(probe.OpenFile(c.name), c.opens) << c.name;
    if (!c.opens) continue;
    EXPECT_GT(e.Result().DurationMs, 3500) << c.name;
    EXPECT_EQ(probe.VideoCount(), 1) << c.name;
    e.SetOption("an", "");
    e.SetOption("t", "0.3");
    ASSERT_TRUE(e.OpenOutputFile("out.avi")) << e.LastError();
    e.StartJob(false);
    EXPECT_TRUE(e.Result().Completed) << c.name << ": " << e.Result().ErrorMessage;
    EXPECT_GT(fs::file_size(tmp / "out.avi"), 1000u);
  }
}

}  // namespace
}  // namespace vantrel::test
