#include "binding/av_binding.h"

#include <dlfcn.h>

#include <array>
#include <atomic>
#include <cstdio>

#include "binding/library_loader.h"
#include "binding/message_format.h"

namespace vantrel {
namespace {

struct FunctionEntry {
  const char* name;
  void** slot;
};

#define VANTREL_ENTRY(name) FunctionEntry{#name, reinterpret_cast<void**>(&lav::name)},
const FunctionEntry kCodecFunctions[] = {VANTREL_AVCODEC_FUNCTIONS(VANTREL_ENTRY)};
const FunctionEntry kFilterFunctions[] = {VANTREL_AVFILTER_FUNCTIONS(VANTREL_ENTRY)};
const FunctionEntry kFormatFunctions[] = {VANTREL_AVFORMAT_FUNCTIONS(VANTREL_ENTRY)};
const FunctionEntry kUtilFunctions[] = {VANTREL_AVUTIL_FUNCTIONS(VANTREL_ENTRY)};
const FunctionEntry kScaleFunctions[] = {VANTREL_SWSCALE_FUNCTIONS(VANTREL_ENTRY)};
const FunctionEntry kResampleFunctions[] = {VANTREL_SWRESAMPLE_FUNCTIONS(VANTREL_ENTRY)};
const FunctionEntry kRuntimeFunctions[] = {VANTREL_CRT_FUNCTIONS(VANTREL_ENTRY)};
#undef VANTREL_ENTRY

// The major version a library reports at run time; 0 for the C runtime.
using VersionQuery = unsigned (*)();

struct LibraryUnit {
  const char* base;       // "avcodec"
  int major;              // from the installed headers
  const FunctionEntry* functions;
  size_t functionCount;
  void** versionSlot;     // the library's own version query, or nullptr
  // State of the loaded module.
  void* handle;
  bool bound;
  bool versioned;
  std::string error;

  std::string FileName() const {
    if (major < 0) return base;  // the C runtime has one name only
    return versioned ? Format("lib%s.so.%d", base, major) : Format("lib%s.so", base);
  }
};

template <size_t N>
constexpr size_t CountOf(const FunctionEntry (&)[N]) { return N; }

std::array<LibraryUnit, kLibraryCount> gUnits = {{
    {"avcodec", LIBAVCODEC_VERSION_MAJOR, kCodecFunctions, CountOf(kCodecFunctions),
     reinterpret_cast<void**>(&lav::avcodec_version), nullptr, false, true, {}},
    {"avfilter", LIBAVFILTER_VERSION_MAJOR, kFilterFunctions, CountOf(kFilterFunctions),
     reinterpret_cast<void**>(&lav::avfilter_version), nullptr, false, true, {}},
    {"avformat", LIBAVFORMAT_VERSION_MAJOR, kFormatFunctions, CountOf(kFormatFunctions),
     reinterpret_cast<void**>(&lav::avformat_version), nullptr, false, true, {}},
    {"avutil", LIBAVUTIL_VERSION_MAJOR, kUtilFunctions, CountOf(kUtilFunctions),
     reinterpret_cast<void**>(&lav::avutil_version), nullptr, false, true, {}},
    {"swscale", LIBSWSCALE_VERSION_MAJOR, kScaleFunctions, CountOf(kScaleFunctions),
     reinterpret_cast<void**>(&lav::swscale_version), nullptr, false, true, {}},
    {"swresample", LIBSWRESAMPLE_VERSION_MAJOR, kResampleFunctions, CountOf(kResampleFunctions),
     reinterpret_cast<void**>(&lav::swresample_version), nullptr, false, true, {}},
    {"libc.so.6", -1, kRuntimeFunctions, CountOf(kRuntimeFunctions), nullptr, nullptr, false, true, {}},
}};

std::atomic<bool> gLoaded{false};
std::string gLoadError;

// Looks every function of the unit up; the first one missing fails the unit.
bool BindFunctions(LibraryUnit& u) {
  for (size_t i = 0; i < u.functionCount; ++i) {
    dlerror();
    void* p = dlsym(u.handle, u.functions[i].name);
    if (!p) {
      const char* e = dlerror();
      u.error = Format("Load function %s@%s error: %s", u.functions[i].name, u.FileName(),
                       e ? e : "symbol not found");
      return false;
    }
    *u.functions[i].slot = p;
  }
  if (u.versionSlot) {
    const unsigned runtimeMajor = reinterpret_cast<VersionQuery>(*u.versionSlot)() >> 16;
    if (int(runtimeMajor) != u.major) {
      u.error = Format("Load libraray %s error: %s", u.FileName(),
                       Format("major version %d found, %d expected", runtimeMajor, u.major));
      return false;
    }
  }
  return true;
}

}  // namespace

std::string LibraryFileName(Library lib, bool AVersioned) {
  LibraryUnit copy = gUnits[size_t(lib)];
  copy.versioned = AVersioned;
  return copy.FileName();
}

bool LoadLibrary(Library lib, const std::string& APath, bool AVersioned) {
  LibraryUnit& u = gUnits[size_t(lib)];
  u.versioned = AVersioned;
  if (u.bound) return true;
  u.error.clear();
  if (!u.handle) {
    std::string loaderText;
    // The C runtime is the process's own: a second one cannot be loaded from a folder.
    const std::string dir = u.major < 0 ? std::string() : APath;
    if (u.major < 0) {
      dlerror();
      u.handle = dlopen(u.base, RTLD_NOW | RTLD_LOCAL);
      if (const char* e = u.handle ? nullptr : dlerror()) loaderText = e;
    } else {
      u.handle = LoadLibraryFrom(dir, u.FileName(), loaderText);
    }
    if (!u.handle) {
      u.error = Format("Load libraray %s error: %s", u.FileName(), loaderText);
      return false;
    }
  }
  if (!BindFunctions(u)) return false;
  u.bound = true;
  return true;
}

void UnloadLibrary(Library lib) {
  LibraryUnit& u = gUnits[size_t(lib)];
  if (!u.handle) return;
  dlclose(u.handle);
  u.handle = nullptr;
  u.bound = false;
}

bool LibraryBound(Library lib) { return gUnits[size_t(lib)].bound; }
std::string LibraryError(Library lib) { return gUnits[size_t(lib)].error; }

bool LoadLibraries(const std::string& APath, bool AVersioned) {
  if (gLoaded) return true;
  gLoadError.clear();
  for (int i = 0; i < kLibraryCount; ++i) {
    if (!LoadLibrary(Library(i), APath, AVersioned)) {
      gLoadError = gUnits[size_t(i)].error;
      UnloadLibraries();
      return false;
    }
  }
  gLoaded = true;
  return true;
}

void UnloadLibraries() {
  gLoaded = false;
  for (int i = 0; i < kLibraryCount; ++i) UnloadLibrary(Library(i));
}

bool LibrariesLoaded() { return gLoaded; }
std::string GetLoadError() { return gLoadError; }

}  // namespace vantrel
