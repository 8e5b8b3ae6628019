// The working records of one running job: one per input file, per input
// stream and per output stream. The transcode set-up builds them from the
// opened files; they live until the job ends. Library objects in them are
// held by owning pointers and go with the record.
#pragma once

#include <cstdint>
#include <vector>

#include "binding/av_ptr.h"

namespace vantrel {

struct TInputFileState {
  bool EndOfFile = false;
  int32_t FirstStream = 0;  // index of the file's stream 0 in the input stream table
  int32_t StreamCount = 0;  // streams at set-up; later streams are ignored
};

struct TInputStreamState {
  int32_t FileIndex = 0;
  int32_t StreamIndex = 0;
  AVStream* Stream = nullptr;
  AVCodecContext* Decoder = nullptr;  // the engine's decoder context of this stream
  bool Discard = true;                // no output stream takes this stream
  bool DecodingNeeded = false;
  int64_t Start = 0;                  // rate emulation: wall clock at set-up
  int32_t FrameCount = 0;             // rate emulation: decoded frames
  int64_t NextPts = AV_NOPTS_VALUE;   // microseconds
  int64_t Pts = 0;                    // microseconds
  bool IsStart = true;                // until the first audio sync correction
  float Quality = 0;                  // of the last decoded picture
  bool HasDts = false;                // a packet with a decode time stamp was seen
  bool RateEmu = false;               // read no faster than the stream plays ("re")
  int64_t FirstPts = AV_NOPTS_VALUE;  // rate emulation: stream time of the first packet
  FramePtr Frame;                     // the decoder's output, reused for every frame
  // Skipping the pictures the sync would drop (video).
  std::vector<int64_t> PendingPictures;            // sent to the decoder, not out yet: times, ascending
  int64_t ClockOffset = INT64_MIN;                 // sync clock minus the picture's own time, when steady
  int64_t LastClockOffset = INT64_MIN;             // of the last picture out
  int32_t BaseSkipFrame = 0;                       // the decoder's own skip setting
  bool BaseSkipFrameKnown = false;
  // ---- video and audio output fields ----
  // ---- filter graph fields ----
};

struct TOutputStreamState {
  int32_t FileIndex = 0;
  int32_t StreamIndex = 0;
  int32_t SourceIndex = 0;
  AVStream* Stream = nullptr;
  AVCodecContext* Encoder = nullptr;  // the engine's encoder context of this stream
  bool EncodingNeeded = false;
  int32_t FrameNumber = 0;
  TInputStreamState* SyncStream = nullptr;
  int64_t SyncOpts = 0;  // encoder ticks of the next frame (video: frames, audio: samples)

  // Video.
  bool VideoResample = false;
  FramePtr ResamplePicture;
  FramePtr HalfPictures[3];  // the picture halved once, twice, three times before the scaler
  ScalerPtr Scaler;
  int32_t ResampleHeight = 0;
  bool VideoCrop = false;
  int32_t TopBand = 0, LeftBand = 0;
  bool VideoPad = false;
  int32_t PadTop = 0, PadBottom = 0, PadLeft = 0, PadRight = 0;

  // Audio.
  bool AudioResample = false;
  ResamplerPtr Resampler;
  AudioFifoPtr Fifo;

  // Two-pass statistics: the pass-1 log, or the pass-2 text given to the encoder.
  FilePtr LogFile;
  AvBufferPtr<char> StatsIn;

  bool Copy = false;                  // packets are copied, no encoder is opened
  int64_t MuxedPts = AV_NOPTS_VALUE;  // stream time base: end of the last packet handed to the muxer
  int64_t MuxedDts = AV_NOPTS_VALUE;  // stream time base: decode time of the last packet handed to the muxer
  int64_t ShownEnd = AV_NOPTS_VALUE;  // stream time base: where the latest presentation of a muxed packet ends
  bool DtsMoveReported = false;       // the warning about a late packet was given
  bool AudioClockSet = false;         // the audio clock was set from the input clock once
  int32_t CodedQuality = 0;           // of the last coded picture, lambda units (118 per quantiser step)
  int64_t CodedError[3] = {};         // of the last coded picture, per plane (PSNR)
  // ---- video and audio output fields ----
  int32_t RightBand = 0, BottomBand = 0;
  FramePtr CropFrame;    // the crop view: a reference to the decoded picture, planes moved
  FramePtr EncodeFrame;  // the reference handed to the encoder, reused for every picture
  // What the scaler was made for; a picture of another size or format rebuilds it.
  int32_t ScalerInWidth = 0, ScalerInHeight = 0, ScalerInFormat = -1;
  // Picture type of the last video packet, for the statistics.
  int32_t LastPictType = 0;
  // What the resampler was made for; a block of another kind rebuilds it.
  int32_t ResampleInFormat = -1, ResampleInRate = 0, ResampleInChannels = 0;
  FramePtr AudioFrame;    // one encoder frame read out of the FIFO
  int32_t AudioFrameCapacity = 0;
  FramePtr ConvertFrame;  // the resampler's output
  int32_t ConvertCapacity = 0;
  FramePtr SilenceFrame;  // silence in the decoder's format, for the "async" clock
  // ---- filter graph ("vfilters") ----
  // Decoded pictures go in at FilterSource by reference and come out of
  // FilterSink into FilteredFrame, also by reference; both filters belong
  // to the graph.
  FilterGraphPtr FilterGraph;
  AVFilterContext* FilterSource = nullptr;
  AVFilterContext* FilterSink = nullptr;
  FramePtr FilteredFrame;
};

}  // namespace vantrel
