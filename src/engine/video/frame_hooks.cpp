// Frame-hook plug-ins: loading (once per process), configuring, running.
// On this platform the loader finds a plug-in's own dependencies through its
// run path, not through the current folder or PATH, so neither is changed
// while loading: both belong to the whole process and other jobs use them.
#include <dlfcn.h>

#include <map>
#include <mutex>
#include <new>

#include "engine/frame_hook.h"

namespace vantrel {
namespace {

// Library path -> handle. A library is never unloaded: a hook's code may be
// running in another engine at any time.
std::map<std::string, void*>& LoadedHookLibraries() {
  static std::map<std::string, void*> libraries;
  return libraries;
}

std::mutex& HookLibraryLock() {
  static std::mutex lock;
  return lock;
}

void* LoadHookLibrary(const std::string& Path) {
  std::lock_guard<std::mutex> guard(HookLibraryLock());
  auto& cache = LoadedHookLibraries();
  if (auto found = cache.find(Path); found != cache.end()) return found->second;
  void* handle = dlopen(Path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    lav::av_log(nullptr, AV_LOG_PANIC, "%s\n", why ? why : "cannot load the library");
    return nullptr;
  }
  cache.emplace(Path, handle);
  return handle;
}

template <typename Fn>
Fn EntryPoint(void* Library, const char* Name) {
  return reinterpret_cast<Fn>(dlsym(Library, Name));
}

}  // namespace

int AddFrameHook(TFrameHookList& List, const std::vector<std::string>& Words) {
  if (Words.empty()) return -2;
  const std::string& path = Words[0];
  void* library = LoadHookLibrary(path);
  if (!library) return -1;
  std::unique_ptr<TFrameHook> hook;
  try {
    hook = std::make_unique<TFrameHook>();
    hook->Words = Words;
  } catch (const std::bad_alloc&) {
    return -12;
  }
  hook->Configure = EntryPoint<VantrelHookConfigureFn>(library, "Configure");
  hook->Process = EntryPoint<VantrelHookProcessFn>(library, "Process");
  const auto release = EntryPoint<VantrelHookReleaseFn>(library, "Release");
  if (!hook->Process) {
    lav::av_log(nullptr, AV_LOG_PANIC, "Failed to find Process entrypoint in %s\n", path.c_str());
    return -2;
  }
  if (!hook->Configure && Words.size() > 1) {
    lav::av_log(nullptr, AV_LOG_PANIC, "Failed to find Configure entrypoint in %s\n", path.c_str());
    return -2;
  }
  if (hook->Configure) {
    std::vector<char*> argv;
    for (std::string& w : hook->Words) argv.push_back(w.data());
    argv.push_back(nullptr);
    if (hook->Configure(&hook->Context, int(Words.size()), argv.data()) != 0) {
      lav::av_log(nullptr, AV_LOG_PANIC, "Failed to Configure %s\n", path.c_str());
      return -22;
    }
  }
  hook->Release = release;
  List.push_back(std::move(hook));
  return 0;
}

void RunFrameHooks(const TFrameHookList& List, AVFrame* Picture, int64_t Time) {
  VantrelHookPicture picture{};
  for (int i = 0; i < 4; ++i) {
    picture.data[i] = Picture->data[i];
    picture.linesize[i] = Picture->linesize[i];
  }
  for (const auto& hook : List)
    hook->Process(hook->Context, &picture, Picture->format, Picture->width, Picture->height, Time);
}

}  // namespace vantrel
