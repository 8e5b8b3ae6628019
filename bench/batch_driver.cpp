// Drives the converter component for bench/batch.sh.
//
//   batch_driver convert PARALLEL OUTDIR INPUT...
//     converts every input to the H.263/AMR-NB 3GP phone profile, PARALLEL
//     at a time, on a main loop of the program's own; exit status 1 when a
//     task could not be set up or did not finish.
//   batch_driver add OUTDIR INPUT...
//     adds every input as a task and sets its output in OUTDIR (probe
//     included, no job started: nothing is written) and prints the seconds
//     that took.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "converter/bront_converter.h"

namespace {

using namespace vantrel;
using Clock = std::chrono::steady_clock;

TOutputOptions PhoneProfile() {
  TOutputOptions o;
  InitOutputOptions(o);
  o.FileFormat = "3gp";
  o.VideoCodec = "h263";
  o.FrameSize = "176x144";
  o.FrameRate = "15";
  o.VideoBitrate = 40000;
  o.AudioCodec = "libopencore_amrnb";
  o.AudioSampleRate = 8000;
  o.AudioChannels = 1;
  o.AudioBitrate = 12200;
  return o;
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "batch_driver: %s\n", what.c_str());
  return 1;
}

// One task per input, each writing outDir/outN.3gp.
bool AddTasks(TBrontConverter& converter, const std::vector<std::string>& inputs, const std::string& outDir) {
  for (size_t i = 0; i < inputs.size(); ++i) {
    const int index = converter.AddTask(inputs[i]);
    if (index < 0) return Fail(inputs[i] + ": " + converter.LastErrMsg()) == 0;
    TOutputOptions o = PhoneProfile();
    const std::string out = outDir + "/out" + std::to_string(i) + ".3gp";
    if (!converter.SetOutputFile(index, out, &o)) return Fail(out + ": " + converter.LastErrMsg()) == 0;
  }
  return true;
}

int Convert(int parallel, const std::string& outDir, const std::vector<std::string>& inputs) {
  TSimpleMainLoop loop;
  TBrontConverter converter(&loop);
  if (!converter.LoadAVLib("", true)) return Fail(converter.LastErrMsg());
  converter.SetLogLevel(llError);
  std::mutex m;
  bool ended = false;
  int failed = 0;
  converter.OnTerminate = [&](int index, bool finished, bool exception, const std::string& message) {
    std::lock_guard<std::mutex> lock(m);
    if (index < 0) {
      ended = true;
      loop.Wake();
    } else if (!finished || exception) {
      ++failed;
      std::fprintf(stderr, "batch_driver: task %d: %s\n", index, message.c_str());
    }
  };
  if (!AddTasks(converter, inputs, outDir)) return 1;
  converter.StartConvert(parallel);
  const bool done = loop.RunUntil(
      [&] {
        std::lock_guard<std::mutex> lock(m);
        return ended;
      },
      std::chrono::hours(1));
  if (!done) return Fail("the batch did not end within an hour");
  return failed ? 1 : 0;
}

int Add(const std::string& outDir, const std::vector<std::string>& inputs) {
  TBrontConverter converter;
  if (!converter.LoadAVLib("", true)) return Fail(converter.LastErrMsg());
  converter.SetLogLevel(llError);
  const auto start = Clock::now();
  if (!AddTasks(converter, inputs, outDir)) return 1;
  const std::chrono::duration<double> took = Clock::now() - start;
  std::printf("%.3f\n", took.count());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "convert" && argc > 4)
    return Convert(std::atoi(argv[2]), argv[3], std::vector<std::string>(argv + 4, argv + argc));
  if (mode == "add" && argc > 3) return Add(argv[2], std::vector<std::string>(argv + 3, argv + argc));
  std::fprintf(stderr, "usage: %s convert PARALLEL OUTDIR INPUT... | add OUTDIR INPUT...\n", argv[0]);
  return 2;
}
