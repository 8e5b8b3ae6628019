// Turning one input file and the user's current choices into a conversion
// task of the converter: the probed duration, the task with its output
// options, and an output name that takes nothing it must not.
//
// The output file's name is the input's base name with the profile's
// extension in the output folder. A name already given to an earlier row of
// the same batch is never given again, overwrite or not, so two rows never
// write one file; a file already on disk is taken as well unless
// overwriting is allowed. A taken name gets "(1)", "(2)", ... before its
// extension. An output that would be the input itself (links resolved) is
// refused: replacing it would destroy the very file being read.
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "app/decode_size.h"
#include "app/message_reporter.h"
#include "app/profiles.h"
#include "converter/bront_converter.h"

namespace vantrel::app {

class FileListModel;

struct AddFileSettings {
  OutputChoice choice;
  QString outputFolder;  // ends in "/"
  bool overwrite = true;
  // Decode at reduced size when the output picture allows it.
  bool fastDecoding = true;
  // Threads of each task's video decoder; 1 leaves the engine's own count.
  int decoderThreads = 1;
};

// The output files given out so far, compared after resolving links.
class TakenOutputs {
 public:
  bool contains(const QString& path) const;
  void insert(const QString& path);

 private:
  QSet<QString> resolved_;
};

struct AddedTask {
  int taskIndex = -1;
  QString outputName;  // base name, "(n)" included
  QString outputPath;
  int64_t durationUs = -1;  // negative when the probe could not tell
  DecodeChoice decoding;
};

// The task now in the converter, or nothing when the file was refused: the
// reason went to reporter and no task is left behind. The chosen output is
// added to taken.
std::optional<AddedTask> AddFileTask(TBrontConverter& converter, const AddFileSettings& settings,
                                     const QString& path, TakenOutputs& taken, MessageReporter& reporter);

// The Add button: each file that can be converted becomes a row (in the
// order given; a refused file is reported and skipped), then the tasks that
// only served as a check are cleared. When the profile cannot encode the
// chosen size, that is reported once and nothing is added. The outputs of the rows already in the
// list count as taken. Returns the number of rows added.
int AddFilesToList(TBrontConverter& converter, const AddFileSettings& settings, const QStringList& paths,
                   FileListModel& model, MessageReporter& reporter);

// The path a file is known by once links are resolved; a file that does not
// exist yet by its resolved folder.
QString ResolvedPath(const QString& path);

}  // namespace vantrel::app
