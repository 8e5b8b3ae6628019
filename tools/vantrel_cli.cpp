// vantrel-cli: one conversion job from the command line.
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "binding/av_binding.h"
#include "cli_arguments.h"
#include "console_output.h"
#include "engine/engine.h"
#include "file_reasons.h"
#include "library_log.h"
#include "stop_signals.h"

namespace {

using vantrel::TCustomFFmpeg;
using vantrel::TJobResult;
using vantrel::cli::ConsoleOutput;
using vantrel::cli::Step;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

int Fail(const std::string& msg) {
  std::fprintf(stderr, "vantrel-cli: %s\n", msg.c_str());
  return kExitFailed;
}

int UsageError(const std::string& msg) {
  std::fprintf(stderr, "vantrel-cli: %s\n%s", msg.c_str(), vantrel::cli::kUsage);
  return kExitUsage;
}

std::string LibraryVersion(const std::string& name, unsigned v) {
  return name + std::string(name.size() < 15 ? 15 - name.size() : 1, ' ') + std::to_string(v >> 16) + "." +
         std::to_string((v >> 8) & 0xff) + "." + std::to_string(v & 0xff) + "\n";
}

int PrintVersion(const vantrel::cli::Arguments& args) {
  std::printf("vantrel-cli %s\n", VANTREL_VERSION);
  if (!vantrel::LoadLibraries(args.libDir, !args.unversioned)) return Fail(vantrel::GetLoadError());
  const std::string text = LibraryVersion("libavutil", lav::avutil_version()) +
                           LibraryVersion("libavcodec", lav::avcodec_version()) +
                           LibraryVersion("libavformat", lav::avformat_version()) +
                           LibraryVersion("libavfilter", lav::avfilter_version()) +
                           LibraryVersion("libswscale", lav::swscale_version()) +
                           LibraryVersion("libswresample", lav::swresample_version());
  std::fputs(text.c_str(), stdout);
  return kExitOk;
}

// Existing outputs are refused before anything is opened.
int CheckOutputs(const vantrel::cli::Arguments& args) {
  using vantrel::cli::Overwrite;
  if (args.overwrite == Overwrite::Always) return kExitOk;
  for (const Step& step : args.steps) {
    const std::string path = vantrel::cli::LocalPath(step.value);
    if (step.kind != Step::Output || path.empty() || access(path.c_str(), F_OK) != 0) continue;
    if (args.overwrite == Overwrite::Never) return Fail("File '" + step.value + "' already exists. Not overwriting.");
    return Fail("File '" + step.value + "' already exists. Use -y to overwrite.");
  }
  return kExitOk;
}

// Names no table entry and no library holder knows are usage errors, found
// before anything is opened.
int CheckOptionNames(const TCustomFFmpeg& engine, const vantrel::cli::Arguments& args) {
  for (const Step& step : args.steps)
    if (step.kind == Step::Option && !engine.KnowsOption(step.name))
      return UsageError("Unrecognized option '-" + step.name + "'");
  for (const Step& step : args.steps)
    if (step.valueMissing) return UsageError("-" + step.name + " needs a value");
  return kExitOk;
}

// Values no option can use are refused before anything is opened: a
// refusal must not cost what standard input held or leave an output behind.
// The libraries' own complaint about a value is muted as in ApplyOption.
int CheckOptionValues(const TCustomFFmpeg& engine, const vantrel::cli::Arguments& args) {
  vantrel::cli::SetLibraryLogMuted(true);
  std::string refusal;
  for (const Step& step : args.steps) {
    if (step.kind != Step::Option || !refusal.empty()) continue;
    try {
      engine.CheckOptionValue(step.name, step.value);
    } catch (const vantrel::FFMpegException& e) {
      refusal = e.what();
    }
  }
  vantrel::cli::SetLibraryLogMuted(false);
  return refusal.empty() ? kExitOk : Fail(refusal);
}

int ApplyOption(TCustomFFmpeg& engine, const Step& step) {
  // The libraries complain about a refused value once per option holder;
  // the refusal is said once below instead. A refused frame hook is the
  // exception: why (the loader's reason, a missing entry point) is only
  // ever said in the library log.
  vantrel::cli::SetLibraryLogMuted(step.name != "vhook");
  TCustomFFmpeg::TOptionResult result;
  try {
    result = engine.SetOption(step.name, step.value);
  } catch (const std::exception& e) {
    vantrel::cli::SetLibraryLogMuted(false);
    return Fail(e.what());
  }
  vantrel::cli::SetLibraryLogMuted(false);
  if (result == TCustomFFmpeg::TOptionResult::UnknownName)
    return UsageError("Unrecognized option '-" + step.name + "'");
  if (result == TCustomFFmpeg::TOptionResult::ValueRefused)
    return Fail("Invalid value '" + step.value + "' for option '-" + step.name + "'");
  return kExitOk;
}

int ApplySteps(TCustomFFmpeg& engine, const vantrel::cli::Arguments& args,
               const vantrel::cli::StopSignals& signals) {
  for (const Step& step : args.steps) {
    int status = kExitOk;
    switch (step.kind) {
      case Step::Input:
        if (!engine.OpenInputFile(vantrel::cli::EngineFileName(step.value)) && !signals.Received())
          status = Fail(vantrel::cli::WithReason(engine.LastError(), vantrel::cli::InputReason(step.value)));
        break;
      case Step::Output:
        if (!engine.OpenOutputFile(vantrel::cli::EngineFileName(step.value)))
          status = Fail(vantrel::cli::WithReason(engine.LastError(), vantrel::cli::OutputReason(step.value)));
        break;
      case Step::Option:
        status = ApplyOption(engine, step);
        break;
    }
    vantrel::cli::FollowEngineVerbosity(engine.Options().Verbose);
    if (signals.Received()) return kExitInterrupted;
    if (status != kExitOk) return status;
  }
  return kExitOk;
}

int RunJob(const vantrel::cli::Arguments& args, vantrel::cli::StopSignals& signals, ConsoleOutput& console) {
  TCustomFFmpeg engine;
  engine.ResetEngine();
  // A file that appears at an output's name while the job runs is not replaced either.
  if (args.overwrite == vantrel::cli::Overwrite::Never)
    engine.SetOutputCollision(TCustomFFmpeg::TOutputCollision::Refuse);
  engine.SetOnLog([&console](TCustomFFmpeg*, int level, const std::string& msg) {
    // The error that ends the job is printed once, as the tool's own message.
    if (level >= 0) console.Line(msg);
  });
  engine.SetOnProgressLine([&console](TCustomFFmpeg*, const std::string& line, bool last) {
    console.Progress(line, last);
  });
  // An unknown name takes the next argument as its value, which may be "-i":
  // the name is the error to report, not the input file that then looks
  // like an existing output.
  int status = CheckOptionNames(engine, args);
  if (status == kExitOk) status = CheckOptionValues(engine, args);
  if (status == kExitOk) status = CheckOutputs(args);
  if (status != kExitOk) return status;
  signals.Attach(&engine);
  status = ApplySteps(engine, args, signals);
  // The job runs on this thread, the one the stop signals interrupt.
  if (status == kExitOk && !signals.Received()) engine.StartJob(false);
  signals.Finish();
  signals.Detach();
  if (status != kExitOk) return status;
  const TJobResult result = engine.Result();
  if (signals.Received() && !result.ErrorOccurred) return kExitInterrupted;
  if (result.ErrorOccurred) return Fail(result.ErrorMessage);
  return result.Completed ? kExitOk : kExitInterrupted;
}

}  // namespace

