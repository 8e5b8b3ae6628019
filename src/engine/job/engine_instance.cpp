// Construction, defaults and the one place where the engine frees what it holds.
#include <cstdio>

#include "binding/av_binding.h"
#include "engine/codec_lock.h"
#include "engine/engine.h"

namespace vantrel {

TCustomFFmpeg::TCustomFFmpeg() { SetDefaults(); }

TCustomFFmpeg::~TCustomFFmpeg() {
  StopAndWait();
  ReleaseResources();
}

void TCustomFFmpeg::StopAndWait() {
  RequestStop();
  // Freeing the contexts while the worker still uses them would crash it,
  // so wait for it as long as it takes; a stop request ends a job promptly.
  gate_->Wait();
}

void TCustomFFmpeg::RefuseWhileRunning() const {
  if (Running) throw FFMpegException("The job is running: its options and files cannot change until it ends");
}

void TCustomFFmpeg::ResetEngine() {
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

void TCustomFFmpeg::SetDefaults() {
  for (auto& row : InputFilesTsScale)
    for (double& v : row) v = 0;
  InputFileCount = 0;
  OutputFileCount = 0;
  StreamMapCount = 0;
  MetadataMapCount = 0;

  InputFormat = nullptr;
  OutputFormat = nullptr;
  FrameWidth = FrameHeight = 0;
  FrameAspectRatio = 0;
  FramePixFmt = -1;
  AudioSampleFmt = -1;
  FramePadTop = FramePadBottom = FramePadLeft = FramePadRight = 0;
  PadColorY = 16;
  PadColorU = PadColorV = 128;
  FrameCropTop = FrameCropBottom = FrameCropLeft = FrameCropRight = 0;
  InputLowres = 0;
  VideoDecoderThreads = 1;
  SkipDroppedPictures = false;
  PrescaleHalving = false;
  for (int32_t& m : MaxFrames) m = INT32_MAX;
  FrameRate = AVRational{0, 0};
  VideoQScale = 0;
  VideoDisable = 0;
  VideoDiscard = 0;
  VideoCodecTag = 0;
  SameQuality = 0;
  DoDeinterlace = 0;
  TopFieldFirst = -1;
  MeThreshold = 0;
  IntraDcPrecision = 8;
  LoopInput = 0;
  LoopOutput = -1;
  QpHist = 0;
  VideoFilters.clear();
  UsingFilters = false;
  IntraOnly = 0;
  AudioSampleRate = 44100;
  AudioQScale = -99999.0f;
  AudioDisable = 0;
  AudioChannels = 2;
  AudioCodecTag = 0;
  AudioLanguage.clear();
  SubtitleDisable = 0;
  SubtitleLanguage.clear();
  MuxPreload = 0.5f;
  MuxMaxDelay = 0.7f;
  RecordingTime = INT64_MAX;
  StartTime = 0;
  RecTimestamp = 0;
  InputTsOffset = 0;
  Title.clear();
  Author.clear();
  Copyright.clear();
  Comment.clear();
  Genre.clear();
  Album.clear();
  Year = Track = 0;
  DoHexDump = DoPktDump = DoPsnr = 0;
  DoPass = 0;
  PassLogFileName.clear();
  AudioStreamCopy = VideoStreamCopy = SubtitleStreamCopy = 0;
  VideoSyncMethod = -1;
  AudioSyncMethod = 0;
  AudioDriftThreshold = 0.1f;
  CopyTs = false;
  Shortest = 0;
  VideoGlobalHeader = 0;
  ProgramId = 0;
  RateEmu = 0;
  VideoChannel = 0;
  AudioVolume = 256;
  ExitOnError = false;
  UsingVhook = false;
  Verbose = 1;
  ThreadCount = 1;
  InputSync = 0;
  LimitFileSize = 0;
  PgmyuvCompat = 0;
  DtsDeltaThreshold = 10.0f;
  SwsFlags = SWS_BICUBIC;
  OutputCollision = TOutputCollision::Replace;
  KeepStoppedOutput = true;
  LocalInputsOnly = false;
  for (std::string& name : FinalOutputNames) name.clear();

  HookRanges.clear();
  HookRangeCount = HookRangeIndex = HookFrameCount = 0;
  HookAction = haContinue;
  ErrorOccurred = false;
}

void TCustomFFmpeg::FreeResources() {
  RefuseWhileRunning();
  ReleaseResources();
}

void TCustomFFmpeg::ReleaseResources() {
  if (!LibrariesLoaded()) return;
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

void TCustomFFmpeg::FreeOutputFiles() {
  for (int i = 0; i < MAX_FILES; ++i) {
    // The byte stream is closed first, so that the file on disk is complete
    // when it is looked at below.
    OutputContextDeleter::CloseIO(OutputFiles[i].get());
    FreeCodecContexts(OutputCodecs[i]);
    OutputStreamCopy[i].clear();
    for (BitstreamFilterPtr& bsf : BitstreamFilters[i]) bsf.reset();
    DiscardUnfinishedOutput(i);
    OutputFileWritten[i] = false;
    OutputFileNames[i].clear();
    OutputFiles[i].reset();
  }
  OutputFileCount = 0;
}

void TCustomFFmpeg::FreeInputFiles() {
  for (int i = 0; i < MAX_FILES; ++i) {
    FreeCodecContexts(InputCodecs[i]);
    InputRateEmu[i] = false;
    InputFiles[i].reset();
  }
  InputFileCount = 0;
}

void TCustomFFmpeg::FreeHeapOptions() {
  IntraMatrix.reset();
  InterMatrix.reset();
  VStatsFile.reset();
  VStatsFileName.reset();
  GenericOptionNames.clear();
  MuxerOptions.clear();
  VideoCodecName.reset();
  AudioCodecName.reset();
  SubtitleCodecName.reset();
  VideoStandard.reset();
  VideoRcOverride.reset();
  AudioLanguage.clear();
  SubtitleLanguage.clear();
  VideoBitstreamFilters.reset();
  AudioBitstreamFilters.reset();
  SubtitleBitstreamFilters.reset();
  OpenedEncoders.clear();
  OpenedDecoders.clear();
}

}  // namespace vantrel
