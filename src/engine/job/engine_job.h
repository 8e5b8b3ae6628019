// The job behind a TCustomFFmpeg: the option state, the files it opened,
// the working tables and every step of the job. Internal to src/engine (and
// to the tests of the steps): callers use engine.h. The engine sources define
// its methods, one concern per file, in one folder per stage of the job.
// Each library object the job keeps sits in an owning pointer whose deleter
// frees it through the binding; FreeResources() is the one place that
// releases them, in a fixed order.
#pragma once

#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "binding/av_functions.h"
#include "engine/engine.h"
#include "engine/engine_thread.h"
#include "engine/engine_types.h"
#include "engine/options/engine_options.h"
#include "engine/working_state.h"

namespace vantrel {

class TEngineJob : public TEngineOptions, public TEngineWorkingState {
 public:
  using TLogHandler = TCustomFFmpeg::TLogHandler;
  using TProgressHandler = TCustomFFmpeg::TProgressHandler;
  using TProgressLineHandler = TCustomFFmpeg::TProgressLineHandler;
  using TTerminateHandler = TCustomFFmpeg::TTerminateHandler;
  using TBeforeHookHandler = TCustomFFmpeg::TBeforeHookHandler;
  using TCustomHookHandler = TCustomFFmpeg::TCustomHookHandler;
  using TOptionResult = TCustomFFmpeg::TOptionResult;
  using TOutputCollision = TCustomFFmpeg::TOutputCollision;


  // Owner: the engine the events name as their Sender (nullptr for a job
  // made on its own, as the tests of its steps do).
  explicit TEngineJob(TCustomFFmpeg* Owner = nullptr);
  virtual ~TEngineJob();
  TEngineJob(const TEngineJob&) = delete;
  TEngineJob& operator=(const TEngineJob&) = delete;
  TCustomFFmpeg* const Owner;

  // ---- construction and reset ----
  // Frees everything, gives every field its default and creates the option
  // holders. Does nothing while the libraries are not loaded.
  void ResetEngine();
  void SetDefaults();
  // Frees every library context, buffer and heap string the engine holds and
  // clears each pointer; a second call frees nothing twice. The temporary
  // file of an output whose job did not finish is deleted, and so is a
  // regular file the engine wrote in place and left empty.
  void FreeResources();
  // While the job runs, ResetEngine, FreeResources, SetOption and the other
  // option setters and handlers, OpenInputFile and OpenOutputFile refuse
  // with FFMpegException: the worker is using what they would change.

  // ---- files ----
  // Return false and leave the reason in LastError.
  bool OpenInputFile(const std::string& FileName);
  bool OpenOutputFile(const std::string& FileName);

  // ---- running ----
  // Starts the job. Returns nullptr when it is refused (already running or
  // finished; no output; no input: those two report their end at once) or
  // when it ran synchronously. With Threaded, returns the held worker thread,
  // which the caller resumes.
  std::shared_ptr<TFFmpegThread> StartJob(bool Threaded, TConvertPriority Priority = tpNormal);
  // Asks a running job to break at its next packet.
  void RequestStop();
  // A running job breaks; one that was set up but never started reports its
  // end from a short-lived thread, so every job gives exactly one notice.
  void StopJob();
  std::shared_ptr<TFFmpegThread> Thread() const;
  // Asks a running job to break and returns once no thread of this engine
  // (its worker, or the thread reporting the end of a job stopped before it
  // ran) uses it any more. An owner that derives from the engine calls it
  // first thing in its destructor, so no event reaches a half-destroyed
  // object. On the engine's own worker (a handler that destroys its task)
  // it does not wait for itself.
  void StopAndWait();
  // The format context of the input opened last, owned by the engine (for a
  // reader that must not close it); nullptr when no input is open.
  AVFormatContext* LastInputContext() const;
  // The spans of presentation time whose pictures go to the frame hooks;
  // kept sorted by their ends.
  void SetHookRanges(const std::vector<THookRange>& Ranges);
  // The spans kept by SetHookRanges, for a caller that set the engine up
  // and checks what it was given; not while the job runs.
  const std::vector<THookRange>& GetHookRanges() const { return HookRanges; }
  // Pictures the video decoder has handed out in the current or last job.
  int32_t DecodedPictures() const { return HookFrameCount; }

