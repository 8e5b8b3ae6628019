// The working state of one engine: the files it opened and the tables its
// job builds from them, the library option holders behind the generic
// options, and the objects the loop reuses from packet to packet. None of it
// is part of what a caller uses: it is a base of the job (job/engine_job.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "binding/av_ptr.h"
#include "engine/engine_types.h"
#include "engine/frame_hook.h"
#include "engine/hook_bitmap.h"
#include "engine/transcode/opened_codecs.h"
#include "engine/transcode_state.h"
#include "engine/unique_fd.h"

namespace vantrel {

struct TStreamMapEntry {
  int32_t file_index = 0;
  int32_t stream_index = 0;
  int32_t sync_file_index = 0;
  int32_t sync_stream_index = 0;
};

// Options as name and value, in the order they were set.
using TNamedValues = std::vector<std::pair<std::string, std::string>>;

struct TMetadataMapEntry {
  int32_t out_file = 0;
  int32_t in_file = 0;
};

// An output being written under a temporary name (Temp) beside the file it
// is to replace (Target; links resolved when it replaces one). Lock holds
// the temporary open and locked, which tells a later run that it is not
// abandoned. FreeResources deletes a Temp that is still set: the job that
// wrote it did not finish.
struct TStagedOutput {
  std::string Temp;
  std::string Target;
  UniqueFd Lock;
};

struct TEngineWorkingState {
  // ---- file tables ----
  OpenedInput InputFiles[MAX_FILES];
  int64_t InputFilesTsOffset[MAX_FILES] = {};
  double InputFilesTsScale[MAX_FILES][MAX_STREAMS] = {};
  int32_t InputFileCount = 0;
  // Per input: the "re" option given for it (read at the native frame rate).
  bool InputRateEmu[MAX_FILES] = {};
  OutputContextPtr OutputFiles[MAX_FILES];
  int32_t OutputFileCount = 0;
  // The output file names as given, and whether the engine has opened the
  // file for writing (only such a file may be deleted when it stays empty).
  std::string OutputFileNames[MAX_FILES];
  bool OutputFileWritten[MAX_FILES] = {};
  TStagedOutput StagedOutputs[MAX_FILES];
  // The name each output has on disk once its job ended; kept after the
  // files are freed, so it can be asked for when the job is over.
  std::string FinalOutputNames[MAX_FILES];
  // Per output stream: true for a stream copy (no encoder is opened for it).
  std::vector<char> OutputStreamCopy[MAX_FILES];
  // Per output stream: the encoder's own options the engine set on it, for
  // the warning about options no encoder had and the error of an encoder
  // that does not open.
  std::vector<TNamedValues> OutputEncoderOptions[MAX_FILES];
  TStreamMapEntry StreamMaps[MAX_STREAM_MAPS] = {};
  int32_t StreamMapCount = 0;
  TMetadataMapEntry MetadataMaps[MAX_METADATA_MAPS] = {};
  int32_t MetadataMapCount = 0;
  BitstreamFilterPtr BitstreamFilters[MAX_FILES][MAX_STREAMS];

  // The engine's own codec contexts: one decoder per input stream, one
  // encoder per output stream, indexed like the streams of their file.
  std::vector<CodecContextPtr> InputCodecs[MAX_FILES];
  std::vector<CodecContextPtr> OutputCodecs[MAX_FILES];

  // ---- option holders behind the generic options ----
  CodecContextPtr CodecOptions[5];
  FormatContextPtr FormatOptions;
  ScalerPtr ScalerOptions;
  // Options private to a muxer, name and value, in the order given.
  std::vector<std::pair<std::string, std::string>> MuxerOptions;
  // The pending bit-stream filter chain of each kind and the filter names it
  // was built from, in order (video, audio, subtitle); the chain is rebuilt
  // from the names on each append, and both are forgotten once the chain was
  // handed to a stream.
  BitstreamFilterPtr VideoBitstreamFilters;
  BitstreamFilterPtr AudioBitstreamFilters;
  BitstreamFilterPtr SubtitleBitstreamFilters;
  std::vector<std::string> PendingBitstreamFilterNames[3];
  FilePtr VStatsFile;

  // ---- frame hooks ----
  int32_t HookFrameCount = 0;
  std::vector<THookRange> HookRanges;
  int32_t HookRangeIndex = 0;
  int32_t HookRangeCount = 0;
  // haStop is final for the job: the frame hooks go inactive and a custom
  // hook handler is let go.
  THookAction HookAction = haContinue;
  bool FrameHooksActive = false;
  // The plug-ins of "vhook", in the order they run; each is released with
  // its context when the engine frees its job resources.
  std::vector<std::unique_ptr<TFrameHook>> FrameHooks;
  // The custom hook's bitmap, its picture in the bitmap's pixel format when
  // the decoder's differs, and the scalers between the two, kept for reuse.
  std::unique_ptr<THookBitmap> HookBitmap;
  FramePtr HookRgbFrame;
  ScalerPtr ToRgbScaler;
  ScalerPtr FromRgbScaler;

  // ---- the running job: working tables, totals and counters ----
  // Codec contexts opened by the transcode and not yet closed; the job
  // runner closes whatever is still listed after an error.
  TOpenedCodecs OpenedEncoders;
  TOpenedCodecs OpenedDecoders;
  std::vector<TInputFileState> InputFileStates;
  std::vector<TInputStreamState> InputStreams;
  std::vector<TOutputStreamState> OutputStreams;
  int64_t VideoSize = 0, AudioSize = 0, ExtraSize = 0;  // bytes
  int32_t DupFrames = 0, DropFrames = 0;
  int64_t JobStartTime = 0, LastReportTime = 0;  // av_gettime() microseconds
  int32_t QpHistogram[52] = {};

  // Work objects of the output side, made on first use and kept for the engine's life.
  FramePtr PictureWorkFrame;   // the working copy of PrepareVideoFrame
  FramePtr PictureSwapFrame;   // hands the working copy over to the caller's picture
  PacketPtr CopiedPacket;      // each copied packet, on its way to WritePacket
  PacketPtr FilteredPacket;    // each packet out of a bit-stream filter chain
  PacketPtr EncodedPacket;     // each packet an encoder hands out, on its way to WritePacket
  // Why the filter graph of a stream could not be set up, when known.
  std::string FilterError;
};

}  // namespace vantrel
