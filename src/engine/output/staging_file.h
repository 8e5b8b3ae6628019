// The temporary files outputs are written under before they take their
// names: how they are named, created and locked, and how the ones a killed
// run left behind are recognised and removed. Nothing else may know the
// naming pattern, so the clean-up can never take another file for one.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "engine/unique_fd.h"

namespace vantrel {

// ".vantrel-<pid>-<6 letters or digits>.part": the same length whatever the
// output is called, so every output name the file system accepts can be staged.
struct TStagingFile {
  std::string Path;  // empty when none could be made
  UniqueFd Lock;     // open on the file, holding flock(LOCK_EX)
};

// Creates a new staging file in Folder (O_EXCL: never an existing file; the
// umask applies to its mode) and locks it for as long as Lock stays open.
TStagingFile CreateStagingFile(const std::filesystem::path& Folder);

// Whether FileName (no folder) follows the staging pattern; Pid receives its pid.
bool IsStagingName(const std::string& FileName, pid_t& Pid);

// Removes the staging files in Folder whose process is gone (kill(pid, 0)
// says ESRCH) and whose lock nobody holds. Any other file is left alone.
void RemoveAbandonedStagingFiles(const std::filesystem::path& Folder);

}  // namespace vantrel
