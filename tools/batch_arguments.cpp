#include "batch_arguments.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <array>
#include <charconv>
#include <optional>

namespace vantrel::batch {
namespace {

using app::OptionList;

struct ListOption {
  std::string_view name;
  OptionList list;
};

constexpr std::array kListOptions = {
    ListOption{"--size", OptionList::VideoSize},
    ListOption{"--video-bitrate", OptionList::VideoBitrate},
    ListOption{"--frame-rate", OptionList::FrameRate},
    ListOption{"--audio-channels", OptionList::AudioChannels},
    ListOption{"--audio-bitrate", OptionList::AudioBitrate},
    ListOption{"--sample-rate", OptionList::AudioSampleRate},
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The item as shown, or its number without the unit: "80" for "80kbps",
// "2" for "2 (Stereo)", "auto" for "Auto".
bool MatchesItem(std::string_view item, std::string_view text) {
  if (text.empty()) return false;
  if (EqualsIgnoringCase(item, text)) return true;
  if (item.size() <= text.size() || item.substr(0, text.size()) != text) return false;
  const std::string_view rest = item.substr(text.size());
  return rest == "kbps" || rest == "fps" || rest == "Hz" || rest.starts_with(" (");
}

std::string Joined(std::span<const std::string_view> items) {
  std::string text;
  for (std::string_view item : items) text += (text.empty() ? "" : ", ") + std::string(item);
  return text;
}

int IndexOf(OptionList list, int profile, std::string_view option, const std::string& value) {
  const auto items = app::Items(list, profile);
  for (size_t i = 0; i < items.size(); ++i)
    if (MatchesItem(items[i], value)) return int(i);
  throw UsageError(std::string(option) + " " + value + " is not one of the values of profile " +
                   std::to_string(profile) + ": " + Joined(items));
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

// The options taking a value, in the order they are given; the profile is
// applied first so the audio values are checked against its lists.
struct Pending {
  std::optional<int> profile;
  std::vector<std::pair<const ListOption*, std::string>> values;
};

void ApplyChoices(const Pending& pending, app::OutputChoice& choice) {
  if (pending.profile) app::SelectProfile(choice, *pending.profile);
  for (const auto& [option, value] : pending.values)
    choice.index(option->list) = IndexOf(option->list, choice.profile, option->name, value);
  const std::string reason = app::PreflightReason(choice);
  if (!reason.empty()) throw UsageError(reason);
}

}  // namespace

BatchArguments ParseBatchArguments(const std::vector<std::string>& args, const app::Settings& defaults) {
  BatchArguments parsed;
  parsed.settings = defaults;
  Pending pending;
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
    } else if (arg == "--quiet" || arg == "-q") {
      parsed.quiet = true;
    } else if (arg == "--verbose" || arg == "-v") {
      parsed.verbose = true;
    } else if (arg == "--overwrite") {
      parsed.settings.overwrite = true;
    } else if (arg == "--no-overwrite") {
      parsed.settings.overwrite = false;
    } else {
      const auto listOption =
          std::find_if(kListOptions.begin(), kListOptions.end(), [&](const ListOption& o) { return o.name == arg; });
      const bool known = listOption != kListOptions.end() || arg == "--profile" || arg == "--output-folder" ||
                         arg == "--parallel" || arg == "--fast-decoding";
      if (!known) throw UsageError("unknown option '" + arg + "'");
      if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "--profile")
        pending.profile = ParseCount(arg, value, 0, app::kProfileCount - 1);
      else if (arg == "--output-folder")
        parsed.settings.outputFolder = FolderWithSlash(value);
      else if (arg == "--fast-decoding")
        parsed.settings.fastDecoding = ParseSwitch(arg, value);
      else if (arg == "--parallel")
        parsed.settings.thread = ParseCount(arg, value, 1, kMaxParallel) - 1;
      else
        pending.values.emplace_back(&*listOption, value);
    }
  }
  if (parsed.help) return parsed;
  if (parsed.files.isEmpty()) throw UsageError("no file to convert");
  ApplyChoices(pending, parsed.settings.output);
  return parsed;
}

std::string UsageText(bool full) {
  std::string text =
      "usage: vantrel-batch [--profile N] [--size WxH] [--video-bitrate B] [--frame-rate R]\n"
      "                     [--audio-channels C] [--audio-bitrate A] [--sample-rate F]\n"
      "                     [--output-folder DIR] [--overwrite|--no-overwrite] [--parallel N]\n"
      "                     [--fast-decoding on|off] [--quiet] [--verbose] FILE...\n";
  if (!full) return text;
  text +=
      "\nConverts each FILE for a mobile phone into the output folder, several at once.\n"
      "Choices not given are those the window last used (its settings file).\n"
      "Exit status: 0 when every file was converted, 1 when any was not, 2 for a bad\n"
      "command line, 130 when stopped with Ctrl-C.\n\nProfiles (--profile N):\n";
  const auto profiles = app::Profiles();
  for (size_t i = 0; i < profiles.size(); ++i) text += "  " + std::to_string(i) + "  " + std::string(profiles[i].text) + "\n";
  text += "\nValues (with or without the unit):\n";
  for (const ListOption& option : kListOptions) {
    const std::string mpeg4 = Joined(app::Items(option.list, 0));
    const std::string h263 = Joined(app::Items(option.list, 1));
    text += "  " + std::string(option.name) + ": " + mpeg4 + "\n";
    if (h263 != mpeg4) text += "    with profiles 1 and 3: " + h263 + "\n";
  }
  text += "  --size with profiles 1 and 3 (H.263): 128x96, 176x144, 352x288 or 704x576 only\n";
  text += "  --parallel: 1 to " + std::to_string(kMaxParallel) + " files at once\n";
  text += "  --fast-decoding: on decodes at 1/2, 1/4 or 1/8 size when the decoder can and the\n"
          "    output picture is no larger; --verbose says how each file is decoded\n";
  return text;
}

}  // namespace vantrel::batch