  // ---- option language ----
  // What SetOption did with a pair. The engine's callers may ignore it (an
  // unknown name, or a library option given no value, then passes
  // silently); a front end that wants to refuse them reads it. A value an
  // option refuses raises, from the table's handlers and from the library
  // holders alike.
  TOptionResult SetOption(const std::string& Name, const std::string& Value);
  // Raises InvalidOptionValue when the value cannot be a value of the
  // option whatever the files and the other options: not a number, a
  // duration, a size or a rate of the option's kind, or zero or negative
  // where neither means anything. Changes nothing, so a front end can check
  // a whole command line before it opens a file; SetOption checks the same.
  // An empty value passes where the handler reads it as "leave alone".
  void CheckOptionValue(const std::string& Name, const std::string& Value) const;
  // Whether SetOption would know the name: a table entry, an option of one
  // of the library holders (also through the a/v/s prefix) or of some
  // encoder's own options. Needs ResetEngine.
  bool KnowsOption(const std::string& Name) const;
  // True for the names of the table that take no value (flags, ignored
  // words, "newvideo" / "newaudio" / "newsubtitle").
  static bool OptionTakesNoValue(const std::string& Name);
  // An option of the codec, format or scaler holders, or of a muxer, by name.
  bool ApplyGenericOption(const std::string& Name, const std::string& Value);
  bool ApplyGenericOptionInt(const std::string& Name, int Value);
  // Whether one of the library holders or some encoder's own options have
  // an option of that name (after the renames of the old generation, and
  // through the a/v/s prefix).
  bool KnowsGenericOption(const std::string& Name) const;
  // Whether a fresh codec or format holder, or a fresh context of an
  // encoder that has the option, takes the value of a generic option; true
  // for names none of them has.
  bool GenericValueAccepted(const std::string& Name, const std::string& Value) const;
  void SetVerbose(int Level);
  // Applies a bit rate through the generic options and warns when the value
  // read back looks like kbit/s.
  void SetBitrate(const std::string& Name, const std::string& Value);
  // Formats; a refused name raises FFMpegException.
  void SetInputFormat(const std::string& Name);
  void SetOutputFormat(const std::string& Name);
  void SetFormat(const std::string& Name);
  // The "target" option: an optional "pal-", "ntsc-" or "film-" prefix, then
  // the kind; the norm is detected when no prefix gives it.
  void SetTarget(const std::string& Value);
  // The presets vcd, svcd, dvd, dv and dv50 for a norm ("pal", "ntsc",
  // "film" or anything else to detect it) and the norm to fall back on.
  void SetTarget(const std::string& Kind, const std::string& Norm, const std::string& FallbackNorm);
  // "newvideo" / "newaudio" / "newsubtitle": another stream on the last output.
  void NewVideoStreamOption();
  void NewAudioStreamOption();
  void NewSubtitleStreamOption();

  // Direct setters: each stores only under its condition (see the sources).
  void SetAudioVolume(int Value);
  void SetAudioSyncMethod(int Value);
  void SetVideoSyncMethod(int Value);
  void SetMuxMaxDelay(float Value);
  void SetMuxPreload(float Value);
  void SetYear(int Value);
  void SetTrack(int Value);
  void SetStartTime(int64_t Microseconds);
  void SetProgramId(int Value);
  void SetRecordingTimeMs(int64_t Milliseconds);
  void SetTitle(const std::string& Value);
  void SetAuthor(const std::string& Value);
  void SetCopyright(const std::string& Value);
  void SetComment(const std::string& Value);
  void SetGenre(const std::string& Value);
  void SetAlbum(const std::string& Value);

  // Handlers of the option table, also used by the component. Each raises
  // FFMpegException (the tag handlers EAssertionFailed) with the message the
  // user sees; a text handler ignores an empty value.
  void OptTime(const std::string& Name, const std::string& Value);
  void OptMap(const std::string& Value);
  void OptMapMetaData(const std::string& Value);
  void OptInputTsScale(const std::string& Value);
  void OptFrameRate(const std::string& Value);
  void OptFrameSize(const std::string& Value);
  void OptFrameAspectRatio(const std::string& Value);
  void OptFrameCrop(const std::string& Name, int Value);
  void OptFramePad(const std::string& Name, int Value);
  void OptPadColor(int Value);
  void OptPixFmt(const std::string& Value);
  void OptSampleFmt(const std::string& Value);
  void OptQScale(float Value);
  void OptPass(int Value);
  void OptCodecName(const std::string& Name, const std::string& Value);
  void OptCodecTag(const std::string& Name, const std::string& Value);
  void OptMatrix(const std::string& Name, const std::string& Value);
  void OptVStats();
  void OptVStatsFile(const std::string& Value);
  void OptVideoHook(const std::string& Value);
  void OptBitstreamFilter(const std::string& Name, const std::string& Value);

