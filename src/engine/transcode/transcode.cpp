// The job: set-up, main loop, flush, trailers and closing.
#include "engine/job/engine_job.h"

namespace vantrel {

void TEngineJob::Transcode() {
  // Stopped before it began (a stop asked for before the start, or an engine
  // destroyed with its thread still held): nothing is opened or written.
  if (StopRequested) return;
  for (int i = 0; i < InputFileCount; ++i)
    if (!InputFiles[i]) throw FFMpegException("Must supply at least one input file");
  for (int i = 0; i < OutputFileCount; ++i)
    if (!OutputFiles[i]) throw FFMpegException("Must supply at least one output file");
  // An input opened after its output was named is only seen here.
  CheckOutputsAreNotInputs();
  try {
    BuildInputTables();
    CheckStreamMaps();
    BuildOutputTable();
    ChooseSources();
    SetUpStreamCodecs();
    LogStreamMapping();
    WarnUnusedEncoderOptions();
    OpenEncoders();
    OpenDecoders();
    OpenSubtitleEncoders();
    for (TInputStreamState& ist : InputStreams) {
      ist.Pts = 0;
      ist.NextPts = AV_NOPTS_VALUE;
      ist.IsStart = true;
    }
    CopyMappedMetadata();
    InitBitstreamFilters();
    // Shown once the encoders have told the streams what will be written.
    for (int i = 0; i < OutputFileCount; ++i)
      lav::av_dump_format(OutputFiles[i].get(), i, OutputFileNames[i].c_str(), 1);
    // Stopped during the set-up: no output file is created at all, rather
    // than one with a header and nothing else.
    if (!StopRequested) {
      WriteHeaders();
      JobStartTime = LastReportTime = lav::av_gettime();
      RunMainLoop();
      FinishTranscode();
    }
  } catch (...) {
    // Codecs still open stay listed for the job runner to close.
    FreeTranscodeState();
    throw;
  }
  FreeTranscodeState();
}

void TEngineJob::FreeTranscodeState() {
  for (TOutputStreamState& ost : OutputStreams) {
    // The pass-2 text goes with the table; the encoder must not keep it.
    if (ost.Encoder && ost.Encoder->stats_in == ost.StatsIn.get()) ost.Encoder->stats_in = nullptr;
  }
  OutputStreams.clear();
  InputStreams.clear();
  InputFileStates.clear();
}

}  // namespace vantrel
