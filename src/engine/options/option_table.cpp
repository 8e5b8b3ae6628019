// The option table: every name the engine knows, in the order in which names
// are compared, and what each one does. Names that are not here go to the
// generic option holders of the libraries.
#include <array>
#include <cmath>
#include <cstring>

#include "binding/message_format.h"
#include "engine/job/engine_job.h"
#include "engine/option_numbers.h"

namespace vantrel {
namespace {

using E = TEngineJob;
using S = const std::string&;

enum class Kind {
  Ignored,  // logs that it does nothing
  Flag,     // takes no value
  Stream,   // adds a stream; takes no value
  Value,
};

struct OptionEntry {
  const char* name;
  Kind kind;
  void (*apply)(E& e, S name, S value);
};

void Nothing(E&, S, S) {}

// Metadata strings keep their earlier value when given an empty one.
void SetIfNotEmpty(std::string& var, S value) {
  if (!value.empty()) var = value;
}

// A float that ends up as an integer (microseconds of a muxer delay, a
// quality in lambda units): a value the integer cannot hold is refused
// instead of wrapping. Limit is the largest magnitude accepted.
float RangedSingle(S name, S value, double Limit) {
  const float v = StrToSingle(value);
  if (std::fabs(double(v)) > Limit)
    throw FFMpegException(Format("Value %s for option %s is out of range: it must lie between -%s and %s", value,
                                 name, FixedText(Limit, 2), FixedText(Limit, 2)));
  return v;
}

// A video decoder or encoder runs 1 to 16 threads.
int32_t CodecThreadCount(S name, S value) {
  const int32_t n = StrToInt(value);
  if (n < 1 || n > 16)
    throw FFMpegException(Format("Value %s for option %s is out of range: it must lie between 1 and 16", value, name));
  return n;
}

// Audio and subtitles are coded on one thread each; only the picture
// decoder and encoder can be given more.
constexpr const char* kThreadsRefused =
    "Option '-threads' is not supported: audio and subtitles are coded on one thread each here. "
    "Use -decode_threads N (1 to 16) to decode video on N threads and -encode_threads N to encode it on N";

// Seconds that become microseconds in a 32-bit or a 64-bit integer.
constexpr double kInt32Seconds = double(INT32_MAX) / 1000000;
constexpr double kInt64Seconds = 9.2e12;

#define INT_OPTION(field) [](E& e, S, S v) { e.field = StrToInt(v); }
#define FLOAT_OPTION(field) [](E& e, S, S v) { e.field = StrToSingle(v); }
#define FLAG_OPTION(field) [](E& e, S, S) { e.field = 1; }
#define RANGED_OPTION(field, limit) [](E& e, S n, S v) { e.field = RangedSingle(n, v, limit); }

// SetOption checks a value with TableValueAccepted before its handler runs,
// so the handlers here read numbers that are of their option's kind.
constexpr auto kOptions = std::to_array<OptionEntry>({
    {"L", Kind::Ignored, Nothing},
    {"h", Kind::Ignored, Nothing},
    {"version", Kind::Ignored, Nothing},
    {"formats", Kind::Ignored, Nothing},
    {"f", Kind::Value, [](E& e, S, S v) { e.SetFormat(v); }},
    {"i", Kind::Ignored, Nothing},
    {"y", Kind::Ignored, Nothing},
    {"map", Kind::Value, [](E& e, S, S v) { e.OptMap(v); }},
    {"map_meta_data", Kind::Value, [](E& e, S, S v) { e.OptMapMetaData(v); }},
    {"t", Kind::Value, [](E& e, S n, S v) { e.OptTime(n, v); }},
    {"fs", Kind::Value, [](E& e, S, S v) { e.LimitFileSize = StrToInt64(v); }},
    {"ss", Kind::Value, [](E& e, S n, S v) { e.OptTime(n, v); }},
    {"itsoffset", Kind::Value, [](E& e, S n, S v) { e.OptTime(n, v); }},
    {"itsscale", Kind::Value, [](E& e, S, S v) { e.OptInputTsScale(v); }},
    {"title", Kind::Value, [](E& e, S, S v) { SetIfNotEmpty(e.Title, v); }},
    {"timestamp", Kind::Value, [](E& e, S n, S v) { e.OptTime(n, v); }},
    {"author", Kind::Value, [](E& e, S, S v) { SetIfNotEmpty(e.Author, v); }},
    {"copyright", Kind::Value, [](E& e, S, S v) { SetIfNotEmpty(e.Copyright, v); }},
    {"comment", Kind::Value, [](E& e, S, S v) { SetIfNotEmpty(e.Comment, v); }},
    {"genre", Kind::Value, [](E& e, S, S v) { SetIfNotEmpty(e.Genre, v); }},
    {"album", Kind::Value, [](E& e, S, S v) { SetIfNotEmpty(e.Album, v); }},
    {"dframes", Kind::Value, INT_OPTION(MaxFrames[AVMEDIA_TYPE_DATA])},
    {"benchmark", Kind::Ignored, Nothing},
    {"dump", Kind::Flag, FLAG_OPTION(DoPktDump)},
    {"hex", Kind::Flag, FLAG_OPTION(DoHexDump)},
    {"re", Kind::Flag, FLAG_OPTION(RateEmu)},
    {"loop_input", Kind::Flag, FLAG_OPTION(LoopInput)},
    {"loop_output", Kind::Value, INT_OPTION(LoopOutput)},
    {"v", Kind::Value, [](E& e, S, S v) { e.SetVerbose(StrToInt(v)); }},
    {"target", Kind::Value, [](E& e, S, S v) { e.SetTarget(v); }},
    {"threads", Kind::Value, [](E&, S, S) { throw FFMpegException(kThreadsRefused); }},
    {"decode_threads", Kind::Value, [](E& e, S n, S v) { e.VideoDecoderThreads = CodecThreadCount(n, v); }},
    {"encode_threads", Kind::Value, [](E& e, S n, S v) { e.VideoEncoderThreads = CodecThreadCount(n, v); }},
    {"skip_dropped", Kind::Flag, FLAG_OPTION(SkipDroppedPictures)},
    {"prescale_halving", Kind::Flag, FLAG_OPTION(PrescaleHalving)},
    {"vsync", Kind::Value, INT_OPTION(VideoSyncMethod)},
    {"async", Kind::Value, INT_OPTION(AudioSyncMethod)},
    {"adrift_threshold", Kind::Value, FLOAT_OPTION(AudioDriftThreshold)},
    {"vglobal", Kind::Value, INT_OPTION(VideoGlobalHeader)},
    {"copyts", Kind::Flag, FLAG_OPTION(CopyTs)},
    {"shortest", Kind::Flag, FLAG_OPTION(Shortest)},
    {"dts_delta_threshold", Kind::Value, RANGED_OPTION(DtsDeltaThreshold, kInt64Seconds)},
    {"programid", Kind::Value, INT_OPTION(ProgramId)},
    {"xerror", Kind::Flag, FLAG_OPTION(ExitOnError)},
    {"b", Kind::Value, [](E& e, S n, S v) { e.SetBitrate(n, v); }},
    {"vb", Kind::Value, [](E& e, S n, S v) { e.SetBitrate(n, v); }},
    {"vframes", Kind::Value, INT_OPTION(MaxFrames[AVMEDIA_TYPE_VIDEO])},
    {"r", Kind::Value, [](E& e, S, S v) { e.OptFrameRate(v); }},
    {"s", Kind::Value, [](E& e, S, S v) { e.OptFrameSize(v); }},
    {"aspect", Kind::Value, [](E& e, S, S v) { e.OptFrameAspectRatio(v); }},
    {"pix_fmt", Kind::Value, [](E& e, S, S v) { e.OptPixFmt(v); }},
    {"croptop", Kind::Value, [](E& e, S n, S v) { e.OptFrameCrop(n, StrToInt(v)); }},
    {"cropbottom", Kind::Value, [](E& e, S n, S v) { e.OptFrameCrop(n, StrToInt(v)); }},
    {"cropleft", Kind::Value, [](E& e, S n, S v) { e.OptFrameCrop(n, StrToInt(v)); }},
    {"cropright", Kind::Value, [](E& e, S n, S v) { e.OptFrameCrop(n, StrToInt(v)); }},
    {"padtop", Kind::Value, [](E& e, S n, S v) { e.OptFramePad(n, StrToInt(v)); }},
    {"padbottom", Kind::Value, [](E& e, S n, S v) { e.OptFramePad(n, StrToInt(v)); }},
    {"padleft", Kind::Value, [](E& e, S n, S v) { e.OptFramePad(n, StrToInt(v)); }},
    {"padright", Kind::Value, [](E& e, S n, S v) { e.OptFramePad(n, StrToInt(v)); }},
    {"padcolor", Kind::Value, [](E& e, S, S v) { e.OptPadColor(StrToInt(v)); }},
    {"intra", Kind::Flag, FLAG_OPTION(IntraOnly)},
    {"vn", Kind::Flag, FLAG_OPTION(VideoDisable)},
    {"vdt", Kind::Value, INT_OPTION(VideoDiscard)},
    {"qscale", Kind::Value, [](E& e, S, S v) { e.OptQScale(StrToSingle(v)); }},
    {"rc_override", Kind::Value, [](E& e, S, S v) { e.VideoRcOverride = v; }},
    {"vcodec", Kind::Value, [](E& e, S n, S v) { e.OptCodecName(n, v); }},
    {"me_threshold", Kind::Value, INT_OPTION(MeThreshold)},
    {"sameq", Kind::Flag, FLAG_OPTION(SameQuality)},
    {"pass", Kind::Value, [](E& e, S, S v) { e.OptPass(StrToInt(v)); }},
    {"passlogfile", Kind::Value, [](E& e, S, S v) { e.PassLogFileName = v; }},
    {"deinterlace", Kind::Flag, FLAG_OPTION(DoDeinterlace)},
    {"psnr", Kind::Flag, FLAG_OPTION(DoPsnr)},
    {"vstats", Kind::Flag, [](E& e, S, S) { e.OptVStats(); }},
    {"vstats_file", Kind::Value, [](E& e, S, S v) { e.OptVStatsFile(v); }},
    {"vhook", Kind::Value, [](E& e, S, S v) { e.OptVideoHook(v); }},
    {"vfilters", Kind::Value, [](E& e, S, S v) { SetIfNotEmpty(e.VideoFilters, v); }},
    {"intra_matrix", Kind::Value, [](E& e, S n, S v) { e.OptMatrix(n, v); }},
    {"inter_matrix", Kind::Value, [](E& e, S n, S v) { e.OptMatrix(n, v); }},
    {"top", Kind::Value, INT_OPTION(TopFieldFirst)},
    {"dc", Kind::Value, INT_OPTION(IntraDcPrecision)},
    {"vtag", Kind::Value, [](E& e, S n, S v) { e.OptCodecTag(n, v); }},
    {"newvideo", Kind::Stream, [](E& e, S, S) { e.NewVideoStreamOption(); }},
    {"qphist", Kind::Flag, FLAG_OPTION(QpHist)},
    {"ab", Kind::Value, [](E& e, S n, S v) { e.SetBitrate(n, v); }},
    {"aframes", Kind::Value, INT_OPTION(MaxFrames[AVMEDIA_TYPE_AUDIO])},
    {"aq", Kind::Value, RANGED_OPTION(AudioQScale, double(INT32_MAX) / FF_QP2LAMBDA)},
    {"ar", Kind::Value, INT_OPTION(AudioSampleRate)},
    {"ac", Kind::Value, INT_OPTION(AudioChannels)},
    {"an", Kind::Flag, FLAG_OPTION(AudioDisable)},
    {"acodec", Kind::Value, [](E& e, S n, S v) { e.OptCodecName(n, v); }},
    {"atag", Kind::Value, [](E& e, S n, S v) { e.OptCodecTag(n, v); }},
    {"vol", Kind::Value, INT_OPTION(AudioVolume)},
    {"newaudio", Kind::Stream, [](E& e, S, S) { e.NewAudioStreamOption(); }},
    {"alang", Kind::Value, [](E& e, S, S v) { e.AudioLanguage = v; }},
    {"sample_fmt", Kind::Value, [](E& e, S, S v) { e.OptSampleFmt(v); }},
    {"sn", Kind::Flag, FLAG_OPTION(SubtitleDisable)},
    {"scodec", Kind::Value, [](E& e, S n, S v) { e.OptCodecName(n, v); }},
    {"newsubtitle", Kind::Stream, [](E& e, S, S) { e.NewSubtitleStreamOption(); }},
    {"slang", Kind::Value, [](E& e, S, S v) { e.SubtitleLanguage = v; }},
    {"vc", Kind::Value, INT_OPTION(VideoChannel)},
    {"tvstd", Kind::Value, [](E& e, S, S v) { e.VideoStandard = v; }},
    {"isync", Kind::Flag, FLAG_OPTION(InputSync)},
    {"muxdelay", Kind::Value, RANGED_OPTION(MuxMaxDelay, kInt32Seconds)},
    {"muxpreload", Kind::Value, RANGED_OPTION(MuxPreload, kInt32Seconds)},
    {"absf", Kind::Value, [](E& e, S n, S v) { e.OptBitstreamFilter(n, v); }},
    {"vbsf", Kind::Value, [](E& e, S n, S v) { e.OptBitstreamFilter(n, v); }},
    {"sbsf", Kind::Value, [](E& e, S n, S v) { e.OptBitstreamFilter(n, v); }},
    {"apre", Kind::Ignored, Nothing},
    {"vpre", Kind::Ignored, Nothing},
    {"spre", Kind::Ignored, Nothing},
});
static_assert(kOptions.size() == 110);

#undef INT_OPTION
#undef FLOAT_OPTION
#undef FLAG_OPTION
#undef RANGED_OPTION

const OptionEntry* FindOption(const std::string& Name) {
  for (const OptionEntry& entry : kOptions)
    if (Name == entry.name) return &entry;
  return nullptr;
}

}  // namespace

TEngineJob::TOptionResult TEngineJob::SetOption(const std::string& Name, const std::string& Value) {
  RefuseWhileRunning();
  const OptionEntry* entry = FindOption(Name);
  if (!entry) return SetGenericOption(Name, Value);
  if (!TableValueAccepted(Name, Value)) throw InvalidOptionValue(Name, Value);
  if (entry->kind == Kind::Ignored && LogAssigned()) Log(1, "Do nothing: option - " + Name);
  try {
    entry->apply(*this, Name, Value);
  } catch (const EConvertError&) {
    throw InvalidOptionValue(Name, Value);
  }
  return TOptionResult::Applied;
}

// A value the holder refuses is not dropped: the job would run without it.
// A name given no value is left to the caller (the command line says that
// the value is missing).
TEngineJob::TOptionResult TEngineJob::SetGenericOption(const std::string& Name, const std::string& Value) {
  if (ApplyGenericOption(Name, Value)) return TOptionResult::Applied;
  if (!KnowsGenericOption(Name)) return TOptionResult::UnknownName;
  if (!TrimText(Value).empty()) throw InvalidOptionValue(Name, Value);
  return TOptionResult::ValueRefused;
}

void TEngineJob::CheckOptionValue(const std::string& Name, const std::string& Value) const {
  const bool accepted = FindOption(Name) ? TableValueAccepted(Name, Value)
                                         : TrimText(Value).empty() || GenericValueAccepted(Name, Value);
  if (!accepted) throw InvalidOptionValue(Name, Value);
}

bool TEngineJob::KnowsOption(const std::string& Name) const {
  return FindOption(Name) != nullptr || KnowsGenericOption(Name);
}

bool TEngineJob::OptionTakesNoValue(const std::string& Name) {
  const OptionEntry* entry = FindOption(Name);
  return entry && entry->kind != Kind::Value;
}

}  // namespace vantrel