  // ---- events ----
  TBeforeHookHandler OnBeforeHook;
  TCustomHookHandler OnCustomHook;
  TLogHandler OnLog;
  TProgressHandler OnProgress;
  TTerminateHandler OnTerminate;
  // Receives the progress text line instead of OnLog when assigned (and no
  // OnProgress is), so a front end can tell it from other log lines; Last is
  // set for the report made after the trailers.
  TProgressLineHandler OnProgressLine;

  // ---- where files come from and where outputs land ----
  // How a finished output takes its name when a file stands there (or
  // appeared there while the job ran). Replace: the old file goes in one
  // step and the new one takes its permission bits, owner and group.
  // Refuse: nothing is replaced; the job fails with "File 'NAME' already
  // exists". Number: the output takes the first free "BASE(n).EXT" beside
  // it, never replacing a file even when another process numbers too.
  TOutputCollision OutputCollision;  // default Replace
  // Whether a stopped job's properly closed output is kept (as the
  // command-line transcoder does). False: a stopped job removes its
  // temporary file and never replaces anything.
  bool KeepStoppedOutput;  // default true
  // Input names are local paths, never protocol addresses ("cache:x.avi"
  // and "http:x.avi" are files of that name), and opening an input, or
  // anything an input names (playlist entries, nested opens), may use the
  // local file protocol only: no connection is ever attempted.
  bool LocalInputsOnly;  // default false
  // The name output FileIndex has on disk once its job ended (after
  // numbering), else the name it was given; empty for an index never opened.
  std::string FinalOutputName(int FileIndex) const;

  // ---- job state ----
  std::atomic<bool> Running{false};
  std::atomic<bool> StopRequested{false};
  std::atomic<bool> Completed{false};
  std::atomic<bool> Finished{false};
  std::atomic<bool> ErrorOccurred{false};
  std::string ErrorMessage;
  int32_t DurationMs = -1;
  std::string LastError;
  int64_t ReportInterval = 500000;

  // The job itself: set-up, main loop, flush, trailers, closing.
  virtual void Transcode();
  // Passes a message to OnLog when it is assigned.
  void Log(int ALevel, const std::string& AMsg);
  bool LogAssigned() const { return static_cast<bool>(OnLog); }


  // ---- the job ----
  void RunJob();
  void DoTerminate();
  // Entry points of the worker threads.
  void WorkerRun();
  void WorkerTerminate();

  // ---- option language: generic mechanism ----
  // SetOption for a name the table does not have.
  TOptionResult SetGenericOption(const std::string& Name, const std::string& Value);
  // Copies the recorded generic options whose descriptors carry every bit of
  // Flags from the option holder Source (an AVCodecContext*, AVFormatContext*
  // or SwsContext*) into the new context Target, each with the holder's
  // current value. Options missing in either context are skipped, and so
  // are those that Own (an encoder's priv_data) takes as its own option.
  void ApplyContextOptions(void* Target, void* Source, int Flags, void* Own = nullptr);
  // Options private to some encoders: checked against fresh contexts of the
  // encoders that have the option (true: one of them takes the value), kept
  // by name in EncoderOptions, and set on each new encoder that has the name.
  bool KnowsEncoderOption(const std::string& Name) const;
  bool EncoderOptionAccepted(const std::string& Name, const std::string& Value) const;
  bool SetEncoderOption(const std::string& Name, const std::string& Value);
  // Whether Own (an encoder's priv_data, may be nullptr) has a recorded option of that name.
  bool IsOwnOption(void* Own, const std::string& Name) const;
  // The generic options of the holder of Type whose descriptors carry Flags,
  // then the encoder's own options, into the newest stream of output
  // FileIndex. Raises FFMpegException when the encoder refuses a value.
  void ApplyEncoderOptions(AVCodecContext* enc, int FileIndex, AVMediaType Type, int Flags);
  // One warning line for the recorded encoder options no encoder of the job had.
  void WarnUnusedEncoderOptions();
  // "-name value ..." of the encoder options set on the stream's encoder.
  std::string EncoderOptionsGiven(const TOutputStreamState& ost) const;
  // Options private to some muxer: checked against one that has the option,
  // kept by name, and set on each output whose muxer knows the name.
  bool SetMuxerOption(const std::string& Name, const std::string& Value);
  bool KnowsMuxerOption(const std::string& Name) const;
  void ApplyMuxerOptions(AVFormatContext* oc);
  // The format name to look up; "pgmyuv" becomes "image2" with a notice.
  std::string ImageFormatName(const std::string& Name);
  void ParseTarget(const std::string& Value);

