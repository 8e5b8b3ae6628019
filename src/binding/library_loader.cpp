#include "binding/library_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <vector>

#include "binding/elf_needed.h"

namespace vantrel {
namespace fs = std::filesystem;

namespace {

// Unloading gives the handle back but keeps the code mapped: the codec
// libraries and what they pull in register exit handlers and keep global
// state that must not disappear from under them. The set is unbound all the
// same and has to be loaded again before any use.
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;

std::string LastLoaderError() {
  const char* e = dlerror();
  return e ? e : "unknown error";
}

// Opens dir/name after opening, from the same folder, every library it needs
// that the folder holds. The loader then finds those by their names among the
// objects already loaded instead of searching the system for them. The
// handles of the dependencies are released once the module holds its own.
void* OpenWithFolderDependencies(const fs::path& dir, const std::string& name,
                                 std::set<std::string>& visiting, std::string& errorText) {
  const fs::path file = dir / name;
  std::vector<void*> deps;
  visiting.insert(name);
  for (const std::string& needed : ElfNeededLibraries(file.string())) {
    std::error_code ec;
    if (visiting.count(needed) || !fs::exists(dir / needed, ec)) continue;
    std::string ignored;
    if (void* h = OpenWithFolderDependencies(dir, needed, visiting, ignored)) deps.push_back(h);
  }
  dlerror();
  void* handle = dlopen(file.c_str(), kOpenFlags);
  if (!handle) errorText = LastLoaderError();
  for (void* h : deps) dlclose(h);
  return handle;
}

}  // namespace

std::string ExecutableDir() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : exe.parent_path().string();
}

void* LoadLibraryFrom(const std::string& ADir, const std::string& AName, std::string& errorText) {
  std::set<std::string> visiting;
  if (!ADir.empty()) return OpenWithFolderDependencies(ADir, AName, visiting, errorText);
  const fs::path bundled = fs::path(ExecutableDir()) / "LibAV";
  std::error_code ec;
  if (fs::exists(bundled / AName, ec))
    return OpenWithFolderDependencies(bundled, AName, visiting, errorText);
  dlerror();
  void* handle = dlopen(AName.c_str(), kOpenFlags);
  if (!handle) errorText = LastLoaderError();
  return handle;
}

}  // namespace vantrel
