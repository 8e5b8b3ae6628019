// The playing time of a container that does not state it (SWF, for one):
// the packets are read once, on a demuxer of their own, so the input itself
// is left at its start.
#include <algorithm>

#include "binding/helpers.h"
#include "engine/job/engine_job.h"
#include "engine/io_interrupt.h"
#include "engine/local_input.h"

namespace vantrel {
namespace {

// Reading stops here: a file this large without a stated length is not
// worth a full pass when it is added.
constexpr int64_t kMaxScanBytes = 256LL * 1024 * 1024;

struct ScanState {
  int64_t first = INT64_MAX;
  int64_t last = INT64_MIN;
};

void TakePacket(const AVFormatContext* ic, const AVPacket* pkt, ScanState& s) {
  const AVStream* st = ic->streams[pkt->stream_index];
  const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
  if (ts == AV_NOPTS_VALUE) return;
  s.first = std::min(s.first, SatRescale(ts, st->time_base, AV_TIME_BASE_Q));
  s.last = std::max(s.last, SatRescale(SatAdd(ts, std::max<int64_t>(pkt->duration, 0)), st->time_base, AV_TIME_BASE_Q));
}

}  // namespace

int64_t TEngineJob::ScanInputDuration(AVFormatContext* ic, const std::string& FileName) {
  // A stream that cannot seek (a pipe, a device) cannot be read twice: a
  // second open would wait for a writer that never comes, or take the
  // packets the job needs.
  if (!ic->pb || !(ic->pb->seekable & AVIO_SEEKABLE_NORMAL)) return AV_NOPTS_VALUE;
  AVFormatContext* scan = lav::avformat_alloc_context();
  if (!scan) return AV_NOPTS_VALUE;
  scan->interrupt_callback = StopRequestInterrupt(this);
  AVDictionary* options = nullptr;
  RestrictToLocalFiles(&options, LocalInputsOnly);
  // A failed open frees the context itself.
  const int opened = lav::avformat_open_input(&scan, InputUrl(FileName, LocalInputsOnly).c_str(), ic->iformat, &options);
  lav::av_dict_free(&options);
  if (opened < 0) return AV_NOPTS_VALUE;
  const OpenedInput input(scan);
  const PacketPtr pkt = MakePacket();
  ScanState s;
  while (pkt && lav::av_read_frame(scan, pkt.get()) >= 0) {
    TakePacket(scan, pkt.get(), s);
    lav::av_packet_unref(pkt.get());
    if (scan->pb && lav::avio_seek(scan->pb, 0, SEEK_CUR) > kMaxScanBytes) break;
  }
  return s.last > s.first ? SatSub(s.last, s.first) : AV_NOPTS_VALUE;
}

}  // namespace vantrel
