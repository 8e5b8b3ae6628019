// The output choice of a vantrel-batch run and where each part of it comes
// from: the command line, else the window's settings file, else the
// default. A value the chosen profile cannot use is the user's to fix where
// it was written: on the command line it is a usage error, in the settings
// file it is not (the command line was fine), so the two throw apart.
#pragma once

#include <QString>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings.h"

namespace vantrel::batch {

enum class Source { Default, SettingsFile, CommandLine };

struct ChoiceSources {
  Source profile = Source::Default;
  Source videoSize = Source::Default;
  Source videoBitrate = Source::Default;
  Source frameRate = Source::Default;
  Source audioChannels = Source::Default;
  Source audioBitrate = Source::Default;
  Source audioSampleRate = Source::Default;
  Source outputFolder = Source::Default;
  Source overwrite = Source::Default;

  Source& of(app::OptionList list);
  Source of(app::OptionList list) const;
};

// Thrown for a settings file value the run cannot use; what() names the
// file, the key and the value.
class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct SettingsFile {
  QString path;
  app::StoredValues values;
};

// The list options of the command line, in the order given.
struct GivenChoices {
  std::optional<int> profile;
  std::vector<std::pair<app::OptionList, std::string>> values;
};

// The settings file's choice as the window loads it, changed by the given
// one. A profile other than the stored one keeps each stored audio value
// its lists also hold, and takes the profile's own for the others. Throws
// UsageError for a given value the profile cannot use, then SettingsError
// for a stored one that is used.
app::OutputChoice ResolveChoice(const GivenChoices& given, const SettingsFile& file, ChoiceSources& sources);

// "--size" for the video size list.
std::string_view OptionName(app::OptionList list);
// "128x96, 176x144, ...": the values a profile can encode.
std::string AllowedValues(app::OptionList list, int profile);

// One line per choice in effect with where it came from, for --verbose:
// "size: 176x144 [settings file]". Flushed, so they come before the lines
// of the files whatever the output is.
void PrintChoices(const app::Settings& settings, const ChoiceSources& sources, FILE* out);

}  // namespace vantrel::batch
