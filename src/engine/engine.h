// One conversion job, as a caller drives it: options in, files in, run the
// job, read its result, its events and its output files. While the job runs,
// ResetEngine, FreeResources, the option calls and the file calls refuse
// with FFMpegException: the worker is using what they would change. The job
// itself lives in src/engine/job/engine_job.h, which no caller includes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/engine_thread.h"
#include "engine/engine_types.h"
#include "engine/engine_unit.h"
#include "engine/options/engine_options.h"

namespace vantrel {

// Every refused option value and every fatal condition of a job.
class FFMpegException : public std::runtime_error {
 public:
  explicit FFMpegException(const std::string& msg) : std::runtime_error(msg) {}
};
// The refusal in the command line's words: "Invalid value 'foo' for option '-ab'".
FFMpegException InvalidOptionValue(const std::string& Name, const std::string& Value);
// A broken internal assumption, or a malformed value treated as one.
class EAssertionFailed : public std::logic_error {
 public:
  explicit EAssertionFailed(const std::string& msg) : std::logic_error(msg) {}
};

class THookBitmap;
class TEngineJob;

// How a job ended; read once its end was reported.
struct TJobResult {
  bool Completed = false;      // every input was read to its end
  bool Finished = false;       // the end was reported (OnTerminate)
  bool ErrorOccurred = false;  // ErrorMessage says why
  std::string ErrorMessage;
  int32_t DurationMs = -1;     // of the inputs, as the progress reports it; -1 unknown
};

class TCustomFFmpeg {
 public:
  using TLogHandler = std::function<void(TCustomFFmpeg* Sender, int ALevel, const std::string& AMsg)>;
  using TProgressHandler =
      std::function<void(TCustomFFmpeg* Sender, int AFrameNumber, int AFPS, int ACurrentDuration, float AQuality,
                         float ABitRate, int64_t ACurrentSize, int ATotalOutputDuration)>;
  using TProgressLineHandler = std::function<void(TCustomFFmpeg* Sender, const std::string& ALine, bool ALast)>;
  using TTerminateHandler = std::function<void(TCustomFFmpeg* Sender)>;
  using TBeforeHookHandler = std::function<void(TCustomFFmpeg* Sender, int64_t APTS, THookAction& AAction)>;
  using TCustomHookHandler = std::function<void(TCustomFFmpeg* Sender, THookBitmap& ABitmap, int AFrameNumber,
                                                int64_t APTS, bool& AUpdate, bool& AStopHook)>;
  // What SetOption did with a pair; a refused value raises instead.
  enum class TOptionResult { Applied, UnknownName, ValueRefused };
  // How a finished output takes its name when a file stands there. Replace:
  // in one step, keeping the old file's mode, owner and group. Refuse: the
  // job fails with "File 'NAME' already exists". Number: "BASE(n).EXT".
  enum class TOutputCollision { Replace, Refuse, Number };

  TCustomFFmpeg();
  virtual ~TCustomFFmpeg();
  TCustomFFmpeg(const TCustomFFmpeg&) = delete;
  TCustomFFmpeg& operator=(const TCustomFFmpeg&) = delete;

  // ---- reset ----
  // Frees everything and gives every option and setting its default; needs the libraries.
  void ResetEngine();
  // Frees the files and contexts; an unfinished output's temporary file is deleted.
  void FreeResources();

  // ---- the option language ----
  // Sets one option of the transcoder's language (names as on its command line).
  TOptionResult SetOption(const std::string& Name, const std::string& Value);
  // Raises InvalidOptionValue for a value the option can never take; changes nothing.
  void CheckOptionValue(const std::string& Name, const std::string& Value) const;
  // Whether SetOption knows the name (the table, a library option or an encoder's own).
  bool KnowsOption(const std::string& Name) const;
  // True for the names that take no value (flags, ignored words, "newvideo"...).
  static bool OptionTakesNoValue(const std::string& Name);
  // What the options became, for a caller that inspects them.
  const TEngineOptions& Options() const;

  // ---- files ----
  // False with the reason in LastError().
  bool OpenInputFile(const std::string& FileName);
  bool OpenOutputFile(const std::string& FileName);
  std::string LastError() const;

  // ---- job settings ----
  void SetOutputCollision(TOutputCollision Collision);  // default Replace
  // False: a stopped job removes its output instead of keeping what it closed.
  void SetKeepStoppedOutput(bool Keep);  // default true
  // Inputs are local paths and may open local files only, never a connection.
  void SetLocalInputsOnly(bool LocalOnly);  // default false
  // Microseconds between progress reports (default 500000).
  void SetReportInterval(int64_t Microseconds);
  int64_t ReportInterval() const;
  // The presentation-time spans whose pictures go to the frame hooks.
  void SetHookRanges(const std::vector<THookRange>& Ranges);
  const std::vector<THookRange>& HookRanges() const;
  // The "v" option: for its own lines and the library's on the threads it works on.
  void SetVerbose(int Level);
  // A job its caller could not set up: it ends failed with that message.
  void SetFailure(const std::string& Message);

  // ---- running ----
  // Starts the job: nullptr when refused or run synchronously, else the held
  // worker thread, which the caller resumes.
  std::shared_ptr<TFFmpegThread> StartJob(bool Threaded, TConvertPriority Priority = tpNormal);
  // Asks a running job to break at its next packet.
  void RequestStop();
  // Stops a running job; one never started reports its end from another thread.
  void StopJob();
  // Stops and returns once no thread of this engine uses it (call it first in
  // a derived destructor); on the engine's own worker it does not wait.
  void StopAndWait();
  std::shared_ptr<TFFmpegThread> Thread() const;
  bool Running() const;
  bool StopRequested() const;

  // ---- events (from the job's thread) ----
  void SetOnLog(TLogHandler Handler);
  void SetOnProgress(TProgressHandler Handler);
  // The progress text instead of OnLog when no OnProgress is set; ALast after the trailers.
  void SetOnProgressLine(TProgressLineHandler Handler);
  // Exactly once per job, when it ended.
  void SetOnTerminate(TTerminateHandler Handler);
  void SetOnBeforeHook(TBeforeHookHandler Handler);
  void SetOnCustomHook(TCustomHookHandler Handler);

  // ---- results ----
  TJobResult Result() const;
  // Output FileIndex's name on disk once its job ended (after numbering); "" if never opened.
  std::string FinalOutputName(int FileIndex) const;
  // Pictures the video decoder handed out in the current or last job.
  int32_t DecodedPictures() const;
  // The last input's format context, owned by the engine; nullptr when none.
  AVFormatContext* LastInputContext() const;

 private:
  friend class TOptionRecord;  // the typed option setters of src/engine/options/option_record.h
  std::unique_ptr<TEngineJob> job_;
};

}  // namespace vantrel
