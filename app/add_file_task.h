// Turning input files and the user's current choices into rows of the file
// list, and a row's plan into a conversion task when its turn comes.
//
// The output file's name is the input's base name with the profile's
// extension in the output folder. A name already given to another row, or
// that is the input of any row of the list (however the path is spelled:
// links, "./", ".."), is taken whatever the overwrite setting, so no row
// ever writes over another's input or output; a file already on disk is
// taken as well unless overwriting is allowed. A taken name gets "(1)",
// "(2)", ... before its extension.
#pragma once

#include <sys/types.h>

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <utility>

#include "app/file_row.h"
#include "app/message_reporter.h"
#include "app/row_plan.h"
#include "converter/bront_converter.h"

namespace vantrel::app {

class FileListModel;

// Files that an output must not land on: by the path they are known by once
// links are resolved, and by the file itself (hard links) when it exists.
class TakenOutputs {
 public:
  bool contains(const QString& path) const;
  void insert(const QString& path);
  // Where the search for a free "(n)" of a name may start: every number
  // below was found taken before. Keeps naming a long list of one file from
  // trying every earlier number again.
  int firstNumberToTry(const QString& name) const { return nextNumber_.value(name, 1); }
  void numberTaken(const QString& name, int n) { nextNumber_.insert(name, n + 1); }

 private:
  QHash<QString, int> nextNumber_;
  QSet<QString> resolved_;
  std::set<std::pair<dev_t, ino_t>> files_;
};

// B, or B(n) with the first n whose file in folder is neither taken nor,
// unless overwrite, on disk.
QString ChooseOutputName(const QString& folder, const QString& base, const QString& extension, bool overwrite,
                         TakenOutputs& taken);

// Adds files as rows, each under an output name that no row of the list
// has and that is no row's input.
class RowAdder {
 public:
  // The rows already in model count as taken, and so do the files about
  // to be added: no row is named after an input that comes later.
  RowAdder(const AddFileSettings& settings, FileListModel& model, const QStringList& coming = {});
  // The new row's index, or -1 when the file was refused: its reason went
  // to reporter.
  int add(const QString& path, const ProbedInput& probed, MessageReporter& reporter);
  // The row add would append, without appending it, for a caller that
  // appends many at once; nothing when the file was refused. plan, when
  // given, was made for this adder's settings.
  std::optional<FileRow> makeRow(const QString& path, const ProbedInput& probed, MessageReporter& reporter,
                                 const RowPlan* plan = nullptr);

 private:
  AddFileSettings settings_;
  FileListModel& model_;
  QString extension_;
  TakenOutputs taken_;
};

// Why nothing can be added with these settings, said once for all files
// (a profile that cannot encode the size, an output folder that cannot be
// written); empty when files may be added.
QString AddRefusal(const AddFileSettings& settings);

// The Add button without the window: each file is looked at (several at
// once) and becomes a row, in the order given; a refused file is reported
// and skipped, and onRefused, when given, hears its path and message.
// Adding ends early once stopRequested, when given, says so. Returns the
// number of rows added.
int AddFilesToList(const AddFileSettings& settings, const QStringList& paths, FileListModel& model,
                   MessageReporter& reporter,
                   const std::function<void(const QString& path, const QString& message)>& onRefused = {},
                   const std::function<bool()>& stopRequested = {});

// The input and output of one row's task, made from its plan and the
// current choices; the output's name is given by the caller.
// video is the input's first video stream as probed.
void FillTaskOptions(const AddFileSettings& settings, const QString& path, const DecodeChoice& decoding,
                     const TAVVideoInfo& video, TInputOptions& input, TOutputOptions& output);

// The path a file is known by once links are resolved; a file that does not
// exist yet by its resolved folder.
QString ResolvedPath(const QString& path);

// The system's reason why no file can be written in folder, or "".
QString FolderWriteRefusal(const QString& folder);

}  // namespace vantrel::app
