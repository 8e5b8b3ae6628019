// The output profiles and the six option lists the user picks from, as plain
// data: the window fills its combo boxes from here, vantrel-batch checks its
// arguments against the same lists, and both turn a choice into the
// converter's output options with FillOutputOptions. No Qt here.
//
// A choice is held as item indexes (that is what the settings file stores);
// the texts are parsed only when a task's options are made.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "converter/av_probe.h"
#include "converter/task_options.h"

namespace vantrel::app {

// Which audio lists a profile offers: AAC as the first profiles had it,
// AMR-NB's eight modes, AAC stereo at CD rates for smartphones, AAC at the
// rates simple players take.
enum class AudioFamily { Aac, AmrNb, AacSmartphone, AacSimplePhone };
// Which video lists: the sizes and bit rates of the first profiles, the
// sizes phones show today with constant-quality steps, or small sizes with
// bit rates for simple phones.
enum class VideoFamily { Classic, H264, H264Baseline };

struct Profile {
  std::string_view text;        // the combo box item
  std::string_view extension;   // with its dot: picks the container
  std::string_view videoCodec;  // empty: the container's own default (H.263)
  std::string_view audioCodec;  // empty: the container's own default (AMR-NB)
  AudioFamily audio;
  VideoFamily video = VideoFamily::Classic;
};

// 0-4 are the first five; 5 and 6 came later, so a settings file of an older
// version keeps meaning what it meant.
inline constexpr int kProfileCount = 7;

std::span<const Profile> Profiles();
// Any index outside 0-6 is the MP4 profile 4, so a stray number still
// converts to something sensible.
const Profile& ProfileAt(int index);
bool UsesH263(int profile);
bool UsesH264(int profile);

enum class OptionList { VideoSize, VideoBitrate, FrameRate, AudioChannels, AudioBitrate, AudioSampleRate };
inline constexpr OptionList kOptionLists[] = {OptionList::VideoSize,    OptionList::VideoBitrate,
                                              OptionList::FrameRate,    OptionList::AudioChannels,
                                              OptionList::AudioBitrate, OptionList::AudioSampleRate};

// The items of a list; the three audio lists depend on the profile.
std::span<const std::string_view> Items(OptionList list, int profile);
// The item at index, or an empty text when the index is outside the list.
std::string_view ItemText(OptionList list, int profile, int index);
// The items of a list the profile can encode: the window offers every size
// for every profile (its settings file stores the index in the full list),
// but H.263 takes only some of them, so whatever names the allowed sizes
// of a profile names these.
std::vector<std::string_view> EncodableItems(OptionList list, int profile);
// -1 when text is not an item of the list (exact, case-sensitive).
int IndexOfItem(OptionList list, int profile, std::string_view text);
// The item a profile change selects in an audio list; the index the settings
// file's defaults give for the video lists.
int SelectedAfterProfileChange(OptionList list, int profile);

// The constant-quality value of a quality step of the H.264 profile
// ("Balanced" -> 23); nothing for a bit rate item.
std::optional<int> QualityOf(std::string_view item);

// What the user has chosen, by item index. A default-constructed choice is
// the one the program starts with when there is no settings file: profile 0,
// 176x144, 40kbps, Auto, 1 (Mono), 32kbps, 8000Hz.
struct OutputChoice {
  int profile = 0;
  int videoSize = 1;
  int videoBitrate = 0;
  int frameRate = 0;
  int audioChannels = 0;
  int audioBitrate = 0;
  int audioSampleRate = 0;

