// The generic option mechanism: names the option table does not know are
// handed to the libraries' own option holders, recorded, and copied later
// into each decoder and encoder context the engine makes.
#include <array>
#include <optional>
#include <utility>

extern "C" {
#include <libavutil/opt.h>
}

#include "binding/av_binding.h"
#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/log_threshold.h"
#include "engine/option_numbers.h"

namespace vantrel {
namespace {

// AVOption flags of the media-type parameters, per codec option holder
// (video, audio, data, subtitle, attachment); 0 accepts any option.
constexpr std::array<int, 5> kHolderMasks = {AV_OPT_FLAG_VIDEO_PARAM, AV_OPT_FLAG_AUDIO_PARAM, 0,
                                             AV_OPT_FLAG_SUBTITLE_PARAM, 0};

// Option names of the old library generation that the installed one renamed.
constexpr std::pair<const char*, const char*> kRenamedOptions[] = {{"gop", "g"}};

// Codec options that were the video codec's alone in the old generation
// and that the installed one marks for audio too. The option language keeps
// their old reach: "b" must not change the audio bit rate that "ab" set, and
// "lowres" is for the picture decoder (audio decoders refuse it loudly).
constexpr const char* kVideoOnlyOptions[] = {"b", "lowres"};

bool IsVideoOnly(const std::string& Name) {
  for (const char* name : kVideoOnlyOptions)
    if (Name == name) return true;
  return false;
}

const char* RenamedOption(const std::string& Name) {
  for (const auto& [oldName, newName] : kRenamedOptions)
    if (Name == oldName) return newName;
  return nullptr;
}

std::string CurrentName(const std::string& Name) {
  const char* renamed = RenamedOption(Name);
  return renamed ? std::string(renamed) : Name;
}

// A name with the one-letter prefix "a", "v" or "s" may name an option of
// the audio, video or subtitle holder: that holder, and the name without
// the prefix; nullptr for any other name.
void* PrefixedHolder(const CodecContextPtr (&Holders)[5], const std::string& Name, std::string& Rest) {
  if (Name.size() < 2) return nullptr;
  Rest = Name.substr(1);
  switch (Name[0]) {
    case 'a': return Holders[AVMEDIA_TYPE_AUDIO].get();
    case 'v': return Holders[AVMEDIA_TYPE_VIDEO].get();
    case 's': return Holders[AVMEDIA_TYPE_SUBTITLE].get();
    default: return nullptr;
  }
}

const AVOption* FindOption(void* holder, const std::string& name) {
  return holder ? lav::av_opt_find(holder, name.c_str(), nullptr, 0, 0) : nullptr;
}

// The descriptor of the option when the holder accepted the value.
const AVOption* SetOn(void* holder, const std::string& name, const std::string& value) {
  if (!holder) return nullptr;
  const AVOption* o = FindOption(holder, name);
  if (!o || lav::av_opt_set(holder, name.c_str(), value.c_str(), 0) < 0) return nullptr;
  return o;
}

int64_t IntOption(void* holder, const char* name) {
  int64_t v = 0;
  if (!holder || lav::av_opt_get_int(holder, name, 0, &v) < 0) return 0;
  return v;
}

}  // namespace

bool TEngineJob::ApplyGenericOption(const std::string& Name, const std::string& Value) {
  RefuseWhileRunning();
  if (TrimText(Name).empty() || TrimText(Value).empty()) return false;
  const std::string name = CurrentName(Name);
  if (name != Name && LogAssigned()) Log(1, Format("Option %s is called %s in this library version", Name, name));

  // An encoder's own option may share its name with an option of the
  // holders, which keep theirs for the encoders without it.
  const bool forEncoders = SetEncoderOption(name, Value);
  // Taken by an encoder, the value's refusal by a holder ("profile=high"
  // is no number) is no news.
  std::optional<TQuietLibraryLog> quiet;
  if (forEncoders) quiet.emplace();
  const AVOption* result = nullptr;
  const AVOption* codecOption = FindOption(CodecOptions[0].get(), name);
  for (size_t i = 0; i < kHolderMasks.size(); ++i) {
    if (i == AVMEDIA_TYPE_AUDIO && IsVideoOnly(name)) continue;
    if (codecOption && (codecOption->flags & kHolderMasks[i]) == kHolderMasks[i])
      result = SetOn(CodecOptions[i].get(), name, Value);
  }
  if (!result) result = SetOn(FormatOptions.get(), name, Value);
  if (!result) result = SetOn(ScalerOptions.get(), name, Value);
  if (!result) {
    std::string rest;
    if (void* holder = PrefixedHolder(CodecOptions, name, rest)) result = SetOn(holder, rest, Value);
  }
  if (!result && !forEncoders) return SetMuxerOption(name, Value);

  if (result) GenericOptionNames.emplace_back(result->name);
  if (IntOption(CodecOptions[0].get(), "debug") != 0 || IntOption(FormatOptions.get(), "fdebug") != 0) {
    Verbose = 2;
  }
  return true;
}

bool TEngineJob::KnowsGenericOption(const std::string& Name) const {
  const std::string name = CurrentName(Name);
  if (name.empty()) return false;
  if (FindOption(CodecOptions[0].get(), name) || FindOption(FormatOptions.get(), name) ||
      FindOption(ScalerOptions.get(), name))
    return true;
  std::string rest;
  return FindOption(PrefixedHolder(CodecOptions, name, rest), rest) != nullptr || KnowsMuxerOption(name) ||
         KnowsEncoderOption(name);
}

// Fresh holders and encoder contexts, so that checking a value changes
// nothing the job uses. Names of the scaler, of a muxer or with the a/v/s
// prefix pass: SetOption still refuses a value their holder does not take.
// A name only encoders have needs one of them to take the value.
bool TEngineJob::GenericValueAccepted(const std::string& Name, const std::string& Value) const {
  const std::string name = CurrentName(Name);
  if (EncoderOptionAccepted(name, Value)) return true;
  if (FindOption(CodecOptions[0].get(), name)) {
    const CodecContextPtr holder(lav::avcodec_alloc_context3(nullptr));
    return holder && lav::av_opt_set(holder.get(), name.c_str(), Value.c_str(), 0) >= 0;
  }
  if (FindOption(FormatOptions.get(), name)) {
    const FormatContextPtr holder(lav::avformat_alloc_context());
    return holder && lav::av_opt_set(holder.get(), name.c_str(), Value.c_str(), 0) >= 0;
  }
  std::string rest;
  return !KnowsEncoderOption(name) || FindOption(ScalerOptions.get(), name) ||
         FindOption(PrefixedHolder(CodecOptions, name, rest), rest) || KnowsMuxerOption(name);
}

bool TEngineJob::ApplyGenericOptionInt(const std::string& Name, int Value) {
  return ApplyGenericOption(Name, std::to_string(Value));
}

void TEngineJob::ApplyContextOptions(void* Target, void* Source, int Flags, void* Own) {
  if (!Target || !Source) return;
  for (const std::string& recorded : GenericOptionNames) {
    if (IsOwnOption(Own, recorded)) continue;
    const char* name = recorded.c_str();
    const AVOption* o = FindOption(Source, name);
    uint8_t* got = nullptr;
    if (!o || lav::av_opt_get(Source, name, 0, &got) < 0) continue;
    const AvBufferPtr<uint8_t> text(got);
    if (text && (o->flags & Flags) == Flags) lav::av_opt_set(Target, name, reinterpret_cast<char*>(text.get()), 0);
  }
}

// The engine's own: applied on the threads where it opens its files and runs
// its job, never to the process, so engines at other levels keep theirs.
void TEngineJob::SetVerbose(int Level) { Verbose = Level; }

void TEngineJob::SetBitrate(const std::string& Name, const std::string& Value) {
  RefuseWhileRunning();
  if (Name.empty() || Value.empty()) return;
  if (!TableValueAccepted(Name, Value) || !ApplyGenericOption(Name, Value)) throw InvalidOptionValue(Name, Value);
  if (!LogAssigned()) return;
  void* holder = CodecOptions[Name[0] == 'a' ? AVMEDIA_TYPE_AUDIO : AVMEDIA_TYPE_VIDEO].get();
  if (IntOption(holder, "b") < 1000)
    Log(1, "WARNING: The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s");
}

}  // namespace vantrel
