// Feeds the bytes as an input file through a whole job: opening, set-up with
// a phone profile's encoders, the loop, flush and trailer into the "null"
// muxer. A refused input or a failed job is fine; crashes, leaks, hangs and
// sanitizer reports are findings.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "binding/av_binding.h"
#include "engine/engine.h"

namespace {

void Quiet(void*, int, const char*, va_list) {}

using Options = std::vector<std::pair<std::string, std::string>>;

// The two codec sets of the phone profiles; the input's size picks one, so
// that the bytes themselves all belong to the file.
const Options kH263Amr = {{"vcodec", "h263"}, {"acodec", "libopencore_amrnb"}, {"s", "176x144"}, {"r", "15"},
                          {"b", "40000"},     {"ab", "12200"},                 {"ar", "8000"},  {"ac", "1"}};
const Options kMpeg4Aac = {{"vcodec", "mpeg4"}, {"acodec", "libfaac"}, {"s", "176x144"}, {"r", "15"},
                           {"b", "40000"},      {"ab", "96000"},       {"ar", "32000"},  {"ac", "2"}};

// A file of the process's own, rewritten for each input: the engine opens
// inputs by name, as every front end does.
std::string gInputPath;

bool WriteInput(const uint8_t* data, size_t size) {
  FILE* f = std::fopen(gInputPath.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

void RunJob(const Options& profile) {
  vantrel::TCustomFFmpeg engine;
  engine.ResetEngine();
  engine.OnLog = [](vantrel::TCustomFFmpeg*, int, const std::string&) {};
  engine.OnTerminate = [](vantrel::TCustomFFmpeg*) {};
  try {
    engine.SetOption("v", "-1");
    if (!engine.OpenInputFile(gInputPath)) return;
    for (const auto& [name, value] : profile) engine.SetOption(name, value);
    // An input that claims hours must not hold the fuzzer for as long.
    engine.SetOption("t", "10");
    engine.SetOption("f", "null");
    if (!engine.OpenOutputFile("-")) return;
  } catch (const std::exception&) {
    return;
  }
  engine.StartJob(false);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!vantrel::LoadLibraries("", true)) return 1;
  lav::av_log_set_callback(Quiet);
  const char* dir = std::getenv("TMPDIR");
  gInputPath = std::string(dir && *dir ? dir : "/tmp") + "/vantrel-job-fuzz-" + std::to_string(getpid());
  std::atexit([] { unlink(gInputPath.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!WriteInput(data, size)) std::abort();
  RunJob(size % 2 ? kH263Amr : kMpeg4Aac);
  return 0;
}
