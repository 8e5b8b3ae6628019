// Where an output lands on disk. It is never one of the job's own inputs,
// and a regular file is written under a temporary name beside its final one
// (staging_file.h): the old file is replaced only once the job has ended
// well (completed, or stopped with its trailer when stopped outputs are
// kept), so a failing job loses nothing. OutputCollision decides whether a
// file at the name is replaced, kept with the job failing, or kept with the
// output numbered beside it.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "binding/helpers.h"
#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/local_file.h"
#include "engine/output/final_name.h"
#include "engine/output/staging_file.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

// How many numbered names an output tries before it gives up.
constexpr int kMaxNumberedNames = 10000;

void RemoveFile(const std::string& Path) {
  std::error_code ec;
  fs::remove(Path, ec);
}

std::string NameTaken(const std::string& Name) { return Format("File '%s' already exists", Name); }

std::string RenameFailure(const std::string& Name, int Error) {
  return Error == EEXIST ? NameTaken(Name) : Format("Could not write '%s': %s", Name, std::strerror(Error));
}

}  // namespace

std::string TEngineJob::FinalOutputName(int FileIndex) const {
  if (FileIndex < 0 || FileIndex >= MAX_FILES) return {};
  return FinalOutputNames[FileIndex];
}

std::string TEngineJob::SameFileAsInput(const std::string& OutputName) const {
  const std::string output = LocalFilePath(OutputName);
  if (output.empty()) return {};
  for (int i = 0; i < InputFileCount; ++i) {
    if (!InputFiles[i] || !InputFiles[i]->url) continue;
    const std::string input = InputFiles[i]->url;
    if (SameLocalFile(output, LocalFilePath(input)))
      return Format("Output file '%s' is the same file as input file '%s'", OutputName, input);
  }
  return {};
}

void TEngineJob::CheckOutputsAreNotInputs() const {
  for (int i = 0; i < OutputFileCount; ++i)
    if (std::string refusal = SameFileAsInput(OutputFileNames[i]); !refusal.empty()) throw FFMpegException(refusal);
}

bool TEngineJob::StageOutput(int FileIndex) {
  AVFormatContext* oc = OutputFiles[FileIndex].get();
  const std::string local = LocalFilePath(OutputFileNames[FileIndex]);
  if (local.empty() || (oc->oformat->flags & AVFMT_NOFILE)) return false;
  fs::path target(local);
  struct stat st;
  // Only a file that is to be replaced is looked through; without
  // replacing, whatever stands at the name is left as it is.
  if (OutputCollision == TOutputCollision::Replace && ::stat(local.c_str(), &st) == 0) {
    // Devices and pipes are written in place; a link keeps pointing where it did.
    if (!S_ISREG(st.st_mode)) return false;
    std::error_code ec;
    target = fs::canonical(target, ec);
    if (ec) return false;
  }
  // What a killed run left in this folder goes before this run adds its own.
  RemoveAbandonedStagingFiles(target.parent_path());
  TStagingFile temp = CreateStagingFile(target.parent_path());
  if (temp.Path.empty()) return false;
  // Muxers that read their output back (the MP4 "faststart" pass) find it by
  // URL; the prefix keeps a folder name with a colon from reading as a protocol.
  AvStringPtr url = CopyString("file:" + temp.Path);
  if (!url) {
    RemoveFile(temp.Path);
    return false;
  }
  // The context owns its URL: the old one goes, the new one is handed over.
  const AvStringPtr old(oc->url);
  oc->url = url.release();
  StagedOutputs[FileIndex] = TStagedOutput{temp.Path, target.string(), std::move(temp.Lock)};
  return true;
}

std::string TEngineJob::RefuseTakenName(int FileIndex) const {
  if (OutputCollision != TOutputCollision::Refuse) return {};
  const std::string local = LocalFilePath(OutputFileNames[FileIndex]);
  struct stat st;
  if (local.empty() || ::lstat(local.c_str(), &st) != 0) return {};
  return NameTaken(OutputFileNames[FileIndex]);
}

std::string TEngineJob::KeepFinishedOutputs() {
  // Outputs of a stopped job that are not wanted stay staged: FreeResources
  // removes their temporaries and the names are never touched.
  if (StopRequested && !Completed && !KeepStoppedOutput) return {};
  std::string failure;
  for (int i = 0; i < OutputFileCount; ++i) {
    TStagedOutput& staged = StagedOutputs[i];
    if (staged.Temp.empty()) continue;
    AVFormatContext* oc = OutputFiles[i].get();
    const bool writeFailed = oc && oc->pb && oc->pb->error < 0;
    // A staged output is a file the engine opened, so its stream is the
    // deleter's to close; closing it here gives the flush's result.
    const int closed = OutputContextDeleter::CloseIO(oc);
    std::string reason;
    if (writeFailed || closed < 0) {
      reason = "Could not write '" + OutputFileNames[i] + "'";
    } else if (FileSizeOf(staged.Temp) == 0) {
      // Nothing was written: the old file stays, the empty one goes with the job.
      continue;
    } else if (reason = TakeFinalName(i); reason.empty()) {
      staged = TStagedOutput{};
      continue;
    }
    if (failure.empty()) failure = reason;
  }
  return failure;
}

std::string TEngineJob::TakeFinalName(int FileIndex) {
  const TStagedOutput& staged = StagedOutputs[FileIndex];
  const std::string& name = OutputFileNames[FileIndex];
  switch (OutputCollision) {
    case TOutputCollision::Replace:
      TakeOwnerAndMode(staged.Lock.Get(), staged.Target);
      if (std::rename(staged.Temp.c_str(), staged.Target.c_str()) != 0) return RenameFailure(name, errno);
      return {};
    case TOutputCollision::Refuse:
      if (const int error = RenameNoReplace(staged.Temp, staged.Target); error != 0) return RenameFailure(name, error);
      return {};
    case TOutputCollision::Number:
      return NumberFinishedOutput(FileIndex);
  }
  return {};
}

// Each name is tried with a rename that never replaces, so two processes
// numbering into one folder each take a different name.
std::string TEngineJob::NumberFinishedOutput(int FileIndex) {
  const TStagedOutput& staged = StagedOutputs[FileIndex];
  const fs::path target(staged.Target);
  int error = RenameNoReplace(staged.Temp, staged.Target);
  const int first = FirstNumber(target);
  for (int n = first; error == EEXIST && n - first < kMaxNumberedNames; ++n) {
    const std::string numbered = NumberedName(target, n).string();
    error = RenameNoReplace(staged.Temp, numbered);
    if (error == 0) FinalOutputNames[FileIndex] = numbered;
  }
  return error == 0 ? std::string() : RenameFailure(OutputFileNames[FileIndex], error);
}

void TEngineJob::DiscardUnfinishedOutput(int FileIndex) {
  TStagedOutput& staged = StagedOutputs[FileIndex];
  if (!staged.Temp.empty()) {
    RemoveFile(staged.Temp);
    staged = TStagedOutput{};
    return;
  }
  // Only a regular file this engine opened for writing may go; a file that
  // was only named as an output, or a device, is never touched.
  if (!OutputFileWritten[FileIndex]) return;
  const std::string local = LocalFilePath(OutputFileNames[FileIndex]);
  struct stat st;
  if (!local.empty() && ::stat(local.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) RemoveFile(local);
}

}  // namespace vantrel
