// The main loop of a job: which input to read next, time stamp corrections,
// the job's limits, and the end of the job (flush, trailers, closing).
#include <chrono>
#include <cmath>
#include <thread>

#include "binding/helpers.h"
#include "binding/message_format.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

// Offset and scale of the file and stream, applied to both time stamps.
void AdjustTimestamps(AVPacket* pkt, const AVStream* st, int64_t Offset, double Scale) {
  const int64_t shift = SatRescale(Offset, AV_TIME_BASE_Q, st->time_base);
  if (pkt->dts != AV_NOPTS_VALUE) pkt->dts = SatAdd(pkt->dts, shift);
  if (pkt->pts != AV_NOPTS_VALUE) pkt->pts = SatAdd(pkt->pts, shift);
  if (Scale == 0) return;
  if (pkt->dts != AV_NOPTS_VALUE) pkt->dts = SatScale(pkt->dts, Scale);
  if (pkt->pts != AV_NOPTS_VALUE) pkt->pts = SatScale(pkt->pts, Scale);
}

}  // namespace

double TEngineJob::OutputTime(const TOutputStreamState& ost) const {
  // An encoded video stream counts its frames; every other stream (copies
  // included, whose time base need not be a frame duration) is where its
  // muxed packets reach.
  if (ost.EncodingNeeded && ost.Encoder->codec_type == AVMEDIA_TYPE_VIDEO)
    return double(ost.SyncOpts) * av_q2d(ost.Encoder->time_base);
  if (ost.MuxedPts == AV_NOPTS_VALUE) return 0;
  return double(ost.MuxedPts) * av_q2d(ost.Stream->time_base);
}

int TEngineJob::ChooseInputFile(double& MinOutputTime) const {
  double minInput = 1e100;
  MinOutputTime = 1e100;
  int file = -1;
  for (const TOutputStreamState& ost : OutputStreams) {
    const TInputStreamState& ist = InputStreams[size_t(ost.SourceIndex)];
    const double outputTime = OutputTime(ost);
    const double inputTime = double(ist.Pts);
    if (!InputFileStates[size_t(ist.FileIndex)].EndOfFile) {
      if (inputTime < minInput) {
        minInput = inputTime;
        if (InputSync) file = ist.FileIndex;
      }
      if (outputTime < MinOutputTime) {
        MinOutputTime = outputTime;
        if (!InputSync) file = ist.FileIndex;
      }
    }
    const int type = ost.Encoder->codec_type;
    if (type >= 0 && type < 4 && ost.FrameNumber >= MaxFrames[type]) return -1;
  }
  return file;
}

// A jump of the decode time stamps beyond the threshold (or backwards) is
// taken out of the file's offset, so later packets continue without a gap.
void TEngineJob::CorrectDiscontinuity(AVPacket* pkt, TInputStreamState& ist) {
  // Before the stream's first real decode time its time is only a guess,
  // which must not move the whole file.
  if (pkt->dts == AV_NOPTS_VALUE || ist.NextPts == AV_NOPTS_VALUE || !ist.HasDts || CopyTs) return;
  const AVRational tb = ist.Stream->time_base;
  const int64_t packetTime = SatRescale(pkt->dts, tb, AV_TIME_BASE_Q);
  const int64_t delta = SatSub(packetTime, ist.NextPts);
  // Compared in floating point: the threshold may be any float.
  if (!(std::fabs(double(delta)) > double(DtsDeltaThreshold) * 1000000 || SatAdd(packetTime, 1) < ist.Pts)) return;
  int64_t& offset = InputFilesTsOffset[ist.FileIndex];
  offset = SatSub(offset, delta);
  if (Verbose > 2 && LogAssigned()) Log(1, Format("timestamp discontinuity %d, new offset= %d", delta, offset));
  const int64_t shift = SatRescale(delta, AV_TIME_BASE_Q, tb);
  pkt->dts = SatSub(pkt->dts, shift);
  if (pkt->pts != AV_NOPTS_VALUE) pkt->pts = SatSub(pkt->pts, shift);
}