int main(int argc, char** argv) {
  // Before anything else, so that a stop is never missed.
  vantrel::cli::StopSignals signals;
  if (argc < 2) {
    std::fputs(vantrel::cli::kUsage, stderr);
    return kExitUsage;
  }
  vantrel::cli::Arguments args;
  try {
    args = vantrel::cli::ParseArguments(std::vector<std::string>(argv + 1, argv + argc),
                                        &TCustomFFmpeg::OptionTakesNoValue);
  } catch (const std::invalid_argument& e) {
    return UsageError(e.what());
  }
  if (args.help) {
    std::fputs(vantrel::cli::kUsage, stdout);
    std::fputs(vantrel::cli::kHelp, stdout);
    return kExitOk;
  }
  if (args.version) return PrintVersion(args);
  if (!vantrel::LoadLibraries(args.libDir, !args.unversioned)) return Fail(vantrel::GetLoadError());
  if (signals.Received()) return kExitInterrupted;

  // Lives as long as the process: the libraries may log until it ends.
  static ConsoleOutput console(stderr, isatty(STDERR_FILENO) == 1);
  vantrel::cli::InstallLibraryLog([](const std::string& text) { console.LibraryText(text); });
  const int status = RunJob(args, signals, console);
  vantrel::cli::FlushLibraryLog();
  // The libraries stay loaded until the process ends: unloading them at exit
  // gains nothing, and unmapping them turns their own process-lifetime
  // allocations into leaks in the eyes of the leak checker.
  return status;
}
