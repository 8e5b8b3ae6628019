// Handlers that name files: the video statistics file and frame hooks.
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <vector>

#include "binding/message_format.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

constexpr int kMaxHookTokens = 63;

// The folder of the running program, with a trailing separator.
std::string ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "";
  return exe.parent_path().string() + "/";
}

// Splits a hook specification at "|" when it has one, else at blanks.
std::vector<std::string> SplitHookTokens(const std::string& Value) {
  const char* separator = Value.find('|') != std::string::npos ? "|" : " ";
  std::string text = Value;
  std::vector<std::string> tokens;
  char* state = nullptr;
  for (char* t = lav::strtok_r(text.data(), separator, &state); t; t = lav::strtok_r(nullptr, separator, &state)) {
    if (int(tokens.size()) == kMaxHookTokens)
      throw FFMpegException(
          Format("Too many words in video hook specification: at most %d are allowed", kMaxHookTokens));
    tokens.emplace_back(t);
  }
  return tokens;
}

}  // namespace

void TEngineJob::OptVStats() {
  RefuseWhileRunning();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string clock = Format("%02d%02d%02d", local.tm_hour, local.tm_min, local.tm_sec);
  VStatsFileName = Format("%svstats_%s.log", ProgramFolder(), clock);
}

void TEngineJob::OptVStatsFile(const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  VStatsFileName = Value;
}

// Why a hook was refused goes to the codec library's log.
void TEngineJob::OptVideoHook(const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  if (AddFrameHook(FrameHooks, SplitHookTokens(Value)) != 0)
    throw FFMpegException("Failed to add video hook function: " + Value);
  UsingVhook = true;
  FrameHooksActive = true;
}

}  // namespace vantrel
