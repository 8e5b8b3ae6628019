// Owners for library objects: unique_ptr with a deleter that frees through
// the binding. Each object has exactly one such owner.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "binding/av_functions.h"

namespace vantrel {

struct FrameDeleter {
  void operator()(AVFrame* f) const { lav::av_frame_free(&f); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { lav::av_packet_free(&p); }
};
struct ScalerDeleter {
  void operator()(SwsContext* s) const { lav::sws_freeContext(s); }
};
struct ResamplerDeleter {
  void operator()(SwrContext* s) const { lav::swr_free(&s); }
};
struct AudioFifoDeleter {
  void operator()(AVAudioFifo* f) const { lav::av_audio_fifo_free(f); }
};
struct AvFreeDeleter {
  void operator()(void* p) const { lav::av_free(p); }
};
struct FileDeleter {
  void operator()(FILE* f) const { lav::fclose(f); }
};
struct DictionaryDeleter {
  void operator()(AVDictionary* d) const { lav::av_dict_free(&d); }
};
struct InputCloser {
  void operator()(AVFormatContext* c) const { lav::avformat_close_input(&c); }
};
struct CodecContextDeleter {
  void operator()(AVCodecContext* c) const { lav::avcodec_free_context(&c); }
};
struct FormatContextDeleter {
  void operator()(AVFormatContext* c) const { lav::avformat_free_context(c); }
};
// An output context: its byte stream, when the engine opened one (the
// format writes to a file of its own), is closed before the context goes.
// CloseIO may close it earlier; its result is the close's (0 when nothing
// was open), for an owner that keeps a file only when it closed cleanly.
struct OutputContextDeleter {
  static int CloseIO(AVFormatContext* c) {
    if (c && c->oformat && !(c->oformat->flags & AVFMT_NOFILE) && c->pb) return lav::avio_closep(&c->pb);
    return 0;
  }
  void operator()(AVFormatContext* c) const {
    CloseIO(c);
    lav::avformat_free_context(c);
  }
};
struct BitstreamFilterDeleter {
  void operator()(AVBSFContext* b) const { lav::av_bsf_free(&b); }
};
struct FilterGraphDeleter {
  void operator()(AVFilterGraph* g) const { lav::avfilter_graph_free(&g); }
};

using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerDeleter>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;
using FilePtr = std::unique_ptr<FILE, FileDeleter>;
using OpenedInput = std::unique_ptr<AVFormatContext, InputCloser>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextDeleter>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextDeleter>;
using BitstreamFilterPtr = std::unique_ptr<AVBSFContext, BitstreamFilterDeleter>;
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;
struct FilterInOutDeleter {
  void operator()(AVFilterInOut* p) const { lav::avfilter_inout_free(&p); }
};
using FilterInOutPtr = std::unique_ptr<AVFilterInOut, FilterInOutDeleter>;
template <typename T>
using AvBufferPtr = std::unique_ptr<T, AvFreeDeleter>;
// A text on the libraries' heap (av_strdup), for fields where "none" (null)
// differs from an empty text.
using AvStringPtr = AvBufferPtr<char>;

inline FramePtr MakeFrame() { return FramePtr(lav::av_frame_alloc()); }
inline PacketPtr MakePacket() { return PacketPtr(lav::av_packet_alloc()); }
inline AvStringPtr CopyString(const std::string& s) { return AvStringPtr(lav::av_strdup(s.c_str())); }

}  // namespace vantrel
