// Adding files to the list as the window and vantrel-batch do (each file
// looked at once, its row named and planned), timed: the seconds it took,
// then the rows added, on one line.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "app/add_file_task.h"
#include "app/file_list_model.h"
#include "binding/av_binding.h"

namespace {

class SilentReporter final : public vantrel::app::MessageReporter {
 public:
  void Report(vantrel::app::MessageKind, const QString&) override { ++refused; }
  int refused = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  const QStringList args = application.arguments();
  if (args.size() < 3) {
    std::fprintf(stderr, "usage: add_rows OUTPUT_FOLDER FILE...\n");
    return 2;
  }
  if (!vantrel::LoadLibraries("", true)) {
    std::fprintf(stderr, "add_rows: %s\n", vantrel::GetLoadError().c_str());
    return 1;
  }
  vantrel::app::AddFileSettings settings;
  vantrel::app::SelectProfile(settings.choice, 1);
  settings.outputFolder = args[1] + QLatin1Char('/');
  vantrel::app::FileListModel model;
  SilentReporter reporter;
  QElapsedTimer clock;
  clock.start();
  const int added = vantrel::app::AddFilesToList(settings, args.mid(2), model, reporter);
  std::printf("%.3f %d\n", double(clock.nsecsElapsed()) / 1e9, added);
  return added == int(args.size() - 2) ? 0 : 1;
}
