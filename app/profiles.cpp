#include "app/profiles.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "app/h264_output.h"

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
    {"MP4 - Video codec: H.264, Audio codec: AAC LC (*.mp4)", ".mp4", "libx264", "aac", AudioFamily::AacSmartphone,
     VideoFamily::H264},
    {"MP4 - Video codec: H.264 Baseline, Audio codec: AAC LC (*.mp4)", ".mp4", "libx264", "aac",
     AudioFamily::AacSimplePhone, VideoFamily::H264Baseline},
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

// What phones show today, widest first in their own orientation; "Same as
// source" keeps the source's picture.
constexpr std::string_view kSameAsSource = "Same as source";
constexpr std::array kSmartphoneSizes = {"426x240"sv,   "640x360"sv,    "854x480"sv,
                                         "1280x720"sv,  "1920x1080"sv, kSameAsSource};
// Constant quality (the encoder's "crf"): lower is better and larger. The
// bits per pixel of each picture are what a step takes on ordinary films
// with the profile's preset, for the size estimate: a middle figure, busy
// pictures take more and still ones less (a grainy 1080p test film made
// 720p took 0.02, 0.06 and 0.13; six steps of the quality value halve the
// size).
struct QualityStep {
  std::string_view item;
  int value;
  double bitsPerPixel;
};
constexpr std::array kQualitySteps = {QualityStep{"Small file", 28, 0.045}, QualityStep{"Balanced", 23, 0.08},
                                      QualityStep{"High quality", 19, 0.13}};
constexpr std::array kQualityItems = {kQualitySteps[0].item, kQualitySteps[1].item, kQualitySteps[2].item};

// Simple phones and players: QCIF, QVGA, the 16:9 players' 480x272, nHD.
constexpr std::array kSimplePhoneSizes = {"176x144"sv, "320x240"sv, "480x272"sv, "640x360"sv};
// The first five's bit rates, then what nHD needs to look good.
constexpr std::array kSimplePhoneBitrates = {"40kbps"sv,  "80kbps"sv,  "120kbps"sv, "256kbps"sv,
                                             "512kbps"sv, "768kbps"sv, "1000kbps"sv};

constexpr std::array kSmartphoneChannels = {"2 (Stereo)"sv};
constexpr std::array kSmartphoneBitrates = {"96kbps"sv, "112kbps"sv, "128kbps"sv, "160kbps"sv, "192kbps"sv};
constexpr std::array kSmartphoneSampleRates = {"44100Hz"sv, "48000Hz"sv};
constexpr std::array kSimplePhoneAudioBitrates = {"32kbps"sv, "40kbps"sv, "48kbps"sv,  "56kbps"sv, "64kbps"sv,
                                                  "80kbps"sv, "96kbps"sv, "112kbps"sv, "128kbps"sv};
constexpr std::array kSimplePhoneSampleRates = {"22050Hz"sv, "32000Hz"sv, "44100Hz"sv, "48000Hz"sv};

// The speed/size trade-off of the H.264 encoder: a 1080p film made 720p
// converts faster than it plays on two cores, at a size close to the slower
// presets' for the same quality.
constexpr std::string_view kH264Preset = "veryfast";
// The highest level each H.264 profile writes: what phones of today decode,
// and the ceiling of the simple players the Baseline profile is for.
constexpr std::string_view kSmartphoneMaxLevel = "5.1";
constexpr std::string_view kSimplePhoneMaxLevel = "3.0";

constexpr std::array kH263Sizes = {"128x96"sv, "176x144"sv, "352x288"sv, "704x576"sv, "1408x1152"sv};

VideoFamily VideoOf(int profile) { return ProfileAt(profile).video; }

const QualityStep* QualityStepOf(std::string_view item) {
  for (const QualityStep& step : kQualitySteps)
    if (step.item == item) return &step;
  return nullptr;
}

// The quality step chosen in the video bit rate list; nullptr for a bit rate.
const QualityStep* ChosenQuality(const OutputChoice& choice) {
  return QualityStepOf(ItemText(OptionList::VideoBitrate, choice.profile, choice.videoBitrate));
}

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

using Items_ = std::span<const std::string_view>;

Items_ VideoSizes(VideoFamily family) {
  switch (family) {
    case VideoFamily::H264:
      return kSmartphoneSizes;
    case VideoFamily::H264Baseline:
      return kSimplePhoneSizes;
    case VideoFamily::Classic:
      break;
  }
  return kVideoSizes;
}

Items_ VideoRates(VideoFamily family) {
  switch (family) {
    case VideoFamily::H264:
      return kQualityItems;
    case VideoFamily::H264Baseline:
      return kSimplePhoneBitrates;
    case VideoFamily::Classic:
      break;
  }
  return kVideoBitrates;
}

