// Frame hooks through whole jobs: the sample plug-in under time ranges and a
// before-hook handler, the custom hook on the bitmap, handlers that raise,
// refused plug-ins, and a job with hooks stopped half-way.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <set>
#include <stdexcept>

#include "engine/hook_bitmap.h"
#include "test_support.h"
#include "video_frames.h"
#include "build_paths.h"

namespace vantrel {
namespace {

using test::RawVideoJob;

const std::string kInvertBox = std::string(VANTREL_PLUGIN_DIR) + "/invert_box.so";

// The pictures (by index) that differ between two runs.
std::set<size_t> ChangedPictures(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  EXPECT_EQ(a.size(), b.size());
  std::set<size_t> changed;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (a[i] != b[i]) changed.insert(i);
  return changed;
}

std::set<size_t> Span(size_t first, size_t last) {
  std::set<size_t> s;
  for (size_t i = first; i <= last; ++i) s.insert(i);
  return s;
}

std::vector<std::string> HookedPictures(RawVideoJob& job, const std::string& out) {
  EXPECT_TRUE(job.Open(out)) << job.e.LastError();
  job.e.StartJob(false);
  EXPECT_TRUE(job.e.Result().Completed) << job.e.Result().ErrorMessage;
  return test::ReadPictures(out, test::kFixturePictureBytes);
}

TEST(FrameHooks, RangesAndBeforeHookChooseExactlyTheHookedPictures) {
  ASSERT_TRUE(test::FixturesAvailable());
  test::TempDir tmp;
  const auto plain = test::PlainPictures(tmp / "plain.yuv");
  ASSERT_EQ(plain.size(), size_t(test::kFixturePictures));
  {
    SCOPED_TRACE("1-2 s and 5-6 s, given out of order; 25 pictures a second");
    RawVideoJob job;
    job.Options({{"vhook", kInvertBox}});
    job.e.SetHookRanges({{5000000, 6000000}, {1000000, 2000000}});
    std::set<size_t> expected = Span(25, 50);
    expected.merge(Span(125, 150));
    EXPECT_EQ(ChangedPictures(plain, HookedPictures(job, tmp / "ranges.yuv")), expected);
  }
  {
    SCOPED_TRACE("haStop at 4 s is final: the handler is not asked again");
    RawVideoJob job;
    job.Options({{"vhook", kInvertBox + "|0|0|16|16"}});
    int calls = 0;
    job.e.SetOnBeforeHook([&](TCustomFFmpeg*, int64_t t, THookAction& a) {
      ++calls;
      a = t >= 4000000 ? haStop : haContinue;
    });
    EXPECT_EQ(ChangedPictures(plain, HookedPictures(job, tmp / "stop.yuv")), Span(0, 99));
    EXPECT_EQ(calls, 101);
  }
  {
    SCOPED_TRACE("a before-hook that raises stops the hooks, not the job");
    RawVideoJob job;
    job.Options({{"vhook", kInvertBox}});
    job.e.SetOnBeforeHook([](TCustomFFmpeg*, int64_t t, THookAction&) {
      if (t >= 400000) throw std::runtime_error("boom");
    });
    EXPECT_EQ(ChangedPictures(plain, HookedPictures(job, tmp / "raise.yuv")), Span(0, 9));
    EXPECT_TRUE(job.Logged("Error occurs OnBeforeHook: boom"));
  }
}

TEST(CustomHook, DrawingChangesThePicturesUntilTheHandlerStops) {
  ASSERT_TRUE(test::FixturesAvailable());
  test::TempDir tmp;
  const auto plain = test::PlainPictures(tmp / "plain.yuv");
  RawVideoJob job;
  std::vector<int> numbers;
  // Held by the handler only: the engine lets the handler go when it stops.
  auto handlerHeld = std::make_shared<int>();
  job.e.SetOnCustomHook([&, handlerHeld](TCustomFFmpeg*, THookBitmap& bmp, int n, int64_t t, bool& update,
                                         bool& stop) {
    EXPECT_EQ(t, int64_t(n - 1) * 40000);
    EXPECT_EQ(bmp.Width(), test::kFixtureWidth);
    numbers.push_back(n);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16 * 3; ++x) bmp.ScanLine(y)[x] = 255;
    EXPECT_TRUE(update);
    stop = n == 50;  // this picture is still written back
  });
  const auto hooked = HookedPictures(job, tmp / "custom.yuv");
  ASSERT_EQ(numbers.size(), 50u);
  EXPECT_EQ(numbers.back(), 50);
  EXPECT_EQ(handlerHeld.use_count(), 1) << "the handler was let go";
  ASSERT_EQ(hooked.size(), plain.size());
  for (size_t i = 0; i < hooked.size(); ++i) {
    SCOPED_TRACE(i);
    if (i >= 50) {
      EXPECT_EQ(hooked[i], plain[i]);
      continue;
    }
    for (int y = 2; y < 14; ++y)
      for (int x = 2; x < 14; ++x) ASSERT_GE(uint8_t(hooked[i][size_t(y * test::kFixtureWidth + x)]), 230);
    EXPECT_GE(test::Psnr(hooked[i].substr(size_t(40 * test::kFixtureWidth)),
                         plain[i].substr(size_t(40 * test::kFixtureWidth))),
              35.0);
  }
}

TEST(CustomHook, HandlerThatRaisesLeavesEveryPictureAndTheJobGoing) {
  ASSERT_TRUE(test::FixturesAvailable());
  test::TempDir tmp;
  const auto plain = test::PlainPictures(tmp / "plain.yuv");
  RawVideoJob job;
  int calls = 0;
  job.e.SetOnCustomHook([&](TCustomFFmpeg*, THookBitmap& bmp, int, int64_t, bool&, bool&) {
    ++calls;
    bmp.ScanLine(0)[0] = 0;
    throw std::runtime_error("boom");
  });
  EXPECT_TRUE(HookedPictures(job, tmp / "raise.yuv") == plain);
  EXPECT_EQ(calls, test::kFixturePictures);
  EXPECT_TRUE(job.Logged("Error occurs OnCustomHook: boom"));
}

TEST(FrameHooks, RefusedPluginsNameTheArgument) {
  test::EnsureLibrariesLoaded();
  test::TempDir tmp;
  std::ofstream(tmp / "text.so") << "not a library\n";
  const std::string noProcess = std::string(VANTREL_PLUGIN_DIR) + "/no_process.so";
  for (const std::string& arg : {noProcess, tmp / "text.so", kInvertBox + "|1|2", std::string("/nonexistent/x.so")}) {
    SCOPED_TRACE(arg);
    TCustomFFmpeg e;
    e.ResetEngine();
    try {
      e.SetOption("vhook", arg);
      ADD_FAILURE() << "accepted";
    } catch (const FFMpegException& x) {
      EXPECT_EQ(std::string(x.what()), "Failed to add video hook function: " + arg);
    }
    EXPECT_FALSE(e.Options().UsingVhook);
  }
}

TEST(FrameHooks, CliShowsTheLoadersReasonForARefusedPlugin) {
  ASSERT_TRUE(test::FixturesAvailable());
  test::TempDir tmp;
  std::ofstream(tmp / "text.so") << std::string(256, 'x');  // longer than an ELF header
  const std::string noProcess = std::string(VANTREL_PLUGIN_DIR) + "/no_process.so";
  const struct {
    std::string arg, reason;
  } cases[] = {{tmp / "text.so", tmp / "text.so: invalid ELF header"},
               {noProcess + "|x", "Failed to find Process entrypoint in " + noProcess}};
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(test::RunCommand(std::string(VANTREL_CLI_PATH) + " -i '" + test::Fixture("fps25_10s.avi") +
                                   "' -vhook '" + c.arg + "' '" + (tmp / "o.avi") + "'",
                               out),
              1);
    EXPECT_NE(out.find("Failed to add video hook function: " + c.arg), std::string::npos) << out;
    EXPECT_NE(out.find(c.reason), std::string::npos) << out;
  }
}

