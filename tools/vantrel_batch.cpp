// vantrel-batch: the file list converted for a phone without the window,
// with the window's choices as defaults.
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/add_file_task.h"
#include "app/batch_controller.h"
#include "app/file_list_model.h"
#include "app/qt_main_loop.h"
#include "app/settings.h"
#include "batch_arguments.h"
#include "batch_console.h"
#include "batch_signals.h"
#include "binding/av_binding.h"
#include "converter/bront_converter.h"
#include "library_log.h"

namespace {

using namespace vantrel;
using namespace vantrel::app;
using namespace vantrel::batch;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

AddFileSettings FileSettings(const BatchArguments& args) {
  AddFileSettings files{args.settings.output, args.settings.outputFolder, args.settings.overwrite};
  files.fastDecoding = args.settings.fastDecoding;
  return files;
}

// "FILE: Fast decoding: reads the picture at half size, ...", one line a
// row with video, and "FILE: Picture: 960x720, H.264 High level 3.1" for
// the H.264 profiles.
void PrintDecoding(const FileListModel& model) {
  for (int row = 0; row < model.size(); ++row) {
    const FileRow& r = model.fileRow(row);
    if (!r.decodingNote.isEmpty()) std::printf("%s: %s\n", qPrintable(r.path), qPrintable(r.decodingNote));
    if (!r.pictureNote.isEmpty()) std::printf("%s: %s\n", qPrintable(r.path), qPrintable(r.pictureNote));
  }
  std::fflush(stdout);
}

// Each refusal is kept with its file for the summary.
std::vector<RefusedFile> AddFiles(const BatchArguments& args, FileListModel& model, ConsoleReporter& reporter,
                                  const BatchSignals& stopSignals) {
  std::vector<RefusedFile> refused;
  const int added = AddFilesToList(
      FileSettings(args), args.files, model, reporter,
      [&refused](const QString& path, const QString& message) { refused.push_back({path, message}); },
      [&stopSignals] { return stopSignals.Received(); });
  // Refused as a whole (a profile that cannot encode the size): every file.
  if (added == 0 && refused.empty() && !stopSignals.Received())
    for (const QString& path : args.files) refused.push_back({path, reporter.last});
  return refused;
}

bool AllCompleted(const FileListModel& model) {
  for (int row = 0; row < model.size(); ++row)
    if (model.fileRow(row).status != RowStatus::Completed) return false;
  return true;
}

int RunBatch(const BatchArguments& args, BatchSignals& stopSignals) {
  QElapsedTimer clock;
  clock.start();
  QObject loopContext;
  QtMainLoop mainLoop(&loopContext);
  TBrontConverter converter(&mainLoop);
  FileListModel model;
  ConsoleReporter reporter(stderr);
  const bool terminal = isatty(STDOUT_FILENO) == 1;
  RowPrinter printer(model, stdout, terminal, args.quiet);

  // Made first: whether it can be written is part of adding the files.
  if (!EnsureFolder(args.settings.outputFolder)) {
    std::fprintf(stderr, "vantrel-batch: cannot create the output folder %s\n",
                 qPrintable(args.settings.outputFolder));
    return kExitFailed;
  }
  const std::vector<RefusedFile> refused = AddFiles(args, model, reporter, stopSignals);
  if (args.verbose) PrintDecoding(model);

  BatchController batch(converter, model, reporter, nullptr);
  QEventLoop loop;
  QObject::connect(&batch, &BatchController::ended, &loop, [&loop] { loop.quit(); });
  QObject::connect(&batch, &BatchController::progressLineChanged, &printer, &RowPrinter::showProgress);
  stopSignals.OnStop([&batch] { QMetaObject::invokeMethod(&batch, [&batch] { batch.stop(); }, Qt::QueuedConnection); });

  if (model.size() > 0 && !stopSignals.Received()) {
    BatchSettings settings;
    settings.files = FileSettings(args);
    settings.parallelTasks = args.settings.parallelTasks();
    batch.start(settings);
    if (batch.running()) loop.exec();
  }
  printer.printSummary(refused, clock.elapsed());
  if (stopSignals.Received()) return kExitInterrupted;
  return refused.empty() && model.size() > 0 && AllCompleted(model) ? kExitOk : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  // Before any thread, so that every thread leaves the stopSignals to the watcher.
  BatchSignals stopSignals;
  QCoreApplication application(argc, argv);
  BatchArguments args;
  try {
    args = ParseBatchArguments(std::vector<std::string>(argv + 1, argv + argc), SettingsFilePath());
  } catch (const SettingsError& e) {
    std::fprintf(stderr, "vantrel-batch: %s\n", e.what());
    return kExitFailed;
  } catch (const UsageError& e) {
    std::fprintf(stderr, "vantrel-batch: %s\n%s", e.what(), UsageText(false).c_str());
    return kExitUsage;
  }
  if (args.help) {
    std::fputs(UsageText(true).c_str(), stdout);
    return kExitOk;
  }
  if (args.version) {
    std::printf("vantrel-batch %s\n", VANTREL_VERSION);  // as vantrel-cli's first line
    return kExitOk;
  }
  if (args.verbose) PrintChoices(args.settings, args.sources, stdout);
  if (!LoadLibraries("", true)) {
    std::fprintf(stderr, "vantrel-batch: %s\n", GetLoadError().c_str());
    return kExitFailed;
  }
  // The libraries' lines go through the engines' thresholds, as in
  // vantrel-cli: whole lines, each job's verbosity for its own, none of the
  // values the engine only tries out; --quiet leaves them out.
  cli::InstallLibraryLog({});
  cli::FollowEngineVerbosity(0);
  cli::SetLibraryLogMuted(args.quiet);
  // The libraries stay loaded until the process ends, as in vantrel-cli.
  return RunBatch(args, stopSignals);
}
