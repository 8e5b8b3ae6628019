// Owners for library objects: unique_ptr with a deleter that frees through
// the binding. Each object has exactly one such owner.
#pragma once

#include <cstdio>
#include <memory>

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
using FilterGraphPtr = std::unique_ptr<AVFilterGraph, FilterGraphDeleter>;
template <typename T>
using AvBufferPtr = std::unique_ptr<T, AvFreeDeleter>;

inline FramePtr MakeFrame() { return FramePtr(lav::av_frame_alloc()); }
inline PacketPtr MakePacket() { return PacketPtr(lav::av_packet_alloc()); }

}  // namespace vantrel
