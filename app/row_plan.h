// A row of the file list is a plan: one look at its input file when it is
// added, and the decisions the current choices make from what was found.
// The decisions are made again, without looking at the file again, each
// time a choice changes, so what a row says (its estimate, whether it would
// fail) is always that of the choices on screen; a batch makes each task
// from its row's plan just before the row converts.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "app/decode_size.h"
#include "app/file_row.h"
#include "app/profiles.h"
#include "converter/av_probe.h"

namespace vantrel::app {

struct AddFileSettings {
  OutputChoice choice;
  QString outputFolder;  // ends in "/"
  bool overwrite = true;
  // Decode at reduced size when the output picture allows it.
  bool fastDecoding = true;
  // Threads of each task's video decoder, and of its H.264 encoder: the
  // cores the batch leaves each file. 1 leaves the engine's own count.
  int decoderThreads = 1;
};

// What the look at a file found.
struct ProbedInput {
  int64_t durationUs = -1;  // negative when the file states none
  TAVVideoInfo video{};     // all 0 without a video stream
  // Why the file cannot be converted, in plain words ("no such file", "an
  // empty file", ...); empty when it can.
  QString refusal;
};

// Looks at the file at path: that it is a regular file that can be read
// and that the libraries read it as video or audio, and what it holds. The
// name is always a path, never a protocol address, and nothing it names is
// fetched from elsewhere. Safe on any thread.
ProbedInput ProbeInput(const QString& path);
// Only what the file system says against reading the file (no such file, a
// folder, not a regular file, permission denied, empty); "" when nothing.
QString InputFileRefusal(const QString& path);

// The decisions for one row under the current choices.
struct RowPlan {
  DecodeChoice decoding;
  std::optional<int64_t> estimatedBytes;
  bool estimateIsGuess = false;  // constant quality: a guess from a table
  // The H.264 picture in plain words, "Picture: 960x720, H.264 High level
  // 3.1"; empty for the other profiles.
  QString pictureNote;
  // Why converting the row with these choices is certain to fail; empty
  // when nothing is known against it.
  QString verdict;
};

RowPlan PlanRow(int64_t durationUs, const TAVVideoInfo& video, const AddFileSettings& settings);
// The row takes what the plan says of it.
void TakePlan(FileRow& row, RowPlan plan);

// The refusal shown for a file that cannot be converted: the window's own
// text followed by the reason, when there is one.
QString NotSupportedText(const QString& path, const QString& reason);

}  // namespace vantrel::app
