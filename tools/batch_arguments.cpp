#include "batch_arguments.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <charconv>
#include <optional>

namespace vantrel::batch {
namespace {

using app::OptionList;

std::optional<OptionList> ListOf(std::string_view option) {
  for (OptionList list : app::kOptionLists)
    if (OptionName(list) == option) return list;
  return std::nullopt;
}

int ParseCount(std::string_view option, const std::string& value, int low, int high) {
  int n = 0;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (ec != std::errc() || end != value.data() + value.size() || n < low || n > high)
    throw UsageError(std::string(option) + " takes a whole number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not '" + value + "'");
  return n;
}

bool ParseSwitch(std::string_view option, const std::string& value) {
  if (value == "on") return true;
  if (value == "off") return false;
  throw UsageError(std::string(option) + " takes on or off, not '" + value + "'");
}

QString FolderWithSlash(const std::string& value) {
  QString folder = QDir(QFile::decodeName(value.c_str())).absolutePath();
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

// Where the file's own values came from before the command line changes them.
ChoiceSources StoredSources(const app::StoredValues& values) {
  ChoiceSources sources;
  if (!values.value(QStringLiteral("outputpath")).isEmpty()) sources.outputFolder = Source::SettingsFile;
  if (values.contains(QStringLiteral("overwrite"))) sources.overwrite = Source::SettingsFile;
  return sources;
}

// "1 and 3", "0, 2 and 4"
std::string ProfileNumbers(const std::vector<int>& profiles) {
  std::string text;
  for (size_t i = 0; i < profiles.size(); ++i)
    text += (i == 0 ? "" : i + 1 == profiles.size() ? " and " : ", ") + std::to_string(profiles[i]);
  return text;
}

// One line for a list every profile allows alike, else one per group of
// profiles allowing the same values: a profile never sees a value it
// cannot encode.
std::string ValueLines(OptionList list) {
  std::vector<std::pair<std::string, std::vector<int>>> groups;
  for (int profile = 0; profile < app::kProfileCount; ++profile) {
    const std::string values = AllowedValues(list, profile);
    auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == values; });
    if (group == groups.end()) group = groups.insert(groups.end(), {values, {}});
    group->second.push_back(profile);
  }
  const std::string option = "  " + std::string(OptionName(list));
  if (groups.size() == 1) return option + ": " + groups[0].first + "\n";
  std::string lines;
  for (const auto& [values, profiles] : groups)
    lines += option + (profiles.size() == 1 ? " with profile " : " with profiles ") + ProfileNumbers(profiles) + ": " +
             values + "\n";
  return lines;
}

}  // namespace

BatchArguments ParseBatchArguments(const std::vector<std::string>& args, const QString& settingsFile) {
  const SettingsFile file{settingsFile, app::ReadStoredValues(settingsFile)};
  BatchArguments parsed;
  parsed.settings = app::SettingsFrom(file.values);
  parsed.sources = StoredSources(file.values);
  GivenChoices given;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      parsed.files.append(QFile::decodeName(arg.c_str()));
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      parsed.help = true;
    } else if (arg == "--version") {
      parsed.version = true;
    } else if (arg == "--quiet" || arg == "-q") {
      parsed.quiet = true;
    } else if (arg == "--verbose" || arg == "-v") {
      parsed.verbose = true;
    } else if (arg == "--overwrite" || arg == "--no-overwrite") {
      parsed.settings.overwrite = arg == "--overwrite";
      parsed.sources.overwrite = Source::CommandLine;
    } else {
      const std::optional<OptionList> list = ListOf(arg);
      const bool known = list || arg == "--profile" || arg == "--output-folder" ||
                         arg == "--parallel" || arg == "--fast-decoding";
      if (!known) throw UsageError("unknown option '" + arg + "'");
      if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "--profile") {
        given.profile = ParseCount(arg, value, 0, app::kProfileCount - 1);
      } else if (arg == "--output-folder") {
        parsed.settings.outputFolder = FolderWithSlash(value);
        parsed.sources.outputFolder = Source::CommandLine;
      } else if (arg == "--fast-decoding")
        parsed.settings.fastDecoding = ParseSwitch(arg, value);
      else if (arg == "--parallel")
        parsed.settings.thread = ParseCount(arg, value, 1, kMaxParallel) - 1;
      else
        given.values.emplace_back(*list, value);
    }
  }
  if (parsed.help || parsed.version) return parsed;
  if (parsed.files.isEmpty()) throw UsageError("no file to convert");
  parsed.settings.output = ResolveChoice(given, file, parsed.sources);
  return parsed;
}

std::string UsageText(bool full) {
  std::string text =
      "usage: vantrel-batch [--profile N] [--size WxH] [--video-bitrate B] [--frame-rate R]\n"
      "                     [--audio-channels C] [--audio-bitrate A] [--sample-rate F]\n"
      "                     [--output-folder DIR] [--overwrite|--no-overwrite] [--parallel N]\n"
      "                     [--fast-decoding on|off] [--quiet] [--verbose] FILE...\n"
      "       vantrel-batch --help | --version\n";
  if (!full) return text;
  text +=
      "\nConverts each FILE for a mobile phone into the output folder, several at once.\n"
      "Choices not given are those the window last used (its settings file).\n"
      "--verbose prints each choice in effect and where it came from: the command line,\n"
      "the settings file or the default.\n"
      "Exit status: 0 when every file was converted, 1 when any was not or the settings\n"
      "file holds a value the profile cannot use, 2 for a bad command line, 130 when\n"
      "stopped with Ctrl-C.\n\nProfiles (--profile N):\n";
  const auto profiles = app::Profiles();
  for (size_t i = 0; i < profiles.size(); ++i) text += "  " + std::to_string(i) + "  " + std::string(profiles[i].text) + "\n";
  text += "\nValues (with or without the unit):\n";
  for (OptionList list : app::kOptionLists) text += ValueLines(list);
  text += "  --parallel: 1 to " + std::to_string(kMaxParallel) + " files at once\n";
  text += "  --fast-decoding: on decodes at 1/2, 1/4 or 1/8 size when the decoder can and the\n"
          "    output picture is no larger; --verbose says how each file is decoded\n";
  return text;
}

}  // namespace vantrel::batch