// How many ticks of the time base an encoded stream may hold before the
// recording time: a frame that starts before it is the last one. Strict
// muxers (DV) want every stream to end there, not where the input happened
// to be read to or where the decoder's last pictures fall.
int64_t TEngineJob::TicksBeforeRecordingEnd(AVRational Tb) const {
  if (RecordingTime == INT64_MAX || Tb.num <= 0 || Tb.den <= 0) return INT64_MAX;
  return lav::av_rescale_q_rnd(RecordingTime, AV_TIME_BASE_Q, Tb, AV_ROUND_UP);
}

bool TEngineJob::OutputLimitReached(double MinOutputTime) const {
  if (double(RecordingTime) / 1000000.0 <= MinOutputTime) return true;
  AVIOContext* pb = OutputFiles[0]->pb;
  return LimitFileSize != 0 && pb && LimitFileSize < lav::avio_seek(pb, 0, SEEK_CUR);
}

void TEngineJob::RunMainLoop() {
  PacketPtr pkt = MakePacket();
  if (!pkt) throw FFMpegException("av_malloc fail");
  while (!StopRequested) {
    double minOutputTime;
    const int file = ChooseInputFile(minOutputTime);
    if (file < 0 || OutputLimitReached(minOutputTime)) break;
    AVFormatContext* ic = InputFiles[file].get();
    const int ret = lav::av_read_frame(ic, pkt.get());
    if (ret == AVERROR(EAGAIN)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (ret < 0) {
      InputFileStates[size_t(file)].EndOfFile = true;
      if (Shortest) break;
      continue;
    }
    if (DoPktDump)
      lav::av_pkt_dump_log2(nullptr, AV_LOG_DEBUG, pkt.get(), DoHexDump, ic->streams[pkt->stream_index]);
    const TInputFileState& fileState = InputFileStates[size_t(file)];
    if (pkt->stream_index < fileState.StreamCount &&
        !InputStreams[size_t(fileState.FirstStream + pkt->stream_index)].Discard) {
      const int index = fileState.FirstStream + pkt->stream_index;
      TInputStreamState& ist = InputStreams[size_t(index)];
      const double scale = pkt->stream_index < MAX_STREAMS ? InputFilesTsScale[file][pkt->stream_index] : 0;
      AdjustTimestamps(pkt.get(), ist.Stream, InputFilesTsOffset[file], scale);
      CorrectDiscontinuity(pkt.get(), ist);
      if (OutputPacket(ist, index, pkt.get()) < 0) {
        const std::string msg = Format("Error while decoding stream #%d.%d", ist.FileIndex, ist.StreamIndex);
        if (ExitOnError) throw FFMpegException(msg);
        if (Verbose >= 0 && LogAssigned()) Log(1, msg);
        lav::av_packet_unref(pkt.get());
        continue;
      }
    }
    lav::av_packet_unref(pkt.get());
    const int64_t now = lav::av_gettime();
    if (now - LastReportTime > ReportInterval) {
      LastReportTime = now;
      ReportProgress(false);
    }
  }
}

void TEngineJob::FinishTranscode() {
  for (size_t k = 0; k < InputStreams.size(); ++k)
    if (InputStreams[k].DecodingNeeded) OutputPacket(InputStreams[k], int(k), nullptr);
  FlushBitstreamFilters();
  // Every output gets its trailer even when one of them fails.
  std::string trailerError;
  for (int i = 0; i < OutputFileCount; ++i) {
    const int ret = lav::av_write_trailer(OutputFiles[i].get());
    if (ret < 0 && trailerError.empty()) trailerError = "av_write_trailer(): " + LibraryErrorText(ret);
  }
  ReportProgress(true);
  CloseCodecs();
  if (!trailerError.empty()) throw FFMpegException(trailerError);
  Completed = !StopRequested;
}

void TEngineJob::CloseCodecs() {
  for (TOutputStreamState& ost : OutputStreams) {
    if (!ost.EncodingNeeded) continue;
    if (ost.Encoder->stats_in == ost.StatsIn.get()) ost.Encoder->stats_in = nullptr;
    ost.StatsIn.reset();
    OpenedEncoders.Close(ost.Encoder);
  }
  for (TInputStreamState& ist : InputStreams) {
    if (!ist.DecodingNeeded) continue;
    OpenedDecoders.Close(ist.Decoder);
  }
}

}  // namespace vantrel
