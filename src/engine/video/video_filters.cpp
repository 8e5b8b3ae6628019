// The video filter graph ("vfilters") of a re-encoded video stream: the
// buffer source "src" fed with the decoded pictures, an optional scale to the
// encoder's size, the user's filter text, and the buffer sink "out" limited
// to the encoder's pixel format. Pictures enter and leave by reference.
#include "binding/message_format.h"
#include "engine/job/engine_job.h"

namespace vantrel {
namespace {

std::string ErrorText(int Code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  lav::av_strerror(Code, text, sizeof text);
  return text;
}

FilterInOutPtr Endpoint(const char* Name, AVFilterContext* Filter) {
  FilterInOutPtr io(lav::avfilter_inout_alloc());
  if (!io) return io;
  io->name = lav::av_strdup(Name);
  io->filter_ctx = Filter;
  io->pad_idx = 0;
  io->next = nullptr;
  if (!io->name) io.reset();
  return io;
}

// The text between the current filter and the sink; without one the two are
// linked directly.
bool JoinWithText(AVFilterGraph* Graph, const std::string& Text, AVFilterContext* Current, AVFilterContext* Sink) {
  if (Text.empty()) return lav::avfilter_link(Current, 0, Sink, 0) >= 0;
  FilterInOutPtr outputs = Endpoint("in", Current);
  FilterInOutPtr inputs = Endpoint("out", Sink);
  if (!outputs || !inputs) return false;
  AVFilterInOut* in = inputs.release();
  AVFilterInOut* out = outputs.release();
  const int ret = lav::avfilter_graph_parse_ptr(Graph, Text.c_str(), &in, &out, nullptr);
  // The parser hands back whatever it left unconnected.
  inputs.reset(in);
  outputs.reset(out);
  return ret >= 0;
}

}  // namespace

std::string TEngineJob::CheckFilterText(const std::string& Text) {
  if (Text.empty()) return {};
  FilterGraphPtr graph(lav::avfilter_graph_alloc());
  if (!graph) return "Error opening filters: " + ErrorText(AVERROR(ENOMEM));
  AVFilterInOut* in = nullptr;
  AVFilterInOut* out = nullptr;
  const int ret = lav::avfilter_graph_parse2(graph.get(), Text.c_str(), &in, &out);
  FilterInOutPtr inputs(in), outputs(out);
  if (ret >= 0) return {};
  return Format("Error opening filters: cannot use '%s' (%s)", Text, ErrorText(ret));
}

bool TEngineJob::SetUpFilterGraph(TInputStreamState& ist, TOutputStreamState& ost) {
  if (FrameCropLeft + FrameCropRight + FrameCropTop + FrameCropBottom != 0) {
    FilterError = "Cannot enable crop options and filters at the same time.";
    return false;
  }
  AVCodecContext* enc = ost.Encoder;
  const AVCodecContext* dec = ist.Decoder;
  const int pt = FramePadTop, pb = FramePadBottom, pl = FramePadLeft, pr = FramePadRight;
  if (dec->pix_fmt == AV_PIX_FMT_NONE || dec->width <= 0 || dec->height <= 0) {
    FilterError = "the decoder's picture size or format is unknown";
    return false;
  }
  ost.FilterGraph.reset(lav::avfilter_graph_alloc());
  ost.FilteredFrame = MakeFrame();
  AVFilterGraph* graph = ost.FilterGraph.get();
  if (!graph || !ost.FilteredFrame) return false;
  const AVRational sar = dec->sample_aspect_ratio.num > 0 ? dec->sample_aspect_ratio : AVRational{0, 1};
  const std::string srcArgs = Format("video_size=%dx%d:pix_fmt=%d:time_base=1/%d:pixel_aspect=%d/%d", dec->width,
                                     dec->height, int(dec->pix_fmt), AV_TIME_BASE, sar.num, sar.den);
  if (lav::avfilter_graph_create_filter(&ost.FilterSource, lav::avfilter_get_by_name("buffer"), "src",
                                        srcArgs.c_str(), nullptr, graph) < 0 ||
      lav::avfilter_graph_create_filter(&ost.FilterSink, lav::avfilter_get_by_name("buffersink"), "out", nullptr,
                                        nullptr, graph) < 0)
    return false;
  const AVPixelFormat formats[] = {enc->pix_fmt};
  if (lav::av_opt_set_bin(ost.FilterSink, "pix_fmts", reinterpret_cast<const uint8_t*>(formats), sizeof formats,
                          AV_OPT_SEARCH_CHILDREN) < 0)
    return false;
  AVFilterContext* current = ost.FilterSource;
  if (dec->width + pl + pr != enc->width || dec->height + pt + pb != enc->height) {
    AVFilterContext* scale = nullptr;
    const std::string size = Format("%d:%d", enc->width - pl - pr, enc->height - pt - pb);
    if (lav::avfilter_graph_create_filter(&scale, lav::avfilter_get_by_name("scale"), "scale", size.c_str(), nullptr,
                                          graph) < 0 ||
        lav::avfilter_link(current, 0, scale, 0) < 0)
      return false;
    current = scale;
  }
  if (!JoinWithText(graph, VideoFilters, current, ost.FilterSink)) return false;
  if (lav::avfilter_graph_config(graph, nullptr) < 0) return false;
  const int w = lav::av_buffersink_get_w(ost.FilterSink), h = lav::av_buffersink_get_h(ost.FilterSink);
  if (pt + pb + pl + pr != 0 && !(w == FrameWidth && h == FrameHeight)) {
    FilterError = "Cannot enable pad options and the filters which resize frame at the same time. "
                  "(crop, rotate, scale, transpose, etc.)";
    return false;
  }
  enc->width = w + pl + pr;
  enc->height = h + pt + pb;
  return true;
}

// Frame-rate sync and statistics see each filtered picture at its own time;
// the stream's clock is put back afterwards for the next output stream.
void TEngineJob::EncodeFilteredPictures(AVFormatContext* os, TOutputStreamState& ost, TInputStreamState& ist,
                                           AVFrame* picture) {
  if (picture) picture->pts = ist.Pts;
  if (lav::av_buffersrc_add_frame_flags(ost.FilterSource, picture, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
    Log(0, "Error while feeding the filter graph");
    return;
  }
  const int64_t clock = ist.Pts;
  const AVRational tb = lav::av_buffersink_get_time_base(ost.FilterSink);
  AVFrame* filtered = ost.FilteredFrame.get();
  while (lav::av_buffersink_get_frame(ost.FilterSink, filtered) >= 0) {
    if (filtered->pts != AV_NOPTS_VALUE) ist.Pts = lav::av_rescale_q(filtered->pts, tb, AV_TIME_BASE_Q);
    try {
      EncodePicture(os, ost, ist, filtered);
    } catch (...) {
      lav::av_frame_unref(filtered);
      ist.Pts = clock;
      throw;
    }
    lav::av_frame_unref(filtered);
  }
  ist.Pts = clock;
}

void TEngineJob::EncodePicture(AVFormatContext* os, TOutputStreamState& ost, TInputStreamState& ist,
                                  AVFrame* picture) {
  int frameSize = 0;
  EncodeVideo(os, ost, ist, picture, frameSize);
  if (!VStatsFileName.empty() && frameSize != 0) WriteVideoStats(os, ost, frameSize);
}

}  // namespace vantrel