Items_ AudioItems(OptionList list, AudioFamily family) {
  const bool channels = list == OptionList::AudioChannels, bitrates = list == OptionList::AudioBitrate;
  switch (family) {
    case AudioFamily::AmrNb:
      return channels ? Items_(kAmrChannels) : bitrates ? Items_(kAmrBitrates) : Items_(kAmrSampleRates);
    case AudioFamily::AacSmartphone:
      return channels ? Items_(kSmartphoneChannels) : bitrates ? Items_(kSmartphoneBitrates)
                                                              : Items_(kSmartphoneSampleRates);
    case AudioFamily::AacSimplePhone:
      return channels ? Items_(kAacChannels) : bitrates ? Items_(kSimplePhoneAudioBitrates)
                                                       : Items_(kSimplePhoneSampleRates);
    case AudioFamily::Aac:
      break;
  }
  return channels ? Items_(kAacChannels) : bitrates ? Items_(kAacBitrates) : Items_(kAacSampleRates);
}

std::string_view DropSuffix(std::string_view text, size_t count) {
  return text.substr(0, text.size() >= count ? text.size() - count : 0);
}

}  // namespace

std::span<const Profile> Profiles() { return kProfiles; }

const Profile& ProfileAt(int index) { return kProfiles[index >= 0 && index < kProfileCount ? index : 4]; }

bool UsesH263(int profile) { return ProfileAt(profile).videoCodec.empty(); }

bool UsesH264(int profile) { return VideoOf(profile) != VideoFamily::Classic; }

std::optional<int> QualityOf(std::string_view item) {
  const QualityStep* step = QualityStepOf(item);
  return step ? std::optional<int>(step->value) : std::nullopt;
}

