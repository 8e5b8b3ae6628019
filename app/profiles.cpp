#include "app/profiles.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <iterator>

namespace vantrel::app {

namespace {

using namespace std::string_view_literals;

// "libfaac" is the name users of the program know; the engine maps it to the
// built-in AAC encoder of the installed libraries.
constexpr Profile kProfiles[kProfileCount] = {
    {"3GPP - Video codec: MPEG-4, Audio codec: AAC LC (*.3gp)", ".3gp", "mpeg4", "libfaac", AudioFamily::Aac},
    {"3GPP - Video codec: H.263, Audio codec: AMR-NB (*.3gp)", ".3gp", "", "", AudioFamily::AmrNb},
    {"3GPP2 - Video codec: MPEG-4, Audio codec: AAC LC (*.3g2)", ".3g2", "mpeg4", "libfaac", AudioFamily::Aac},
    {"3GPP2 - Video codec: H.263, Audio codec: AMR-NB (*.3g2)", ".3g2", "", "", AudioFamily::AmrNb},
    {"MPEG4 - Video codec: MPEG-4, Audio codec: AAC LC (*.mp4)", ".mp4", "mpeg4", "libfaac", AudioFamily::Aac},
};

constexpr std::array kVideoSizes = {"128x96"sv, "176x144"sv, "352x288"sv, "320x240"sv, "160x120"sv, "704x576"sv};
constexpr std::array kVideoBitrates = {"40kbps"sv, "80kbps"sv, "120kbps"sv, "256kbps"sv, "512kbps"sv};
constexpr std::array kFrameRates = {"Auto"sv,  "5fps"sv,     "8fps"sv,  "10fps"sv,    "12fps"sv, "15fps"sv,
                                    "20fps"sv, "23.97fps"sv, "25fps"sv, "29.97fps"sv, "30fps"sv, "60fps"sv};

constexpr std::array kAacChannels = {"1 (Mono)"sv, "2 (Stereo)"sv};
constexpr std::array kAacBitrates = {"32kbps"sv,  "40kbps"sv,  "48kbps"sv,  "56kbps"sv,  "64kbps"sv,
                                     "80kbps"sv,  "96kbps"sv,  "112kbps"sv, "128kbps"sv, "160kbps"sv,
                                     "192kbps"sv, "224kbps"sv, "256kbps"sv, "320kbps"sv};
constexpr std::array kAacSampleRates = {"8000Hz"sv, "16000Hz"sv, "22050Hz"sv, "32000Hz"sv, "44100Hz"sv, "48000Hz"sv};

// The eight AMR-NB codec modes: the encoder takes no other rate.
constexpr std::array kAmrChannels = {"1 (Mono)"sv};
constexpr std::array kAmrBitrates = {"4.75kbps"sv, "5.15kbps"sv, "5.9kbps"sv,  "6.7kbps"sv,
                                     "7.4kbps"sv,  "7.95kbps"sv, "10.2kbps"sv, "12.2kbps"sv};
constexpr std::array kAmrSampleRates = {"8000Hz"sv};

constexpr std::array kH263Sizes = {"128x96"sv, "176x144"sv, "352x288"sv, "704x576"sv, "1408x1152"sv};

bool IsAmr(int profile) { return ProfileAt(profile).audio == AudioFamily::AmrNb; }

// The leading decimal digits of text; 0 when there are none.
int LeadingInt(std::string_view text) {
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

bool IsH263Size(std::string_view frameSize) {
  return std::find(kH263Sizes.begin(), kH263Sizes.end(), frameSize) != kH263Sizes.end();
}

// "128x96, 176x144, 352x288 and 704x576".
template <typename Sizes>
std::string JoinedSizes(const Sizes& sizes) {
  std::string text;
  for (size_t i = 0; i < sizes.size(); ++i)
    text += (i == 0 ? "" : i + 1 == sizes.size() ? " and " : ", ") + std::string(sizes[i]);
  return text;
}

// The sizes of the profile's list that H.263 takes.
std::string ListedSizes(int profile) {
  const auto items = Items(OptionList::VideoSize, profile);
  std::vector<std::string_view> sizes;
  std::copy_if(items.begin(), items.end(), std::back_inserter(sizes), IsH263Size);
  return JoinedSizes(sizes);
}

std::string_view DropSuffix(std::string_view text, size_t count) {
  return text.substr(0, text.size() >= count ? text.size() - count : 0);
}

}  // namespace

std::span<const Profile> Profiles() { return kProfiles; }

const Profile& ProfileAt(int index) { return kProfiles[index >= 0 && index <= 3 ? index : 4]; }

bool UsesH263(int profile) { return ProfileAt(profile).videoCodec.empty(); }

std::span<const std::string_view> Items(OptionList list, int profile) {
  switch (list) {
    case OptionList::VideoSize:
      return kVideoSizes;
    case OptionList::VideoBitrate:
      return kVideoBitrates;
    case OptionList::FrameRate:
      return kFrameRates;
    case OptionList::AudioChannels:
      return IsAmr(profile) ? std::span<const std::string_view>(kAmrChannels) : kAacChannels;
    case OptionList::AudioBitrate:
      return IsAmr(profile) ? std::span<const std::string_view>(kAmrBitrates) : kAacBitrates;
    case OptionList::AudioSampleRate:
      return IsAmr(profile) ? std::span<const std::string_view>(kAmrSampleRates) : kAacSampleRates;
  }
  return {};
}

std::vector<std::string_view> EncodableItems(OptionList list, int profile) {
  const auto items = Items(list, profile);
  std::vector<std::string_view> encodable;
  for (std::string_view item : items)
    if (list != OptionList::VideoSize || PreflightReason(profile, item).empty()) encodable.push_back(item);
  return encodable;
}

std::string_view ItemText(OptionList list, int profile, int index) {
  const auto items = Items(list, profile);
  return index >= 0 && static_cast<size_t>(index) < items.size() ? items[index] : std::string_view();
}

int IndexOfItem(OptionList list, int profile, std::string_view text) {
  const auto items = Items(list, profile);
  const auto found = std::find(items.begin(), items.end(), text);
  return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

int SelectedAfterProfileChange(OptionList list, int profile) {
  switch (list) {
    case OptionList::VideoSize:
      return 1;
    case OptionList::VideoBitrate:
    case OptionList::FrameRate:
      return 0;
    case OptionList::AudioChannels:
      return IsAmr(profile) ? 0 : 1;
    case OptionList::AudioBitrate:
      return 6;
    case OptionList::AudioSampleRate:
      return IsAmr(profile) ? 0 : 3;
  }
  return 0;
}

int& OutputChoice::index(OptionList list) {
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

int OutputChoice::index(OptionList list) const { return const_cast<OutputChoice*>(this)->index(list); }

void SelectProfile(OutputChoice& choice, int profile) {
  choice.profile = profile;
  for (OptionList list : {OptionList::AudioChannels, OptionList::AudioBitrate, OptionList::AudioSampleRate})
    choice.index(list) = SelectedAfterProfileChange(list, profile);
}

bool IsValid(const OutputChoice& choice) {
  if (choice.profile < 0 || choice.profile >= kProfileCount) return false;
  return std::all_of(std::begin(kOptionLists), std::end(kOptionLists),
                     [&](OptionList list) { return !ItemText(list, choice.profile, choice.index(list)).empty(); });
}

int ParseVideoBitrate(std::string_view item) { return LeadingInt(DropSuffix(item, 4)) * 1000; }

std::string ParseFrameRate(std::string_view item) {
  if (item == "Auto") return {};
  const std::string_view rate = DropSuffix(item, 3);
  if (rate == "23.97") return "24000/1001";
  if (rate == "29.97") return "30000/1001";
  return std::string(rate);
}

int ParseAudioChannels(int index) { return index == 0 ? 1 : 2; }

// Whole and fraction digits are read apart, so "5.15" is exactly 5150 and
// no binary rounding can make it 5149.
int ParseAudioBitrate(std::string_view item) {
  const std::string_view number = DropSuffix(item, 4);
  const size_t dot = number.find('.');
  int bitrate = LeadingInt(number.substr(0, dot)) * 1000;
  if (dot == std::string_view::npos) return bitrate;
  int scale = 100;
  for (char digit : number.substr(dot + 1)) {
    if (digit < '0' || digit > '9' || scale == 0) break;
    bitrate += (digit - '0') * scale;
    scale /= 10;
  }
  return bitrate;
}

int ParseSampleRate(std::string_view item) { return LeadingInt(DropSuffix(item, 2)); }

OutputValues ValuesOf(const OutputChoice& choice) {
  const int p = choice.profile;
  OutputValues values;
  values.frameSize = std::string(ItemText(OptionList::VideoSize, p, choice.videoSize));
  values.videoBitrate = ParseVideoBitrate(ItemText(OptionList::VideoBitrate, p, choice.videoBitrate));
  values.frameRate = ParseFrameRate(ItemText(OptionList::FrameRate, p, choice.frameRate));
  values.audioChannels = ParseAudioChannels(choice.audioChannels);
  values.audioBitrate = ParseAudioBitrate(ItemText(OptionList::AudioBitrate, p, choice.audioBitrate));
  values.audioSampleRate = ParseSampleRate(ItemText(OptionList::AudioSampleRate, p, choice.audioSampleRate));
  return values;
}

void FillOutputOptions(const OutputChoice& choice, TOutputOptions& Options) {
  InitOutputOptions(Options);
  const Profile& profile = ProfileAt(choice.profile);
  Options.VideoCodec = std::string(profile.videoCodec);
  Options.AudioCodec = std::string(profile.audioCodec);
  OutputValues values = ValuesOf(choice);
  Options.FrameSize = std::move(values.frameSize);
  Options.AudioChannels = values.audioChannels;
  Options.VideoBitrate = values.videoBitrate;
  Options.AudioBitrate = values.audioBitrate;
  Options.FrameRate = std::move(values.frameRate);
  Options.AudioSampleRate = values.audioSampleRate;
  Options.CopyTimestamps = true;
  Options.Timestamp = 0.0;
  Options.FileExt = std::string(profile.extension);
}

std::string PreflightReason(int profile, std::string_view frameSize) {
  if (!UsesH263(profile)) return {};
  if (IsH263Size(frameSize)) return {};
  return "H.263 can encode only " + ListedSizes(profile) + ", not " + std::string(frameSize) +
         "; choose one of those sizes or an MPEG-4 profile.";
}

std::string PreflightReason(const OutputChoice& choice) {
  return PreflightReason(choice.profile, ItemText(OptionList::VideoSize, choice.profile, choice.videoSize));
}

std::string UnencodableSizeNote(int profile, std::string_view frameSize) {
  if (PreflightReason(profile, frameSize).empty()) return {};
  return "H.263 only encodes " + JoinedSizes(kH263Sizes);
}

void DropUnencodableSize(OutputChoice& choice) {
  if (!PreflightReason(choice).empty()) choice.videoSize = OutputChoice{}.videoSize;
}

std::optional<int64_t> EstimatedOutputBytes(int64_t durationUs, int videoBitrate, int audioBitrate) {
  const int64_t bitrate = int64_t{videoBitrate} + audioBitrate;
  if (durationUs <= 0 || bitrate < 0) return std::nullopt;
  // A probe may report an absurd duration for a broken file: no estimate
  // rather than a wrapped-around number.
  const int64_t durationMs = durationUs / 1000;
  if (bitrate > 0 && durationMs > INT64_MAX / bitrate) return std::nullopt;
  const int64_t payload = durationMs * bitrate / 8000;
  return payload + static_cast<int64_t>(payload * kContainerOverheadShare) + kContainerHeaderBytes;
}

std::optional<int64_t> EstimatedOutputBytes(int64_t durationUs, const OutputChoice& choice) {
  const OutputValues values = ValuesOf(choice);
  return EstimatedOutputBytes(durationUs, values.videoBitrate, values.audioBitrate);
}

}  // namespace vantrel::app
