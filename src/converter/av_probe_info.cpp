// What GetInfo reads from a format context. The fields the old format
// context carried are tags of its metadata dictionary now.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "binding/av_functions.h"
#include "converter/av_probe.h"

namespace vantrel {
namespace {

const char* Tag(const AVFormatContext* ic, const char* key) {
  const AVDictionaryEntry* e = lav::av_dict_get(ic->metadata, key, nullptr, 0);
  return e ? e->value : nullptr;
}

// Copies as much of text as fits with its NUL; the rest of the field is zero.
// Tags are UTF-8: a cut falls before a character, never inside one.
template <size_t N>
void CopyTag(char (&field)[N], const char* text) {
  std::memset(field, 0, N);
  if (!text) return;
  size_t n = strnlen(text, N - 1);
  if (text[n] != 0)
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  std::memcpy(field, text, n);
}

// The leading number of "2009-06-15" or "7/12"; 0 when there is none.
int32_t LeadingNumber(const char* text) {
  int32_t n = 0;
  if (text) std::from_chars(text, text + std::strlen(text), n);
  return n;
}

// Unix seconds of "creation_time" (ISO 8601; UTC when it ends in Z, as
// muxers write it). Whole seconds, like the recording time stamp an engine
// writes, so a value read here stamps an output with the same time.
int64_t CreationTime(const char* text) {
  int64_t us = 0;
  if (!text || lav::av_parse_time(&us, text, 0) < 0) return 0;
  return us >= 0 ? us / 1000000 : -((-us + 999999) / 1000000);
}

void FillEmpty(TAVFileInfo& AInfo) {
  std::memset(&AInfo, 0, sizeof AInfo);
  AInfo.StartTime = AInfo.Duration = AInfo.Timestamp = -1;
  AInfo.BitRate = AInfo.Year = AInfo.Track = -1;
}

}  // namespace

void TAVProbe::GetInfo(TAVFileInfo& AInfo) const {
  if (!context_) {
    FillEmpty(AInfo);
    // The libraries' information level, which the log routing puts at 1 on
    // the engines' scale (0 is for errors): a notice, not a failure, shown
    // from the information log level up.
    lav::av_log(nullptr, AV_LOG_INFO, "file not loaded.\n");
    return;
  }
  const AVFormatContext* ic = context_;
  AInfo.StartTime = ic->start_time;
  AInfo.Duration = ic->duration;
  AInfo.BitRate = int32_t(std::clamp<int64_t>(ic->bit_rate, 0, INT32_MAX));
  AInfo.Timestamp = CreationTime(Tag(ic, "creation_time"));
  CopyTag(AInfo.Title, Tag(ic, "title"));
  // Most muxers keep the author as "artist" (MP4 and MP3 have no other).
  const char* author = Tag(ic, "author");
  CopyTag(AInfo.Author, author ? author : Tag(ic, "artist"));
  CopyTag(AInfo.Copyright, Tag(ic, "copyright"));
  CopyTag(AInfo.Comment, Tag(ic, "comment"));
  CopyTag(AInfo.Album, Tag(ic, "album"));
  const char* date = Tag(ic, "date");
  AInfo.Year = LeadingNumber(date ? date : Tag(ic, "year"));
  AInfo.Track = LeadingNumber(Tag(ic, "track"));
  CopyTag(AInfo.Genre, Tag(ic, "genre"));
}

}  // namespace vantrel