  // ---- inputs and outputs ----
  // Looks a codec up by name (nullptr: no choice, id 0). False with the
  // reason in LastError when it is unknown or of another media type.
  bool CheckCodecName(const char* Name, AVMediaType Type, AVCodecID& CodecId, bool Encoder);
  // Add one stream to an output; FileIndex is the output's row in the file
  // tables. Raise FFMpegException on failure.
  void new_video_stream(AVFormatContext* oc, int FileIndex);
  void new_audio_stream(AVFormatContext* oc, int FileIndex);
  void new_subtitle_stream(AVFormatContext* oc, int FileIndex);
  // Whether any opened input has a video, an audio, a subtitle stream.
  void check_audio_video_sub_inputs(bool& HasVideo, bool& HasAudio, bool& HasSubtitle);
  // Opens the byte stream of an output for writing when the job starts
  // writing; an output is never touched on disk before. A regular file is
  // written under a hidden temporary name in its folder (StagedOutputs) and
  // takes its final name only when the job ends without error. False with
  // the reason in LastError.
  bool OpenOutputIO(int FileIndex);
  // The refusal for an output that is the same file as an input opened so
  // far ("Output file 'X' is the same file as input file 'Y'"), else empty.
  std::string SameFileAsInput(const std::string& OutputName) const;
  // Opening an input, step by step.
  AVDictionary* InputFormatParameters() const;
  bool ForceInputDecoders(AVFormatContext* ic, AVCodecID& VideoId, AVCodecID& AudioId);
  bool ProbeInput(AVFormatContext* ic, const std::string& FileName);
  int64_t SeekToStartTime(AVFormatContext* ic);
  AVFormatContext* OpenInputFormat(const std::string& FileName);
  CodecContextPtr MakeDecoder(AVStream* st);
  bool TakeStreams(AVFormatContext* ic, std::vector<CodecContextPtr>& Decoders, const std::string& FileName);
  void TakeVideoProperties(AVStream* st, AVCodecContext* dec, const std::string& FileName);
  // Limits the decoder's "lowres" to what its codec offers and gives it the
  // reduced picture size before it opens, so every size taken from it is the
  // size of the pictures it will deliver.
  void ReducePictureSize(AVCodecContext* dec);
  void TakeAudioProperties(AVStream* st, AVCodecContext* dec);
  void RecordInput(OpenedInput ic, std::vector<CodecContextPtr>& Decoders, int64_t StartPts,
                   const std::string& FileName);
  void ConsumeFileOptions();
  int64_t ScanInputDuration(AVFormatContext* ic, const std::string& FileName);
  // Making an output, step by step.
  std::string VideoFilterConflict() const;
  void ChooseOutputStreams(AVFormatContext* oc, int FileIndex);
  void CopyOutputMetadata(AVFormatContext* oc);
  void ApplyMuxerSettings(AVFormatContext* oc);
  void DiscardOutput(OutputContextPtr& oc, int FileIndex);
  // Creates the temporary file of an output that replaces a regular file (or
  // makes a new one) and points the output's URL at it. False when the
  // output is written in place (other protocols, devices, a folder where no
  // file can be made).
  bool StageOutput(int FileIndex);
  // Once the job has ended without error (completed or stopped): each staged
  // output takes its final name. Returns the first failure's text, else empty.
  std::string KeepFinishedOutputs();
  // The finished temporary of one output takes its name as OutputCollision
  // says; returns the failure's text, else empty.
  std::string TakeFinalName(int FileIndex);
  std::string NumberFinishedOutput(int FileIndex);
  // With Refuse, the refusal for an output whose name is taken before the
  // job writes anything, else empty.
  std::string RefuseTakenName(int FileIndex) const;
  // What FreeResources does on disk for an output: an unfinished temporary
  // file goes, and so does an empty file the engine wrote in place.
  void DiscardUnfinishedOutput(int FileIndex);
  // Raises the refusal of SameFileAsInput for the first output that is an input.
  void CheckOutputsAreNotInputs() const;
  AVCodecContext* NewOutputStream(AVFormatContext* oc, int FileIndex, AVMediaType Type, AVCodecID Id, bool Copy,
                                  BitstreamFilterPtr& PendingFilters);
  void AddVideoStream(AVFormatContext* oc, int FileIndex);
  void SetVideoEncoding(AVStream* st, AVCodecContext* enc, std::vector<RcOverride>& Overrides);
  void AddAudioStream(AVFormatContext* oc, int FileIndex);
  void AddSubtitleStream(AVFormatContext* oc, int FileIndex);
  void SetStreamLanguage(AVStream* st, std::string& Language);
  int DetectTargetNorm(const std::string& Norm, const std::string& FallbackNorm);

