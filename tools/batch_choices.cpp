#include "batch_choices.h"

#include <QDir>
#include <algorithm>
#include <array>
#include <cctype>

#include "batch_arguments.h"

namespace vantrel::batch {
namespace {

using app::OptionList;

struct ListOption {
  OptionList list;
  std::string_view option;
  std::string_view label;  // in the --verbose lines
};

// In the order --verbose prints them.
constexpr std::array kListOptions = {
    ListOption{OptionList::VideoSize, "--size", "size"},
    ListOption{OptionList::FrameRate, "--frame-rate", "frame rate"},
    ListOption{OptionList::VideoBitrate, "--video-bitrate", "video bit rate"},
    ListOption{OptionList::AudioChannels, "--audio-channels", "audio channels"},
    ListOption{OptionList::AudioBitrate, "--audio-bitrate", "audio bit rate"},
    ListOption{OptionList::AudioSampleRate, "--sample-rate", "sample rate"},
};

const ListOption& ListOptionOf(OptionList list) {
  return *std::find_if(kListOptions.begin(), kListOptions.end(), [list](const ListOption& o) { return o.list == list; });
}

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

// A size the window lists but the profile cannot encode is named with the
// reason rather than as unknown: the user may not know about H.263's sizes.
int IndexOfGiven(OptionList list, int profile, const std::string& value) {
  const std::string option(OptionName(list));
  const auto items = app::Items(list, profile);
  for (size_t i = 0; i < items.size(); ++i) {
    if (!MatchesItem(items[i], value)) continue;
    const std::string reason = list == OptionList::VideoSize ? app::PreflightReason(profile, items[i]) : "";
    if (!reason.empty()) throw UsageError(option + " " + value + ": " + reason);
    return int(i);
  }
  throw UsageError(option + " " + value + " is not one of the values of profile " + std::to_string(profile) + ": " +
                   AllowedValues(list, profile));
}

// The file as the user would type it, with ~ for the home folder.
std::string ShownPath(const QString& file) {
  const QString home = QDir::homePath();
  if (home.size() > 1 && file.startsWith(home + QLatin1Char('/'))) return "~" + file.mid(home.size()).toStdString();
  return file.toStdString();
}

[[noreturn]] void RefuseStored(const SettingsFile& file, const char* key, const std::string& value,
                               const std::string& why) {
  throw SettingsError("the settings file " + ShownPath(file.path) + " gives " + key + " " + value + ", which " + why);
}

// Settings file when the key holds an index below count, default when the
// file lacks it; a value that is there but no index is refused, since the
// run would otherwise quietly use another one than the user chose.
Source StoredIndexSource(const SettingsFile& file, const char* key, int count, std::string_view option) {
  const QString lowerKey = QString::fromLatin1(key).toLower();
  if (!file.values.contains(lowerKey)) return Source::Default;
  bool ok = false;
  const QString text = file.values.value(lowerKey);
  const int index = text.toInt(&ok, 10);
  if (!ok || index < 0 || index >= count)
    RefuseStored(file, key, text.toStdString(),
                 "is not an index from 0 to " + std::to_string(count - 1) + "; give " + std::string(option) +
                     " or choose again in the window");
  return Source::SettingsFile;
}

void ApplyGivenValues(const GivenChoices& given, int profile, app::OutputChoice& choice, ChoiceSources& sources) {
  for (const auto& [list, value] : given.values) {
    choice.index(list) = IndexOfGiven(list, profile, value);
    sources.of(list) = Source::CommandLine;
  }
}

// loaded is the stored choice as the window reads it, under its own profile.
void KeepStoredValue(const SettingsFile& file, const app::OutputChoice& loaded, OptionList list, int profile,
                     app::OutputChoice& choice, ChoiceSources& sources) {
  const char* key = app::StoredKey(list);
  Source source = StoredIndexSource(file, key, int(app::Items(list, loaded.profile).size()), OptionName(list));
  const std::string_view text = app::ItemText(list, loaded.profile, loaded.index(list));
  int index = app::IndexOfItem(list, profile, text);
  if (index < 0) {
    index = app::SelectedAfterProfileChange(list, profile);
    source = Source::Default;
  }
  const std::string reason =
      list == OptionList::VideoSize ? app::PreflightReason(profile, app::ItemText(list, profile, index)) : "";
  if (!reason.empty())
    RefuseStored(file, key, std::string(text),
                 "profile " + std::to_string(profile) + " cannot encode: " + reason + " --size on the command line overrides it.");
  choice.index(list) = index;
  sources.of(list) = source;
}

std::string_view SourceName(Source source) {
  switch (source) {
    case Source::CommandLine:
      return "command line";
    case Source::SettingsFile:
      return "settings file";
    case Source::Default:
      break;
  }
  return "default";
}

std::string Line(std::string_view label, std::string_view value, Source source) {
  return std::string(label) + ": " + std::string(value) + " [" + std::string(SourceName(source)) + "]\n";
}

}  // namespace

Source& ChoiceSources::of(OptionList list) {
  switch (list) {
    case OptionList::VideoSize:
      return videoSize;
    case OptionList::VideoBitrate:
      return videoBitrate;
    case OptionList::FrameRate:
      return frameRate;
    case OptionList::AudioChannels:
      return audioChannels;
    case OptionList::AudioBitrate:
      return audioBitrate;
    case OptionList::AudioSampleRate:
      break;
  }
  return audioSampleRate;
}

Source ChoiceSources::of(OptionList list) const { return const_cast<ChoiceSources*>(this)->of(list); }

app::OutputChoice ResolveChoice(const GivenChoices& given, const SettingsFile& file, ChoiceSources& sources) {
  const app::OutputChoice loaded = app::SettingsFrom(file.values).output;
  const int profile = given.profile.value_or(loaded.profile);
  app::OutputChoice choice = loaded;
  choice.profile = profile;
  // The command line first: its mistakes are usage errors whatever the file holds.
  ApplyGivenValues(given, profile, choice, sources);
  sources.profile = given.profile ? Source::CommandLine
                                  : StoredIndexSource(file, "Profile", app::kProfileCount, "--profile");
  for (OptionList list : app::kOptionLists) {
    const bool isGiven = std::any_of(given.values.begin(), given.values.end(),
                                     [list](const auto& value) { return value.first == list; });
    if (!isGiven) KeepStoredValue(file, loaded, list, profile, choice, sources);
  }
  return choice;
}

std::string_view OptionName(OptionList list) { return ListOptionOf(list).option; }

std::string AllowedValues(OptionList list, int profile) {
  std::string text;
  for (std::string_view item : app::EncodableItems(list, profile)) text += (text.empty() ? "" : ", ") + std::string(item);
  return text;
}

void PrintChoices(const app::Settings& settings, const ChoiceSources& sources, FILE* out) {
  const app::OutputChoice& choice = settings.output;
  std::string lines =
      Line("profile", std::to_string(choice.profile) + ", " + std::string(app::ProfileAt(choice.profile).text),
           sources.profile);
  for (const ListOption& option : kListOptions)
    lines += Line(option.label, app::ItemText(option.list, choice.profile, choice.index(option.list)),
                  sources.of(option.list));
  lines += Line("output folder", settings.outputFolder.toStdString(), sources.outputFolder);
  lines += Line("overwrite", settings.overwrite ? "on" : "off", sources.overwrite);
  std::fputs(lines.c_str(), out);
  std::fflush(out);
}

}  // namespace vantrel::batch