  int& index(OptionList list);
  int index(OptionList list) const;
  bool operator==(const OutputChoice&) const = default;
};

// The user picked profile (also when it is the one already chosen): the
// three audio lists are rebuilt for it and their previous choice is lost;
// the video lists keep theirs unless the profile offers other video lists,
// whose defaults are then selected.
void SelectProfile(OutputChoice& choice, int profile);
// Every index inside its list (the audio ones in the profile's lists).
bool IsValid(const OutputChoice& choice);

// ---- parsing of item texts, as the converter wants the values ----
// "40kbps" -> 40000.
int ParseVideoBitrate(std::string_view item);
// "Auto" -> "", "29.97fps" -> "30000/1001", "23.97fps" -> "24000/1001",
// "25fps" -> "25".
std::string ParseFrameRate(std::string_view item);
// "4.75kbps" -> 4750, "96kbps" -> 96000: decimal with "." whatever the
// locale, truncated to whole bits per second.
int ParseAudioBitrate(std::string_view item);
// "32000Hz" -> 32000.
int ParseSampleRate(std::string_view item);

// The values a choice stands for.
struct OutputValues {
  std::string frameSize;  // "176x144"; for H.264 the size fitted to the source, empty when unknown
  int videoBitrate = 0;   // bit/s
  std::string frameRate;  // empty: the input's own
  int audioChannels = 0;
  int audioBitrate = 0;  // bit/s
  int audioSampleRate = 0;
};
// Requires IsValid(choice). source, the input's first video stream, shapes
// the H.264 profiles' picture; the other profiles take the size as it is.
OutputValues ValuesOf(const OutputChoice& choice, const TAVVideoInfo& source = {});

// What the H.264 encoder is told for a choice and a source.
struct H264Values {
  std::string_view preset;  // the encoder's speed/size trade-off
  std::string_view profile;  // "high" or "baseline"
  std::string level;         // "3.1"; empty when no level holds the picture
  std::optional<int> quality;  // constant quality; nothing for a bit rate
};
// Nothing for the profiles without H.264.
std::optional<H264Values> H264ValuesOf(const OutputChoice& choice, const TAVVideoInfo& source = {});

// Resets Options and fills what a task of this choice needs: the profile's
// extension and codecs, the six values, copied timestamps and the output
// stamped with the time of conversion; for H.264, the picture fitted to
// source with square pixels and the encoder's own options.
void FillOutputOptions(const OutputChoice& choice, TOutputOptions& Options, const TAVVideoInfo& source = {});

// ---- checks and estimates made before a batch starts ----
// Why a conversion with this profile and frame size is certain to fail, or
// an empty text when nothing is known against it. H.263 encodes only its
// five standard picture sizes; the text names those of the size list, the
// only ones the user can pick.
std::string PreflightReason(int profile, std::string_view frameSize);
// The same for the profile and the frame size item of a choice; with the
// source's picture, also what the H.264 profile's level allows.
std::string PreflightReason(const OutputChoice& choice, const TAVVideoInfo& source = {});
// Why the size list of the profile offers frameSize but does not let it be
// picked, "H.263 only encodes 128x96, 176x144, 352x288, 704x576 and
// 1408x1152"; empty when the profile encodes it.
std::string UnencodableSizeNote(int profile, std::string_view frameSize);
// A stored size the profile cannot encode becomes the default size: the
// window cannot show it as a choice the user could have made.
void DropUnencodableSize(OutputChoice& choice);

// What the container adds around the encoded streams: about 3% for packet
// headers and the sample index (3.0% on a 2-minute MP4 with MPEG-4 + AAC,
// 3.4% on a 3GP with H.263 + AMR-NB), and 4 KiB for the file header.
inline constexpr double kContainerOverheadShare = 0.03;
inline constexpr int64_t kContainerHeaderBytes = 4096;
// Expected output size for an input of durationUs microseconds converted at
// the given bit rates: duration x (video + audio) / 8 plus the container's
// overhead. Nothing when the duration is unknown (negative or zero) or
// absurdly long. The encoders aim at the bit rates; at the lowest video
// rates on busy pictures they overshoot, on still pictures they stay below,
// so the figure is a guide, not a promise.
std::optional<int64_t> EstimatedOutputBytes(int64_t durationUs, int videoBitrate, int audioBitrate);
// For constant quality the video's share is a guess from each quality
// step's bits per pixel, since the encoder spends what each picture needs:
// EstimateIsGuess tells the two apart.
std::optional<int64_t> EstimatedOutputBytes(int64_t durationUs, const OutputChoice& choice,
                                            const TAVVideoInfo& source = {});
bool EstimateIsGuess(const OutputChoice& choice);

}  // namespace vantrel::app