  // ---- the transcode: set-up, loop, progress ----
  // Passes one finished packet through the stream's bit-stream filter chain
  // into the interleaving writer. pkt: stream_index set, time stamps in the
  // output stream's time base. Takes the packet's reference (the packet is
  // empty when WritePacket returns, also when it raises). Raises on a write
  // error, and on a filter error with "xerror".
  void WritePacket(AVFormatContext* s, AVPacket* pkt, AVCodecContext* enc, AVBSFContext* bsf);
  // Measures the job and reports it to OnProgress, OnProgressLine or OnLog;
  // with Last also the byte summary.
  void ReportProgress(bool last);
  // The sync stream's current time in seconds from the start time.
  double SyncInputTime(const TOutputStreamState& ost) const;
  // The first input stream of the given type that no output has taken yet,
  // in the programs whose id is ProgramId, in file and program order; -1.
  int FindProgramStream(AVMediaType Type) const;

  // Steps of the job, in the order Transcode runs them. Each raises
  // FFMpegException with the message of the failed check.
  void BuildInputTables();
  void BuildOutputTable();
  void CheckStreamMaps() const;
  void ChooseSources();
  void SetUpStreamCodecs();
  void SetUpCopiedStream(TOutputStreamState& ost, TInputStreamState& ist);
  void SetUpEncodedStream(TOutputStreamState& ost, TInputStreamState& ist);
  void OpenTwoPassLog(TOutputStreamState& ost, int Position);
  bool HandOverTwoPassLog(TOutputStreamState& ost, const std::string& Name);
  void SetUpSubtitleEncoding(TOutputStreamState& ost, const TInputStreamState& ist);
  void OpenEncoders();
  void OpenEncoder(TOutputStreamState& ost);
  std::string EncoderOpenError(const TOutputStreamState& ost, const AVCodec* codec) const;
  void OpenDecoders();
  void OpenSubtitleEncoders();
  void InitBitstreamFilters();
  void CopyMappedMetadata();
  void WriteHeaders();
  void LogStreamMapping();
  void RunMainLoop();
  void FinishTranscode();
  // Decodes (or copies) one packet of an input stream and hands the result
  // to every output stream it feeds; pkt nullptr flushes the decoder.
  // Returns 0, or -1 when decoding failed.
  int OutputPacket(TInputStreamState& ist, int IstIndex, const AVPacket* pkt);
  void CopyPacket(TOutputStreamState& ost, TInputStreamState& ist, const AVPacket* pkt);
  // Frees the working tables of a job; also part of FreeResources.
  void FreeTranscodeState();
  // The output stream's position in seconds, as the loop compares them.
  double OutputTime(const TOutputStreamState& ost) const;
  // Scales the samples of a decoded audio frame by Volume / 256, clipping
  // integer formats.
  static void ApplyVolume(AVFrame* Frame, int Volume);

