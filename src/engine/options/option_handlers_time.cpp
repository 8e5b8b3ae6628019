// Handlers of times, dates, stream maps and time-stamp scales.
#include <charconv>
#include <cmath>
#include <cstring>

#include "binding/message_format.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

// Reads an integer the way C's strtol does in base 0 and moves p past it.
int32_t ReadInteger(const char*& p) {
  char* end = nullptr;
  const long v = lav::strtol(p, &end, 0);
  p = end;
  return int32_t(v);
}

// Reads a decimal like C's strtod, but always with '.' as the separator,
// whatever the user's locale says; 0 and p unmoved when there is none.
double ReadDecimal(const char*& p) {
  const char* q = p;
  while (*q == ' ' || (*q >= '\t' && *q <= '\r')) ++q;
  const bool negative = *q == '-';
  if (*q == '-' || *q == '+') ++q;
  double v = 0;
  const auto r = std::from_chars(q, q + std::strlen(q), v, std::chars_format::general);
  if (r.ec != std::errc()) return 0;
  p = r.ptr;
  return negative ? -v : v;
}

void SkipSeparator(const char*& p) {
  if (*p) ++p;
}

}  // namespace

void TEngineJob::OptTime(const std::string& Name, const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  const bool isDate = Name == "timestamp";
  int64_t us = 0;
  if (lav::av_parse_time(&us, Value.c_str(), isDate ? 0 : 1) < 0)
    throw FFMpegException(
        Format("Invalid %s specification for %s: %s", isDate ? "date" : "duration", Name, Value));
  if (Name == "t")
    SetRecordingTimeMs(us / 1000);
  else if (Name == "ss")
    StartTime = us;
  else if (Name == "itsoffset")
    InputTsOffset = us;
  else if (isDate)
    RecTimestamp = int64_t(std::nearbyint(double(us) / 1000000.0));
}

void TEngineJob::OptMap(const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  if (StreamMapCount >= MAX_STREAM_MAPS)
    throw FFMpegException(Format("Too many stream maps: at most %d are allowed", MAX_STREAM_MAPS));
  TStreamMapEntry m;
  const char* p = Value.c_str();
  m.file_index = ReadInteger(p);
  SkipSeparator(p);
  m.stream_index = ReadInteger(p);
  if (*p) {
    SkipSeparator(p);
    m.sync_file_index = ReadInteger(p);
    SkipSeparator(p);
    m.sync_stream_index = ReadInteger(p);
  } else {
    m.sync_file_index = m.file_index;
    m.sync_stream_index = m.stream_index;
  }
  StreamMaps[StreamMapCount++] = m;
}

void TEngineJob::OptMapMetaData(const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  if (MetadataMapCount >= MAX_METADATA_MAPS)
    throw FFMpegException(Format("Too many metadata maps: at most %d are allowed", MAX_METADATA_MAPS));
  TMetadataMapEntry m;
  const char* p = Value.c_str();
  m.out_file = ReadInteger(p);
  SkipSeparator(p);
  m.in_file = ReadInteger(p);
  MetadataMaps[MetadataMapCount++] = m;
}

void TEngineJob::OptInputTsScale(const std::string& Value) {
  RefuseWhileRunning();
  if (Value.empty()) return;
  const char* p = Value.c_str();
  const int32_t stream = ReadInteger(p);
  SkipSeparator(p);
  const double scale = ReadDecimal(p);
  if (stream < 0 || stream >= MAX_STREAMS)
    throw FFMpegException(Format("stream index over MAX_STREAMS(%d)", MAX_STREAMS));
  // The scale belongs to the next input; there is none after the last one.
  if (InputFileCount >= MAX_FILES)
    throw FFMpegException(Format("Too many input files: at most %d are allowed", MAX_FILES));
  InputFilesTsScale[InputFileCount][stream] = scale;
}

}  // namespace vantrel
