// Loading the codec libraries as one all-or-nothing set.
#include <gtest/gtest.h>

#include <filesystem>

#include "binding/av_binding.h"
#include "binding/elf_needed.h"
#include "test_support.h"
#include "build_paths.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

constexpr Library kFFmpegLibraries[] = {Library::Codec, Library::Filter, Library::Format,
                                        Library::Util,  Library::Scale,  Library::Resample};

// The folder the system loader finds the installed libraries in.
fs::path SystemLibraryDir() {
  for (const char* dir : {"/usr/lib/x86_64-linux-gnu", "/usr/lib64", "/usr/lib"})
    if (fs::exists(fs::path(dir) / LibraryFileName(Library::Codec, true))) return dir;
  return {};
}

// A folder holding links to the installed libraries, less the ones skipped.
void LinkLibraries(const test::TempDir& dir, std::initializer_list<Library> skip) {
  for (Library lib : kFFmpegLibraries) {
    if (std::find(skip.begin(), skip.end(), lib) != skip.end()) continue;
    const std::string name = LibraryFileName(lib, true);
    fs::create_symlink(SystemLibraryDir() / name, dir.path() / name);
  }
}

bool NothingLoaded() {
  for (int i = 0; i < kLibraryCount; ++i)
    if (LibraryBound(Library(i))) return false;
  return !LibrariesLoaded();
}

class BindingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(SystemLibraryDir().empty());
    UnloadLibraries();
  }
  void TearDown() override {
    UnloadLibraries();
    test::EnsureLibrariesLoaded();
  }
};

TEST_F(BindingTest, FileNamesFollowTheNamingChoice) {
  EXPECT_EQ(LibraryFileName(Library::Codec, true), "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR));
  EXPECT_EQ(LibraryFileName(Library::Resample, true), "libswresample.so." + std::to_string(LIBSWRESAMPLE_VERSION_MAJOR));
  EXPECT_EQ(LibraryFileName(Library::Codec, false), "libavcodec.so");
  EXPECT_EQ(LibraryFileName(Library::Scale, false), "libswscale.so");
  // The C runtime has one name whatever the choice.
  EXPECT_EQ(LibraryFileName(Library::Runtime, true), LibraryFileName(Library::Runtime, false));
}

TEST_F(BindingTest, EmptyFolderNamesTheCodecLibrary) {
  test::TempDir dir;
  EXPECT_FALSE(LoadLibraries(dir.path().string(), true));
  EXPECT_EQ(GetLoadError().rfind("Load libraray " + LibraryFileName(Library::Codec, true) + " error: ", 0), 0u)
      << GetLoadError();
  EXPECT_NE(GetLoadError().find("No such file"), std::string::npos) << GetLoadError();
  EXPECT_TRUE(NothingLoaded());
}

TEST_F(BindingTest, MissingFilterLibraryFailsAfterTheCodecLibraryLoadedAndUnloadsIt) {
  test::TempDir dir;
  LinkLibraries(dir, {Library::Filter});
  EXPECT_FALSE(LoadLibraries(dir.path().string(), true));
  EXPECT_EQ(GetLoadError().rfind("Load libraray " + LibraryFileName(Library::Filter, true) + " error: ", 0), 0u)
      << GetLoadError();
  EXPECT_EQ(LibraryError(Library::Codec), "");  // it did load
  EXPECT_TRUE(NothingLoaded());
}

TEST_F(BindingTest, MissingExportFailsTheWholeSetNamingExportAndFile) {
  test::TempDir dir;
  LinkLibraries(dir, {Library::Filter});
  const std::string filter = LibraryFileName(Library::Filter, true);
  fs::copy_file(fs::path(VANTREL_STUB_DIR) / filter, dir.path() / filter);
  EXPECT_FALSE(LoadLibraries(dir.path().string(), true));
  EXPECT_EQ(GetLoadError().rfind("Load function avfilter_graph_config@" + filter + " error: ", 0), 0u)
      << GetLoadError();
  EXPECT_TRUE(NothingLoaded());
  // The set loads again afterwards from a complete folder.
  test::TempDir good;
  LinkLibraries(good, {});
  EXPECT_TRUE(LoadLibraries(good.path().string(), true)) << GetLoadError();
  EXPECT_EQ(GetLoadError(), "");
}

TEST_F(BindingTest, SecondLoadReturnsAtOnceWhateverItsArguments) {
  ASSERT_TRUE(LoadLibraries("", true)) << GetLoadError();
  void* const bound = reinterpret_cast<void*>(lav::avcodec_open2);
  EXPECT_TRUE(LoadLibraries("/no/such/folder", false));
  EXPECT_EQ(reinterpret_cast<void*>(lav::avcodec_open2), bound);
  EXPECT_EQ(GetLoadError(), "");
}

TEST_F(BindingTest, LoadedSetCallsIntoTheLibraries) {
  ASSERT_TRUE(LoadLibraries("", true)) << GetLoadError();
  for (int i = 0; i < kLibraryCount; ++i) EXPECT_TRUE(LibraryBound(Library(i)));
  EXPECT_EQ(int(lav::avcodec_version() >> 16), LIBAVCODEC_VERSION_MAJOR);
  EXPECT_NE(lav::avcodec_find_encoder_by_name("mpeg4"), nullptr);
  char buf[32];
  EXPECT_EQ(lav::snprintf(buf, sizeof buf, "%d-%s", 42, "x"), 4);
  EXPECT_STREQ(buf, "42-x");
  UnloadLibraries();
  EXPECT_TRUE(NothingLoaded());
}

TEST(ElfNeededTest, ReadsTheDependenciesOfASharedObject) {
  const auto needed =
      ElfNeededLibraries((SystemLibraryDir() / LibraryFileName(Library::Format, true)).string());
  EXPECT_NE(std::find(needed.begin(), needed.end(), LibraryFileName(Library::Codec, true)), needed.end());
  EXPECT_NE(std::find(needed.begin(), needed.end(), LibraryFileName(Library::Util, true)), needed.end());
}

TEST(ElfNeededTest, NonElfFilesGiveNothing) {
  test::TempDir dir;
  EXPECT_TRUE(ElfNeededLibraries(dir / "missing.so").empty());
  { std::FILE* f = std::fopen((dir / "text.so").c_str(), "w"); std::fputs("\x7f" "ELF but not really", f); std::fclose(f); }
  EXPECT_TRUE(ElfNeededLibraries(dir / "text.so").empty());
}

}  // namespace
}  // namespace vantrel