  // The smaller pieces of the loop, writing and reports.
  int64_t ProgressSize() const;
  int ChooseInputFile(double& MinOutputTime) const;
  bool OutputLimitReached(double MinOutputTime) const;
  void CorrectDiscontinuity(AVPacket* pkt, TInputStreamState& ist);
  void CloseCodecs();
  void EmulateRate(TInputStreamState& ist);
  bool PastStartTime(const TInputStreamState& ist) const;
  void CopyToOutputs(TInputStreamState& ist, int IstIndex, const AVPacket* pkt);
  void AdvanceCopiedTime(TInputStreamState& ist, const AVPacket* pkt);
  void HandleDecodedFrame(TInputStreamState& ist, int IstIndex, AVFrame* frame);
  int DecodeSubtitle(TInputStreamState& ist, int IstIndex, const AVPacket* pkt);
  int DecodePacket(TInputStreamState& ist, int IstIndex, const AVPacket* pkt);
  void FlushEncoders(int IstIndex);
  TOutputStreamState* FindOutputStream(const AVFormatContext* s, int StreamIndex);
  void NoteWrittenPacket(TOutputStreamState& ost, const AVPacket* pkt, AVCodecContext* enc);
  void KeepDtsIncreasing(TOutputStreamState& ost, AVPacket* pkt);
  void MuxPacket(AVFormatContext* s, AVPacket* pkt, AVCodecContext* enc);
  void ReportFilterError(AVBSFContext* bsf, int StreamIndex, AVCodecContext* enc, int Code);
  void DrainBitstreamFilter(AVFormatContext* s, AVBSFContext* bsf, int StreamIndex, AVCodecContext* enc);
  void FlushBitstreamFilters();
  void LogSummary(int64_t TotalSize);

  // ---- video and audio output (video_output.cpp, audio_output.cpp) ----
  // Re-encoding set-up of one stream, called BEFORE the encoder is opened: crop, pad and
  // scaling decisions, the scaling target and the scaler; the audio resampling decision.
  // Raise FFMpegException.
  void SetUpVideoEncoding(TOutputStreamState& ost, TInputStreamState& ist);
  void SetUpAudioEncoding(TOutputStreamState& ost, TInputStreamState& ist);
  // Called once right AFTER the encoder opened (frame_size is known then): FIFO, resampler.
  void StartAudioEncoding(TOutputStreamState& ost, TInputStreamState& ist);
  // Once per decoded picture: hook counter and time, working copy, deinterlacing, hooks.
  // May replace what the picture refers to (the caller still owns it).
  void PrepareVideoFrame(TInputStreamState& ist, AVFrame* picture);
  // picture: one decoded picture (owned by the caller; not kept). frameSize: the size of
  // the last packet written, 0 when none.
  int64_t TicksBeforeRecordingEnd(AVRational Tb) const;
  void EncodeVideo(AVFormatContext* os, TOutputStreamState& ost, TInputStreamState& ist, AVFrame* picture,
                   int& frameSize);
  // samples: one decoded audio frame in the decoder's format, rate and layout.
  void EncodeAudio(AVFormatContext* os, TOutputStreamState& ost, TInputStreamState& ist, const AVFrame* samples);
  void EncodeSubtitle(AVFormatContext* os, TOutputStreamState& ost, TInputStreamState& ist, const AVSubtitle* sub,
                      int64_t pts);
  void WriteVideoStats(AVFormatContext* os, TOutputStreamState& ost, int frameSize);
  // End of input: drain the encoder and write every packet that comes out.
  void FlushVideoEncoder(AVFormatContext* os, TOutputStreamState& ost);
  void FlushAudioEncoder(AVFormatContext* os, TOutputStreamState& ost);

  // Hook-in point of the frame hooks and the custom hook: whether this picture goes to the
  // hooks, and the call that hands it over (on the working copy).
  bool PictureHooksWanted(int64_t HookTime);
  void RunPictureHooks(TInputStreamState& ist, AVFrame* picture, int64_t HookTime);
  // The hook action for a picture at HookTime (microseconds): the
  // before-hook handler's answer, else the time ranges'.
  void DecideHookAction(int64_t HookTime);
  void DecideByRanges(int64_t HookTime);
  // haStop: final for the job.
  void StopHooking();
  // The custom hook on one picture (the working copy, changed in place).
  void RunCustomHook(AVFrame* picture, int64_t HookTime);
  AVFrame* HookRgbPicture(AVFrame* picture);
  bool ScaleBackFromRgb(const AVFrame* rgb, AVFrame* picture);
  void StopCustomHook();
  // The filter graph of a re-encoded video stream; false with the reason in
  // FilterError when there is one. May change the encoder's size to what
  // the filters give.
  bool SetUpFilterGraph(TInputStreamState& ist, TOutputStreamState& ost);
  // The refusal of a filter text the library cannot parse, else empty.
  static std::string CheckFilterText(const std::string& Text);
  // One picture (nullptr: end of input) into the stream's filter graph, and
  // every picture that comes out to the encoder.
  void EncodeFilteredPictures(AVFormatContext* os, TOutputStreamState& ost, TInputStreamState& ist, AVFrame* picture);
  // One picture to the encoder, and its statistics line.
  void EncodePicture(AVFormatContext* os, TOutputStreamState& ost, TInputStreamState& ist, AVFrame* picture);

