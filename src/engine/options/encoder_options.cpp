// Options private to some encoders (libx264's "preset", "crf", "profile"...).
// The encoder is not known when such an option is given, so the value is
// checked against fresh contexts of the encoders that have the option, kept
// with its name, and set on every later encoder whose own options have the
// name. For that encoder it takes the place of a codec context option of
// the same name: libx264's text "level" 3.1 must not also reach it as the
// context's whole number 3.
extern "C" {
#include <libavutil/opt.h>
}

#include "binding/av_binding.h"
#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/log_threshold.h"

namespace vantrel {
namespace {

// Set by the engine itself: "stats" is where libx264 keeps its two-pass
// statistics, under the name -passlogfile gives.
constexpr const char* kEngineOwnedOptions[] = {"stats"};

bool EngineOwned(const std::string& Name) {
  for (const char* name : kEngineOwnedOptions)
    if (Name == name) return true;
  return false;
}

bool HasOwnOption(const AVCodec* Codec, const std::string& Name) {
  if (!Codec->priv_class) return false;
  const AVClass* cls = Codec->priv_class;
  return lav::av_opt_find(&cls, Name.c_str(), nullptr, AV_OPT_FLAG_ENCODING_PARAM, AV_OPT_SEARCH_FAKE_OBJ) != nullptr;
}

// Whether Visit returns true for one of the encoders that have the option.
template <typename F>
bool AnyEncoderWith(const std::string& Name, F&& Visit) {
  if (Name.empty() || EngineOwned(Name)) return false;
  void* state = nullptr;
  while (const AVCodec* codec = lav::av_codec_iterate(&state))
    if (lav::av_codec_is_encoder(codec) && HasOwnOption(codec, Name) && Visit(codec)) return true;
  return false;
}

// A fresh context carries the encoder's own options with their defaults.
// The encoders that refuse the value say so in the log: not the user's
// concern while another one takes it.
bool EncoderTakes(const AVCodec* Codec, const std::string& Name, const std::string& Value) {
  const TQuietLibraryLog quiet;
  const CodecContextPtr probe(lav::avcodec_alloc_context3(Codec));
  return probe && probe->priv_data && lav::av_opt_set(probe->priv_data, Name.c_str(), Value.c_str(), 0) >= 0;
}

std::string OptionsText(const TNamedValues& Options) {
  std::string text;
  for (const auto& [name, value] : Options) text += (text.empty() ? "-" : " -") + name + " " + value;
  return text;
}

}  // namespace

bool TEngineJob::KnowsEncoderOption(const std::string& Name) const {
  return AnyEncoderWith(Name, [](const AVCodec*) { return true; });
}

bool TEngineJob::EncoderOptionAccepted(const std::string& Name, const std::string& Value) const {
  return AnyEncoderWith(Name, [&](const AVCodec* codec) { return EncoderTakes(codec, Name, Value); });
}

bool TEngineJob::SetEncoderOption(const std::string& Name, const std::string& Value) {
  if (!EncoderOptionAccepted(Name, Value)) return false;
  for (auto& [name, value] : EncoderOptions)
    if (name == Name) {
      value = Value;
      return true;
    }
  EncoderOptions.emplace_back(Name, Value);
  return true;
}

bool TEngineJob::IsOwnOption(void* Own, const std::string& Name) const {
  if (!Own) return false;
  for (const auto& option : EncoderOptions)
    if (option.first == Name) return lav::av_opt_find(Own, Name.c_str(), nullptr, 0, 0) != nullptr;
  return false;
}

void TEngineJob::ApplyEncoderOptions(AVCodecContext* enc, int FileIndex, AVMediaType Type, int Flags) {
  ApplyContextOptions(enc, CodecOptions[Type].get(), Flags, enc->priv_data);
  TNamedValues& given = OutputEncoderOptions[FileIndex].back();
  for (const auto& [name, value] : EncoderOptions) {
    if (!IsOwnOption(enc->priv_data, name)) continue;
    if (lav::av_opt_set(enc->priv_data, name.c_str(), value.c_str(), 0) < 0)
      throw FFMpegException(Format("Invalid value '%s' for option '-%s' of encoder %s", value, name, enc->codec->name));
    given.emplace_back(name, value);
  }
}

void TEngineJob::WarnUnusedEncoderOptions() {
  std::string unused;
  for (const auto& [name, value] : EncoderOptions) {
    bool used = false;
    for (const std::vector<TNamedValues>& file : OutputEncoderOptions)
      for (const TNamedValues& stream : file)
        for (const auto& given : stream) used = used || given.first == name;
    if (!used) unused += " -" + name;
  }
  if (!unused.empty() && LogAssigned())
    Log(1, "WARNING: Option(s)" + unused + " not used: no encoder made after them has them");
}

std::string TEngineJob::EncoderOptionsGiven(const TOutputStreamState& ost) const {
  const std::vector<TNamedValues>& file = OutputEncoderOptions[ost.FileIndex];
  const size_t stream = size_t(ost.StreamIndex);
  return stream < file.size() ? OptionsText(file[stream]) : std::string();
}

}  // namespace vantrel