TEST(FrameHooks, JobStoppedHalfWayReleasesEveryHook) {
  ASSERT_TRUE(test::FixturesAvailable());
  test::TempDir tmp;
  void* plugin = dlopen(kInvertBox.c_str(), RTLD_NOW);
  ASSERT_NE(plugin, nullptr) << dlerror();
  const auto liveContexts = reinterpret_cast<int (*)()>(dlsym(plugin, "LiveContexts"));
  ASSERT_NE(liveContexts, nullptr);
  {
    RawVideoJob job;
    job.Options({{"vhook", kInvertBox}, {"vhook", kInvertBox + " 0 0 8 8"}, {"vfilters", "hflip"}});
    EXPECT_EQ(liveContexts(), 2);
    job.e.SetOnBeforeHook([&](TCustomFFmpeg* e, int64_t t, THookAction&) {
      if (t >= 2000000) e->RequestStop();
    });
    ASSERT_TRUE(job.Open(tmp / "stopped.yuv")) << job.e.LastError();
    job.e.StartJob(false);
    EXPECT_FALSE(job.e.Result().Completed);
    EXPECT_LT(test::ReadPictures(tmp / "stopped.yuv", test::kFixturePictureBytes).size(), 60u);
  }
  EXPECT_EQ(liveContexts(), 0);
  dlclose(plugin);
}

}  // namespace
}  // namespace vantrel