  // ---- video and audio output helpers ----
  // Video frame-rate sync: how many times this picture is encoded (0 drops it).
  int VideoFramesToEncode(TOutputStreamState& ost);
  // Skipping the pictures the sync would drop: the decoder's skip setting for
  // the next packet, and what each picture that comes out teaches.
  void ChooseSkipFrame(TInputStreamState& ist, int IstIndex, const AVPacket* pkt);
  bool SyncWouldDrop(const TInputStreamState& ist, int IstIndex, int64_t PictureTime) const;
  void NotePictureOut(TInputStreamState& ist, const AVFrame* frame);
  // Crop view, scaling and padding of one picture; nullptr when it cannot be encoded.
  AVFrame* ComposeVideoPicture(TOutputStreamState& ost, AVFrame* picture);
  bool ScaleIntoTarget(TOutputStreamState& ost, const AVFrame* source, AVFrame* target);
  const AVFrame* HalvedForScaling(TOutputStreamState& ost, const AVFrame* source);
  void EncodeVideoCopies(AVFormatContext* os, TOutputStreamState& ost, TInputStreamState& ist,
                         const AVFrame* picture, AVFrame* composed, int copies, int& frameSize);
  // Logs a picture that could not be formatted, or raises it with "xerror".
  void PictureFormatError(const char* Msg);
  // Sends a frame (nullptr: end of stream) and writes every packet the encoder has ready.
  // Returns the size of the last packet written (0 when none) or a negative error code.
  int EncodeAndWrite(AVFormatContext* os, TOutputStreamState& ost, const AVFrame* frame);
  void NoteEncodedPacket(TOutputStreamState& ost, const AVPacket* pkt);
  // Audio: the clock ("async"), conversion into the FIFO and encoding of what it holds.
  struct TAudioBlock {
    int Count = 0;    // input samples of the decoded frame
    int Skip = 0;     // of those, dropped from the front
    int Silence = 0;  // samples of silence inserted before them
  };
  bool CorrectAudioClock(TOutputStreamState& ost, TInputStreamState& ist, const AVFrame* samples,
                         TAudioBlock& block);
  void OpenResampler(TOutputStreamState& ost, AVSampleFormat InFormat, int InRate, const AVChannelLayout& InLayout);
  bool QueueAudio(TOutputStreamState& ost, const AVFrame* samples, const TAudioBlock& block);
  bool QueueSilence(TOutputStreamState& ost, const AVFrame* samples, int Count);
  bool ConvertIntoFifo(TOutputStreamState& ost, const uint8_t* const* planes, int Count);
  void EncodeQueuedAudio(AVFormatContext* os, TOutputStreamState& ost);
  void FollowInputClock(TOutputStreamState& ost);
  void EncodeFifoFrame(AVFormatContext* os, TOutputStreamState& ost, int Count);

  // ---- freeing and the worker ----
  // FreeResources without the running check, for the job's own end.
  void ReleaseResources();
  void RefuseWhileRunning() const;
  void FreeOutputFiles();
  void FreeInputFiles();
  void FreeHeapOptions();
  void CloseListedCodecs();
  void FailStart(const std::string& Msg);
  void SetThread(std::shared_ptr<TFFmpegThread> t);
  // Runs a job step on a worker thread and then lets the engine's owner know
  // the worker is done with it.
  void RunOnWorker(void (TEngineJob::*Body)());

  // Tells Destroy when the thread working for this engine has let go of it.
  // Shared with that thread, so the thread may outlive the engine.
  struct WorkerGate {
    std::mutex m;
    std::condition_variable cv;
    bool active = false;
    std::thread::id id;
    void Enter();
    void Leave();
    void Wait();
  };

  mutable std::mutex stateLock_;  // guards thread_
  std::shared_ptr<TFFmpegThread> thread_;
  std::shared_ptr<WorkerGate> gate_ = std::make_shared<WorkerGate>();
  std::atomic<bool> terminatePending_{false};
};

}  // namespace vantrel
