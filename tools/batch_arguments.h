// The command line of vantrel-batch: the files, and the choices that differ
// from the settings file's. Values are taken as the window's lists show
// them ("176x144", "80kbps", "25fps", "2 (Stereo)", "96kbps", "44100Hz")
// or without their unit ("80", "25", "2", "96", "44100"), and checked
// against the lists of the chosen profile.
#pragma once

#include <QStringList>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/settings.h"
#include "batch_choices.h"

namespace vantrel::batch {

struct BatchArguments {
  app::Settings settings;  // the settings file's, with the command line's changes
  ChoiceSources sources;   // where the choices that --verbose prints came from
  QStringList files;
  bool quiet = false;
  bool verbose = false;  // says how each file is decoded
  bool help = false;
  bool version = false;
};

// Thrown for a command line that cannot be run; what() says why.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr int kMaxParallel = 8;

// The settings file gives the defaults; throws UsageError for the command
// line, then SettingsError for a value of the file that cannot be used.
// --help and --version are never refused for the file's sake.
BatchArguments ParseBatchArguments(const std::vector<std::string>& args, const QString& settingsFile);

// The usage line, and with full the profiles and every allowed value.
std::string UsageText(bool full);

}  // namespace vantrel::batch
