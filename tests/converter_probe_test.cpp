// The media probe: opening and refusing files, the stream summary, the file
// information, contexts borrowed from another owner and the library check.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "binding/av_binding.h"
#include "binding/av_ptr.h"
#include "converter/av_probe.h"
#include "test_support.h"

namespace vantrel {
namespace {

using test::Fixture;
using test::FixturesAvailable;
using test::FixturesDir;

struct Counters {
  int streams, programs, audio, video, subtitle, firstAudio, firstVideo, firstSubtitle;
  bool operator==(const Counters&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Counters& c) {
  return os << "streams " << c.streams << " programs " << c.programs << " audio " << c.audio << "@"
            << c.firstAudio << " video " << c.video << "@" << c.firstVideo << " subtitle " << c.subtitle
            << "@" << c.firstSubtitle;
}

Counters Summary(const TAVProbe& p) {
  return {p.StreamCount(),   p.ProgramCount(), p.AudioCount(), p.VideoCount(),
          p.SubtitleCount(), p.FirstAudio(),   p.FirstVideo(), p.FirstSubtitle()};
}

constexpr Counters kEmpty{-1, -1, -1, -1, -1, -1, -1, -1};
// audio_first.mp4: two audio streams, then the video.
constexpr Counters kAudioFirst{3, 0, 2, 1, 0, 0, 2, -1};

bool AllZero(const char* field, size_t size) {
  for (size_t i = 0; i < size; ++i)
    if (field[i] != 0) return false;
  return true;
}

// Library lines written with no context, while a test listens. The callback
// stays installed afterwards and prints what the default one would.
struct LibraryLine {
  int level;
  std::string text;
};
std::mutex gLinesLock;
std::vector<LibraryLine>* gLines = nullptr;

void ListenToLibrary(void* avcl, int level, const char* fmt, va_list vl) {
  char text[1024];
  std::vsnprintf(text, sizeof text, fmt, vl);
  std::lock_guard<std::mutex> lock(gLinesLock);
  if (gLines && !avcl)
    gLines->push_back({level, text});
  else if (level <= AV_LOG_INFO)
    std::fputs(text, stderr);
}

class LibraryLines {
 public:
  LibraryLines() {
    std::lock_guard<std::mutex> lock(gLinesLock);
    gLines = &lines;
    lav::av_log_set_callback(ListenToLibrary);
  }
  ~LibraryLines() {
    std::lock_guard<std::mutex> lock(gLinesLock);
    gLines = nullptr;
  }
  std::vector<LibraryLine> lines;
};

TEST(ProbeOpen, RefusalsGiveTheirReasonAndLeaveTheProbeEmpty) {
  ASSERT_TRUE(FixturesAvailable());
  struct Case {
    std::string file;
    std::string format;
    std::string message;
  };
  const std::string missing = FixturesDir() + "/no_such_file.avi";
  const std::vector<Case> cases = {
      {missing, "", missing + ": no such file or directory"},
      // The name is refused before the file is looked at: a missing file
      // would otherwise say so.
      {missing, "no_such_format", "Unknown input format: no_such_format"},
      {Fixture("empty.avi"), "",
       Fixture("empty.avi") +
           ": I/O error occurred\r\nUsually that means that input file is truncated and/or corrupted."},
      {Fixture("text.avi"), "", Fixture("text.avi") + ": Unknown format"},
      // A demuxer forced on a file it cannot read finds a broken header.
      {Fixture("text.avi"), "wav", Fixture("text.avi") + ": Error while parsing header"},
  };
  TAVProbe probe;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " as '" + c.format + "'");
    // A refusal also closes what the probe held.
    ASSERT_TRUE(probe.OpenFile(Fixture("audio_first.mp4"))) << probe.LastErrMsg();
    EXPECT_FALSE(probe.OpenFile(c.file, c.format));
    EXPECT_EQ(probe.LastErrMsg(), c.message);
    EXPECT_EQ(Summary(probe), kEmpty);
    EXPECT_EQ(probe.FormatName(), "");
  }
  // Success and closing keep the reason of the last refusal.
  ASSERT_TRUE(probe.OpenFile(Fixture("audio_first.mp4")));
  probe.CloseFile();
  EXPECT_EQ(probe.LastErrMsg(), cases.back().message);
}

TEST(ProbeOpen, StreamsAreSummarisedByKindInIndexOrder) {
  ASSERT_TRUE(FixturesAvailable());
  TAVProbe probe;
  EXPECT_EQ(Summary(probe), kEmpty);
  ASSERT_TRUE(probe.OpenFile(Fixture("audio_first.mp4"), "mov")) << probe.LastErrMsg();
  EXPECT_EQ(Summary(probe), kAudioFirst);
  EXPECT_EQ(probe.FormatName(), "mov");
  ASSERT_TRUE(probe.OpenFile(Fixture("video_only.avi"))) << probe.LastErrMsg();
  EXPECT_EQ(Summary(probe), (Counters{1, 0, 0, 1, 0, -1, 0, -1}));
  EXPECT_EQ(probe.FormatName(), "");
  probe.CloseFile();
  EXPECT_EQ(Summary(probe), kEmpty);
}

TEST(ProbeInfo, TagsTimesAndRateOfATaggedFile) {
  ASSERT_TRUE(FixturesAvailable());
  TAVProbe probe;
  ASSERT_TRUE(probe.OpenFile(Fixture("audio_first.mp4"))) << probe.LastErrMsg();
  TAVFileInfo info;
  std::memset(&info, 0x5a, sizeof info);
  probe.GetInfo(info);
  EXPECT_EQ(info.StartTime, 0);
  EXPECT_NEAR(double(info.Duration), 2'000'000, 50'000);
  EXPECT_GT(info.BitRate, 32'000);
  EXPECT_EQ(info.Timestamp, 1245069296) << "2009-06-15 12:34:56 UTC in Unix seconds";
  EXPECT_STREQ(info.Title, "Probe Title");
  EXPECT_STREQ(info.Author, "Probe Artist") << "the artist stands for a missing author";
  EXPECT_STREQ(info.Copyright, "Probe Copyright");
  EXPECT_STREQ(info.Comment, "Probe Comment");
  EXPECT_STREQ(info.Album, "Probe Album");
  EXPECT_STREQ(info.Genre, "Probe Genre");
  EXPECT_EQ(info.Year, 2009);
  EXPECT_EQ(info.Track, 7);
  // Nothing of the old contents survives behind the text.
  const size_t title = std::strlen(info.Title) + 1;
  EXPECT_TRUE(AllZero(info.Title + title, sizeof info.Title - title));
  const size_t genre = std::strlen(info.Genre) + 1;
  EXPECT_TRUE(AllZero(info.Genre + genre, sizeof info.Genre - genre));
}

// Tags set on a context of our own, for what no fixture carries.
TEST(ProbeInfo, TagChoicesAndLongTexts) {
  FormatContextPtr ic(lav::avformat_alloc_context());
  ASSERT_TRUE(ic);
  std::string longTitle;
  for (int i = 0; i < 600; ++i) longTitle += "\xc3\xa9";  // 1200 bytes of two-byte characters
  lav::av_dict_set(&ic->metadata, "title", longTitle.c_str(), 0);
  lav::av_dict_set(&ic->metadata, "genre", std::string(100, 'g').c_str(), 0);
  lav::av_dict_set(&ic->metadata, "artist", "Artist", 0);
  lav::av_dict_set(&ic->metadata, "author", "Author", 0);
  lav::av_dict_set(&ic->metadata, "year", "1999", 0);
  lav::av_dict_set(&ic->metadata, "track", "none", 0);
  lav::av_dict_set(&ic->metadata, "creation_time", "not a date", 0);
  TAVProbe probe;
  probe.AttachContext(ic.get());
  EXPECT_EQ(Summary(probe), (Counters{0, 0, 0, 0, 0, -1, -1, -1}));
  TAVFileInfo info;
  std::memset(&info, 0x5a, sizeof info);
  probe.GetInfo(info);
  EXPECT_EQ(std::string(info.Title), longTitle.substr(0, 510)) << "cut before the character that does not fit";
  EXPECT_TRUE(AllZero(info.Title + 510, 2));
  EXPECT_EQ(std::string(info.Genre), std::string(31, 'g'));
  EXPECT_STREQ(info.Author, "Author") << "the author tag wins over the artist";
  EXPECT_EQ(info.Year, 1999) << "year stands in for a missing date";
  EXPECT_EQ(info.Track, 0);
  EXPECT_EQ(info.Timestamp, 0);
  EXPECT_TRUE(AllZero(info.Comment, TAVFileInfo::kTagSize));
}

TEST(ProbeInfo, AnEmptyProbeReportsNothingAndSaysSo) {
  ASSERT_TRUE(FixturesAvailable());
  TAVProbe probe;
  ASSERT_TRUE(probe.OpenFile(Fixture("audio_first.mp4"))) << probe.LastErrMsg();
  probe.CloseFile();
  TAVFileInfo info;
  std::memset(&info, 0x5a, sizeof info);
  LibraryLines log;
  probe.GetInfo(info);
  EXPECT_EQ(info.StartTime, -1);
  EXPECT_EQ(info.Duration, -1);
  EXPECT_EQ(info.BitRate, -1);
  EXPECT_EQ(info.Timestamp, -1);
  EXPECT_EQ(info.Year, -1);
  EXPECT_EQ(info.Track, -1);
  for (const char* field : {info.Title, info.Author, info.Copyright, info.Comment, info.Album})
    EXPECT_TRUE(AllZero(field, TAVFileInfo::kTagSize));
  EXPECT_TRUE(AllZero(info.Genre, TAVFileInfo::kGenreSize));
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].text, "file not loaded.\n");
  EXPECT_EQ(log.lines[0].level, AV_LOG_INFO) << "an information line, not an error";
}

// Opens a file the way another owner (a task's engine) does.
OpenedInput OpenElsewhere(const std::string& file) {
  AVFormatContext* ic = nullptr;
  if (lav::avformat_open_input(&ic, file.c_str(), nullptr, nullptr) < 0) return nullptr;
  OpenedInput owned(ic);
  if (lav::avformat_find_stream_info(ic, nullptr) < 0) return nullptr;
  return owned;
}

bool ReadsAPacket(AVFormatContext* ic) {
  PacketPtr pkt = MakePacket();
  return lav::av_read_frame(ic, pkt.get()) >= 0 && pkt->size > 0;
}

TEST(ProbeAttach, ABorrowedContextStaysOpenForItsOwner) {
  ASSERT_TRUE(FixturesAvailable());
  OpenedInput owner = OpenElsewhere(Fixture("audio_first.mp4"));
  ASSERT_TRUE(owner);
  {
    TAVProbe probe;
    ASSERT_TRUE(probe.OpenFile(Fixture("video_only.avi")));
    probe.AttachContext(owner.get());
    EXPECT_EQ(Summary(probe), kAudioFirst);
    EXPECT_EQ(probe.FormatName(), "");
    TAVFileInfo info;
    probe.GetInfo(info);
    EXPECT_STREQ(info.Title, "Probe Title");
    probe.CloseFile();
    EXPECT_EQ(Summary(probe), kEmpty);
    EXPECT_TRUE(ReadsAPacket(owner.get()));
    // Neither a new opening nor the probe's end closes it either.
    probe.AttachContext(owner.get());
    ASSERT_TRUE(probe.OpenFile(Fixture("video_only.avi")));
    EXPECT_TRUE(ReadsAPacket(owner.get()));
    probe.AttachContext(owner.get());
  }
  EXPECT_TRUE(ReadsAPacket(owner.get()));
  EXPECT_EQ(owner->nb_streams, 3u);
}

// Puts back the libraries a test unloaded, whatever the test did.
struct ReloadLibraries {
  ~ReloadLibraries() {
    UnloadLibraries();
    test::EnsureLibrariesLoaded();
  }
};

TEST(ProbeLibraries, AMissingLibraryIsNamedAndChangesNothing) {
  ASSERT_TRUE(FixturesAvailable());
  ReloadLibraries reload;
  {
    TAVProbe probe;
    ASSERT_TRUE(probe.OpenFile(Fixture("audio_first.mp4"), "mov"));
    // The scaling library alone can go while a file is open: nothing the
    // probe holds comes from it.
    UnloadLibrary(Library::Scale);
    try {
      probe.OpenFile(Fixture("video_only.avi"));
      ADD_FAILURE() << "opened without the scaling library";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "LibSwScale not loaded.");
    }
    EXPECT_THROW(probe.AttachContext(nullptr), std::runtime_error);
    EXPECT_EQ(Summary(probe), kAudioFirst);
    EXPECT_EQ(probe.FormatName(), "mov");
    ASSERT_TRUE(LoadLibrary(Library::Scale, "", true)) << LibraryError(Library::Scale);
  }
  UnloadLibraries();
  // The first missing one, in the order codec, format, utility, scaling.
  const std::pair<Library, const char*> order[] = {{Library::Codec, "LibAVCodec not loaded."},
                                                   {Library::Format, "LibAVFormat not loaded."},
                                                   {Library::Util, "LibAVUtil not loaded."},
                                                   {Library::Scale, "LibSwScale not loaded."}};
  for (const auto& [lib, message] : order) {
    try {
      TAVProbe::CheckLibraries();
      ADD_FAILURE() << "no library named for " << message;
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), message);
    }
    ASSERT_TRUE(LoadLibrary(lib, "", true)) << LibraryError(lib);
  }
  EXPECT_NO_THROW(TAVProbe::CheckLibraries());
}

}  // namespace
}  // namespace vantrel
