// The tests' one way into the engine's working tables and the steps of its
// job, which are not part of what callers see. An EngineRig is an engine:
// tests make one instead of a TCustomFFmpeg when they drive steps by hand
// or look at the tables a step built.
#pragma once

#include "engine/engine.h"

namespace vantrel::test {

class EngineRig : public TCustomFFmpeg {
 public:
  // The working tables.
  using TCustomFFmpeg::AudioBitstreamFilters;
  using TCustomFFmpeg::AudioSize;
  using TCustomFFmpeg::CodecOptions;
  using TCustomFFmpeg::DropFrames;
  using TCustomFFmpeg::DupFrames;
  using TCustomFFmpeg::ExtraSize;
  using TCustomFFmpeg::FormatOptions;
  using TCustomFFmpeg::GenericOptionNames;
  using TCustomFFmpeg::HookFrameCount;
  using TCustomFFmpeg::HookRangeCount;
  using TCustomFFmpeg::HookRangeIndex;
  using TCustomFFmpeg::HookRanges;
  using TCustomFFmpeg::InputCodecs;
  using TCustomFFmpeg::InputFileCount;
  using TCustomFFmpeg::InputFiles;
  using TCustomFFmpeg::InputFilesTsOffset;
  using TCustomFFmpeg::InputFilesTsScale;
  using TCustomFFmpeg::InputRateEmu;
  using TCustomFFmpeg::InputStreams;
  using TCustomFFmpeg::JobStartTime;
  using TCustomFFmpeg::MetadataMapCount;
  using TCustomFFmpeg::MetadataMaps;
  using TCustomFFmpeg::OpenedDecoders;
  using TCustomFFmpeg::OpenedEncoders;
  using TCustomFFmpeg::OutputCodecs;
  using TCustomFFmpeg::OutputFileCount;
  using TCustomFFmpeg::OutputFileNames;
  using TCustomFFmpeg::OutputFileWritten;
  using TCustomFFmpeg::OutputFiles;
  using TCustomFFmpeg::OutputStreamCopy;
  using TCustomFFmpeg::OutputStreams;
  using TCustomFFmpeg::PendingBitstreamFilterNames;
  using TCustomFFmpeg::PrepareVideoFrame;
  using TCustomFFmpeg::ScalerOptions;
  using TCustomFFmpeg::StagedOutputs;
  using TCustomFFmpeg::StreamMapCount;
  using TCustomFFmpeg::StreamMaps;
  using TCustomFFmpeg::SubtitleBitstreamFilters;
  using TCustomFFmpeg::VStatsFile;
  using TCustomFFmpeg::VideoBitstreamFilters;
  using TCustomFFmpeg::VideoSize;
  using TCustomFFmpeg::WritePacket;

  // Steps of the job and the helpers the tests drive.
  using TCustomFFmpeg::ApplyContextOptions;
  using TCustomFFmpeg::ApplyVolume;
  using TCustomFFmpeg::BuildInputTables;
  using TCustomFFmpeg::BuildOutputTable;
  using TCustomFFmpeg::CheckStreamMaps;
  using TCustomFFmpeg::ChooseSources;
  using TCustomFFmpeg::CloseCodecs;
  using TCustomFFmpeg::CorrectDiscontinuity;
  using TCustomFFmpeg::DecodeSubtitle;
  using TCustomFFmpeg::EncodeAudio;
  using TCustomFFmpeg::EncodeSubtitle;
  using TCustomFFmpeg::EncodeVideo;
  using TCustomFFmpeg::FlushAudioEncoder;
  using TCustomFFmpeg::FlushVideoEncoder;
  using TCustomFFmpeg::OpenDecoders;
  using TCustomFFmpeg::OpenOutputIO;
  using TCustomFFmpeg::OpenTwoPassLog;
  using TCustomFFmpeg::OutputPacket;
  using TCustomFFmpeg::ReportProgress;
  using TCustomFFmpeg::SetUpAudioEncoding;
  using TCustomFFmpeg::SetUpVideoEncoding;
  using TCustomFFmpeg::StartAudioEncoding;
  using TCustomFFmpeg::WriteVideoStats;
};

}  // namespace vantrel::test
