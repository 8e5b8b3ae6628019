// One row of the file list: what the user sees of an input file and of its
// conversion, and the texts made from it. The row is the only record of a
// chosen file: a batch rebuilds its tasks from the rows' paths.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "converter/av_probe.h"

namespace vantrel::app {

// Where a row is in a batch. Each has one exact text in the "Status" column:
// None "", Queued " " (every row when a batch starts), Converting
// "42% Completed" (or the converted time while the total is unknown),
// Completed "Completed", Stopped "Stopped", Failed "Failed" (the reason is
// kept apart: it is the row's tooltip, and vantrel-batch prints it). A row
// outside a batch whose plan would fail says "Cannot convert".
enum class RowStatus { None, Queued, Converting, Completed, Stopped, Failed };

struct FileRow {
  QString path;             // the full input path
  QString inputName;        // file name without folder and extension
  QString durationText;     // "01:02:05", empty when the probe gave none
  QString type;             // extension in upper case, without the dot
  QString outputName;       // output base name, "(n)" included when one was added
  int64_t durationUs = -1;  // as probed; negative when unknown
  TAVVideoInfo video{};     // as probed; all 0 without a video stream

  // ---- the plan: made again whenever a choice changes ----
  // How its pictures are decoded, "Fast decoding: reads the picture at half
  // size, ..."; in the tooltip of the name and type columns. Empty without a
  // video stream.
  QString decodingNote;
  // Why converting it with the current choices is certain to fail: said in
  // the Status column and the tooltip before any batch runs.
  QString verdict;

  RowStatus status = RowStatus::None;
  int64_t percent = 0;                    // Converting with a known total; may pass 100
  int64_t convertedMs = -1;               // Converting with an unknown total
  QString failureReason;                  // Failed
  std::optional<int64_t> secondsLeft;     // Converting, when it can be told
  std::optional<int64_t> estimatedBytes;  // from the duration and bit rates
  bool estimateIsGuess = false;           // constant quality: from a table
  QString pictureNote;                    // the H.264 picture, "Picture: 960x720, ..."

  // The file its conversion wrote, under the name it finally took; empty
  // unless Completed.
  QString outputPath;
};

// A fresh row for the input at path, as Add makes it.
FileRow MakeFileRow(const QString& path, int64_t durationUs, const QString& outputName,
                    const TAVVideoInfo& video = {});

// The file name after the last "/" without the part from its last ".":
// "movie.final.avi" gives "movie.final".
QString InputBaseName(const QString& path);
// The extension in upper case without its dot; only a to z change, so a
// name's other letters are never altered by the user's locale.
QString InputType(const QString& path);
// Whole seconds, truncated, as hours:minutes:seconds with two digits each at
// least ("00:00:59" for 59.9 s, "10:00:00"); empty when negative (unknown).
QString DurationText(int64_t durationUs);

// currentMs x 100 / totalMs, truncated, without upper bound; nothing when
// the total is unknown (-1) or zero.
std::optional<int64_t> ProgressPercent(int64_t currentMs, int64_t totalMs);
QString StatusText(const FileRow& row);

// The time still needed at the rate seen so far: elapsedMs of wall time
// converted convertedMs of totalMs. Nothing before anything was converted
// or when the total is unknown; 0 once past the total.
std::optional<int64_t> SecondsLeft(int64_t elapsedMs, int64_t convertedMs, int64_t totalMs);
// "0:42 left", "1:02:03 left".
QString TimeLeftText(int64_t seconds);
// "850 KB", "1.4 MB": decimal units, as file managers show sizes.
QString SizeText(int64_t bytes);

}  // namespace vantrel::app