std::span<const std::string_view> Items(OptionList list, int profile) {
  switch (list) {
    case OptionList::VideoSize:
      return VideoSizes(VideoOf(profile));
    case OptionList::VideoBitrate:
      return VideoRates(VideoOf(profile));
    case OptionList::FrameRate:
      return kFrameRates;
    case OptionList::AudioChannels:
    case OptionList::AudioBitrate:
    case OptionList::AudioSampleRate:
      return AudioItems(list, ProfileAt(profile).audio);
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

// Smartphones: 1280x720 "Balanced", AAC 128 kbps at 44100 Hz. Simple
// phones: 320x240 at 256 kbps, AAC stereo 96 kbps at 44100 Hz.
int SelectedAfterProfileChange(OptionList list, int profile) {
  const VideoFamily video = VideoOf(profile);
  const AudioFamily audio = ProfileAt(profile).audio;
  switch (list) {
    case OptionList::VideoSize:
      return video == VideoFamily::H264 ? 3 : 1;
    case OptionList::VideoBitrate:
      return video == VideoFamily::H264 ? 1 : video == VideoFamily::H264Baseline ? 3 : 0;
    case OptionList::FrameRate:
      return 0;
    case OptionList::AudioChannels:
      return audio == AudioFamily::Aac || audio == AudioFamily::AacSimplePhone ? 1 : 0;
    case OptionList::AudioBitrate:
      return audio == AudioFamily::AacSmartphone ? 2 : 6;
    case OptionList::AudioSampleRate:
      return audio == AudioFamily::Aac ? 3 : audio == AudioFamily::AacSimplePhone ? 2 : 0;
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
  if (VideoOf(profile) != VideoOf(choice.profile))
    for (OptionList list : {OptionList::VideoSize, OptionList::VideoBitrate})
      choice.index(list) = SelectedAfterProfileChange(list, profile);
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

OutputValues ValuesOf(const OutputChoice& choice, const TAVVideoInfo& source) {
  const int p = choice.profile;
  OutputValues values;
  values.frameSize = std::string(ItemText(OptionList::VideoSize, p, choice.videoSize));
  if (UsesH264(p)) {
    const PictureSize fitted = FitPicture(SourceOf(source), ParsePictureSize(values.frameSize));
    values.frameSize = fitted.width > 0 ? PictureSizeText(fitted) : std::string();
  }
  values.videoBitrate = ParseVideoBitrate(ItemText(OptionList::VideoBitrate, p, choice.videoBitrate));
  values.frameRate = ParseFrameRate(ItemText(OptionList::FrameRate, p, choice.frameRate));
  // By the item's number, since the smartphone list has only "2 (Stereo)".
  values.audioChannels = LeadingInt(ItemText(OptionList::AudioChannels, p, choice.audioChannels));
  values.audioBitrate = ParseAudioBitrate(ItemText(OptionList::AudioBitrate, p, choice.audioBitrate));
  values.audioSampleRate = ParseSampleRate(ItemText(OptionList::AudioSampleRate, p, choice.audioSampleRate));
  return values;
}

namespace {

// The frame rate the output will have: the chosen one, or the source's for
// "Auto"; 30 when neither is known.
double OutputFrameRate(const std::string& chosen, const TAVVideoInfo& source) {
  int num = 0, den = 1;
  if (!chosen.empty() && std::sscanf(chosen.c_str(), "%d/%d", &num, &den) >= 1 && num > 0 && den > 0)
    return double(num) / den;
  const double rate = SourceOf(source).frameRate;
  // A rate beyond any camera's is a stream's clock, not its pictures.
  return rate > 0 && rate <= 240 ? rate : 30;
}

const H264Level* OutputLevel(const OutputChoice& choice, const TAVVideoInfo& source) {
  const OutputValues values = ValuesOf(choice, source);
  PictureSize size = ParsePictureSize(values.frameSize);
  // Unknown source: the box itself is the largest the picture can be.
  if (size.width == 0) size = ParsePictureSize(ItemText(OptionList::VideoSize, choice.profile, choice.videoSize));
  if (size.width == 0) return nullptr;
  return LevelFor(size, OutputFrameRate(values.frameRate, source), values.videoBitrate,
                  VideoOf(choice.profile) == VideoFamily::H264);
}

std::string_view MaxLevel(int profile) {
  return VideoOf(profile) == VideoFamily::H264 ? kSmartphoneMaxLevel : kSimplePhoneMaxLevel;
}

// "preset=veryfast" lines for the engine's generic options.
std::string EncoderOptionLines(const H264Values& h264) {
  std::string lines = "preset=" + std::string(h264.preset) + "\nprofile=" + std::string(h264.profile) + "\n";
  if (!h264.level.empty()) lines += "level=" + h264.level + "\n";
  if (h264.quality) lines += "crf=" + std::to_string(*h264.quality) + "\n";
  // Phones decode 8-bit 4:2:0 only; a 4:2:2 or 10-bit source would
  // otherwise give a profile they cannot play.
  return lines + "pix_fmt=yuv420p\n";
}

}  // namespace

std::optional<H264Values> H264ValuesOf(const OutputChoice& choice, const TAVVideoInfo& source) {
  if (!UsesH264(choice.profile)) return std::nullopt;
  H264Values values;
  values.preset = kH264Preset;
  values.profile = VideoOf(choice.profile) == VideoFamily::H264 ? "high" : "baseline";
  const H264Level* level = OutputLevel(choice, source);
  if (level && level->idc <= LevelNamed(MaxLevel(choice.profile)).idc) values.level = std::string(level->name);
  if (const QualityStep* step = ChosenQuality(choice)) values.quality = step->value;
  return values;
}

void FillOutputOptions(const OutputChoice& choice, TOutputOptions& Options, const TAVVideoInfo& source) {
  InitOutputOptions(Options);
  const Profile& profile = ProfileAt(choice.profile);
  Options.VideoCodec = std::string(profile.videoCodec);
  Options.AudioCodec = std::string(profile.audioCodec);
  OutputValues values = ValuesOf(choice, source);
  if (const std::optional<H264Values> h264 = H264ValuesOf(choice, source)) {
    Options.ExtOptions = EncoderOptionLines(*h264);
    // Square pixels: the size already has the shape the source is shown in.
    const PictureSize size = ParsePictureSize(values.frameSize);
    if (size.width > 0) Options.FrameAspectRatio = std::to_string(size.width) + ":" + std::to_string(size.height);
  }
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

std::string PreflightReason(const OutputChoice& choice, const TAVVideoInfo& source) {
  std::string reason =
      PreflightReason(choice.profile, ItemText(OptionList::VideoSize, choice.profile, choice.videoSize));
  // Without a picture to look at nothing is certain: a smaller source may
  // fit a level its box does not.
  if (!reason.empty() || !UsesH264(choice.profile) || source.Width <= 0) return reason;
  const std::optional<H264Values> h264 = H264ValuesOf(choice, source);
  if (!h264->level.empty()) return {};
  const OutputValues values = ValuesOf(choice, source);
  const std::string size = values.frameSize.empty()
                               ? std::string(ItemText(OptionList::VideoSize, choice.profile, choice.videoSize))
                               : values.frameSize;
  char rate[32];
  std::snprintf(rate, sizeof rate, "%.4g", OutputFrameRate(values.frameRate, source));
  return size + " at " + rate + " frames per second is beyond H.264 level " + std::string(MaxLevel(choice.profile)) +
         ", the highest this profile writes; choose a lower frame rate, a smaller size or a lower bit rate.";
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

std::optional<int64_t> EstimatedOutputBytes(int64_t durationUs, const OutputChoice& choice,
                                            const TAVVideoInfo& source) {
  const OutputValues values = ValuesOf(choice, source);
  int64_t videoBitrate = values.videoBitrate;
  if (const QualityStep* step = ChosenQuality(choice)) {
    // An audio-only file has no picture to pay for.
    const PictureSize size = source.Width > 0 ? ParsePictureSize(values.frameSize) : PictureSize{};
    videoBitrate = int64_t(step->bitsPerPixel * size.width * size.height * OutputFrameRate(values.frameRate, source));
  }
  if (videoBitrate > INT32_MAX) return std::nullopt;
  return EstimatedOutputBytes(durationUs, int(videoBitrate), values.audioBitrate);
}

bool EstimateIsGuess(const OutputChoice& choice) { return ChosenQuality(choice) != nullptr; }

}  // namespace vantrel::app
