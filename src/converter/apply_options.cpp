// The fields of the option records, each handed to the engine handler that
// owns its setting, in record order.
#include "converter/apply_options.h"

#include <cstring>
#include <ctime>

#include "engine/options/option_record.h"

namespace vantrel {
namespace {

std::string Text(int32_t Value) { return std::to_string(Value); }

// A tag array may fill its whole length without a terminating NUL.
template <size_t N>
std::string TagText(const char (&Tag)[N]) {
  return std::string(Tag, strnlen(Tag, N));
}

void GenericWhenPositive(TOptionRecord& e, const char* Name, int32_t Value) {
  if (Value > 0) e.ApplyGenericOptionInt(Name, Value);
}

// The engine's "timestamp" handler takes a date text; a "Z" makes the
// library read it as UTC, so the seconds arrive as they were computed.
// Years past 9999 have no such text and are left for the handler to refuse.
std::string UtcDateText(int64_t Seconds) {
  constexpr int64_t kYear10000 = 253402300800;
  const time_t t = time_t(Seconds < kYear10000 ? Seconds : kYear10000);
  tm parts{};
  gmtime_r(&t, &parts);
  char text[48];
  strftime(text, sizeof text, "%Y-%m-%d %H:%M:%SZ", &parts);
  return text;
}

// "Now" is taken from the clock in UTC: going through the local date and
// the standard-time offset would stamp it an hour off in summer.
void ApplyTimestamp(TOptionRecord& e, TDateTime Stamp) {
  if (Stamp == 0.0)
    e.SetOption("timestamp", UtcDateText(int64_t(std::time(nullptr))));
  else if (Stamp > 0.0)
    e.SetOption("timestamp", UtcDateText(DateTimeToUnixUTC(Stamp)));
}

void ApplyMuxer(TOptionRecord& e, const TOutputOptions& o) {
  if (!o.FileFormat.empty()) e.SetOutputFormat(o.FileFormat);
  GenericWhenPositive(e, "packetsize", o.PacketSize);
  GenericWhenPositive(e, "muxrate", o.MuxRate);
  e.SetMuxMaxDelay(o.MuxDelay);
  e.SetMuxPreload(o.MuxPreload);
}

void ApplyAudio(TOptionRecord& e, const TOutputOptions& o) {
  e.OptCodecName("acodec", o.AudioCodec);
  if (o.DisableAudio) e.SetOption("an", "");
  e.SetAudioVolume(o.AudioVolume);
  if (o.AudioChannels > 0) e.SetOption("ac", Text(o.AudioChannels));
  if (o.AudioSampleRate > 0) e.SetOption("ar", Text(o.AudioSampleRate));
  GenericWhenPositive(e, "ab", o.AudioBitrate);
  GenericWhenPositive(e, "abt", o.AudioBitrateTolerance);
  e.SetOption("alang", o.AudioLanguage);
  e.SetAudioSyncMethod(o.AudioSyncMethod);
  e.OptCodecTag("atag", o.AudioTag);
}

void ApplyPicture(TOptionRecord& e, const TOutputOptions& o) {
  e.OptCodecName("vcodec", o.VideoCodec);
  if (o.DisableVideo) e.SetOption("vn", "");
  e.OptFrameRate(o.FrameRate);
  e.OptFrameSize(o.FrameSize);
  e.OptFrameAspectRatio(o.FrameAspectRatio);
  e.OptFrameCrop("croptop", o.CropTop);
  e.OptFrameCrop("cropbottom", o.CropBottom);
  e.OptFrameCrop("cropleft", o.CropLeft);
  e.OptFrameCrop("cropright", o.CropRight);
  e.OptFramePad("padtop", o.PadTop);
  e.OptFramePad("padbottom", o.PadBottom);
  e.OptFramePad("padleft", o.PadLeft);
  e.OptFramePad("padright", o.PadRight);
  // The handler reads the same 0x00BBGGRR layout as TColor, so the value
  // needs no reordering. The high byte marked a system colour on the
  // platform this record comes from; there is no system palette to resolve
  // it against here, so only the RGB part is passed.
  e.OptPadColor(int(o.PadColor & 0x00FFFFFFu));
}

void ApplyVideoRate(TOptionRecord& e, const TOutputOptions& o) {
  GenericWhenPositive(e, "gop", o.GopSize);
  GenericWhenPositive(e, "vb", o.VideoBitrate);
  GenericWhenPositive(e, "maxrate", o.VideoMaxRate);
  GenericWhenPositive(e, "minrate", o.VideoMinRate);
  GenericWhenPositive(e, "bt", o.VideoBitrateTolerance);
  GenericWhenPositive(e, "bufsize", o.VideoBufSize);
  e.SetVideoSyncMethod(o.VideoSyncMethod);
  e.OptCodecTag("vtag", o.VideoTag);
  if (!o.VideoFilters.empty()) e.SetOption("vfilters", o.VideoFilters);
  if (o.EncoderThreads > 1) e.SetOption("encode_threads", Text(o.EncoderThreads));
}

void ApplyStreamsAndTime(TOptionRecord& e, const TOutputOptions& o) {
  if (o.DisableSubtitle) e.SetOption("sn", "");
  e.SetOption("slang", o.SubtitleLanguage);
  // The option language can only switch copying on; the record also
  // switches it off. The language fields went through SetOption before,
  // so an engine whose job runs has already refused the record.
  if (o.CopyTimestamps)
    e.SetOption("copyts", "");
  else
    e.Fields().CopyTs = false;
  e.SetRecordingTimeMs(o.Duration);
  ApplyTimestamp(e, o.Timestamp);
}

void ApplyMetadata(TOptionRecord& e, const TOutputOptions& o) {
  e.SetYear(o.Year);
  e.SetTrack(o.Track);
  e.SetTitle(TagText(o.Title));
  e.SetAuthor(TagText(o.Author));
  e.SetCopyright(TagText(o.Copyright));
  e.SetComment(TagText(o.Comment));
  e.SetAlbum(TagText(o.Album));
  e.SetGenre(TagText(o.Genre));
}

void ApplyDecoding(TOptionRecord& e, const TInputOptions& o) {
  GenericWhenPositive(e, "lowres", o.LowRes);
  GenericWhenPositive(e, "skip_loop_filter", o.SkipLoopFilter);
  if (o.SkipDroppedPictures) e.Fields().SkipDroppedPictures = true;
  if (o.HalveBeforeScaling) e.Fields().PrescaleHalving = true;
  if (o.DecoderThreads > 1) e.Fields().VideoDecoderThreads = o.DecoderThreads;
}

void ApplyExistingOutput(TOptionRecord& e, const TOutputOptions& o) {
  using C = TCustomFFmpeg::TOutputCollision;
  switch (o.ExistingOutput) {
    case eoReplace:
      e.Engine().SetOutputCollision(C::Replace);
      break;
    case eoRefuse:
      e.Engine().SetOutputCollision(C::Refuse);
      break;
    case eoNumber:
      e.Engine().SetOutputCollision(C::Number);
      break;
    case eoEngineDefault:
      break;
  }
  if (o.DiscardStoppedOutput) e.Engine().SetKeepStoppedOutput(false);
}

}  // namespace

void ApplyInputOptions(TCustomFFmpeg& Engine, const TInputOptions& Options) {
  ApplyOptionText(Engine, Options.ExtOptions);
  TOptionRecord record(Engine);
  ApplyDecoding(record, Options);
  if (Options.LocalFileOnly) Engine.SetLocalInputsOnly(true);
  if (!Options.FileFormat.empty()) record.SetInputFormat(Options.FileFormat);
  const int64_t start = int64_t(Options.StartTime) * 1000;
  if (start > 0) record.SetStartTime(start);
  if (Options.ProgramID >= 0) record.SetProgramId(Options.ProgramID);
}

void ApplyOutputOptions(TCustomFFmpeg& Engine, const TOutputOptions& Options) {
  ApplyOptionText(Engine, Options.ExtOptions);
  TOptionRecord record(Engine);
  ApplyMuxer(record, Options);
  ApplyAudio(record, Options);
  ApplyPicture(record, Options);
  ApplyVideoRate(record, Options);
  ApplyStreamsAndTime(record, Options);
  ApplyMetadata(record, Options);
  ApplyTarget(Engine, Options);
  ApplyExistingOutput(record, Options);
}

void ApplyTarget(TCustomFFmpeg& Engine, const TOutputOptions& Options) {
  static const char* const kKinds[] = {"vcd", "svcd", "dvd"};
  if (Options.TargetType < 1 || Options.TargetType > 3) return;
  const char* norm = Options.TargetNorm == 1 ? "pal" : Options.TargetNorm == 2 ? "ntsc" : "auto";
  const char* fallback = Options.TargetFallbackNorm == 1 ? "pal" : "ntsc";
  TOptionRecord(Engine).SetTarget(kKinds[Options.TargetType - 1], norm, fallback);
}

}  // namespace vantrel
