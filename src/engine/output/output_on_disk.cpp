// Where an output lands on disk. It is never one of the job's own inputs,
// and a regular file is written under a hidden name beside its final one:
// the old file is replaced only once the job has ended well (completed or
// stopped with its trailer), so a failing job loses nothing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "binding/helpers.h"
#include "binding/message_format.h"
#include "engine/engine.h"
#include "engine/local_file.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

// ".NAME.XXXXXX" in the folder of Target, created exclusively so that no
// other file is ever taken over. The mode is a new file's (the umask applies).
std::string CreateTemporaryBeside(const fs::path& Target) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix(6, ' ');
    for (char& c : suffix) c = kLetters[pick(random)];
    const fs::path name = Target.parent_path() / ("." + Target.filename().string() + "." + suffix);
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return name.string();
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

void RemoveFile(const std::string& Path) {
  std::error_code ec;
  fs::remove(Path, ec);
}

}  // namespace

std::string TCustomFFmpeg::SameFileAsInput(const std::string& OutputName) const {
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

void TCustomFFmpeg::CheckOutputsAreNotInputs() const {
  for (int i = 0; i < OutputFileCount; ++i)
    if (std::string refusal = SameFileAsInput(OutputFileNames[i]); !refusal.empty()) throw FFMpegException(refusal);
}

bool TCustomFFmpeg::StageOutput(int FileIndex) {
  AVFormatContext* oc = OutputFiles[FileIndex].get();
  const std::string local = LocalFilePath(OutputFileNames[FileIndex]);
  if (local.empty() || (oc->oformat->flags & AVFMT_NOFILE)) return false;
  fs::path target(local);
  struct stat st;
  if (::stat(local.c_str(), &st) == 0) {
    // Devices and pipes are written in place; a link keeps pointing where it did.
    if (!S_ISREG(st.st_mode)) return false;
    std::error_code ec;
    target = fs::canonical(target, ec);
    if (ec) return false;
  }
  const std::string temp = CreateTemporaryBeside(target);
  if (temp.empty()) return false;
  // Muxers that read their output back (the MP4 "faststart" pass) find it by URL.
  AvStringPtr url = CopyString(temp);
  if (!url) {
    RemoveFile(temp);
    return false;
  }
  // The context owns its URL: the old one goes, the new one is handed over.
  const AvStringPtr old(oc->url);
  oc->url = url.release();
  StagedOutputs[FileIndex] = TStagedOutput{temp, target.string()};
  return true;
}

std::string TCustomFFmpeg::KeepFinishedOutputs() {
  std::string failure;
  for (int i = 0; i < OutputFileCount; ++i) {
    TStagedOutput& staged = StagedOutputs[i];
    if (staged.Temp.empty()) continue;
    AVFormatContext* oc = OutputFiles[i].get();
    const bool writeFailed = oc && oc->pb && oc->pb->error < 0;
    const int closed = oc && oc->pb ? lav::avio_closep(&oc->pb) : 0;
    std::string reason;
    if (writeFailed || closed < 0) {
      reason = "Could not write '" + OutputFileNames[i] + "'";
    } else if (FileSizeOf(staged.Temp) == 0) {
      // Nothing was written: the old file stays, the empty one goes with the job.
      continue;
    } else if (std::rename(staged.Temp.c_str(), staged.Target.c_str()) != 0) {
      reason = Format("Could not write '%s': %s", OutputFileNames[i], std::strerror(errno));
    } else {
      staged = TStagedOutput{};
      continue;
    }
    if (failure.empty()) failure = reason;
  }
  return failure;
}

void TCustomFFmpeg::DiscardUnfinishedOutput(int FileIndex) {
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
