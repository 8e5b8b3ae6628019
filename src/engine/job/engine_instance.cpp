// Construction, defaults and the one place where the engine frees what it holds.
#include <cstdio>

#include "binding/av_binding.h"
#include "engine/codec_lock.h"
#include "engine/job/engine_job.h"

namespace vantrel {

TEngineJob::TEngineJob(TCustomFFmpeg* AOwner) : Owner(AOwner) { SetDefaults(); }

TEngineJob::~TEngineJob() {
  StopAndWait();
  ReleaseResources();
}

void TEngineJob::StopAndWait() {
  RequestStop();
  // Freeing the contexts while the worker still uses them would crash it,
  // so wait for it as long as it takes; a stop request ends a job promptly.
  gate_->Wait();
}

void TEngineJob::RefuseWhileRunning() const {
  if (Running) throw FFMpegException("The job is running: its options and files cannot change until it ends");
}

void TEngineJob::ResetEngine() {
  RefuseWhileRunning();
  if (!LibrariesLoaded()) return;
  ReleaseResources();
  SetDefaults();
  Running = false;
  StopRequested = false;
  Completed = false;
  Finished = false;
  terminatePending_ = false;
  DurationMs = -1;
  static const AVMediaType kTypes[5] = {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO, AVMEDIA_TYPE_DATA,
                                        AVMEDIA_TYPE_SUBTITLE, AVMEDIA_TYPE_ATTACHMENT};
  for (int i = 0; i < 5; ++i) {
    CodecOptions[i].reset(lav::avcodec_alloc_context3(nullptr));
    if (CodecOptions[i]) CodecOptions[i]->codec_type = kTypes[i];
  }
  FormatOptions.reset(lav::avformat_alloc_context());
  ScalerOptions.reset(lav::sws_getContext(16, 16, AVPixelFormat(0), 16, 16, AVPixelFormat(0), SwsFlags, nullptr,
                                          nullptr, nullptr));
}

void TEngineJob::SetDefaults() {
  for (auto& row : InputFilesTsScale)
    for (double& v : row) v = 0;
  InputFileCount = 0;
  OutputFileCount = 0;
  StreamMapCount = 0;
  MetadataMapCount = 0;

  static_cast<TEngineOptions&>(*this) = TEngineOptions();
  OutputCollision = TOutputCollision::Replace;
  KeepStoppedOutput = true;
  LocalInputsOnly = false;
  for (std::string& name : FinalOutputNames) name.clear();

  HookRanges.clear();
  HookRangeCount = HookRangeIndex = HookFrameCount = 0;
  HookAction = haContinue;
  ErrorOccurred = false;
}

void TEngineJob::FreeResources() {
  RefuseWhileRunning();
  ReleaseResources();
}

void TEngineJob::ReleaseResources() {
  if (!LibrariesLoaded()) return;
  // Whatever the job left open is closed before the contexts go.
  CloseListedCodecs();
  for (CodecContextPtr& c : CodecOptions) c.reset();
  FormatOptions.reset();
  ScalerOptions.reset();
  // The working tables point into the files: they go first.
  FreeTranscodeState();
  FreeOutputFiles();
  FreeInputFiles();
  FreeHeapOptions();
  // The work objects go with the job that used them.
  FrameHooks.clear();
  FrameHooksActive = false;
  HookBitmap.reset();
  HookRgbFrame.reset();
  ToRgbScaler.reset();
  FromRgbScaler.reset();
  PictureWorkFrame.reset();
  PictureSwapFrame.reset();
  CopiedPacket.reset();
  FilteredPacket.reset();
  EncodedPacket.reset();
}

namespace {

// Closing a codec shares the process-wide lock with every other open and close.
void FreeCodecContexts(std::vector<CodecContextPtr>& contexts) {
  const TCodecLockGuard lock;
  contexts.clear();
}

}  // namespace

void TEngineJob::FreeOutputFiles() {
  for (int i = 0; i < MAX_FILES; ++i) {
    // The byte stream is closed first, so that the file on disk is complete
    // when it is looked at below.
    OutputContextDeleter::CloseIO(OutputFiles[i].get());
    FreeCodecContexts(OutputCodecs[i]);
    OutputStreamCopy[i].clear();
    OutputEncoderOptions[i].clear();
    for (BitstreamFilterPtr& bsf : BitstreamFilters[i]) bsf.reset();
    DiscardUnfinishedOutput(i);
    OutputFileWritten[i] = false;
    OutputFileNames[i].clear();
    OutputFiles[i].reset();
  }
  OutputFileCount = 0;
}

void TEngineJob::FreeInputFiles() {
  for (int i = 0; i < MAX_FILES; ++i) {
    FreeCodecContexts(InputCodecs[i]);
    InputRateEmu[i] = false;
    InputFiles[i].reset();
  }
  InputFileCount = 0;
}

void TEngineJob::FreeHeapOptions() {
  IntraMatrix.reset();
  InterMatrix.reset();
  VStatsFile.reset();
  VStatsFileName.clear();
  GenericOptionNames.clear();
  MuxerOptions.clear();
  EncoderOptions.clear();
  VideoCodecName.clear();
  AudioCodecName.clear();
  SubtitleCodecName.clear();
  VideoStandard.reset();
  VideoRcOverride.reset();
  AudioLanguage.clear();
  SubtitleLanguage.clear();
  VideoBitstreamFilters.reset();
  AudioBitstreamFilters.reset();
  SubtitleBitstreamFilters.reset();
}

}  // namespace vantrel
